// The check-pattern and adjustment operations of svcadjust-cli against the
// recording fake: what their arguments put into the panel's fields, and the
// usage errors of arguments they cannot use.
#include "adjust/PfAdjust.h"
#include "adjust/VexBid.h"
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
using fake::Fn;
using Bytes = std::vector<std::uint8_t>;

using testing::Streams;

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

class CheckAdjustOpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Fake().Reset();
        for (int i = 0; i < 8; ++i) Fake().Eeprom()[0x60 + i] = static_cast<std::uint8_t>(i);
    }
    // Runs svcadjust-cli with these words after --model and --port; the exit status.
    int Run(std::vector<std::string> ops) {
        std::vector<std::string> args = {"--model", "4100", "--port", "LPT1", "--yes"};
        args.insert(args.end(), ops.begin(), ops.end());
        std::istringstream in;
        CommandLine line;
        parseError = ParseCommandLine(args, in, line);
        if (!parseError.empty()) return kExitUsage;
        CliHost host(frame, true, [](const std::string&, std::string&) { return false; });
        SetHost(&host);
        const int status = RunSession(line, frame);
        SetHost(nullptr);
        return status;
    }
    std::string Err() { return streams.Err(); }
    std::string Out() { return streams.Out(); }
    Streams streams;
    CliFrame frame{streams.out, streams.err};
    std::string parseError;
};

TEST_F(CheckAdjustOpsTest, EveryButtonHasItsOperation) {
    for (const char* name :
         {"a3-check-print", "a4-check-print", "head-check-print", "nozzle-check-print", "head-angular-print",
          "head-angular-adjust", "bid-print", "bid-read", "bid-input", "pf-print", "pf-read", "pf-input"})
        EXPECT_NE(FindOperation(name), nullptr) << name;
}

TEST_F(CheckAdjustOpsTest, BidPrintTakesAListOfSettingsOrPrintsAllFour) {
    ASSERT_EQ(Run({"bid-print", "vsd2',VSD4"}), kExitOk) << Err();
    auto f = Fake().FactorySends();
    ASSERT_EQ(f.size(), 16u);
    EXPECT_EQ(f[0][10], 4);  // VSD2' first
    EXPECT_EQ(f[8][10], 3);  // then VSD4

    SetUp();
    ASSERT_EQ(Run({"bid-print"}), kExitOk) << Err();
    EXPECT_EQ(Fake().FactorySends().size(), 32u);
    EXPECT_NE(Out().find("The Bi-D pattern print has completed."), std::string::npos);
}

TEST_F(CheckAdjustOpsTest, BidPrintRefusesAnUnknownSetting) {
    EXPECT_EQ(Run({"bid-print", "VSD3"}), kExitUsage);
    EXPECT_EQ(parseError, "bid-print: 'VSD3' is not one of VSD1, VSD2, VSD2', VSD4");
    EXPECT_TRUE(Fake().FactorySends().empty());
}

TEST_F(CheckAdjustOpsTest, BidInputWritesTheRowsGivenAndShowsTheirCells) {
    ASSERT_EQ(Run({"bid-input", "VSD1Bk=5", "vsd2dcl=-3", "VSD4CL=72"}), kExitOk) << Err();
    EXPECT_EQ(Fake().FactorySends(), (std::vector<Bytes>{SetBid(1, 1, 5), SetBid(0, 4, -3), SetBid(0, 3, 72)}));
    const std::string out = Out();
    EXPECT_NE(out.find("Bi-D VSD1 Black: 5"), std::string::npos) << out;
    EXPECT_NE(out.find("Bi-D VSD2' Color: -3"), std::string::npos) << out;
}

TEST_F(CheckAdjustOpsTest, BidInputUsageAndRangeErrors) {
    EXPECT_EQ(Run({"bid-input", "VSD1Bk"}), kExitUsage);
    EXPECT_NE(parseError.find("ROW=VALUE"), std::string::npos) << parseError;
    SetUp();
    EXPECT_EQ(Run({"bid-input", "VSD3Bk=1"}), kExitUsage);
    SetUp();
    EXPECT_EQ(Run({"bid-input", "VSD2Bk=1", "VSD2CL=0x10"}), kExitFailed);
    EXPECT_NE(Err().find("error: VSD2 Color value is wrong."), std::string::npos) << Err();
    EXPECT_EQ(Fake().FactorySends(), (std::vector<Bytes>{SetBid(1, 2, 1)}));
}

TEST_F(CheckAdjustOpsTest, BidReadPrintsTheEightValuesAsTheRowsAreLabelled) {
    Fake().Eeprom()[0x66] = 0xB8;  // VSD2' Color: -72
    ASSERT_EQ(Run({"bid-read"}), kExitOk) << Err();
    EXPECT_NE(Out().find("The Bi-D adjustment value has read properly.\n"
                         "VSD1 Black: 0\nVSD1 Color: 4\nVSD2 Black: 1\nVSD2 Color: 5\n"
                         "VSD2' Black: 2\nVSD2' Color: -72\nVSD4 Black: 3\nVSD4 Color: 7\n"),
              std::string::npos)
        << Out();
    EXPECT_EQ(Fake().CallCount(Fn::D4ReadEeprom), 8);
}

TEST_F(CheckAdjustOpsTest, PfReadPrintsTheValueAndAFailedReadPrintsNoValue) {
    Fake().Eeprom()[0x77] = 0xFD;
    ASSERT_EQ(Run({"pf-read"}), kExitOk) << Err();
    EXPECT_NE(Out().find("The PF adjustment value has read properly.\nPF adjustment: -3\n"), std::string::npos)
        << Out();

    SetUp();
    Fake().SetResult(Fn::D4ReadEeprom, 0x2000);
    EXPECT_EQ(Run({"bid-read"}), kExitFailed);
    EXPECT_EQ(Out().find("VSD1 Black:"), std::string::npos) << Out();
}

TEST_F(CheckAdjustOpsTest, PfInputTakesANegativeValueAndRefusesTheRest) {
    ASSERT_EQ(Run({"pf-input", "-2"}), kExitOk) << Err();
    EXPECT_EQ(Fake().EepromWrites(), (std::vector<std::pair<std::uint8_t, std::uint8_t>>{{0x77, 0xFE}}));
    EXPECT_NE(Out().find("PF adjustment: -2"), std::string::npos) << Out();

    SetUp();
    EXPECT_EQ(Run({"pf-input", "260"}), kExitFailed);
    EXPECT_NE(Err().find("error: The input value is wrong."), std::string::npos);
    EXPECT_TRUE(Fake().EepromWrites().empty());

    SetUp();
    EXPECT_EQ(Run({"pf-input"}), kExitUsage);
    EXPECT_NE(parseError.find("pf-input needs VALUE"), std::string::npos) << parseError;
}

TEST_F(CheckAdjustOpsTest, OperationsChainWithTheirOwnArguments) {
    ASSERT_EQ(Run({"pf-read", "pf-input", "4", "bid-read", "head-angular-adjust"}), kExitOk) << Err();
    EXPECT_EQ(Fake().EepromWrites(), (std::vector<std::pair<std::uint8_t, std::uint8_t>>{{0x77, 0x04}}));
    // The adjustment waited for the technician: --yes answered its box.
    EXPECT_NE(Out().find("The carriage has moved to home position."), std::string::npos) << Out();
}

}  // namespace
}  // namespace svc::cli
