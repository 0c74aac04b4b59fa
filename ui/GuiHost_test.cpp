// The GUI host's waits: the windows keep painting and timers keep running,
// but clicks and keys made during a wait are dropped, never replayed after it.
#include "ui/GuiHost.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class GuiHostTest : public QObject {
    Q_OBJECT

private slots:
    void clicksDuringAWaitAreDroppedNotReplayed();
    void timersRunDuringAWait();
    void boxesAreApplicationModalWhateverTheirOwner();
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

QTEST_MAIN(GuiHostTest)
#include "GuiHost_test.moc"
