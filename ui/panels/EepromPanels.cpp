// The panels of the EEPROM and identity features: market destination, head
// ID (input and head check print pages), USB ID, IEEE 1394 ID, EEPROM data
// copy, waste-ink pad counter, EEPROM viewer and printer information (two
// pages). Each button calls the feature's handler with the window as frame.
#include "ui/panels/Panels.h"

#include "eeprom/VexDataConversion.h"
#include "eeprom/VexEepromCopy.h"
#include "eeprom/VexHeadId.h"
#include "eeprom/VexIeee1394.h"
#include "eeprom/VexMarketSetting.h"
#include "eeprom/VexUsbId.h"
#include "ui/FeaturePanel.h"
#include "ui/VexFormAdjust.h"
#include "ui/panels/PanelKit.h"
#include "ui/Translated.h"

#include <QFrame>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStaticText>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <algorithm>
#include <functional>
#include <vector>

namespace svc::ui {

namespace {

// The memo while the second printer information page is shown.
constexpr int kInfoMemoTop = 145;
constexpr int kInfoMemoHeight = 316;

const QColor kHeadingCell(212, 208, 200);

// The viewer's cells: a background and a text of two characters, centred.
// The whole grid is repainted as a read ends and again as the window is
// enabled, and laying out 289 cell texts anew each time cost more than the
// read itself over the port; a laid-out text is kept for each text and font
// (at most the 256 byte values, the headings and the cell font).
class GridCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QVariant background = index.data(Qt::BackgroundRole);
        if (background.isValid()) painter->fillRect(option.rect, background.value<QBrush>());
        const QString text = index.data(Qt::DisplayRole).toString();
        if (text.isEmpty()) return;
        const QVariant fontData = index.data(Qt::FontRole);
        const QFont font = fontData.isValid() ? fontData.value<QFont>().resolve(option.font) : option.font;
        const QStaticText& laidOut = LaidOut(text, font);
        const QPalette::ColorGroup group = option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
        const QSizeF size = laidOut.size();
        painter->setFont(font);
        painter->setPen(option.palette.color(group, QPalette::Text));
        painter->drawStaticText(QPointF(option.rect.x() + (option.rect.width() - size.width()) / 2,
                                        option.rect.y() + (option.rect.height() - size.height()) / 2),
                                laidOut);
    }

private:
    // The texts laid out in one font (the grid has two: cells and headings).
    struct FontTexts {
        QFont font;
        QHash<QString, QStaticText> texts;
    };

    const QStaticText& LaidOut(const QString& text, const QFont& font) const {
        auto fonts = std::find_if(fonts_.begin(), fonts_.end(), [&](const FontTexts& f) { return f.font == font; });
        if (fonts == fonts_.end()) fonts = fonts_.insert(fonts_.end(), FontTexts{font, {}});
        auto found = fonts->texts.find(text);
        if (found == fonts->texts.end()) {
            QStaticText laidOut(text);
            laidOut.setTextFormat(Qt::PlainText);
            laidOut.prepare(QTransform(), font);
            found = fonts->texts.insert(text, laidOut);
        }
        return *found;
    }

    mutable std::vector<FontTexts> fonts_;
};

// Builds one panel's controls at fixed places, as the window's form does.
class Builder {
public:
    explicit Builder(QWidget* panel) : panel_(panel) {
        auto* frame = new QFrame(panel);
        frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
        frame->setGeometry(0, 0, TFormAdjust::kCentreRegion.width(), TFormAdjust::kCentreRegion.height());
        frame->lower();
    }

    QLabel* Title(const QString& text) { return kit::Title(panel_, text, kit::kEepromTitle); }
    QLabel* Label(const QString& text, int x, int y, int w, int h, QWidget* in = nullptr) {
        return kit::Text(in ? in : panel_, text, QRect(x, y, w, h));
    }
    QPushButton* Button(const char* name, const QString& text, int x, int y, int w, int h, QWidget* in = nullptr) {
        QPushButton* button = kit::Button(in ? in : panel_, name, text, QRect(x, y, w, h));
        button->setAutoDefault(false);
        return button;
    }
    // An edit field that turns letters to upper case and holds at most maxLength characters.
    QLineEdit* UpperEdit(const char* name, int maxLength, int x, int y, int w, int h = 22, QWidget* in = nullptr) {
        auto* edit = new QLineEdit(in ? in : panel_);
        edit->setObjectName(name);
        edit->setGeometry(x, y, w, h);
        edit->setMaxLength(maxLength);
        edit->setFont(kit::CodeFont());
        QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
            const QString upper = text.toUpper();
            if (upper == text) return;
            const int cursor = edit->cursorPosition();
            edit->setText(upper.left(edit->maxLength()));
            edit->setCursorPosition(cursor);
        });
        return edit;
    }
    QGroupBox* Group(const QString& title, int x, int y, int w, int h) {
        return kit::GroupBox(panel_, title, QRect(x, y, w, h));
    }

private:
    QWidget* panel_;
};

// The default button: Enter in the panel presses it.
void MakeDefault(QWidget* panel, QPushButton* button) {
    button->setDefault(true);
    for (auto* key :
         {new QShortcut(QKeySequence(Qt::Key_Return), panel), new QShortcut(QKeySequence(Qt::Key_Enter), panel)}) {
        key->setContext(Qt::WidgetWithChildrenShortcut);
        QObject::connect(key, &QShortcut::activated, button, &QPushButton::click);
    }
}

// The cancel button: Escape in the panel presses it.
void MakeCancel(QWidget* panel, QPushButton* button) {
    auto* key = new QShortcut(QKeySequence(Qt::Key_Escape), panel);
    key->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(key, &QShortcut::activated, button, &QPushButton::click);
}

// A panel whose buttons call feature handlers with the window as frame.
class EepromPanel : public FeaturePanel {
public:
    EepromPanel(const char* name, std::function<void(FeatureFrame&)> chosen = nullptr) : chosen_(std::move(chosen)) {
        setObjectName(name);
        setAutoFillBackground(true);
    }
    void Connect(QPushButton* button, std::function<void(FeatureFrame&)> handler) {
        QObject::connect(button, &QPushButton::clicked, this, [this, handler = std::move(handler)] {
            if (Frame()) handler(*Frame());
        });
    }
    void OnChosen() override {
        if (chosen_ && Frame()) chosen_(*Frame());
    }
    TFormAdjust* Window() const { return Frame(); }

private:
    std::function<void(FeatureFrame&)> chosen_;
};

// ---- artwork ----

// A print head seen from above with its ID sticker.
class HeadIdPicture : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF body(8, 8, width() - 16, height() - 16);
        p.setPen(QPen(QColor(60, 60, 60), 1.5));
        p.setBrush(QColor(150, 150, 156));
        p.drawRoundedRect(body, 6, 6);
        // Nozzle rows at the left.
        p.setPen(Qt::NoPen);
        for (int row = 0; row < 7; ++row) {
            p.setBrush(QColor(40, 40, 40));
            p.drawRect(QRectF(body.left() + 10 + row * 8, body.top() + 8, 4, body.height() - 16));
        }
        // The sticker with the 25 characters on two lines.
        const QRectF sticker(body.left() + 80, body.top() + 10, body.width() - 92, body.height() - 20);
        p.setBrush(Qt::white);
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(sticker);
        p.setFont(QFont("Courier New", 9, QFont::Bold));
        p.drawText(sticker.adjusted(6, 2, -4, -2), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Head ID\n1A0B17F22KLMN\nPQR34567801P"));
    }
};

// The printer's back with the IEEE 1394 ID label beside the connector.
class Ieee1394Picture : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF back(8, 8, width() - 16, height() - 16);
        p.setPen(QPen(QColor(60, 60, 60), 1.5));
        p.setBrush(QColor(225, 225, 218));
        p.drawRoundedRect(back, 5, 5);
        // The connector.
        p.setBrush(QColor(70, 70, 70));
        p.drawRoundedRect(QRectF(back.left() + 20, back.center().y() - 9, 34, 18), 3, 3);
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(back.left() + 26, back.center().y() - 3, 22, 6));
        // The label.
        const QRectF label(back.left() + 80, back.top() + 10, back.width() - 92, back.height() - 20);
        p.setBrush(Qt::white);
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(label);
        p.setFont(QFont("Courier New", 9, QFont::Bold));
        p.drawText(label, Qt::AlignCenter, QStringLiteral("IEEE1394 ID\n00000712AB"));
    }
};

// ---- panels ----

EepromPanel* MarketPanel() {
    auto* panel = new EepromPanel("DefaultSetPnl");
    Builder b(panel);
    b.Title("Market destination setting ");
    b.Label("Click the [OK] button. The market destination setting is written in EEPROM.", 20, 50, 373, 36);
    b.Label("Click the [Check] button. You can see the market destination and the model name of the printer.", 20, 96,
            373, 36);
    QLabel* note = b.Label("Make sure to perform this function when you replaced the main board.", 20, 142, 373, 36);
    QPalette p = note->palette();
    p.setColor(QPalette::WindowText, QColor(255, 0, 0));
    note->setPalette(p);
    QPushButton* ok = b.Button("DefaultSetOKBtn", "OK", 80, 230, 100, 30);
    QPushButton* check = b.Button("DestCheckBtn", "Check", 233, 230, 100, 30);
    MakeDefault(panel, ok);
    panel->Connect(ok, DefaultSetOKBtnClick);
    panel->Connect(check, DestCheckBtnClick);
    return panel;
}

EepromPanel* HeadIdInputPanel() {
    auto* panel = new EepromPanel("HeadIDInputPnl", [](FeatureFrame& f) { HeadID().HeadIDChosen(f); });
    Builder b(panel);
    b.Title("Input the Head ID ");
    auto* picture = new HeadIdPicture(panel);
    picture->setGeometry(60, 34, 293, 96);
    b.Label("Enter the Head ID (25 digits).", 20, 136, 373, 20);
    b.UpperEdit("HeadIDInputEdit", TPHeadID::kTextLength, 20, 160, 260, 24);
    QPushButton* input = b.Button("HeadIDInputOKBtn", "Input", 292, 158, 100, 28);
    b.Label("Click the [Input] button to write the Head ID value to the EEPROM.", 20, 192, 373, 36);
    QPushButton* read = b.Button("HeadIDReadBtn", "Read", 292, 232, 100, 28);
    b.Label("Click the [Go to print page] button to print the head check pattern.", 20, 270, 373, 36);
    QPushButton* print = b.Button("HeadCheckPrintShowBtn", "Go to print page", 252, 312, 140, 30);
    MakeDefault(panel, input);
    panel->Connect(input, [](FeatureFrame& f) { HeadID().HeadIDInputOKBtnClick(f); });
    panel->Connect(read, [](FeatureFrame& f) { HeadID().HeadIDReadBtnClick(f); });
    panel->Connect(print, [](FeatureFrame& f) { HeadID().HeadCheckPrintShowBtnClick(f); });
    return panel;
}

EepromPanel* HeadCheckPrintPanel() {
    auto* panel = new EepromPanel("HeadCheckPrintPnl");
    Builder b(panel);
    b.Title("Print the head check pattern ");
    b.Label("Click the [Print] button. The printer prints the head check pattern .", 20, 60, 373, 36);
    b.Label("Use Photo Quality Inkjet Paper(A4 Size or Letter Size)", 20, 104, 373, 20);
    QPushButton* print = b.Button("HeadCheckPrintBtn", "Print", 60, 170, 120, 30);
    QPushButton* feed = b.Button("HeadCheckPaperFeedBtn", "Paper feed", 233, 170, 120, 30);
    QPushButton* back = b.Button("HeadIDInputShowBtn", "Go to input page", 252, 312, 140, 30);
    MakeDefault(panel, print);
    panel->Connect(print, [](FeatureFrame& f) { HeadID().HeadCheckPrintBtnClick(f); });
    QObject::connect(feed, &QPushButton::clicked, panel, [panel] {
        if (panel->Window()) panel->Window()->HeadAngularPaperFeedBtnClick();
    });
    panel->Connect(back, [](FeatureFrame& f) { HeadID().HeadIDInputShowBtnClick(f); });
    return panel;
}

EepromPanel* UsbIdPanel() {
    auto* panel = new EepromPanel("USBIDInputPnl");
    Builder b(panel);
    b.Title("USB ID ");
    b.Label("Enter the Serial No. and click the [Input] button to write USB-ID in EEPROM.", 20, 60, 373, 36);
    b.UpperEdit("USBIDInputEdit", TPUsbId::kSerialLength, 20, 110, 150, 24);
    QPushButton* input = b.Button("USBIDInputOKBtn", "Input", 200, 108, 100, 28);
    b.Label("Click the [Read] button. The present USB ID is read.", 20, 170, 373, 36);
    QPushButton* read = b.Button("USBIDReadOutBtn", "Read", 200, 216, 100, 28);
    MakeDefault(panel, input);
    panel->Connect(input, [](FeatureFrame& f) { UsbId().USBIDInputOKBtnClick(f); });
    panel->Connect(read, [](FeatureFrame& f) { UsbId().USBIDReadOutBtnClick(f); });
    return panel;
}

EepromPanel* Ieee1394Panel() {
    auto* panel = new EepromPanel("IEEE1394IDPnl");
    Builder b(panel);
    b.Title("Input the IEEE1394 ID ");
    b.Label("Input the IEEE1394 ID to edit- box and click the [OK] button. Then the IEEE1394 ID is written in EEPROM.",
            20, 40, 373, 52);
    auto* picture = new Ieee1394Picture(panel);
    picture->setGeometry(60, 94, 293, 80);
    b.UpperEdit("IEEE1394IDInputEdit", TPIEEE1394::kTextLength, 20, 190, 150, 24);
    QPushButton* ok = b.Button("IEEE1394IDInputOKBtn", "OK", 200, 188, 100, 28);
    b.Label("Click the [Read ID] button to read present IEEE1394 ID.", 20, 240, 373, 36);
    QPushButton* read = b.Button("IEEE1394IDReadBtn", "Read ID", 200, 284, 100, 28);
    MakeDefault(panel, ok);
    panel->Connect(ok, [](FeatureFrame& f) { Ieee1394().IEEE1394IDInputOKBtnClick(f); });
    panel->Connect(read, [](FeatureFrame& f) { Ieee1394().IEEE1394IDReadBtnClick(f); });
    return panel;
}

// A panel that acts as a button: raised, its text centred, a click runs its handler.
QPushButton* PanelButton(Builder& b, const char* name, const QString& text, int x, int y) {
    QPushButton* button = b.Button(name, text, x, y, 170, 40);
    button->setFont(QFont("Arial", 10, QFont::Bold));
    button->setStyleSheet(
        "QPushButton { border: 2px outset #e8f2ee; background: #c8e4da; }"
        "QPushButton:pressed { border-style: inset; }");
    return button;
}

EepromPanel* EepromCopyPanel() {
    auto* panel = new EepromPanel("EepromDataCopyPnl");
    Builder b(panel);
    b.Title("EEPROM data copy ");
    b.Label("This function copies the EEPROM data from the old main board to the new main board.", 20, 36, 373, 36);
    QLabel* usb = b.Label("This function cannot be used by USB connection.", 20, 72, 373, 20);
    QPalette p = usb->palette();
    p.setColor(QPalette::WindowText, QColor(255, 0, 0));
    usb->setPalette(p);
    QPushButton* backup = PanelButton(b, "EepDataCopyBackUpStartPnl", "EEPROM data backup", 20, 102);
    QPushButton* restore = PanelButton(b, "EepDataCopyLoadStartPnl", "EEPROM data restore", 222, 102);
    QGroupBox* howTo = b.Group("How to use", 12, 152, 389, 196);
    const char* steps[] = {SVC_N("Click the [EEPROM data backup] button."),
                           SVC_N("Turn off the printer and replace the main board."),
                           SVC_N("Turn on the printer and click the [Get Status] button."),
                           SVC_N("Click the [EEPROM data restore] button."),
                           SVC_N("Perform the A4 normal paper print and the A3+ Photo Quality Inkjet Paper print."),
                           SVC_N("Check the printed patterns and perform the necessary adjustment.")};
    int y = 20;
    for (int i = 0; i < 6; ++i) {
        const int h = i == 4 ? 34 : 26;
        b.Label(QString::number(i + 1) + ".", 8, y, 16, 18, howTo)->setAlignment(Qt::AlignRight | Qt::AlignTop);
        b.Label(steps[i], 28, y, 353, h, howTo)->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        y += h + 2;
    }
    panel->Connect(backup, [](FeatureFrame& f) { EepromCopy().EepDataCopyBackUpStartPnlClick(f); });
    panel->Connect(restore, [](FeatureFrame& f) { EepromCopy().EepDataCopyLoadStartPnlClick(f); });
    return panel;
}

EepromPanel* WasteInkPanel() {
    auto* panel = new EepromPanel("ProCounterMaintePnl");
    Builder b(panel);
    // The form's caption doubles the ampersand; a label shows one.
    b.Title(Tr("Waste Ink Pad counter value : read & reset."));
    QGroupBox* read = b.Group("Read", 12, 40, 389, 150);
    b.Label("Click the [Read] button. The present value is read from EEPROM.", 10, 20, 369, 36, read);
    b.Label("The maximum value is 60,352 points.", 10, 58, 369, 20, read);
    b.Label("If it is over 42,200 points, please replace the waste ink pad.", 10, 80, 369, 20, read);
    QPushButton* readBtn = b.Button("ProCounterCheckBtn", "Read", 144, 110, 100, 28, read);
    QGroupBox* reset = b.Group("Reset", 12, 200, 389, 146);
    b.Label("Click the [Reset] button. The Waste Ink Pad counter value is initialized.", 10, 20, 369, 36, reset);
    b.Label("Replace the Waste Ink Pad after performing this function.", 10, 62, 369, 36, reset);
    QPushButton* resetBtn = b.Button("ProCounterClearBtn", "Reset", 144, 106, 100, 28, reset);
    panel->Connect(readBtn, [](FeatureFrame& f) { DataConversion().ProCounterCheckBtnClick(f); });
    panel->Connect(resetBtn, [](FeatureFrame& f) { DataConversion().ProCounterClearBtnClick(f); });
    return panel;
}

EepromPanel* EepromViewerPanel() {
    auto* panel = new EepromPanel("EepromGridPnl", [](FeatureFrame& f) { DataConversion().EepromViewerChosen(f); });
    Builder b(panel);
    QGroupBox* read = b.Group("Read", 6, 2, 198, 50);
    QLineEdit* begin = b.UpperEdit("EepromCheckBeginEdit", 2, 10, 20, 34, 22, read);
    b.Label("~", 48, 20, 12, 22, read)->setAlignment(Qt::AlignCenter);
    QLineEdit* end = b.UpperEdit("EepromCheckEndEdit", 2, 64, 20, 34, 22, read);
    QPushButton* readOk = b.Button("EepromCheckOKBtn", "OK", 120, 18, 66, 26, read);
    QGroupBox* write = b.Group("Write", 208, 2, 199, 50);
    b.Label("Address", 6, 20, 50, 22, write);
    QLineEdit* address = b.UpperEdit("EepromInputAddrEdit", 2, 54, 20, 34, 22, write);
    b.Label("Data", 94, 20, 30, 22, write);
    QLineEdit* data = b.UpperEdit("EepromInputDataEdit", 2, 124, 20, 34, 22, write);
    QPushButton* writeOk = b.Button("EepromInputOKBtn", "OK", 162, 18, 32, 26, write);

    constexpr int kCell = 22, kRow = 16, kSize = TPDataConversion::kGridSize;
    auto* grid = new QTableWidget(kSize, kSize, panel);
    grid->setObjectName(TPDataConversion::kGrid);
    grid->setGeometry(6, 56, kCell * kSize + 2, kRow * kSize + 2);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->horizontalHeader()->setMinimumSectionSize(kCell);
    grid->verticalHeader()->setMinimumSectionSize(kRow);
    grid->horizontalHeader()->setDefaultSectionSize(kCell);
    grid->verticalHeader()->setDefaultSectionSize(kRow);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setFocusPolicy(Qt::NoFocus);
    grid->setFont(QFont("Courier New", 8));
    grid->setItemDelegate(new GridCellDelegate(grid));
    for (int r = 0; r < kSize; ++r) {
        for (int c = 0; c < kSize; ++c) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignCenter);
            if (r == 0 || c == 0) {
                item->setBackground(kHeadingCell);
                item->setFont(QFont("Arial", 8, QFont::Bold));
            }
            grid->setItem(r, c, item);
        }
    }
    // "Low" stacked down the right end of the heading row, "High" under the heading column.
    const int right = 6 + kCell * kSize + 6;
    const char* low[] = {"L", "o", "w"};
    for (int i = 0; i < 3; ++i) b.Label(low[i], right, 54 + i * 12, 10, 12)->setFont(QFont("Arial", 8, QFont::Bold));
    b.Label("High", 6, 56 + kRow * kSize + 2, 40, 14)->setFont(QFont("Arial", 8, QFont::Bold));

    QObject::connect(begin, &QLineEdit::returnPressed, readOk, &QPushButton::click);
    QObject::connect(end, &QLineEdit::returnPressed, readOk, &QPushButton::click);
    QObject::connect(address, &QLineEdit::returnPressed, writeOk, &QPushButton::click);
    QObject::connect(data, &QLineEdit::returnPressed, writeOk, &QPushButton::click);
    panel->Connect(readOk, [](FeatureFrame& f) { DataConversion().EepromCheckOKBtnClick(f); });
    panel->Connect(writeOk, [](FeatureFrame& f) { DataConversion().EepromInputOKBtnClick(f); });
    return panel;
}

EepromPanel* PrinterInfoPanel() {
    auto* panel = new EepromPanel("PrinterInfoReadOutPnl");
    Builder b(panel);
    b.Title("Printer information ");
    b.Label("Click the [OK] button. You can see the printer information.", 20, 36, 373, 36);
    b.Label("The following items are printer information.", 20, 76, 373, 20);
    const char* items[] = {SVC_N("- Total print page count"),
                           SVC_N("- Total print pass count"),
                           SVC_N("- CL1 count"),
                           SVC_N("- CL2 count"),
                           SVC_N("- CL3/CL4 count"),
                           SVC_N("- Timer CL count"),
                           SVC_N("- Exchange CL count"),
                           SVC_N("- Replace CL count"),
                           SVC_N("- Initial ink charge count"),
                           SVC_N("- Cut count")};
    for (int i = 0; i < 10; ++i) b.Label(items[i], 40, 100 + i * 19, 300, 18);
    QPushButton* ok = b.Button("PrinterInfoReadOutOKBtn", "OK", 292, 312, 100, 30);
    MakeDefault(panel, ok);
    panel->Connect(ok, [](FeatureFrame& f) { DataConversion().PrinterInfoReadOutOKBtnClick(f); });
    return panel;
}

// The second page gives the memo the room below its title and button.
class PrinterInfoPage2 : public EepromPanel {
public:
    PrinterInfoPage2() : EepromPanel("PrinterInfoReadOut2Pnl") {}
    void setVisible(bool visible) override {
        EepromPanel::setVisible(visible);
        if (!visible || !Window()) return;
        QPlainTextEdit* memo = Window()->Memo();
        memo->setGeometry(TFormAdjust::kCentreRegion.x(), kInfoMemoTop, TFormAdjust::kCentreRegion.width(),
                          kInfoMemoHeight);
        memo->raise();
    }
};

EepromPanel* PrinterInfoPage2Panel() {
    auto* panel = new PrinterInfoPage2;
    Builder b(panel);
    b.Title("Printer information ");
    QPushButton* previous = b.Button("PrinterInfoReadOut2PreviousBtn", "Previous", 292, 90, 100, 30);
    MakeDefault(panel, previous);
    MakeCancel(panel, previous);
    panel->Connect(previous, [](FeatureFrame& f) { DataConversion().PrinterInfoReadOut2PreviousBtnClick(f); });
    return panel;
}

}  // namespace

void RegisterEepromPanels(TFormAdjust& window) {
    HeadID();
    UsbId();
    Ieee1394();
    EepromCopy();
    DataConversion();

    window.RegisterPanel(Group::Adjustment, kMarketItem, MarketPanel());
    window.RegisterPanel(Group::Adjustment, kHeadIdItem, HeadIdInputPanel());
    window.AddPanel(HeadCheckPrintPanel());
    window.RegisterPanel(Group::Adjustment, kUsbIdItem, UsbIdPanel());
    window.RegisterPanel(Group::Adjustment, kIeee1394Item, Ieee1394Panel());
    window.RegisterPanel(Group::Maintenance, kWasteInkItem, WasteInkPanel());
    window.RegisterPanel(Group::Maintenance, kEepromCopyItem, EepromCopyPanel());
    window.RegisterPanel(Group::Appendix, kEepromViewerItem, EepromViewerPanel());
    window.RegisterPanel(Group::Appendix, kPrinterInfoItem, PrinterInfoPanel());
    window.AddPanel(PrinterInfoPage2Panel());
    // The grid's headings are there from the start.
    DataConversion().FillGridHeadings(window);
}

}  // namespace svc::ui
