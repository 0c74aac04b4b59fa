#include "ui/VexFormAdjust.h"

#include "ui/Translated.h"

#include "journal/Recorder.h"
#include "link/Features.h"
#include "link/Host.h"
#include "link/OutsideLibraries.h"
#include "link/VexRaster.h"
#include "service/FrameRoutines.h"
#include "service/VexFactory.h"
#include "ui/FeaturePanel.h"
#include "ui/GuiHost.h"
#include "ui/PageReading.h"
#include "ui/RadioGroup.h"
#include "ui/TabControl.h"
#include "ui/VexFormBoot.h"
#include "ui/howto/HowToWindows.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QSpinBox>
#include <QTableWidget>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace svc::ui {

namespace {

const QColor kWindowColour(182, 220, 208);
const QColor kMemoBackground(198, 210, 253);
const QColor kDisabledText(118, 128, 124);
const QColor kBlack(0, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);

QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The cut position list of its panel starts on "9" each time the window is shown.
const char* const kCutPositionList = "CutPosAdjustInputComboBox";
constexpr int kCutPositionDefaultIndex = 8;

void SetColourEverywhere(QPalette& palette, QPalette::ColorRole role, const QColor& colour) {
    // The disabled window keeps its colours: busy is not the same as unusable.
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) palette.setColor(group, role, colour);
}

// Builds the "Adjusted items" panel top to bottom.
class CellBuilder {
public:
    explicit CellBuilder(QWidget* panel) : panel_(panel) {}

    void Heading(const QString& text, int height = 14) {
        auto* label = new QLabel(Tr(text), panel_);
        label->setGeometry(4, y_, 161, height);
        label->setFont(QFont("Arial", 8, QFont::Bold));
        y_ += height;
    }
    QLabel* Cell(const char* name, int x, int width, int height = 17) {
        auto* cell = new QLabel(panel_);
        cell->setObjectName(name);
        cell->setGeometry(x, y_, width, height);
        cell->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        cell->setAlignment(Qt::AlignCenter);
        cell->setWordWrap(true);
        cell->setFont(QFont("Arial", 8));
        cell->setAutoFillBackground(true);
        QPalette p = cell->palette();
        SetColourEverywhere(p, QPalette::Window, Qt::white);
        cell->setPalette(p);
        return cell;
    }
    void Caption(const QString& text, int x, int width, int height = 17) {
        auto* label = new QLabel(Tr(text), panel_);
        label->setGeometry(x, y_, width, height);
        label->setFont(QFont("Arial", 8));
        label->setAlignment(Qt::AlignVCenter | Qt::AlignRight);
    }
    void Next(int height) { y_ += height; }

private:
    QWidget* panel_;
    int y_ = 4;
};

}  // namespace

TFormAdjust::TFormAdjust(TFormBoot& boot)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      boot_(boot) {
    setObjectName("FormAdjust");
    setWindowTitle(Tr("Adjustment program"));
    setFixedSize(846, 464);
    setFont(QFont("Arial", 9));
    QPalette p = palette();
    SetColourEverywhere(p, QPalette::Window, kWindowColour);
    // Unavailable items must stay legible on the green background.
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, kDisabledText);
    setPalette(p);
    setAutoFillBackground(true);

    BuildLeft();
    BuildBottomLeft();
    BuildCentre();
    BuildAdjustedItems();

    disableTimer_ = new QTimer(this);
    disableTimer_->setObjectName("DisableTimer");
    disableTimer_->setInterval(100);
    connect(disableTimer_, &QTimer::timeout, this, &TFormAdjust::DisableTimerTimer);
    disableTimer_->start();
    CentreOnScreen(this);
}

TFormAdjust::~TFormAdjust() = default;

void TFormAdjust::BuildLeft() {
    // Four captions do not fit in 240 pixels: the tabs wrap to two rows.
    tabs_ = new TabControl(2, this);
    tabs_->setObjectName("AdjustmentTab");
    tabs_->setGeometry(kLeftRegion);
    for (const GroupInfo& group : Groups()) {
        const int g = static_cast<int>(group.group);
        QStringList items;
        for (std::string_view caption : ItemCaptions(group.group)) items << Tr(ToQString(caption));
        auto* page = new QWidget(tabs_);
        page->setObjectName(ToQString(group.radioGroup).replace("RdoGrp", "Sheet"));
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(4, 4, 4, 4);
        groups_[g] = new RadioGroup(ToQString(group.radioGroup), Tr(ToQString(group.title)), items, page);
        groups_[g]->setFont(QFont("Arial", 9));
        layout->addWidget(groups_[g]);
        tabs_->AddTab(page, Tr(ToQString(group.tab)));
    }
    connect(groups_[0], &RadioGroup::Click, this, &TFormAdjust::AdjustRdoGrpClick);
    connect(groups_[1], &RadioGroup::Click, this, &TFormAdjust::MaintenanceRdoGrpClick);
    connect(groups_[2], &RadioGroup::Click, this, &TFormAdjust::CheckPatternRdoGrpClick);
    connect(groups_[3], &RadioGroup::Click, this, &TFormAdjust::AppendixRdoGrpClick);
    connect(tabs_, &TabControl::currentChanged, this, &TFormAdjust::AdjustmentTabChange);
}

void TFormAdjust::BuildBottomLeft() {
    auto* area = new QWidget(this);
    area->setObjectName("ControlPnl");
    area->setGeometry(kBottomLeftRegion);
    modelName_ = new QLabel(Tr("QX-900"), area);
    modelName_->setObjectName("ModelNameLbl");
    modelName_->setGeometry(0, 8, 240, 30);
    modelName_->setAlignment(Qt::AlignCenter);
    modelName_->setFont(QFont("Arial", 14, QFont::Bold));
    getStatusBtn_ = new QPushButton(Tr("Get Status"), area);
    getStatusBtn_->setObjectName("GetStatusBtn");
    getStatusBtn_->setGeometry(14, 52, 100, 30);
    quitBtn_ = new QPushButton(Tr("Quit"), area);
    quitBtn_->setObjectName("QuitBtn");
    quitBtn_->setGeometry(126, 52, 100, 30);
    connect(getStatusBtn_, &QPushButton::clicked, this, &TFormAdjust::GetStatusBtnClick);
    connect(quitBtn_, &QPushButton::clicked, this, &TFormAdjust::QuitBtnClick);
    // Quit is the cancel button of the window.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, quitBtn_, &QPushButton::click);
}

void TFormAdjust::BuildCentre() {
    canvas_ = new QFrame(this);
    canvas_->setObjectName("CanvasPnl");
    canvas_->setGeometry(kCentreRegion);
    static_cast<QFrame*>(canvas_)->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    memo_ = new QPlainTextEdit(this);
    memo_->setObjectName("StatusMemo");
    memo_->setReadOnly(true);
    memo_->setFocusPolicy(Qt::NoFocus);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo_->setFont(QFont("Arial", 9));
    QPalette p = memo_->palette();
    SetColourEverywhere(p, QPalette::Base, kMemoBackground);
    memo_->setPalette(p);
    SetMemoColour(kBlack);
    PlaceMemo(kBottomCentreRegion.width());
}

void TFormAdjust::BuildAdjustedItems() {
    auto* panel = new QFrame(this);
    adjustedItems_ = panel;
    panel->setObjectName("AdjustedItemsPnl");
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setGeometry(kRightRegion);
    CellBuilder b(panel);
    auto* title = new QLabel(Tr("Adjusted items"), panel);
    title->setObjectName("AdjustedItemsLbl");
    title->setGeometry(4, 4, 161, 18);
    title->setAlignment(Qt::AlignCenter);
    title->setFont(QFont("Arial", 9, QFont::Bold));
    b.Next(22);

    b.Heading("Head ID");
    b.Cell("HeadIDPnl", 4, 161, 30);
    b.Next(34);
    b.Heading("PF adjustment");
    b.Cell("PFAdjustPnl", 4, 60);
    b.Next(21);
    b.Heading("PW sensor adjustment");
    b.Caption("Top", 4, 34);
    b.Cell("PWSensorTopPnl", 40, 40);
    b.Caption("Bottom", 82, 40);
    b.Cell("PWSensorBottomPnl", 124, 40);
    b.Next(19);
    b.Caption("Left", 4, 34);
    b.Cell("PWSensorLeftPnl", 40, 40);
    b.Caption("Right", 82, 40);
    b.Cell("PWSensorRightPnl", 124, 40);
    b.Next(21);
    b.Heading("Bi-D");
    b.Caption("Black", 56, 50, 14);
    b.Caption("Color", 108, 50, 14);
    b.Next(15);
    const char* rows[] = {"VSD1", "VSD2", "VSD2'", "VSD4"};
    const char* keys[] = {"VSD1", "VSD2", "VSD2D", "VSD4"};
    for (int r = 0; r < 4; ++r) {
        b.Caption(rows[r], 4, 44);
        b.Cell(qPrintable(QString("Bid%1BkPnl").arg(keys[r])), 56, 50);
        b.Cell(qPrintable(QString("Bid%1CLPnl").arg(keys[r])), 110, 50);
        b.Next(19);
    }
    b.Next(2);
    b.Heading("Pixel shift adjustment");
    const char* letters = "ABCDEF";
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QChar letter(letters[row * 3 + col]);
            b.Caption(letter, 4 + col * 54, 14);
            b.Cell(qPrintable(QString("ColorShift%1Pnl").arg(letter)), 20 + col * 54, 34);
        }
        b.Next(19);
    }
    b.Next(2);
    b.Heading("USB ID");
    b.Cell("UsbIDPnl", 4, 161);
    b.Next(21);
    b.Heading("IEEE1394 ID");
    b.Cell("IEEE1394IDPnl", 4, 161);
    b.Next(21);
    b.Heading("Waste Ink Pad Counter");
    b.Cell("WasteInkPadCounterPnl", 4, 80);
}

// ---- memo and busy state ----

void TFormAdjust::SetMemoColour(const QColor& colour) {
    QPalette p = memo_->palette();
    SetColourEverywhere(p, QPalette::Text, colour);
    memo_->setPalette(p);
}

QColor TFormAdjust::MemoTextColour() const { return memo_->palette().color(QPalette::Active, QPalette::Text); }

void TFormAdjust::PlaceMemo(int width) {
    const QRect r = kBottomCentreRegion;
    memo_->setGeometry(r.x(), r.y(), width, r.height());
}

namespace {

// The service journal's name for what the window begins: the button pressed
// (it has the focus) and the panel shown.
std::string OperationName(const std::vector<FeaturePanel*>& panels) {
    std::string panel;
    for (const FeaturePanel* p : panels)
        if (p->isVisible()) panel = p->objectName().toStdString();
    const QWidget* focus = QApplication::focusWidget();
    if (qobject_cast<const QAbstractButton*>(focus) && !focus->objectName().isEmpty())
        return focus->objectName().toStdString() + (panel.empty() ? "" : " (" + panel + ")");
    return panel.empty() ? std::string("window") : panel;
}

std::vector<std::string> MemoLines(const QPlainTextEdit& memo) {
    std::vector<std::string> lines;
    for (const QString& line : memo.toPlainText().split(QLatin1Char('\n'))) lines.push_back(line.toStdString());
    return lines;
}

}  // namespace

Result TFormAdjust::SetOperationState(int mode, const std::string& text) {
    const ModeEffect effect = EffectOfMode(mode);
    if (Result r = WaitForMode(*this, effect.wait); r != rc::Ok) return r;
    EditMemo(effect.memo, Tr(text));
    ApplyBusyState(effect);
    // An operation of the window runs from the busy state to the window's
    // enabling; the journal records it as one.
    journal::Recorder& journal = journal::Journal();
    if (effect.window == WindowChange::Disable && !journal.InOperation())
        journal.BeginOperation(OperationName(panels_), "");
    else if ((effect.window == WindowChange::EnableByTimer || effect.window == WindowChange::EnableNow) &&
             journal.InOperation())
        journal.EndOperation(effect.colour != TextColour::Red, MemoLines(*memo_));
    PaintChangesNow();
    return rc::Ok;
}

void TFormAdjust::EditMemo(MemoEdit edit, const QString& text) {
    switch (edit) {
        case MemoEdit::Replace:
            memo_->setPlainText(text);
            break;
        case MemoEdit::Append: {
            QTextCursor end = memo_->textCursor();
            end.movePosition(QTextCursor::End);
            end.insertText(text);
            break;
        }
        case MemoEdit::NewLine:
            // The first line of an empty memo is not preceded by a line break.
            if (memo_->document()->isEmpty())
                memo_->setPlainText(text);
            else
                memo_->appendPlainText(text);
            break;
        case MemoEdit::Keep:
            return;
    }
    memo_->verticalScrollBar()->setValue(memo_->verticalScrollBar()->maximum());
}

// The operation that follows holds the event loop, so what changed must be
// on the screen now: the parts of the window marked for repainting are
// painted at once, as the event loop would paint them (a state change that
// greys the window repaints all of it; a new memo line only the memo).
void TFormAdjust::PaintChangesNow() {
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(this, &request);
}

void TFormAdjust::ApplyBusyState(const ModeEffect& effect) {
    switch (effect.colour) {
        case TextColour::Black:
            SetMemoColour(kBlack);
            break;
        case TextColour::Blue:
            SetMemoColour(kBlue);
            break;
        case TextColour::Red:
            SetMemoColour(kRed);
            break;
        case TextColour::Keep:
            break;
    }
    switch (effect.cursor) {
        case CursorChange::Normal:
            ShowNormalCursor();
            break;
        case CursorChange::Hourglass:
            ShowHourglass();
            break;
        case CursorChange::Keep:
            break;
    }
    switch (effect.window) {
        case WindowChange::Disable:
            setEnabled(false);
            break;
        case WindowChange::EnableNow:
            setEnabled(true);
            break;
        case WindowChange::EnableByTimer:
            disableTimer_->start();
            break;
        case WindowChange::Keep:
            break;
    }
}

void TFormAdjust::DisableTimerTimer() {
    setEnabled(true);
    disableTimer_->stop();
}

void TFormAdjust::SetFeatureAvailability(int level) { svc::SetFeatureAvailability(*this, level); }

void TFormAdjust::EnableItems(const Availability& a) {
    RadioGroup* adjustment = RadioGroupOf(Group::Adjustment);
    for (int i = 0; i < kAdjustmentItems; ++i) adjustment->SetItemEnabled(i, a.adjustment[i]);
    RadioGroup* maintenance = RadioGroupOf(Group::Maintenance);
    for (int i = 0; i < kMaintenanceItems; ++i) maintenance->SetItemEnabled(i, a.maintenance[i]);
    RadioGroupOf(Group::CheckPattern)->setEnabled(a.checkPatternGroup);
    RadioGroup* appendix = RadioGroupOf(Group::Appendix);
    for (int i = 0; i < kAppendixItems; ++i) appendix->SetItemEnabled(i, a.appendix[i]);
}

void TFormAdjust::EnableForReport() {
    if (journal::Journal().InOperation()) journal::Journal().EndOperation(false, MemoLines(*memo_));
    setEnabled(true);
    tabs_->setEnabled(true);
    RadioGroupOf(Group::Maintenance)->setEnabled(true);
    quitBtn_->setEnabled(true);
    getStatusBtn_->setEnabled(true);
    ShowNormalCursor();
}

void TFormAdjust::FocusField(const std::string& objectName) {
    if (auto* field = findChild<QWidget*>(QString::fromStdString(objectName))) field->setFocus();
}

// ---- panels ----

void TFormAdjust::AddPanel(FeaturePanel* panel) {
    panel->setParent(this);
    panel->frame_ = this;
    panel->setGeometry(kCentreRegion);
    panel->hide();
    panels_.push_back(panel);
#ifdef SVC_PAGE_READING
    InstallPageReading(*this, panel);  // drop, paste or open a printed page onto a panel that reads one
#endif
}

void TFormAdjust::RegisterPanel(Group group, int item, FeaturePanel* panel) {
    AddPanel(panel);
    itemPanels_[{static_cast<int>(group), item}] = panel;
}

FeaturePanel* TFormAdjust::PanelOf(Group group, int item) const {
    const auto found = itemPanels_.find({static_cast<int>(group), item});
    return found == itemPanels_.end() ? nullptr : found->second;
}

void TFormAdjust::ShowPanel(FeaturePanel* panel) {
    panel->raise();
    panel->show();
}

void TFormAdjust::WidenMemo() {
    adjustedItems_->hide();
    PlaceMemo(kWideMemoWidth);
}

QLabel* TFormAdjust::AdjustedCellLabel(const QString& name) const {
    return adjustedItems_->findChild<QLabel*>(name, Qt::FindDirectChildrenOnly);
}

std::string TFormAdjust::AdjustedCell(std::string_view name) const {
    const QLabel* cell = AdjustedCellLabel(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    return cell ? cell->text().toStdString() : std::string();
}

void TFormAdjust::SetAdjustedCell(std::string_view name, const std::string& text) {
    if (QLabel* cell = AdjustedCellLabel(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))))
        cell->setText(QString::fromStdString(text));
}

// ---- FeatureFrame: the panels' controls by objectName ----

namespace {
QString ToQt(std::string_view name) { return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())); }
}  // namespace

QWidget* TFormAdjust::Control(std::string_view name) const {
    const QString key = ToQt(name);
    const auto known = controls_.constFind(key);
    if (known != controls_.cend() && *known && (*known)->objectName() == key) return *known;
    QWidget* found = findChild<QWidget*>(key);
    if (found) controls_.insert(key, found);
    return found;
}

std::string TFormAdjust::Text(std::string_view name) const {
    QWidget* w = Control(name);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toStdString();
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(w)) return spin->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toStdString();
    if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text().toStdString();
    if (auto* memo = qobject_cast<QPlainTextEdit*>(w)) return memo->toPlainText().toStdString();
    return {};
}

void TFormAdjust::SetText(std::string_view name, const std::string& text) {
    QWidget* w = Control(name);
    const QString t = QString::fromStdString(text);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(t);
    else if (auto* spin = qobject_cast<QSpinBox*>(w))
        spin->setValue(t.toInt());
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(t);
    else if (auto* combo = qobject_cast<QComboBox*>(w))
        combo->setCurrentText(t);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(t);
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(w))
        memo->setPlainText(t);
}

bool TFormAdjust::Checked(std::string_view name) const {
    auto* box = qobject_cast<QAbstractButton*>(Control(name));
    return box && box->isChecked();
}

void TFormAdjust::SetChecked(std::string_view name, bool checked) {
    if (auto* box = qobject_cast<QAbstractButton*>(Control(name))) box->setChecked(checked);
}

int TFormAdjust::ItemIndex(std::string_view name) const {
    QWidget* w = Control(name);
    if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentIndex();
    if (auto* group = qobject_cast<RadioGroup*>(w)) return group->ItemIndex();
    return -1;
}

void TFormAdjust::SetItemIndex(std::string_view name, int index) {
    QWidget* w = Control(name);
    if (auto* combo = qobject_cast<QComboBox*>(w))
        combo->setCurrentIndex(index);
    else if (auto* group = qobject_cast<RadioGroup*>(w))
        group->SetItemIndex(index);
}

int TFormAdjust::Position(std::string_view name) const {
    QWidget* w = Control(name);
    if (auto* bar = qobject_cast<QProgressBar*>(w)) return bar->value();
    if (auto* spin = qobject_cast<QSpinBox*>(w)) return spin->value();
    return 0;
}

void TFormAdjust::SetPosition(std::string_view name, int position) {
    QWidget* w = Control(name);
    if (auto* bar = qobject_cast<QProgressBar*>(w))
        bar->setValue(position);
    else if (auto* spin = qobject_cast<QSpinBox*>(w))
        spin->setValue(position);
}

void TFormAdjust::SetEnabled(std::string_view name, bool enabled) {
    if (QWidget* w = Control(name)) w->setEnabled(enabled);
}

void TFormAdjust::SetVisible(std::string_view name, bool visible) {
    if (QWidget* w = Control(name)) w->setVisible(visible);
}

std::string TFormAdjust::CellText(std::string_view grid, int column, int row) const {
    auto* table = qobject_cast<QTableWidget*>(Control(grid));
    if (!table) return {};
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text().toStdString() : std::string();
}

void TFormAdjust::SetCellText(std::string_view grid, int column, int row, const std::string& text) {
    auto* table = qobject_cast<QTableWidget*>(Control(grid));
    if (!table || row < 0 || column < 0 || row >= table->rowCount() || column >= table->columnCount()) return;
    const QString value = QString::fromStdString(text);
    QTableWidgetItem* item = table->item(row, column);
    if (!item) {
        if (value.isEmpty()) return;  // a cell without an item shows nothing already
        item = new QTableWidgetItem;
        table->setItem(row, column, item);
    } else if (item->text() == value) {
        return;  // it shows that already: no change signal, nothing to repaint
    }
    item->setText(value);
    // An emptied cell is only marked for the next repaint: the grid is emptied
    // as an operation starts, whose busy state repaints the window at once.
    if (value.isEmpty()) return;
    // The technician watches the grid fill byte by byte: the new cells are
    // painted as they come, the grid and not the whole window, at most once a
    // display frame. Over a slow port that is every byte; over a fast one the
    // bytes of one frame go together, and the last ones with the window's
    // repaint when the operation ends.
    QWidget* viewport = table->viewport();
    if (gridViewport_ != viewport) {
        gridPending_ = QRegion();
        gridViewport_ = viewport;
    }
    gridPending_ += table->visualItemRect(item);
    if (!gridPaintClock_.isValid() || gridPaintClock_.elapsed() >= kGridFrameMs) {
        viewport->repaint(gridPending_);
        gridPending_ = QRegion();
        gridPaintClock_.start();
    }
}

int TFormAdjust::ModelCode() const { return boot_.ModelCode(); }

std::uint16_t TFormAdjust::PortCode() const { return boot_.PortCode(); }

void TFormAdjust::CloseMainWindow() {
    // Asked for by the operation itself at its end: the busy state it leaves
    // behind (the window waits for the disable timer) must not refuse the close.
    DisableTimerTimer();
    close();
}

void TFormAdjust::ShowPanel(std::string_view panelName) {
    const QString name = ToQt(panelName);
    for (FeaturePanel* panel : panels_)
        if (panel->objectName() == name) return ShowPanel(panel);
}

bool TFormAdjust::HideAllPanels(int keepText) {
    // A carriage left out of its home position by the PG adjustment goes
    // back before any other panel can be used.
    if (!ReturnCarriageHome(*this)) return false;
    canvas_->hide();
    for (FeaturePanel* panel : panels_) panel->hide();
    adjustedItems_->show();
    if (keepText == 0) memo_->clear();
    memo_->show();
    SetMemoColour(kBlack);
    PlaceMemo(kBottomCentreRegion.width());
    return true;
}

// ---- handlers ----

void TFormAdjust::ClearSelections(bool keepAppendix, int exceptGroup) {
    for (int g = 0; g < kGroupCount; ++g) {
        if (g == exceptGroup) continue;
        if (keepAppendix && g == static_cast<int>(Group::Appendix)) continue;
        groups_[g]->SetItemIndex(-1);
    }
}

void TFormAdjust::RadioGroupClick(Group group) {
    HideAllPanels(0);
    const int item = RadioGroupOf(group)->ItemIndex();
    auto found = itemPanels_.find({static_cast<int>(group), item});
    if (found != itemPanels_.end()) {
        ShowPanel(found->second);
        found->second->OnChosen();
    } else {
        canvas_->show();  // a feature without a panel yet
    }
    ClearSelections(false, static_cast<int>(group));
}

void TFormAdjust::AdjustRdoGrpClick() { RadioGroupClick(Group::Adjustment); }
void TFormAdjust::MaintenanceRdoGrpClick() { RadioGroupClick(Group::Maintenance); }
void TFormAdjust::CheckPatternRdoGrpClick() { RadioGroupClick(Group::CheckPattern); }
void TFormAdjust::AppendixRdoGrpClick() { RadioGroupClick(Group::Appendix); }

void TFormAdjust::AdjustmentTabChange() {
    HideAllPanels(0);
    canvas_->show();
    memo_->clear();
    ClearSelections(false, -1);
}

void TFormAdjust::QuitBtnClick() { close(); }

void TFormAdjust::GetStatusBtnClick() { svc::GetStatus(*this, boot_.PortCode()); }

void TFormAdjust::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TFormAdjust::FormShow() {
    if (const ModelInfo* model = FindModel(boot_.ModelCode()))
        modelName_->setText(ToQString(model->name));
    else if (boot_.ModelCode() == kModelNone)
        host().MessageBox(BoxOwner::MainWindow, "program miss!!", "Error", BoxIcon::Error, BoxButtons::Ok);
    if (auto* cutPosition = findChild<QComboBox*>(kCutPositionList))
        cutPosition->setCurrentIndex(kCutPositionDefaultIndex);
    GetStatusBtnClick();
}

void TFormAdjust::closeEvent(QCloseEvent* event) {
    // A busy window cannot be closed: the operation still uses the channel
    // that closing would end under it.
    if (!isEnabled()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
    if (quit_) quit_->show();
}

void TFormAdjust::FormClose() {
    HideAllPanels(0);
    canvas_->show();
    for (const AdjustedCellInfo& cell : AdjustedCells())
        if (cell.emptiedAtClose) SetAdjustedCell(cell.name, std::string());

    ShowHourglass();
    CloseChannelUnlessExchanging(*this);
    ShowNormalCursor();

    ClearSelections(true, -1);
    tabs_->setEnabled(true);
    {
        const QSignalBlocker quiet(tabs_);  // a programmatic switch is not a tab change
        tabs_->setCurrentIndex(0);
    }
    quitBtn_->setEnabled(true);
}

void TFormAdjust::HeadAngularPaperFeedBtnClick() { PaperFeed(*this); }

// ---- how-to windows ----

void TFormAdjust::ShowHowTo(HowTo which) {
    if (howTo_) howTo_->Show(which);
}

void TFormAdjust::HeadAngularAdjustHowToBtnClick() { ShowHowTo(HowTo::HdAngAdjust); }
void TFormAdjust::PFAdjustHowToBtnClick() { ShowHowTo(HowTo::PFAdjust); }
void TFormAdjust::HowToCLShiftAdjustBtnClick() { ShowHowTo(HowTo::CLShiftAdjust); }
void TFormAdjust::BidPrintHowToAdjustBtnClick() { ShowHowTo(HowTo::BidAdjust); }
void TFormAdjust::PWSensorHowToAdjustBtnClick() { ShowHowTo(HowTo::PWAdjust); }
void TFormAdjust::CutPosHowToAdjustBtnClick() { ShowHowTo(HowTo::CutPosAdjust); }
void TFormAdjust::PGHowToAdjustBtnClick() { ShowHowTo(HowTo::PGAdjust); }
void TFormAdjust::HowToCheckA4PatClick() { ShowHowTo(HowTo::CheckA4Pat); }
void TFormAdjust::PGAdjustHowToCleanBtnClick() { ShowHowTo(HowTo::Clean); }

}  // namespace svc::ui
