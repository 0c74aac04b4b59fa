// The command line and the session runner against the recording fake.
#include "cli/CliFrame.h"
#include "cli/CliHost.h"
#include "cli/Session.h"
#include "cli/testing/Streams.h"
#include "link/OutsideLibraries.h"
#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

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
    EXPECT_EQ(Parse({"--model", "4100", "--port", "LPT1", "get-status", "extra"}, line), "unknown operation 'extra'");
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

TEST(CommandLine, UsageFitsEightyColumns) {
    std::istringstream lines(Usage());
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        EXPECT_LE(line.size(), 80u) << "line " << number << ": " << line;
        EXPECT_EQ(line.find('\t'), std::string::npos) << "line " << number;
    }
    EXPECT_GT(number, 60);
}

TEST(CommandLine, AUsageErrorIsOneLineAndWhereToFindHelp) {
    EXPECT_EQ(UsageError("--model is required"),
              "svcadjust-cli: --model is required\nTry 'svcadjust-cli --help' for more information.\n");
}

TEST(CommandLine, TheOptionNamedIsTheOneThatIsWrong) {
    CommandLine line;
    // A cluster of short options names its unknown letter, not the next word.
    EXPECT_EQ(Parse({"-qy", "--model", "4100", "--port", "LPT1"}, line), "unknown option '-q'");
    EXPECT_EQ(Parse({"-yq", "--model", "4100"}, line), "unknown option '-q'");
    EXPECT_EQ(Parse({"--yes=1", "--model", "4100", "--port", "LPT1"}, line), "--yes takes no value");
    EXPECT_EQ(Parse({"--port=LPT1", "--model"}, line), "--model needs a value");
    EXPECT_EQ(Parse({"--frob=2"}, line), "unknown option '--frob'");
    // Help and version end the parse, whatever follows.
    ASSERT_EQ(Parse({"--version", "--bogus"}, line), "");
    EXPECT_TRUE(line.version);
    ASSERT_EQ(Parse({"-h"}, line), "");
    EXPECT_TRUE(line.help);
}

TEST(CommandLine, EveryOperationsArgumentsAreCheckedBeforeTheSession) {
    CommandLine line;
    // The first operation is fine; the second would not fit its field.
    EXPECT_EQ(Parse({"--model", "4100", "--port", "LPT1", "usb-id-input", "QQQQQQQQQQ", "head-id-input",
                     std::string(34, 'A')},
                    line),
              "head-id-input: at most 25 characters fit the field, not 34");
    EXPECT_EQ(Parse({"--model", "4100", "--port", "LPT1", "paper-feed", "-"}, line, "paper-feed\ncut-input 0\n"),
              "standard input, line 2: cut-input: the mark is one of 1 to 17, not '0'");
    EXPECT_EQ(Parse({"--model", "4100", "--port", "LPT1", "bid-print", "VSD1,VSD5"}, line),
              "bid-print: 'VSD5' is not one of VSD1, VSD2, VSD2', VSD4");
    EXPECT_EQ(Parse({"--model", "4100", "--port", "LPT1", "eeprom-poke", "1FF", "00"}, line),
              "eeprom-poke: at most 2 characters fit the field, not 3");
}

TEST(CommandLine, WordsInMessagesShowControlCharactersAndStayShort) {
    CommandLine line;
    const std::string withNul("paper-feed\0 tail", 16);
    EXPECT_EQ(Parse({"--model", "4100", "--port", "LPT1", "-"}, line, withNul + "\n"),
              "standard input, line 1: unknown operation 'paper-feed\\x00'");
    EXPECT_EQ(Parse({"--model", "4100", "--port", "LPT1", "-"}, line, "get-status\x1b[2J\n"),
              "standard input, line 1: unknown operation 'get-status\\x1B[2J'");
    const std::string message = Parse({"--model", "4100", "--port", "LPT1", std::string(5000, 'x')}, line);
    EXPECT_EQ(message, "unknown operation '" + std::string(64, 'x') + "...'");
}

TEST(CommandLine, StandardInputThatCannotBeReadOrIsTooLongIsAnError) {
    CommandLine line;
    const std::vector<std::string> args{"--model", "4100", "--port", "LPT1", "-"};
    // More than 1 MiB, even of blank lines, is not an operation list.
    EXPECT_EQ(Parse(args, line, std::string(kMaxInputBytes + 1, '\n')),
              "standard input holds more than 1 MiB of operations");
    EXPECT_EQ(Parse(args, line, std::string(kMaxInputBytes, '\n')), "");

    // A directory: the read fails, and says why.
    const int directory = ::open("/", O_RDONLY | O_DIRECTORY);
    ASSERT_GE(directory, 0);
    std::string text;
    EXPECT_EQ(ReadInputFile(directory, text), "standard input cannot be read: Is a directory");
    ::close(directory);

    // An endless source stops at the limit.
    const int zero = ::open("/dev/zero", O_RDONLY);
    ASSERT_GE(zero, 0);
    EXPECT_EQ(ReadInputFile(zero, text), "standard input holds more than 1 MiB of operations");
    EXPECT_LE(text.size(), kMaxInputBytes + 65536);
    ::close(zero);

    const auto failing = [](std::string&) { return std::string("standard input cannot be read: Input/output error"); };
    EXPECT_EQ(ParseCommandLine(args, failing, line), "standard input cannot be read: Input/output error");
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
    EXPECT_EQ(Fake().AcceptedBytes(),
              (std::vector<std::uint8_t>{0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A}));
    EXPECT_EQ(Fake().CallCount(Fn::D4Termination), 1);
    EXPECT_NE(streams.Out().find("Printer is ready."), std::string::npos);
    EXPECT_EQ(streams.Err(), "");
}

TEST_F(SessionTest, ArgumentsAreCheckedBeforeConnecting) {
    CommandLine line;
    ASSERT_EQ(Parse({"--model", "4100", "--port", "LPT1", "paper-feed"}, line), "");
    // A caller that skipped the parse's check: the session refuses before it connects.
    line.steps.push_back({FindOperation("cut-input"), {"18"}});
    EXPECT_EQ(RunSession(line, frame), kExitUsage);
    EXPECT_EQ(streams.Err(), UsageError("cut-input: the mark is one of 1 to 17, not '18'"));
    EXPECT_EQ(Fake().CallCount(Fn::PortOpenByOsSw), 0);
    EXPECT_TRUE(Fake().Sends().empty());
}

TEST_F(SessionTest, ACodeWithoutAMessageIsStillNamed) {
    CliHost host(frame, true, [](const std::string&, std::string&) { return false; });
    SetHost(&host);
    CommandLine line;
    ASSERT_EQ(Parse({"--model", "4100", "--port", "LPT1", "paper-feed"}, line), "");
    Fake().SetResult(Fn::SendDataChannel, 99);
    EXPECT_EQ(RunSession(line, frame), kExitFailed);
    SetHost(nullptr);
    EXPECT_EQ(streams.Err(), "error: the printer or link reported code 99 (0x0063)\n");
    // Only standard error names it; the memo shows what the window would.
    EXPECT_EQ(streams.Out().find("99"), std::string::npos) << streams.Out();
}

TEST_F(SessionTest, APrinterErrorWithoutAMessageNamesThePrintersCode) {
    CliHost host(frame, true, [](const std::string&, std::string&) { return false; });
    SetHost(&host);
    CommandLine line;
    ASSERT_EQ(Parse({"--model", "4100", "--port", "LPT1", "head-cleaning"}, line), "");
    Fake().QueueStatus({fake::MakeStatus(4), fake::MakeStatus(0, 2)});  // cover open: no message of its own
    EXPECT_EQ(RunSession(line, frame), kExitFailed);
    SetHost(nullptr);
    EXPECT_EQ(streams.Err(), "error: the printer reported error 2 (code 16384, 0x4000)\n");
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

namespace svc::cli {
namespace {

// What a terminal shows for a wait: the frame rewrites lines in place.
class LiveFrameTest : public ::testing::Test {
protected:
    void SetUp() override { frame.SetLive(true, 80); }
    void Wait(int ms) {
        frame.BeforeWait();
        frame.AfterWait(ms);
    }
    testing::Streams streams;
    CliFrame frame{streams.out, streams.err};
};

TEST_F(LiveFrameTest, AWaitThatRepeatsItsLinesStaysOnePlaceAndCountsTheSeconds) {
    frame.BeginOperation();
    for (int second = 0; second < 3; ++second) {
        frame.SetOperationState(mode::BusyNoWait, "Printer is busy.");
        frame.SetOperationState(mode::Line, "Please wait..");
        Wait(1000);
    }
    frame.SetOperationState(mode::Report, "Printing now...");
    frame.SetOperationState(mode::Error, "Paper out error.");
    EXPECT_FALSE(frame.EndOperation());
    EXPECT_EQ(streams.Out(),
              "Printer is busy.\nPlease wait..\rPlease wait.. (2 s)\rPlease wait.. (3 s)\nPrinting now...\n");
    EXPECT_EQ(streams.Err(), "error: Paper out error.\n");
}

TEST_F(LiveFrameTest, ACountdownRewritesItsLastLine) {
    frame.SetOperationState(mode::Report, "Please wait...");
    frame.SetOperationState(mode::Line, "Don't disconnect AC cable.");
    Wait(5000);
    for (int digit = 9; digit >= 7; --digit) {
        frame.SetOperationState(mode::Report, "Please wait...");
        frame.SetOperationState(mode::Line, "Don't disconnect AC cable.");
        frame.SetOperationState(mode::Line, std::to_string(digit));
        Wait(1000);
    }
    frame.SetOperationState(mode::Report, "");
    frame.ShowLines({"Disconnect AC cable."});
    frame.EndLine();
    EXPECT_EQ(streams.Out(), "Please wait...\nDon't disconnect AC cable.\n9\r8\r7\nDisconnect AC cable.\n");
}

TEST_F(LiveFrameTest, ABoxThatComesBackStaysOneLineAndAShorterLineBlanksTheRest) {
    for (int i = 0; i < 3; ++i) {
        frame.ShowLines({"Trun off the printer. Don't disconnect AC cable."});
        Wait(1000);
    }
    frame.SetOperationState(mode::Report, "Please wait...");
    frame.SetOperationState(mode::Report, "Busy.");
    frame.EndLine();
    EXPECT_EQ(streams.Out(),
              "Trun off the printer. Don't disconnect AC cable.\r"
              "Trun off the printer. Don't disconnect AC cable. (2 s)\r"
              "Trun off the printer. Don't disconnect AC cable. (3 s)\n"
              "Please wait...\nBusy.\n");
}

TEST_F(LiveFrameTest, TextAddedToALineIsPrintedOnce) {
    frame.SetOperationState(mode::Report, "Ink remaining amount;");
    frame.SetOperationState(mode::Line, " Black: ");
    frame.SetOperationState(mode::Append, "92");
    frame.SetOperationState(mode::Append, "%, Gray: ");
    frame.EndLine();
    EXPECT_EQ(streams.Out(), "Ink remaining amount;\n Black: 92%, Gray: \n");
}

TEST_F(LiveFrameTest, AMemoShorterThanTheScreenIsShownAnew) {
    frame.SetOperationState(mode::Report, "Please wait...");
    frame.SetOperationState(mode::Line, "Don't disconnect AC cable.");
    frame.SetOperationState(mode::Report, "Please wait...");
    Wait(1000);
    frame.SetOperationState(mode::Report, "");
    frame.EndLine();
    EXPECT_EQ(streams.Out(), "Please wait...\nDon't disconnect AC cable.\nPlease wait...\n");
}

TEST_F(LiveFrameTest, LinesAsWideAsTheTerminalAreNotRewritten) {
    frame.SetLive(true, 20);
    frame.SetOperationState(mode::Report, "a line of twenty-five");
    frame.SetOperationState(mode::Report, "a line of twenty-six!");
    frame.EndLine();
    EXPECT_EQ(streams.Out(), "a line of twenty-five\na line of twenty-six!\n");
}

TEST(CliFrameNotATerminal, EveryLineIsPrintedAsItComes) {
    testing::Streams streams;
    CliFrame frame(streams.out, streams.err);
    ASSERT_FALSE(frame.Live());
    for (int i = 0; i < 2; ++i) {
        frame.SetOperationState(mode::BusyNoWait, "Printer is busy.");
        frame.SetOperationState(mode::Line, "Please wait..");
        frame.BeforeWait();
        frame.AfterWait(1000);
        frame.ShowLines({"Box."});
    }
    frame.EndLine();
    EXPECT_EQ(streams.Out(), "Printer is busy.\nPlease wait..\nBox.\nPrinter is busy.\nPlease wait..\nBox.\n");
}

}  // namespace
}  // namespace svc::cli
