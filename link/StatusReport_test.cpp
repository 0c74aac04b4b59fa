// Status reporting against the recording fake of the outside libraries and a
// frame that keeps the memo as the real window does.
#include "link/StatusReport.h"

#include "link/VexStatusControl.h"
#include "link/testing/FakeOutside.h"
#include "link/ErrorDetails.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

namespace svc {
namespace {

using fake::Fake;
using fake::Fn;
using fake::MakeStatus;
using ::testing::ElementsAre;

// A frame with a memo of lines and a record of what was enabled.
class MemoFrame : public StatusFrame {
public:
    Result SetOperationState(int m, const std::string& text) override {
        modes.push_back(m);
        events.push_back("mode " + std::to_string(m));
        switch (EffectOfMode(m).memo) {
            case MemoEdit::Replace:
                memo = text;
                break;
            case MemoEdit::Append:
                memo += text;
                break;
            case MemoEdit::NewLine:
                memo += (memo.empty() ? "" : "\n") + text;
                break;
            case MemoEdit::Keep:
                break;
        }
        if (EffectOfMode(m).colour == TextColour::Red) red = true;
        if (EffectOfMode(m).colour == TextColour::Black || EffectOfMode(m).colour == TextColour::Blue) red = false;
        return 1;
    }
    void EnableItems(const Availability& a) override { levels.push_back(a); }
    void EnableForReport() override { ++reEnabled; }
    void FocusField(const std::string& name) override {
        focus.push_back(name);
        events.push_back("focus " + name);
    }

    std::string memo = "old text";
    bool red = false;
    std::vector<int> modes;
    std::vector<Availability> levels;
    std::vector<std::string> focus;
    std::vector<std::string> events;  // modes and focus moves in the order they happened
    int reEnabled = 0;
};

const std::vector<std::uint8_t> kReset = {0x1B, 0x40};
const char* const kRestart = "\nRestart the printer and click the [Get Status] button.";

class StatusReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        Fake().Reset();
        Status().Clear();
    }
    // Which availability level the frame was last given (0 for none).
    int LastLevel() const {
        if (frame.levels.empty()) return 0;
        for (int level = 1; level <= 3; ++level) {
            const Availability a = *AvailabilityFor(level);
            const Availability& got = frame.levels.back();
            if (a.adjustment == got.adjustment && a.maintenance == got.maintenance &&
                a.checkPatternGroup == got.checkPatternGroup && a.appendix == got.appendix)
                return level;
        }
        return -1;
    }
    fake::ScriptedHost host;
    MemoFrame frame;
};

// ---- readiness wait ----

TEST_F(StatusReportTest, ReadyPrinterNeedsNoWaitAndNoReset) {
    EXPECT_EQ(WaitUntilReady(frame, 1), 1);
    EXPECT_TRUE(Fake().Sends().empty());
    EXPECT_TRUE(host.Sleeps().empty());
    EXPECT_EQ(frame.memo, "old text");
}

TEST_F(StatusReportTest, BusyPrinterIsResetEverySecondUntilReady) {
    Fake().QueueStatus({MakeStatus(2), MakeStatus(3), MakeStatus(7), MakeStatus(4)});
    EXPECT_EQ(WaitUntilReady(frame, 1), 1);
    EXPECT_THAT(Fake().Sends(), ElementsAre(kReset, kReset, kReset));
    EXPECT_THAT(host.Sleeps(), ElementsAre(1000, 1000, 1000));
    EXPECT_EQ(host.Repaints(), 3);
    EXPECT_THAT(frame.modes, ElementsAre(19, 6, 19, 6, 19, 6));
    EXPECT_EQ(frame.memo, "Printer is cleaning.\nPlease wait..");
    // The status was only inquired: the wait decodes no ink levels.
    EXPECT_EQ(Fake().CallCount(Fn::InquireStatus), 4);
}

TEST_F(StatusReportTest, QuietWaitAndUnnamedStatesShowNothing) {
    Fake().QueueStatus({MakeStatus(2), MakeStatus(4)});
    EXPECT_EQ(WaitUntilReady(frame, 0), 1);
    Fake().QueueStatus({MakeStatus(5), MakeStatus(4)});
    EXPECT_EQ(WaitUntilReady(frame, 1), 1);
    EXPECT_TRUE(frame.modes.empty());
    EXPECT_THAT(Fake().Sends(), ElementsAre(kReset, kReset));
}

TEST_F(StatusReportTest, ErrorAndUnchargedPrinterEndTheWait) {
    for (std::uint8_t state : {0, 8}) {
        Fake().SetStatus(MakeStatus(state, 4));
        EXPECT_EQ(WaitUntilReady(frame, 1), 0x4000) << int(state);
    }
    EXPECT_TRUE(Fake().Sends().empty());
}

TEST_F(StatusReportTest, FailuresOfTheWaitAreHandedUp) {
    Fake().SetResult(Fn::InquireStatus, 0x1000);
    EXPECT_EQ(WaitUntilReady(frame, 1), 0x1000);
    Fake().Reset();
    Fake().SetStatus(MakeStatus(2));
    Fake().RefuseSends(1, 7);  // a refusal that is not "busy"
    EXPECT_EQ(WaitUntilReady(frame, 0), 0x2000);
    EXPECT_TRUE(host.Sleeps().empty());
}

// ---- Get Status ----

TEST_F(StatusReportTest, GetStatusReconnectsThenReportsInks) {
    auto record = MakeStatus(4, 0, {100, 75, 50, 25, 10, 5, 0});
    Fake().SetStatus(record);
    GetStatus(frame, 1029);
    std::vector<Fn> order;
    for (const auto& call : Fake().Calls()) order.push_back(call.fn);
    EXPECT_THAT(order, ElementsAre(Fn::PortCloseByOsSw, Fn::PortOpenByOsSw, Fn::GetDeviceIDByOsSw, Fn::D4Negotiation,
                                   Fn::InquireStatus));
    EXPECT_EQ(Fake().CallsTo(Fn::PortOpenByOsSw)[0].a, 1029u);
    EXPECT_EQ(frame.memo,
              "Printer is ready.\n"
              "Ink remaining amount;\n"
              " Black: 100%, Gray: 0%, Cyan: 75%, Magenta: 50%\n"
              " Yellow: 25%, Light Cyan: 10%, Light Magenta: 5%");
    EXPECT_EQ(LastLevel(), 1);
}

TEST_F(StatusReportTest, InkReportPrintsUnreadableAndStaleLevelsAsTheyStand) {
    Fake().SetStatus(MakeStatus(4, 0, {30, 30, 30, 30, 30, 30, 30}));
    GetStatus(frame, 1028);
    auto record = MakeStatus(4, 0, {-1, 40, 40, 40, 40, 40, 40});  // black: special code, keeps 30
    fake::SetInkCode(record, 6, '6', '5');                         // gray: 101 reads -1
    Fake().SetStatus(record);
    GetStatus(frame, 1028);
    EXPECT_EQ(frame.memo,
              "Printer is ready.\n"
              "Ink remaining amount;\n"
              " Black: 30%, Gray: -1%, Cyan: 40%, Magenta: 40%\n"
              " Yellow: 40%, Light Cyan: 40%, Light Magenta: 40%");
}

TEST_F(StatusReportTest, GetStatusNamesEachPrinterState) {
    const std::vector<std::tuple<std::uint8_t, std::string, bool>> cases = {
        {2, "Printer is busy.", false},
        {3, "Printer is printing.", false},
        {7, "Printer is cleaning.", false},
        {8, "Printer is before initial ink charge.", true},
        {5, "old text", false},
    };
    for (const auto& [state, text, red] : cases) {
        frame = MemoFrame{};
        Fake().SetStatus(MakeStatus(state));
        GetStatus(frame, 1028);
        EXPECT_EQ(frame.memo, text) << int(state);
        EXPECT_EQ(frame.red, red) << int(state);
        EXPECT_EQ(LastLevel(), 1) << int(state);
    }
}

TEST_F(StatusReportTest, GetStatusOnPrinterErrorReportsItAndKeepsTheSafeFeatures) {
    Fake().SetStatus(MakeStatus(0, 4));
    GetStatus(frame, 1028);
    EXPECT_EQ(frame.memo, "Paper jam error.\nClear the error and click the [Get Status] button.");
    EXPECT_TRUE(frame.red);
    EXPECT_EQ(LastLevel(), 2);
}

TEST_F(StatusReportTest, GetStatusCableFailuresLeaveTheFeaturesAsTheyWere) {
    // The start window accepts 4097 as a device ID; Get Status does not.
    for (auto [fn, code] : {std::pair{Fn::PortOpenByOsSw, 0x1000}, std::pair{Fn::GetDeviceIDByOsSw, 4097},
                            std::pair{Fn::GetDeviceIDByOsSw, 0x1000}}) {
        Fake().Reset();
        frame = MemoFrame{};
        Fake().SetResult(fn, static_cast<std::uint16_t>(code));
        GetStatus(frame, 1028);
        EXPECT_EQ(frame.memo, "Communication error occurred.\nCheck the I/F cable connection and power of printer.");
        EXPECT_TRUE(frame.red);
        EXPECT_TRUE(frame.levels.empty());
        EXPECT_EQ(Fake().CallCount(Fn::D4Negotiation), 0);
    }
}

TEST_F(StatusReportTest, GetStatusChannelFailuresDisableAllFeatures) {
    for (Fn fn : {Fn::D4Negotiation, Fn::InquireStatus}) {
        Fake().Reset();
        frame = MemoFrame{};
        Fake().SetResult(fn, 0x2000);
        GetStatus(frame, 1028);
        EXPECT_EQ(frame.memo, std::string("Communication error occurred.") + kRestart);
        EXPECT_EQ(LastLevel(), 3);
    }
}

// ---- availability ----

TEST_F(StatusReportTest, AvailabilityLevels) {
    const Availability one = *AvailabilityFor(1);
    EXPECT_EQ(std::count(one.adjustment.begin(), one.adjustment.end(), true), 13);
    EXPECT_EQ(std::count(one.maintenance.begin(), one.maintenance.end(), true), 5);
    EXPECT_TRUE(one.checkPatternGroup);
    EXPECT_FALSE(one.restartLine);

    const Availability two = *AvailabilityFor(2);
    EXPECT_TRUE(two.adjustment[0]);
    EXPECT_EQ(std::count(two.adjustment.begin(), two.adjustment.end(), true), 1);
    EXPECT_THAT(two.maintenance, ElementsAre(false, false, false, true, true));
    EXPECT_FALSE(two.checkPatternGroup);
    EXPECT_THAT(two.appendix, ElementsAre(true, true));
    EXPECT_FALSE(two.restartLine);

    const Availability three = *AvailabilityFor(3);
    EXPECT_EQ(std::count(three.adjustment.begin(), three.adjustment.end(), true), 0);
    EXPECT_EQ(std::count(three.maintenance.begin(), three.maintenance.end(), true), 0);
    EXPECT_FALSE(three.checkPatternGroup);
    EXPECT_THAT(three.appendix, ElementsAre(false, false));
    EXPECT_TRUE(three.restartLine);

    EXPECT_FALSE(AvailabilityFor(0));
    EXPECT_FALSE(AvailabilityFor(4));
    SetFeatureAvailability(frame, 7);
    EXPECT_TRUE(frame.levels.empty());
    EXPECT_EQ(frame.memo, "old text");
}

// ---- ReportErrorCode ----

struct CodeCase {
    Result code;
    std::string memo;
    int level;  // 0: availability untouched
};

TEST_F(StatusReportTest, EveryResultCodeHasItsMessages) {
    const std::string comm = "Communication error occurred.";
    const std::vector<CodeCase> cases = {
        {0x1001, comm + kRestart, 3},
        {0x1100, comm + "\nCheck the I/F cable connection and power of printer." + kRestart, 3},
        {0x2000, comm + kRestart, 3},
        {0x2001, "Cannot file open.", 0},
        {0x3000, comm + kRestart, 3},
        {0xB000, "Cannot found the DLL files.", 0},
        {0xC000,
         "There is not enough free memory to run this program.\n"
         "Quit one or more programs, and then try again.",
         0},
        {2, "old text", 0},
        {0, "old text", 0},
        {1, "old text", 0},
    };
    for (const auto& c : cases) {
        frame = MemoFrame{};
        ReportErrorCode(frame, c.code);
        EXPECT_EQ(frame.reEnabled, 1) << c.code;
        EXPECT_EQ(frame.memo, c.memo) << c.code;
        EXPECT_EQ(LastLevel(), c.level) << c.code;
    }
    EXPECT_EQ(Fake().CallCount(Fn::GetD4ErrorCode), 1);  // read by 0x2000 only
}

TEST_F(StatusReportTest, PortErrorMessageDependsOnTheDetail) {
    for (std::int16_t detail : {-105, -104, -103, -82, -81, -80, 0, -106}) {
        frame = MemoFrame{};
        Fake().SetIoErrorDetail(detail);
        ReportErrorCode(frame, 0x1000);
        const bool plain = detail == -105 || detail == -104 || detail == -103 || detail == -82 || detail == -81;
        EXPECT_EQ(frame.memo, std::string(plain ? "Communication error." : "Communication error occurred.") + kRestart)
            << detail;
        EXPECT_EQ(LastLevel(), 3);
    }
}

TEST_F(StatusReportTest, PrinterErrorReportUsesTheLastRecord) {
    const std::string clear = "\nClear the error and click the [Get Status] button.";
    const std::vector<std::pair<std::uint8_t, std::string>> cases = {
        {0, "Fatal error."},
        {1, "Communication error."},
        {3, "Release lever position error." + clear},
        {4, "Paper jam error." + clear},
        {5, "Ink out error." + clear},
        {6, "Paper out error." + clear},
        {7, "Paper gap error." + clear},
        {16, "Maintenance error."},
        {17, "Tear off mode selected." + clear},
        {18, "Double feed error." + clear},
        {28, "Cutter position error." + clear},
        {29, "Cutter jam error." + clear},
        {30, "Incompatible combination of ink cartridges installed." + clear},
        {2, "old text"},
        {31, "old text"},
    };
    for (const auto& [error, text] : cases) {
        frame = MemoFrame{};
        // The wait stops on state 8 and leaves the record as the printer filled it.
        Fake().SetStatus(MakeStatus(8, error));
        ASSERT_EQ(WaitUntilReady(frame, 1), 0x4000);
        ReportErrorCode(frame, 0x4000);
        EXPECT_EQ(frame.memo, text) << int(error);
        EXPECT_EQ(LastLevel(), 2) << int(error);
    }
}

TEST_F(StatusReportTest, HeadIdDetails) {
    const std::vector<std::pair<std::int16_t, std::string>> cases = {
        {1, "The read head ID is invalid."},
        {16, "The number of digit is wrong."},
        {17, "First digit is wrong."},
        {18, "Second and third digit are wrong."},
        {20, "Fourth and fifth digit are wrong."},
        {22, "Sixth and seventh digit are wrong."},
        {24, "Eighth and ninth digit are wrong."},
        {26, "Tenth digit is wrong."},
        {27, "11th digit is wrong."},
        {28, "12th digit is wrong."},
        {29, "13th digit is wrong."},
        {36, "20th digit is wrong."},
        {37, "21th digit is wrong."},
        {38, "22th digit is wrong."},
        {39, "23th digit is wrong."},
        {41, "25th digit is wrong."},
        {19, "old text"},
        {42, "old text"},
        {0, "old text"},
    };
    for (const auto& [detail, text] : cases) {
        frame = MemoFrame{};
        HeadIdErrorDetail = detail;
        ReportErrorCode(frame, 0x5000);
        EXPECT_EQ(frame.memo, text) << detail;
        EXPECT_TRUE(frame.focus.empty());
        EXPECT_TRUE(frame.levels.empty());
    }
}

struct DetailCase {
    Result group;
    std::int16_t* variable;
    std::int16_t detail;
    std::string focus;
    std::string memo;
};

TEST_F(StatusReportTest, FieldDetailsMoveTheFocusBeforeTheMessage) {
    const std::string pw1 = "A range of input value is -8 to 24.";
    const std::string pw2 = "A range of input value is -16 to 16.";
    const std::string shift = "A range of input value is -5 to 5.";
    const std::vector<DetailCase> cases = {
        {0x7000, &BidErrorDetail, 1, "BidVSD1BkInputEdit", "VSD1 Black value is wrong."},
        {0x7000, &BidErrorDetail, 2, "BidVSD2BkInputEdit", "VSD2 Black value is wrong."},
        {0x7000, &BidErrorDetail, 3, "BidVSD4BkInputEdit", "VSD4 Black value is wrong."},
        {0x7000, &BidErrorDetail, 4, "BidVSD2DBkInputEdit", "VSD2' Black value is wrong."},
        {0x7000, &BidErrorDetail, 5, "BidVSD1CLInputEdit", "VSD1 Color value is wrong."},
        {0x7000, &BidErrorDetail, 6, "BidVSD2CLInputEdit", "VSD2 Color value is wrong."},
        {0x7000, &BidErrorDetail, 7, "BidVSD4CLInputEdit", "VSD4 Color value is wrong."},
        {0x7000, &BidErrorDetail, 8, "BidVSD2DCLInputEdit", "VSD2' Color value is wrong."},
        {0x7000, &BidErrorDetail, 9, "", "old text"},
        {0x8000, &UsbIdErrorDetail, 1, "", "The Number of digit is wrong."},
        {0x8000, &UsbIdErrorDetail, 2, "", "Parameter is only number & alphabet."},
        {0x8000, &UsbIdErrorDetail, 16, "", "The USB ID is wrong."},
        {0x8000, &UsbIdErrorDetail, 3, "", ""},  // unlisted: the memo is emptied
        {0xF010, &PwSensorErrorDetail, 1, "PWSensorHMXUEdit", pw1},
        {0xF010, &PwSensorErrorDetail, 2, "PWSensorHMXDEdit", pw1},
        {0xF010, &PwSensorErrorDetail, 3, "PWSensorHMYUEdit", pw2},
        {0xF010, &PwSensorErrorDetail, 4, "PWSensorHMYDEdit", pw2},
        {0xF010, &PwSensorErrorDetail, 5, "", "old text"},
        {0xF020, &PixelShiftErrorDetail, 1, "ColorShiftAInputEdit", shift},
        {0xF020, &PixelShiftErrorDetail, 2, "ColorShiftBInputEdit", shift},
        {0xF020, &PixelShiftErrorDetail, 3, "ColorShiftCInputEdit", shift},
        {0xF020, &PixelShiftErrorDetail, 4, "ColorShiftDInputEdit", shift},
        {0xF020, &PixelShiftErrorDetail, 5, "ColorShiftEInputEdit", shift},
        {0xF020, &PixelShiftErrorDetail, 6, "ColorShiftFInputEdit", shift},
        {0xF020, &PixelShiftErrorDetail, 7, "", "old text"},
        {0xF030, &Ieee1394IdErrorDetail, 1, "IEEE1394IDInputEdit", "The Number of digit is wrong."},
        {0xF030, &Ieee1394IdErrorDetail, 2, "IEEE1394IDInputEdit", "The IEEE 1394 ID is wrong."},
        {0xF030, &Ieee1394IdErrorDetail, 3, "", "The read ID is invalid."},
        {0xF040, &EepromCopyErrorDetail, 1, "", "The read data is invalid. \nReplace the main board with new one."},
        {0xF040, &EepromCopyErrorDetail, 2, "", "Cannot create file."},
        {0xF040, &EepromCopyErrorDetail, 3, "", "Cannot read data from file."},
        {0xF040, &EepromCopyErrorDetail, 4, "", "old text"},
    };
    for (const auto& c : cases) {
        frame = MemoFrame{};
        *c.variable = c.detail;
        ReportErrorCode(frame, c.group);
        const std::string where = std::to_string(c.group) + "/" + std::to_string(c.detail);
        EXPECT_EQ(frame.memo, c.memo) << where;
        if (c.focus.empty()) {
            EXPECT_TRUE(frame.focus.empty()) << where;
        } else {
            EXPECT_THAT(frame.focus, ElementsAre(c.focus)) << where;
            // The field has the focus before the message is shown.
            EXPECT_THAT(frame.events, ElementsAre("focus " + c.focus, "mode 4")) << where;
        }
        if (c.memo != "old text") {
            EXPECT_TRUE(frame.red) << where;
        }
        EXPECT_EQ(frame.reEnabled, 1);
    }
}

}  // namespace
}  // namespace svc
