// The EEPROM and identity buttons from the window and from svcadjust-cli put
// the same bytes on the wire, on fresh in-process virtual printers.
#include "eeprom/VexEeprom.h"
#include "eeprom/VexEepromCopy.h"
#include "eeprom/VexUsbId.h"
#include "ui/RadioGroup.h"
#include "ui/VexFormAdjust.h"
#include "integration/testing/Twin.h"
#include "vprinter/Printer.h"

#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

#include <filesystem>
#include <unistd.h>

using namespace svc;

namespace {

constexpr const char* kHeadId = "1A0B17F22KLMNPQR34567801P";

// The same bytes both ways; `cliStatus` is the exit status the command line must give.
bool SameOnTheWire(const twin::Setup& setup, const std::function<void(ui::TFormAdjust&)>& gui,
                   const std::vector<std::string>& cli, int cliStatus = 0, twin::Run* guiRun = nullptr,
                   twin::Run* cliRun = nullptr) {
    const twin::Run g = twin::RunGui(setup, gui);
    const twin::Run c = twin::RunCli(setup, cli);
    if (guiRun) *guiRun = g;
    if (cliRun) *cliRun = c;
    if (c.status != cliStatus) {
        qWarning("exit status %d, expected %d; printed:\n%s", c.status, cliStatus, c.memo.c_str());
        return false;
    }
    const std::string gd = twin::Describe(g.packets), cd = twin::Describe(c.packets);
    if (gd != cd) {
        qWarning("window:\n%s\ncommand line:\n%s", gd.c_str(), cd.c_str());
        return false;
    }
    return true;
}

// Picks a radio item as a click on it does: the item is selected, then the group's handler runs.
// (twin::Pick raises the group's signal without selecting the item.)
void Pick(ui::TFormAdjust& w, Group group, int item) {
    w.DisableTimerTimer();
    w.RadioGroupOf(group)->Item(item)->click();
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every byte different, signatures in place.
void Pattern(vp::Printer& p) {
    for (int a = 0; a < 256; ++a) p.WriteEeprom(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(a * 7 + 3));
    for (const EepWrite& s : kSignatureBytes) p.WriteEeprom(s.address, s.value);
}

}  // namespace

class EepromTwinTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        folder_ = std::filesystem::temp_directory_path() / ("svc-eeptwin-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder_);
        EepromCopy().SetBackupPath((folder_ / "Adjustment Program" / "QX-900" / "bkupdata.eep").string());
        UsbId().SetClock([] { return LocalDateTime{2010, 1, 5, 9, 5, 7}; });
    }
    void cleanupTestCase() {
        EepromCopy().SetBackupPath("");
        UsbId().SetClock(nullptr);
        std::filesystem::remove_all(folder_);
    }

    void marketSetting_data() {
        QTest::addColumn<int>("model");
        QTest::newRow("4100") << 1;
        QTest::newRow("4200") << 2;
    }
    void marketSetting() {
        QFETCH(int, model);
        twin::Setup setup;
        setup.model = model;
        twin::Run gui;
        QVERIFY(SameOnTheWire(
            setup,
            [](ui::TFormAdjust& w) {
                Pick(w, Group::Adjustment, 0);
                twin::Click(w, "DefaultSetOKBtn");
                twin::Click(w, "DestCheckBtn");
            },
            {"market-ok", "market-check"}, 0, &gui));
        QVERIFY(Has(gui.memo, model == 1 ? "world standard." : "TRN/VLK."));
        QCOMPARE(gui.boxes.size(), std::size_t(1));
    }

    void headId() {
        const twin::Setup setup;
        twin::Run gui, cli;
        QVERIFY(SameOnTheWire(
            setup,
            [](ui::TFormAdjust& w) {
                Pick(w, Group::Adjustment, 1);
                QVERIFY(w.findChild<QWidget*>("HeadIDInputPnl")->isVisible());
                twin::Type(w, "HeadIDInputEdit", "1a0b17f22klmnpqr34567801p");  // the field turns it upper case
                twin::Click(w, "HeadIDInputOKBtn");
                QCOMPARE(w.AdjustedCell("HeadIDPnl"), std::string("1A0B17F22KLMN PQR34567801P"));
                twin::Click(w, "HeadIDReadBtn");
            },
            {"head-id-input", kHeadId, "head-id-read"}, 0, &gui, &cli));
        QVERIFY(Has(gui.memo, std::string("Head ID = ") + kHeadId));
        QVERIFY(Has(cli.memo, std::string("Head ID = ") + kHeadId));
    }

    void refusedHeadIdCostsOneStatusInquiry() {
        const twin::Setup setup;
        twin::Run gui;
        QVERIFY(SameOnTheWire(
            setup,
            [](ui::TFormAdjust& w) {
                Pick(w, Group::Adjustment, 1);
                twin::Type(w, "HeadIDInputEdit", "1A0B17F22KLMNPQI34567801P");
                twin::Click(w, "HeadIDInputOKBtn");
            },
            {"head-id-input", "1A0B17F22KLMNPQI34567801P"}, 1, &gui));
        QVERIFY(Has(gui.memo, "16th digit is wrong."));
    }

    void headCheckPrintPage() {
        const twin::Setup setup;
        QVERIFY(SameOnTheWire(setup,
                              [](ui::TFormAdjust& w) {
                                  Pick(w, Group::Adjustment, 1);
                                  twin::Click(w, "HeadCheckPrintShowBtn");
                                  twin::Click(w, "HeadCheckPrintBtn");
                                  twin::Click(w, "HeadIDInputShowBtn");
                              },
                              {"head-check-print"}));  // the check prints hand in the head check pattern
    }

    void usbId() {
        const twin::Setup setup;
        twin::Run gui;
        QVERIFY(SameOnTheWire(
            setup,
            [](ui::TFormAdjust& w) {
                Pick(w, Group::Adjustment, 10);
                twin::Type(w, "USBIDInputEdit", "ab12345678");
                twin::Click(w, "USBIDInputOKBtn");
                QCOMPARE(w.AdjustedCell("UsbIDPnl"), std::string("AB12345678B1595700"));
                twin::Click(w, "USBIDReadOutBtn");
            },
            {"usb-id-input", "ab12345678", "usb-id-read"}, 0, &gui));
        QVERIFY(Has(gui.memo, "USB ID = AB12345678B1595700"));
    }

    void ieee1394Id() {
        const twin::Setup setup;
        twin::Run gui;
        QVERIFY(SameOnTheWire(
            setup,
            [](ui::TFormAdjust& w) {
                Pick(w, Group::Adjustment, 11);
                twin::Type(w, "IEEE1394IDInputEdit", "00000712ab");
                twin::Click(w, "IEEE1394IDInputOKBtn");
                twin::Click(w, "IEEE1394IDReadBtn");
            },
            {"ieee1394-id-input", "00000712ab", "ieee1394-id-read"}, 0, &gui));
        QVERIFY(Has(gui.memo, "IEEE1394 ID = 00000712AB"));
    }

    void backupAndRestore() {
        twin::Setup setup;
        setup.prepare = Pattern;
        QVERIFY(SameOnTheWire(setup,
                              [](ui::TFormAdjust& w) {
                                  Pick(w, Group::Maintenance, 4);
                                  twin::Click(w, "EepDataCopyBackUpStartPnl");
                                  QVERIFY(
                                      Has(w.Memo()->toPlainText().toStdString(), "The EEPROM data has read properly."));
                                  twin::Click(w, "EepDataCopyLoadStartPnl");
                              },
                              {"backup", "restore"}));
    }

    // The old board's data goes to the file and from there onto a new board.
    void boardExchangeOnTheVirtualPrinter() {
        vp::Eeprom::Bytes old{};
        twin::Setup oldBoard;
        oldBoard.prepare = Pattern;
        oldBoard.inspect = [&old](vp::Printer& p) { old = p.eeprom().bytes(); };
        QCOMPARE(twin::RunCli(oldBoard, {"backup"}).status, 0);

        vp::Eeprom::Bytes fresh{};
        twin::Setup newBoard;
        newBoard.prepare = [](vp::Printer& p) {
            for (int a = 0; a < 256; ++a)
                p.WriteEeprom(static_cast<std::uint8_t>(a), vp::Eeprom::NewBoard().Get(static_cast<std::uint8_t>(a)));
        };
        newBoard.inspect = [&fresh](vp::Printer& p) { fresh = p.eeprom().bytes(); };
        const twin::Run restore = twin::RunCli(newBoard, {"restore", "market-check"});
        QCOMPARE(restore.status, 1);  // the restored destination bytes read as wrong until OK
        QVERIFY(Has(restore.memo, "The present market destination setting value is wrong."));
        for (eep::Address a : CopyAddresses()) QCOMPARE(int(fresh[a]), int(old[a]));
        QCOMPARE(int(fresh[0x48]), 0x00);
        QCOMPARE(int(fresh[0x49]), 0x01);
        QCOMPARE(int(fresh[0xA7]), 0x18);
        QCOMPARE(int(fresh[0xE0]), 0x01);
        QCOMPARE(int(fresh[0x6C]), 0);  // not copied
        QVERIFY(!std::filesystem::exists(EepromCopy().BackupPath()));
    }

    void eepromViewer() {
        twin::Setup setup;
        setup.prepare = Pattern;
        QVERIFY(SameOnTheWire(setup,
                              [](ui::TFormAdjust& w) {
                                  Pick(w, Group::Appendix, 0);
                                  QVERIFY(!w.AdjustedItems()->isVisible());
                                  twin::Type(w, "EepromCheckBeginEdit", "00");
                                  twin::Type(w, "EepromCheckEndEdit", "ff");
                                  twin::Click(w, "EepromCheckOKBtn");
                                  QCOMPARE(w.CellText("EepromStrGrid", 1, 1), std::string("5A"));
                                  QCOMPARE(w.CellText("EepromStrGrid", 16, 0), std::string("F"));
                                  twin::Type(w, "EepromInputAddrEdit", "7f");
                                  twin::Type(w, "EepromInputDataEdit", "5a");
                                  twin::Click(w, "EepromInputOKBtn");
                                  QCOMPARE(w.CellText("EepromStrGrid", 16, 8), std::string("5A"));
                                  // Each cell shows its own text: "5A" at 00 and at 7F alike,
                                  // "0F" at 01 otherwise, and the heading "0" in its own font.
                                  auto* grid = w.findChild<QTableWidget*>("EepromStrGrid");
                                  const QImage shot = grid->viewport()->grab().toImage();
                                  auto cell = [&](int column, int row) {
                                      return shot.copy(grid->visualItemRect(grid->item(row, column)));
                                  };
                                  QCOMPARE(cell(1, 1), cell(16, 8));
                                  QVERIFY(cell(1, 1) != cell(2, 1));
                                  QVERIFY(cell(1, 0) != cell(1, 1));
                                  QCOMPARE(w.CellText("EepromStrGrid", 1, 0), std::string("0"));
                              },
                              {"eeprom-view", "00", "FF", "eeprom-poke", "7F", "5A"}));
    }

    void printerInformation() {
        twin::Setup setup;
        setup.prepare = [](vp::Printer& p) {
            for (int a = 0x78; a <= 0x7B; ++a) p.WriteEeprom(static_cast<std::uint8_t>(a), 0xFF);
        };
        twin::Run gui;
        QVERIFY(SameOnTheWire(
            setup,
            [](ui::TFormAdjust& w) {
                Pick(w, Group::Appendix, 1);
                twin::Click(w, "PrinterInfoReadOutOKBtn");
                QCOMPARE(w.Memo()->geometry().top(), 145);
                QCOMPARE(w.Memo()->geometry().height(), 316);
                twin::Click(w, "PrinterInfoReadOut2PreviousBtn");
                QCOMPARE(w.Memo()->geometry().top(), ui::TFormAdjust::kBottomCentreRegion.top());
                twin::Click(w, "PrinterInfoReadOutOKBtn");
            },
            {"printer-info", "printer-info"}, 0, &gui));
        QVERIFY(Has(gui.memo, "    Total print page\t\t= 4294967295"));
    }

    void wasteInkCounter() {
        twin::Setup setup;
        setup.prepare = [](vp::Printer& p) {
            p.WriteEeprom(0x20, 0x40);
            p.WriteEeprom(0x21, 0x9C);
        };
        twin::Run gui;
        QVERIFY(SameOnTheWire(
            setup,
            [](ui::TFormAdjust& w) {
                Pick(w, Group::Maintenance, 3);
                twin::Click(w, "ProCounterCheckBtn");
                QVERIFY(Has(w.Memo()->toPlainText().toStdString(), "Waste Ink Pad counter value = 40000"));
                twin::Click(w, "ProCounterClearBtn");
                QCOMPARE(w.AdjustedCell("WasteInkPadCounterPnl"), std::string("0"));
            },
            {"waste-ink-read", "waste-ink-reset"}, 0, &gui));
    }

private:
    std::filesystem::path folder_;
};

QTEST_MAIN(EepromTwinTest)
#include "EepromTwin_test.moc"
