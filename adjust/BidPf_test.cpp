// Bi-D and PF adjustment against the recording fake.
#include "adjust/CheckAdjustTesting.h"
#include "adjust/PfAdjust.h"
#include "adjust/VexBid.h"
#include "adjust/VexCheckPattern.h"
#include "link/ErrorDetails.h"
#include "link/VexRaster.h"
#include "service/ValueFrame.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace svc;
using svc::testing::Hex;
using svc::testing::Transcript;
namespace fk = svc::fake;
using Bytes = std::vector<std::uint8_t>;

namespace {

template <std::size_t N>
std::string Lit(const char (&s)[N]) {
    return std::string(s, N - 1);
}

Bytes SetBid(int black, int selector, int value) {
    return {0x1B,
            0x7C,
            0x00,
            0x09,
            0x00,
            0x06,
            0x16,
            0x00,
            0xFF,
            0x00,
            static_cast<std::uint8_t>(selector),
            static_cast<std::uint8_t>(black ? 1 : 2),
            static_cast<std::uint8_t>(value & 0xFF),
            static_cast<std::uint8_t>(value < 0 ? 0xFF : 0x00)};
}
Bytes SetPf(int value) {
    return {0x1B, 0x7C, 0x00, 0x06, 0x00, 0x06, 0x16, 0x04, 0xFB, 0x02, static_cast<std::uint8_t>(value & 0xFF)};
}
const Bytes kApply = {0x1B, 0x7C, 0x00, 0x05, 0x00, 0x06, 0x16, 0x50, 0xAF, 0x28};

bool IsFactory(const Bytes& b) { return b.size() >= 10 && b[0] == 0x1B && b[1] == 0x7C; }

std::size_t Count(const Bytes& hay, const Bytes& needle) {
    std::size_t n = 0;
    for (auto it = hay.begin(); (it = std::search(it, hay.end(), needle.begin(), needle.end())) != hay.end(); ++it) ++n;
    return n;
}

class AdjustTest : public ::testing::Test {
protected:
    void SetUp() override {
        fk::Fake().Reset();
        JobStream().Discard();
        svc::testing::LoadFixedEeprom();
        std::srand(1);
        BidErrorDetail = 0;
    }
    void CheckPrintBoxes(std::array<bool, 4> on) {
        for (std::size_t i = 0; i < 4; ++i) frame.SetChecked(BidPrintCheckBox(kBidSettings[i]), on[i]);
    }
    fk::ScriptedHost host;
    ValueFrame frame;
};

// ---- Bi-D print ----

TEST_F(AdjustTest, BidPrintOfAllFourMatchesItsGoldenAndRestoresEachSetting) {
    CheckPrintBoxes({true, true, true, true});
    Bid().BidPrintOKBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "The Bi-D pattern print has completed.");
    svc::testing::ExpectGolden("bid_print_all", Transcript(fk::Fake().Calls()));
    // Stored VSD1 3/-5: trials 1/-7, 3/-5, 5/-3, then the stored values again.
    const auto f = fk::Fake().FactorySends();
    ASSERT_EQ(f.size(), 4u * 8u);
    EXPECT_EQ(f[0], SetBid(1, 1, 1));
    EXPECT_EQ(f[1], SetBid(0, 1, -7));
    EXPECT_EQ(f[4], SetBid(1, 1, 5));
    EXPECT_EQ(f[5], SetBid(0, 1, -3));
    EXPECT_EQ(f[6], SetBid(1, 1, 3));
    EXPECT_EQ(f[7], SetBid(0, 1, -5));
    // VSD2' (selector 4) and VSD4 (selector 3) in that order.
    EXPECT_EQ(f[16], SetBid(1, 4, -2));
    EXPECT_EQ(f[24], SetBid(1, 3, 3));
}

TEST_F(AdjustTest, BidTrialsStartWithAFlushAndTheLaterOnesFlushAnEmptyStream) {
    CheckPrintBoxes({true, false, false, false});
    Bid().BidPrintOKBtnClick(frame);
    const auto sends = fk::Fake().Sends();
    // Each SetBidValue pair is preceded by a flush; for the second and third
    // trials the stream is already empty: a send of 0 bytes.
    std::vector<std::size_t> before;
    for (std::size_t i = 1; i < sends.size(); ++i)
        if (sends[i] == SetBid(1, 1, 1) || sends[i] == SetBid(1, 1, 3) || sends[i] == SetBid(1, 1, 5))
            before.push_back(sends[i - 1].size());
    ASSERT_EQ(before.size(), 4u);  // three trials and the restore
    EXPECT_GT(before[0], 0u);
    EXPECT_EQ(before[1], 0u);
    EXPECT_EQ(before[2], 0u);
    const Bytes all = fk::Fake().AcceptedBytes();
    const std::string head = Lit("Bi-D Check pattern\0\r\n\r\nVariable1 DOT\0\r\n");
    EXPECT_EQ(Hex(all, 0, head.size()), Hex(Bytes(head.begin(), head.end())));
    const std::string line =
        Lit("            data = \0"
            "1\0  \0"
            "            \0"
            "            data = \0"
            "-7\0 \0\r\n");
    EXPECT_EQ(Count(all, Bytes(line.begin(), line.end())), 1u);
    // Each block pair is two jobs of its own (the header's reset starts the line
    // again): no line return between the directions, in black as in colour.
    EXPECT_EQ(Count(all, {0x1B, 0x3C, 0x0D}), 0u);
}

TEST_F(AdjustTest, BidVsd4AloneUsesFourPassesOneBitAndTheExtendedUnit) {
    CheckPrintBoxes({false, false, false, true});
    Bid().BidPrintOKBtnClick(frame);
    const Bytes all = fk::Fake().AcceptedBytes();
    // Each header (dot size 0x10) is followed by the extended unit, then the resolution 160, 5, 8, 2.
    const Bytes header = {0x1B, 0x28, 0x65, 0x02, 0x00, 0x00, 0x10, 0x1B, 0x28, 0x4B, 0x02, 0x00, 0x00};
    const Bytes ext = {0x1B, 0x28, 0x55, 0x05, 0x00, 0x08, 0x02, 0x01, 0x40, 0x0B,
                       0x1B, 0x28, 0x44, 0x04, 0x00, 0xA0, 0x05, 0x08, 0x02};
    EXPECT_EQ(Count(all, header), 3u * 4u * 4u);
    EXPECT_EQ(Count(all, ext), 3u * 4u * 4u);
    // Black blocks in 1 bit per pixel, 720 bytes x 96 lines; ticks 0x40.
    EXPECT_EQ(Count(all, {0x1B, 0x69, 0x00, 0x01, 0x01, 0xD0, 0x02, 0x60, 0x00}), 3u * 4u * 2u);
    EXPECT_EQ(Count(all, {0x00, 0x40, 0xF8, 0x00}), 3u * 4u * 4u * 48u * 24u);
    const auto factory = fk::Fake().FactorySends();
    EXPECT_FALSE(std::any_of(factory.begin(), factory.end(), [](const Bytes& b) { return b[10] != 3; }));
}

TEST_F(AdjustTest, BidTrialsAreNotLimitedToTheInputRange) {
    fk::Fake().Eeprom()[0x60] = static_cast<std::uint8_t>(-72);
    CheckPrintBoxes({true, false, false, false});
    Bid().BidPrintOKBtnClick(frame);
    const auto f = fk::Fake().FactorySends();
    ASSERT_EQ(f.size(), 8u);
    EXPECT_EQ(f[0], SetBid(1, 1, -74));
    EXPECT_EQ(f[2], SetBid(1, 1, -72));
    EXPECT_EQ(f[4], SetBid(1, 1, -70));
    EXPECT_EQ(f[6], SetBid(1, 1, -72));
    EXPECT_EQ(BidValueField(-74), Lit("-74\0\0"));
    EXPECT_EQ(BidValueField(-130), Lit("-130\0"));
    EXPECT_EQ(BidValueField(5), Lit("5\0  \0"));
}

TEST_F(AdjustTest, BidPrintWithNothingCheckedSendsNothing) {
    CheckPrintBoxes({false, false, false, false});
    Bid().BidPrintOKBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "Please select item.");
    EXPECT_EQ(frame.MemoColour(), TextColour::Red);
    EXPECT_TRUE(fk::Fake().Calls().empty());
}

TEST_F(AdjustTest, BidReadFailureDuringPrintAppendsNothing) {
    fk::Fake().FailEepromAccess(3, 0x2000);
    CheckPrintBoxes({true, true, true, true});
    Bid().BidPrintOKBtnClick(frame);
    EXPECT_EQ(fk::Fake().CallCount(fk::Fn::SendDataChannel), 0);
    EXPECT_EQ(frame.ErrorReports(), 1);
}

// Where the first trial value goes in an undisturbed print of VSD1 alone.
std::size_t FirstTrialSend() {
    const auto sends = fk::Fake().Sends();
    for (std::size_t i = 0; i < sends.size(); ++i)
        if (IsFactory(sends[i])) return i;
    return sends.size();
}

TEST_F(AdjustTest, BidFailureAfterATrialValueSetsTheStoredValuesAgain) {
    CheckPrintBoxes({true, false, false, false});
    Bid().BidPrintOKBtnClick(frame);
    const std::size_t first = FirstTrialSend();

    // Every later point of failure: the data right after the trial values, the
    // second trial's first value, and the restore at the end.
    const std::size_t total = fk::Fake().Sends().size();
    for (std::size_t failing : {first + 2, first + 7, total - 3}) {
        SetUp();
        CheckPrintBoxes({true, false, false, false});
        const int nth = static_cast<int>(failing) + 1;
        fk::Fake().SetResultOnCall(fk::Fn::SendDataChannel, nth, 0x2000);
        fk::Fake().SetChannelErrorDetail(7);
        Bid().BidPrintOKBtnClick(frame);
        const auto sends = fk::Fake().Sends();
        ASSERT_EQ(sends.size(), failing + 3) << "failing send " << failing;
        EXPECT_EQ(sends[failing + 1], SetBid(1, 1, 3));
        EXPECT_EQ(sends[failing + 2], SetBid(0, 1, -5));
        EXPECT_EQ(frame.Memo().rfind("Communication error occurred.", 0), 0u) << frame.Memo();
        EXPECT_EQ(JobStream().Count(), 0);
    }
}

TEST_F(AdjustTest, BidFailureOfTheFirstTrialValueNeedsNoRestore) {
    CheckPrintBoxes({true, false, false, false});
    Bid().BidPrintOKBtnClick(frame);
    const std::size_t first = FirstTrialSend();
    SetUp();
    CheckPrintBoxes({true, false, false, false});
    fk::Fake().SetResultOnCall(fk::Fn::SendDataChannel, static_cast<int>(first) + 1, 0x2000);
    Bid().BidPrintOKBtnClick(frame);
    EXPECT_EQ(fk::Fake().Sends().size(), first + 1);
    EXPECT_EQ(frame.ErrorReports(), 1);
}

TEST_F(AdjustTest, ATrialValueRefusedAsBusyGoesAgainOnceThePrinterTakesIt) {
    // A block refused as busy goes again (the job stream's own retry); a
    // factory command refused as busy likewise: it is sent again after a pause.
    int factory = 0;
    fk::Fake().OnCall([&](const fk::Call& c) {
        if (c.fn == fk::Fn::SendDataChannel && c.result == 1 && IsFactory(c.bytes) && ++factory == 2)
            fk::Fake().RefuseSends(2);
    });
    CheckPrintBoxes({true, false, false, false});
    Bid().BidPrintOKBtnClick(frame);
    fk::Fake().OnCall(nullptr);
    EXPECT_EQ(frame.Memo(), "The Bi-D pattern print has completed.");
    const auto sends = fk::Fake().Sends();
    const std::size_t at =
        static_cast<std::size_t>(std::find(sends.begin(), sends.end(), SetBid(0, 1, -7)) - sends.begin());
    ASSERT_LT(at + 3, sends.size());
    // The data after the trial values is what was refused twice, then taken.
    EXPECT_EQ(sends[at + 1], sends[at + 2]);
    EXPECT_EQ(sends[at + 2], sends[at + 3]);
    EXPECT_EQ(host.Sleeps(), (std::vector<int>{500, 500}));

    SetUp();
    fk::ScriptedHost quiet;
    ValueFrame f;
    factory = 0;
    fk::Fake().OnCall([&](const fk::Call& c) {
        if (c.fn == fk::Fn::SendDataChannel && IsFactory(c.bytes) && ++factory == 1) fk::Fake().RefuseSends(1);
    });
    for (std::size_t i = 0; i < 4; ++i) f.SetChecked(BidPrintCheckBox(kBidSettings[i]), i == 0);
    Bid().BidPrintOKBtnClick(f);
    fk::Fake().OnCall(nullptr);
    const auto f2 = fk::Fake().FactorySends();
    ASSERT_GE(f2.size(), 3u);
    EXPECT_EQ(f2[1], SetBid(0, 1, -7));  // refused as busy
    EXPECT_EQ(f2[2], SetBid(0, 1, -7));  // and sent again
    EXPECT_EQ(f.Memo(), "The Bi-D pattern print has completed.");
}

// ---- Bi-D input page ----

TEST_F(AdjustTest, BidReadFillsTheFieldsAndSelectsNothing) {
    for (const BidSetting& s : kBidSettings) frame.SetChecked(BidInputCheckBox(s, true), true);
    Bid().BidInputCheckBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "The Bi-D adjustment value has read properly.");
    EXPECT_EQ(frame.Text("BidVSD1BkInputEdit"), "3");
    EXPECT_EQ(frame.Text("BidVSD1CLInputEdit"), "-5");
    EXPECT_EQ(frame.Text("BidVSD2BkInputEdit"), "-2");
    EXPECT_EQ(frame.Text("BidVSD2DBkInputEdit"), "0");
    EXPECT_EQ(frame.Text("BidVSD4CLInputEdit"), "-1");
    for (const BidSetting& s : kBidSettings)
        for (bool black : {true, false}) EXPECT_FALSE(frame.Checked(BidInputCheckBox(s, black)));
    std::vector<std::uint32_t> order;
    for (const auto& c : fk::Fake().CallsTo(fk::Fn::D4ReadEeprom)) order.push_back(c.a);
    EXPECT_EQ(order, (std::vector<std::uint32_t>{0x60, 0x64, 0x61, 0x65, 0x62, 0x66, 0x63, 0x67}));

    SetUp();
    ValueFrame f;
    f.SetText("BidVSD1BkInputEdit", "9");
    fk::Fake().FailEepromAccess(5, 0x2000);
    Bid().BidInputCheckBtnClick(f);
    EXPECT_EQ(f.Text("BidVSD1BkInputEdit"), "");
    EXPECT_EQ(f.ErrorReports(), 1);
}

TEST_F(AdjustTest, BidInputWritesTheCheckedRowsAndShowsThem) {
    frame.SetText("BidVSD1BkInputEdit", "72");
    Bid().BidInputEditChange(frame, 0, true);
    frame.SetText("BidVSD2DCLInputEdit", "-3");
    Bid().BidInputEditChange(frame, 2, false);
    frame.SetText("BidVSD4BkInputEdit", "7");  // typed but unchecked again
    frame.SetChecked("BidVSD4BkInputCheckBox", false);
    Bid().BidInputOKBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "The Bi-D adjustment value has written properly.");
    EXPECT_EQ(fk::Fake().FactorySends(), (std::vector<Bytes>{SetBid(1, 1, 72), SetBid(0, 4, -3)}));
    EXPECT_EQ(frame.AdjustedCell("BidVSD1BkPnl"), "72");
    EXPECT_EQ(frame.AdjustedCell("BidVSD2DCLPnl"), "-3");
    EXPECT_EQ(frame.AdjustedCell("BidVSD4BkPnl"), "");

    frame.SetText("BidVSD1BkInputEdit", "");
    Bid().BidInputEditChange(frame, 0, true);
    EXPECT_FALSE(frame.Checked("BidVSD1BkInputCheckBox"));
}

TEST_F(AdjustTest, BidInputRefusesWhatIsNotANumberInRange) {
    for (const char* text : {"-73", "73", "100", "abc", "", "+5 ", " 5", "0x10", "5-"}) {
        SetUp();
        ValueFrame f;
        f.SetText("BidVSD1BkInputEdit", text);
        f.SetChecked("BidVSD1BkInputCheckBox", true);
        Bid().BidInputOKBtnClick(f);
        EXPECT_EQ(f.Memo(), "VSD1 Black value is wrong.") << "'" << text << "'";
        EXPECT_EQ(f.FocusedField(), "BidVSD1BkInputEdit");
        EXPECT_TRUE(fk::Fake().FactorySends().empty()) << text;
    }
    // Rows before a refused one stay written; the message names the row.
    SetUp();
    frame.SetText("BidVSD1BkInputEdit", "+5");
    frame.SetChecked("BidVSD1BkInputCheckBox", true);
    frame.SetText("BidVSD2DCLInputEdit", "-99");
    frame.SetChecked("BidVSD2DCLInputCheckBox", true);
    Bid().BidInputOKBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "VSD2' Color value is wrong.");
    EXPECT_EQ(frame.FocusedField(), "BidVSD2DCLInputEdit");
    EXPECT_EQ(fk::Fake().FactorySends(), (std::vector<Bytes>{SetBid(1, 1, 5)}));
    EXPECT_EQ(frame.AdjustedCell("BidVSD1BkPnl"), "");

    SetUp();
    ValueFrame none;
    Bid().BidInputOKBtnClick(none);
    EXPECT_EQ(none.Memo(), "Please select item.");
    EXPECT_TRUE(fk::Fake().Calls().empty());
}

// ---- PF adjustment ----

TEST_F(AdjustTest, PfPrintMatchesItsGoldenWithEachCandidateSetBeforeItsBlock) {
    PFAdjustPrintBtnClick(frame);
    EXPECT_EQ(frame.Memo(), "The PF adjustment pattern print has completed.");
    svc::testing::ExpectGolden("pf_print", Transcript(fk::Fake().Calls()));
    std::vector<Bytes> expected;
    for (int v = -4; v <= 4; ++v) {
        expected.push_back(SetPf(v));
        expected.push_back(kApply);
    }
    EXPECT_EQ(fk::Fake().FactorySends(), expected);
    const Bytes all = fk::Fake().AcceptedBytes();
    const std::string heading = Lit("         PF Adjust\r\0");
    EXPECT_EQ(Hex(all, 0, 20), Hex(Bytes(heading.begin(), heading.end())));
    for (const char* text : {"-4\0\0", "-1\0\0", "0\0\0\0", "4\0\0\0"}) {
        const std::string line = std::string("\x1B@               ") + std::string(text, 4) + "\r\x1B@";
        EXPECT_EQ(Count(all, Bytes(line.begin(), line.end())), 1u) << text;
    }
    EXPECT_EQ(all.back(), 0x0C);
    // Every factory command finds the job stream empty: it follows a flush.
    const auto sends = fk::Fake().Sends();
    for (std::size_t i = 1; i < sends.size(); ++i)
        if (sends[i] == SetPf(0)) {
            EXPECT_TRUE(sends[i - 1].size() < 1000u && !IsFactory(sends[i - 1]));
        }
}

TEST_F(AdjustTest, PfInputTestsTheNumberNotItsLowByte) {
    for (const char* text : {"5", "-5", "a", "260", "-252", "+5 ", "", "0x1", "10"}) {
        SetUp();
        ValueFrame f;
        f.SetText(kPfEdit, text);
        PFAdjustInputBtnClick(f);
        EXPECT_EQ(f.Memo(), "The input value is wrong.") << "'" << text << "'";
        EXPECT_EQ(f.FocusedField(), kPfEdit);
        EXPECT_TRUE(fk::Fake().EepromWrites().empty()) << text;
        EXPECT_EQ(fk::Fake().CallCount(fk::Fn::InquireStatus), 0);  // refused before any busy state
    }
    for (auto [text, byte] :
         std::vector<std::pair<const char*, std::uint8_t>>{{"-4", 0xFC}, {"4", 0x04}, {"0", 0x00}, {"+3", 0x03}}) {
        SetUp();
        ValueFrame f;
        f.SetText(kPfEdit, text);
        PFAdjustInputBtnClick(f);
        EXPECT_EQ(f.Memo(), "The PF adjustment value has written properly.");
        EXPECT_EQ(fk::Fake().EepromWrites(), (std::vector<std::pair<std::uint8_t, std::uint8_t>>{{0x77, byte}}));
        EXPECT_EQ(f.AdjustedCell(kPfCell), text);
        EXPECT_TRUE(fk::Fake().FactorySends().empty());
    }
}

TEST_F(AdjustTest, PfReadShowsTheSignedValue) {
    frame.SetText(kPfEdit, "3");
    PFAdjustCheckBtnClick(frame);
    EXPECT_EQ(frame.Text(kPfEdit), "-2");
    EXPECT_EQ(frame.Memo(), "The PF adjustment value has read properly.");
    PFAdjustChosen(frame);
    EXPECT_EQ(frame.Text(kPfEdit), "");

    SetUp();
    ValueFrame f;
    fk::Fake().FailEepromAccess(1, 0x2000);
    PFAdjustCheckBtnClick(f);
    EXPECT_EQ(f.Text(kPfEdit), "");
    EXPECT_EQ(f.ErrorReports(), 1);
}

TEST_F(AdjustTest, PfPrintFailureInTheMiddleSendsNoRestore) {
    // The fifth candidate's ApplySettings fails.
    int factory = 0;
    fk::Fake().OnCall([&](const fk::Call& c) {
        if (c.fn == fk::Fn::SendDataChannel && IsFactory(c.bytes) && ++factory == 9)
            fk::Fake().SetResult(fk::Fn::SendDataChannel, 0x2000);
    });
    PFAdjustPrintBtnClick(frame);
    fk::Fake().OnCall(nullptr);
    EXPECT_EQ(frame.ErrorReports(), 1);
    ASSERT_EQ(fk::Fake().FactorySends().size(), 10u);
    EXPECT_EQ(fk::Fake().FactorySends()[8], SetPf(0));
    EXPECT_EQ(fk::Fake().FactorySends()[9], kApply);
    EXPECT_EQ(fk::Fake().Sends().back(), kApply);
}

// ---- a failed job leaves nothing behind ----

TEST_F(AdjustTest, AFailedPrintLeavesNoTailAheadOfTheNextJob) {
    // The 20th send of the A3+ sheet fails as a channel error: its block and the
    // unsent rest of the job must not go out with the next operation.
    fk::Fake().SetResultOnCall(fk::Fn::SendDataChannel, 20, 0x2000);
    fk::Fake().SetChannelErrorDetail(7);
    CheckPattern().A3PCheckPrintBtnClick(frame);
    EXPECT_EQ(frame.ErrorReports(), 1);
    EXPECT_EQ(JobStream().Count(), 0);
    fk::Fake().ClearCalls();
    PaperFeed(frame);
    EXPECT_EQ(fk::Fake().Sends(), (std::vector<Bytes>{{0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A}}));
}

}  // namespace
