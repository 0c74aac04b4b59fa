// The frame's own buttons from the window and from svcadjust-cli put the same
// bytes on the wire.
#include "ui/VexFormAdjust.h"
#include "integration/testing/Twin.h"

#include <QTest>

using namespace svc;

class FrameTwinTest : public QObject {
    Q_OBJECT
private slots:
    void paperFeedAndGetStatus() {
        const twin::Setup setup;
        const twin::Run gui = twin::RunGui(setup, [](ui::TFormAdjust& w) {
            w.HeadAngularPaperFeedBtnClick();
            w.GetStatusBtnClick();
        });
        const twin::Run cli = twin::RunCli(setup, {"paper-feed", "get-status"});
        QCOMPARE(cli.status, 0);
        QCOMPARE(twin::Describe(cli.packets), twin::Describe(gui.packets));
        QVERIFY(twin::Describe(gui.packets).find("0D 0A 0D 0A 0D 0A 0D 0A 0D 0A") != std::string::npos);
        QVERIFY(cli.memo.find("Printer is ready.") != std::string::npos);
    }
};

QTEST_MAIN(FrameTwinTest)
#include "FrameTwin_test.moc"
