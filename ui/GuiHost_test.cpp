// The GUI host's waits: the windows keep painting and timers keep running,
// but clicks and keys made during a wait are dropped, never replayed after it.
#include "ui/GuiHost.h"

#include "link/testing/FakeOutside.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QVBoxLayout>
#include <functional>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QRegularExpression>
#include <QTimer>

class GuiHostTest : public QObject {
    Q_OBJECT

private slots:
    void clicksDuringAWaitAreDroppedNotReplayed();
    void timersRunDuringAWait();
    void boxesAreApplicationModalWhateverTheirOwner();
    void theLinkWaitsRunTimersAndDropInputThroughTheIdleHook();
    void aLongSleepShowsTheTimeLeftInTheTitle();
    void sleepsInARowShowTheTimeLeftOfAFunctionThatSaysHowLongItTakes();
};

void GuiHostTest::clicksDuringAWaitAreDroppedNotReplayed() {
    QPushButton button("Print");
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    int clicks = 0;
    connect(&button, &QPushButton::clicked, [&] { ++clicks; });

    svc::ui::GuiHost host;
    QTimer::singleShot(10, [&] {
        QTest::mouseClick(&button, Qt::LeftButton);
        QTest::keyClick(&button, Qt::Key_Space);
    });
    host.Sleep(50);
    QCoreApplication::processEvents();
    QCOMPARE(clicks, 0);

    // After the wait the button works as before.
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicks, 1);
}

void GuiHostTest::timersRunDuringAWait() {
    svc::ui::GuiHost host;
    bool fired = false;
    QTimer::singleShot(10, [&] { fired = true; });
    host.Sleep(50);
    QVERIFY(fired);
}

void GuiHostTest::boxesAreApplicationModalWhateverTheirOwner() {
    // A box shown by an operation must block every window, also while the main
    // window's disable timer enables the window under it.
    QWidget mainWindow;
    mainWindow.show();
    svc::ui::GuiHost host;
    host.SetMainWindow(&mainWindow);
    Qt::WindowModality seen = Qt::NonModal;
    QTimer::singleShot(20, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            seen = box->windowModality();
            box->close();
        }
    });
    host.MessageBox(svc::BoxOwner::MainWindow, "Check the paper.", "Confirm", svc::BoxIcon::Information,
                    svc::BoxButtons::Ok);
    QCOMPARE(seen, Qt::ApplicationModal);
}

void GuiHostTest::theLinkWaitsRunTimersAndDropInputThroughTheIdleHook() {
    QPushButton button("Print");
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    int clicks = 0;
    connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    {
        svc::ui::GuiHost host;
        auto* hook = svc::fake::Fake().IdleHook();
        QVERIFY(hook != nullptr);
        bool fired = false;
        QTimer::singleShot(0, [&] { fired = true; });
        QTest::mouseClick(&button, Qt::LeftButton);  // delivered at once: counts
        QCOMPARE(clicks, 1);
        QCoreApplication::postEvent(&button, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " "));
        QCoreApplication::postEvent(&button, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " "));
        hook();  // what the port switch calls between two slices of a wait
        QVERIFY(fired);
        QCoreApplication::processEvents();
        QCOMPARE(clicks, 1);  // the key typed during the wait was dropped
    }
    // The program's console-only tools install none; a host gone takes its hook along.
    QVERIFY(svc::fake::Fake().IdleHook() == nullptr);
}

namespace {

struct MainWindow : QWidget {
    explicit MainWindow(const QString& note) {
        setWindowTitle("Adjustment program");
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(note));
        show();
    }
};

// The window's title at the given times (ms) after the first sleep starts.
QStringList TitlesAt(QWidget& window, const QList<int>& at, const std::function<void()>& sleeps) {
    QStringList titles;
    QElapsedTimer clock;
    clock.start();
    for (int ms : at) QTimer::singleShot(ms, [&] { titles << window.windowTitle(); });
    sleeps();
    return titles;
}

}  // namespace

void GuiHostTest::aLongSleepShowsTheTimeLeftInTheTitle() {
    MainWindow window("Please wait...");
    svc::ui::GuiHost host;
    host.SetMainWindow(&window);
    double progressAt1300 = -1;
    QTimer::singleShot(1300, [&] { progressAt1300 = host.WaitProgress(); });
    const QStringList titles = TitlesAt(window, {100, 1300, 3300}, [&] { host.Sleep(3500); });
    // The timers run on the wall clock of a possibly busy machine: they may
    // fire late, never early, so the time left may only be less than planned.
    QVERIFY2(progressAt1300 > 0.2 && progressAt1300 < 0.7, qPrintable(QString::number(progressAt1300)));
    QCOMPARE(titles.size(), 3);
    const QRegularExpression left("^Adjustment program \u2014 (\\d) s left$");
    QList<int> seconds;
    for (const QString& title : titles) {
        const QRegularExpressionMatch m = left.match(title);
        QVERIFY2(m.hasMatch(), qPrintable(title));
        seconds << m.captured(1).toInt();
    }
    QVERIFY2(seconds[0] >= 3 && seconds[0] <= 4 && seconds[1] >= 1 && seconds[1] <= 3 && seconds[2] == 1,
             qPrintable(titles.join(" | ")));
    // The wait lingers until the operation ends; then the title is the window's own.
    svc::ui::ShowHourglass();
    svc::ui::ShowNormalCursor();
    QCOMPARE(window.windowTitle(), QString("Adjustment program"));
    // An operation that ends without a cursor change (the window closed after
    // a countdown) ends the wait once no sleep follows.
    host.Sleep(3200);
    QVERIFY(window.windowTitle() != QString("Adjustment program"));
    QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(), QString("Adjustment program"), 3000);
    QCOMPARE(host.WaitProgress(), -1.0);
}

void GuiHostTest::sleepsInARowShowTheTimeLeftOfAFunctionThatSaysHowLongItTakes() {
    MainWindow window("This function takes about 60 seconds.");
    svc::ui::GuiHost host;
    host.SetMainWindow(&window);
    // A poll once a second, as the wait until the printer is ready does; the
    // short ones alone stay unshown until the wait has lasted three seconds.
    const QStringList titles = TitlesAt(window, {500, 3700}, [&] {
        for (int i = 0; i < 4; ++i) {
            host.Sleep(1000);
            QTest::qWait(5);  // the status inquiry between two polls
        }
    });
    QCOMPARE(titles, (QStringList{"Adjustment program", "Adjustment program \u2014 about 57 s left"}));
    QVERIFY(host.WaitProgress() > 0.05 && host.WaitProgress() < 0.1);
    // A short sleep after the operation has ended starts a new wait: nothing shown.
    svc::ui::ShowNormalCursor();
    host.Sleep(10);
    QCOMPARE(window.windowTitle(), QString("Adjustment program"));
}

QTEST_MAIN(GuiHostTest)
#include "GuiHost_test.moc"
