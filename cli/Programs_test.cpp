// The programs as a shell runs them: --help, --version, usage errors and
// their exit status, and svcadjust without a display. Each program is the
// one built beside this test; a program that is not built is skipped.
#include "link/Version.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {
// The programs these tests start keep no service journal: the developer's own
// journal is not theirs to write.
const bool kNoJournal = (::setenv("SVCADJUST_JOURNAL", "off", 1), true);
}  // namespace

namespace {

namespace fs = std::filesystem;

fs::path BinaryDir() { return fs::read_symlink("/proc/self/exe").parent_path(); }

struct Ran {
    int status = -1;  // the exit status; -1 when the program did not exit by itself
    int signal = 0;   // the signal that ended it, if one did
    std::string out, err;
    int Lines(const std::string& text) const {
        int n = 0;
        for (char c : text) n += c == '\n';
        return n;
    }
};

// Runs the program with these arguments, standard input from `input` (a
// path), the environment without any display unless `env` sets one.
Ran RunProgram(const std::string& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {}, const std::string& input = "/dev/null") {
    Ran ran;
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0) return ran;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        const int in = ::open(input.c_str(), O_RDONLY);
        if (in >= 0) ::dup2(in, STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::close(out[0]);
        ::close(err[0]);
        for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "SVCADJUST_PORTMAP"}) ::unsetenv(v);
        for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
        std::vector<std::string> words{(BinaryDir() / program).string()};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
        if (left.count() <= 0 || ::poll(p, 2, static_cast<int>(left.count())) <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        char buffer[4096];
        for (int i = 0; i < 2; ++i) {
            if (!(p[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = ::read(p[i].fd, buffer, sizeof buffer);
            if (n <= 0)
                (i == 0 ? outOpen : errOpen) = false;
            else
                (i == 0 ? ran.out : ran.err).append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) ran.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) ran.signal = WTERMSIG(status);
    return ran;
}

class Programs : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (!fs::exists(BinaryDir() / GetParam())) GTEST_SKIP() << GetParam() << " is not built beside this test";
    }
};

TEST_P(Programs, VersionHelpAndAWrongOptionExitAsTheManualPagesSay) {
    const std::string program = GetParam();
    const Ran version = RunProgram(program, {"--version"});
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, program + " " + svc::kVersion + "\n");
    EXPECT_EQ(version.err, "");

    const Ran help = RunProgram(program, {"--help"});
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("xit status"), std::string::npos) << help.out;
    EXPECT_EQ(help.err, "");

    const Ran wrong = RunProgram(program, {"--no-such-option"});
    if (program == "svcadjust") {
        // Qt's options are passed on: without a display it stops there.
        EXPECT_EQ(wrong.status, 2) << wrong.err;
    } else {
        EXPECT_EQ(wrong.status, 2) << wrong.err;
        EXPECT_EQ(wrong.out, "");
        EXPECT_NE(wrong.err.find("--no-such-option"), std::string::npos) << wrong.err;
    }
}

INSTANTIATE_TEST_SUITE_P(EachProgram, Programs,
                         ::testing::Values("svcadjust", "svcadjust-cli", "vprinter", "vpcapture"));

bool Built(const char* program) { return fs::exists(BinaryDir() / program); }

TEST(SvcadjustWithoutADisplay, SaysSoInOneLineAndExitsWithTwo) {
    if (!Built("svcadjust")) GTEST_SKIP() << "svcadjust is not built beside this test";
    const Ran ran = RunProgram("svcadjust", {});
    EXPECT_EQ(ran.signal, 0) << "ended by signal " << ran.signal << ": " << ran.err;
    EXPECT_EQ(ran.status, 2);
    EXPECT_EQ(ran.Lines(ran.err), 1) << ran.err;
    EXPECT_NE(ran.err.find("no display"), std::string::npos) << ran.err;
    EXPECT_EQ(ran.err.find("Reinstalling"), std::string::npos) << ran.err;
}

TEST(SvcadjustWithoutADisplay, ADisplayThatCannotBeOpenedIsOneLineToo) {
    if (!Built("svcadjust")) GTEST_SKIP() << "svcadjust is not built beside this test";
    // A platform Qt does not have: its start-up ends with a clear line, not an abort.
    const Ran ran = RunProgram("svcadjust", {}, {{"QT_QPA_PLATFORM", "no-such-platform"}});
    EXPECT_EQ(ran.signal, 0) << "ended by signal " << ran.signal << ": " << ran.err;
    EXPECT_EQ(ran.status, 2) << ran.err;
    EXPECT_NE(ran.err.find("svcadjust: the windows cannot be shown: "), std::string::npos) << ran.err;
}

TEST(SvcadjustCli, AUsageErrorIsTwoLinesAndSendsNothing) {
    if (!Built("svcadjust-cli")) GTEST_SKIP() << "svcadjust-cli is not built beside this test";
    // The port leads nowhere: had the program tried to connect, it would fail with 1.
    const std::map<std::string, std::string> nowhere{{"SVCADJUST_PORTMAP", "LPT1=unix:/nonexistent/lumen.sock"}};
    const Ran ran = RunProgram(
        "svcadjust-cli",
        {"--model", "4100", "--port", "LPT1", "usb-id-input", "QQQQQQQQQQ", "head-id-input", std::string(34, 'A')},
        nowhere);
    EXPECT_EQ(ran.status, 2);
    EXPECT_EQ(ran.out, "");
    EXPECT_EQ(ran.err,
              "svcadjust-cli: head-id-input: at most 25 characters fit the field, not 34\n"
              "Try 'svcadjust-cli --help' for more information.\n");

    const Ran cluster = RunProgram("svcadjust-cli", {"-qy", "--model", "4100", "--port", "LPT1"}, nowhere);
    EXPECT_EQ(cluster.status, 2);
    EXPECT_EQ(cluster.err.substr(0, cluster.err.find('\n')), "svcadjust-cli: unknown option '-q'");

    const Ran connects = RunProgram("svcadjust-cli", {"--model", "4100", "--port", "LPT1", "get-status"}, nowhere);
    EXPECT_EQ(connects.status, 1) << connects.err;
}

TEST(SvcadjustCli, StandardInputThatIsNotAnOperationListIsAUsageError) {
    if (!Built("svcadjust-cli")) GTEST_SKIP() << "svcadjust-cli is not built beside this test";
    const std::vector<std::string> args{"--model", "4100", "--port", "LPT1", "-"};
    const Ran directory = RunProgram("svcadjust-cli", args, {}, "/");
    EXPECT_EQ(directory.status, 2);
    EXPECT_EQ(directory.err.substr(0, directory.err.find('\n')),
              "svcadjust-cli: standard input cannot be read: Is a directory");
    const Ran endless = RunProgram("svcadjust-cli", args, {}, "/dev/zero");
    EXPECT_EQ(endless.status, 2);
    EXPECT_EQ(endless.err.substr(0, endless.err.find('\n')),
              "svcadjust-cli: standard input holds more than 1 MiB of operations");
}

TEST(Vprinter, SendWithoutAPrinterExitsWithTwo) {
    if (!Built("vprinter")) GTEST_SKIP() << "vprinter is not built beside this test";
    const Ran ran = RunProgram("vprinter", {"--send", "status", "--control", "/nonexistent/lumen.sock.ctl"});
    EXPECT_EQ(ran.status, 2);
    const Ran help = RunProgram("vprinter", {"--help"});
    EXPECT_NE(help.out.find("when no printer answers"), std::string::npos) << help.out;
}

}  // namespace
