// The journal's two stores through one test body: an SQLite file, and a
// PostgreSQL server (the Postgres* tests, which CTest runs against a throwaway
// server of their own, journal/testing/with_postgres.sh; libpq finds it
// through the PG* variables). Also the recorder's account of a stopped operation and its undo,
// and an SQLite journal whose writer is killed mid-transaction.
#include "journal/Recorder.h"
#include "journal/SqlStore.h"
#include "journal/testing/IntegrityCheck.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace svc::journal {
namespace {

namespace fs = std::filesystem;

fs::path TempFolder(const std::string& name) {
    const fs::path p = fs::temp_directory_path() / ("svc-journal-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(p);
    fs::create_directories(p);
    return p;
}

BackupBytes SampleBackup(const std::string& serial) {
    BackupBytes b{};
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 3);
    for (std::size_t i = 0; i < 10; ++i) b[78 + i] = static_cast<std::uint8_t>(serial.at(i));
    return b;
}

// The same body for both stores: what goes in comes out, per printer.
void ExerciseStore(const std::function<std::unique_ptr<Store>()>& open) {
    std::unique_ptr<Store> store = open();
    SessionRecord s;
    s.started = "2026-12-08 10:00:00";
    s.bench = "bench-a";
    s.model = 1;
    s.port = 1028;
    s.deviceId = "packet protocol";
    const std::int64_t sid = store->AddSession(s);
    ASSERT_GT(sid, 0);

    OperationRecord op;
    op.sessionId = sid;
    op.started = "2026-12-08 10:00:05";
    op.name = "usb-id-input";
    op.arguments = "AB12345678";
    op.result = 0x2000;
    op.memo = {"Writing now...", "Communication error."};
    op.bytes.push_back({0, Access::Read, 0xC2, 0x41, std::nullopt, 1, ""});
    op.bytes.push_back({1, Access::Write, 0xC2, 0x42, 0x41, 1, "eeprom"});
    op.bytes.push_back({2, Access::Write, 0xC3, 0x43, std::nullopt, 0x2000, "eeprom"});
    BackupRecord backup;
    backup.taken = "2026-12-08 10:00:06";
    backup.printer = "SERIAL0001";
    backup.kind = "backup";
    backup.bench = "bench-a";
    backup.bytes = SampleBackup("SERIAL0001");
    const std::int64_t oid = store->AddOperation(op, {backup}, "SERIAL0001", "00FF");
    ASSERT_GT(oid, 0);

    // A second store on the same journal (another bench, or the next run) sees it all.
    store.reset();
    store = open();
    const auto sessions = store->Sessions("SERIAL0001");
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions[0].bench, "bench-a");
    EXPECT_EQ(sessions[0].headId, "00FF");
    EXPECT_EQ(sessions[0].port, 1028);
    EXPECT_EQ(store->Sessions("00FF").size(), 1u);
    EXPECT_TRUE(store->Sessions("OTHER00000").empty());

    const auto got = store->Operation(oid);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->name, "usb-id-input");
    EXPECT_EQ(got->result, 0x2000);
    EXPECT_EQ(got->memo, op.memo);
    ASSERT_EQ(got->bytes.size(), 3u);
    EXPECT_EQ(got->bytes[0].access, Access::Read);
    EXPECT_EQ(got->bytes[1].previous, std::optional<std::uint8_t>(0x41));
    EXPECT_FALSE(got->bytes[2].previous);
    EXPECT_EQ(got->bytes[2].result, 0x2000);
    EXPECT_EQ(store->Operations(sid).size(), 1u);
    EXPECT_FALSE(store->Operation(oid + 1000));

    const auto backups = store->Backups("SERIAL0001");
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].bytes, backup.bytes);
    EXPECT_EQ(backups[0].operationId, oid);
    EXPECT_EQ(store->Backup(backups[0].id)->printer, "SERIAL0001");
    EXPECT_TRUE(store->Backups("SERIAL0002").empty());
}

// An operation kept in the store while it runs: what a second reader of the
// journal (the next run, after this one was killed) finds at each point.
void ExerciseRunningOperation(const std::function<std::unique_ptr<Store>()>& open) {
    Recorder r;
    r.Install(open(), [](const std::string& w) { ADD_FAILURE() << w; });
    r.BeginSession(1, 1028, "packet protocol");
    r.NoteRead(0x5C, 7, 1);
    r.BeginOperation("pw-input", "Right=3");
    std::unique_ptr<Store> reader = open();
    auto stored = [&] {
        const auto ops = reader->Operations(r.SessionId());
        return ops.empty() ? OperationRecord{} : ops.back();
    };
    EXPECT_EQ(stored().id, 0) << "nothing sent yet: nothing stored";

    r.NoteWriting(0x5C, 3);
    OperationRecord now = stored();
    ASSERT_GT(now.id, 0) << "a write is stored before it is sent";
    EXPECT_EQ(now.result, 0);
    EXPECT_EQ(now.memo, std::vector<std::string>{kUnfinished});
    ASSERT_EQ(now.bytes.size(), 1u);
    EXPECT_EQ(now.bytes[0].result, kUnconfirmed);
    EXPECT_EQ(now.bytes[0].previous, std::optional<std::uint8_t>(7));

    r.NoteWrite(0x5C, 3, 1);
    r.NoteStage("a stage");
    r.NoteWriting(0x5D, 4);
    now = stored();
    ASSERT_EQ(now.bytes.size(), 2u);
    EXPECT_EQ(now.bytes[0].result, 1) << "the first write's outcome came with the next save";
    EXPECT_EQ(now.bytes[1].result, kUnconfirmed);
    EXPECT_FALSE(now.bytes[1].previous);
    EXPECT_EQ(now.memo, (std::vector<std::string>{kUnfinished, "a stage"}));
    // What undo and the next run's account make of it, were the program killed now.
    EXPECT_EQ(PlanUndo(now).bytes.size(), 1u);
    EXPECT_EQ(DescribeStop(now),
              std::vector<std::string>{"PW sensor Right was written; PW sensor Top (0x5D may have arrived) was not"});

    // A backup is stored at once: its file may be replaced right after.
    r.NoteWrite(0x5D, 4, 0x2000);
    r.NoteBackup("replaced", SampleBackup("OLDBOARD01"));
    EXPECT_EQ(reader->Backups("OLDBOARD01").size(), 1u);
    r.NoteResult(0x2000);
    const std::int64_t id = r.EndOperation(false, {"Writing now...", "Communication error."});
    EXPECT_EQ(id, now.id);
    now = stored();
    EXPECT_EQ(now.result, 0x2000);
    EXPECT_EQ(now.memo, (std::vector<std::string>{"Writing now...", "Communication error.", "a stage"}));
    ASSERT_EQ(now.bytes.size(), 2u);
    EXPECT_EQ(now.bytes[1].result, 0x2000);
    EXPECT_EQ(reader->Backups("OLDBOARD01").size(), 1u) << "stored once";
    EXPECT_EQ(reader->Operations(r.SessionId()).size(), 1u);

    // An operation that sends nothing is stored whole at its end, as before.
    r.BeginOperation("pw-read", "");
    r.NoteRead(0x5C, 3, 1);
    EXPECT_EQ(reader->Operations(r.SessionId()).size(), 1u);
    EXPECT_GT(r.EndOperation(true, {}), id);
    EXPECT_EQ(stored().bytes.size(), 1u);
}

TEST(SqliteStore, KeepsARunningOperationAsItGoes) {
    const fs::path folder = TempFolder("running");
    ExerciseRunningOperation([&] { return OpenSqlite((folder / "journal.sqlite").string()); });
    fs::remove_all(folder);
}

TEST(PostgresStore, KeepsARunningOperationAsItGoes) {
    if (!std::getenv("PGHOST"))
        GTEST_SKIP() << "no PostgreSQL server (CTest runs this with journal/testing/with_postgres.sh)";
    const std::string db = "journal_running_" + std::to_string(::getpid());
    ASSERT_EQ(std::system(("psql -q -c 'CREATE DATABASE " + db + "' >/dev/null").c_str()), 0);
    ExerciseRunningOperation([&] { return OpenPostgres("postgresql:///" + db); });
}

TEST(SqliteStore, KeepsSessionsOperationsBytesAndBackups) {
    const fs::path folder = TempFolder("store");
    ExerciseStore([&] { return OpenSqlite((folder / "sub" / "journal.sqlite").string()); });
    fs::remove_all(folder);
}

TEST(SqliteStore, RefusesAJournalOfANewerSchemaAndAnUnusablePlace) {
    const fs::path folder = TempFolder("schema");
    const std::string path = (folder / "j.sqlite").string();
    OpenSqlite(path);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "UPDATE schema_version SET version = 99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_THROW(OpenSqlite(path), StoreError);
    EXPECT_THROW(OpenSqlite("/proc/no-such-place/j.sqlite"), StoreError);
    fs::remove_all(folder);
}

TEST(PostgresStore, KeepsSessionsOperationsBytesAndBackups) {
    if (!std::getenv("PGHOST"))
        GTEST_SKIP() << "no PostgreSQL server (CTest runs this with journal/testing/with_postgres.sh)";
    // A database of its own, so a rerun starts empty.
    {
        auto admin = OpenPostgres("postgresql://");
        (void)admin;
    }
    const std::string db = "journal_test_" + std::to_string(::getpid());
    ASSERT_EQ(std::system(("psql -q -c 'CREATE DATABASE " + db + "' >/dev/null").c_str()), 0);
    ExerciseStore([&] { return OpenPostgres("postgresql:///" + db); });
}

TEST(PostgresStore, AnUnreachableServerIsAStoreError) {
    EXPECT_THROW(OpenPostgres("postgresql://nobody@127.0.0.1:1/none?connect_timeout=2"), StoreError);
}

TEST(Configuration, EnvironmentThenConfigFileThenTheDataFolder) {
    const fs::path folder = TempFolder("config");
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder / "data").c_str(), 1);
    ::unsetenv("SVCADJUST_JOURNAL");
    EXPECT_EQ(ConfiguredJournal(), (folder / "data" / "svcadjust" / "journal.sqlite").string());
    fs::create_directories(folder / "config" / "svcadjust");
    {
        std::ofstream conf(folder / "config" / "svcadjust" / "journal.conf");
        conf << "# the shop's journal\n\njournal = postgresql://shop@db.example/svc\n";
    }
    EXPECT_EQ(ConfiguredJournal(), "postgresql://shop@db.example/svc");
    ::setenv("SVCADJUST_JOURNAL", "off", 1);
    std::string error;
    EXPECT_EQ(OpenConfigured(error), nullptr);
    EXPECT_EQ(error, "");
    ::setenv("SVCADJUST_JOURNAL", "/proc/no-such-place/j.sqlite", 1);
    EXPECT_EQ(OpenConfigured(error), nullptr);
    EXPECT_NE(error.find("cannot be opened"), std::string::npos);
    ::unsetenv("SVCADJUST_JOURNAL");
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_DATA_HOME");
    fs::remove_all(folder);
}

// ---- the recorder ----

OperationRecord Writes(std::initializer_list<std::tuple<int, int, int, std::uint16_t>> writes) {
    OperationRecord op;
    int seq = 0;
    for (auto [address, value, previous, result] : writes)
        op.bytes.push_back({seq++, Access::Write, static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(value),
                            previous < 0 ? std::nullopt : std::optional<std::uint8_t>(previous), result, "eeprom"});
    return op;
}

TEST(Recorder, NamesWhatAStoppedOperationWroteAndWhatItDidNot) {
    // Bi-D: one row arrived, the next one's command failed.
    EXPECT_EQ(DescribeStop(Writes({{0x60, 5, 0, 1}, {0x61, 3, 0, 0x2000}})),
              std::vector<std::string>{"VSD1 Black was written; VSD2 Black (0x61 may have arrived) was not"});
    // A torn USB ID: the serial number complete, the time stamp half.
    EXPECT_EQ(DescribeStop(Writes({{0xC2, 1, 0, 1},
                                   {0xC3, 1, 0, 1},
                                   {0xC4, 1, 0, 1},
                                   {0xC5, 1, 0, 1},
                                   {0xC6, 1, 0, 1},
                                   {0xC7, 1, 0, 1},
                                   {0xC8, 1, 0, 1},
                                   {0xC9, 1, 0, 1},
                                   {0xCA, 1, 0, 1},
                                   {0xCB, 1, 0, 1},
                                   {0xCC, 1, 0, 1},
                                   {0xCD, 1, 0, 1},
                                   {0xCE, 1, 0, 0x2000}})),
              std::vector<std::string>{"USB ID serial number was written; USB ID time stamp was half written "
                                       "(0xCC-0xCD of 0xCC-0xD3; 0xCE may have arrived)"});
    // A refused row after written ones (a bad PW sensor value).
    EXPECT_EQ(DescribeStop(Writes({{0x5C, 1, 0, 1}, {0x5D, 1, 0, 1}})),
              std::vector<std::string>{"PW sensor Right and PW sensor Top were written before the operation stopped"});
    // A row resent after a busy printer counts once, as written.
    EXPECT_EQ(DescribeStop(Writes({{0x64, 1, 0, 0x2000}, {0x64, 1, 0, 1}})),
              std::vector<std::string>{"VSD1 Color was written before the operation stopped"});
    EXPECT_TRUE(DescribeStop(OperationRecord{}).empty());
}

TEST(Recorder, UndoPutsBackTheFirstReplacedValueOfEachAddress) {
    const UndoPlan plan = PlanUndo(
        Writes({{0x20, 0, 0x27, 1}, {0x21, 0, 0x10, 0x2000}, {0x20, 9, 0, 1}, {0x5C, 4, -1, 1}, {0x5C, 6, 4, 1}}));
    ASSERT_EQ(plan.bytes.size(), 2u);
    EXPECT_EQ(plan.bytes[0].address, 0x20);
    EXPECT_EQ(plan.bytes[0].before, 0x27);
    EXPECT_EQ(plan.bytes[0].now, 9);
    EXPECT_TRUE(plan.bytes[0].certain);
    EXPECT_EQ(plan.bytes[1].address, 0x21);
    EXPECT_EQ(plan.bytes[1].before, 0x10);
    EXPECT_FALSE(plan.bytes[1].certain);
    // Never read before its first write: left alone, also after later writes.
    EXPECT_EQ(plan.unknown, std::vector<std::uint8_t>{0x5C});
}

// A Bi-D print cut short: its trial value arrived, the two writes that set
// the stored value back did not, or one did: undo accepts each value the
// byte may hold and puts back the one before.
TEST(Recorder, UndoAcceptsEveryValueAByteMayHold) {
    const UndoPlan plan = PlanUndo(
        Writes({{0x60, 1, 3, 1}, {0x60, 3, 1, 0x2000}, {0x60, 5, 1, 0x2000}, {0x61, 7, 2, 0x2000}, {0x61, 8, 7, 1}}));
    ASSERT_EQ(plan.bytes.size(), 2u);
    EXPECT_EQ(plan.bytes[0].before, 3);
    EXPECT_EQ(plan.bytes[0].possible, (std::vector<std::uint8_t>{1, 3, 5}));
    EXPECT_FALSE(plan.bytes[0].certain);
    EXPECT_EQ(plan.bytes[1].possible, std::vector<std::uint8_t>{8}) << "a confirmed write settles it";
    EXPECT_TRUE(plan.bytes[1].certain);
}

TEST(Recorder, KnowsTheValueAWriteReplacedOnlyFromThisSession) {
    Recorder r;
    r.BeginSession(1, 1028, "packet protocol");
    r.NoteRead(0x5C, 7, 1);
    r.BeginOperation("pw-input", "");
    r.NoteWrite(0x5C, 9, 1);
    r.NoteWrite(0x5D, 1, 1);
    r.NoteWrite(0x5C, 3, 0x2000);  // may or may not have arrived
    r.NoteResult(0x2000);
    EXPECT_EQ(r.EndOperation(false, {}), 0);  // no store: kept in memory only
    const OperationRecord& op = r.LastOperation();
    ASSERT_EQ(op.bytes.size(), 3u);
    EXPECT_EQ(op.bytes[0].previous, std::optional<std::uint8_t>(7));
    EXPECT_FALSE(op.bytes[1].previous);
    EXPECT_EQ(op.bytes[2].previous, std::optional<std::uint8_t>(9));
    EXPECT_EQ(op.result, 0x2000);
    EXPECT_FALSE(r.Known(0x5C));
    r.BeginSession(1, 1028, "packet protocol");
    EXPECT_FALSE(r.Known(0x5D));
}

TEST(Recorder, AFailingStoreIsReportedOnceAndTheWorkGoesOn) {
    class Failing : public Store {
    public:
        std::string Describe() const override { return "the test's store"; }
        std::int64_t AddSession(const SessionRecord&) override { throw StoreError("disk full"); }
        std::int64_t AddOperation(const OperationRecord&, const std::vector<BackupRecord>&, const std::string&,
                                  const std::string&) override {
            throw StoreError("disk full");
        }
        std::vector<SessionRecord> Sessions(const std::string&) override { return {}; }
        std::vector<OperationRecord> Operations(std::int64_t) override { return {}; }
        std::optional<OperationRecord> Operation(std::int64_t) override { return {}; }
        std::optional<SessionRecord> Session(std::int64_t) override { return {}; }
        std::optional<BackupRecord> Backup(std::int64_t) override { return {}; }
        std::vector<BackupRecord> Backups(const std::string&) override { return {}; }
    };
    Recorder r;
    std::vector<std::string> warnings;
    r.Install(std::make_unique<Failing>(), [&](const std::string& w) { warnings.push_back(w); });
    r.BeginSession(1, 1028, "");
    r.BeginOperation("x", "");
    r.NoteWrite(0x20, 0, 1);
    EXPECT_EQ(r.EndOperation(true, {}), 0);
    r.BeginSession(1, 1028, "");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("disk full"), std::string::npos);
    EXPECT_EQ(r.CurrentStore(), nullptr);
}

TEST(Recorder, ThePrinterOfABackupIsItsUsbSerialOrElseItsHeadId) {
    EXPECT_EQ(PrinterKey(SampleBackup("AB12345678")), "AB12345678");
    BackupBytes blank = SampleBackup("          ");
    EXPECT_EQ(PrinterKey(blank).rfind("head ", 0), 0u);
}

// A writer killed with SIGKILL in the middle of its transactions leaves an
// intact journal in which every operation is whole.
TEST(SqliteStore, AWriterKilledMidWriteLeavesWholeOperations) {
    const fs::path folder = TempFolder("kill");
    const std::string path = (folder / "j.sqlite").string();
    OpenSqlite(path);
    constexpr int kBytes = 200;
    for (int round = 0; round < 3; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            try {
                auto store = OpenSqlite(path);
                SessionRecord s;
                s.started = "now";
                const std::int64_t sid = store->AddSession(s);
                bool told = false;
                for (int n = 0;; ++n) {
                    OperationRecord op;
                    op.sessionId = sid;
                    op.name = "op" + std::to_string(n);
                    for (int i = 0; i < kBytes; ++i)
                        op.bytes.push_back(
                            {i, Access::Write, static_cast<std::uint8_t>(i), 1, std::nullopt, 1, "eeprom"});
                    store->AddOperation(op, {{0, 0, "now", "P", "backup", "b", SampleBackup("P000000000")}}, "", "");
                    if (!told && n == 2) {
                        told = ::write(ready[1], "x", 1) == 1;
                    }
                }
            } catch (...) {}
            ::_exit(1);
        }
        ::close(ready[1]);
        char c = 0;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        ::usleep(static_cast<useconds_t>(20000 + round * 37000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
    }
    EXPECT_EQ(testing::IntegrityCheck(path), "ok");
    auto store = OpenSqlite(path);
    int operations = 0;
    for (const SessionRecord& s : store->Sessions("")) {
        for (const OperationRecord& op : store->Operations(s.id)) {
            ++operations;
            EXPECT_EQ(op.bytes.size(), static_cast<std::size_t>(kBytes)) << op.name;
        }
    }
    EXPECT_GE(operations, 9);
    EXPECT_EQ(store->Backups("P").size(), static_cast<std::size_t>(operations));
    fs::remove_all(folder);
}

}  // namespace
}  // namespace svc::journal
