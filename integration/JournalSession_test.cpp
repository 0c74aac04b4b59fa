// The journal around real sessions of svcadjust-cli on in-process virtual
// printers: the link cut at every packet of every operation that writes the
// EEPROM (the journal names exactly the bytes that may have arrived, and undo
// returns the image byte for byte), a restore cut at every packet (the backup file stays until the
// restore has succeeded), a board exchange with the backup retaken after the
// swap, and two benches sharing one PostgreSQL journal (Postgres* tests, run
// by CTest inside a throwaway cluster).
#include "cli/CliFrame.h"
#include "cli/JournalOps.h"
#include "cli/Session.h"
#include "cli/testing/Streams.h"
#include "eeprom/VexEeprom.h"
#include "eeprom/VexEepromCopy.h"
#include "journal/Recorder.h"
#include "journal/Refurbishment.h"
#include "journal/Report.h"
#include "journal/SqlStore.h"
#include "journal/testing/IntegrityCheck.h"
#include "link/Host.h"
#include "link/VexStatusControl.h"
#include "vprinter/DirectTransport.h"
#include "vprinter/Printer.h"
#include "vprinter/engine/PrintEngine.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <unistd.h>

namespace svc {
namespace {

namespace fs = std::filesystem;
using cli::testing::Streams;

// Waits pass on the printer's clock; questions get the answer the test sets.
class BenchHost : public Host {
public:
    void Sleep(int ms) override {
        if (onSleep) onSleep();
        if (printer) printer->Advance(static_cast<std::uint64_t>(ms > 0 ? ms : 0));
    }
    void RepaintMainWindow() override {}
    BoxAnswer MessageBox(BoxOwner, const std::string& text, const std::string&, BoxIcon, BoxButtons buttons) override {
        if (onBox) onBox(text);
        questions.push_back(text);
        if (buttons == BoxButtons::YesNo) return yes ? BoxAnswer::Yes : BoxAnswer::No;
        return BoxAnswer::Ok;
    }
    std::function<void()> onSleep;
    std::function<void(const std::string&)> onBox;
    vp::Printer* printer = nullptr;
    bool yes = true;
    std::vector<std::string> questions;
};

struct Outcome {
    int status = 0;
    std::string out, err;
};

class Bench : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("svc-journal-bench-" + std::to_string(::getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        EepromCopy().SetBackupPath((folder / "bkupdata.eep").string());
        SetHost(&host);
    }
    void TearDown() override {
        host.onSleep = nullptr;
        host.onBox = nullptr;
        Unplug();
        journal::Journal().Uninstall();
        SetHost(nullptr);
        EepromCopy().SetBackupPath("");
        fs::remove_all(folder);
    }

    // A printer of model 4100 with its own USB ID serial number.
    void Plug(const std::string& serial, const vp::Eeprom& image = vp::Eeprom::Factory(1)) {
        Unplug();
        vp::Printer::Options options;
        options.bytesPerSecond = vp::Printer::kUnlimitedSpeed;
        printer = std::make_unique<vp::Printer>(options, image);
        // The engine carries out the factory commands (the Bi-D values among them).
        engine = std::make_unique<vp::PrintEngine>(*printer, vp::EngineOptions{});
        printer->SetEngine(engine.get());
        for (int i = 0; i < 10; ++i)
            printer->WriteEeprom(static_cast<std::uint8_t>(0xC2 + i), static_cast<std::uint8_t>(serial.at(i)));
        ports = std::make_unique<vp::InProcessPorts>(*printer);
        host.printer = printer.get();
    }
    void Unplug() {
        host.printer = nullptr;
        ports.reset();
        if (printer) printer->SetEngine(nullptr);
        engine.reset();
        printer.reset();
    }
    void UseJournal(std::unique_ptr<journal::Store> store) {
        journal::Journal().Install(std::move(store), [this](const std::string& w) { warnings.push_back(w); });
    }
    void UseSqliteJournal() { UseJournal(journal::OpenSqlite((folder / "journal.sqlite").string())); }

    // One svcadjust-cli run on LPT1 with the given steps.
    Outcome Run(const std::vector<cli::Step>& steps) {
        cli::CommandLine line;
        line.modelCode = 1;
        line.portCode = 1028;
        line.steps = steps;
        Streams streams;
        cli::CliFrame frame(streams.out, streams.err);
        Status().Clear();
        Outcome o;
        o.status = cli::RunSession(line, frame);
        o.out = streams.Out();
        o.err = streams.Err();
        return o;
    }
    static cli::Step Op(const std::string& name, cli::Arguments args = {}) {
        const cli::Operation* op = cli::FindOperation(name);
        EXPECT_NE(op, nullptr) << name;
        return {op, std::move(args)};
    }
    vp::Eeprom::Bytes Image() const {
        vp::Eeprom::Bytes b{};
        for (int a = 0; a < 256; ++a)
            b[static_cast<std::size_t>(a)] = printer->ReadEeprom(static_cast<std::uint8_t>(a));
        return b;
    }
    journal::OperationRecord LastNamed(const std::string& name) {
        journal::Store* store = journal::Journal().CurrentStore();
        journal::OperationRecord found;
        for (const auto& s : store->Sessions(""))
            for (const auto& op : store->Operations(s.id))
                if (op.name == name) found = op;
        return found;
    }

    fs::path folder;
    BenchHost host;
    std::unique_ptr<vp::Printer> printer;
    std::unique_ptr<vp::PrintEngine> engine;
    std::unique_ptr<vp::InProcessPorts> ports;
    std::vector<std::string> warnings;
    std::uint64_t cutAfter = 0;
    // An operation of the test: the link drops after cutAfter more packets.
    cli::Operation cut{
        "cut-link", "", "", 0, 0, Group::Adjustment, -1, nullptr, [this](cli::CliFrame&, const cli::Arguments&) {
            printer->DropLinkAfter(cutAfter);
            return std::string();
        }};
};

// ---- every EEPROM-writing operation, the link cut at every packet ----

// An operation that writes the EEPROM, as the sweep runs it: after the whole
// EEPROM was read in the same session (so that the journal knows every byte
// it replaces), the link cut after N packets of the operation, for N from 1
// until it completes uncut.
struct WritingOperation {
    const char* name;                 // the test's name
    std::vector<std::string> before;  // operations it needs first, in its session ("cut-print")
    std::string op;
    cli::Arguments args;
    enum Prepare { Nothing, BackupFileOfAnotherBoard, BackupInTheJournal, AnOperationToUndo } prepare = Nothing;
    std::vector<int> printerOwn;  // bytes the printer changes itself (counters, its measurement)
    int stride = 1;               // every stride-th packet count (SVC_JOURNAL_FULL_SWEEP=1: each)
    bool rollPaper = false;
    // The technician at the printer: starts each exchange step, switches the printer off when asked.
    bool technician = false;
};

std::ostream& operator<<(std::ostream& out, const WritingOperation& w) { return out << w.name; }

const WritingOperation kWritingOperations[] = {
    {"UsbId", {}, "usb-id-input", {"AB12345678"}},
    {"HeadId", {}, "head-id-input", {"1A0B17F22KLMNPQR34567801P"}},
    {"Ieee1394Id", {}, "ieee1394-id-input", {"00000712AB"}},
    {"MarketDestination", {}, "market-ok", {}},
    {"WasteInkReset", {}, "waste-ink-reset", {}},
    {"EepromPoke", {}, "eeprom-poke", {"50", "5A"}},
    {"BiDInput", {}, "bid-input", {"VSD1Bk=5", "VSD2CL=-3", "VSD4Bk=7"}},
    {"PfInput", {}, "pf-input", {"2"}},
    {"PwInput", {}, "pw-input", {"Top=3", "Right=-2"}},
    {"PixelShiftInput", {}, "pixel-shift-input", {"A=2", "F=-1"}},
    {"FirstDotInput", {}, "first-dot-input", {"20"}},
    {"CutInput", {"cut-print"}, "cut-input", {"5"}, WritingOperation::Nothing, {}, 1, true},
    {"CrDispersion", {}, "cr-dispersion", {"main,mainshaft"}, WritingOperation::Nothing, {0x6C, 0x6D}},
    {"Restore", {}, "restore", {}, WritingOperation::BackupFileOfAnotherBoard, {}, 3},
    {"RestoreFromJournal", {}, "restore", {"--from-journal"}, WritingOperation::BackupInTheJournal, {}, 5},
    {"Undo", {}, "undo", {}, WritingOperation::AnOperationToUndo},
    // The trial values it prints with are stored in the printer; a cut print leaves one there.
    // The refurbishment's delivery setting; the exchange counts the waste ink and itself.
    {"Refurbishment", {}, "doa", {}, WritingOperation::Nothing, {0x20, 0x21, 0x36, 0x37}, 5, false, true},
    // Printing counts the waste ink, pages and passes.
    {"BiDPrint",
     {},
     "bid-print",
     {"VSD1"},
     WritingOperation::Nothing,
     {0x20, 0x21, 0x78, 0x79, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F},
     7},
};

// A sanitizer build, where each run is several times slower, cuts the long
// operations (those swept at every few packets, the refurbishment below too)
// three times as sparsely.
#if defined(SVC_UNDER_SANITIZERS)
constexpr int kLongSweepFactor = 3;
#else
constexpr int kLongSweepFactor = 1;
#endif

class CutSweep : public Bench, public ::testing::WithParamInterface<WritingOperation> {
protected:
    static bool FullSweep() {
        const char* full = std::getenv("SVC_JOURNAL_FULL_SWEEP");
        return full && std::string(full) == "1";
    }
    static std::string IntegrityCheck(const fs::path& file) { return journal::testing::IntegrityCheck(file.string()); }
    // Readies the printer and the arguments for one run of the operation.
    cli::Arguments Prepare(const WritingOperation& w) {
        cli::Arguments args = w.args;
        switch (w.prepare) {
            case WritingOperation::Nothing:
                Plug("OLDSERIAL1");
                break;
            case WritingOperation::BackupFileOfAnotherBoard:
            case WritingOperation::BackupInTheJournal: {
                // The old board, its values other than the new one's.
                Plug("OLDBOARD01");
                for (int a : {0x20, 0x21, 0x5C, 0x60, 0x61, 0x64, 0x68, 0x77, 0x97, 0xAC})
                    printer->WriteEeprom(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(0x11 + a));
                EXPECT_EQ(Run({Op("backup")}).status, cli::kExitOk);
                if (w.prepare == WritingOperation::BackupInTheJournal) {
                    args.push_back(std::to_string(journal::Journal().CurrentStore()->Backups("OLDBOARD01").back().id));
                    fs::remove(folder / "bkupdata.eep");
                }
                Plug("NEWBOARD01");
                break;
            }
            case WritingOperation::AnOperationToUndo:
                Plug("OLDSERIAL1");
                EXPECT_EQ(Run({Op("eeprom-view", {"00", "FF"}), Op("eeprom-poke", {"50", "5A"}),
                               Op("bid-input", {"VSD1Bk=9", "VSD2CL=-4"})})
                              .status,
                          cli::kExitOk);
                args.push_back(std::to_string(LastNamed("bid-input").id));
                break;
        }
        engine->SetRollPaper(w.rollPaper);
        if (w.technician) {
            host.onSleep = [this] {
                if (printer && printer->PoweredOn() && printer->State() == 7) printer->PressRollPaperSwitch();
            };
            host.onBox = [this](const std::string& text) {
                if (text == "Trun off the printer. Don't disconnect AC cable." && printer) printer->SetPower(false);
            };
        }
        return args;
    }

    vp::Eeprom::Bytes before{};
    // Takes the image the operation starts from, then cuts the link.
    cli::Operation snapshotAndCut{
        "cut-link", "", "", 0, 0, Group::Adjustment, -1, nullptr, [this](cli::CliFrame&, const cli::Arguments&) {
            before = Image();
            printer->DropLinkAfter(cutAfter);
            return std::string();
        }};
};

// For each cut: (a) the journal is whole (SQLite's integrity check), (b) every
// byte the printer's EEPROM now holds differently is a write the journal
// records for the operation, and every write it records as confirmed is what
// the printer holds (the one the cut fell in may or may not have arrived and
// is recorded as such), (c) stderr names what was written and how to undo it,
// (d) undo on the next connection gives back the EEPROM image byte for byte.
// The printer's own counters and measurements are no writes of the program.
TEST_P(CutSweep, ALinkCutAtEveryPacketIsJournalledAndUndone) {
    const WritingOperation& w = GetParam();
    // The journal in memory's file system where there is one: the sweep
    // commits thousands of times, and a power loss is not what it tests.
    const fs::path shm = "/dev/shm";
    const fs::path journalFile = (fs::is_directory(shm) ? shm / folder.filename() : folder) / "journal.sqlite";
    fs::create_directories(journalFile.parent_path());
    UseJournal(journal::OpenSqlite(journalFile.string()));
    const int stride = FullSweep() ? 1 : w.stride * (w.stride > 1 ? kLongSweepFactor : 1);
    int cutsThatChangedIt = 0, runs = 0;
    bool done = false;
    for (cutAfter = 1; !done && cutAfter < 5000; cutAfter += static_cast<std::uint64_t>(stride)) {
        SCOPED_TRACE(std::string(w.op) + ", link cut after " + std::to_string(cutAfter) + " packets");
        const cli::Arguments args = Prepare(w);
        std::vector<cli::Step> steps{Op("eeprom-view", {"00", "FF"})};
        for (const std::string& name : w.before) steps.push_back(Op(name));
        steps.push_back({&snapshotAndCut, {}});
        steps.push_back(Op(w.op, args));
        const Outcome o = Run(steps);
        printer->DropLinkAfter(std::nullopt);  // a cut that did not come is not left for the next connection
        host.onBox = nullptr;
        if (!printer->PoweredOn()) printer->SetPower(true);  // switched off at the refurbishment's end
        ++runs;
        done = o.status == cli::kExitOk;
        const vp::Eeprom::Bytes after = Image();

        // (a)
        ASSERT_EQ(IntegrityCheck(journalFile), "ok");
        const journal::OperationRecord op = LastNamed(w.op);
        ASSERT_GT(op.id, 0);
        EXPECT_EQ(std::find(op.memo.begin(), op.memo.end(), journal::kUnfinished), op.memo.end());

        // (b)
        auto own = [&](std::size_t a) {
            return std::find(w.printerOwn.begin(), w.printerOwn.end(), static_cast<int>(a)) != w.printerOwn.end();
        };
        std::array<bool, 256> written{};
        std::array<const journal::ByteRecord*, 256> last{};
        bool wrote = false, unsure = false;
        for (const journal::ByteRecord& b : op.bytes) {
            if (b.access != journal::Access::Write) continue;
            // After a write of unknown arrival the byte's value is unknown; undo
            // needs the value before the first write.
            if (!written[b.address]) {
                EXPECT_TRUE(b.previous) << "the session read every byte it writes: " << int(b.address);
            }
            written[b.address] = true;
            last[b.address] = &b;
            wrote = true;
            // Only the writes from the one the link was cut in on are of unknown arrival.
            EXPECT_FALSE(unsure && b.result == 1) << "a confirmed write after an unconfirmed one";
            unsure = unsure || b.result != 1;
        }
        for (std::size_t a = 0; a < 256; ++a) {
            if (own(a)) continue;
            if (after[a] != before[a]) {
                EXPECT_TRUE(written[a]) << "byte " << a << " changed, not in the journal";
            }
            const journal::ByteRecord* b = last[a];
            if (b && b->result == 1) {
                EXPECT_EQ(after[a], b->value) << "byte " << a << " recorded as written";
            }
            if (b && b->result != 1) {
                EXPECT_TRUE(after[a] == b->value || after[a] == before[a] ||
                            std::any_of(op.bytes.begin(), op.bytes.end(),
                                        [&](const journal::ByteRecord& r) {
                                            return r.address == a && r.result == 1 && r.value == after[a];
                                        }))
                    << "byte " << a << " holds what no write of it left";
            }
        }

        // (c)
        if (!done && wrote) {
            ++cutsThatChangedIt;
            EXPECT_TRUE(o.err.find("was written") != std::string::npos ||
                        o.err.find("were written") != std::string::npos ||
                        o.err.find("half written") != std::string::npos || o.err.find("was not") != std::string::npos)
                << o.err;
            EXPECT_NE(o.err.find("undo " + std::to_string(op.id)), std::string::npos) << o.err;
        }

        // (d) The next connection undoes it.
        const Outcome undo = Run({Op("undo", {std::to_string(op.id)})});
        EXPECT_EQ(undo.status, cli::kExitOk) << undo.out << undo.err;
        vp::Eeprom::Bytes now = Image();
        for (std::size_t a = 0; a < 256; ++a)
            if (own(a)) now[a] = before[a];
        EXPECT_EQ(now, before) << undo.out << undo.err;
        if (HasFailure()) break;  // one cut's account is enough to read
    }
    EXPECT_TRUE(done) << w.op << " never ran to its end";
    EXPECT_GT(cutsThatChangedIt, 0) << "no cut fell between two of its writes";
    EXPECT_TRUE(warnings.empty());
    RecordProperty("runs", runs);
    fs::remove_all(journalFile.parent_path());
}

INSTANTIATE_TEST_SUITE_P(EveryWritingOperation, CutSweep, ::testing::ValuesIn(kWritingOperations),
                         [](const ::testing::TestParamInfo<WritingOperation>& info) { return info.param.name; });

// A Bi-D input that stops at a row out of range has written the rows before
// it: stderr names them, and undo puts them back.
TEST_F(Bench, ABiDInputStoppedAtABadRowNamesTheRowsWritten) {
    UseSqliteJournal();
    Plug("BIDSERIAL1");
    const vp::Eeprom::Bytes original = Image();
    const Outcome o = Run({Op("bid-read"), Op("bid-input", {"VSD1Bk=5", "VSD2Bk=99"})});
    EXPECT_EQ(o.status, cli::kExitFailed);
    EXPECT_NE(o.err.find("error: VSD1 Black was written before the operation stopped"), std::string::npos) << o.err;
    EXPECT_EQ(printer->ReadEeprom(0x60), 5);
    const journal::OperationRecord op = LastNamed("bid-input");
    EXPECT_NE(o.err.find("undo " + std::to_string(op.id) + "'"), std::string::npos) << o.err;

    const Outcome undo = Run({Op("undo", {std::to_string(op.id)})});
    EXPECT_EQ(undo.status, cli::kExitOk) << undo.err;
    EXPECT_NE(undo.out.find("0x60 VSD1 Black: 0x05 -> 0x"), std::string::npos) << undo.out;
    EXPECT_EQ(Image(), original);

    // Undo asks first; No writes nothing.
    Run({Op("bid-read"), Op("bid-input", {"VSD1Bk=7"})});
    const std::int64_t second = LastNamed("bid-input").id;
    host.yes = false;
    EXPECT_EQ(Run({Op("undo", {std::to_string(second)})}).status, cli::kExitFailed);
    EXPECT_EQ(printer->ReadEeprom(0x60), 7);
    // Nor onto another printer.
    host.yes = true;
    Plug("OTHERPRNTR");
    const Outcome elsewhere = Run({Op("undo", {std::to_string(second)})});
    EXPECT_EQ(elsewhere.status, cli::kExitFailed);
    EXPECT_NE(elsewhere.err.find("does not hold what operation"), std::string::npos) << elsewhere.err;
}

// Restore with the link cut after each packet: until the restore has
// finished, including its last exchange, the backup file stays for a retry.
TEST_F(Bench, ARestoreCutAnywhereKeepsTheBackupFile) {
    UseSqliteJournal();
    Plug("OLDSERIAL1");
    ASSERT_EQ(Run({Op("backup")}).status, cli::kExitOk);
    const fs::path file = folder / "bkupdata.eep";
    ASSERT_TRUE(fs::exists(file));
    bool finished = false;
    for (cutAfter = 1; cutAfter < 1000 && !finished; cutAfter += 1) {
        const Outcome o = Run({{&cut, {}}, Op("restore")});
        finished = o.status == cli::kExitOk;
        EXPECT_EQ(fs::exists(file), !finished) << "cut " << cutAfter << "\n" << o.err;
    }
    EXPECT_TRUE(finished);
    // The journal kept the file a restore deleted.
    bool restored = false;
    for (const auto& b : journal::Journal().CurrentStore()->Backups("OLDSERIAL1"))
        restored = restored || b.kind == "restored";
    EXPECT_TRUE(restored);
}

// The backup taken again after the main board was exchanged: the question
// keeps the old board's file (No is the safe answer), and even after a Yes
// the journal still holds the old board's bytes, which restore onto the new one.
TEST_F(Bench, ABackupRetakenAfterTheBoardExchangeLosesNothing) {
    UseSqliteJournal();
    Plug("OLDBOARD01");
    ASSERT_EQ(Run({Op("backup")}).status, cli::kExitOk);
    const vp::Eeprom::Bytes oldBoard = Image();
    const fs::path file = folder / "bkupdata.eep";
    const auto oldFile = fs::file_size(file);
    ASSERT_EQ(oldFile, 101u);
    std::array<std::uint8_t, 101> oldBytes{};
    ASSERT_EQ(EepromCopy().LoadBackup(oldBytes), rc::Ok);

    vp::Eeprom fresh = vp::Eeprom::NewBoard();
    Plug("NEWBOARD02", fresh);
    host.yes = false;
    Outcome o = Run({Op("backup")});
    EXPECT_EQ(o.status, cli::kExitFailed);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_NE(host.questions[0].find("OLDBOARD01"), std::string::npos);
    std::array<std::uint8_t, 101> kept{};
    ASSERT_EQ(EepromCopy().LoadBackup(kept), rc::Ok);
    EXPECT_EQ(kept, oldBytes);

    host.yes = true;
    o = Run({Op("backup")});
    EXPECT_EQ(o.status, cli::kExitOk) << o.err;
    ASSERT_EQ(EepromCopy().LoadBackup(kept), rc::Ok);
    EXPECT_NE(kept, oldBytes);

    // The old board's backup is still in the journal: restore it onto the new board.
    const auto backups = journal::Journal().CurrentStore()->Backups("OLDBOARD01");
    ASSERT_FALSE(backups.empty());
    o = Run({Op("restore", {"--from-journal", std::to_string(backups.front().id)})});
    EXPECT_EQ(o.status, cli::kExitOk) << o.err;
    const vp::Eeprom::Bytes now = Image();
    for (std::uint8_t a : CopyAddresses()) EXPECT_EQ(now[a], oldBoard[a]) << int(a);
    EXPECT_EQ(now[0xE0], 0x01);  // the restore's fixed tail
}

// Recording adds nothing to the link: the same session with and without the
// journal sends the same packets and leaves the same EEPROM.
TEST_F(Bench, TheJournalAddsNoTrafficToThePrinter) {
    auto session = [&] {
        Plug("SAMESERIAL");
        const Outcome o = Run({Op("usb-id-read"), Op("pw-read"), Op("backup"), Op("restore")});
        EXPECT_EQ(o.status, cli::kExitOk) << o.err;
        return std::make_tuple(printer->counters().hostPackets, printer->counters().hostBytes, Image());
    };
    const auto without = session();
    UseSqliteJournal();
    const auto with = session();
    EXPECT_EQ(with, without);
    EXPECT_GT(LastNamed("restore").bytes.size(), 100u);
}

// ---- the refurbishment for DOA, cut short ----

class Refurbishment : public Bench {
protected:
    // The technician at the printer: each exchange step is started while the
    // printer runs the exchange; the printer is switched off when asked.
    void Technician() {
        host.onSleep = [this] {
            if (printer && printer->PoweredOn() && printer->State() == 7) {
                printer->PressRollPaperSwitch();
                ++presses;
                if (cutAtPress && presses == cutAtPress) printer->DropLinkAfter(cutAfter);
            }
        };
        host.onBox = [this](const std::string& text) {
            if (text == "Trun off the printer. Don't disconnect AC cable." && printer) printer->SetPower(false);
        };
    }
    // The EEPROM a whole refurbishment leaves on a printer as Plug makes it.
    vp::Eeprom::Bytes CompleteRun() {
        Plug("DOASERIAL1");
        Technician();
        const Outcome o = Run({Op("doa")});
        EXPECT_EQ(o.status, cli::kExitOk) << o.err;
        EXPECT_FALSE(printer->PoweredOn());
        EXPECT_TRUE(ExchangeDone());
        return Image();
    }
    bool ExchangeDone() const { return engine->Mech().ExchangeStepsDone() == 3; }

    int presses = 0;
    int cutAtPress = 0;
};

// The link cut at every packet of a refurbishment, and again while the
// technician works at the printer: when the stop came after the exchange was
// started, the next connection names it with the command that finishes it,
// and finishing leaves the EEPROM a complete run leaves; a stop before it
// leaves no such note. A complete run or a finish clears it.
TEST_F(Refurbishment, ACutShortRefurbishmentIsNamedAndFinished) {
    UseSqliteJournal();
    const vp::Eeprom::Bytes complete = CompleteRun();
    printer->SetPower(true);
    EXPECT_EQ(Run({}).err.find("doa-finish"), std::string::npos) << "a complete run leaves nothing to finish";

    int named = 0, finishedAfterExchange = 0, finishedDuring = 0, refused = 0;
    auto cutRun = [&](std::uint64_t packets, int atPress) {
        Plug("DOASERIAL1");
        Technician();
        presses = 0;
        cutAtPress = atPress;
        cutAfter = packets;
        const Outcome o = atPress ? Run({Op("doa")}) : Run({{&cut, {}}, Op("doa")});
        cutAtPress = 0;
        if (o.status == cli::kExitOk) return false;  // the cut came too late to stop it
        const journal::OperationRecord op = LastNamed("doa");
        auto noted = [&](const char* stage) {
            return std::find(op.memo.begin(), op.memo.end(), std::string(stage)) != op.memo.end();
        };
        const bool started = noted(journal::kStageExchangeRequested) && !noted(journal::kStageDeliverySetting);
        if (!started && !printer->PoweredOn()) {
            // Cut while it was switched off: it ended as a complete run ends.
            EXPECT_EQ(Image(), complete);
            return true;
        }
        // The next connection.
        const Outcome next = Run({});
        EXPECT_EQ(next.status, cli::kExitOk) << next.err;
        const bool hinted =
            next.err.find("'svcadjust-cli --model 4100 --port LPT1 doa-finish' finishes it") != std::string::npos;
        EXPECT_EQ(hinted, started) << "cut " << packets << " at press " << atPress << "\n" << next.err;
        if (!hinted) return true;
        EXPECT_NE(next.err.find("journal operation " + std::to_string(op.id)), std::string::npos) << next.err;
        ++named;
        const bool wasRunning = printer->State() == 7;
        const Outcome finish = Run({Op("doa-finish")});
        if (finish.status != cli::kExitOk) {
            // Started, never seen at it, and not at it now: to be started again.
            EXPECT_NE(finish.err.find("Start the Refurbishment for DOA again."), std::string::npos) << finish.err;
            ++refused;
            return true;
        }
        (wasRunning ? finishedDuring : finishedAfterExchange) += 1;
        EXPECT_TRUE(ExchangeDone());
        EXPECT_FALSE(printer->PoweredOn());
        EXPECT_EQ(Image(), complete) << "cut " << packets << " at press " << atPress;
        printer->SetPower(true);
        EXPECT_EQ(Run({}).err.find("doa-finish"), std::string::npos) << "finished: nothing more to finish";
        return true;
    };
    // Cut while the technician works at the printer (after each press), and
    // at every packet from the start.
    for (int press = 1; press <= 3; ++press) EXPECT_TRUE(cutRun(2, press));
    std::uint64_t packets = 1;
    for (; packets < 600 && cutRun(packets, 0); packets += 3 * kLongSweepFactor) {}
    EXPECT_LT(packets, 600u) << "the refurbishment never ran to its end";
    EXPECT_GT(finishedDuring, 0) << "finishes that waited for the exchange";
    EXPECT_GT(finishedAfterExchange, 5) << "finishes of a cut delivery setting";
    EXPECT_GT(named, 0);
    RecordProperty("finished_during_exchange", finishedDuring);
    RecordProperty("finished_after_exchange", finishedAfterExchange);
    RecordProperty("refused_unknown_exchange", refused);
    EXPECT_TRUE(warnings.empty());
}

// The journal knows the printer's USB ID: another printer on the same port
// is not offered the other's refurbishment (its serial number is read for
// that, and only then); the same printer is.
TEST_F(Refurbishment, OnlyThePrinterItWasMadeOnIsOffered) {
    UseSqliteJournal();
    Plug("DOASERIAL1");
    Technician();
    cutAtPress = 1;
    cutAfter = 2;
    ASSERT_EQ(Run({Op("usb-id-read"), Op("doa")}).status, cli::kExitFailed);
    cutAtPress = 0;
    const std::uint64_t before = printer->counters().hostPackets;
    EXPECT_NE(Run({}).err.find("doa-finish"), std::string::npos);
    const std::uint64_t withCheck = printer->counters().hostPackets - before;

    Plug("OTHERPRNTR");
    EXPECT_EQ(Run({}).err.find("doa-finish"), std::string::npos);
    // Without anything interrupted the connection sends what it always sent.
    journal::Journal().Uninstall();
    Plug("DOASERIAL1");
    const std::uint64_t start = printer->counters().hostPackets;
    Run({});
    EXPECT_GT(withCheck, printer->counters().hostPackets - start) << "the serial number read only when needed";
}

// The same on a shop's shared PostgreSQL journal: the refurbishment cut short
// on one bench is named there, finished, and the report lists it.
TEST_F(Refurbishment, PostgresACutShortRefurbishmentIsNamedAndReported) {
    if (!std::getenv("PGHOST"))
        GTEST_SKIP() << "no PostgreSQL server (CTest runs this with journal/testing/with_postgres.sh)";
    const std::string db = "journal_doa_" + std::to_string(::getpid());
    ASSERT_EQ(std::system(("psql -q -c 'CREATE DATABASE " + db + "' >/dev/null").c_str()), 0);
    UseJournal(journal::OpenPostgres("postgresql:///" + db));
    Plug("DOASERIAL1");
    Technician();
    cutAtPress = 2;
    cutAfter = 2;
    ASSERT_EQ(Run({Op("doa")}).status, cli::kExitFailed);
    cutAtPress = 0;
    EXPECT_NE(Run({}).err.find("doa-finish' finishes it."), std::string::npos);
    EXPECT_EQ(Run({Op("doa-finish")}).status, cli::kExitOk);
    EXPECT_TRUE(ExchangeDone());
    printer->SetPower(true);
    EXPECT_EQ(Run({}).err.find("doa-finish"), std::string::npos);
    const std::string html = journal::ServiceReportHtml(*journal::Journal().CurrentStore(), {});
    EXPECT_NE(html.find("doa-finish"), std::string::npos);
    EXPECT_NE(html.find("<h3>Counters reset</h3>"), std::string::npos);
    EXPECT_TRUE(warnings.empty());
}

// ---- the service report ----

// A Bi-D input and a counter reset in one session: the report names the
// printer and each item with its value before and after, puts the reset
// counter apart, lists the failure, and a hostile memo line or printer ID
// stays text.
TEST_F(Bench, TheServiceReportShowsBeforeAndAfterAndEscapes) {
    UseSqliteJournal();
    Plug("REPORTSER1");
    printer->WriteEeprom(0x20, 0x34);
    printer->WriteEeprom(0x21, 0x12);
    printer->WriteEeprom(0x60, 0xFE);
    const Outcome o = Run({Op("usb-id-read"), Op("bid-read"), Op("bid-input", {"VSD1Bk=5"}), Op("waste-ink-read"),
                           Op("waste-ink-reset"), Op("bid-input", {"VSD1Bk=99"})});
    EXPECT_EQ(o.status, cli::kExitFailed);
    journal::Store& store = *journal::Journal().CurrentStore();
    const auto sessions = store.Sessions("");
    ASSERT_EQ(sessions.size(), 1u);
    // A hostile line in the memo of a later operation, as a store could hold it.
    journal::OperationRecord hostile;
    hostile.sessionId = sessions[0].id;
    hostile.started = "2026-12-08 10:00:00";
    hostile.name = "<script>alert('x')</script>";
    hostile.result = 0;
    hostile.memo = {"</li><img src=x onerror=alert(1)> & \"quoted\" \x01 \xFF"};
    // The session's USB ID as a store given hostile text would hand it back.
    store.AddOperation(hostile, {}, "REP<b>&1", "");

    const std::string html = journal::ServiceReportHtml(store, {"REP<b>&1", 0});
    EXPECT_NE(html.find("<td>REP&lt;b&gt;&amp;1</td>"), std::string::npos) << html;
    EXPECT_NE(html.find("<td>VSD1 Black</td><td>0x60</td><td>0xFE (-2)</td><td>0x05 (5)</td>"), std::string::npos)
        << html;
    const auto counters = html.find("<h3>Counters reset</h3>");
    ASSERT_NE(counters, std::string::npos) << html;
    EXPECT_NE(
        html.find("<td>Waste ink pad counter</td><td>0x20-0x21</td><td>0x34 0x12 (4660)</td><td>0x00 0x00 (0)</td>",
                  counters),
        std::string::npos)
        << html;
    EXPECT_NE(html.find("<h3>Failures</h3>"), std::string::npos);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_EQ(html.find("<img"), std::string::npos);
    EXPECT_EQ(html.find("REP<b>"), std::string::npos);
    EXPECT_NE(
        html.find("&lt;/li&gt;&lt;img src=x onerror=alert(1)&gt; &amp; &quot;quoted&quot; \xEF\xBF\xBD \xEF\xBF\xBD"),
        std::string::npos);
    // Well formed as far as its own elements go: every element opened is closed, in order.
    std::vector<std::string> open;
    for (std::size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
        const std::size_t end = html.find_first_of(" >", at);
        std::string tag = html.substr(at + 1, end - at - 1);
        if (tag == "!DOCTYPE" || tag == "meta" || tag == "br") continue;
        if (tag[0] == '/') {
            ASSERT_FALSE(open.empty()) << tag;
            EXPECT_EQ("/" + open.back(), tag);
            open.pop_back();
        } else {
            open.push_back(tag);
        }
    }
    EXPECT_TRUE(open.empty());
    // One session only; one that does not exist says so.
    EXPECT_NE(journal::ServiceReportHtml(store, {"", 99}).find("holds no session numbered 99"), std::string::npos);
}

// Two benches, two printers, one PostgreSQL journal: a backup taken on one
// bench is restored on the other.
TEST_F(Bench, PostgresTwoBenchesShareBackups) {
    if (!std::getenv("PGHOST"))
        GTEST_SKIP() << "no PostgreSQL server (CTest runs this with journal/testing/with_postgres.sh)";
    const std::string db = "journal_bench_" + std::to_string(::getpid());
    ASSERT_EQ(std::system(("psql -q -c 'CREATE DATABASE " + db + "' >/dev/null").c_str()), 0);
    const std::string where = "postgresql:///" + db;

    // Bench one: the old printer's backup.
    UseJournal(journal::OpenPostgres(where));
    Plug("BENCHONE01");
    ASSERT_EQ(Run({Op("backup")}).status, cli::kExitOk);
    const vp::Eeprom::Bytes first = Image();
    journal::Journal().Uninstall();
    fs::remove(folder / "bkupdata.eep");  // the other bench has no file

    // Bench two, its own connection and printer.
    UseJournal(journal::OpenPostgres(where));
    Plug("BENCHTWO02", vp::Eeprom::NewBoard());
    const auto backups = journal::Journal().CurrentStore()->Backups("BENCHONE01");
    ASSERT_EQ(backups.size(), 1u);
    const Outcome o = Run({Op("restore", {"--from-journal", std::to_string(backups[0].id)})});
    EXPECT_EQ(o.status, cli::kExitOk) << o.err;
    const vp::Eeprom::Bytes second = Image();
    for (std::uint8_t a : CopyAddresses()) EXPECT_EQ(second[a], first[a]) << int(a);
    // Both sessions are in the shared history.
    EXPECT_EQ(journal::Journal().CurrentStore()->Sessions("").size(), 2u);
    EXPECT_TRUE(warnings.empty());
}

}  // namespace
}  // namespace svc
