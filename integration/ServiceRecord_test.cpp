// The service record window over a journal that real svcadjust-cli sessions
// wrote against an in-process virtual printer: it lists them, undoes an
// operation through the main window's connection (the EEPROM comes back byte
// for byte), restores a kept backup, saves and prints the report, and the
// start window offers to finish a refurbishment that was cut short.
#include "cli/CliFrame.h"
#include "cli/Operations.h"
#include "cli/Session.h"
#include "cli/testing/Streams.h"
#include "eeprom/VexEeprom.h"
#include "eeprom/VexEepromCopy.h"
#include "journal/Recorder.h"
#include "journal/SqlStore.h"
#include "link/Host.h"
#include "link/OutsideLibraries.h"
#include "link/VexStatusControl.h"
#include "ui/GuiHost.h"
#include "ui/ProgramWindows.h"
#include "ui/ServiceRecordWindow.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"
#include "journal/Refurbishment.h"
#include "link/RadioItems.h"
#include "ui/RadioGroup.h"
#include "ui/TabControl.h"
#include "vprinter/DirectTransport.h"
#include "vprinter/Printer.h"
#include "vprinter/engine/PrintEngine.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QRadioButton>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <memory>

using namespace svc;
using namespace svc::ui;

namespace {

// Sleeps move the printer's clock; boxes are answered OK / Yes. While the
// printer runs the exchange the technician presses its roll-paper switch,
// and switches it off when told to.
class BenchHost : public Host {
public:
    void Sleep(int ms) override {
        if (!printer) return;
        if (printer->PoweredOn() && printer->State() == 7) {
            printer->PressRollPaperSwitch();
            if (++presses == cutAtPress) printer->DropLinkAfter(2);
        }
        printer->Advance(static_cast<std::uint64_t>(ms > 0 ? ms : 0));
    }
    void RepaintMainWindow() override {}
    BoxAnswer MessageBox(BoxOwner, const std::string& text, const std::string&, BoxIcon, BoxButtons buttons) override {
        if (text == "Trun off the printer. Don't disconnect AC cable." && printer) printer->SetPower(false);
        return buttons == BoxButtons::YesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
    }
    vp::Printer* printer = nullptr;
    int presses = 0;
    int cutAtPress = 0;
};

}  // namespace

class ServiceRecordTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    std::unique_ptr<vp::Printer> printer_;
    std::unique_ptr<vp::PrintEngine> engine_;
    std::unique_ptr<vp::InProcessPorts> ports_;
    BenchHost host_;
    std::unique_ptr<ProgramWindows> windows_;

    vp::Eeprom::Bytes Image() const {
        vp::Eeprom::Bytes b{};
        for (int a = 0; a < 256; ++a)
            b[static_cast<std::size_t>(a)] = printer_->ReadEeprom(static_cast<std::uint8_t>(a));
        return b;
    }
    // One svcadjust-cli session on LPT1 of the 4100.
    int RunCli(const std::vector<std::vector<std::string>>& operations, std::string* err = nullptr) {
        cli::CommandLine line;
        line.modelCode = 1;
        line.portCode = 1028;
        for (const auto& op : operations) {
            const cli::Operation* found = cli::FindOperation(op.at(0));
            if (!found) return -1;
            line.steps.push_back({found, cli::Arguments(op.begin() + 1, op.end())});
        }
        cli::testing::Streams streams;
        cli::CliFrame frame(streams.out, streams.err);
        Status().Clear();
        const int status = cli::RunSession(line, frame);
        if (err) *err = streams.Err();
        return status;
    }
    void PressOk() {
        windows_->Boot().findChild<QComboBox*>("ModelNameCombo")->setCurrentIndex(0);
        windows_->Boot().findChild<QComboBox*>("PortSelectCombo")->setCurrentIndex(0);
        Status().Clear();
        windows_->Boot().OKBtnClick();
    }
    std::int64_t LastOperation(const std::string& name) {
        std::int64_t id = 0;
        journal::Store* store = journal::Journal().CurrentStore();
        for (const auto& s : store->Sessions(""))
            for (const auto& op : store->Operations(s.id))
                if (op.name == name) id = op.id;
        return id;
    }
    static QStringList Rows(const QTreeWidget* tree) {
        QStringList rows;
        for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it)
            rows << (*it)->text(0) + QStringLiteral(" | ") + (*it)->text(1);
        return rows;
    }

private slots:
    void init() {
        QVERIFY(folder_.isValid());
        vp::Printer::Options options;
        options.bytesPerSecond = vp::Printer::kUnlimitedSpeed;
        printer_ = std::make_unique<vp::Printer>(options, vp::Eeprom::Factory(1));
        engine_ = std::make_unique<vp::PrintEngine>(*printer_, vp::EngineOptions{});
        printer_->SetEngine(engine_.get());
        const std::string serial = "RECORDSER1";
        for (int i = 0; i < 10; ++i)
            printer_->WriteEeprom(static_cast<std::uint8_t>(0xC2 + i),
                                  static_cast<std::uint8_t>(serial[static_cast<std::size_t>(i)]));
        ports_ = std::make_unique<vp::InProcessPorts>(*printer_);
        host_ = BenchHost{};
        host_.printer = printer_.get();
        SetHost(&host_);
        const QString journal = folder_.filePath(QStringLiteral("journal-%1.sqlite").arg(QTest::currentTestFunction()));
        journal::Journal().Install(journal::OpenSqlite(journal.toStdString()),
                                   [](const std::string& w) { QFAIL(w.c_str()); });
        EepromCopy().SetBackupPath(folder_.filePath(QStringLiteral("bkupdata.eep")).toStdString());
        windows_ = std::make_unique<ProgramWindows>();
        windows_->Boot().show();
    }
    void cleanup() {
        if (windows_ && windows_->Adjust().isVisible()) windows_->Adjust().close();
        windows_.reset();
        PortCloseByOsSw();
        journal::Journal().Uninstall();
        EepromCopy().SetBackupPath("");
        SetHost(nullptr);
        ports_.reset();
        printer_->SetEngine(nullptr);
        engine_.reset();
        printer_.reset();
        ShowNormalCursor();
    }

    // The sessions and operations of a command-line run, with the bytes each
    // wrote; Undo shows them, writes nothing on No and, after a Yes, gives
    // the EEPROM back byte for byte through the main window's connection.
    void listsACliRunAndUndoesItsOperation() {
        printer_->WriteEeprom(0x60, 0xFE);
        const vp::Eeprom::Bytes original = Image();
        QCOMPARE(RunCli({{"usb-id-read"}, {"bid-read"}, {"bid-input", "VSD1Bk=5", "VSD2Bk=-3"}}), cli::kExitOk);
        const std::int64_t id = LastOperation("bid-input");
        QVERIFY(id > 0);
        QCOMPARE(printer_->ReadEeprom(0x60), std::uint8_t(5));

        ServiceRecordWindow* record = windows_->Boot().ServiceRecord();
        record->show();
        const QStringList rows = Rows(record->findChild<QTreeWidget*>("RecordTree"));
        QVERIFY2(rows.filter(QRegularExpression("^RECORDSER1 \\| Corvid Lumen 4100, USB ID RECORDSER1")).size() == 1,
                 qPrintable(rows.join('\n')));
        QVERIFY2(rows.filter(QRegularExpression(
                                 QStringLiteral("^Operation %1 \\| .* bid-input VSD1Bk=5 VSD2Bk=-3  done$").arg(id)))
                         .size() == 1,
                 qPrintable(rows.join('\n')));
        QVERIFY2(rows.contains("0x60 VSD1 Black: 0xFE -> 0x05 | "), qPrintable(rows.join('\n')));
        QVERIFY2(rows.contains("0x61 VSD2 Black: 0x00 -> 0xFD | ") || rows.filter("0x61 VSD2 Black: ").size() == 1,
                 qPrintable(rows.join('\n')));

        // Search by printer ID.
        record->Search(QStringLiteral("NOSUCHPRNT"));
        QCOMPARE(record->StatusText(), QString("Nothing is recorded for NOSUCHPRNT."));
        record->Search(QStringLiteral("RECORDSER1"));
        QVERIFY(record->Select(ServiceRecordWindow::kOperationRow, id));

        // No connection yet: said so, nothing written.
        record->UndoClick();
        QVERIFY2(record->StatusText().startsWith("No printer is connected"), qPrintable(record->StatusText()));
        QCOMPARE(printer_->ReadEeprom(0x60), std::uint8_t(5));

        PressOk();
        QVERIFY(windows_->Adjust().isVisible());
        QString asked;
        bool answer = false;
        record->SetConfirm([&](const QString&, const QString& text) {
            asked = text;
            return answer;
        });
        QVERIFY(record->Select(ServiceRecordWindow::kOperationRow, id));
        record->UndoClick();
        QVERIFY2(asked.contains("0x60 VSD1 Black: 0x05 -> 0xFE"), qPrintable(asked));
        QCOMPARE(printer_->ReadEeprom(0x60), std::uint8_t(5));
        QVERIFY(windows_->Adjust().Memo()->toPlainText().contains("Nothing was written back."));

        answer = true;
        QVERIFY(record->Select(ServiceRecordWindow::kOperationRow, id));
        record->UndoClick();
        QVERIFY2(windows_->Adjust().Memo()->toPlainText().contains("were written back"),
                 qPrintable(windows_->Adjust().Memo()->toPlainText()));
        QVERIFY(Image() == original);
        // Recorded as the command line records an undo.
        const std::int64_t undo = LastOperation("undo");
        QVERIFY(undo > 0);
        QCOMPARE(journal::Journal().CurrentStore()->Operation(undo)->arguments, std::to_string(id));
    }

    // A backup the journal keeps goes back onto the connected printer.
    void restoresAKeptBackup() {
        QCOMPARE(RunCli({{"backup"}}), cli::kExitOk);
        const vp::Eeprom::Bytes backedUp = Image();
        printer_->WriteEeprom(0x5C, 0x11);  // a PW sensor value, one of the copied bytes
        ServiceRecordWindow* record = windows_->Boot().ServiceRecord();
        const auto backups = journal::Journal().CurrentStore()->Backups("RECORDSER1");
        QCOMPARE(backups.size(), std::size_t(1));
        PressOk();
        QVERIFY(record->Select(ServiceRecordWindow::kBackupRow, backups[0].id));
        record->SetConfirm([](const QString&, const QString&) { return true; });
        record->RestoreClick();
        for (std::uint8_t a : CopyAddresses()) QCOMPARE(printer_->ReadEeprom(a), backedUp[a]);
    }

    // The report of the selected session as HTML and as PDF.
    void savesAndPrintsTheReport() {
        QCOMPARE(RunCli({{"bid-read"}, {"bid-input", "VSD1Bk=5"}}), cli::kExitOk);
        ServiceRecordWindow* record = windows_->Boot().ServiceRecord();
        const auto sessions = journal::Journal().CurrentStore()->Sessions("");
        QVERIFY(record->Select(ServiceRecordWindow::kSessionRow, sessions.back().id));
        QCOMPARE(record->SelectedScope().session, sessions.back().id);
        const QString html = folder_.filePath("report.html");
        QString error;
        QVERIFY2(record->SaveReport(html, error), qPrintable(error));
        QFile file(html);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains("<td>VSD1 Black</td><td>0x60</td><td>0x03 (3)</td><td>0x05 (5)</td>"), qPrintable(text));
        // A folder that is not there: said, nothing made.
        QVERIFY(!record->SaveReport(folder_.filePath("no/such/report.html"), error));
        QVERIFY(!error.isEmpty());

        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(folder_.filePath("report.pdf"));
        record->PrintReport(printer);
        QFile pdf(folder_.filePath("report.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QVERIFY(pdf.size() > 1000);
    }

    // A refurbishment cut short while the technician works at the printer:
    // OK on the start window asks (No leaves it alone), and Yes finishes it on
    // the main window as a whole run ends: delivery setting, printer off.
    void offersToFinishAnInterruptedRefurbishment() {
        host_.cutAtPress = 1;
        QCOMPARE(RunCli({{"doa"}}), cli::kExitFailed);
        host_.cutAtPress = 0;
        QCOMPARE(printer_->State(), std::uint8_t(7));  // still at the exchange

        QString asked;
        bool answer = false;
        windows_->Boot().SetFinishQuestion([&](const QString& text) {
            asked = text;
            return answer;
        });
        PressOk();
        QTRY_VERIFY(!asked.isEmpty());
        QVERIFY2(asked.contains("during the transportation liquid exchange"), qPrintable(asked));
        QVERIFY(windows_->Adjust().isVisible());
        windows_->Adjust().close();
        QTest::qWait(50);

        asked.clear();
        answer = true;
        PressOk();
        QTRY_VERIFY(!asked.isEmpty());
        QTRY_VERIFY(!windows_->Adjust().isVisible());
        QVERIFY(!printer_->PoweredOn());
        QCOMPARE(engine_->Mech().ExchangeStepsDone(), 3);
        for (const EepWrite& w : DeliverySettingWrites(1)) QCOMPARE(printer_->ReadEeprom(w.address), w.value);
        // The journal holds the finish (the window records each stretch from
        // busy to enabled as an operation), complete: nothing is left to finish.
        journal::Store& store = *journal::Journal().CurrentStore();
        const std::int64_t finish = LastOperation("doa-finish");
        QVERIFY(finish > 0);
        bool delivered = false;
        for (const auto& op : store.Operations(store.Operation(finish)->sessionId))
            delivered =
                delivered || (op.id >= finish && journal::IsRefurbishment(op) &&
                              std::count(op.memo.begin(), op.memo.end(), std::string(journal::kStageDeliverySetting)));
        QVERIFY(delivered);
        QVERIFY(!journal::FindInterruptedRefurbishment(store, journal::BenchName(), 1, 1028));
    }

    // The window's own refurbishment cut short while the technician works at
    // the printer: the next connection of svcadjust-cli names it.
    void aWindowRefurbishmentCutShortIsNamedToo() {
        PressOk();
        QVERIFY(windows_->Adjust().isVisible());
        windows_->Adjust().Tabs()->setCurrentIndex(1);
        windows_->Adjust().DisableTimerTimer();
        windows_->Adjust().RadioGroupOf(Group::Maintenance)->Item(kRefurbishmentItem)->click();
        host_.cutAtPress = 2;
        windows_->Adjust().DisableTimerTimer();
        windows_->Adjust().findChild<QAbstractButton*>("ExchangeSequence1Pnl")->click();
        host_.cutAtPress = 0;
        windows_->Adjust().close();
        QTest::qWait(50);
        std::string err;
        RunCli({}, &err);
        QVERIFY2(err.find("doa-finish' finishes it.") != std::string::npos, err.c_str());
        QVERIFY2(err.find("during the transportation liquid exchange") != std::string::npos, err.c_str());
    }
};

QTEST_MAIN(ServiceRecordTest)
#include "ServiceRecord_test.moc"
