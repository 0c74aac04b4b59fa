// The service-sequence operations of svcadjust-cli against the recording
// fake: arguments, prompts on the terminal, and what reaches the wire.
#include "cli/CliFrame.h"
#include "cli/CliHost.h"
#include "cli/Session.h"
#include "cli/testing/Streams.h"
#include "eeprom/VexEeprom.h"
#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
// The programs these tests start keep no service journal: the developer's own
// journal is not theirs to write.
const bool kNoJournal = (::setenv("SVCADJUST_JOURNAL", "off", 1), true);
}  // namespace

namespace svc::cli {
namespace {

using fake::Fake;
using fake::Fn;
using fake::MakeStatus;
using Bytes = std::vector<std::uint8_t>;

using testing::Streams;

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
        usage = ParseCommandLine(args, none, line);
        if (!usage.empty()) return kExitUsage;
        return RunSession(line, frame);
    }

    std::string usage;  // the usage error of the last Run
    Streams streams;
    CliFrame frame{streams.out, streams.err};
};

TEST_F(ServiceOpsTest, PGMovesAskOnTheTerminalAndLeaveHomeOnce) {
    CliHost host(frame, true);
    SetHost(&host);
    EXPECT_EQ(Run({"--yes", "pg-move", "main_right", "pg-move", "center", "pg-finish"}), kExitOk);
    SetHost(nullptr);
    const auto packets = Fake().FactorySends();
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
    EXPECT_TRUE(Fake().FactorySends().empty());
    EXPECT_NE(streams.Out().find("(no terminal to ask: answered Cancel; --yes answers OK)"), std::string::npos);
}

TEST_F(ServiceOpsTest, AnotherPanelAfterAMoveBringsTheCarriageHomeFirst) {
    fake::ScriptedHost host;
    EXPECT_EQ(Run({"pg-move", "sub_right", "ink-charge"}), kExitOk);
    const auto packets = Fake().FactorySends();
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
    EXPECT_TRUE(Fake().FactorySends().empty());
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
    EXPECT_EQ(Fake().FactorySends().size(), 27u);
    EXPECT_EQ(Fake().EepromWrites().size(), 1u);
}

TEST_F(ServiceOpsTest, MalformedArgumentsAreUsageErrorsThatSendNothing) {
    fake::ScriptedHost host;
    EXPECT_EQ(Run({"cr-dispersion", "main,flux"}), kExitUsage);
    EXPECT_EQ(usage, "cr-dispersion: unknown part 'flux' (parts: main, crmotor, ps, mainshaft, subshaft)");
    EXPECT_EQ(Run({"pg-move", "upstairs"}), kExitUsage);
    EXPECT_EQ(usage,
              "pg-move: unknown point 'upstairs' (points: main_right, main_left, sub_right, sub_left, "
              "center)");
    // Refused before the session began: not even the port was opened.
    EXPECT_EQ(Fake().CallCount(Fn::PortOpenByOsSw), 0);
    EXPECT_TRUE(Fake().FactorySends().empty());
    EXPECT_TRUE(Fake().EepromWrites().empty());
}

TEST(SwitchOff, TheHintNamesTheVirtualPrintersControlCommandWhenThereIsOne) {
    ::unsetenv(kVirtualPrinterControlVariable);
    EXPECT_EQ(SwitchOffHint(),
              "(switch the printer off with its power button; the session goes on once it no longer answers)");
    ::setenv(kVirtualPrinterControlVariable, "/tmp/svc run/vprinter.sock.ctl", 1);
    const std::string hint = SwitchOffHint();
    ::unsetenv(kVirtualPrinterControlVariable);
    EXPECT_EQ(hint.rfind("(the virtual printer is switched off with: ", 0), 0u) << hint;
    EXPECT_NE(hint.find("vprinter --control '/tmp/svc run/vprinter.sock.ctl' --send 'fault poweroff')"),
              std::string::npos)
        << hint;
}

TEST_F(ServiceOpsTest, RefurbishmentShowsTheStepsCountsDownAndEndsTheSession) {
    ::unsetenv(kVirtualPrinterControlVariable);
    fake::ScriptedHost host;
    Fake().QueueStatus({MakeStatus(4), MakeStatus(4), MakeStatus(7), MakeStatus(7), MakeStatus(4)});
    Fake().SetResultOnCall(Fn::InquireStatus, 8, 0x1000);  // off after the first power-off box
    EXPECT_EQ(Run({"doa", "get-status"}, 4200), kExitFailed);
    const std::string out = streams.Out();
    EXPECT_EQ(Count(out, "When the carriage stops at I/C exchange position,\n"), 1);
    // Before the power-off box, once: how to switch the printer off.
    EXPECT_NE(out.find("The EEPROM data has been reset properly.\n(switch the printer off with its power button"),
              std::string::npos)
        << out;
    EXPECT_EQ(Count(out, "power button"), 1);
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
    EXPECT_NE(streams.Err().find("error: the main window closed after doa; 1 operation(s) not run"), std::string::npos);
    EXPECT_EQ(Fake().EepromWrites().back(), (std::pair<std::uint8_t, std::uint8_t>{0xF9, 0x00}));
}

// ---- end to end: svcadjust-cli against the standalone virtual printer ----
//
// The two programs are the ones built beside this test. The printer runs its
// mechanism 1000 times faster; the program's own waits (one second per poll,
// the countdown) are real. The test plays the technician at the printer
// through the printer's control socket.

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

fs::path BinaryDir() { return fs::read_symlink("/proc/self/exe").parent_path(); }

class VirtualPrinterProcess {
public:
    VirtualPrinterProcess(int model, const std::vector<std::string>& extra) {
        char pattern[] = "/tmp/svc-e2e-XXXXXX";
        if (!::mkdtemp(pattern)) return;
        dir_ = pattern;
        socket_ = (dir_ / "lumen.sock").string();
        std::vector<std::string> args{(BinaryDir() / "vprinter").string(),
                                      "--socket",
                                      socket_,
                                      "--model",
                                      std::to_string(model),
                                      "--speed-up",
                                      "1000",
                                      "--eeprom",
                                      (dir_ / "eeprom.bin").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        const std::string log = (dir_ / "vprinter.log").string();
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd >= 0) {
                ::dup2(fd, STDERR_FILENO);
                ::dup2(fd, STDOUT_FILENO);
            }
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        for (int i = 0; i < 100 && !fs::exists(socket_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~VirtualPrinterProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        std::error_code ignored;
        if (!dir_.empty()) fs::remove_all(dir_, ignored);
    }
    VirtualPrinterProcess(const VirtualPrinterProcess&) = delete;
    VirtualPrinterProcess& operator=(const VirtualPrinterProcess&) = delete;

    bool Running() const { return pid_ > 0 && fs::exists(socket_); }
    const std::string& Socket() const { return socket_; }

    // One control command; its one-line answer.
    std::string Control(const std::string& command) const {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0) return "";
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = socket_ + ".ctl";
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        std::string answer;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            const std::string line = command + "\n";
            ::send(fd, line.data(), line.size(), MSG_NOSIGNAL);
            char c = 0;
            pollfd p{fd, POLLIN, 0};
            while (::poll(&p, 1, 5000) > 0 && ::read(fd, &c, 1) == 1 && c != '\n') answer.push_back(c);
        }
        ::close(fd);
        return answer;
    }
    // The fields of the `state` line.
    std::map<std::string, std::string> State() const {
        std::map<std::string, std::string> fields;
        std::istringstream words(Control("state"));
        for (std::string w; words >> w;)
            if (const auto eq = w.find('='); eq != std::string::npos) fields[w.substr(0, eq)] = w.substr(eq + 1);
        return fields;
    }
    std::uint8_t EepromByte(std::uint8_t address) const {
        const std::string hex = State()["eeprom"];
        if (hex.size() != 512) return 0;
        return static_cast<std::uint8_t>(std::stoi(hex.substr(address * 2u, 2), nullptr, 16));
    }
    std::string Log() const {
        std::ifstream in(dir_ / "vprinter.log");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    fs::path dir_;
    std::string socket_;
    pid_t pid_ = -1;
};

struct CliResult {
    int status = -1;
    std::string output;
};

// Runs svcadjust-cli on LPT1 of the printer; `onLine` sees each output line as it comes.
CliResult RunProgram(const VirtualPrinterProcess& printer, int model, const std::vector<std::string>& ops,
                     const std::function<void(const std::string&)>& onLine = nullptr, int limitSeconds = 120) {
    std::vector<std::string> args{
        (BinaryDir() / "svcadjust-cli").string(), "--model", model == 2 ? "4200" : "4100", "--port", "LPT1", "--yes"};
    args.insert(args.end(), ops.begin(), ops.end());
    const std::string portMap = "LPT1=unix:" + printer.Socket();
    int out[2];
    CliResult result;
    if (::pipe(out) != 0) return result;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();  // no terminal to ask: --yes answers
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(out[1], STDERR_FILENO);
        ::close(out[0]);
        ::close(out[1]);
        ::setenv("SVCADJUST_PORTMAP", portMap.c_str(), 1);
        ::setenv(kVirtualPrinterControlVariable, (printer.Socket() + ".ctl").c_str(), 1);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    const auto deadline = Clock::now() + std::chrono::seconds(limitSeconds);
    std::string pending;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{out[0], POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) {
            ::kill(pid, SIGKILL);
            result.output += "\n[svcadjust-cli killed: no end within the time limit]\n";
            break;
        }
        char buffer[4096];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            result.output += line + "\n";
            if (onLine) onLine(line);
        }
    }
    result.output += pending;
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class ServiceEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(BinaryDir() / "vprinter") || !fs::exists(BinaryDir() / "svcadjust-cli"))
            GTEST_SKIP() << "vprinter and svcadjust-cli are not built beside this test";
    }
};

TEST_F(ServiceEndToEnd, CleaningAndInkCharge) {
    VirtualPrinterProcess printer(1, {});
    ASSERT_TRUE(printer.Running());
    const auto before = printer.State();
    const CliResult run = RunProgram(printer, 1, {"head-cleaning", "ink-charge"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Cleaning now...\nThe head cleaning has completed.\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Charging now...\nThe ink charge has completed.\n"), std::string::npos) << run.output;
    const auto after = printer.State();
    EXPECT_EQ(std::stoi(after.at("cl1")), std::stoi(before.at("cl1")) + 1);
    EXPECT_EQ(std::stoi(after.at("cl34")), std::stoi(before.at("cl34")) + 1);
}

TEST_F(ServiceEndToEnd, PGRoundTrip) {
    VirtualPrinterProcess printer(2, {});
    ASSERT_TRUE(printer.Running());
    const CliResult run = RunProgram(
        printer, 2,
        {"pg-move", "main_right", "pg-move", "sub_left", "pg-finish", "pg-move", "center", "pg-print", "pg-finish"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("error"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("The carriage has moved to adjustment position of the sub shaft left.\n"),
              std::string::npos);
    EXPECT_NE(run.output.find("The PG adjustment pattern print has completed.\n"), std::string::npos) << run.output;
    // The printer took every move in order: out of home once per visit, point to point, home.
    const std::string log = printer.Log();
    std::size_t at = 0;
    for (const char* step : {"carriage move 14 FA FF 00", "carriage left the home position",
                             "carriage move 10 76 02 00", "carriage move 10 84 08 00", "carriage home",
                             "carriage move 14 FA FF 00", "carriage move 10 2C 06 00", "carriage home"}) {
        at = log.find(step, at);
        ASSERT_NE(at, std::string::npos) << step << "\n" << log;
        ++at;
    }
    EXPECT_EQ(log.find("refused"), std::string::npos) << log;
    const auto after = printer.State();
    EXPECT_EQ(after.at("carriage_at"), "home");
    EXPECT_EQ(after.at("page_serial"), "1");
}

TEST_F(ServiceEndToEnd, CRDispersionWithReadingsBeyondSixteenBitSums) {
    VirtualPrinterProcess printer(1, {"--cr-readings", "22000,22000,22000,21000,21000,21000"});
    ASSERT_TRUE(printer.Running());
    const CliResult run = RunProgram(printer, 1, {"cr-dispersion", "main,mainshaft,subshaft"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("A value for the CR motor drive dispersion has successfully registered."),
              std::string::npos);
    EXPECT_EQ(printer.EepromByte(0xAC), 0x75);
    EXPECT_EQ(printer.State().at("carriage_at"), "home");
}

TEST_F(ServiceEndToEnd, WholeRefurbishmentForDOA) {
    VirtualPrinterProcess printer(2, {});
    ASSERT_TRUE(printer.Running());
    int presses = 0;
    bool switchedOff = false;
    const CliResult run = RunProgram(printer, 2, {"doa"}, [&](const std::string& line) {
        if (line == "When the carriage stops at I/C exchange position,") {
            // The three steps at the printer: each press when the printer waits for it.
            for (int tries = 0; tries < 100 && presses < 3; ++tries) {
                const auto state = printer.State();
                if (state.count("exchange_steps") && std::stoi(state.at("exchange_steps")) == presses &&
                    state.at("activity") == "exchange") {
                    if (printer.Control("rollswitch").rfind("OK", 0) == 0) ++presses;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(60));
            }
        }
        // The command the program names, each time it asks (it asks again
        // while the printer still answers ready).
        if (line == "Trun off the printer. Don't disconnect AC cable.")
            switchedOff = printer.Control("fault poweroff").rfind("OK", 0) == 0 || switchedOff;
    });
    EXPECT_NE(run.output.find("(the virtual printer is switched off with: " + (BinaryDir() / "vprinter").string() +
                              " --control " + printer.Socket() +
                              ".ctl --send 'fault poweroff')\n"
                              "Trun off the printer. Don't disconnect AC cable.\n"),
              std::string::npos)
        << run.output;
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(presses, 3);
    EXPECT_TRUE(switchedOff);
    EXPECT_NE(run.output.find("The transportion liquid exchange function has completed.\n"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("The EEPROM data has been reset properly.\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Don't disconnect AC cable.\n0\nDisconnect AC cable.\n"), std::string::npos)
        << run.output;
    const auto after = printer.State();
    EXPECT_EQ(after.at("power"), "off");
    EXPECT_EQ(after.at("exchange_steps"), "3");
    for (const EepWrite& w : DeliverySettingWrites(kModel4200))
        EXPECT_EQ(printer.EepromByte(w.address), w.value) << "address " << int(w.address);
}

}  // namespace
}  // namespace svc::cli
