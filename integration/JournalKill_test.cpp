// svcadjust-cli killed with SIGKILL in the middle of an EEPROM write, at
// every step of its journal's transactions in turn: the program is the one
// built beside this test, against the standalone virtual printer, with a
// preloaded library that kills it just before its Nth SQLite statement that
// writes or ends a transaction (testing/KillAtStatement.cpp). After each kill the journal opens and is
// whole, it holds every byte the printer got, and undo on the next run
// gives back the printer's EEPROM image byte for byte.
#include "journal/Recorder.h"
#include "journal/SqlStore.h"
#include "journal/testing/IntegrityCheck.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace svc {
namespace {

namespace fs = std::filesystem;
using Image = std::array<std::uint8_t, 256>;

fs::path BinaryDir() { return fs::read_symlink("/proc/self/exe").parent_path(); }

// Runs a program with extra environment; its exit status, or 128 + the signal that ended it.
int RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& env, const fs::path& log,
               int limitSeconds = 60) {
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        ::setsid();
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0) {
            ::dup2(fd, STDOUT_FILENO);
            ::dup2(fd, STDERR_FILENO);
        }
        for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -2;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

std::string Slurp(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class KilledSession : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("svc-journal-kill-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
        socket = (folder / "lumen.sock").string();
        // The journal in memory's file system where there is one: a kill
        // does not depend on the disk, and the sweep runs the program hundreds of times.
        const fs::path shm = "/dev/shm";
        journalFolder = fs::is_directory(shm) ? shm / folder.filename() : folder;
        fs::create_directories(journalFolder);
        journalFile = journalFolder / "journal.sqlite";
        journal = journalFile.string();
        printerPid = ::fork();
        if (printerPid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // not left behind by a test that dies
            const int fd = ::open((folder / "vprinter.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd >= 0) {
                ::dup2(fd, STDOUT_FILENO);
                ::dup2(fd, STDERR_FILENO);
            }
            const std::string program = (BinaryDir() / "vprinter").string(), eeprom = (folder / "eeprom.bin").string();
            ::execl(program.c_str(), program.c_str(), "--socket", socket.c_str(), "--model", "4100", "--speed",
                    "unlimited", "--eeprom", eeprom.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        for (int i = 0; i < 200 && !fs::exists(socket + ".ctl"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(fs::exists(socket + ".ctl")) << Slurp(folder / "vprinter.log");
    }
    void TearDown() override {
        if (printerPid > 0) {
            ::kill(printerPid, SIGTERM);
            int status = 0;
            ::waitpid(printerPid, &status, 0);
        }
        fs::remove_all(folder);
        fs::remove_all(journalFolder);
    }

    // svcadjust-cli on LPT1 of the printer, killed before its statement `killAt` (0: not killed).
    int Cli(const std::vector<std::string>& ops, long killAt, const fs::path& log) {
        std::vector<std::string> args{
            (BinaryDir() / "svcadjust-cli").string(), "--model", "4100", "--port", "LPT1", "--yes"};
        args.insert(args.end(), ops.begin(), ops.end());
        std::vector<std::string> env{"SVCADJUST_PORTMAP=LPT1=unix:" + socket, "SVCADJUST_JOURNAL=" + journal};
        if (killAt > 0) {
            // In a sanitizer build its runtime must come first, as the program was linked.
            std::string preload;
            std::ifstream maps("/proc/self/maps");
            for (std::string line; preload.empty() && std::getline(maps, line);)
                if (const auto at = line.find('/');
                    at != std::string::npos && line.find("/libasan.so", at) != std::string::npos)
                    preload = line.substr(at) + ":";
            env.push_back("LD_PRELOAD=" + preload + (BinaryDir() / "libsvc_kill_at_statement.so").string());
            env.push_back("SVC_KILL_AT_STATEMENT=" + std::to_string(killAt));
            const char* asan = std::getenv("ASAN_OPTIONS");
            env.push_back(std::string("ASAN_OPTIONS=") + (asan ? std::string(asan) + ":" : "") +
                          "verify_asan_link_order=0");
        }
        return RunProgram(args, env, log);
    }

    // The printer's EEPROM, from its control socket's `state` line.
    Image Eeprom() const {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (socket + ".ctl").c_str());
        std::string answer;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            ::send(fd, "state\n", 6, MSG_NOSIGNAL);
            char c = 0;
            pollfd p{fd, POLLIN, 0};
            while (::poll(&p, 1, 5000) > 0 && ::read(fd, &c, 1) == 1 && c != '\n') answer.push_back(c);
        }
        ::close(fd);
        Image image{};
        const auto at = answer.find("eeprom=");
        if (at == std::string::npos || answer.size() < at + 7 + 512) {
            ADD_FAILURE() << "no EEPROM in the printer's state: " << answer;
            return image;
        }
        for (std::size_t a = 0; a < 256; ++a)
            image[a] = static_cast<std::uint8_t>(std::stoi(answer.substr(at + 7 + 2 * a, 2), nullptr, 16));
        return image;
    }

    std::string IntegrityCheck() const { return journal::testing::IntegrityCheck(journalFile.string()); }

    std::unique_ptr<journal::Store> OpenJournal() const {
        return journal.rfind("postgresql:", 0) == 0 ? journal::OpenPostgres(journal) : journal::OpenSqlite(journal);
    }
    void KilledAtEveryStatement();

    fs::path folder, journalFolder, journalFile;
    std::string journal;  // what SVCADJUST_JOURNAL names
    std::string socket;
    pid_t printerPid = -1;
};

// The USB ID written (18 bytes, after the serial number was read), the
// program killed before each of its SQL statements in turn until it runs to
// its end: each operation in the journal is whole (finished with all its
// bytes, or marked unfinished with every write it sent, only the last one
// unconfirmed), every changed byte of the printer is one of them, and undo of
// the last operation gives back the image.
// A sanitizer build, where both programs start several times slower, kills
// before every third statement (the normal build before each one).
#if defined(SVC_UNDER_SANITIZERS)
constexpr long kStride = 3;
#else
constexpr long kStride = 1;
#endif

void KilledSession::KilledAtEveryStatement() {
    const bool sqlite = journal == journalFile.string();
    const std::vector<std::string> session{"usb-id-read", "usb-id-input", "KILLED0001"};
    const Image original = Eeprom();
    int killed = 0, unfinishedSeen = 0;
    long at = 1;
    for (; at < 2000; at += kStride) {
        SCOPED_TRACE("killed before SQL statement " + std::to_string(at));
        const fs::path log = folder / "cli.log";
        const int status = Cli(session, at, log);
        const bool wasKilled = status == 128 + SIGKILL;
        if (!wasKilled) {
            EXPECT_EQ(status, 0) << Slurp(log);
        }
        killed += wasKilled;
        const Image after = Eeprom();

        if (sqlite) {
            ASSERT_EQ(IntegrityCheck(), "ok");
        }
        std::unique_ptr<journal::Store> store = OpenJournal();
        journal::OperationRecord last;
        for (const journal::SessionRecord& s : store->Sessions(""))
            for (const journal::OperationRecord& op : store->Operations(s.id)) {
                const bool unfinished =
                    std::find(op.memo.begin(), op.memo.end(), journal::kUnfinished) != op.memo.end();
                std::vector<const journal::ByteRecord*> writes;
                for (const journal::ByteRecord& b : op.bytes)
                    if (b.access == journal::Access::Write) writes.push_back(&b);
                if (op.name == "usb-id-input" && !unfinished) {
                    EXPECT_EQ(writes.size(), 18u) << "a finished write has all its bytes";
                }
                for (std::size_t i = 0; i < writes.size(); ++i) {
                    EXPECT_TRUE(writes[i]->previous);
                    // Only the write under way when it was killed may be unconfirmed.
                    if (i + 1 < writes.size() || !unfinished) {
                        EXPECT_EQ(writes[i]->result, 1) << "byte " << i;
                    }
                }
                if (op.name == "usb-id-input") last = op;
            }
        const bool unfinished = std::find(last.memo.begin(), last.memo.end(), journal::kUnfinished) != last.memo.end();
        unfinishedSeen += unfinished && wasKilled;
        if (unfinished && wasKilled && unfinishedSeen == 1) {
            // The history tells it as such.
            EXPECT_EQ(RunProgram({(BinaryDir() / "svcadjust-cli").string(), "history"},
                                 {"SVCADJUST_JOURNAL=" + journal}, log),
                      0);
            const std::string history = Slurp(log);
            EXPECT_NE(history.find("usb-id-input KILLED0001  unfinished: the program ended during it"),
                      std::string::npos)
                << history;
            EXPECT_NE(history.find("(not confirmed: may or may not have arrived)"), std::string::npos) << history;
        }
        if (wasKilled && after != original) {
            EXPECT_TRUE(unfinished) << "the printer changed: the operation it was killed in is the last one";
        }
        // Every byte the printer got is in the journal.
        std::array<bool, 256> written{};
        for (const journal::ByteRecord& b : last.bytes)
            if (b.access == journal::Access::Write) written[b.address] = true;
        for (std::size_t a = 0; a < 256; ++a) {
            if (after[a] != original[a]) {
                EXPECT_TRUE(written[a]) << "byte " << a << " changed, not in the journal";
            }
        }
        store.reset();

        // The next run undoes it.
        if (after != original) {
            ASSERT_GT(last.id, 0);
            const int undo = Cli({"undo", std::to_string(last.id)}, 0, log);
            const std::string said = Slurp(log);
            EXPECT_EQ(undo, 0) << said;
            // The next run says what the killed one left.
            if (wasKilled) {
                EXPECT_NE(said.find("warning: operation " + std::to_string(last.id) + " (usb-id-input KILLED0001, "),
                          std::string::npos)
                    << said;
                EXPECT_NE(said.find("undo " + std::to_string(last.id) + "' puts back what it replaced."),
                          std::string::npos)
                    << said;
            }
            EXPECT_EQ(Eeprom(), original) << Slurp(log);
        }
        if (HasFailure() || !wasKilled) break;
    }
    EXPECT_GT(killed, 20 / kStride);
    EXPECT_GT(unfinishedSeen, 10 / kStride) << "kills between the writes";
    RecordProperty("kill_points", static_cast<int>(at));
}

TEST_F(KilledSession, KilledAtEveryJournalStatementOfAWriteLosesNothing) { KilledAtEveryStatement(); }

// The same on a shop's PostgreSQL journal (the server outlives the program:
// its transactions are the ones that must be whole).
TEST_F(KilledSession, PostgresKilledAtEveryJournalStatementOfAWriteLosesNothing) {
    if (!std::getenv("PGHOST"))
        GTEST_SKIP() << "no PostgreSQL server (CTest runs this with journal/testing/with_postgres.sh)";
    const std::string db = "journal_kill_" + std::to_string(::getpid());
    ASSERT_EQ(std::system(("psql -q -c 'CREATE DATABASE " + db + "' >/dev/null").c_str()), 0);
    journal = "postgresql:///" + db;
    KilledAtEveryStatement();
}

}  // namespace
}  // namespace svc
