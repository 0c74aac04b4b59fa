// The PW sensor, pixel shift, first dot and cut position buttons put the same
// bytes on the wire from the window as from svcadjust-cli.
#include "ui/VexFormAdjust.h"
#include "ui/testing/Twin.h"
#include "vprinter/Printer.h"

#include <QComboBox>
#include <QTest>

using namespace svc;

namespace {

constexpr int kPw = 6, kPixelShift = 8, kCutPosition = 9, kFirstDot = 12;

// Stored values the reads find: PW -8, 24, -16, 16; pixel shift -5..0; first dot 0x80.
twin::Setup StoredValues() {
    twin::Setup setup;
    setup.prepare = [](vp::Printer& p) {
        const std::pair<std::uint8_t, std::uint8_t> bytes[] = {
            {0x5C, 0xF8}, {0x5D, 0x10}, {0x5E, 0x18}, {0x5F, 0xF0}, {0x97, 0xFB}, {0x98, 0xFC},
            {0x99, 0xFD}, {0x9A, 0xFE}, {0x9B, 0xFF}, {0x9C, 0x00}, {0x68, 0x80}};
        for (auto [address, value] : bytes) p.WriteEeprom(address, value);
    };
    return setup;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

class MoreAdjustTwinTest : public QObject {
    Q_OBJECT
private slots:
    void pwPrint() {
        const twin::Setup setup;
        const twin::Run gui = twin::RunGui(setup, [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kPw);
            twin::Click(w, "PWSensorPrintBtn");
        });
        const twin::Run cli = twin::RunCli(setup, {"pw-print"});
        QVERIFY2(cli.status == 0, cli.memo.c_str());
        QCOMPARE(twin::Describe(cli.packets), twin::Describe(gui.packets));
        QVERIFY(Has(twin::Describe(gui.packets), "53 4E 2E 00 00 04"));
        QVERIFY(Has(cli.memo, "The PW adjustment pattern print has completed."));
    }

    void pwReadAndInput() {
        const twin::Setup setup = StoredValues();
        const twin::Run gui = twin::RunGui(setup, [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kPw);
            twin::Click(w, "PWSensorCheckBtn");
            QCOMPARE(w.Text("PWSensorHMXUEdit"), std::string("-8"));
            QCOMPARE(w.Text("PWSensorHMYDEdit"), std::string("-16"));
            QVERIFY(!w.Checked("PWSensorHMXUCheckBox"));
            twin::Type(w, "PWSensorHMYUEdit", "3");
            twin::Type(w, "PWSensorHMXUEdit", "-2");
            QVERIFY(w.Checked("PWSensorHMYUCheckBox"));
            twin::Click(w, "PWSensorInputBtn");
            QCOMPARE(w.AdjustedCell("PWSensorTopPnl"), std::string("3"));
            QCOMPARE(w.AdjustedCell("PWSensorRightPnl"), std::string("-2"));
        });
        const twin::Run cli = twin::RunCli(setup, {"pw-read", "pw-input", "Top=3", "Right=-2"});
        QCOMPARE(cli.status, 0);
        QCOMPARE(twin::Describe(cli.packets), twin::Describe(gui.packets));
        QVERIFY(Has(cli.memo, "Right: -8"));
        QVERIFY(Has(cli.memo, "PW sensor Top: 3"));
    }

    void pwRangeRefusal() {
        const twin::Setup setup;
        const twin::Run gui = twin::RunGui(setup, [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kPw);
            twin::Type(w, "PWSensorHMYUEdit", "17");
            twin::Click(w, "PWSensorInputBtn");
            QCOMPARE(w.focusWidget()->objectName(), QString("PWSensorHMYUEdit"));
        });
        const twin::Run cli = twin::RunCli(setup, {"pw-input", "Top=17"});
        QVERIFY(cli.status != 0);
        QCOMPARE(twin::Describe(cli.packets), twin::Describe(gui.packets));
        QVERIFY(Has(gui.memo, "A range of input value is -16 to 16."));
        QVERIFY(Has(cli.memo, "A range of input value is -16 to 16."));
    }

    void pixelShiftPrint() {
        const twin::Setup setup;
        const twin::Run gui = twin::RunGui(setup, [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kPixelShift);
            twin::Click(w, "ColorShiftPrintBtn");
        });
        const twin::Run cli = twin::RunCli(setup, {"pixel-shift-print"});
        QCOMPARE(cli.status, 0);
        QCOMPARE(twin::Describe(cli.packets), twin::Describe(gui.packets));
        QVERIFY(Has(cli.memo, "The pixel shift pattern print has completed."));
    }

    void pixelShiftReadAndInput() {
        const twin::Setup setup = StoredValues();
        const twin::Run gui = twin::RunGui(setup, [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kPixelShift);
            twin::Click(w, "ColorShiftReadBtn");
            QCOMPARE(w.Text("ColorShiftAInputEdit"), std::string("-5"));
            twin::Type(w, "ColorShiftAInputEdit", "2");
            twin::Type(w, "ColorShiftFInputEdit", "-1");
            twin::Click(w, "ColorShiftInputOKBtn");
            QCOMPARE(w.AdjustedCell("ColorShiftFPnl"), std::string("-1"));
        });
        const twin::Run cli = twin::RunCli(setup, {"pixel-shift-read", "pixel-shift-input", "A=2", "F=-1"});
        QCOMPARE(cli.status, 0);
        QCOMPARE(twin::Describe(cli.packets), twin::Describe(gui.packets));
        QVERIFY(Has(cli.memo, "A line: -5"));
        QVERIFY(Has(cli.memo, "Pixel shift F: -1"));
    }

    void firstDot() {
        const twin::Setup setup = StoredValues();
        const twin::Run gui = twin::RunGui(setup, [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kFirstDot);
            twin::Click(w, "LandMarginPrintBtn");
            twin::Click(w, "LandMarginCheckBtn");
            QCOMPARE(w.Text("LandMarginInputEdit"), std::string("128"));
            QCOMPARE(w.Position("LeftMarginGauge"), 100);
            QCOMPARE(w.Text("LandMarginInputRealValuePnl"), std::string("0.6350 mm"));
            twin::Click(w, "CenteringBitBtn");
            for (int i = 0; i < 3; ++i) twin::Click(w, "SteptoRightBitBtn");
            twin::Click(w, "LandMarginInputBtn");
            twin::Click(w, "GotoLeftEdgeBitBtn");
            twin::Click(w, "SteptoLeftBitBtn");
            twin::Click(w, "LandMarginInputBtn");
        });
        const twin::Run cli =
            twin::RunCli(setup, {"first-dot-print", "first-dot-read", "first-dot-centering", "first-dot-step-right",
                                 "first-dot-step-right", "first-dot-step-right", "first-dot-input",
                                 "first-dot-left-edge", "first-dot-step-left", "first-dot-input"});
        QCOMPARE(cli.status, 0);
        QCOMPARE(twin::Describe(cli.packets), twin::Describe(gui.packets));
        QVERIFY(Has(cli.memo, "First dot position: 128 (0.6350 mm), left margin 100 %, right margin 0 %"));
        QVERIFY(Has(cli.memo, "First dot position: 12 (0.1058 mm)"));
        QVERIFY(Has(cli.memo, "First dot position: -72 (-0.6350 mm), left margin 0 %, right margin 100 %"));
        QVERIFY(Has(twin::Describe(gui.packets), "1B 7C 00 05 00 06 16 50 AF 28"));
    }

    void firstDotInputValue() {
        const twin::Setup setup;
        const twin::Run gui = twin::RunGui(setup, [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kFirstDot);
            twin::Click(w, "GotoRightEdgeBitBtn");
            twin::Click(w, "LandMarginInputBtn");
        });
        const twin::Run cli = twin::RunCli(setup, {"first-dot-input", "72"});
        QCOMPARE(cli.status, 0);
        QCOMPARE(twin::Describe(cli.packets), twin::Describe(gui.packets));
    }

    void cutPosition() {
        const twin::Setup setup;
        const twin::Run gui = twin::RunGui(setup, [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kCutPosition);
            QCOMPARE(w.Text("CutPosAdjustInputComboBox"), std::string("9"));
            twin::Click(w, "CutPosAdjustPrintBtn");
            w.SetItemIndex("CutPosAdjustInputComboBox", 16);
            twin::Click(w, "CutPosAdjustInputBtn");
            twin::Click(w, "CutPosAdjustInputBtn");  // refused: the print was used
        });
        const twin::Run cli = twin::RunCli(setup, {"cut-print", "cut-input", "17", "cut-input", "17"});
        QVERIFY(cli.status != 0);
        QCOMPARE(twin::Describe(cli.packets), twin::Describe(gui.packets));
        const std::string wire = twin::Describe(gui.packets);
        QVERIFY(Has(wire, "44 44 05 00 00 10 00 C0 02 53 56 00 00"));
        QCOMPARE(wire.find("44 44 05"), wire.rfind("44 44 05"));  // one write only
        QVERIFY(Has(gui.memo, "Please try this function after perform the pattern print."));
        QVERIFY(Has(cli.memo, "The cut position adjustment value has written properly."));
        QVERIFY(Has(cli.memo, "Please try this function after perform the pattern print."));
    }

    void cutPositionInputBeforeAnyPrint() {
        const twin::Setup setup;
        const twin::Run gui = twin::RunGui(setup, [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kCutPosition);
            twin::Click(w, "CutPosAdjustInputBtn");
        });
        const twin::Run cli = twin::RunCli(setup, {"cut-input", "9"});
        QVERIFY(cli.status != 0);
        QCOMPARE(twin::Describe(cli.packets), twin::Describe(gui.packets));
        QVERIFY(!Has(twin::Describe(gui.packets), "52 45 4D 4F 54 45 31"));
        QVERIFY(Has(gui.memo, "Please try this function after perform the pattern print."));
    }

    void cutPositionListIsBackOnNineWhenShown() {
        const twin::Setup setup;
        twin::RunGui(setup, [](ui::TFormAdjust& w) {
            twin::Pick(w, Group::Adjustment, kCutPosition);
            auto* list = w.findChild<QComboBox*>("CutPosAdjustInputComboBox");
            QVERIFY(list);
            QCOMPARE(list->count(), 17);
            QCOMPARE(list->itemText(0), QString("1"));
            QCOMPARE(list->itemText(16), QString("17"));
            list->setCurrentIndex(2);
            w.hide();
            w.show();
            QCOMPARE(list->currentText(), QString("9"));
        });
    }
};

QTEST_MAIN(MoreAdjustTwinTest)
#include "MoreAdjustTwin_test.moc"
