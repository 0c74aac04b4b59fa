// The panel against a printer served in this process: what the printer
// reports shows, and the panel's buttons and switches reach the printer.
#include <QAbstractButton>
#include <QImageReader>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <unistd.h>

#include "vprinter/panel/ControlConnection.h"
#include "vprinter/panel/PageView.h"
#include "vprinter/panel/PanelWindow.h"
#include "vprinter/panel/ServedPrinter.h"

using vp::panel::PanelWindow;

class PanelTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<vp::panel::ServedPrinter> printer_;
    std::unique_ptr<PanelWindow> panel_;

    template <typename T>
    T* Find(const char* name) {
        T* w = panel_->findChild<T*>(QLatin1String(name));
        if (!w) qFatal("no widget %s", name);
        return w;
    }
    QString Text(const char* name) { return Find<QLabel>(name)->text(); }
    void Click(const char* name) { QTest::mouseClick(Find<QAbstractButton>(name), Qt::LeftButton); }
    QString Field(const char* key) { return panel_->Fields().value(QLatin1String(key)); }

private slots:
    void init() {
        const std::string dir = QDir::tempPath().toStdString() + "/vp-panel-test-" + std::to_string(::getpid());
        printer_ = std::make_unique<vp::panel::ServedPrinter>(dir, 2);
        QVERIFY2(printer_->Ok(), printer_->Error().c_str());
        panel_ = std::make_unique<PanelWindow>();
        panel_->Start(QString::fromStdString(printer_->ControlPath()), 50);
        panel_->show();
        QTRY_VERIFY_WITH_TIMEOUT(panel_->Connection().IsConnected(), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(Text("stateLbl"), QStringLiteral("Ready"), 5000);
    }
    void cleanup() {
        panel_.reset();
        printer_.reset();
    }

    void ShowsWhatThePrinterReports() {
        QCOMPARE(Text("modelLbl"), QStringLiteral("Corvid Lumen 4200"));
        QCOMPARE(Find<QProgressBar>("inkBar_black")->value(), 92);
        QCOMPARE(Text("inkCond_gray"), QStringLiteral("80 %"));
        QCOMPARE(Text("counter_pages"), QStringLiteral("388"));
        QCOMPARE(Text("counter_waste"), QStringLiteral("2415"));
        QCOMPARE(Text("value_bid_black"), QStringLiteral("3, -2, 1, 0"));
        QVERIFY(Text("carriageLbl").contains(QStringLiteral("home")));
        auto* grid = Find<QTableWidget>("eepromGrid");
        QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("5A"));
        QCOMPARE(grid->item(0xE, 0)->text(), QStringLiteral("02"));  // destination TRN/VLK
        QCOMPARE(grid->item(0, 0)->data(Qt::UserRole).toBool(), false);
        QVERIFY(Find<QLabel>("powerLed")->property("lit").toBool());
        QVERIFY(!Find<QLabel>("errorLed")->property("lit").toBool());

        panel_->Connection().Send(QStringLiteral("ink cyan missing"));
        QTRY_COMPARE(Text("inkCond_cyan"), QStringLiteral("missing (NA)"));
        QVERIFY(!Find<QProgressBar>("inkBar_cyan")->isEnabled());
    }

    void FaultSwitchesAndButtonsReachThePrinter() {
        Click("fault_paperout");
        QTRY_COMPARE(Text("stateLbl"), QStringLiteral("Error"));
        QCOMPARE(Text("errorLbl"), QStringLiteral("Paper out (code 6)"));
        QVERIFY(Find<QAbstractButton>("fault_paperout")->isChecked());
        QTRY_VERIFY(Find<QLabel>("errorLed")->property("lit").toBool());
        Click("paperBtn");  // the paper button clears paper out
        QTRY_COMPARE(Text("stateLbl"), QStringLiteral("Ready"));
        QVERIFY(!Find<QAbstractButton>("fault_paperout")->isChecked());

        Click("fault_busy");
        QTRY_COMPARE(Text("stateLbl"), QStringLiteral("Busy"));
        Click("fault_busy");
        QTRY_COMPARE(Text("stateLbl"), QStringLiteral("Ready"));

        Click("fault_cover");
        QTRY_COMPARE(Text("errorLbl"), QStringLiteral("Cover open (code 2)"));
        Click("clearFaultsBtn");
        QTRY_COMPARE(Text("stateLbl"), QStringLiteral("Ready"));
    }

    void TheLastPageShowsAndOpensFullSize() {
        QVERIFY(Text("pageLbl").contains(QStringLiteral("No page")));
        Click("paperBtn");  // without a fault: the sheet is fed out
        QTRY_VERIFY_WITH_TIMEOUT(Text("pageLbl").startsWith(QStringLiteral("Page 1: page-0001.png")), 10000);
        QVERIFY(!Find<QLabel>("pageThumb")->pixmap().isNull());
        QTRY_COMPARE(Text("counter_pages"), QStringLiteral("389"));
        QTest::mouseClick(Find<QLabel>("pageThumb"), Qt::LeftButton);
        QVERIFY(panel_->FullPageView() && panel_->FullPageView()->isVisible());
        QCOMPARE(panel_->LargePage()->PageSize().width(), 2332);
        QCOMPARE(panel_->PageSize(),
                 QImageReader(QString::fromStdString(printer_->PagesDir()) + QStringLiteral("/page-0001.png")).size());
    }

    void PowerAndABoardReplacementShowInTheEeprom() {
        panel_->Connection().Send(QStringLiteral("speedup 10"));  // a 0.3 s shutdown
        Click("powerBtn");
        QTRY_COMPARE(Text("stateLbl"), QStringLiteral("Busy"));
        QTRY_COMPARE(Text("stateLbl"), QStringLiteral("Off"));
        QVERIFY(!Find<QLabel>("powerLed")->property("lit").toBool());
        panel_->Connection().Send(QStringLiteral("board replace"));
        auto* grid = Find<QTableWidget>("eepromGrid");
        QTRY_COMPARE(grid->item(0xE, 0)->text(), QStringLiteral("00"));
        QVERIFY(grid->item(0xE, 0)->data(Qt::UserRole).toBool());   // 0xE0 changed
        QVERIFY(!grid->item(0x0, 0)->data(Qt::UserRole).toBool());  // the signature did not
        QCOMPARE(Text("counter_waste"), QStringLiteral("0"));
        Click("powerBtn");
        QTRY_COMPARE(Text("stateLbl"), QStringLiteral("Ready"));
        QVERIFY(Find<QLabel>("answerLbl")->text().contains(QStringLiteral("power button: on")));
    }

    void AnErrorAnswerShowsInTheStatusBar() {
        Click("rollSwitchBtn");
        QTRY_VERIFY(Find<QLabel>("answerLbl")->text().startsWith(QStringLiteral("rollswitch \u2192 OK")));
        panel_->Connection().Send(QStringLiteral("speedup 0"));
        QTRY_VERIFY(Find<QLabel>("answerLbl")->text().contains(QStringLiteral("ERR usage: speedup")));
    }

    void ParsesStateLines() {
        const auto f = vp::panel::ParseStateLine(QStringLiteral("OK a=1 page=/x%20y/p%25.png b="));
        QCOMPARE(f.value(QStringLiteral("a")), QStringLiteral("1"));
        QCOMPARE(f.value(QStringLiteral("page")), QStringLiteral("/x y/p%.png"));
        QVERIFY(f.contains(QStringLiteral("b")));
        QVERIFY(vp::panel::ParseStateLine(QStringLiteral("ERR no")).isEmpty());
    }
};

QTEST_MAIN(PanelTest)
#include "PanelWindow_test.moc"
