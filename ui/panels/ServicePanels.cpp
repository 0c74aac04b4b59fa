#include "ui/panels/ServicePanels.h"

#include "service/VexHeatProtect.h"
#include "service/VexMaintenance.h"
#include "service/VexPGAdjust.h"
#include "ui/VexFormAdjust.h"
#include "ui/panels/PanelKit.h"
#include "ui/panels/Panels.h"
#include "ui/Translated.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>

namespace svc::ui {

namespace {

const QColor kNoticeColour(255, 128, 128);

QLabel* Label(QWidget* parent, const QString& text, const QRect& geometry, const char* objectName = nullptr) {
    return kit::Text(parent, text, geometry, objectName);
}

QLabel* Title(QWidget* parent, const QString& text, const char* objectName = nullptr) {
    return kit::Title(parent, text, kit::kServiceTitle, objectName);
}

using kit::Button;

void Prepare(FeaturePanel* panel, const char* objectName) {
    panel->setObjectName(objectName);
    panel->setFont(kit::TextFont());
    panel->setAutoFillBackground(true);
}

// The panel's OK button takes Return and Enter once the panel is picked.
void MakeDefault(QPushButton* button) {
    button->setAutoDefault(true);
    button->setDefault(true);
}

}  // namespace

ClickPanel::ClickPanel(const char* objectName, const QString& caption, QWidget* parent)
    : QPushButton(Tr(caption), parent) {
    setObjectName(objectName);
    setFont(QFont("Arial", 9, QFont::Bold));
    setCursor(Qt::PointingHandCursor);
    setStyleSheet(
        "QPushButton { border: 2px outset #9aa8a2; background: #e8f0ec; }"
        "QPushButton:pressed { border-style: inset; }"
        "QPushButton:disabled { color: #767f7c; }");
}

// ---- head cleaning and ink charge ----

CleaningPanel::CleaningPanel() {
    Prepare(this, kCleaningPanel);
    Title(this, "Head cleaning ", "CleaningTitleLbl");
    Label(this, "Click the [OK] button. The printer performs the head cleaning.", {24, 70, 370, 36}, "CleaningMsgLbl1");
    Label(this, "This function takes about 60 seconds.", {24, 112, 370, 20}, "CleaningMsgLbl2");
    Label(this, "About 4% of bland-new I/C is consumed in this function.(each color)", {24, 138, 370, 36},
          "CleaningMsgLbl3");
    ok_ = Button(this, "CleaningOKBtn", "OK", {156, 260, 100, 30});
    MakeDefault(ok_);
    connect(ok_, &QPushButton::clicked, this, [this] { Maintenance().CleaningOKBtnClick(*Frame()); });
}

void CleaningPanel::OnChosen() { ok_->setFocus(); }

InkChargePanel::InkChargePanel() {
    Prepare(this, kInkChargePanel);
    Title(this, "Ink charge ", "InkChargeTitleLbl");
    Label(this, "Click the [OK] button. The printer performs ink charge.", {24, 70, 370, 36}, "InkChargeMsgLbl1");
    Label(this, "About 14% of bland-new I/C is consumed in this function.", {24, 112, 370, 36}, "InkChargeMsgLbl2");
    Label(this, "The function takes about 90 seconds.", {24, 154, 370, 20}, "InkChargeMsgLbl3");
    ok_ = Button(this, "InkChargeOKBtn", "OK", {156, 260, 100, 30});
    MakeDefault(ok_);
    connect(ok_, &QPushButton::clicked, this, [this] { Maintenance().InkChargeOKBtnClick(*Frame()); });
}

void InkChargePanel::OnChosen() { ok_->setFocus(); }

// ---- CR motor drive dispersion ----

CRHeatProtectPanel::CRHeatProtectPanel() {
    Prepare(this, kCRHeatProtectPanel);
    Title(this, "CR motor drive dispersion sequence ", "CRHeatProtectOffsetTitleLbl");

    auto* notice = new QFrame(this);
    notice->setObjectName("CRHeatProtectNoticePnl");
    notice->setGeometry(8, 38, 397, 150);
    notice->setAutoFillBackground(true);
    QPalette p = notice->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Window, kNoticeColour);
        p.setColor(group, QPalette::WindowText, Qt::white);
    }
    notice->setPalette(p);
    auto* sign = new QLabel(notice);
    sign->setObjectName("CRHeatProtectWarningImage");
    sign->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(70, 70));
    sign->setGeometry(4, 4, 70, 70);
    // clang-format off
    Label(notice, "Be sure to perform this sequence when you replace a 1.main board, 2.CR motor or 3.PS board with new one. Excepting its case, do not perform this sequence.",
          {80, 2, 313, 70}, "CRHeatProtectNoticeLbl1");
    // clang-format on
    Label(notice, "When you replace only the main board, we recommend to perform the EEPROM data copy function.",
          {6, 74, 387, 30}, "CRHeatProtectNoticeLbl2");
    Label(notice, "This function is found under the Maintenance Tab.", {6, 104, 387, 16}, "CRHeatProtectNoticeLbl3");
    Label(notice, "If the copy function finished properly, this sequence is not necessary.", {6, 122, 387, 26},
          "CRHeatProtectNoticeLbl4");
    for (QLabel* l : notice->findChildren<QLabel*>()) l->setFont(QFont("Arial", 8, QFont::Bold));

    Label(
        this,
        "Select and mark your replaced part(s) from followings, then press [OK] button.You can select multiple items.",
        {8, 192, 397, 32}, "CRHeatProtectOffsetMsgLbl");

    auto* parts = new QGroupBox(Tr("replaced parts"), this);
    parts->setObjectName("ReplacedPartsGrp");
    parts->setGeometry(8, 226, 300, 124);
    const char* const texts[] = {SVC_N("main board"), SVC_N("CR motor"), SVC_N("PS board"),
                                 SVC_N("CR guide shaft(main)"), SVC_N("CR guide shaft(sub)")};
    for (std::size_t i = 0; i < kReplacedPartBoxes.size(); ++i) {
        auto* box = new QCheckBox(Tr(texts[i]), parts);
        box->setObjectName(kReplacedPartBoxes[i]);
        const int column = i < 3 ? 0 : 1;
        const int row = i < 3 ? static_cast<int>(i) : static_cast<int>(i) - 3;
        box->setGeometry(10 + column * 138, 22 + row * 32, 134, 24);
    }
    QPushButton* ok = Button(this, "CRHeatProtectOffsetOKBtn", "OK", {318, 310, 86, 30});
    connect(ok, &QPushButton::clicked, this, [this] { HeatProtect().CRHeatProtectOffsetOKBtnClick(*Frame()); });
}

void CRHeatProtectPanel::OnChosen() { TPHeatProtect::ClearReplacedParts(*Frame()); }

// ---- PG adjustment ----

PGAdjustPanel::PGAdjustPanel() {
    Prepare(this, kPGAdjustPanel);
    Title(this, "PG adjustment ", "PGAdjustTitleLbl");
    QPushButton* howTo = Button(this, "PGHowToAdjustBtn", "How to adjust", {196, 8, 100, 26});
    QPushButton* howToClean = Button(this, "PGAdjustHowToCleanBtn", "How to Clean", {302, 8, 100, 26});
    connect(howTo, &QPushButton::clicked, this, [this] { Frame()->PGHowToAdjustBtnClick(); });
    connect(howToClean, &QPushButton::clicked, this, [this] { Frame()->PGAdjustHowToCleanBtnClick(); });

    auto* adjustment = new QGroupBox(Tr("Adjustment"), this);
    adjustment->setObjectName("PGAdjustAdjustmentGrp");
    adjustment->setGeometry(8, 40, 397, 204);
    Label(adjustment, "Before performing this adjustment, follow the instructions in the \"How to Clean\" button.",
          {10, 18, 377, 32}, "PGAdjustCleanFirstLbl");
    Label(adjustment, "Note:           ", {10, 52, 60, 18}, "PGAdjustNoteLbl");
    QLabel* main = Label(adjustment, "<- main shaft ->", {10, 72, 377, 16}, "PGAdjustMainShaftLbl");
    main->setAlignment(Qt::AlignCenter);
    QLabel* sub = Label(adjustment, "<- sub shaft ->", {10, 120, 377, 16}, "PGAdjustSubShaftLbl");
    sub->setAlignment(Qt::AlignCenter);
    // Left positions on the left, as the carriage stands seen from the front.
    struct Place {
        PGPoint point;
        QRect geometry;
    };
    const Place places[] = {
        {PGPoint::MainLeft, {10, 90, 180, 28}}, {PGPoint::MainRight, {207, 90, 180, 28}},
        {PGPoint::SubLeft, {10, 138, 180, 28}}, {PGPoint::SubRight, {207, 138, 180, 28}},
        {PGPoint::Center, {10, 170, 180, 28}},
    };
    for (const Place& place : places) {
        const PGPointInfo& info = InfoOf(place.point);
        auto* panel = new ClickPanel(info.panel, info.caption, adjustment);
        panel->setGeometry(place.geometry);
        const PGPoint point = place.point;
        connect(panel, &QPushButton::clicked, this, [this, point] { PGAdjustMove(*Frame(), point); });
    }
    auto* finish = new ClickPanel("PGAdjustEndPnl", "Finish", adjustment);
    finish->setGeometry(207, 170, 180, 28);
    connect(finish, &QPushButton::clicked, this, [this] { PGAdjustEndPnlClick(*Frame()); });

    auto* print = new QGroupBox(Tr("Print"), this);
    print->setObjectName("PGAdjustPrintGrp");
    print->setGeometry(8, 248, 397, 102);
    Label(print, "Click the [Print] button. The printer prints check pattern.", {10, 18, 377, 18},
          "PGAdjustPrintMsgLbl1");
    Label(print, "Use Photo Quality Inkjet Paper(A3+ Size)", {10, 38, 377, 18}, "PGAdjustPrintMsgLbl2");
    QPushButton* printBtn = Button(print, "PGAdjustPrintBtn", "Print", {90, 62, 100, 30});
    QPushButton* feed = Button(print, "PGAdjustPaperFeedBtn", "Paper feed", {206, 62, 100, 30});
    connect(printBtn, &QPushButton::clicked, this, [this] { PGAdjustPrintBtnClick(*Frame()); });
    connect(feed, &QPushButton::clicked, this, [this] { Frame()->HeadAngularPaperFeedBtnClick(); });
}

// ---- refurbishment for DOA ----

ExchangeFirstPanel::ExchangeFirstPanel() {
    Prepare(this, kExchangeFirstPanel);
    Title(this, "Refurbishment for DOA ", "ExchangeTitleLbl1");
    Label(this,
          "Click the [Transportation liquid exchange sequence] button to start the Refurbishment for DOA function.",
          {24, 70, 370, 40}, "ExchangeMsgLbl1");
    auto* start = new ClickPanel("ExchangeSequence1Pnl", "Transportation liquid exchange sequence", this);
    start->setGeometry(56, 150, 300, 40);
    start->setToolTip(Tr("To discharge Ink with Transportation Liquid."));
    connect(start, &QPushButton::clicked, this, [this] { Maintenance().ExchangeSequence1PnlClick(*Frame()); });
}

ExchangeSecondPanel::ExchangeSecondPanel() {
    Prepare(this, kExchangeSecondPanel);
    Title(this, "Refurbishment for DOA ", "ExchangeTitleLbl2");
    auto* steps = new QGroupBox(Tr(kExchangeStepsHeading), this);
    steps->setObjectName("ExchangeStepsGrp");
    steps->setGeometry(8, 44, 397, 300);
    for (std::size_t i = 0; i < kExchangeSteps.size(); ++i) {
        const ExchangeStep& step = kExchangeSteps[i];
        const int top = 24 + static_cast<int>(i) * 90;
        QLabel* number = Label(steps, step.number, {10, top, 70, 20});
        number->setFont(QFont("Arial", 9, QFont::Bold));
        for (QLabel* text : {number, Label(steps, step.action, {80, top, 307, 36}),
                             Label(steps, step.result, {80, top + 40, 307, 20})})
            text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
}

void RegisterServicePanels(TFormAdjust& window) {
    window.RegisterPanel(Group::Adjustment, kCRDispersionItem, new CRHeatProtectPanel);
    window.RegisterPanel(Group::Adjustment, kPGAdjustmentItem, new PGAdjustPanel);
    window.RegisterPanel(Group::Maintenance, kHeadCleaningItem, new CleaningPanel);
    window.RegisterPanel(Group::Maintenance, kInkChargeItem, new InkChargePanel);
    window.RegisterPanel(Group::Maintenance, kRefurbishmentItem, new ExchangeFirstPanel);
    window.AddPanel(new ExchangeSecondPanel);
}

}  // namespace svc::ui
