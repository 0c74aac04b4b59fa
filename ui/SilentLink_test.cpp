// A printer that never answers, reached through the real port switch: while
// the GUI thread waits for it, the GUI host's idle hook keeps timers running
// and drops what the technician clicks; without a GUI host nothing is called.
#include "hostbridge/Transport.h"
#include "link/OutsideLibraries.h"
#include "ui/GuiHost.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint16_t kLpt1 = 1028;
constexpr std::uint16_t kOk = 1;
constexpr int kDeadlineMs = 600;

}  // namespace

class SilentLinkTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    int listener_ = -1;

    // Heartbeats of a 10 ms timer while GetDeviceIDByOsSw waits its deadline out.
    int BeatsDuringDeviceIdWait(std::uint16_t& result) {
        int beats = 0;
        QTimer heartbeat;
        heartbeat.setInterval(10);
        connect(&heartbeat, &QTimer::timeout, [&] { ++beats; });
        heartbeat.start();
        result = GetDeviceIDByOsSw();
        heartbeat.stop();
        return beats;
    }

private slots:
    void initTestCase() {
        // A socket that accepts connections into its backlog and never answers.
        const QString path = dir_.filePath("silent.sock");
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(listener_ >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof address.sun_path - 1);
        QCOMPARE(::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        QCOMPARE(::listen(listener_, 4), 0);
        ::setenv("SVCADJUST_PORTMAP", ("LPT1=unix:" + path).toLocal8Bit().constData(), 1);
        hb::SetPortTimeout(kDeadlineMs);
    }
    void cleanupTestCase() {
        PortCloseByOsSw();
        ::close(listener_);
        ::unsetenv("SVCADJUST_PORTMAP");
    }
    void init() { QCOMPARE(PortOpenByOsSw(kLpt1), kOk); }
    void cleanup() { PortCloseByOsSw(); }

    void theWindowKeepsRunningWhileThePrinterIsSilent() {
        QPushButton button("Get Status");
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        int clicks = 0;
        connect(&button, &QPushButton::clicked, [&] { ++clicks; });
        QTimer::singleShot(100, [&] { QTest::mouseClick(&button, Qt::LeftButton); });

        svc::ui::GuiHost host;
        std::uint16_t result = 0;
        const int beats = BeatsDuringDeviceIdWait(result);
        // The wait still fails at its deadline, as before.
        QVERIFY(result != kOk);
        // About 60 beats fit into the wait; a wait that held the thread gets none.
        QVERIFY2(beats >= 10, qPrintable(QString::number(beats)));
        QCOMPARE(clicks, 0);
    }

    void withoutAGuiHostTheWaitHoldsTheThread() {
        std::uint16_t result = 0;
        QCOMPARE(BeatsDuringDeviceIdWait(result), 0);
        QVERIFY(result != kOk);
    }
};

QTEST_MAIN(SilentLinkTest)
#include "SilentLink_test.moc"
