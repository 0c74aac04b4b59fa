// Builds the program's windows against a virtual printer in the same process,
// drives them as a technician would and saves a picture of each window:
//   shotdriver [folder]     (default docs/screenshots)
// Runs on any Qt platform, the offscreen one included; tools/screenshots.sh
// runs it under a virtual X server when there is one.
#include "journal/Recorder.h"
#include "journal/SqlStore.h"
#include "i18n/Translate.h"
#include "link/Host.h"
#include "ui/GuiHost.h"
#include "ui/ProgramWindows.h"
#include "ui/RadioGroup.h"
#include "ui/ServiceRecordWindow.h"
#include "ui/VexFormAbout.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"
#include "ui/VexFormQuit.h"
#include "ui/howto/HowToWindows.h"
#include "vprinter/DirectTransport.h"
#include "vprinter/Printer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMenu>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include "ui/TabControl.h"
#include <QTextStream>
#include <QTimer>

using namespace svc::ui;

namespace {

int failures = 0;

void Settle() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

void Save(QWidget& window, const QString& folder, const QString& name) {
    Settle();
    const QString file = folder + "/" + name + ".png";
    if (!window.grab().save(file)) {
        QTextStream(stderr) << "Cannot write " << file << "\n";
        ++failures;
    } else {
        QTextStream(stdout) << file << "\n";
    }
}

// The EEPROM and identity panels, each after a typical operation.
void SaveEepromPanels(TFormAdjust& adjust, const QString& folder) {
    const auto pick = [&adjust](int tab, Group group, int item) {
        adjust.Tabs()->setCurrentIndex(tab);
        adjust.DisableTimerTimer();
        adjust.RadioGroupOf(group)->Item(item)->click();
    };
    const auto click = [&adjust](const char* name) {
        adjust.DisableTimerTimer();
        if (auto* button = adjust.findChild<QAbstractButton*>(name)) button->click();
        adjust.DisableTimerTimer();
    };
    pick(0, Group::Adjustment, 0);
    click("DestCheckBtn");
    Save(adjust, folder, "eeprom-market");
    pick(0, Group::Adjustment, 1);
    adjust.SetText("HeadIDInputEdit", "1A0B17F22KLMNPQR34567801P");
    click("HeadIDInputOKBtn");
    Save(adjust, folder, "eeprom-headid");
    click("HeadCheckPrintShowBtn");
    Save(adjust, folder, "eeprom-headcheck");
    pick(0, Group::Adjustment, 10);
    adjust.SetText("USBIDInputEdit", "AB12345678");
    click("USBIDInputOKBtn");
    Save(adjust, folder, "eeprom-usbid");
    pick(0, Group::Adjustment, 11);
    adjust.SetText("IEEE1394IDInputEdit", "00000712AB");
    click("IEEE1394IDInputOKBtn");
    Save(adjust, folder, "eeprom-ieee1394");
    pick(1, Group::Maintenance, 3);
    click("ProCounterCheckBtn");
    Save(adjust, folder, "eeprom-wasteink");
    pick(1, Group::Maintenance, 4);
    Save(adjust, folder, "eeprom-copy");
    pick(3, Group::Appendix, 0);
    adjust.SetText("EepromCheckBeginEdit", "00");
    adjust.SetText("EepromCheckEndEdit", "FF");
    click("EepromCheckOKBtn");
    Save(adjust, folder, "eeprom-viewer");
    pick(3, Group::Appendix, 1);
    Save(adjust, folder, "eeprom-printerinfo");
    click("PrinterInfoReadOutOKBtn");
    Save(adjust, folder, "eeprom-printerinfo2");
}

// The adjustment, check-print and service panels as the technician first sees them.
void SaveFeaturePanels(TFormAdjust& adjust, const QString& folder) {
    struct Shot {
        int tab;
        Group group;
        int item;
        const char* name;
    };
    const Shot shots[] = {
        {0, Group::Adjustment, 2, "adjust-crdispersion"}, {0, Group::Adjustment, 3, "adjust-pg"},
        {0, Group::Adjustment, 4, "adjust-headangular"},  {0, Group::Adjustment, 5, "adjust-pf"},
        {0, Group::Adjustment, 6, "adjust-pwsensor"},     {0, Group::Adjustment, 7, "adjust-bid"},
        {0, Group::Adjustment, 8, "adjust-pixelshift"},   {0, Group::Adjustment, 9, "adjust-cutposition"},
        {0, Group::Adjustment, 12, "adjust-firstdot"},    {1, Group::Maintenance, 0, "service-cleaning"},
        {1, Group::Maintenance, 1, "service-inkcharge"},  {1, Group::Maintenance, 2, "service-doa"},
        {2, Group::CheckPattern, 0, "check-a3"},          {2, Group::CheckPattern, 1, "check-a4"},
        {2, Group::CheckPattern, 2, "check-nozzle"},
    };
    for (const Shot& shot : shots) {
        adjust.Tabs()->setCurrentIndex(shot.tab);
        adjust.DisableTimerTimer();
        adjust.RadioGroupOf(shot.group)->Item(shot.item)->click();
        Save(adjust, folder, shot.name);
    }
    // A panel with a page to read: its right-click menu, as the panel's own
    // actions make it (read, paste and, with SANE, scan a printed page).
    adjust.Tabs()->setCurrentIndex(0);
    adjust.DisableTimerTimer();
    adjust.RadioGroupOf(Group::Adjustment)->Item(5)->click();
    if (auto* panel = adjust.findChild<QWidget*>(QStringLiteral("PFAdjustmentPnl"))) {
        QMenu menu;
        menu.addActions(panel->actions());
        menu.adjustSize();
        Save(menu, folder, "adjust-pf-menu");
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The windows in the user's language, as the program shows them
    // (LANGUAGE=de draws them in German; the C locale as written).
    svc::InitTranslations();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    if (!QDir().mkpath(folder)) {
        QTextStream(stderr) << "Cannot create the folder " << folder << "\n";
        return 1;
    }

    vp::Printer::Options options;
    options.model = 1;
    vp::Printer printer(options, vp::Eeprom::Factory(1));
    const int levels[vp::kInkCount] = {82, 64, 57, 91, 45, 38, 100};
    for (int ink = 0; ink < vp::kInkCount; ++ink) printer.SetInkLevel(ink, levels[ink]);
    vp::InProcessPorts ports(printer);

    // A journal of its own, on a fixed clock, for the service record's picture.
    QTemporaryDir journalFolder;
    svc::journal::Journal().Install(
        svc::journal::OpenSqlite(journalFolder.filePath(QStringLiteral("journal.sqlite")).toStdString()),
        [](const std::string& warning) { QTextStream(stderr) << warning.c_str() << "\n"; });
    svc::journal::Journal().SetClock([] { return std::string("2026-12-08 09:30:00"); });

    GuiHost host;
    svc::SetHost(&host);
    CreateProgramObjects();
    QApplication::setApplicationName("Adjustment program");
    QApplication::setQuitOnLastWindowClosed(false);
    ProgramWindows windows;
    host.SetMainWindow(&windows.Adjust());

    TFormBoot& boot = windows.Boot();
    boot.show();
    boot.findChild<QComboBox*>("ModelNameCombo")->setCurrentIndex(0);
    emit boot.findChild<QComboBox*>("ModelNameCombo")->activated(0);
    boot.findChild<QComboBox*>("PortSelectCombo")->setCurrentIndex(0);
    Save(boot, folder, "start");

    windows.About().show();
    Save(windows.About(), folder, "version");
    windows.About().hide();

    boot.OKBtnClick();
    TFormAdjust& adjust = windows.Adjust();
    const char* const tabNames[kGroupCount] = {"adjustment", "maintenance", "checkpattern", "appendix"};
    for (int tab = 0; tab < kGroupCount; ++tab) {
        adjust.Tabs()->setCurrentIndex(tab);
        adjust.GetStatusBtnClick();
        Save(adjust, folder, QString("main-%1").arg(tabNames[tab]));
    }
    // How the frame reads with an error in the memo and a filled side panel.
    adjust.Tabs()->setCurrentIndex(0);
    adjust.RadioGroupOf(Group::Adjustment)->Item(7)->setChecked(true);
    for (const char* cell : {"BidVSD1BkPnl", "BidVSD2BkPnl", "BidVSD2DBkPnl", "BidVSD4BkPnl"})
        adjust.SetAdjustedCell(cell, "2");
    for (const char* cell : {"BidVSD1CLPnl", "BidVSD2CLPnl", "BidVSD2DCLPnl", "BidVSD4CLPnl"})
        adjust.SetAdjustedCell(cell, "-1");
    adjust.SetAdjustedCell("HeadIDPnl", "A2B4C6D8E0F\n2H4J6K8L0M2N");
    adjust.SetAdjustedCell("PFAdjustPnl", "3");
    adjust.SetAdjustedCell("WasteInkPadCounterPnl", "1234");
    printer.InjectError(4);
    adjust.GetStatusBtnClick();
    Save(adjust, folder, "main-error");
    printer.ClearError();
    adjust.GetStatusBtnClick();
    SaveEepromPanels(adjust, folder);
    SaveFeaturePanels(adjust, folder);

    adjust.close();
    Save(windows.Quit(), folder, "quit");

    // The how-to windows, opened the way the panels open them.
    const char* const howToNames[kHowToCount] = {"hdang",  "pf", "pixelshift", "bid",  "pw",
                                                 "cutpos", "pg", "checka4",    "clean"};
    for (int i = 0; i < kHowToCount; ++i) {
        windows.HowTo().Show(HowTo(i));
        Save(*windows.HowTo().Window(HowTo(i)), folder, QString("howto-%1").arg(howToNames[i]));
    }
    // The service record of the session above, an operation chosen.
    ServiceRecordWindow* record = boot.ServiceRecord();
    record->show();
    if (auto* tree = record->findChild<QTreeWidget*>("RecordTree")) {
        // An operation that wrote a few bytes, opened.
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            if ((*it)->text(0).startsWith(QStringLiteral("Operation")) && (*it)->childCount() > 0 &&
                (*it)->childCount() <= 12) {
                tree->setCurrentItem(*it);
                (*it)->setExpanded(true);
                tree->scrollToItem(*it);
                break;
            }
    }
    Save(*record, folder, "service-record");
    record->close();

    windows.Quit().QuitBtnClick();
    svc::journal::Journal().Uninstall();
    svc::SetHost(nullptr);
    return failures == 0 ? 0 : 1;
}
