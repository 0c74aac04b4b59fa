// The panels of the PW sensor, pixel shift, first dot position and cut
// position adjustments. Each button calls its handler in adjust/ with the
// main window as the frame; the panels only build and place the controls.
#include "ui/panels/Panels.h"

#include "adjust/ColorShiftAdjust.h"
#include "adjust/CutPositionAdjust.h"
#include "adjust/FirstDotAdjust.h"
#include "adjust/PwAdjust.h"
#include "ui/FeaturePanel.h"
#include "ui/VexFormAdjust.h"
#include "ui/panels/PanelKit.h"
#include "ui/Translated.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>

namespace svc::ui {

namespace {

// The panels below give their places as x, y, width, height.
QLabel* Title(QWidget* parent, const char* text, const char* name = nullptr) {
    return kit::Title(parent, text, kit::kPositionAdjustTitle, name);
}
QLabel* Text(QWidget* parent, const char* text, int x, int y, int w, int h) {
    return kit::Text(parent, text, QRect(x, y, w, h));
}
QGroupBox* GroupBox(QWidget* parent, const char* title, int x, int y, int w, int h) {
    return kit::GroupBox(parent, title, QRect(x, y, w, h));
}
QPushButton* Button(QWidget* parent, const char* name, const char* text, int x, int y, int w = 75, int h = 25) {
    return kit::Button(parent, name, text, QRect(x, y, w, h));
}
QLineEdit* Edit(QWidget* parent, const char* name, int maxLength, int x, int y, int w = 40) {
    return kit::Edit(parent, name, maxLength, QRect(x, y, w, 21));
}
using kit::UpDown;

class FeaturePanelBase : public FeaturePanel {
public:
    FeaturePanelBase(const char* name) {
        setObjectName(name);
        setFont(kit::TextFont());
    }
    FeatureFrame& F() const { return *Frame(); }
};

// ---- PW sensor adjustment ----
class PwSensorPanel : public FeaturePanelBase {
public:
    PwSensorPanel() : FeaturePanelBase("PWSensorAdjustPnl") {
        Title(this, "PW sensor adjustment ");
        QGroupBox* input = GroupBox(this, "Input", 8, 32, 397, 178);
        Text(input, "Click the [Input] button to write the value of the selected lines to the EEPROM.", 10, 18, 377,
             32);
        struct Row {
            const char* edge;
            const char* label;
            int low, high;
        };
        const Row rows[4] = {{"Bottom", SVC_N("Bottom"), -16, 16},
                             {"Top", SVC_N("Top"), -16, 16},
                             {"Left", SVC_N("Left"), -8, 24},
                             {"Right", SVC_N("Right"), -8, 24}};
        for (int i = 0; i < 4; ++i) {
            const TPPWAdjust::Edge& edge = *TPPWAdjust::FindEdge(rows[i].edge);
            const int y = 54 + i * 28;
            auto* box = new QCheckBox(Tr(rows[i].label), input);
            box->setObjectName(edge.checkBox);
            box->setGeometry(20, y, 90, 21);
            QLineEdit* edit = Edit(input, edge.edit, 3, 120, y);
            auto* arrows = new UpDown(edit, rows[i].low, rows[i].high, input);
            arrows->setObjectName(QString(edge.edit).replace("Edit", "UpDown"));
            arrows->setGeometry(161, y, 16, 21);
            connect(edit, &QLineEdit::textChanged, this, [this, &edge] { PWAdjust().EditChange(F(), edge); });
        }
        connect(Button(input, "PWSensorInputBtn", "Input", 300, 80), &QPushButton::clicked, this,
                [this] { PWAdjust().PWSensorInputBtnClick(F()); });
        connect(Button(input, "PWSensorCheckBtn", "Read", 300, 116), &QPushButton::clicked, this,
                [this] { PWAdjust().PWSensorCheckBtnClick(F()); });

        QGroupBox* print = GroupBox(this, "Print", 8, 214, 397, 100);
        Text(print, "Click the [Print] button to print the check pattern.", 10, 18, 280, 32);
        Text(print, "Use Normal Paper (A4 Size or Letter Size)", 10, 54, 280, 32);
        connect(Button(print, "PWSensorPrintBtn", "Print", 300, 40), &QPushButton::clicked, this,
                [this] { PWAdjust().PWSensorPrintBtnClick(F()); });

        auto* howTo = Button(this, "PWSensorHowToAdjustBtn", "How to adjust", 300, 322, 105);
        connect(howTo, &QPushButton::clicked, this, [this] { Frame()->PWSensorHowToAdjustBtnClick(); });
    }
    void OnChosen() override { PWAdjust().Chosen(F()); }
};

// ---- pixel shift adjustment ----
class PixelShiftPanel : public FeaturePanelBase {
public:
    PixelShiftPanel() : FeaturePanelBase("ColorShiftAdjustPnl") {
        Title(this, "Pixel shift adjustment ");
        QGroupBox* input = GroupBox(this, "Input", 8, 32, 397, 178);
        Text(input, "Click the [Input] button to write the value of checked items.", 10, 18, 377, 20);
        int i = 0;
        for (const TPColorShiftAdjust::Line& line : TPColorShiftAdjust::Lines()) {
            const int x = 14 + (i / 3) * 140;
            const int y = 46 + (i % 3) * 30;
            QLineEdit* edit = Edit(input, line.edit, 2, x, y, 32);
            auto* arrows = new UpDown(edit, TPColorShiftAdjust::kLow, TPColorShiftAdjust::kHigh, input);
            arrows->setObjectName(QString("ColorShift%1InputUpDown").arg(line.letter));
            arrows->setGeometry(x + 33, y, 16, 21);
            auto* box = new QCheckBox(Tr(line.label), input);
            box->setObjectName(line.checkBox);
            box->setGeometry(x + 56, y, 70, 21);
            connect(edit, &QLineEdit::textChanged, this, [this, &line] { ColorShiftAdjust().EditChange(F(), line); });
            ++i;
        }
        connect(Button(input, "ColorShiftInputOKBtn", "Input", 300, 60), &QPushButton::clicked, this,
                [this] { ColorShiftAdjust().ColorShiftInputOKBtnClick(F()); });
        connect(Button(input, "ColorShiftReadBtn", "Read", 300, 96), &QPushButton::clicked, this,
                [this] { ColorShiftAdjust().ColorShiftReadBtnClick(F()); });

        QGroupBox* print = GroupBox(this, "Print", 8, 214, 397, 100);
        Text(print, "Click the [Print] button to print the check pattern.", 10, 18, 280, 32);
        Text(print, "Use Photo Quality Inkjet paper (A4 size or Letter size)", 10, 54, 280, 32);
        connect(Button(print, "ColorShiftPrintBtn", "Print", 300, 40), &QPushButton::clicked, this,
                [this] { ColorShiftAdjust().ColorShiftPrintBtnClick(F()); });

        auto* howTo = Button(this, "HowToCLShiftAdjustBtn", "How to adjust", 300, 322, 105);
        connect(howTo, &QPushButton::clicked, this, [this] { Frame()->HowToCLShiftAdjustBtnClick(); });
    }
    void OnChosen() override { ColorShiftAdjust().Chosen(F()); }
};

// ---- first dot position adjustment ----
class FirstDotPanel : public FeaturePanelBase {
public:
    FirstDotPanel() : FeaturePanelBase("LandMarginAdjustPnl") {
        Title(this, "First dot position adjustment ", "LandMarginInputTitleLbl");

        QGroupBox* print = GroupBox(this, "Print", 8, 32, 397, 56);
        Text(print, "Click the [Print] button then the printer prints check pattern.", 10, 16, 280, 34);
        connect(Button(print, "LandMarginPrintBtn", "Print", 300, 20), &QPushButton::clicked, this,
                [this] { LandMarginPrintBtnClick(F()); });

        QGroupBox* input = GroupBox(this, "Input", 8, 92, 397, 196);
        Text(input, "Remainder of left margin", 10, 18, 180, 16);
        Text(input, "Remainder of right margin", 205, 18, 180, 16);
        auto* left = new QProgressBar(input);
        left->setObjectName(firstdot::kLeftGauge);
        left->setGeometry(10, 36, 180, 18);
        left->setInvertedAppearance(true);  // the margin grows from the centre outwards
        auto* right = new QProgressBar(input);
        right->setObjectName(firstdot::kRightGauge);
        right->setGeometry(205, 36, 180, 18);
        for (QProgressBar* gauge : {left, right}) {
            gauge->setRange(0, 100);
            gauge->setValue(50);
        }

        struct Pic {
            const char* name;
            const char* glyph;
            const char* tip;
            void (*handler)(FeatureFrame&);
        };
        const Pic pics[5] = {
            {"GotoLeftEdgeBitBtn", "|<<", SVC_N("To the edge of left"), GotoLeftEdgeBitBtnClick},
            {"SteptoLeftBitBtn", "<", SVC_N("To the left four points at a time"), SteptoLeftBitBtnClick},
            {"CenteringBitBtn", "|", SVC_N("Centering"), CenteringBitBtnClick},
            {"SteptoRightBitBtn", ">", SVC_N("To the right four points at a time"), SteptoRightBitBtnClick},
            {"GotoRightEdgeBitBtn", ">>|", SVC_N("To the edge of right"), GotoRightEdgeBitBtnClick},
        };
        for (int i = 0; i < 5; ++i) {
            auto* b = new QToolButton(input);
            b->setObjectName(pics[i].name);
            b->setText(pics[i].glyph);
            b->setToolTip(Tr(pics[i].tip));
            b->setGeometry(112 + i * 36, 62, 32, 24);
            auto handler = pics[i].handler;
            connect(b, &QToolButton::clicked, this, [this, handler] { handler(F()); });
        }

        auto* edit = Edit(input, firstdot::kEdit, 4, 120, 100, 50);
        edit->setReadOnly(true);
        auto* arrows = new UpDown(edit, firstdot::kLow, firstdot::kHigh, input);
        arrows->setObjectName(firstdot::kUpDown);
        arrows->setGeometry(171, 100, 16, 21);
        connect(arrows, &UpDown::Clicked, this, [this] { LandMarginInputUpDownClick(F()); });
        auto* mm = new QLabel(input);
        mm->setObjectName(firstdot::kRealValue);
        mm->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        mm->setAlignment(Qt::AlignCenter);
        mm->setGeometry(200, 100, 90, 21);
        mm->setText(QString::fromStdString(firstdot::DisplayOf(0).millimetres));

        connect(Button(input, "LandMarginInputBtn", "Input", 110, 150), &QPushButton::clicked, this,
                [this] { LandMarginInputBtnClick(F()); });
        connect(Button(input, "LandMarginCheckBtn", "Read", 210, 150), &QPushButton::clicked, this,
                [this] { LandMarginCheckBtnClick(F()); });

        QGroupBox* feed = GroupBox(this, "Paper feed", 8, 292, 397, 60);
        Text(feed, "Click the [Paper feed] button then the printer perform paper feed.", 10, 16, 280, 36);
        connect(Button(feed, "LandMarginFeedBtn", "Paper feed", 300, 22), &QPushButton::clicked, this,
                [this] { Frame()->HeadAngularPaperFeedBtnClick(); });
    }
};

// ---- cut position adjustment ----
class CutPositionPanel : public FeaturePanelBase {
public:
    CutPositionPanel() : FeaturePanelBase("CutPosAdjustPanel") {
        Title(this, "Cut position adjustment ");
        Text(this, "Load Roll Paper to adjust the cut position.", 8, 34, 280, 20);
        connect(Button(this, "CutPosHowToAdjustBtn", "How to adjust", 300, 32, 105), &QPushButton::clicked, this,
                [this] { Frame()->CutPosHowToAdjustBtnClick(); });

        QGroupBox* print = GroupBox(this, "Print", 8, 64, 397, 90);
        Text(print, "Click the [Print] button. The printer prints the cut position pattern.", 10, 18, 280, 40);
        connect(Button(print, "CutPosAdjustPrintBtn", "Print", 300, 30), &QPushButton::clicked, this,
                [this] { CutPosAdjustPrintBtnClick(F()); });

        QGroupBox* input = GroupBox(this, "Input", 8, 160, 397, 130);
        // clang-format off
        Text(input, "Select an adjustment value from list-box and click the [Input] button. Then the value is written in EEPROM.", 10, 18, 377, 48);
        // clang-format on
        auto* list = new QComboBox(input);
        list->setObjectName(cutpos::kList);
        list->setEditable(false);
        for (int k = 1; k <= cutpos::kItems; ++k) list->addItem(QString::number(k));
        list->setCurrentIndex(cutpos::kPresentItem - 1);
        list->setGeometry(120, 80, 60, 22);
        connect(Button(input, "CutPosAdjustInputBtn", "Input", 300, 78), &QPushButton::clicked, this,
                [this] { CutPosAdjustInputBtnClick(F()); });
    }
};

}  // namespace

void RegisterPositionAdjustPanels(TFormAdjust& window) {
    window.RegisterPanel(Group::Adjustment, kPwItem, new PwSensorPanel);
    window.RegisterPanel(Group::Adjustment, kPixelShiftItem, new PixelShiftPanel);
    window.RegisterPanel(Group::Adjustment, kCutPositionItem, new CutPositionPanel);
    window.RegisterPanel(Group::Adjustment, kFirstDotItem, new FirstDotPanel);
}

}  // namespace svc::ui
