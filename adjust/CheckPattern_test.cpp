// The check-pattern prints and the head angular adjustment against the
// recording fake: whole prints against golden transcripts, and what varies
// from printer to printer in focused tests.
#include "adjust/CheckAdjustTesting.h"
#include "adjust/HeadAngularAdjust.h"
#include "adjust/VexCheckPattern.h"
#include "eeprom/VexHeadId.h"
#include "link/ErrorDetails.h"
#include "link/VexRaster.h"
#include "service/ValueFrame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace svc;
using svc::testing::Hex;
using svc::testing::Transcript;
namespace fk = svc::fake;

namespace {

template <std::size_t N>
std::string Lit(const char (&s)[N]) {
    return std::string(s, N - 1);
}

std::vector<std::uint8_t> B(std::string_view s) { return {s.begin(), s.end()}; }

bool Contains(const std::vector<std::uint8_t>& hay, const std::vector<std::uint8_t>& needle) {
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

std::size_t Find(const std::vector<std::uint8_t>& hay, const std::vector<std::uint8_t>& needle) {
    return static_cast<std::size_t>(std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) - hay.begin());
}

class CheckPatternTest : public ::testing::Test {
protected:
    void SetUp() override {
        fk::Fake().Reset();
        JobStream().Discard();
        svc::testing::LoadFixedEeprom();
        std::srand(1);
    }
    fk::ScriptedHost host;
    ValueFrame frame;
};

// ---- fields ----

TEST(CheckPatternFields, WasteInkFieldIsFiveBytesWithItsZeroOnlyWhenThereIsRoom) {
    using namespace std::string_literals;
    EXPECT_EQ(WasteInkField(0), "0\0   "s);
    EXPECT_EQ(WasteInkField(7), "7\0   "s);
    EXPECT_EQ(WasteInkField(9999), "9999\0"s);
    EXPECT_EQ(WasteInkField(10000), "10000"s);
    EXPECT_EQ(WasteInkField(65535), "65535"s);
}

TEST(CheckPatternFields, ZeroPaddedFieldsAndDestinations) {
    using namespace std::string_literals;
    EXPECT_EQ(ZeroPaddedField(200), "200\0"s);
    EXPECT_EQ(ZeroPaddedField(0), "0\0\0\0"s);
    EXPECT_EQ(ZeroPaddedField(100), "100\0"s);
    EXPECT_EQ(DestinationName(0), "World  ");
    EXPECT_EQ(DestinationName(1), "Japan  ");
    EXPECT_EQ(DestinationName(2), "TRN/VLK");
    EXPECT_EQ(DestinationName(3), "unknown");
    EXPECT_EQ(DestinationName(255), "unknown");
}

// ---- A3+ sheet ----

TEST_F(CheckPatternTest, A3PSheetMatchesItsGolden) {
    CheckPattern().A3PCheckPrintBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "The A3+ check pattern print has completed.");
    EXPECT_EQ(frame.ErrorReports(), 0);
    svc::testing::ExpectGolden("a3p_check_print", Transcript(fk::Fake().Calls()));
    const auto bytes = fk::Fake().AcceptedBytes();
    EXPECT_GT(bytes.size(), 500000u);
    EXPECT_TRUE(Contains(bytes, B(Lit("Waste Ink Pad counter value = \0"
                                      "1830\0\r\n\r\n"))));
    EXPECT_TRUE(Contains(bytes, B(Lit("Head ID = \0"
                                      "13A7F12B4KR7M2PX9A4CHT11Y\r\n"))));
    EXPECT_TRUE(Contains(bytes, B(Lit("USB ID = \0"
                                      "4100A1234536EAPA10\r\n"))));
    EXPECT_TRUE(Contains(bytes, B(Lit("PF Measurement ES3 Data = \0"
                                      "124\0\r\n"))));
    EXPECT_TRUE(Contains(bytes, B(Lit("Market Destination is \0World  \r\n\r\n"))));
    EXPECT_TRUE(Contains(bytes, B(Lit("Black = \0"
                                      "100\0%   Cyan = \0"))));
}

TEST_F(CheckPatternTest, A3PSheetCountersAtTheEdgesOfTheField) {
    for (std::uint16_t counter : {0, 9999, 10000, 65535}) {
        fk::Fake().ClearCalls();
        fk::Fake().Eeprom()[0x20] = static_cast<std::uint8_t>(counter & 0xFF);
        fk::Fake().Eeprom()[0x21] = static_cast<std::uint8_t>(counter >> 8);
        CheckPattern().A3PCheckPrintBtnClick(frame);
        const auto bytes = fk::Fake().AcceptedBytes();
        // Label and its zero, the 5-byte field, then the two line feeds: never a sixth byte.
        const std::string label = Lit("Waste Ink Pad counter value = \0");
        const std::size_t at = Find(bytes, B(label));
        ASSERT_LT(at, bytes.size());
        EXPECT_EQ(Hex(bytes, at + label.size(), 9), Hex(B(WasteInkField(counter) + "\r\n\r\n")));
    }
}

TEST_F(CheckPatternTest, A3PSheetWithoutInkLevelsEndsAfterTheDestination) {
    fk::Fake().SetStatus(fk::MakeStatus(4, 0, {-1, 100, 100, 100, 100, 100, 100}));
    fk::Fake().Eeprom()[0xE0] = 2;
    CheckPattern().A3PCheckPrintBtnClick(frame);
    const auto bytes = fk::Fake().AcceptedBytes();
    const auto tail = B(Lit("Market Destination is \0TRN/VLK\r\n\r\n\x0C"));
    ASSERT_GE(bytes.size(), tail.size());
    EXPECT_EQ(Hex(bytes, bytes.size() - tail.size()), Hex(tail));
    EXPECT_FALSE(Contains(bytes, B("Black = ")));

    fk::Fake().ClearCalls();
    fk::Fake().SetStatus(fk::MakeStatus(4, 0, {7, 12, 34, 56, 78, 90, 100}));
    CheckPattern().A3PCheckPrintBtnClick(frame);
    const auto inks =
        B(Lit("Black = \0"
              "7\0\0\0%   Cyan = \0"
              "12\0\0%         Magenta = \0"
              "34\0\0%"
              "         Yellow = \0"
              "56\0\0%\r\n              Light Cyan = \0"
              "78\0\0%"
              "   Light Magenta = \0"
              "90\0\0%   Gray = \0"
              "100\0%\x0C"));
    const auto all = fk::Fake().AcceptedBytes();
    ASSERT_GE(all.size(), inks.size());
    EXPECT_EQ(Hex(all, all.size() - inks.size()), Hex(inks));
}

TEST_F(CheckPatternTest, A3PSheetReadFailuresPrintNothing) {
    // Fourth EEPROM access: inside the head ID.
    fk::Fake().FailEepromAccess(4, 0x2000);
    CheckPattern().A3PCheckPrintBtnClick(frame);
    EXPECT_TRUE(fk::Fake().AcceptedBytes().size() <= 2u * 1u);  // only the readiness waits' traffic
    EXPECT_EQ(frame.ErrorReports(), 1);

    // An invalid head ID and an invalid USB ID stop with their messages.
    SetUp();
    ValueFrame f2;
    fk::Fake().Eeprom()[0x87] = 0x1F;
    CheckPattern().A3PCheckPrintBtnClick(f2);
    EXPECT_EQ(f2.Memo(), "The read head ID is invalid.");
    EXPECT_FALSE(Contains(fk::Fake().AcceptedBytes(), B("Waste")));

    SetUp();
    ValueFrame f3;
    fk::Fake().Eeprom()[0xC5] = 'a';
    CheckPattern().A3PCheckPrintBtnClick(f3);
    EXPECT_EQ(f3.Memo(), "The USB ID is wrong.");
    EXPECT_FALSE(Contains(fk::Fake().AcceptedBytes(), B("Waste")));
}

TEST_F(CheckPatternTest, A3PSheetStatusFailureEndsWithoutTheFormFeed) {
    // Inquiries: the readiness wait of mode 3 is the first; the sheet's own status read comes next.
    fk::Fake().SetResultOnCall(fk::Fn::InquireStatus, 2, 0x2000);
    CheckPattern().A3PCheckPrintBtnClick(frame);
    EXPECT_EQ(frame.ErrorReports(), 1);
    const auto bytes = fk::Fake().AcceptedBytes();
    EXPECT_TRUE(Contains(bytes, B("Inclined Carridge")));
    EXPECT_FALSE(Contains(bytes, B("Black = ")));
    for (const auto& send : fk::Fake().Sends()) EXPECT_FALSE(send.size() == 1 && send[0] == 0x0C);
}

TEST_F(CheckPatternTest, BusyPrinterInTheMiddleOfAPrintGetsTheSameBlockAgain) {
    // The tenth send is refused twice as busy: it goes three times, 500 ms apart.
    int sends = 0;
    fk::Fake().OnCall([&](const fk::Call& c) {
        if (c.fn == fk::Fn::SendDataChannel && ++sends == 9) fk::Fake().RefuseSends(2);
    });
    CheckPattern().A3PCheckPrintBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "The A3+ check pattern print has completed.");
    const auto all = fk::Fake().Sends();
    ASSERT_GT(all.size(), 12u);
    EXPECT_EQ(all[9], all[10]);
    EXPECT_EQ(all[10], all[11]);
    const std::vector<int> sleeps = host.Sleeps();
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 500), 2);
    fk::Fake().OnCall(nullptr);
    // Every byte went exactly once: the accepted stream equals the golden print.
    const auto accepted = fk::Fake().AcceptedBytes();
    SetUp();
    ValueFrame again;
    CheckPattern().A3PCheckPrintBtnClick(again);
    EXPECT_EQ(accepted, fk::Fake().AcceptedBytes());
}

// ---- A4 normal paper print ----

class A4PrintTest : public CheckPatternTest {
protected:
    void SetUp() override {
        CheckPatternTest::SetUp();
        dir_ = std::filesystem::temp_directory_path() / ("svc_a4_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(dir_);
    }
    std::filesystem::path dir_, old_;
};

TEST_F(A4PrintTest, SendsTheFileUnchangedThenThePfCheckPattern) {
    std::vector<std::uint8_t> file(2500);
    for (std::size_t i = 0; i < file.size(); ++i) file[i] = static_cast<std::uint8_t>(i * 7);
    file[0] = 0x1B, file[1] = 0x40;  // a print job opens with a reset
    std::ofstream("clip.prn", std::ios::binary).write(reinterpret_cast<const char*>(file.data()), 2500);
    CheckPattern().A4PrintBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "The A4 check pattern print has completed.");
    const auto sends = fk::Fake().Sends();
    // The readiness wait's reset comes first; then the file in chunks of 1000, 1000, 500.
    std::vector<std::vector<std::uint8_t>> chunks;
    for (const auto& s : sends)
        if (s.size() == 1000 || s.size() == 500) chunks.push_back(s);
    ASSERT_GE(chunks.size(), 3u);
    EXPECT_EQ(chunks[0], std::vector<std::uint8_t>(file.begin(), file.begin() + 1000));
    EXPECT_EQ(chunks[2], std::vector<std::uint8_t>(file.begin() + 2000, file.end()));
    svc::testing::ExpectGolden("a4_print", Transcript(fk::Fake().Calls()));
}

TEST_F(A4PrintTest, MissingFileEndsBeforeAnythingIsSent) {
    // (The handler would find the copy the build puts beside bin/.)
    RunPrint(
        frame, [] { return TPCheckPattern::A4Print(JobStream(), "no-such-folder/clip.prn"); }, "done");
    EXPECT_EQ(frame.Memo(), "Cannot file open.");
    EXPECT_FALSE(Contains(fk::Fake().AcceptedBytes(), B("PF Adjust")));
}

TEST_F(A4PrintTest, PfCheckPatternShape) {
    ASSERT_EQ(TPCheckPattern::PFCheckPattern(JobStream()), rc::Ok);
    const auto bytes = fk::Fake().AcceptedBytes();
    EXPECT_EQ(Hex(bytes, 0, 11), Hex(B(Lit("PF Adjust\0\r"))));
    // Two passes at 720, then two at 864; each block line of noise is 120 single-byte units.
    EXPECT_TRUE(Contains(bytes, {0x1B, 0x5C, 0xD0, 0x02}));
    EXPECT_TRUE(Contains(bytes, {0x1B, 0x5C, 0x60, 0x03}));
    EXPECT_TRUE(Contains(bytes, {0x1B, 0x69, 0x02, 0x01, 0x02, 0x78, 0x00, 0x60, 0x00}));
    EXPECT_TRUE(Contains(bytes, {0x1B, 0x69, 0x02, 0x01, 0x02, 0x78, 0x00, 0x20, 0x00}));
    const std::vector<std::uint8_t> end = {0x1B, 0x40, 0x0D, 0x0A, 0x0D, 0x0A};
    EXPECT_EQ(Hex(bytes, bytes.size() - end.size()), Hex(end));
}

// ---- head check, nozzle check ----

TEST_F(CheckPatternTest, HeadCheckPrintMatchesItsGoldenAndMoves410TwiceAtTheEnd) {
    // The head ID feature's Print button runs the print handed to it.
    TPCheckPattern::HandHeadCheckPrintToHeadId();
    HeadID().HeadCheckPrintBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "The head angular pattern print has completed.");
    svc::testing::ExpectGolden("head_check_print", Transcript(fk::Fake().Calls()));

    fk::Fake().ClearCalls();
    ASSERT_EQ(TPCheckPattern::HorizontalAlignmentPattern(JobStream()), rc::Ok);
    const auto bytes = fk::Fake().AcceptedBytes();
    const std::vector<std::uint8_t> end = {0x1B, 0x28, 0x76, 0x02, 0x00, 0x9A, 0x01, 0x1B,
                                           0x28, 0x76, 0x02, 0x00, 0x9A, 0x01, 0x1B, 0x40};
    EXPECT_EQ(Hex(bytes, bytes.size() - end.size()), Hex(end));
    // Unit 5 in the section headers; VSD4 in 1 bit per pixel with the extended unit after its line returns.
    EXPECT_TRUE(Contains(bytes, {0x1B, 0x28, 0x55, 0x01, 0x00, 0x05, 0x1B, 0x55, 0x03}));
    EXPECT_TRUE(Contains(bytes, {0x1B, 0x3C, 0x0D, 0x1B, 0x28, 0x55, 0x05, 0x00, 0x08, 0x02, 0x01, 0x40, 0x0B}));
}

TEST_F(CheckPatternTest, NozzleCheckIsTheRemoteCommandThenTheFormFeed) {
    CheckPattern().NozzleCheckPatternPrintBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "The nozzle check pattern print has completed.");
    std::vector<std::uint8_t> job = B(Lit("Nozzle check pattern\r\n\0"));
    for (std::uint8_t b : {0x1B, 0x28, 0x52, 0x08, 0x00, 0x00, 0x52, 0x45, 0x4D, 0x4F, 0x54, 0x45, 0x31, 0x4E,
                           0x43, 0x02, 0x00, 0x00, 0x00, 0x1B, 0x00, 0x00, 0x00, 0x0D, 0x0A, 0x0D, 0x0A})
        job.push_back(b);
    EXPECT_EQ(fk::Fake().Sends(), (std::vector<std::vector<std::uint8_t>>{job, {0x0C}}));
}

// ---- head angular adjustment ----

TEST_F(CheckPatternTest, HeadAngularPrintMatchesItsGolden) {
    HeadAngularPrintBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "The head angular pattern print has completed.");
    svc::testing::ExpectGolden("head_angular_print", Transcript(fk::Fake().Calls()));
    const auto bytes = fk::Fake().AcceptedBytes();
    EXPECT_EQ(Hex(bytes, 0, 35), Hex(B(Lit("Head Angular(Gray-Light Magenta)\0\r\n"))));
    EXPECT_EQ(bytes.back(), 0x0C);
}

TEST_F(CheckPatternTest, HeadAngularAdjustMovesWaitsForTheTechnicianAndComesHome) {
    HeadAngularCRMoveBtnClick(frame);
    using P = std::vector<std::uint8_t>;
    const std::vector<P> expected = {
        {0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xC4, 0x3B, 0x62, 0x14, 0xFA, 0xFF, 0x00},
        {0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xC5, 0x3A, 0xE2, 0x18, 0x00, 0xFA, 0x00},
        {0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xC4, 0x3B, 0x62, 0x11, 0x93, 0x00, 0x00},
        {0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xC4, 0x3B, 0x62, 0x03, 0x54, 0x0B, 0x00},
        {0x1B, 0x7C, 0x00, 0x05, 0x00, 0x06, 0x16, 0x81, 0x7E, 0xC0},
    };
    EXPECT_EQ(fk::Fake().Sends(), expected);
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].text, "After you completed adjustment, click the [OK] button.");
    EXPECT_EQ(host.Boxes()[0].caption, "Information");
    EXPECT_EQ(host.Boxes()[0].callsBefore, 6u);  // readiness inquiry, four packets, readiness inquiry
    EXPECT_EQ(frame.Memo(), "The carriage has moved to home position.");
}

TEST_F(CheckPatternTest, HeadAngularAdjustStopsAtAFailedMove) {
    fk::Fake().SetResultOnCall(fk::Fn::SendDataChannel, 3, 0x2000);  // MoveCarriage(17, 147, 0)
    HeadAngularCRMoveBtnClick(frame);
    EXPECT_TRUE(host.Boxes().empty());
    EXPECT_EQ(fk::Fake().CallCount(fk::Fn::SendDataChannel), 3);
    EXPECT_EQ(frame.ErrorReports(), 1);
}

}  // namespace
