// The service-sequence operations of svcadjust-cli against the recording
// fake: arguments, prompts on the terminal, and what reaches the wire.
#include "cli/CliFrame.h"
#include "cli/CliHost.h"
#include "cli/Session.h"
#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace svc::cli {
namespace {

using fake::Fake;
using fake::Fn;
using fake::MakeStatus;
using Bytes = std::vector<std::uint8_t>;

struct Streams {
    Streams() : out(std::tmpfile()), err(std::tmpfile()) {}
    ~Streams() {
        std::fclose(out);
        std::fclose(err);
    }
    Streams(const Streams&) = delete;
    Streams& operator=(const Streams&) = delete;
    static std::string Read(std::FILE* f) {
        std::fflush(f);
        std::rewind(f);
        std::string text;
        for (int c; (c = std::fgetc(f)) != EOF;) text.push_back(static_cast<char>(c));
        return text;
    }
    std::string Out() { return Read(out); }
    std::string Err() { return Read(err); }
    std::FILE* out;
    std::FILE* err;
};

std::vector<Bytes> FactoryPackets() {
    std::vector<Bytes> out;
    for (const Bytes& s : Fake().Sends())
        if (s.size() >= 10 && s[0] == 0x1B && s[1] == 0x7C) out.push_back(s);
    return out;
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class ServiceOpsTest : public ::testing::Test {
protected:
    void SetUp() override { Fake().Reset(); }

    // Runs a session with --model 4100 --port LPT1 and the given words.
    int Run(std::vector<std::string> words, int model = 4100) {
        std::vector<std::string> args{"--model", std::to_string(model), "--port", "LPT1"};
        args.insert(args.end(), words.begin(), words.end());
        std::istringstream none;
        CommandLine line;
        const std::string usage = ParseCommandLine(args, none, line);
        EXPECT_EQ(usage, "");
        if (!usage.empty()) return -1;
        return RunSession(line, frame);
    }

    Streams streams;
    CliFrame frame{streams.out, streams.err};
};

TEST_F(ServiceOpsTest, PGMovesAskOnTheTerminalAndLeaveHomeOnce) {
    CliHost host(frame, true);
    SetHost(&host);
    EXPECT_EQ(Run({"--yes", "pg-move", "main_right", "pg-move", "center", "pg-finish"}), kExitOk);
    SetHost(nullptr);
    const auto packets = FactoryPackets();
    ASSERT_EQ(packets.size(), 5u);
    EXPECT_EQ(packets[0][7], 0xC4);  // LeaveHome: the push ...
    EXPECT_EQ(packets[1][7], 0xC5);  // ... and the release
    EXPECT_EQ(packets[2], (Bytes{0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xC4, 0x3B, 0x62, 0x10, 0x76, 0x02, 0x00}));
    EXPECT_EQ(packets[3], (Bytes{0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xC4, 0x3B, 0x62, 0x10, 0x2C, 0x06, 0x00}));
    EXPECT_EQ(packets[4], (Bytes{0x1B, 0x7C, 0x00, 0x05, 0x00, 0x06, 0x16, 0x81, 0x7E, 0xC0}));
    const std::string out = streams.Out();
    EXPECT_EQ(Count(out, "Set the PG lever to \"+\" position.\n(answered OK: --yes)\n"), 2);
    EXPECT_NE(out.find("Moving now...\nThe carriage has moved to adjustment position of the main shaft right.\n"),
              std::string::npos);
    EXPECT_NE(out.find("The carriage has moved to home position.\n"), std::string::npos);
    EXPECT_EQ(streams.Err(), "");
}

TEST_F(ServiceOpsTest, WithNobodyToAskTheLeverPromptCancelsTheMove) {
    CliHost host(frame, false, [](const std::string&, std::string&) { return false; });
    SetHost(&host);
    EXPECT_EQ(Run({"pg-move", "sub_left"}), kExitOk);
    SetHost(nullptr);
    EXPECT_TRUE(FactoryPackets().empty());
    EXPECT_NE(streams.Out().find("(no terminal to ask: answered Cancel; --yes answers OK)"), std::string::npos);
}

TEST_F(ServiceOpsTest, AnotherPanelAfterAMoveBringsTheCarriageHomeFirst) {
    fake::ScriptedHost host;
    EXPECT_EQ(Run({"pg-move", "sub_right", "ink-charge"}), kExitOk);
    const auto packets = FactoryPackets();
    ASSERT_EQ(packets.size(), 5u);
    EXPECT_EQ(packets[3][7], 0x81);  // CarriageHome when the ink charge panel is picked
    EXPECT_EQ(packets[4], (Bytes{0x1B, 0x7C, 0x00, 0x06, 0x00, 0x06, 0x16, 0x84, 0x7B, 0x42, 0x0C}));
    EXPECT_NE(streams.Out().find("Charging now...\nThe ink charge has completed.\n"), std::string::npos);
}

TEST_F(ServiceOpsTest, CleaningPrintsWhatThePrinterIsDoingAndFailsOnAnError) {
    fake::ScriptedHost host;
    // Get Status; the first cleaning; the second ends in paper out.
    Fake().QueueStatus({MakeStatus(4), MakeStatus(4), MakeStatus(7), MakeStatus(4), MakeStatus(4), MakeStatus(0, 6)});
    EXPECT_EQ(Run({"head-cleaning", "head-cleaning"}), kExitFailed);
    EXPECT_EQ(Count(streams.Out(), "Cleaning now...\n"), 2);
    EXPECT_EQ(Count(streams.Out(), "The head cleaning has completed.\n"), 1);
    EXPECT_EQ(streams.Err(), "error: Paper out error.\nerror: Clear the error and click the [Get Status] button.\n");
    EXPECT_EQ(host.Sleeps(), (std::vector<int>{1000}));
}

TEST_F(ServiceOpsTest, CRDispersionTakesTheReplacedPartsAsAList) {
    fake::ScriptedHost host;
    EXPECT_EQ(Run({"cr-dispersion", "main,crmotor"}), kExitOk);
    EXPECT_EQ(Fake().EepromWrites(), (std::vector<std::pair<std::uint8_t, std::uint8_t>>{{0xAC, 0x42}}));
    EXPECT_TRUE(FactoryPackets().empty());
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].text,
              "Once you select OK button, a value for the CR motor drive dispersion will automatically be registered.");
    EXPECT_NE(streams.Out().find("A value for the CR motor drive dispersion has successfully registered.\n"),
              std::string::npos);

    Fake().Reset();
    EXPECT_EQ(Run({"cr-dispersion", "mainshaft,subshaft"}), kExitOk);
    EXPECT_TRUE(Fake().EepromWrites().empty());
    EXPECT_NE(streams.Out().find("It's not necessary to execute this function"), std::string::npos);

    Fake().Reset();
    EXPECT_EQ(Run({"cr-dispersion", "ps,mainshaft,subshaft"}), kExitOk);
    EXPECT_EQ(FactoryPackets().size(), 27u);
    EXPECT_EQ(Fake().EepromWrites().size(), 1u);
}

TEST_F(ServiceOpsTest, MalformedArgumentsAreUsageErrorsThatSendNothing) {
    fake::ScriptedHost host;
    EXPECT_EQ(Run({"cr-dispersion", "main,flux"}), kExitUsage);
    EXPECT_NE(streams.Err().find("unknown part 'flux' (parts: main, crmotor, ps, mainshaft, subshaft)"),
              std::string::npos);
    EXPECT_EQ(Run({"pg-move", "upstairs"}), kExitUsage);
    EXPECT_NE(streams.Err().find("unknown point 'upstairs' (points: main_right, main_left, sub_right, sub_left, "
                                 "center)"),
              std::string::npos);
    EXPECT_TRUE(FactoryPackets().empty());
    EXPECT_TRUE(Fake().EepromWrites().empty());
}

TEST_F(ServiceOpsTest, RefurbishmentShowsTheStepsCountsDownAndEndsTheSession) {
    fake::ScriptedHost host;
    Fake().QueueStatus({MakeStatus(4), MakeStatus(4), MakeStatus(7), MakeStatus(7), MakeStatus(4)});
    Fake().SetResultOnCall(Fn::InquireStatus, 8, 0x1000);  // off after the first power-off box
    EXPECT_EQ(Run({"doa", "get-status"}, 4200), kExitFailed);
    const std::string out = streams.Out();
    EXPECT_EQ(Count(out, "When the carriage stops at I/C exchange position,\n"), 1);
    EXPECT_NE(out.find("  1st step: Press the roll-paper SW after removing the ink cartridge. The printer starts the "
                       "ink discharge.\n"),
              std::string::npos);
    EXPECT_NE(out.find("  3rd step: Press the roll-paper SW after removing the jig. The printer starts the "
                       "transportation liquid discharge.\n"),
              std::string::npos);
    EXPECT_NE(out.find("The transportion liquid exchange function has completed.\n"
                       "Resetting EEPROM data to delivery setting now.\n"
                       "The EEPROM data has been reset properly.\n"),
              std::string::npos);
    EXPECT_EQ(Count(out, "Please wait...\nDon't disconnect AC cable.\n"), 10);
    EXPECT_NE(out.find("Don't disconnect AC cable.\n9\n"), std::string::npos);
    EXPECT_NE(out.find("Don't disconnect AC cable.\n0\n"), std::string::npos);
    ASSERT_EQ(host.Boxes().size(), 2u);
    EXPECT_EQ(host.Boxes()[1].text, "Disconnect AC cable.");
    // The window closed itself: no channel shutdown, and the rest is not run.
    EXPECT_EQ(Fake().CallCount(Fn::D4Termination), 0);
    EXPECT_NE(streams.Err().find("error: the main window closed after doa; 1 operation(s) not run"),
              std::string::npos);
    EXPECT_EQ(Fake().EepromWrites().back(), (std::pair<std::uint8_t, std::uint8_t>{0xF9, 0x00}));
}

}  // namespace
}  // namespace svc::cli
