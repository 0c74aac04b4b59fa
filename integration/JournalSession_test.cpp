// The journal around real sessions of svcadjust-cli on in-process virtual
// printers: the link cut at every packet of an EEPROM write (the journal names
// exactly the bytes that may have arrived, and undo returns the image byte for
// byte), a restore cut at every packet (the backup file stays until the
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
#include "link/Host.h"
#include "link/VexStatusControl.h"
#include "vprinter/DirectTransport.h"
#include "vprinter/Printer.h"
#include "vprinter/engine/PrintEngine.h"

#include <gtest/gtest.h>

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
        folder = fs::temp_directory_path() /
                 ("svc-journal-bench-" + std::to_string(::getpid()) + "-" +
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
        for (int i = 0; i < 10; ++i) printer->WriteEeprom(static_cast<std::uint8_t>(0xC2 + i), static_cast<std::uint8_t>(serial.at(i)));
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
        for (int a = 0; a < 256; ++a) b[static_cast<std::size_t>(a)] = printer->ReadEeprom(static_cast<std::uint8_t>(a));
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
    cli::Operation cut{"cut-link", "", "", 0, 0, Group::Adjustment, -1, nullptr,
                       [this](cli::CliFrame&, const cli::Arguments&) {
                           printer->DropLinkAfter(cutAfter);
                           return std::string();
                       }};
};

// The USB ID written with the link cut after each packet in turn: the journal
// holds every byte that reached the printer (the confirmed writes certainly,
// the failed one perhaps), stderr names what was written, and undo on the next
// connection gives back the EEPROM image byte for byte.
TEST_F(Bench, ALinkCutAtEveryPacketOfAWriteIsNamedAndUndone) {
    UseSqliteJournal();
    int cutsSeen = 0;
    for (cutAfter = 1; cutAfter < 400; ++cutAfter) {
        Plug("OLDSERIAL1");
        const vp::Eeprom::Bytes original = Image();
        const Outcome o = Run({Op("usb-id-read"), {&cut, {}}, Op("usb-id-input", {"AB12345678"})});
        const journal::OperationRecord op = LastNamed("usb-id-input");
        ASSERT_GT(op.id, 0);
        const vp::Eeprom::Bytes after = Image();
        std::array<bool, 256> written{};
        int unsure = 0;
        for (const journal::ByteRecord& b : op.bytes) {
            if (b.access != journal::Access::Write) continue;
            unsure += b.result != 1;
            written[b.address] = true;
            EXPECT_TRUE(b.previous) << "the session read every byte it writes";
            if (b.result == 1) {
                EXPECT_EQ(after[b.address], b.value) << "cut " << cutAfter;
            }
        }
        EXPECT_LE(unsure, 1) << "only the write the link was cut in is of unknown arrival";
        for (std::size_t a = 0; a < 256; ++a) {
            if (after[a] != original[a]) {
                EXPECT_TRUE(written[a]) << "byte " << a << " changed unrecorded, cut " << cutAfter;
            }
        }

        const bool done = o.status == cli::kExitOk;
        if (!done && after != original) {
            ++cutsSeen;
            EXPECT_TRUE(o.err.find("was written") != std::string::npos || o.err.find("were written") != std::string::npos ||
                        o.err.find("half written") != std::string::npos || o.err.find("was not") != std::string::npos)
                << o.err;
            EXPECT_NE(o.err.find("undo " + std::to_string(op.id)), std::string::npos) << o.err;
        }
        // The next connection undoes it.
        const Outcome undo = Run({Op("undo", {std::to_string(op.id)})});
        EXPECT_EQ(undo.status, cli::kExitOk) << undo.err;
        EXPECT_EQ(Image(), original) << "cut " << cutAfter << "\n" << undo.out << undo.err;
        if (done) break;
    }
    EXPECT_LT(cutAfter, 400u) << "the USB ID input never finished";
    EXPECT_GT(cutsSeen, 5) << "cuts in the middle of the write";
    EXPECT_TRUE(warnings.empty());
}

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
    EXPECT_NE(undo.out.find("0x60 VSD1 Black: 0x05 -> 0x" ), std::string::npos) << undo.out;
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
    for (const auto& b : journal::Journal().CurrentStore()->Backups("OLDSERIAL1")) restored = restored || b.kind == "restored";
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
        auto noted = [&](const char* stage) { return std::find(op.memo.begin(), op.memo.end(), std::string(stage)) != op.memo.end(); };
        const bool started = noted(journal::kStageExchangeRequested) && !noted(journal::kStageDeliverySetting);
        if (!started && !printer->PoweredOn()) {
            // Cut while it was switched off: it ended as a complete run ends.
            EXPECT_EQ(Image(), complete);
            return true;
        }
        // The next connection.
        const Outcome next = Run({});
        EXPECT_EQ(next.status, cli::kExitOk) << next.err;
        const bool hinted = next.err.find("'svcadjust-cli --model 4100 --port LPT1 doa-finish' finishes it") !=
                            std::string::npos;
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
    for (; packets < 600 && cutRun(packets, 0); packets += 3) {}
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
    if (!std::getenv("PGHOST")) GTEST_SKIP() << "no PostgreSQL server (CTest runs this with journal/testing/with_postgres.sh)";
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
    EXPECT_NE(html.find("<td>Waste ink pad counter</td><td>0x20-0x21</td><td>0x34 0x12 (4660)</td><td>0x00 0x00 (0)</td>", counters),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<h3>Failures</h3>"), std::string::npos);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_EQ(html.find("<img"), std::string::npos);
    EXPECT_EQ(html.find("REP<b>"), std::string::npos);
    EXPECT_NE(html.find("&lt;/li&gt;&lt;img src=x onerror=alert(1)&gt; &amp; &quot;quoted&quot; \xEF\xBF\xBD \xEF\xBF\xBD"),
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
    if (!std::getenv("PGHOST")) GTEST_SKIP() << "no PostgreSQL server (CTest runs this with journal/testing/with_postgres.sh)";
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
