// The check-pattern prints, head angular, Bi-D and PF buttons from the
// window and their svcadjust-cli operations put the same bytes on the wire.
#include "adjust/PfAdjust.h"
#include "adjust/VexBid.h"
#include "ui/VexFormAdjust.h"
#include "integration/testing/Twin.h"

#include <QTest>

#include <cstdlib>

using namespace svc;

namespace {

// Runs the button in the window and the operation on the command line and
// compares the traffic; the noise of the PF patterns starts from the same
// place in both.
void Compare(const std::function<void(ui::TFormAdjust&)>& gui, const std::vector<std::string>& cli,
             const char* mustContain = nullptr) {
    const twin::Setup setup;
    const twin::Run g = twin::RunGui(setup, [&](ui::TFormAdjust& w) {
        std::srand(1);
        gui(w);
    });
    std::srand(1);
    const twin::Run c = twin::RunCli(setup, cli);
    QVERIFY2(c.status == 0, (cli[0] + ": " + c.memo + " / window: " + g.memo).c_str());
    const std::string gd = twin::Describe(g.packets), cd = twin::Describe(c.packets);
    QVERIFY2(gd == cd, ("window and command line differ for " + cli[0]).c_str());
    QCOMPARE(c.boxes, g.boxes);
    if (mustContain) QVERIFY2(gd.find(mustContain) != std::string::npos, mustContain);
}

}  // namespace

class CheckAdjustTwinTest : public QObject {
    Q_OBJECT
private slots:
    void checkPrints() {
        Compare(
            [](ui::TFormAdjust& w) {
                twin::Pick(w, Group::CheckPattern, 0);
                twin::Click(w, "A3PCheckPrintBtn");
            },
            {"a3-check-print"}, "4D 61 72 6B 65 74");  // "Market"
        Compare(
            [](ui::TFormAdjust& w) {
                twin::Pick(w, Group::CheckPattern, 1);
                twin::Click(w, "A4PrintBtn");
            },
            {"a4-check-print"}, "50 57 20 73 65 6E 73 6F 72");  // "PW sensor", from clip.prn
        Compare(
            [](ui::TFormAdjust& w) {
                twin::Pick(w, Group::CheckPattern, 2);
                twin::Click(w, "NozzleCheckPatternPrintBtn");
            },
            {"nozzle-check-print"}, "4E 43 02 00 00 00");
        Compare(
            [](ui::TFormAdjust& w) {
                twin::Pick(w, Group::Adjustment, 1);
                w.ShowPanel("HeadCheckPrintPnl");
                twin::Click(w, "HeadCheckPrintBtn");
            },
            {"head-check-print"}, "52 65 74 73 75");  // "Retsu"
    }

    void headAngular() {
        Compare(
            [](ui::TFormAdjust& w) {
                twin::Pick(w, Group::Adjustment, 4);
                twin::Click(w, "HeadAngularPrintBtn");
            },
            {"head-angular-print"});
        Compare(
            [](ui::TFormAdjust& w) {
                twin::Pick(w, Group::Adjustment, 4);
                twin::Click(w, "HeadAngularCRMoveBtn");
            },
            {"head-angular-adjust"}, "C4 3B 62 03 54 0B 00");
    }

    void bid() {
        Compare(
            [](ui::TFormAdjust& w) {
                twin::Pick(w, Group::Adjustment, 7);
                w.SetChecked("BidVSD2PrnRequestCheckBox", false);
                w.SetChecked("BidVSD2DPrnRequestCheckBox", false);
                twin::Click(w, "BidPrintOKBtn");
            },
            {"bid-print", "VSD1,VSD4"}, "00 FF 00 03 01");
        Compare(
            [](ui::TFormAdjust& w) {
                twin::Pick(w, Group::Adjustment, 7);
                twin::Click(w, "BidPrintOKBtn");
            },
            {"bid-print"}, "00 FF 00 04 02");
        Compare(
            [](ui::TFormAdjust& w) {
                twin::Pick(w, Group::Adjustment, 7);
                twin::Click(w, "BidPrintShowInputBtn");
            },
            {"bid-read"});
        Compare(
            [](ui::TFormAdjust& w) {
                twin::Pick(w, Group::Adjustment, 7);
                w.ShowPanel(kBidInputPanel);
                twin::Type(w, "BidVSD1BkInputEdit", "5");
                twin::Type(w, "BidVSD2DCLInputEdit", "-3");
                twin::Click(w, "BidInputOKBtn");
            },
            {"bid-input", "VSD1Bk=5", "VSD2DCL=-3"}, "00 FF 00 04 02 FD FF");
    }

    void bidInputRefusedInBoth() {
        const twin::Setup setup;
        const twin::Run c = twin::RunCli(setup, {"bid-input", "VSD4CL=73"});
        QCOMPARE(c.status, 1);
        QVERIFY(c.memo.find("VSD4 Color value is wrong.") != std::string::npos);
        const twin::Run g = twin::RunGui(setup, [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, 7);
            w.ShowPanel(kBidInputPanel);
            twin::Type(w, "BidVSD4CLInputEdit", "73");
            twin::Click(w, "BidInputOKBtn");
        });
        QCOMPARE(twin::Describe(c.packets), twin::Describe(g.packets));
        QCOMPARE(g.memo, std::string("VSD4 Color value is wrong."));
    }

    void pf() {
        Compare(
            [](ui::TFormAdjust& w) {
                twin::Pick(w, Group::Adjustment, 5);
                twin::Click(w, "PFAdjustPrintBtn");
            },
            {"pf-print"}, "04 FB 02 FC");
        Compare(
            [](ui::TFormAdjust& w) {
                twin::Pick(w, Group::Adjustment, 5);
                twin::Click(w, "PFAdjustCheckBtn");
            },
            {"pf-read"});
        Compare(
            [](ui::TFormAdjust& w) {
                twin::Pick(w, Group::Adjustment, 5);
                twin::Type(w, kPfEdit, "-2");
                twin::Click(w, "PFAdjustInputBtn");
            },
            {"pf-input", "-2"});
    }
};

QTEST_MAIN(CheckAdjustTwinTest)
#include "CheckAdjustTwin_test.moc"
