// The PW sensor, pixel shift, first dot and cut position operations of
// svcadjust-cli: their arguments, usage errors and what they print.
#include "cli/CliFrame.h"
#include "cli/CliHost.h"
#include "cli/Session.h"
#include "cli/testing/Streams.h"
#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace svc::cli {
namespace {

using fake::Fake;
using Writes = std::vector<std::pair<std::uint8_t, std::uint8_t>>;

using testing::Streams;

class PositionAdjustOps : public ::testing::Test {
protected:
    void SetUp() override { Fake().Reset(); }
    // Runs the operations on LPT1 and returns the exit status.
    int Run(std::vector<std::string> ops) {
        std::vector<std::string> args{"--model", "4100", "--port", "LPT1", "--yes"};
        args.insert(args.end(), ops.begin(), ops.end());
        CommandLine line;
        std::istringstream in;
        const std::string usage = ParseCommandLine(args, in, line);
        if (!usage.empty()) {
            usageError = usage;
            return kExitUsage;
        }
        CliHost host(frame, true, [](const std::string&, std::string&) { return false; });
        SetHost(&host);
        const int status = RunSession(line, frame);
        SetHost(nullptr);
        return status;
    }
    std::string Out() { return streams.Out(); }
    std::string Err() { return streams.Err(); }

    Streams streams;
    CliFrame frame{streams.out, streams.err};
    std::string usageError;
};

TEST_F(PositionAdjustOps, PwInputWritesExactlyTheNamedEdges) {
    ASSERT_EQ(Run({"pw-input", "Top=3", "Right=-2"}), kExitOk) << Err();
    EXPECT_EQ(Fake().EepromWrites(), (Writes{{0x5C, 0xFE}, {0x5D, 0x03}}));
    EXPECT_NE(Out().find("PW sensor Top: 3"), std::string::npos) << Out();
}

TEST_F(PositionAdjustOps, PwInputArgumentsThatAreNotEdgesAreUsageErrors) {
    EXPECT_EQ(Run({"pw-input", "Middle=3"}), kExitUsage);
    EXPECT_NE(usageError.find("unknown edge 'Middle'"), std::string::npos) << usageError;
    EXPECT_TRUE(Fake().EepromWrites().empty());
}

TEST_F(PositionAdjustOps, PwInputOutOfRangeIsRefusedWithThePanelsMessage) {
    EXPECT_EQ(Run({"pw-input", "Left=25"}), kExitFailed);
    EXPECT_NE(Err().find("error: A range of input value is -8 to 24."), std::string::npos) << Err();
}

TEST_F(PositionAdjustOps, PwInputLongerThanTheFieldIsRefusedNotCut) {
    EXPECT_EQ(Run({"pw-input", "Top=-100"}), kExitFailed);
    EXPECT_NE(Err().find("error: A range of input value is -16 to 16."), std::string::npos) << Err();
    EXPECT_TRUE(Fake().EepromWrites().empty());
}

TEST_F(PositionAdjustOps, PwReadPrintsTheFourValues) {
    Fake().Eeprom()[0x5D] = 0xF0;
    ASSERT_EQ(Run({"pw-read"}), kExitOk);
    EXPECT_NE(Out().find("Top: -16\nBottom: 0\nLeft: 0\nRight: 0\n"), std::string::npos) << Out();
}

TEST_F(PositionAdjustOps, PixelShiftInputAndRead) {
    ASSERT_EQ(Run({"pixel-shift-input", "A=2", "F=-1", "pixel-shift-read"}), kExitOk) << Err();
    EXPECT_EQ(Fake().EepromWrites(), (Writes{{0x97, 0x02}, {0x9C, 0xFF}}));
    EXPECT_NE(Out().find("A line: 2\n"), std::string::npos) << Out();
    EXPECT_NE(Out().find("F line: -1\n"), std::string::npos) << Out();
}

TEST_F(PositionAdjustOps, PixelShiftInputRefusesAWrappingNumber) {
    EXPECT_EQ(Run({"pixel-shift-input", "B=256"}), kExitFailed);
    EXPECT_NE(Err().find("A range of input value is -5 to 5."), std::string::npos) << Err();
    EXPECT_TRUE(Fake().EepromWrites().empty());
}

TEST_F(PositionAdjustOps, PixelShiftInputRefusesUnknownLines) {
    EXPECT_EQ(Run({"pixel-shift-input", "G=1"}), kExitUsage);
    EXPECT_NE(usageError.find("unknown line 'G'"), std::string::npos) << usageError;
}

TEST_F(PositionAdjustOps, FirstDotInputTakesAValue) {
    ASSERT_EQ(Run({"first-dot-input", "-1"}), kExitOk) << Err();
    EXPECT_EQ(Fake().EepromWrites(), (Writes{{0x68, 0xFF}}));
}

TEST_F(PositionAdjustOps, FirstDotInputTakesThePanelsValue) {
    ASSERT_EQ(Run({"first-dot-right-edge", "first-dot-step-left", "first-dot-input"}), kExitOk) << Err();
    EXPECT_EQ(Fake().EepromWrites(), (Writes{{0x68, 68}}));
    EXPECT_NE(Out().find("First dot position: 68 (0.5997 mm), left margin 96 %, right margin 4 %"), std::string::npos)
        << Out();
}

TEST_F(PositionAdjustOps, FirstDotInputOnAFreshPanelWritesItsInitialZero) {
    ASSERT_EQ(Run({"first-dot-input"}), kExitOk) << Err();
    EXPECT_EQ(Fake().EepromWrites(), (Writes{{0x68, 0x00}}));
    EXPECT_NE(Out().find("The first dot position adjustment value has written properly."), std::string::npos);
    // The display starts where the window's does.
    EXPECT_EQ(frame.Text("LandMarginInputRealValuePnl"), "0.0000 mm");
    EXPECT_EQ(frame.Position("LeftMarginGauge"), 50);
}

TEST_F(PositionAdjustOps, AFailedReadPrintsNoValues) {
    Fake().SetResult(fake::Fn::D4ReadEeprom, 0x2000);
    EXPECT_EQ(Run({"first-dot-read"}), kExitFailed);
    EXPECT_EQ(Out().find("First dot position:"), std::string::npos) << Out();
    Fake().Reset();
    Fake().SetResult(fake::Fn::D4ReadEeprom, 0x2000);
    EXPECT_EQ(Run({"pw-read"}), kExitFailed);
    EXPECT_EQ(Out().find("Top:"), std::string::npos) << Out();
}

TEST_F(PositionAdjustOps, FirstDotInputOutOfRangeFails) {
    EXPECT_EQ(Run({"first-dot-input", "73"}), kExitFailed);
    EXPECT_NE(Err().find("A range of input value is -72 to 72."), std::string::npos) << Err();
    EXPECT_TRUE(Fake().EepromWrites().empty());
}

TEST_F(PositionAdjustOps, CutInputTakesAMarkOneToSeventeen) {
    EXPECT_EQ(Run({"cut-input", "18"}), kExitUsage);
    EXPECT_EQ(usageError, "cut-input: the mark is one of 1 to 17, not '18'");
}

TEST_F(PositionAdjustOps, CutInputTakesTheMarkAsListed) { EXPECT_EQ(Run({"cut-input", "09"}), kExitUsage); }

TEST_F(PositionAdjustOps, CutInputBeforeAPrintIsRefused) {
    EXPECT_EQ(Run({"cut-input", "1"}), kExitFailed);
    EXPECT_NE(Err().find("Please try this function after perform the pattern print."), std::string::npos);
    EXPECT_TRUE(Fake().Sends().empty() || Fake().Sends().back().size() != 30u);
}

TEST_F(PositionAdjustOps, CutPrintThenInputSendsTheMarksValue) {
    ASSERT_EQ(Run({"cut-print", "cut-input", "1"}), kExitOk) << Err();
    const auto sends = Fake().Sends();
    ASSERT_FALSE(sends.empty());
    const auto& last = sends.back();
    ASSERT_EQ(last.size(), 30u);
    EXPECT_EQ(last[20], 64);  // mark 1: 72 - 8
    EXPECT_NE(Out().find("The cut position adjustment value has written properly."), std::string::npos);
}

}  // namespace
}  // namespace svc::cli
