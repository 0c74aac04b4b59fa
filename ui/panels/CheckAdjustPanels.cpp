// The panels of the check-pattern prints, the head angular, Bi-D and PF
// adjustments. Each button calls the feature's handler with the window.
#include "ui/panels/Panels.h"

#include "adjust/HeadAngularAdjust.h"
#include "adjust/PfAdjust.h"
#include "adjust/VexBid.h"
#include "adjust/VexCheckPattern.h"
#include "ui/VexFormAdjust.h"
#include "ui/FeaturePanel.h"
#include "ui/panels/PanelKit.h"
#include "ui/Translated.h"

namespace svc::ui {

namespace {

using namespace kit;

class Panel : public FeaturePanel {
public:
    explicit Panel(const char* name) { setObjectName(name); }

protected:
    // Connects a button to a handler that takes the window.
    template <class Handler>
    void OnClick(QPushButton* button, Handler handler) {
        connect(button, &QPushButton::clicked, this, [this, handler] {
            if (TFormAdjust* frame = Frame()) handler(*frame);
        });
    }
    void OnClickWindow(QPushButton* button, void (TFormAdjust::*slot)()) {
        connect(button, &QPushButton::clicked, this, [this, slot] {
            if (TFormAdjust* frame = Frame()) (frame->*slot)();
        });
    }
};

class A3PCheckPrintPanel : public Panel {
public:
    A3PCheckPrintPanel() : Panel("A3PCheckPrintPnl") {
        Title(this, "A3+ check pattern print ", kCheckAdjustTitle);
        const char* items[] = {SVC_N("1. Waste Ink Pad counter value"),
                               SVC_N("2. Beta pattern (BK-C-M/G-LC-LM/Y) "),
                               SVC_N("3. Dot check pattern (BK-C-M/G-LC-LM/Y) "),
                               SVC_N("4. Head angular pattern "),
                               SVC_N("5. Bi-d pattern "),
                               SVC_N("6. Inclined carriage pattern "),
                               SVC_N("7. Head ID"),
                               SVC_N("8. USB ID"),
                               SVC_N("9. IEEE1394 ID"),
                               SVC_N("10. PF measurement value "),
                               SVC_N("11. Market destination "),
                               SVC_N("12. Remaining ink amount")};
        int y = 40;
        for (const char* item : items) {
            Text(this, item, QRect(40, y, 340, 18));
            y += 20;
        }
        auto* print = Button(this, "A3PCheckPrintBtn", "Print", QRect(160, 300, 90, 28));
        print->setDefault(true);
        OnClick(print, [](TFormAdjust& f) { CheckPattern().A3PCheckPrintBtnClick(f); });
    }
};

class A4PrintPanel : public Panel {
public:
    A4PrintPanel() : Panel("A4PrintPnl") {
        Title(this, "A4 normal paper print ", kCheckAdjustTitle);
        Text(this, "Click the [Print] button to print the A4 normal paper check pattern.", QRect(20, 50, 380, 36));
        Text(this, "- PF adjustment check pattern", QRect(40, 96, 340, 18));
        Text(this, "- PW sensor adjustment check pattern", QRect(40, 116, 340, 18));
        OnClick(Button(this, "A4PrintBtn", "Print", QRect(100, 180, 90, 28)),
                [](TFormAdjust& f) { CheckPattern().A4PrintBtnClick(f); });
        OnClickWindow(Button(this, "HowToCheckA4Pat", "How to check", QRect(220, 180, 100, 28)),
                      &TFormAdjust::HowToCheckA4PatClick);
    }
};

class NozzleCheckPanel : public Panel {
public:
    NozzleCheckPanel() : Panel("NozzleCheckPnl") {
        Title(this, "Nozzle check pattern print ", kCheckAdjustTitle);
        Text(this, "Click the [Print] button. The printer prints nozzle check pattern.", QRect(20, 50, 380, 36));
        OnClick(Button(this, "NozzleCheckPatternPrintBtn", "Print", QRect(100, 120, 90, 28)),
                [](TFormAdjust& f) { CheckPattern().NozzleCheckPatternPrintBtnClick(f); });
        OnClickWindow(Button(this, "NozzleCheckPaperFeedBtn", "Paper feed", QRect(220, 120, 100, 28)),
                      &TFormAdjust::HeadAngularPaperFeedBtnClick);
    }
};

class HeadAngularPanel : public Panel {
public:
    HeadAngularPanel() : Panel(kHeadAngularPanel) {
        Title(this, "Head angular adjustment ", kCheckAdjustTitle);
        QGroupBox* print = GroupBox(this, "Print", QRect(8, 36, 397, 92));
        Text(print, "Click the [Print] button. The printer prints check pattern.", QRect(10, 18, 270, 36));
        Text(print, "Use Photo Quality Inkjet Paper (A4 Size or Letter Size)", QRect(10, 58, 280, 30));
        OnClick(Button(print, "HeadAngularPrintBtn", "Print", QRect(300, 34, 86, 28)),
                [](TFormAdjust& f) { HeadAngularPrintBtnClick(f); });
        QGroupBox* adjust = GroupBox(this, "Adjust", QRect(8, 134, 397, 70));
        Text(adjust, "Click the [Adjust] button. The carriage moves to adjustment position.", QRect(10, 18, 280, 40));
        OnClick(Button(adjust, "HeadAngularCRMoveBtn", "Adjust", QRect(300, 24, 86, 28)),
                [](TFormAdjust& f) { HeadAngularCRMoveBtnClick(f); });
        QGroupBox* feed = GroupBox(this, "Paper feed", QRect(8, 210, 397, 70));
        Text(feed, "Click the [Paper feed] button. The printer performs paper feed.", QRect(10, 18, 280, 40));
        OnClickWindow(Button(feed, "HeadAngularPaperFeedBtn", "Paper feed", QRect(300, 24, 86, 28)),
                      &TFormAdjust::HeadAngularPaperFeedBtnClick);
        OnClickWindow(Button(this, "HeadAngularAdjustHowToBtn", "How to adjust", QRect(290, 292, 110, 28)),
                      &TFormAdjust::HeadAngularAdjustHowToBtnClick);
    }
};

class PfAdjustPanel : public Panel {
public:
    PfAdjustPanel() : Panel(kPfPanel) {
        Title(this, "PF adjustment ", kCheckAdjustTitle);
        QGroupBox* print = GroupBox(this, "Print", QRect(8, 36, 397, 82));
        Text(print, "Click the [Print] button. The printer prints check pattern .", QRect(10, 18, 280, 32));
        Text(print, "Use Normal Paper(A4 Size or Letter Size)", QRect(10, 54, 280, 20));
        OnClick(Button(print, "PFAdjustPrintBtn", "Print", QRect(300, 28, 86, 28)),
                [](TFormAdjust& f) { PFAdjustPrintBtnClick(f); });
        QGroupBox* input = GroupBox(this, "Input", QRect(8, 124, 397, 104));
        Text(input, "Click the [Input] button. The input value is written in EEPROM.", QRect(10, 18, 280, 32));
        Text(input, "The input range is -4 to 4.", QRect(10, 52, 200, 18));
        QLineEdit* edit = Edit(input, kPfEdit, 2, QRect(10, 74, 40, 22));
        AttachUpDown(edit, -4, 4);
        OnClick(Button(input, "PFAdjustInputBtn", "Input", QRect(210, 70, 86, 28)),
                [](TFormAdjust& f) { PFAdjustInputBtnClick(f); });
        OnClick(Button(input, "PFAdjustCheckBtn", "Read", QRect(300, 70, 86, 28)),
                [](TFormAdjust& f) { PFAdjustCheckBtnClick(f); });
        QGroupBox* feed = GroupBox(this, "Paper feed", QRect(8, 234, 397, 64));
        Text(feed, "Click the [Paper feed] button. The printer performs paper feed.", QRect(10, 18, 280, 36));
        OnClickWindow(Button(feed, "PFAdjustPaperFeedBtn", "Paper feed", QRect(300, 22, 86, 28)),
                      &TFormAdjust::HeadAngularPaperFeedBtnClick);
        OnClickWindow(Button(this, "PFAdjustHowToBtn", "How to adjust", QRect(290, 308, 110, 28)),
                      &TFormAdjust::PFAdjustHowToBtnClick);
    }
    void OnChosen() override {
        if (TFormAdjust* frame = Frame()) PFAdjustChosen(*frame);
    }
};

class BidPrintPanel : public Panel {
public:
    BidPrintPanel() : Panel(kBidPrintPanel) {
        Title(this, "Print the Bi-D pattern ", kCheckAdjustTitle);
        Text(this, "Click the [Print] button to print the Bi-D adjustment pattern of checked items.",
             QRect(20, 40, 380, 36));
        Text(this, "Use Photo Quality Inkjet paper (A4 size or Letter size)", QRect(20, 80, 380, 18));
        int x = 40;
        for (const BidSetting& s : kBidSettings) {
            CheckBox(this, QString::fromStdString(BidPrintCheckBox(s)), s.name, QRect(x, 112, 80, 22))
                ->setChecked(true);
            x += 86;
        }
        OnClick(Button(this, "BidPrintOKBtn", "Print", QRect(40, 160, 100, 28)),
                [](TFormAdjust& f) { Bid().BidPrintOKBtnClick(f); });
        OnClickWindow(Button(this, "BidPrintPaperFeedBtn", "Paper feed", QRect(160, 160, 100, 28)),
                      &TFormAdjust::HeadAngularPaperFeedBtnClick);
        OnClick(Button(this, "BidPrintShowInputBtn", "Go to input page", QRect(280, 160, 110, 28)),
                [](TFormAdjust& f) { Bid().BidPrintShowInputBtnClick(f); });
        OnClickWindow(Button(this, "BidPrintHowToAdjustBtn", "How to adjust", QRect(280, 300, 110, 28)),
                      &TFormAdjust::BidPrintHowToAdjustBtnClick);
    }
};

class BidInputPanel : public Panel {
public:
    BidInputPanel() : Panel(kBidInputPanel) {
        Title(this, "Bi-D adjustment ", kCheckAdjustTitle);
        Text(this, "Click the [Input] button to write the value of checked items.", QRect(20, 34, 380, 18));
        Text(this, "The range of adjustment value is -72 to 72.", QRect(20, 54, 380, 18));
        int row = 0;
        for (std::size_t i = 0; i < kBidSettings.size(); ++i) {
            const BidSetting& s = kBidSettings[i];
            for (bool black : {true, false}) {
                const int y = 78 + row * 26;
                const QString text =
                    QString::fromStdString(Format((black ? svc::Tr("%1 Black") : svc::Tr("%1 Color")), {s.name}));
                CheckBox(this, QString::fromStdString(BidInputCheckBox(s, black)), text, QRect(30, y, 110, 22));
                QLineEdit* edit = Edit(this, QString::fromStdString(BidInputEdit(s, black)), 3, QRect(150, y, 44, 22));
                AttachUpDown(edit, -72, 72);
                const int setting = static_cast<int>(i);
                connect(edit, &QLineEdit::textChanged, this, [this, setting, black] {
                    if (TFormAdjust* frame = Frame()) Bid().BidInputEditChange(*frame, setting, black);
                });
                ++row;
            }
        }
        OnClick(Button(this, "BidInputOKBtn", "Input", QRect(260, 84, 120, 28)),
                [](TFormAdjust& f) { Bid().BidInputOKBtnClick(f); });
        OnClick(Button(this, "BidInputCheckBtn", "Read", QRect(260, 120, 120, 28)),
                [](TFormAdjust& f) { Bid().BidInputCheckBtnClick(f); });
        OnClick(Button(this, "BidInputShowPrintBtn", "Go to print page", QRect(260, 156, 120, 28)),
                [](TFormAdjust& f) { Bid().BidInputShowPrintBtnClick(f); });
        OnClickWindow(Button(this, "BidInputHowToAdjustBtn", "How to adjust", QRect(260, 300, 120, 28)),
                      &TFormAdjust::BidPrintHowToAdjustBtnClick);
    }
};

}  // namespace

void RegisterCheckAdjustPanels(TFormAdjust& window) {
    window.RegisterPanel(Group::CheckPattern, kA3PItem, new A3PCheckPrintPanel);
    window.RegisterPanel(Group::CheckPattern, kA4Item, new A4PrintPanel);
    window.RegisterPanel(Group::CheckPattern, kNozzleCheckItem, new NozzleCheckPanel);
    window.RegisterPanel(Group::Adjustment, kHeadAngularItem, new HeadAngularPanel);
    window.RegisterPanel(Group::Adjustment, kPfItem, new PfAdjustPanel);
    window.RegisterPanel(Group::Adjustment, kBidItem, new BidPrintPanel);
    window.AddPanel(new BidInputPanel);
    // The head check print page is the head ID feature's; the print is ours.
    TPCheckPattern::HandHeadCheckPrintToHeadId();
}

}  // namespace svc::ui
