// The command line and the session runner against the recording fake.
#include "cli/CliFrame.h"
#include "cli/CliHost.h"
#include "cli/Session.h"
#include "cli/testing/Streams.h"
#include "link/OutsideLibraries.h"
#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace svc::cli {
namespace {

using fake::Fake;
using fake::Fn;

using testing::Streams;

std::string Parse(std::vector<std::string> args, CommandLine& line, const std::string& stdinText = "") {
    std::istringstream in(stdinText);
    return ParseCommandLine(args, in, line);
}

TEST(CommandLine, ModelPortAndStepsWithTheirArguments) {
    CommandLine line;
    ASSERT_EQ(Parse({"--model=4200", "--port", "ZQUSB2", "-y", "get-status", "paper-feed"}, line), "");
    EXPECT_EQ(line.modelCode, 2);
    EXPECT_EQ(line.portCode, 1026);
    EXPECT_TRUE(line.yes);
    ASSERT_EQ(line.steps.size(), 2u);
    EXPECT_EQ(line.steps[0].op->name, "get-status");
    EXPECT_EQ(line.steps[1].op->name, "paper-feed");
}

TEST(CommandLine, UsageErrorsSayWhatIsWrong) {
    CommandLine line;
    EXPECT_EQ(Parse({"--port", "LPT1", "get-status"}, line), "--model is required");
    EXPECT_EQ(Parse({"--model", "4100", "get-status"}, line), "--port is required");
    EXPECT_EQ(Parse({"--model", "4300", "--port", "LPT1"}, line), "--model takes 4100 or 4200, not '4300'");
    EXPECT_EQ(Parse({"--model", "4100", "--port", "LPT4"}, line),
              "--port takes LPT1-LPT3 or ZQUSB1-ZQUSB3, not 'LPT4'");
    EXPECT_EQ(Parse({"--model", "4100", "--port", "LPT1", "frobnicate"}, line), "unknown operation 'frobnicate'");
    EXPECT_EQ(Parse({"--model", "4100", "--port", "LPT1", "--fast"}, line), "unknown option '--fast'");
    EXPECT_EQ(Parse({"--model"}, line), "--model needs a value");
    EXPECT_EQ(Parse({"--model", "4100", "--port", "LPT1", "get-status", "--yes"}, line),
              "options come before the operations ('--yes')");
    // An operation without arguments leaves the next word to be an operation.
    EXPECT_EQ(Parse({"--model", "4100", "--port", "LPT1", "get-status", "extra"}, line),
              "unknown operation 'extra'");
}

TEST(CommandLine, OperationsFromStandardInputOnePerLine) {
    CommandLine line;
    ASSERT_EQ(Parse({"--model", "4100", "--port", "LPT1", "get-status", "-"}, line,
                    "# refurbishing line\n\npaper-feed\n  get-status  \n"),
              "");
    ASSERT_EQ(line.steps.size(), 3u);
    EXPECT_EQ(line.steps[2].op->name, "get-status");
    EXPECT_EQ(Parse({"--model", "4100", "--port", "LPT1", "-"}, line, "paper-feed get-status\n"),
              "standard input, line 1: one operation per line ('get-status' is one too many)");
}

TEST(CommandLine, UsageListsEveryOperation) {
    const std::string usage = Usage();
    for (const Operation& op : AllOperations()) EXPECT_NE(usage.find("  " + op.name), std::string::npos) << op.name;
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override { Fake().Reset(); }
    Streams streams;
    CliFrame frame{streams.out, streams.err};
};

TEST_F(SessionTest, ConnectsGetsStatusRunsStepsAndClosesTheChannel) {
    CliHost host(frame, false, [](const std::string&, std::string&) { return false; });
    SetHost(&host);
    CommandLine line;
    ASSERT_EQ(Parse({"--model", "4100", "--port", "LPT2", "paper-feed"}, line), "");
    EXPECT_EQ(RunSession(line, frame), kExitOk);
    SetHost(nullptr);
    EXPECT_EQ(Fake().CallsTo(Fn::PortOpenByOsSw).at(0).a, 1029u);
    EXPECT_EQ(Fake().AcceptedBytes(), (std::vector<std::uint8_t>{0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A,
                                                                 0x0D, 0x0A}));
    EXPECT_EQ(Fake().CallCount(Fn::D4Termination), 1);
    EXPECT_NE(streams.Out().find("Printer is ready."), std::string::npos);
    EXPECT_EQ(streams.Err(), "");
}

TEST_F(SessionTest, AFailedConnectionSaysWhyAndFails) {
    Fake().SetResult(Fn::D4Negotiation, 0x2000);
    CommandLine line;
    ASSERT_EQ(Parse({"--model", "4200", "--port", "LPT1", "paper-feed"}, line), "");
    EXPECT_EQ(RunSession(line, frame), kExitFailed);
    EXPECT_EQ(streams.Err(), "error: Communication error occurred.\n");
    EXPECT_TRUE(Fake().Sends().empty());
}

TEST_F(SessionTest, AReportedErrorGoesToStandardErrorAndStopsTheRest) {
    CliHost host(frame, false, [](const std::string&, std::string&) { return false; });
    SetHost(&host);
    CommandLine line;
    ASSERT_EQ(Parse({"--model", "4100", "--port", "LPT1", "paper-feed", "paper-feed"}, line), "");
    Fake().SetResult(Fn::SendDataChannel, 0x2000);
    Fake().SetChannelErrorDetail(7);
    EXPECT_EQ(RunSession(line, frame), kExitFailed);
    SetHost(nullptr);
    EXPECT_EQ(Fake().CallCount(Fn::SendDataChannel), 1);
    EXPECT_EQ(streams.Err().rfind("error: ", 0), 0u) << streams.Err();
}

TEST(CliHostTest, QuestionsWithoutATerminalTakeTheSafeAnswerAndSaySo) {
    Streams streams;
    CliFrame frame(streams.out, streams.err);
    CliHost nobody(frame, false, [](const std::string&, std::string&) { return false; });
    EXPECT_EQ(nobody.MessageBox(BoxOwner::MainWindow, "Start?", "Confirm", BoxIcon::Question, BoxButtons::YesNo),
              BoxAnswer::No);
    EXPECT_EQ(nobody.MessageBox(BoxOwner::MainWindow, "Go on?", "Confirm", BoxIcon::Question, BoxButtons::OkCancel),
              BoxAnswer::Cancel);
    CliHost yes(frame, true);
    EXPECT_EQ(yes.MessageBox(BoxOwner::MainWindow, "Start?", "Confirm", BoxIcon::Question, BoxButtons::YesNo),
              BoxAnswer::Yes);
    int asked = 0;
    CliHost person(frame, false, [&](const std::string&, std::string& answer) {
        answer = ++asked == 1 ? "maybe" : "y";
        return true;
    });
    EXPECT_EQ(person.MessageBox(BoxOwner::MainWindow, "Start?", "Confirm", BoxIcon::Question, BoxButtons::YesNo),
              BoxAnswer::Yes);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(streams.Out(),
              "Start?\n(no terminal to ask: answered No; --yes answers Yes)\n"
              "Go on?\n(no terminal to ask: answered Cancel; --yes answers OK)\n"
              "Start?\n(answered Yes: --yes)\n"
              "Start?\n");
}

TEST(CliFrameTest, MemoLinesPrintAsTheWindowShowsThemRedOnesAsErrors) {
    Streams streams;
    CliFrame frame(streams.out, streams.err);
    frame.BeginOperation();
    frame.SetOperationState(1, "Reading");
    frame.SetOperationState(5, "...");
    frame.SetOperationState(6, "second line");
    frame.SetOperationState(4, "Bad value.\nTry again.");
    frame.SetOperationState(6, "More.");
    frame.SetAdjustedCell("BidVSD2DBkPnl", "3");
    EXPECT_FALSE(frame.EndOperation());
    EXPECT_EQ(streams.Out(), "Reading...\nsecond line\nBi-D VSD2' Black: 3\n");
    EXPECT_EQ(streams.Err(), "error: Bad value.\nerror: Try again.\nerror: More.\n");
}

}  // namespace
}  // namespace svc::cli
