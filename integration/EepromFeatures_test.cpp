// The EEPROM and identity features driven through a frame without widgets,
// against the recording fake of the outside libraries.
#include "eeprom/VexDataConversion.h"
#include "eeprom/VexEeprom.h"
#include "eeprom/VexEepromCopy.h"
#include "eeprom/VexHeadId.h"
#include "eeprom/VexIeee1394.h"
#include "eeprom/VexMarketSetting.h"
#include "eeprom/VexUsbId.h"
#include "link/ErrorDetails.h"
#include "link/testing/FakeOutside.h"
#include "service/ValueFrame.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <csignal>
#include <functional>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace svc {
namespace {

namespace fs = std::filesystem;
using fake::Fake;
using fake::Fn;
using Writes = std::vector<std::pair<std::uint8_t, std::uint8_t>>;

constexpr const char* kGoodHeadId = "1A0B17F22KLMNPQR34567801P";

class Features : public ::testing::Test {
protected:
    void SetUp() override {
        Fake().Reset();
        UsbId().SetClock([] { return LocalDateTime{2010, 1, 5, 9, 5, 7}; });
    }
    void TearDown() override { UsbId().SetClock(nullptr); }

    std::string Memo() const { return frame.Memo(); }
    bool MemoHas(const std::string& text) const { return frame.Memo().find(text) != std::string::npos; }
    std::uint8_t& Eep(int address) { return Fake().Eeprom()[static_cast<std::size_t>(address)]; }

    fake::ScriptedHost host;
    ValueFrame frame;
};

// ---------------------------------------------------------------- head ID

class HeadIdTest : public Features {
protected:
    // Types the text and presses Input; returns the detail code reported (0: none).
    int Input(const std::string& text) {
        HeadIdErrorDetail = 0;
        frame.SetText("HeadIDInputEdit", text);
        HeadID().HeadIDInputOKBtnClick(frame);
        return HeadIdErrorDetail;
    }
    static std::string With(std::string text, int position, char c) {
        text[static_cast<std::size_t>(position - 1)] = c;
        return text;
    }
};

TEST_F(HeadIdTest, AGoodIdIsPackedIntoTheTwentyOneBytesAndReadsBackTheSame) {
    EXPECT_EQ(Input(kGoodHeadId), 0);
    const Writes expected{{0x82, 0xA0}, {0x83, 0xB1}, {0x84, 0x7F}, {0x85, 0x22}, {0x86, 0x59}, {0x87, 41}, {0x88, 42},
                          {0x89, 43},   {0x8A, 44},   {0x8B, 45},   {0x8C, 46},   {0x8D, 0xED}, {0x8E, 59}, {0x8F, 60},
                          {0x90, 61},   {0x91, 62},   {0x92, 63},   {0x93, 64},   {0x94, 47},   {0x95, 0},  {0x96, 1}};
    EXPECT_EQ(Fake().EepromWrites(), expected);
    EXPECT_EQ(frame.MemoLines(), std::vector<std::string>{"The head ID write function has completed."});
    EXPECT_EQ(frame.AdjustedCell("HeadIDPnl"), "1A0B17F22KLMN PQR34567801P");

    HeadID().HeadIDReadBtnClick(frame);
    EXPECT_EQ(Memo(), std::string("Head ID = ") + kGoodHeadId);
    std::string text;
    EXPECT_EQ(HeadID().Read(text), rc::Ok);
    EXPECT_EQ(text, kGoodHeadId);
}

TEST_F(HeadIdTest, EachGroupRefusedWithItsOwnCodeBeforeAnyEepromAccess) {
    const std::string good = kGoodHeadId;
    struct Case {
        std::string text;
        int detail;
        const char* message;
    };
    std::vector<Case> cases{
        {good.substr(0, 24), 16, "The number of digit is wrong."},
        {good + "A", 16, "The number of digit is wrong."},
        {"", 16, "The number of digit is wrong."},
        {With(good, 1, '4'), 17, "First digit is wrong."},
        {With(good, 1, '/'), 17, "First digit is wrong."},  // below "0": the unsigned test catches it
        {With(With(good, 2, 'C'), 3, '0'), 18, "Second and third digit are wrong."},
        {With(good, 5, 'G'), 20, "Fourth and fifth digit are wrong."},
        {With(good, 6, 'f'), 22, "Sixth and seventh digit are wrong."},  // lower case is no hex digit
        {With(good, 8, 'D'), 24, "Eighth and ninth digit are wrong."},   // D2 > BF
        {With(good, 10, 'I'), 26, "Tenth digit is wrong."},
        {With(good, 23, '3'), 39, "23th digit is wrong."},
        {With(good, 23, 'A'), 39, "23th digit is wrong."},
        {With(good, 24, '2'), 40, "24th digit is wrong."},
        {With(good, 25, 'Q'), 41, "25th digit is wrong."},
        {With(good, 25, '-'), 41, "25th digit is wrong."},  // in the ID set but no check character
    };
    // Positions 11-22: I and O are not in the set, nor lower case, blanks or other signs.
    const char* ordinal[] = {"11th", "12th", "13th", "14th", "15th", "16th",
                             "17th", "18th", "19th", "20th", "21th", "22th"};
    for (int pos = 11; pos <= 22; ++pos) {
        for (char c : {'I', 'O', 'a', ' ', '#'}) {
            Fake().Reset();
            EXPECT_EQ(Input(With(good, pos, c)), 16 + pos) << pos << c;
            EXPECT_EQ(Memo(), std::string(ordinal[pos - 11]) + " digit is wrong.");
            EXPECT_EQ(Fake().EepromAccessCount(), 0);
        }
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Fake().Reset();
        EXPECT_EQ(Input(c.text), c.detail);
        EXPECT_EQ(Memo(), c.message);
        // The operation was started (one status inquiry), but the EEPROM was never touched.
        EXPECT_EQ(Fake().EepromAccessCount(), 0);
        EXPECT_EQ(Fake().CallCount(Fn::InquireStatus), 1);
        EXPECT_EQ(frame.FocusedField(), "HeadIDInputEdit");
        EXPECT_EQ(frame.MemoColour(), TextColour::Red);
    }
}

TEST_F(HeadIdTest, EdgesOfEachGroupAreAccepted) {
    // BF pairs, a 3 first, ":" "$" "-" in the character positions, 2 at position 23.
    std::string text = "3BFBFBFBF-$:ABC0123456789";
    text.replace(22, 3, "21?");
    for (int v = 1; v <= 37; ++v) {
        text[24] = TPHeadID::CheckCharacter(v);
        if (Input(text) == 0) break;
    }
    EXPECT_EQ(HeadIdErrorDetail, 0);
    std::string back;
    ASSERT_EQ(HeadID().Read(back), rc::Ok);
    EXPECT_EQ(back, text);
}

TEST_F(HeadIdTest, StoredBytesOutOfRangeReadAsInvalidButParityIsNotTested) {
    ASSERT_EQ(HeadID().Write(kGoodHeadId), rc::Ok);
    Eep(0x86) = 0x00;
    Eep(0x8D) = 0xFF;
    std::string text;
    EXPECT_EQ(HeadID().Read(text), rc::Ok);
    EXPECT_EQ(text, kGoodHeadId);

    for (auto [address, value] :
         std::vector<std::pair<int, int>>{{0x82, 0xC0}, {0x87, 0x1F}, {0x94, 0x48}, {0x95, 3}, {0x96, 4}}) {
        ASSERT_EQ(HeadID().Write(kGoodHeadId), rc::Ok);
        Eep(address) = static_cast<std::uint8_t>(value);
        HeadID().HeadIDReadBtnClick(frame);
        EXPECT_EQ(Memo(), "The read head ID is invalid.") << address;
    }
}

TEST_F(HeadIdTest, PositionSixteenLivesAtTheEndOfTheBlock) {
    ASSERT_EQ(HeadID().Write(kGoodHeadId), rc::Ok);
    Eep(0x94) = TPHeadID::CharacterCode('S');
    std::string text;
    ASSERT_EQ(HeadID().Read(text), rc::Ok);
    EXPECT_EQ(text.substr(0, 24), "1A0B17F22KLMNPQS34567801");
    EXPECT_NE(text[24], 'P');
    EXPECT_EQ(Input(text), 0);  // the recomputed check character is right
}

TEST_F(HeadIdTest, AChannelFailureMidwayKeepsTheEarlierBytes) {
    Fake().FailEepromAccess(3, 0x2000);
    EXPECT_EQ(HeadID().Write(kGoodHeadId), 0x2000);
    EXPECT_EQ(Fake().EepromWrites(), (Writes{{0x82, 0xA0}, {0x83, 0xB1}}));
}

TEST_F(HeadIdTest, PrinterInErrorStillWritesAfterTheBusyState) {
    Fake().SetStatus(fake::MakeStatus(state::Error, 4));
    EXPECT_EQ(Input(kGoodHeadId), 0);
    EXPECT_EQ(Fake().EepromWrites().size(), 21u);
    EXPECT_EQ(Memo(), "The head ID write function has completed.");
}

// ---------------------------------------------------------------- USB ID

class UsbIdTest : public Features {
protected:
    void Input(const std::string& serial) {
        frame.SetText("USBIDInputEdit", serial);
        UsbId().USBIDInputOKBtnClick(frame);
    }
};

TEST_F(UsbIdTest, TimeStampsOfTheTable) {
    EXPECT_EQ(TPUsbId::TimeStamp({2001, 12, 31, 23, 45, 50}), "1CVNFK30");
    EXPECT_EQ(TPUsbId::TimeStamp({2010, 1, 5, 9, 5, 7}), "B1595700");
    EXPECT_EQ(TPUsbId::TimeStamp({1999, 10, 10, 10, 29, 30}), "9AAAT010");
    EXPECT_EQ(TPUsbId::TimeStamp({2034, 9, 1, 0, 30, 29}), "Z9100T20");
    EXPECT_EQ(TPUsbId::TimeStamp({2035, 1, 1, 0, 0, 0}), "");
    EXPECT_EQ(TPUsbId::TimeStamp({1998, 12, 31, 0, 0, 0}), "");
}

TEST_F(UsbIdTest, WrittenIdReadsBackAndFillsTheCell) {
    Input("AB12345678");
    std::string expected = "AB12345678B1595700";
    Writes writes;
    for (std::size_t i = 0; i < expected.size(); ++i)
        writes.emplace_back(0xC2 + i, static_cast<std::uint8_t>(expected[i]));
    EXPECT_EQ(Fake().EepromWrites(), writes);
    EXPECT_EQ(Memo(), "The USB ID has been written in EEPROM properly.");
    EXPECT_EQ(frame.AdjustedCell("UsbIDPnl"), expected);
    UsbId().USBIDReadOutBtnClick(frame);
    EXPECT_EQ(Memo(), "USB ID = " + expected);
}

TEST_F(UsbIdTest, RefusedSerialNumbersWriteNothing) {
    for (auto [serial, message] :
         std::vector<std::pair<std::string, std::string>>{{"123456789", "The Number of digit is wrong."},
                                                          {"12345678901", "The Number of digit is wrong."},
                                                          {"12345-7890", "Parameter is only number & alphabet."},
                                                          {"abcdefghij", "Parameter is only number & alphabet."}}) {
        Fake().Reset();
        Input(serial);
        EXPECT_EQ(Memo(), message);
        EXPECT_EQ(Fake().EepromAccessCount(), 0);
        EXPECT_EQ(frame.AdjustedCell("UsbIDPnl"), "");
    }
}

// A clock whose year has no code used to write a stamp the Read refuses,
// and report success.
TEST_F(UsbIdTest, ClockYearOutsideTheCodesWritesNothingAndSaysWhy) {
    for (int year : {1998, 2035, 2100}) {
        Fake().Reset();
        UsbId().SetClock([year] { return LocalDateTime{year, 6, 1, 12, 0, 0}; });
        Input("AB12345678");
        EXPECT_EQ(Fake().EepromAccessCount(), 0) << year;
        EXPECT_EQ(frame.MemoColour(), TextColour::Red);
        EXPECT_EQ(frame.MemoLines().at(0), "The year of the PC's clock is outside 1999 to 2034.");
        EXPECT_FALSE(MemoHas("properly"));
        EXPECT_TRUE(frame.WindowEnabled());
    }
    UsbId().SetClock([] { return LocalDateTime{2034, 12, 31, 23, 59, 59}; });
    Input("AB12345678");
    EXPECT_EQ(Memo(), "The USB ID has been written in EEPROM properly.");
}

TEST_F(UsbIdTest, ClockIsReadOnceForTheWholeStamp) {
    int reads = 0;
    UsbId().SetClock([&reads] {
        ++reads;
        return LocalDateTime{2001, 12, 31, 23, 45, 50};
    });
    Input("AB12345678");
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(frame.AdjustedCell("UsbIDPnl"), "AB123456781CVNFK30");
}

TEST_F(UsbIdTest, AStoredLowerCaseLetterStopsTheReadAtOnce) {
    for (int i = 0; i < 18; ++i) Eep(0xC2 + i) = '0';
    Eep(0xC5) = 'a';
    UsbId().USBIDReadOutBtnClick(frame);
    EXPECT_EQ(Memo(), "The USB ID is wrong.");
    EXPECT_EQ(Fake().EepromAccessCount(), 4);
}

TEST_F(UsbIdTest, PrinterInErrorEndsBothButtonsBeforeTheEeprom) {
    Fake().SetStatus(fake::MakeStatus(state::Error, 5));
    Input("AB12345678");
    EXPECT_EQ(frame.MemoLines().at(0), "Ink out error.");
    UsbId().USBIDReadOutBtnClick(frame);
    EXPECT_EQ(Fake().EepromAccessCount(), 0);
}

// ---------------------------------------------------------------- IEEE 1394 ID

class Ieee1394Test : public Features {
protected:
    void Input(const std::string& text) {
        frame.SetText("IEEE1394IDInputEdit", text);
        Ieee1394().IEEE1394IDInputOKBtnClick(frame);
    }
};

TEST_F(Ieee1394Test, WrittenAsFiveBytesAndReadBack) {
    Input("00000712AB");
    EXPECT_EQ(Fake().EepromWrites(), (Writes{{0xD4, 0}, {0xD5, 0}, {0xD6, 0x07}, {0xD7, 0x12}, {0xD8, 0xAB}}));
    EXPECT_EQ(Memo(), "The IEEE 1394 ID has written properly.");
    EXPECT_EQ(frame.AdjustedCell("IEEE1394IDPnl"), "00000712AB");
    Ieee1394().IEEE1394IDReadBtnClick(frame);
    EXPECT_EQ(Memo(), "IEEE1394 ID = 00000712AB");
    Input("00000D0000");
    EXPECT_EQ(Memo(), "The IEEE 1394 ID has written properly.");
}

TEST_F(Ieee1394Test, RefusalsWriteNothingAndFocusTheField) {
    for (auto [text, message] :
         std::vector<std::pair<std::string, std::string>>{{"0000071", "The Number of digit is wrong."},
                                                          {"00000712", "The Number of digit is wrong."},
                                                          {"0000060000", "The IEEE 1394 ID is wrong."},
                                                          {"00000E0000", "The IEEE 1394 ID is wrong."},
                                                          {"0100070000", "The IEEE 1394 ID is wrong."},
                                                          {"00010700FF", "The IEEE 1394 ID is wrong."},
                                                          {"000007G000", "The IEEE 1394 ID is wrong."},
                                                          {"000007ab00", "The IEEE 1394 ID is wrong."}}) {
        Fake().Reset();
        Input(text);
        EXPECT_EQ(Memo(), message) << text;
        EXPECT_EQ(frame.FocusedField(), "IEEE1394IDInputEdit");
        EXPECT_EQ(Fake().EepromAccessCount(), 0);
    }
}

TEST_F(Ieee1394Test, StoredBytesOutOfFormAreNotShown) {
    Eep(0xD6) = 0x0E;
    Ieee1394().IEEE1394IDReadBtnClick(frame);
    EXPECT_EQ(Memo(), "The read ID is invalid.");
    EXPECT_EQ(frame.FocusedField(), "");
}

// ---------------------------------------------------------------- market destination

TEST_F(Features, MarketSettingWritesFiveBytesForTheWorldModel) {
    frame.SetModelCode(kModel4100);
    Eep(0xE2) = 'X';
    DefaultSetOKBtnClick(frame);
    EXPECT_EQ(Fake().EepromWrites(), (Writes{{0x49, 1}, {0x6A, 6}, {0x6B, 6}, {0xA7, 0x98}, {0xE0, 0}}));
    EXPECT_EQ(frame.MemoLines(),
              (std::vector<std::string>{"The market destination setting value has written properly.",
                                        "After a printer finished the initialize operation of printer, click the "
                                        "[Check] button."}));
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].text, "Click the [OK] button to restart the printer.");
    EXPECT_EQ(host.Boxes()[0].caption, "Information");
    EXPECT_EQ(host.Boxes()[0].icon, BoxIcon::Information);
    EXPECT_EQ(host.Boxes()[0].owner, BoxOwner::MainWindow);

    Fake().SetModelName("Corvid Lumen 4100");
    DestCheckBtnClick(frame);
    EXPECT_EQ(frame.MemoLines(), (std::vector<std::string>{"The market destination is world standard.",
                                                           "The present model name is Corvid Lumen 4100"}));
}

TEST_F(Features, MarketSettingWritesTwentyNineBytesForTheTrnVlkModel) {
    frame.SetModelCode(kModel4200);
    DefaultSetOKBtnClick(frame);
    const auto writes = Fake().EepromWrites();
    ASSERT_EQ(writes.size(), 29u);
    EXPECT_EQ(writes[4], (std::pair<std::uint8_t, std::uint8_t>{0xE0, 2}));
    EXPECT_EQ(writes[5], (std::pair<std::uint8_t, std::uint8_t>{0xE2, 'K'}));
    EXPECT_EQ(writes[28], (std::pair<std::uint8_t, std::uint8_t>{0xF9, 0}));

    Fake().SetModelName("Corvid Lumen 4200");
    DestCheckBtnClick(frame);
    EXPECT_EQ(frame.MemoLines(), (std::vector<std::string>{"The market destination is TRN/VLK.",
                                                           "The present model name is Corvid Lumen 4200"}));
    // 3 destination reads and the 24 model-name bytes.
    EXPECT_EQ(Fake().CallCount(Fn::D4ReadEeprom), 27);
}

TEST_F(Features, MarketCheckReportsAWrongSettingAndStillNamesThePrinter) {
    const std::vector<std::string> wrong{
        "The present market destination setting value is wrong.",
        "Click the [OK] button to write the market destination setting value in EEPROM.",
        "The present model name is Someone Else's Printer 9"};
    Fake().SetModelName("Someone Else's Printer 9");
    for (int model : {kModel4100, kModel4200}) {
        frame.SetModelCode(model);
        DefaultSetOKBtnClick(frame);
        Eep(0xE0) = 1;  // Japan: never written by the setting
        DestCheckBtnClick(frame);
        EXPECT_EQ(frame.MemoLines(), wrong) << model;
        EXPECT_EQ(frame.MemoColour(), TextColour::Red);
    }
    // One character of the model name, or its terminator.
    DefaultSetOKBtnClick(frame);
    Eep(0xE2 + 5) = ';';
    DestCheckBtnClick(frame);
    EXPECT_EQ(frame.MemoLines(), wrong);
    DefaultSetOKBtnClick(frame);
    Eep(0xF9) = ' ';
    DestCheckBtnClick(frame);
    EXPECT_EQ(frame.MemoLines(), wrong);
    // The world model ignores a model name left behind.
    frame.SetModelCode(kModel4100);
    DefaultSetOKBtnClick(frame);
    DestCheckBtnClick(frame);
    EXPECT_EQ(frame.MemoLines().at(0), "The market destination is world standard.");
}

TEST_F(Features, MarketCheckEndsWhenTheModelNameCannotBeRead) {
    Fake().SetResult(Fn::GetModelNameByOsSw, 0x1100);
    DestCheckBtnClick(frame);
    EXPECT_EQ(frame.ErrorReports(), 1);
    EXPECT_FALSE(MemoHas("market destination"));
    EXPECT_FALSE(MemoHas("model name"));
}

// ---------------------------------------------------------------- EEPROM data copy

class CopyTest : public Features {
protected:
    void SetUp() override {
        Features::SetUp();
        folder = fs::temp_directory_path() / ("svc-eepcopy-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        path = folder / "Adjustment Program" / "QX-900" / "bkupdata.eep";
        EepromCopy().SetBackupPath(path.string());
    }
    void TearDown() override {
        EepromCopy().SetBackupPath("");
        EepromCopy().SetFileOps(nullptr);
        fs::remove_all(folder);
        Features::TearDown();
    }
    void Pattern() {
        for (int a = 0; a < 256; ++a) Eep(a) = static_cast<std::uint8_t>(a * 7 + 3);
        for (const EepWrite& s : kSignatureBytes) Eep(s.address) = s.value;
    }
    std::vector<std::uint8_t> FileBytes() const {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void WriteFile(const std::vector<std::uint8_t>& bytes) const {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    int FilesInFolder() const {
        int n = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(path.parent_path())) ++n;
        return n;
    }
    fs::path folder;
    fs::path path;
};

TEST_F(CopyTest, BackupThenRestoreOntoANewBoard) {
    Pattern();
    const auto old = Fake().Eeprom();
    EepromCopy().EepDataCopyBackUpStartPnlClick(frame);
    EXPECT_EQ(frame.MemoLines(),
              (std::vector<std::string>{"The EEPROM data has read properly.", "Replace the main board with new one."}));
    const auto file = FileBytes();
    ASSERT_EQ(file.size(), 101u);
    for (std::size_t i = 0; i < 101; ++i) EXPECT_EQ(file[i], old[CopyAddresses()[i]]) << i;
    // 8 signature reads, then the 101 copied bytes; nothing written to the printer.
    EXPECT_EQ(Fake().CallCount(Fn::D4ReadEeprom), 109);
    EXPECT_EQ(Fake().CallCount(Fn::D4WriteEeprom), 0);

    Fake().Eeprom().fill(0);  // the new board
    for (const EepWrite& s : kSignatureBytes) Eep(s.address) = s.value;
    Fake().ClearCalls();
    EepromCopy().EepDataCopyLoadStartPnlClick(frame);
    EXPECT_EQ(frame.MemoLines(),
              (std::vector<std::string>{"The EEPROM data copy function has finished properly.",
                                        "Perform the A3+ check pattern print and the A4 check pattern print."}));
    for (eep::Address a : CopyAddresses()) EXPECT_EQ(Eep(a), old[a]) << int(a);
    const auto writes = Fake().EepromWrites();
    ASSERT_EQ(writes.size(), 105u);
    EXPECT_EQ(Writes(writes.end() - 4, writes.end()), (Writes{{0x48, 0}, {0x49, 1}, {0xA7, 0x18}, {0xE0, 1}}));
    EXPECT_FALSE(fs::exists(path));

    // One backup is restored once.
    Fake().ClearCalls();
    EepromCopy().EepDataCopyLoadStartPnlClick(frame);
    EXPECT_EQ(Memo(), "Cannot read data from file.");
    EXPECT_TRUE(Fake().EepromWrites().empty());

    // The market destination Check reports the restored bytes as wrong until OK is pressed.
    DestCheckBtnClick(frame);
    EXPECT_EQ(frame.MemoLines().at(0), "The present market destination setting value is wrong.");
}

TEST_F(CopyTest, FilesOfTheWrongLengthAreRefusedAndKept) {
    for (std::size_t size : {100u, 102u, 0u}) {
        Fake().Reset();
        WriteFile(std::vector<std::uint8_t>(size, 0x11));
        EepromCopy().EepDataCopyLoadStartPnlClick(frame);
        EXPECT_EQ(Memo(), "Cannot read data from file.") << size;
        EXPECT_EQ(Fake().EepromAccessCount(), 0);
        EXPECT_EQ(FileBytes().size(), size);
    }
}

TEST_F(CopyTest, ASignatureFaultAt0x80StopsAfterSixReadsAndWritesNoFile) {
    Pattern();
    Eep(0x80) = 0x5B;
    EepromCopy().EepDataCopyBackUpStartPnlClick(frame);
    EXPECT_EQ(frame.MemoLines(),
              (std::vector<std::string>{"The read data is invalid. ", "Replace the main board with new one."}));
    EXPECT_EQ(Fake().EepromAccessCount(), 6);
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(CopyTest, UsbPortOnlySaysSo) {
    frame.SetPortCode(1027);
    WriteFile(std::vector<std::uint8_t>(101, 0x22));
    EepromCopy().EepDataCopyBackUpStartPnlClick(frame);
    EXPECT_EQ(Memo(), "This function cannot use by USB cable.");
    EepromCopy().EepDataCopyLoadStartPnlClick(frame);
    EXPECT_EQ(Memo(), "This function cannot use by USB cable.");
    EXPECT_TRUE(Fake().Calls().empty());
    EXPECT_EQ(FileBytes(), std::vector<std::uint8_t>(101, 0x22));
}

TEST_F(CopyTest, PrinterErrorEndsBeforeAnyEepromOrFileAccess) {
    Fake().SetStatus(fake::MakeStatus(state::BeforeInkCharge, 0));
    WriteFile(std::vector<std::uint8_t>(101, 0x22));
    EepromCopy().EepDataCopyBackUpStartPnlClick(frame);
    EepromCopy().EepDataCopyLoadStartPnlClick(frame);
    EXPECT_EQ(Fake().EepromAccessCount(), 0);
    EXPECT_EQ(frame.ErrorReports(), 2);
    EXPECT_EQ(FileBytes(), std::vector<std::uint8_t>(101, 0x22));
}

TEST_F(CopyTest, AChannelFailureDuringTheRestoreKeepsTheFile) {
    WriteFile(std::vector<std::uint8_t>(101, 0x33));
    Fake().FailEepromAccess(50, 0x2000);
    EepromCopy().EepDataCopyLoadStartPnlClick(frame);
    EXPECT_EQ(Fake().EepromWrites().size(), 49u);
    EXPECT_TRUE(fs::exists(path));
}

// Fails one step of putting the file on disk, as a full disk or an I/O error would.
class FailingOps : public BackupFileOps {
public:
    explicit FailingOps(int step) : step_(step) {}
    bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) override {
        if (step_ == 0) {
            BackupFileOps::WriteAll(fd, data, size / 2);
            return false;
        }
        return BackupFileOps::WriteAll(fd, data, size);
    }
    bool Sync(int fd) override { return step_ != 1 && BackupFileOps::Sync(fd); }
    bool Close(int fd) override { return BackupFileOps::Close(fd) && step_ != 2; }

private:
    int step_;
};

// The backup used to truncate the old file first and never check the close,
// so a failed write destroyed the only copy of an old board's data.
TEST_F(CopyTest, AFailedBackupKeepsTheOldFileAndLeavesNoTemporaryOne) {
    Pattern();
    const std::vector<std::uint8_t> earlier(101, 0x44);
    for (int step : {0, 1, 2}) {
        SCOPED_TRACE(step);
        WriteFile(earlier);
        FailingOps ops(step);
        EepromCopy().SetFileOps(&ops);
        EepromCopy().EepDataCopyBackUpStartPnlClick(frame);
        EepromCopy().SetFileOps(nullptr);
        EXPECT_EQ(Memo(), "Cannot create file.");
        EXPECT_FALSE(MemoHas("read properly"));
        EXPECT_EQ(FileBytes(), earlier);
        EXPECT_EQ(FilesInFolder(), 1);
    }
    EepromCopy().EepDataCopyBackUpStartPnlClick(frame);
    EXPECT_EQ(frame.MemoLines().at(0), "The EEPROM data has read properly.");
    EXPECT_NE(FileBytes(), earlier);
    EXPECT_EQ(FilesInFolder(), 1);
}

TEST_F(CopyTest, AFolderThatCannotBeMadeGivesCannotFileOpen) {
    fs::create_directories(folder);
    std::ofstream(folder / "Adjustment Program") << "a file where the folder should be";
    Pattern();
    EepromCopy().EepDataCopyBackUpStartPnlClick(frame);
    EXPECT_EQ(Memo(), "Cannot file open.");
}

// Runs `body` in a child process under an alarm, so that a hang or a fatal
// signal fails the test instead of ending or stalling the whole run. The
// child's exit code is body()'s: 0 when it was content.
int InChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGALRM, SIG_DFL);
        ::alarm(20);
        ::_exit(body());
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    if (WIFSIGNALED(status)) return 1000 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A FIFO in the backup's place used to stop the restore for good at the
// open; a folder, or a device, is no backup either.
TEST_F(CopyTest, ARestoreFromAFifoOrAFolderIsRefusedAtOnce) {
    fs::create_directories(path.parent_path());
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int code = InChild([&] {
        EepromCopy().EepDataCopyLoadStartPnlClick(frame);
        return Memo() == "Cannot read data from file." && Fake().EepromAccessCount() == 0 ? 0 : 1;
    });
    EXPECT_EQ(code, 0) << "1014: the restore hung on the FIFO";
    EXPECT_TRUE(fs::is_fifo(path)) << "the FIFO is left alone";

    fs::remove(path);
    fs::create_directories(path);
    EepromCopy().EepDataCopyLoadStartPnlClick(frame);
    EXPECT_EQ(Memo(), "Cannot read data from file.");
    EXPECT_EQ(Fake().EepromAccessCount(), 0);
    EXPECT_TRUE(fs::is_directory(path));
}

// Under a file size limit of 0 (ulimit -f 0) the write used to kill the
// program with SIGXFSZ and leave the temporary file beside the backup.
TEST_F(CopyTest, AFileSizeLimitFailsTheBackupCleanly) {
    Pattern();
    const std::vector<std::uint8_t> earlier(101, 0x44);
    WriteFile(earlier);
    const int code = InChild([&] {
        ::signal(SIGXFSZ, SIG_DFL);
        const rlimit none{0, 0};
        if (::setrlimit(RLIMIT_FSIZE, &none) != 0) return 2;
        EepromCopy().EepDataCopyBackUpStartPnlClick(frame);
        if (Memo() != "Cannot create file." || MemoHas("read properly")) return 3;
        // The program goes on as before: its own disposition is back.
        struct sigaction now {};
        ::sigaction(SIGXFSZ, nullptr, &now);
        return now.sa_handler == SIG_DFL ? 0 : 4;
    });
    EXPECT_EQ(code, 0) << "1025: killed by SIGXFSZ";
    EXPECT_EQ(FileBytes(), earlier);
    EXPECT_EQ(FilesInFolder(), 1) << "a temporary file was left behind";
}

TEST_F(CopyTest, TheBackupLivesInTheUsersDataFolder) {
    EepromCopy().SetBackupPath("");
    const char* oldXdg = std::getenv("XDG_DATA_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    ::setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(EepromCopy().BackupPath(), "/srv/data/svcadjust/Adjustment Program/QX-900/bkupdata.eep");
    ::setenv("XDG_DATA_HOME", "relative/is/ignored", 1);
    const char* home = std::getenv("HOME");
    if (home && *home) {
        EXPECT_EQ(EepromCopy().BackupPath(),
                  std::string(home) + "/.local/share/svcadjust/Adjustment Program/QX-900/bkupdata.eep");
    }
    // A real backup there creates the folders.
    ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
    Pattern();
    EepromCopy().EepDataCopyBackUpStartPnlClick(frame);
    EXPECT_EQ(fs::file_size(folder / "svcadjust/Adjustment Program/QX-900/bkupdata.eep"), 101u);
    if (oldXdg)
        ::setenv("XDG_DATA_HOME", savedXdg.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

// ---------------------------------------------------------------- viewer, information, counter

class ViewerTest : public Features {
protected:
    void View(const std::string& begin, const std::string& end) {
        frame.SetText("EepromCheckBeginEdit", begin);
        frame.SetText("EepromCheckEndEdit", end);
        DataConversion().EepromCheckOKBtnClick(frame);
    }
    void Poke(const std::string& address, const std::string& data) {
        frame.SetText("EepromInputAddrEdit", address);
        frame.SetText("EepromInputDataEdit", data);
        DataConversion().EepromInputOKBtnClick(frame);
    }
    int FilledCells() const {
        int n = 0;
        for (int r = 1; r <= 16; ++r)
            for (int c = 1; c <= 16; ++c) n += !frame.CellText("EepromStrGrid", c, r).empty();
        return n;
    }
    std::string Cell(int column, int row) const { return frame.CellText("EepromStrGrid", column, row); }
};

TEST_F(ViewerTest, RangesFillTheirCellsOnly) {
    for (int a = 0; a < 256; ++a) Eep(a) = static_cast<std::uint8_t>(255 - a);
    View("00", "FF");
    EXPECT_EQ(FilledCells(), 256);
    EXPECT_EQ(Cell(1, 1), "FF");
    EXPECT_EQ(Cell(16, 16), "00");
    EXPECT_EQ(Cell(11, 3), "D5");  // address 0x2A
    EXPECT_EQ(Memo(), "The EEPROM data read function has finished properly.");
    View("10", "10");
    EXPECT_EQ(FilledCells(), 1);
    EXPECT_EQ(Cell(1, 2), "EF");
}

TEST_F(ViewerTest, InputErrorsReadNothing) {
    for (auto [begin, end] : std::vector<std::pair<std::string, std::string>>{
             {"20", "1F"}, {"0G", "FF"}, {"0", "FF"}, {"00", "F"}, {"00", "fF"}, {"", ""}, {"000", "FF"}}) {
        Fake().Reset();
        View(begin, end);
        EXPECT_EQ(Memo(), "The input value is wrong.");
        EXPECT_EQ(frame.MemoColour(), TextColour::Red);
        EXPECT_EQ(frame.FocusedField(), "EepromCheckBeginEdit");
        EXPECT_TRUE(Fake().Calls().empty()) << begin << "~" << end;
    }
    for (auto [address, data] : std::vector<std::pair<std::string, std::string>>{
             {"7", "5A"}, {"7F", "5"}, {"7G", "5A"}, {"7F", "Z1"}, {"7F", "5a"}}) {
        Fake().Reset();
        Poke(address, data);
        EXPECT_EQ(Memo(), "The input value is wrong.");
        EXPECT_EQ(frame.FocusedField(), "EepromInputAddrEdit");
        EXPECT_TRUE(Fake().Calls().empty());
    }
}

TEST_F(ViewerTest, AWriteShowsInItsCellEvenInAnEmptyGrid) {
    Poke("7F", "5A");
    EXPECT_EQ(Fake().EepromWrites(), (Writes{{0x7F, 0x5A}}));
    EXPECT_EQ(Cell(16, 8), "5A");
    EXPECT_EQ(Memo(), "The data has been written in EEPROM.");
}

// The cell used to show the data even when the printer refused the write.
TEST_F(ViewerTest, AFailedWriteLeavesTheCellAsItWas) {
    View("70", "7F");
    const std::string before = Cell(16, 8);
    Fake().FailEepromAccess(Fake().EepromAccessCount() + 1, 0x2000);
    Poke("7F", "5A");
    EXPECT_EQ(Cell(16, 8), before);
    EXPECT_EQ(frame.ErrorReports(), 1);
    EXPECT_FALSE(MemoHas("written in EEPROM"));
}

TEST_F(ViewerTest, AReadFailureKeepsTheCellsAlreadyFilled) {
    Fake().FailEepromAccess(20, 0x2000);
    View("00", "FF");
    EXPECT_EQ(FilledCells(), 19);
    EXPECT_EQ(frame.ErrorReports(), 1);
}

TEST_F(ViewerTest, GridHeadingsAndText) {
    DataConversion().FillGridHeadings(frame);
    Eep(0x10) = 0xAB;
    View("10", "11");
    const std::string text = DataConversion().GridText(frame);
    EXPECT_EQ(text.substr(0, text.find('\n')), "   0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F");
    EXPECT_NE(text.find("\n1  AB 00\n"), std::string::npos);
    EXPECT_NE(text.find("\nF\n"), std::string::npos);
}

TEST_F(Features, PrinterInformationAtTheCountersMaxima) {
    for (int a = 0x78; a <= 0x7F; ++a) Eep(a) = 0xFF;
    for (int a = 0x2E; a <= 0x3A; ++a) Eep(a) = 0xFF;
    Eep(0x6E) = 0x10;
    Eep(0x6F) = 0x27;
    Eep(0x30) = 0x00;
    DataConversion().PrinterInfoReadOutOKBtnClick(frame);
    EXPECT_EQ(frame.ShownPanel(), "PrinterInfoReadOut2Pnl");
    EXPECT_EQ(frame.MemoLines(),
              (std::vector<std::string>{
                  " ", "    Total print page\t\t= 4294967295", "    Total print pass\t\t= 4294967295",
                  "    CL1 count\t\t= 65535", "    CL2 count\t\t= 65280", "    CL3/CL4 count\t\t= 65535",
                  "    Timer CL count\t\t= 65535", "    Exchange CL count\t= 65535", "    Replace CL count\t\t= 65535",
                  "    Initial ink charge count\t= 255", "    Cut count\t\t= 10000"}));
    std::vector<int> order;
    for (const auto& call : Fake().CallsTo(Fn::D4ReadEeprom)) order.push_back(static_cast<int>(call.a));
    std::vector<int> expected;
    for (int a = 0x78; a <= 0x7F; ++a) expected.push_back(a);
    for (int a = 0x2E; a <= 0x3A; ++a) expected.push_back(a);
    expected.push_back(0x6E);
    expected.push_back(0x6F);
    EXPECT_EQ(order, expected);

    DataConversion().PrinterInfoReadOut2PreviousBtnClick(frame);
    EXPECT_EQ(frame.ShownPanel(), "PrinterInfoReadOutPnl");
    EXPECT_EQ(Memo(), "");
}

TEST_F(Features, WasteInkCounterReadAndReset) {
    Eep(0x20) = 0x40;
    Eep(0x21) = 0x9C;
    DataConversion().ProCounterCheckBtnClick(frame);
    EXPECT_EQ(Memo(), "Waste Ink Pad counter value = 40000");
    Eep(0x20) = Eep(0x21) = 0xFF;
    DataConversion().ProCounterCheckBtnClick(frame);
    EXPECT_EQ(Memo(), "Waste Ink Pad counter value = 65535");
    DataConversion().ProCounterClearBtnClick(frame);
    EXPECT_EQ(Memo(), "The Waste Ink Pad counter has initialized properly.");
    EXPECT_EQ(Eep(0x20), 0);
    EXPECT_EQ(Eep(0x21), 0);
    EXPECT_EQ(frame.AdjustedCell("WasteInkPadCounterPnl"), "0");

    // A failure on the high byte leaves the low byte already zero, and no cell change.
    Eep(0x20) = Eep(0x21) = 0xFF;
    frame.SetAdjustedCell("WasteInkPadCounterPnl", "");
    Fake().FailEepromAccess(Fake().EepromAccessCount() + 2, 0x2000);
    DataConversion().ProCounterClearBtnClick(frame);
    EXPECT_EQ(Eep(0x20), 0);
    EXPECT_EQ(Eep(0x21), 0xFF);
    EXPECT_EQ(frame.AdjustedCell("WasteInkPadCounterPnl"), "");
}

TEST_F(Features, ServiceViewsRunWhileThePrinterReportsAnError) {
    Fake().SetStatus(fake::MakeStatus(state::Error, 4));
    Eep(0x20) = 7;
    DataConversion().ProCounterCheckBtnClick(frame);
    EXPECT_EQ(Memo(), "Waste Ink Pad counter value = 7");
    EXPECT_EQ(frame.ErrorReports(), 0);
}

}  // namespace
}  // namespace svc
