// The windows driven as the technician drives them, against the recording
// fake of the outside libraries; message boxes and sleeps go to a scripted host.
#include "link/Features.h"
#include "link/StatusReport.h"
#include "link/VexStatusControl.h"
#include "link/testing/FakeOutside.h"
#include "link/ErrorDetails.h"
#include "ui/FeaturePanel.h"
#include "ui/GuiHost.h"
#include "ui/ProgramWindows.h"
#include "ui/RadioGroup.h"
#include "ui/VexFormAbout.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"
#include "ui/VexFormQuit.h"
#include "ui/howto/HowToWindows.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include "ui/TabControl.h"
#include <QTest>
#include <QTimer>

#include <memory>

using namespace svc;
using namespace svc::ui;
using fake::Fake;
using fake::Fn;
using fake::MakeStatus;

namespace {

// A feature panel that counts how often it was chosen.
class CountingPanel : public FeaturePanel {
public:
    void OnChosen() override { ++chosen; }
    int chosen = 0;
};

std::vector<Fn> CalledFunctions() {
    std::vector<Fn> order;
    for (const auto& call : Fake().Calls()) order.push_back(call.fn);
    return order;
}

const char* const kCableBox =
    "Communication error occurred.\nPlease confirm the power for printer and I/F cable connection.";

}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<fake::ScriptedHost> host_;
    std::unique_ptr<ProgramWindows> windows_;

    TFormBoot& Boot() { return windows_->Boot(); }
    TFormAdjust& Adjust() { return windows_->Adjust(); }
    QComboBox* Combo(const char* name) { return Boot().findChild<QComboBox*>(name); }
    QString MemoText() { return Adjust().Memo()->toPlainText(); }
    QStringList Items(QComboBox* combo) {
        QStringList items;
        for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
        return items;
    }
    // Picks model and port on the start window and presses OK.
    void PressOk(int model, int port) {
        Combo("ModelNameCombo")->setCurrentIndex(model);
        Combo("PortSelectCombo")->setCurrentIndex(port);
        Boot().OKBtnClick();
    }
    void Connect() {
        Boot().show();
        PressOk(0, 0);
        QVERIFY(Adjust().isVisible());
        Fake().ClearCalls();
    }

private slots:
    void init() {
        Fake().Reset();
        Status().Clear();
        host_ = std::make_unique<fake::ScriptedHost>();
        windows_ = std::make_unique<ProgramWindows>();
    }
    void cleanup() {
        windows_.reset();
        host_.reset();
        ShowNormalCursor();
    }

    // ---- start window ----

    void startWindowIsTheOnlyOneShown() {
        Boot().show();
        QCOMPARE(Boot().windowTitle(), QString(" KORVA printer adjustment program"));
        QCOMPARE(Boot().size(), QSize(562, 334));
        QCOMPARE(Adjust().windowTitle(), QString("Adjustment program"));
        QCOMPARE(Adjust().size(), QSize(846, 464));
        QCOMPARE(windows_->Quit().windowTitle(), QString(" Adjustment program"));
        QCOMPARE(windows_->Quit().size(), QSize(269, 110));
        QCOMPARE(Items(Combo("ModelNameCombo")), QStringList({"Corvid Lumen 4100", "Corvid Lumen 4200"}));
        QCOMPARE(Items(Combo("DestinationCombo")), QStringList({"Standard", "TRN/VLK"}));
        QVERIFY(!Combo("DestinationCombo")->isEnabled());
        QVERIFY(!Adjust().isVisible());
        QVERIFY(!windows_->Quit().isVisible());
        for (int i = 0; i < kHowToCount; ++i) QVERIFY(!windows_->HowTo().Window(HowTo(i))->isVisible());
        QCOMPARE(Adjust().ModelName()->text(), QString("QX-900"));
    }

    void windowsShowTheirTextsExactly() {
        auto text = [](QWidget& window, const char* name) {
            auto* label = window.findChild<QLabel*>(name);
            return label ? label->text() : QString("<no %1>").arg(name);
        };
        auto button = [](QWidget& window, const char* name) {
            auto* b = window.findChild<QPushButton*>(name);
            return b ? b->text() : QString("<no %1>").arg(name);
        };
        // Start window.
        QCOMPARE(text(Boot(), "TitleLbl"), QString("KORVA printer adjustment program"));
        QCOMPARE(text(Boot(), "SystemLbl"), QString("for Windows95 / 98 / Me"));
        QCOMPARE(text(Boot(), "ModelLbl"), QString("Model Name"));
        QCOMPARE(text(Boot(), "PortSelectLbl"), QString("Port selection"));
        QCOMPARE(text(Boot(), "DestinationLbl"), QString("Destination"));
        QCOMPARE(text(Boot(), "NoteLbl"), QString("When you replaced a main board, this program cannot run by USB "
                                                  "cable. Please use a parallel cable."));
        QCOMPARE(button(Boot(), "OKBtn"), QString("OK"));
        QCOMPARE(button(Boot(), "QuitBtn"), QString("Quit"));
        QCOMPARE(Boot().palette().color(QPalette::Window), QColor(158, 248, 176));
        QCOMPARE(Combo("PortSelectCombo")->maxVisibleItems(), 6);

        // Main window: tabs, group titles and items in their order.
        TabControl* tabs = Adjust().Tabs();
        QCOMPARE(tabs->objectName(), QString("AdjustmentTab"));
        QStringList captions;
        for (int i = 0; i < tabs->count(); ++i) captions << tabs->TabText(i);
        QCOMPARE(captions, QStringList({"Adjustment", "Maintenance", "Check pattern", "Appendix"}));
        const std::pair<const char*, QStringList> groups[kGroupCount] = {
            {"Adjustment",
             {"Market setting", "Head ID", "CR motor drive dispersion", "PG adjustment", "Head angular adjustment",
              "PF adjustment", "PW sensor adjustment", "Bi-D adjustment", "Pixel shift adjustment",
              "Cut position adjustment", "USB ID", "IEEE1394 ID", "First dot position adjustment"}},
            {"Maintenance",
             {"Head cleaning", "Ink charge", "Refurbishment for DOA", "Waste Ink Pad counter", "EEPROM data copy"}},
            {"Check pattern items", {"A3+ quality paper print", "A4 normal paper print", "Nozzle check pattern print"}},
            {"Appendix items", {"EEPROM data", "Printer information"}},
        };
        const char* const groupNames[kGroupCount] = {"AdjustRdoGrp", "MaintenanceRdoGrp", "CheckPatternRdoGrp",
                                                     "AppendixRdoGrp"};
        for (int g = 0; g < kGroupCount; ++g) {
            RadioGroup* group = Adjust().RadioGroupOf(Group(g));
            QCOMPARE(group->objectName(), QString(groupNames[g]));
            QCOMPARE(group->title(), QString(groups[g].first));
            QStringList items;
            for (int i = 0; i < group->Count(); ++i) items << group->Item(i)->text();
            QCOMPARE(items, groups[g].second);
        }
        QCOMPARE(Adjust().GetStatusButton()->text(), QString("Get Status"));
        QCOMPARE(Adjust().QuitButton()->text(), QString("Quit"));
        QCOMPARE(Adjust().palette().color(QPalette::Window), QColor(182, 220, 208));

        // The status memo: read-only, no tab stop, its own background.
        QPlainTextEdit* memo = Adjust().Memo();
        QCOMPARE(memo->objectName(), QString("StatusMemo"));
        QVERIFY(memo->isReadOnly());
        QCOMPARE(memo->focusPolicy(), Qt::NoFocus);
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(memo->palette().color(QPalette::Base), QColor(198, 210, 253));
        QCOMPARE(memo->geometry(), TFormAdjust::kBottomCentreRegion);

        // "Adjusted items": title, headings and cell captions; the cells start empty.
        QStringList shown;
        for (QLabel* label : Adjust().AdjustedItems()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
            if (!label->text().isEmpty()) shown << label->text();
        QStringList expected = {"Adjusted items",
                                "Head ID",
                                "PF adjustment",
                                "PW sensor adjustment",
                                "Top",
                                "Bottom",
                                "Left",
                                "Right",
                                "Bi-D",
                                "Black",
                                "Color",
                                "VSD1",
                                "VSD2",
                                "VSD2'",
                                "VSD4",
                                "Pixel shift adjustment",
                                "A",
                                "B",
                                "C",
                                "D",
                                "E",
                                "F",
                                "USB ID",
                                "IEEE1394 ID",
                                "Waste Ink Pad Counter"};
        shown.sort();
        expected.sort();
        QCOMPARE(shown, expected);

        // Quit window.
        TFormQuit& quit = windows_->Quit();
        QCOMPARE(text(quit, "QuestionLbl"), QString("Do you continue?"));
        QCOMPARE(button(quit, "ContinueBtn"), QString("Continue"));
        QCOMPARE(button(quit, "QuitBtn"), QString("Quit"));
        QVERIFY(!quit.windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(quit.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));

        // Version window.
        TAboutBox& about = windows_->About();
        QCOMPARE(text(about, "ProductNameLbl"), QString("Corvid Lumen 4100/4200 adjustment program"));
        QCOMPARE(text(about, "SystemLbl"), QString("for Windows 95/98/Me"));
        QCOMPARE(text(about, "VersionLbl"), QString("Version 1.0"));
        QCOMPARE(button(about, "OKBtn"), QString("OK"));
    }

    void rightButtonReleaseOpensTheVersionMenu() {
        Boot().show();
        Boot().move(100, 50);
        QTest::mouseRelease(&Boot(), Qt::RightButton, Qt::NoModifier, QPoint(30, 40));
        QMenu* menu = Boot().PopupMenu();
        QVERIFY(menu->isVisible());
        QCOMPARE(menu->pos(), Boot().pos() + QPoint(33, 60));
        menu->hide();
        // The left button opens nothing.
        QTest::mouseRelease(&Boot(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
        QVERIFY(!menu->isVisible());
    }

    void connectionSucceeds() {
        Boot().show();
        PressOk(1, 4);
        QCOMPARE(CalledFunctions(), (std::vector<Fn>{Fn::GetOsVersion, Fn::SetD4CommandRCode, Fn::PortCloseByOsSw,
                                                     Fn::PortOpenByOsSw, Fn::GetDeviceIDByOsSw, Fn::D4Negotiation,
                                                     // the main window's Get Status
                                                     Fn::PortCloseByOsSw, Fn::PortOpenByOsSw, Fn::GetDeviceIDByOsSw,
                                                     Fn::D4Negotiation, Fn::InquireStatus}));
        const auto rcode = Fake().CallsTo(Fn::SetD4CommandRCode)[0];
        QCOMPARE(rcode.a, 6u);
        QCOMPARE(rcode.b, 22u);
        QCOMPARE(Fake().CallsTo(Fn::PortOpenByOsSw)[0].a, 1026u);
        QCOMPARE(Boot().ModelCode(), std::uint8_t(2));
        QCOMPARE(Boot().PortCode(), std::uint16_t(1026));
        QVERIFY(!Boot().isVisible());
        QVERIFY(Adjust().isVisible());
        QCOMPARE(Adjust().ModelName()->text(), QString("Corvid Lumen 4200"));
        QVERIFY(MemoText().startsWith("Printer is ready.\nInk remaining amount;\n Black: 100%"));
        QVERIFY(!HourglassShown());
        QVERIFY(host_->Boxes().empty());
    }

    void connectionFailureBoxes_data() {
        QTest::addColumn<int>("fn");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("text");
        QTest::newRow("port open") << int(Fn::PortOpenByOsSw) << 0x1000 << QString(kCableBox);
        QTest::newRow("device ID") << int(Fn::GetDeviceIDByOsSw) << 0x1000 << QString(kCableBox);
        QTest::newRow("device ID 0") << int(Fn::GetDeviceIDByOsSw) << 0 << QString(kCableBox);
        QTest::newRow("negotiation") << int(Fn::D4Negotiation) << 0x2000 << QString("Communication error occurred.");
    }
    void connectionFailureBoxes() {
        QFETCH(int, fn);
        QFETCH(int, result);
        QFETCH(QString, text);
        Boot().show();
        Fake().SetResult(Fn(fn), std::uint16_t(result));
        PressOk(0, 2);
        QCOMPARE(host_->Boxes().size(), std::size_t(1));
        const auto& box = host_->Boxes()[0];
        QCOMPARE(QString::fromStdString(box.text), text);
        QCOMPARE(box.caption, std::string("Error!"));
        QVERIFY(box.icon == BoxIcon::Error);
        QVERIFY(box.buttons == BoxButtons::Ok);
        // Nothing after the failed step, and the window stays as it was.
        QCOMPARE(Fake().Calls().back().fn, Fn(fn));
        QVERIFY(Boot().isVisible());
        QVERIFY(!Adjust().isVisible());
        QCOMPARE(Combo("ModelNameCombo")->currentIndex(), 0);
        QCOMPARE(Combo("PortSelectCombo")->currentIndex(), 2);
        QVERIFY(!HourglassShown());
        // OK can be pressed again, and starts over with closing the port.
        Fake().Reset();
        Fake().ClearCalls();
        Boot().OKBtnClick();
        QVERIFY(Adjust().isVisible());
        QCOMPARE(Fake().Calls()[1].fn, Fn::PortCloseByOsSw);
    }

    void deviceIdWithoutPacketProtocolPassesOnlyTheStartWindow() {
        Boot().show();
        Fake().SetResult(Fn::GetDeviceIDByOsSw, 4097);
        PressOk(0, 0);
        QVERIFY(host_->Boxes().empty());
        QVERIFY(Adjust().isVisible());
        QCOMPARE(MemoText(),
                 QString("Communication error occurred.\nCheck the I/F cable connection and power of printer."));
        QCOMPARE(Adjust().MemoTextColour(), QColor(255, 0, 0));
    }

    void okNeedsModelAndPort() {
        Boot().show();
        Fake().ClearCalls();
        PressOk(0, -1);
        PressOk(-1, 0);
        QVERIFY(Fake().Calls().empty());
        QVERIFY(host_->Boxes().empty());
        QVERIFY(Boot().isVisible());
        QVERIFY(!HourglassShown());
        QCOMPARE(Boot().ModelCode(), std::uint8_t(0));
        QCOMPARE(Boot().PortCode(), std::uint16_t(0));
    }

    void portListFollowsTheSystemFamily_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<QStringList>("ports");
        const QStringList initial = {"LPT1", "LPT2", "LPT3", "ZQUSB1"};
        const QStringList lpt = {"LPT1", "LPT2", "LPT3"};
        const QStringList all = {"LPT1", "LPT2", "LPT3", "ZQUSB1", "ZQUSB2", "ZQUSB3"};
        QTest::newRow("161") << 161 << initial;
        QTest::newRow("162") << 162 << lpt;
        QTest::newRow("163") << 163 << lpt;
        QTest::newRow("164") << 164 << all;
        QTest::newRow("165") << 165 << all;
        QTest::newRow("166") << 166 << all;
        QTest::newRow("160") << 160 << initial;
        QTest::newRow("167") << 167 << initial;
        QTest::newRow("0") << 0 << initial;
    }
    void portListFollowsTheSystemFamily() {
        QFETCH(int, version);
        QFETCH(QStringList, ports);
        Fake().SetOsVersion(std::uint8_t(version));
        Boot().show();
        QCOMPARE(Items(Combo("PortSelectCombo")), ports);
        QCOMPARE(Combo("PortSelectCombo")->currentIndex(), -1);
    }

    void portListIsRebuiltEachTimeTheWindowIsShown() {
        Fake().SetOsVersion(162);
        Boot().show();
        Boot().hide();
        Fake().SetOsVersion(161);  // leaves the list as last rebuilt
        Boot().show();
        QCOMPARE(Items(Combo("PortSelectCombo")), QStringList({"LPT1", "LPT2", "LPT3"}));
        Boot().hide();
        Fake().SetOsVersion(165);
        Boot().show();
        QCOMPARE(Combo("PortSelectCombo")->count(), 6);
    }

    void fourthPortIsTheFirstUsbPortInBothLists() {
        for (int version : {161, 164}) {
            Fake().SetOsVersion(std::uint8_t(version));
            Boot().show();
            PressOk(0, 3);
            QCOMPARE(Boot().PortCode(), std::uint16_t(1025));
            Adjust().close();
            windows_->Quit().ContinueBtnClick();
        }
    }

    void destinationFollowsTheModel() {
        Boot().show();
        QComboBox* model = Combo("ModelNameCombo");
        QComboBox* destination = Combo("DestinationCombo");
        model->setCurrentIndex(1);
        emit model->activated(1);
        QCOMPARE(destination->currentText(), QString("TRN/VLK"));
        model->setCurrentIndex(0);
        emit model->activated(0);
        QCOMPARE(destination->currentText(), QString("Standard"));
    }

    void versionMenuOpensBesideTheMouse() {
        Boot().show();
        Boot().move(100, 50);
        QCOMPARE(Boot().VersionMenuPoint(QPoint(10, 20)), Boot().pos() + QPoint(13, 40));
        QCOMPARE(Boot().PopupMenu()->actions().size(), 1);
        QCOMPARE(Boot().PopupMenu()->actions()[0]->text(), QString("Version"));
        // The version window is modal: close it as soon as it is up.
        QTimer::singleShot(0, [this] { windows_->About().OKBtnClick(); });
        Boot().PopupMenu()->actions()[0]->trigger();
        QVERIFY(!windows_->About().isVisible());
        QCOMPARE(windows_->About().windowTitle(), QString("Version"));
    }

    // ---- close, quit window, continue, quit ----

    void closeLeadsToTheQuitWindowAndContinueToAClearedStartWindow() {
        Connect();
        Adjust().close();
        QCOMPARE(CalledFunctions(), (std::vector<Fn>{Fn::D4Termination, Fn::PortCloseByOsSw}));
        QVERIFY(!Adjust().isVisible());
        QVERIFY(windows_->Quit().isVisible());
        QVERIFY(!HourglassShown());
        windows_->Quit().ContinueBtnClick();
        QVERIFY(!windows_->Quit().isVisible());
        QVERIFY(Boot().isVisible());
        QCOMPARE(Combo("ModelNameCombo")->currentIndex(), -1);
        QCOMPARE(Combo("PortSelectCombo")->currentIndex(), -1);
        QCOMPARE(Combo("DestinationCombo")->currentIndex(), -1);
        // The next connection works the same way.
        PressOk(0, 1);
        QVERIFY(Adjust().isVisible());
    }

    void quitEndsTheProgram() {
        Connect();
        QSignalSpy closed(&Boot(), &TFormBoot::Closed);
        Adjust().QuitBtnClick();
        Fake().ClearCalls();
        QPushButton* quit = windows_->Quit().findChild<QPushButton*>("QuitBtn");
        quit->click();
        QCOMPARE(closed.count(), 1);
        QCOMPARE(CalledFunctions(), std::vector<Fn>{Fn::PortCloseByOsSw});
        QVERIFY(!windows_->Quit().isVisible());
        QVERIFY(!Boot().isVisible());
    }

    void keysOfTheDefaultAndCancelButtons() {
        Boot().show();
        QVERIFY(QTest::qWaitForWindowActive(&Boot()));
        Combo("ModelNameCombo")->setCurrentIndex(0);
        Combo("PortSelectCombo")->setCurrentIndex(0);
        QTest::keyClick(&Boot(), Qt::Key_Return);
        QVERIFY(Adjust().isVisible());
        QVERIFY(QTest::qWaitForWindowActive(&Adjust()));
        QTest::keyClick(&Adjust(), Qt::Key_Escape);
        QVERIFY(windows_->Quit().isVisible());
        windows_->Quit().ContinueBtnClick();
        QVERIFY(QTest::qWaitForWindowActive(&Boot()));
        QSignalSpy closed(&Boot(), &TFormBoot::Closed);
        QTest::keyClick(&Boot(), Qt::Key_Escape);
        QCOMPARE(closed.count(), 1);
    }

    void closingTheQuitWindowOtherwiseAlsoQuits() {
        Connect();
        QSignalSpy closed(&Boot(), &TFormBoot::Closed);
        Adjust().close();
        windows_->Quit().close();
        QCOMPARE(closed.count(), 1);
    }

    void closeEmptiesTheConnectionCellsOnly() {
        Connect();
        QStringList all;
        for (const AdjustedCellInfo& cell : AdjustedCells())
            all << QString::fromUtf8(cell.name.data(), static_cast<qsizetype>(cell.name.size()));
        QCOMPARE(all.size(), 23);
        for (const QString& name : all) {
            QVERIFY2(Adjust().AdjustedCellLabel(name), qPrintable(name));
            Adjust().SetAdjustedCell(name.toStdString(), "7");
        }
        Adjust().RadioGroupOf(Group::Appendix)->SetItemIndex(1);
        Adjust().RadioGroupOf(Group::Adjustment)->SetItemIndex(3);
        Adjust().Tabs()->setCurrentIndex(3);
        Adjust().RadioGroupOf(Group::Appendix)->SetItemIndex(1);
        Adjust().close();
        const QStringList kept = {"PFAdjustPnl",      "PWSensorTopPnl", "PWSensorBottomPnl", "PWSensorLeftPnl",
                                  "PWSensorRightPnl", "ColorShiftAPnl", "ColorShiftBPnl",    "ColorShiftCPnl",
                                  "ColorShiftDPnl",   "ColorShiftEPnl", "ColorShiftFPnl",    "IEEE1394IDPnl"};
        for (const QString& name : all)
            QCOMPARE(Adjust().AdjustedCellLabel(name)->text(), kept.contains(name) ? QString("7") : QString());
        QCOMPARE(Adjust().RadioGroupOf(Group::Adjustment)->ItemIndex(), -1);
        QCOMPARE(Adjust().RadioGroupOf(Group::Appendix)->ItemIndex(), 1);
        QCOMPARE(Adjust().Tabs()->currentIndex(), 0);
        QVERIFY(Adjust().Canvas()->isVisibleTo(&Adjust()));
    }

    void closeAfterTheExchangeStartedLeavesTheChannelAloneOnce() {
        Connect();
        Adjust().SetExchangeStarted(1);
        Adjust().close();
        QVERIFY(Fake().Calls().empty());
        QCOMPARE(Adjust().ExchangeStarted(), std::uint8_t(0));
        windows_->Quit().ContinueBtnClick();
        PressOk(0, 0);
        Fake().ClearCalls();
        Adjust().close();
        QCOMPARE(CalledFunctions(), (std::vector<Fn>{Fn::D4Termination, Fn::PortCloseByOsSw}));
    }

    void busyWindowCannotBeClosed() {
        Connect();
        Adjust().SetOperationState(19, "Cleaning now...");
        Adjust().close();
        QVERIFY(Adjust().isVisible());
        QVERIFY(!windows_->Quit().isVisible());
        QVERIFY(Fake().Calls().empty());
        Adjust().SetOperationState(4, "Stopped.");
        Adjust().close();
        QVERIFY(windows_->Quit().isVisible());
    }

    void showingTheWindowPutsTheCutPositionListOnNine() {
        auto* list = Adjust().findChild<QComboBox*>("CutPosAdjustInputComboBox");
        QVERIFY2(list, "the cut position panel has no CutPosAdjustInputComboBox");
        QCOMPARE(list->count(), 17);
        list->setCurrentIndex(0);
        Connect();
        QCOMPARE(list->currentText(), QString("9"));
    }

    // ---- the GUI host ----

    void guiHostShowsBoxesAsAsked() {
        GuiHost gui;
        gui.SetMainWindow(&Adjust());
        Adjust().show();
        QString seen;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            seen = box->windowTitle() + "|" + box->text() + "|" + QString::number(box->icon());
            QCOMPARE(box->parentWidget(), &Adjust());
            box->button(QMessageBox::No)->click();
        });
        QVERIFY(gui.MessageBox(BoxOwner::MainWindow, "Do you start the cleaning?", "Confirm", BoxIcon::Question,
                               BoxButtons::YesNo) == BoxAnswer::No);
        QCOMPARE(seen, QString("Confirm|Do you start the cleaning?|%1").arg(int(QMessageBox::Question)));
    }

    void guiHostSleepKeepsTimersRunning() {
        GuiHost gui;
        bool ticked = false;
        QTimer::singleShot(0, [&] { ticked = true; });
        gui.Sleep(20);
        QVERIFY(ticked);
    }

    // ---- SetOperationState ----

    void operationStateModes_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<int>("cursor");  // 0 normal, 1 hourglass
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("timer");
        const QColor black(0, 0, 0), blue(0, 0, 255), red(255, 0, 0), green(0, 128, 0);
        // Before each call: memo "first" in green, hourglass shown, window disabled.
        QTest::newRow("1") << 1 << "text" << black << 1 << false << false;
        QTest::newRow("2") << 2 << "text" << black << 0 << false << true;
        QTest::newRow("3") << 3 << "text" << blue << 1 << false << false;
        QTest::newRow("4") << 4 << "text" << red << 0 << true << false;
        QTest::newRow("5") << 5 << "firsttext" << green << 1 << false << false;
        QTest::newRow("6") << 6 << "first\ntext" << green << 1 << false << false;
        QTest::newRow("18") << 18 << "text" << black << 0 << false << true;
        QTest::newRow("19") << 19 << "text" << blue << 1 << false << false;
        for (int m : {0, 7, 12, 17, 20, 255, -1})
            QTest::newRow(qPrintable(QString::number(m))) << m << "first" << green << 1 << false << false;
    }
    void operationStateModes() {
        QFETCH(int, mode);
        QFETCH(QString, memo);
        QFETCH(QColor, colour);
        QFETCH(int, cursor);
        QFETCH(bool, enabled);
        QFETCH(bool, timer);
        Connect();
        Adjust().DisableTimer()->stop();
        Adjust().Memo()->setPlainText("first");
        QPalette p = Adjust().Memo()->palette();
        p.setColor(QPalette::Text, QColor(0, 128, 0));
        Adjust().Memo()->setPalette(p);
        ShowHourglass();
        Adjust().setEnabled(false);

        QCOMPARE(Adjust().SetOperationState(mode, "text"), Result(1));
        QCOMPARE(MemoText(), memo);
        QCOMPARE(Adjust().MemoTextColour(), colour);
        QCOMPARE(HourglassShown(), cursor == 1);
        QCOMPARE(Adjust().isEnabled(), enabled);
        QCOMPARE(Adjust().DisableTimer()->isActive(), timer);
        if (timer) {
            QCOMPARE(Adjust().DisableTimer()->interval(), 100);
            QTRY_VERIFY_WITH_TIMEOUT(Adjust().isEnabled(), 5000);
            QVERIFY(!Adjust().DisableTimer()->isActive());
        }
    }

    void busyModeWaitsForTheReadyPrinterFirst() {
        Connect();
        Fake().QueueStatus({MakeStatus(3), MakeStatus(4)});
        QCOMPARE(Adjust().SetOperationState(3, "Printing now..."), Result(1));
        QCOMPARE(host_->Sleeps(), std::vector<int>{1000});
        QCOMPARE(MemoText(), QString("Printing now..."));
        QVERIFY(!Adjust().isEnabled());
        // A wait that fails returns its code and reports nothing.
        Fake().SetStatus(MakeStatus(0, 6));
        QCOMPARE(Adjust().SetOperationState(3, "Printing now..."), Result(0x4000));
        QCOMPARE(MemoText(), QString("Printing now..."));
    }

    void doneModeReportsAFailedWaitItself() {
        Connect();
        Adjust().SetOperationState(3, "Printing now...");
        Fake().SetStatus(MakeStatus(0, 4));
        QCOMPARE(Adjust().SetOperationState(2, "Done."), Result(0x4000));
        const QString report = "Paper jam error.\nClear the error and click the [Get Status] button.";
        QCOMPARE(MemoText(), report);
        QVERIFY(Adjust().isEnabled());
        QVERIFY(!HourglassShown());
        Adjust().ReportErrorCode(0x4000);
        QCOMPARE(MemoText(), report);
    }

    void reportErrorCodeReenablesTheFrame() {
        Connect();
        Adjust().SetOperationState(1, "kept");
        Adjust().setEnabled(false);
        Adjust().Tabs()->setEnabled(false);
        Adjust().RadioGroupOf(Group::Maintenance)->setEnabled(false);
        Adjust().QuitButton()->setEnabled(false);
        Adjust().GetStatusButton()->setEnabled(false);
        ShowHourglass();
        Adjust().ReportErrorCode(2);
        QVERIFY(Adjust().isEnabled());
        QVERIFY(Adjust().Tabs()->isEnabled());
        QVERIFY(Adjust().RadioGroupOf(Group::Maintenance)->isEnabled());
        QVERIFY(Adjust().QuitButton()->isEnabled());
        QVERIFY(Adjust().GetStatusButton()->isEnabled());
        QVERIFY(!HourglassShown());
        QCOMPARE(MemoText(), QString("kept"));
    }

    void detailReportsFocusTheNamedField() {
        Connect();
        auto* field = Adjust().findChild<QLineEdit*>("BidVSD2DCLInputEdit");
        QVERIFY2(field, "the Bi-D input page has no BidVSD2DCLInputEdit");
        Adjust().ShowPanel(std::string_view("BidInputPnl"));
        BidErrorDetail = 8;
        Adjust().ReportErrorCode(0x7000);
        QCOMPARE(Adjust().focusWidget(), field);
        QCOMPARE(MemoText(), QString("VSD2' Color value is wrong."));
        auto* pwField = Adjust().findChild<QLineEdit*>("PWSensorHMXUEdit");
        QVERIFY2(pwField, "the PW sensor panel has no PWSensorHMXUEdit");
        Adjust().ShowPanel(std::string_view("PWSensorAdjustPnl"));
        PwSensorErrorDetail = 1;
        Adjust().ReportErrorCode(0xF010);
        QCOMPARE(Adjust().focusWidget(), pwField);
        QCOMPARE(MemoText(), QString("A range of input value is -8 to 24."));
    }

    void everyFieldADetailFocusesIsAnEditOfAFeaturePanel() {
        const std::vector<std::string> fields = DetailFocusFields();
        QVERIFY(!fields.empty());
        for (const std::string& name : fields) {
            auto* edit = Adjust().findChild<QLineEdit*>(QString::fromStdString(name));
            QVERIFY2(edit, qPrintable(QString("no edit field %1 in the panels").arg(name.c_str())));
            QWidget* panel = edit->parentWidget();
            while (panel && !qobject_cast<FeaturePanel*>(panel)) panel = panel->parentWidget();
            QVERIFY2(panel && FindFeatureByPanel(panel->objectName().toStdString()),
                     qPrintable(QString("%1 is not on a feature's panel").arg(name.c_str())));
        }
    }

    // The window is built from the feature table: each radio item shows the
    // panel the table names, each page and how-to button is there, and the
    // "Adjusted items" panel has exactly the table's cells.
    void panelsAndCellsAreTheFeatureTables() {
        for (const GroupInfo& group : Groups()) {
            RadioGroup* radio = Adjust().RadioGroupOf(group.group);
            QCOMPARE(radio->objectName(), QString::fromStdString(std::string(group.radioGroup)));
            QCOMPARE(radio->Count(), static_cast<int>(ItemCaptions(group.group).size()));
        }
        auto named = [](std::string_view name) {
            return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        };
        QStringList tablePanels;
        for (const FeatureInfo& f : Features()) {
            const QString where = QString("%1 (%2)").arg(named(f.caption), named(f.panel));
            FeaturePanel* panel = Adjust().PanelOf(f.group, f.item);
            QVERIFY2(panel, qPrintable(where + ": no panel registered for the item"));
            QCOMPARE(panel->objectName(), named(f.panel));
            QCOMPARE(Adjust().RadioGroupOf(f.group)->Item(f.item)->text(), named(f.caption));
            tablePanels << named(f.panel);
            QList<QWidget*> pages = {panel};
            for (std::string_view page : f.pages) {
                auto* widget = Adjust().findChild<FeaturePanel*>(named(page));
                QVERIFY2(widget, qPrintable(where + ": no page " + named(page)));
                pages << widget;
                tablePanels << named(page);
            }
            for (std::string_view button : f.howToButtons) {
                bool found = false;
                for (QWidget* page : pages) found = found || page->findChild<QPushButton*>(named(button));
                QVERIFY2(found, qPrintable(where + ": no how-to button " + named(button)));
            }
        }
        QStringList registered;
        for (FeaturePanel* panel : Adjust().Panels()) registered << panel->objectName();
        registered.sort();
        tablePanels.sort();
        QCOMPARE(registered, tablePanels);

        QStringList cells, tableCells;
        for (QLabel* label : Adjust()
                                 .findChild<QWidget*>("AdjustedItemsPnl")
                                 ->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly))
            if (!label->objectName().isEmpty() && label->objectName() != "AdjustedItemsLbl")
                cells << label->objectName();
        for (const AdjustedCellInfo& cell : AdjustedCells()) tableCells << named(cell.name);
        QCOMPARE(cells, tableCells);
    }

    // ---- availability ----

    void availabilityLevelsEnableTheRadioItems() {
        Connect();
        RadioGroup* adjustment = Adjust().RadioGroupOf(Group::Adjustment);
        RadioGroup* maintenance = Adjust().RadioGroupOf(Group::Maintenance);
        RadioGroup* check = Adjust().RadioGroupOf(Group::CheckPattern);
        RadioGroup* appendix = Adjust().RadioGroupOf(Group::Appendix);
        QCOMPARE(adjustment->Count(), 13);
        QCOMPARE(maintenance->Count(), 5);
        QCOMPARE(check->Count(), 3);
        QCOMPARE(appendix->Count(), 2);

        Adjust().SetFeatureAvailability(2);
        QVERIFY(adjustment->Item(0)->isEnabled());
        for (int i = 1; i < 13; ++i) QVERIFY(!adjustment->Item(i)->isEnabled());
        QCOMPARE(maintenance->Item(0)->text(), QString("Head cleaning"));
        for (int i = 0; i < 5; ++i) QCOMPARE(maintenance->Item(i)->isEnabled(), i >= 3);
        QVERIFY(!check->isEnabled());
        QVERIFY(appendix->Item(0)->isEnabled() && appendix->Item(1)->isEnabled());

        Adjust().SetOperationState(1, "memo");
        Adjust().SetFeatureAvailability(3);
        for (int i = 0; i < 13; ++i) QVERIFY(!adjustment->Item(i)->isEnabled());
        for (int i = 0; i < 5; ++i) QVERIFY(!maintenance->Item(i)->isEnabled());
        QVERIFY(!appendix->Item(0)->isEnabled() && !appendix->Item(1)->isEnabled());
        QCOMPARE(MemoText(), QString("memo\nRestart the printer and click the [Get Status] button."));

        Adjust().SetFeatureAvailability(1);
        for (int i = 0; i < 13; ++i) QVERIFY(adjustment->Item(i)->isEnabled());
        for (int i = 0; i < 5; ++i) QVERIFY(maintenance->Item(i)->isEnabled());
        QVERIFY(check->isEnabled());
        QVERIFY(appendix->Item(0)->isEnabled() && appendix->Item(1)->isEnabled());
    }

    void getStatusOnAPrinterErrorKeepsTheSafeFeatures() {
        Connect();
        Fake().SetStatus(MakeStatus(0, 30));
        Adjust().GetStatusButton()->click();
        QCOMPARE(MemoText(), QString("Incompatible combination of ink cartridges installed.\n"
                                     "Clear the error and click the [Get Status] button."));
        QVERIFY(Adjust().RadioGroupOf(Group::Adjustment)->Item(0)->isEnabled());
        QVERIFY(!Adjust().RadioGroupOf(Group::Adjustment)->Item(1)->isEnabled());
    }

    // ---- panels ----

    void radioItemsShowTheirPanelOrTheEmptyCanvas() {
        Connect();
        auto* headId = new CountingPanel;
        Adjust().RegisterPanel(Group::Adjustment, 1, headId);
        Adjust().RadioGroupOf(Group::Appendix)->SetItemIndex(1);
        Adjust().SetOperationState(4, "old");

        Adjust().RadioGroupOf(Group::Adjustment)->Item(1)->click();
        QVERIFY(headId->isVisibleTo(&Adjust()));
        QVERIFY(!Adjust().Canvas()->isVisibleTo(&Adjust()));
        QCOMPARE(headId->chosen, 1);
        QCOMPARE(headId->geometry(), TFormAdjust::kCentreRegion);
        QCOMPARE(Adjust().RadioGroupOf(Group::Appendix)->ItemIndex(), -1);
        QCOMPARE(MemoText(), QString());
        QCOMPARE(Adjust().MemoTextColour(), QColor(0, 0, 0));

        Adjust().RadioGroupOf(Group::Maintenance)->Item(2)->click();
        QVERIFY(!headId->isVisibleTo(&Adjust()));
        // Its own panel when a feature registered one, else the empty canvas: exactly one of them.
        bool panelShown = false;
        for (FeaturePanel* panel : Adjust().findChildren<FeaturePanel*>())
            if (panel->isVisibleTo(&Adjust())) panelShown = true;
        QVERIFY(panelShown != Adjust().Canvas()->isVisibleTo(&Adjust()));
        QCOMPARE(Adjust().RadioGroupOf(Group::Adjustment)->ItemIndex(), -1);
        QCOMPARE(Adjust().RadioGroupOf(Group::Maintenance)->ItemIndex(), 2);
    }

    void leavingTheWideMemoRestoresTheAdjustedItems() {
        Connect();
        auto* viewer = new CountingPanel;
        Adjust().RegisterPanel(Group::Appendix, 0, viewer);
        Adjust().RadioGroupOf(Group::Appendix)->Item(0)->click();
        Adjust().WidenMemo();
        QCOMPARE(Adjust().Memo()->width(), 588);
        QVERIFY(!Adjust().AdjustedItems()->isVisibleTo(&Adjust()));
        Adjust().RadioGroupOf(Group::Appendix)->Item(1)->click();
        QCOMPARE(Adjust().Memo()->geometry(), TFormAdjust::kBottomCentreRegion);
        QVERIFY(Adjust().AdjustedItems()->isVisibleTo(&Adjust()));
    }

    void tabChangeClearsEverything() {
        Connect();
        Adjust().RadioGroupOf(Group::Adjustment)->Item(4)->click();
        Adjust().RadioGroupOf(Group::Appendix)->SetItemIndex(0);
        Adjust().SetOperationState(4, "An error is shown.");
        Adjust().Tabs()->setCurrentIndex(2);
        QCOMPARE(MemoText(), QString());
        for (int g = 0; g < kGroupCount; ++g) QCOMPARE(Adjust().RadioGroupOf(Group(g))->ItemIndex(), -1);
        QVERIFY(Adjust().Canvas()->isVisibleTo(&Adjust()));
    }

    void hideAllPanelsSendsTheCarriageHomeOnce() {
        Connect();
        auto* pg = new CountingPanel;
        Adjust().RegisterPanel(Group::Adjustment, 3, pg);
        Adjust().RadioGroupOf(Group::Adjustment)->Item(3)->click();
        Adjust().SetCarriageAtHome(0);  // the PG adjustment moved the carriage
        Fake().ClearCalls();
        QVERIFY(Adjust().HideAllPanels(0));
        const std::vector<std::vector<std::uint8_t>> home = {
            {0x1B, 0x7C, 0x00, 0x05, 0x00, 0x06, 0x16, 0x81, 0x7E, 0xC0}};
        QCOMPARE(Fake().Sends(), home);
        QCOMPARE(Adjust().CarriageAtHome(), std::uint8_t(1));
        QVERIFY(!pg->isVisibleTo(&Adjust()));
        QVERIFY(Adjust().HideAllPanels(0));
        QCOMPARE(Fake().Sends().size(), std::size_t(1));
    }

    void carriageHomeResultZeroChangesNothing() {
        Connect();
        auto* pg = new CountingPanel;
        Adjust().RegisterPanel(Group::Adjustment, 3, pg);
        Adjust().RadioGroupOf(Group::Adjustment)->Item(3)->click();
        Adjust().SetOperationState(4, "Moved.");
        Adjust().SetCarriageAtHome(0);
        Fake().SetResult(Fn::SendDataChannel, 0);
        QVERIFY(!Adjust().HideAllPanels(0));
        QVERIFY(pg->isVisibleTo(&Adjust()));
        QCOMPARE(MemoText(), QString("Moved."));
        QCOMPARE(Adjust().CarriageAtHome(), std::uint8_t(0));
        // An error code is not 0: the panels go, but the carriage is not
        // known to be home, so the next panel change tries again.
        Fake().SetResult(Fn::SendDataChannel, 0x3000);
        QVERIFY(Adjust().HideAllPanels(1));
        QCOMPARE(Adjust().CarriageAtHome(), std::uint8_t(0));
        QCOMPARE(MemoText(), QString("Moved."));  // kept by the keep-text flag
        Fake().SetResult(Fn::SendDataChannel, 1);
        const std::size_t before = Fake().Sends().size();
        QVERIFY(Adjust().HideAllPanels(0));
        QCOMPARE(Fake().Sends().size(), before + 1);
        QCOMPARE(Adjust().CarriageAtHome(), std::uint8_t(1));
    }

    void paperFeedSendsFiveLineFeeds() {
        Connect();
        Adjust().SetCarriageAtHome(0);
        const QString memo = MemoText();
        Adjust().HeadAngularPaperFeedBtnClick();
        const std::vector<std::uint8_t> feeds = {0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0A};
        QCOMPARE(Fake().AcceptedBytes(), feeds);
        QCOMPARE(Fake().Sends().size(), std::size_t(1));
        QCOMPARE(Adjust().CarriageAtHome(), std::uint8_t(1));
        QCOMPARE(MemoText(), memo);  // no status text for a paper feed
    }

    void failingPaperFeedIsReported() {
        Connect();
        Adjust().SetCarriageAtHome(0);
        Fake().SetResult(Fn::SendDataChannel, 0x3000);
        Adjust().HeadAngularPaperFeedBtnClick();
        QCOMPARE(Adjust().CarriageAtHome(), std::uint8_t(0));
        QCOMPARE(MemoText(),
                 QString("Communication error occurred.\nRestart the printer and click the [Get Status] button."));
        // The report dropped the unsent line feeds: the next feed sends its own ten bytes only.
        Fake().SetResult(Fn::SendDataChannel, 1);
        Adjust().HeadAngularPaperFeedBtnClick();
        QCOMPARE(Fake().AcceptedBytes().size(), std::size_t(10));
    }

    // ---- how-to windows ----

    void howToWindowsOpenOnceAndOutliveTheMainWindow() {
        Connect();
        using Handler = void (TFormAdjust::*)();
        const Handler handlers[kHowToCount] = {
            &TFormAdjust::HeadAngularAdjustHowToBtnClick, &TFormAdjust::PFAdjustHowToBtnClick,
            &TFormAdjust::HowToCLShiftAdjustBtnClick,     &TFormAdjust::BidPrintHowToAdjustBtnClick,
            &TFormAdjust::PWSensorHowToAdjustBtnClick,    &TFormAdjust::CutPosHowToAdjustBtnClick,
            &TFormAdjust::PGHowToAdjustBtnClick,          &TFormAdjust::HowToCheckA4PatClick,
            &TFormAdjust::PGAdjustHowToCleanBtnClick};
        const int before = static_cast<int>(QApplication::topLevelWidgets().size());
        for (int i = 0; i < kHowToCount; ++i) {
            (Adjust().*handlers[i])();
            (Adjust().*handlers[i])();
            QVERIFY(windows_->HowTo().Window(HowTo(i))->isVisible());
        }
        QCOMPARE(static_cast<int>(QApplication::topLevelWidgets().size()), before);
        QCOMPARE(windows_->HowTo().Window(HowTo::Clean)->windowTitle(), QString("How to Clean"));
        Adjust().close();
        for (int i = 0; i < kHowToCount; ++i) QVERIFY(windows_->HowTo().Window(HowTo(i))->isVisible());
        QVERIFY(Adjust().isEnabled());
    }
};

QTEST_MAIN(WindowsTest)
#include "Windows_test.moc"
