#include "vprinter/panel/PanelWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDrag>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "vprinter/panel/ControlConnection.h"
#include "vprinter/panel/PageReader.h"
#include "vprinter/panel/PageView.h"

namespace vp::panel {

namespace {

struct InkInfo {
    const char* key;   // as in the state line
    const char* name;  // shown
    const char* colour;
};
const InkInfo kInks[] = {{"black", "Black", "#141414"},
                         {"cyan", "Cyan", "#00a0e6"},
                         {"magenta", "Magenta", "#e6007e"},
                         {"yellow", "Yellow", "#ffe600"},
                         {"lightcyan", "Light cyan", "#96d7f5"},
                         {"lightmagenta", "Light magenta", "#f5a0cd"},
                         {"gray", "Gray", "#787878"}};

struct FaultInfo {
    const char* key;
    const char* label;
    const char* on;  // command that raises it; cleared by "fault clear" or "busy off"
};
const FaultInfo kFaults[] = {{"paperout", "Paper out", "fault paperout"}, {"jam", "Paper jam", "fault jam"},
                             {"cover", "Cover open", "fault cover"},      {"inkout", "Ink out", "fault inkout"},
                             {"lever", "Release lever", "fault lever"},   {"busy", "Stuck busy", "busy on"}};

struct CounterInfo {
    const char* key;
    const char* label;
};
const CounterInfo kCounters[] = {{"pages", "Total print pages"},
                                 {"passes", "Total print passes"},
                                 {"waste", "Waste ink pad"},
                                 {"cl1", "CL1"},
                                 {"cl2", "CL2"},
                                 {"cl34", "CL3/CL4"},
                                 {"timer_cl", "Timer CL"},
                                 {"exchange_cl", "Exchange CL"},
                                 {"replace_cl", "Replace CL"},
                                 {"charges", "Initial ink charges"},
                                 {"cuts", "Cuts"}};

QString Get(const QHash<QString, QString>& f, const char* key, const QString& fallback = QStringLiteral("-")) {
    return f.value(QLatin1String(key), fallback);
}

QGroupBox* Box(const QString& title, const char* name) {
    auto* box = new QGroupBox(title);
    box->setObjectName(QLatin1String(name));
    return box;
}

}  // namespace

QMimeData* PageMimeData(const QString& path) {
    auto* data = new QMimeData;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    data->setUrls({QUrl::fromLocalFile(absolute)});
    data->setText(absolute);
    return data;
}

void ClickableLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        pressPos_ = event->position().toPoint();
        event->accept();  // the release comes here too
        return;
    }
    QLabel::mousePressEvent(event);
}

void ClickableLabel::mouseMoveEvent(QMouseEvent* event) {
    if (pressed_ && !dragFile_.isEmpty() && (event->buttons() & Qt::LeftButton) &&
        (event->position().toPoint() - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
        pressed_ = false;  // a drag, not a click
        auto* drag = new QDrag(this);
        drag->setMimeData(PageMimeData(dragFile_));
        if (const QPixmap shown = pixmap(); !shown.isNull())
            drag->setPixmap(shown.scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        drag->exec(Qt::CopyAction);
        return;
    }
    QLabel::mouseMoveEvent(event);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && pressed_) emit clicked();
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
}

QString StateText(int state) {
    switch (state) {
        case 0:
            return QStringLiteral("Error");
        case 2:
            return QStringLiteral("Busy");
        case 3:
            return QStringLiteral("Printing");
        case 4:
            return QStringLiteral("Ready");
        case 7:
            return QStringLiteral("Cleaning");
        case 8:
            return QStringLiteral("Waiting for the initial ink charge");
        default:
            return QStringLiteral("State %1").arg(state);
    }
}

QString ErrorText(int error) {
    switch (error) {
        case 0:
            return QStringLiteral("No error");
        case 1:
            return QStringLiteral("Communication error (job refused)");
        case 2:
            return QStringLiteral("Cover open");
        case 3:
            return QStringLiteral("Release lever position");
        case 4:
            return QStringLiteral("Paper jam");
        case 5:
            return QStringLiteral("Ink out");
        case 6:
            return QStringLiteral("Paper out");
        default:
            return QStringLiteral("Error code %1").arg(error);
    }
}

PanelWindow::PanelWindow(QWidget* parent) : QMainWindow(parent), connection_(new ControlConnection(this)) {
    setObjectName(QStringLiteral("VPrinterPanel"));
    setWindowTitle(QStringLiteral("Virtual printer panel"));

    auto* central = new QWidget;
    auto* columns = new QHBoxLayout(central);
    auto* left = new QVBoxLayout;
    left->addWidget(BuildPrinterBox());
    left->addWidget(BuildConditionBox());
    left->addWidget(BuildInkBox());
    left->addWidget(BuildFaultBox());
    left->addStretch(1);
    auto* middle = new QVBoxLayout;
    middle->addWidget(BuildPageBox(), 1);
    middle->addWidget(BuildCounterBox());
    middle->addWidget(BuildValuesBox());
    auto* right = new QVBoxLayout;
    right->addWidget(BuildEepromBox());
    right->addStretch(1);
    columns->addLayout(left, 3);
    columns->addLayout(middle, 3);
    columns->addLayout(right, 4);
    setCentralWidget(central);

    connectionLbl_ = new QLabel;
    connectionLbl_->setObjectName(QStringLiteral("connectionLbl"));
    answerLbl_ = new QLabel;
    answerLbl_->setObjectName(QStringLiteral("answerLbl"));
    statusBar()->addWidget(connectionLbl_);
    statusBar()->addPermanentWidget(answerLbl_);

    connect(connection_, &ControlConnection::stateChanged, this, &PanelWindow::OnState);
    connect(connection_, &ControlConnection::connectedChanged, this, &PanelWindow::OnConnected);
    connect(connection_, &ControlConnection::answered, this, &PanelWindow::OnAnswer);
    blinkTimer_.setInterval(500);
    connect(&blinkTimer_, &QTimer::timeout, this, [this] {
        blinkPhase_ = !blinkPhase_;
        UpdateLeds();
    });
    blinkTimer_.start();
    pagePool_.setMaxThreadCount(1);
    pageRetry_.setSingleShot(true);
    pageRetry_.setInterval(kPageRetryMs);
    connect(&pageRetry_, &QTimer::timeout, this, &PanelWindow::ReadPage);
    OnConnected(false);
}

PanelWindow::~PanelWindow() {
    if (pageCancel_) pageCancel_->store(true);
    pagePool_.waitForDone();
}

void PanelWindow::Start(const QString& controlPath, int pollMs) {
    setWindowTitle(QStringLiteral("Virtual printer panel - %1").arg(controlPath));
    connection_->Start(controlPath, pollMs);
    OnConnected(connection_->IsConnected());
}

QWidget* PanelWindow::BuildPrinterBox() {
    auto* box = Box(QStringLiteral("Printer"), "printerBox");
    auto* grid = new QGridLayout(box);
    modelLbl_ = new QLabel(QStringLiteral("Corvid Lumen"));
    modelLbl_->setObjectName(QStringLiteral("modelLbl"));
    QFont big = modelLbl_->font();
    big.setBold(true);
    modelLbl_->setFont(big);
    grid->addWidget(modelLbl_, 0, 0, 1, 4);

    powerBtn_ = new QPushButton(QStringLiteral("Power"));
    powerBtn_->setObjectName(QStringLiteral("powerBtn"));
    powerBtn_->setToolTip(QStringLiteral("Switch the printer on or off"));
    // As a person presses it: switched off, the printer shuts down first.
    connect(powerBtn_, &QPushButton::clicked, this, [this] { connection_->Send(QStringLiteral("power button")); });
    powerLed_ = new QLabel;
    powerLed_->setObjectName(QStringLiteral("powerLed"));
    powerLed_->setToolTip(QStringLiteral("Power light: on, blinking while it works"));
    errorLed_ = new QLabel;
    errorLed_->setObjectName(QStringLiteral("errorLed"));
    errorLed_->setToolTip(QStringLiteral("Error light"));
    auto* paperBtn = new QPushButton(QStringLiteral("Paper"));
    paperBtn->setObjectName(QStringLiteral("paperBtn"));
    paperBtn->setToolTip(QStringLiteral("The paper button: feeds the sheet out, or clears paper out and jams"));
    connect(paperBtn, &QPushButton::clicked, this, [this] { connection_->Send(QStringLiteral("paper")); });
    auto* rollBtn = new QPushButton(QStringLiteral("Roll paper"));
    rollBtn->setObjectName(QStringLiteral("rollSwitchBtn"));
    rollBtn->setToolTip(QStringLiteral("The roll-paper switch: cuts, or starts the next exchange step"));
    connect(rollBtn, &QPushButton::clicked, this, [this] { connection_->Send(QStringLiteral("rollswitch")); });

    grid->addWidget(powerBtn_, 1, 0);
    auto* leds = new QHBoxLayout;
    leds->addWidget(powerLed_);
    leds->addWidget(new QLabel(QStringLiteral("Power")));
    leds->addSpacing(10);
    leds->addWidget(errorLed_);
    leds->addWidget(new QLabel(QStringLiteral("Error")));
    leds->addStretch(1);
    grid->addLayout(leds, 1, 1, 1, 3);
    grid->addWidget(paperBtn, 2, 0);
    grid->addWidget(rollBtn, 2, 1);
    return box;
}

QWidget* PanelWindow::BuildConditionBox() {
    auto* box = Box(QStringLiteral("Condition"), "conditionBox");
    auto* form = new QFormLayout(box);
    stateLbl_ = new QLabel(QStringLiteral("-"));
    stateLbl_->setObjectName(QStringLiteral("stateLbl"));
    QFont f = stateLbl_->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.2);
    stateLbl_->setFont(f);
    errorLbl_ = new QLabel(QStringLiteral("-"));
    errorLbl_->setObjectName(QStringLiteral("errorLbl"));
    bufferBar_ = new QProgressBar;
    bufferBar_->setObjectName(QStringLiteral("bufferBar"));
    bufferBar_->setRange(0, 1);
    bufferBar_->setValue(0);
    bufferBar_->setFormat(QStringLiteral("-"));
    carriageLbl_ = new QLabel(QStringLiteral("-"));
    carriageLbl_->setObjectName(QStringLiteral("carriageLbl"));
    activityLbl_ = new QLabel(QStringLiteral("-"));
    activityLbl_->setObjectName(QStringLiteral("activityLbl"));
    form->addRow(QStringLiteral("State"), stateLbl_);
    form->addRow(QStringLiteral("Error"), errorLbl_);
    form->addRow(QStringLiteral("Input buffer"), bufferBar_);
    form->addRow(QStringLiteral("Carriage"), carriageLbl_);
    form->addRow(QStringLiteral("Mechanism"), activityLbl_);
    return box;
}

QWidget* PanelWindow::BuildInkBox() {
    auto* box = Box(QStringLiteral("Ink"), "inkBox");
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(3);
    int row = 0;
    for (const InkInfo& ink : kInks) {
        auto* bar = new QProgressBar;
        bar->setObjectName(QStringLiteral("inkBar_") + QLatin1String(ink.key));
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setMaximumHeight(16);
        bar->setTextVisible(false);
        bar->setStyleSheet(
            QStringLiteral("QProgressBar { border: 1px solid #999; border-radius: 3px; background: #f4f4f4; }"
                           "QProgressBar::chunk { background: %1; border-radius: 2px; }")
                .arg(QLatin1String(ink.colour)));
        auto* condition = new QLabel(QStringLiteral("-"));
        condition->setObjectName(QStringLiteral("inkCond_") + QLatin1String(ink.key));
        condition->setMinimumWidth(110);
        grid->addWidget(new QLabel(QLatin1String(ink.name)), row, 0);
        grid->addWidget(bar, row, 1);
        grid->addWidget(condition, row, 2);
        inkBars_.insert(QLatin1String(ink.key), bar);
        inkConditions_.insert(QLatin1String(ink.key), condition);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    return box;
}

QWidget* PanelWindow::BuildFaultBox() {
    auto* box = Box(QStringLiteral("Fault switches"), "faultBox");
    auto* grid = new QGridLayout(box);
    int i = 0;
    for (const FaultInfo& fault : kFaults) {
        auto* b = new QPushButton(QLatin1String(fault.label));
        b->setObjectName(QStringLiteral("fault_") + QLatin1String(fault.key));
        b->setCheckable(true);
        const QString key = QLatin1String(fault.key);
        const QString on = QLatin1String(fault.on);
        connect(b, &QPushButton::clicked, this, [this, key, on](bool checked) {
            if (checked)
                connection_->Send(on);
            else
                connection_->Send(key == QLatin1String("busy") ? QStringLiteral("busy off")
                                                               : QStringLiteral("fault clear"));
        });
        faultButtons_.insert(key, b);
        grid->addWidget(b, i / 3, i % 3);
        ++i;
    }
    auto* drop = new QPushButton(QStringLiteral("Drop the link"));
    drop->setObjectName(QStringLiteral("dropLinkBtn"));
    drop->setToolTip(QStringLiteral("The cable is pulled: the host's connection closes now"));
    connect(drop, &QPushButton::clicked, this, [this] { connection_->Send(QStringLiteral("drop 0")); });
    auto* clear = new QPushButton(QStringLiteral("Clear all"));
    clear->setObjectName(QStringLiteral("clearFaultsBtn"));
    connect(clear, &QPushButton::clicked, this, [this] {
        connection_->Send(QStringLiteral("clear"));
        connection_->Send(QStringLiteral("fault clear"));
    });
    grid->addWidget(drop, 2, 0);
    grid->addWidget(clear, 2, 1);
    return box;
}

QWidget* PanelWindow::BuildPageBox() {
    auto* box = Box(QStringLiteral("Last printed page"), "pageBox");
    auto* layout = new QVBoxLayout(box);
    thumb_ = new ClickableLabel(QStringLiteral("No page yet"));
    thumb_->setObjectName(QStringLiteral("pageThumb"));
    thumb_->setAlignment(Qt::AlignCenter);
    thumb_->setMinimumSize(200, 260);
    thumb_->setStyleSheet(QStringLiteral("QLabel { background: #d8d8d8; color: #555; border: 1px solid #aaa; }"));
    thumb_->setToolTip(
        QStringLiteral("Click for the page large, and at full size under the pointer; "
                       "drag it onto an adjustment panel of the program to read it there"));
    thumb_->setAccessibleName(QStringLiteral("Last printed page"));
    thumb_->setCursor(Qt::PointingHandCursor);
    connect(thumb_, &ClickableLabel::clicked, this, &PanelWindow::ShowFullPage);
    pageLbl_ = new QLabel(QStringLiteral("-"));
    pageLbl_->setObjectName(QStringLiteral("pageLbl"));
    pageLbl_->setWordWrap(true);
    copyPageBtn_ = new QPushButton(QStringLiteral("Copy page"));
    copyPageBtn_->setObjectName(QStringLiteral("copyPageBtn"));
    copyPageBtn_->setToolTip(
        QStringLiteral("Puts the page's file on the clipboard: paste it (Ctrl+V) onto an "
                       "adjustment panel of the program to read it there"));
    copyPageBtn_->setAccessibleName(QStringLiteral("Copy page for the program"));
    copyPageBtn_->setEnabled(false);
    connect(copyPageBtn_, &QPushButton::clicked, this, &PanelWindow::CopyPage);
    layout->addWidget(thumb_, 1);
    layout->addWidget(pageLbl_);
    layout->addWidget(copyPageBtn_);
    return box;
}

QWidget* PanelWindow::BuildCounterBox() {
    auto* box = Box(QStringLiteral("Counters"), "counterBox");
    auto* grid = new QGridLayout(box);
    grid->setVerticalSpacing(2);
    int i = 0;
    for (const CounterInfo& c : kCounters) {
        auto* value = new QLabel(QStringLiteral("-"));
        value->setObjectName(QStringLiteral("counter_") + QLatin1String(c.key));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        const int row = i % 6, col = (i / 6) * 2;
        grid->addWidget(new QLabel(QLatin1String(c.label)), row, col);
        grid->addWidget(value, row, col + 1);
        counters_.insert(QLatin1String(c.key), value);
        ++i;
    }
    grid->setColumnMinimumWidth(1, 70);
    grid->setColumnMinimumWidth(3, 50);
    return box;
}

QWidget* PanelWindow::BuildValuesBox() {
    auto* box = Box(QStringLiteral("Adjustment values in use"), "valuesBox");
    auto* form = new QFormLayout(box);
    for (const auto& [key, label] :
         {std::pair{"bid_black", "Bi-D black (VSD1, 2, 2', 4)"},
          std::pair{"bid_colour", "Bi-D colour (VSD1, 2, 2', 4)"}, std::pair{"pf", "PF"},
          std::pair{"first_dot", "First dot position"}, std::pair{"cr", "CR drive reading"}}) {
        auto* value = new QLabel(QStringLiteral("-"));
        value->setObjectName(QStringLiteral("value_") + QLatin1String(key));
        form->addRow(QLatin1String(label), value);
        values_.insert(QLatin1String(key), value);
    }
    return box;
}

QWidget* PanelWindow::BuildEepromBox() {
    auto* box = Box(QStringLiteral("EEPROM"), "eepromBox");
    auto* layout = new QVBoxLayout(box);
    eeprom_ = new QTableWidget(16, 16);
    eeprom_->setObjectName(QStringLiteral("eepromGrid"));
    eeprom_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    eeprom_->setSelectionMode(QAbstractItemView::NoSelection);
    eeprom_->setFocusPolicy(Qt::NoFocus);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    mono.setPointSizeF(eeprom_->font().pointSizeF() * 0.9);
    eeprom_->setFont(mono);
    QStringList columns, rows;
    for (int i = 0; i < 16; ++i) {
        columns << QString::number(i, 16).toUpper();
        rows << QString::number(i, 16).toUpper() + QLatin1Char('0');
    }
    eeprom_->setHorizontalHeaderLabels(columns);
    eeprom_->setVerticalHeaderLabels(rows);
    eeprom_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    eeprom_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    eeprom_->horizontalHeader()->setDefaultSectionSize(26);
    eeprom_->verticalHeader()->setDefaultSectionSize(20);
    eeprom_->horizontalHeader()->setMinimumSectionSize(20);
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < 16; ++c) {
            auto* item = new QTableWidgetItem(QStringLiteral("--"));
            item->setTextAlignment(Qt::AlignCenter);
            eeprom_->setItem(r, c, item);
        }
    }
    eeprom_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    eeprom_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int width = eeprom_->verticalHeader()->sizeHint().width() + 16 * 26 + 4;
    const int height = eeprom_->horizontalHeader()->sizeHint().height() + 16 * 20 + 4;
    eeprom_->setFixedSize(width, height);
    auto* legend =
        new QLabel(QStringLiteral("<span style='background:#ffd54f'>&nbsp;&nbsp;&nbsp;&nbsp;</span> "
                                  "changed since the printer started"));
    legend->setObjectName(QStringLiteral("eepromLegend"));
    layout->addWidget(eeprom_);
    layout->addWidget(legend);
    return box;
}

void PanelWindow::OnConnected(bool connected) {
    const QString path = connection_->Path();
    connectionLbl_->setText(connected        ? QStringLiteral("Connected to %1").arg(path)
                            : path.isEmpty() ? QStringLiteral("Not connected")
                                             : QStringLiteral("Waiting for %1 ...").arg(path));
    centralWidget()->setEnabled(connected);
    // A printer started again writes page-0001.png again: what it names
    // after a reconnection is read afresh.
    if (!connected) {
        wantedPath_.clear();
        wantedSerial_.clear();
        pageRetry_.stop();
        ++pageGeneration_;  // a read under way is forgotten
        if (pageCancel_) pageCancel_->store(true);
    }
}

void PanelWindow::OnAnswer(const QString& command, const QString& answer) {
    answerLbl_->setText(command + QStringLiteral(" \u2192 ") + answer);
    answerLbl_->setStyleSheet(answer.startsWith(QLatin1String("OK")) ? QString() : QStringLiteral("color: #b00020;"));
}

void PanelWindow::SetLed(QLabel* led, const QString& colour) {
    led->setFixedSize(16, 16);
    led->setStyleSheet(
        QStringLiteral("QLabel { background: %1; border: 1px solid #555; border-radius: 8px; }").arg(colour));
    led->setProperty("lit", colour != QLatin1String("#3a3a3a"));
}

void PanelWindow::UpdateLeds() {
    const QString power = Get(fields_, "power_led", QStringLiteral("off"));
    const bool lit = power == QLatin1String("on") || (power == QLatin1String("blink") && blinkPhase_);
    SetLed(powerLed_, lit ? QStringLiteral("#35d04a") : QStringLiteral("#3a3a3a"));
    const bool error = Get(fields_, "error_led", QStringLiteral("off")) == QLatin1String("on");
    SetLed(errorLed_, error ? QStringLiteral("#ff9800") : QStringLiteral("#3a3a3a"));
    powerLed_->setProperty("mode", power);
}

void PanelWindow::OnState(const QHash<QString, QString>& fields) {
    fields_ = fields;
    const bool on = Get(fields, "power") == QLatin1String("on");
    modelLbl_->setText(QStringLiteral("Corvid Lumen %1").arg(Get(fields, "model", QStringLiteral("?"))));
    powerBtn_->setText(on ? QStringLiteral("Power off") : QStringLiteral("Power on"));
    UpdateLeds();

    const int state = Get(fields, "state", QStringLiteral("-1")).toInt();
    const int error = Get(fields, "error", QStringLiteral("0")).toInt();
    stateLbl_->setText(on ? StateText(state) : QStringLiteral("Off"));
    errorLbl_->setText(state == 0 ? QStringLiteral("%1 (code %2)").arg(ErrorText(error)).arg(error)
                                  : QStringLiteral("No error"));
    errorLbl_->setStyleSheet(state == 0 ? QStringLiteral("color: #b00020; font-weight: bold;") : QString());

    const QStringList buffer = Get(fields, "buffer", QStringLiteral("0/1")).split(QLatin1Char('/'));
    if (buffer.size() == 2) {
        const qlonglong used = buffer[0].toLongLong(), capacity = std::max(1LL, buffer[1].toLongLong());
        bufferBar_->setRange(0, 1000);
        bufferBar_->setValue(static_cast<int>(used * 1000 / capacity));
        bufferBar_->setFormat(QStringLiteral("%1 of %2 bytes").arg(used).arg(capacity));
    }
    const QString place = Get(fields, "carriage_at");
    static const QHash<QString, QString> kPlaces{{QStringLiteral("home"), QStringLiteral("home")},
                                                 {QStringLiteral("pg1"), QStringLiteral("PG main shaft right (1)")},
                                                 {QStringLiteral("pg2"), QStringLiteral("PG main shaft left (2)")},
                                                 {QStringLiteral("pg3"), QStringLiteral("PG sub shaft right (3)")},
                                                 {QStringLiteral("pg4"), QStringLiteral("PG sub shaft left (4)")},
                                                 {QStringLiteral("center"), QStringLiteral("centre (jig setting)")},
                                                 {QStringLiteral("exchange"), QStringLiteral("I/C exchange position")}};
    carriageLbl_->setText(fields.contains(QStringLiteral("carriage"))
                              ? Get(fields, "carriage") +
                                    (kPlaces.contains(place) ? QStringLiteral(", ") + kPlaces[place] : QString())
                              : QStringLiteral("- (no print engine)"));
    QString activity = Get(fields, "activity");
    if (Get(fields, "exchange_steps", QStringLiteral("0")) != QLatin1String("0"))
        activity += QStringLiteral(", exchange step %1 of 3 done").arg(Get(fields, "exchange_steps"));
    if (Get(fields, "faults") != QLatin1String("-")) activity += QStringLiteral("; injected: ") + Get(fields, "faults");
    activityLbl_->setText(activity);

    const QStringList inks = Get(fields, "ink", QString()).split(QLatin1Char(','));
    static const QHash<QString, QString> kConditions{{QStringLiteral("NA"), QStringLiteral("missing (NA)")},
                                                     {QStringLiteral("RE"), QStringLiteral("unreadable (RE)")},
                                                     {QStringLiteral("WE"), QStringLiteral("write failed (WE)")},
                                                     {QStringLiteral("CI"), QStringLiteral("incompatible (CI)")}};
    for (const QString& entry : inks) {
        const QString key = entry.section(QLatin1Char(':'), 0, 0), value = entry.section(QLatin1Char(':'), 1);
        if (!inkBars_.contains(key)) continue;
        bool number = false;
        const int percent = value.toInt(&number);
        inkBars_[key]->setValue(number ? percent : 0);
        inkBars_[key]->setEnabled(number);
        inkConditions_[key]->setText(number ? QStringLiteral("%1 %").arg(percent) : kConditions.value(value, value));
        inkConditions_[key]->setStyleSheet(number && percent > 10 ? QString() : QStringLiteral("color: #b00020;"));
    }

    const QString engineFault = Get(fields, "engine_fault");
    static const QHash<QString, QString> kFaultCodes{{QStringLiteral("paperout"), QStringLiteral("6")},
                                                     {QStringLiteral("jam"), QStringLiteral("4")},
                                                     {QStringLiteral("cover"), QStringLiteral("2")},
                                                     {QStringLiteral("inkout"), QStringLiteral("5")},
                                                     {QStringLiteral("lever"), QStringLiteral("3")}};
    for (auto it = faultButtons_.begin(); it != faultButtons_.end(); ++it) {
        const bool active = it.key() == QLatin1String("busy")
                                ? Get(fields, "faults").split(QLatin1Char(',')).contains(QStringLiteral("busy"))
                                : kFaultCodes.value(it.key()) == engineFault;
        it.value()->setChecked(active);
    }

    for (auto it = counters_.begin(); it != counters_.end(); ++it)
        it.value()->setText(Get(fields, it.key().toLatin1().constData()));
    const QStringList bid = Get(fields, "bid", QString()).split(QLatin1Char(','));
    values_[QStringLiteral("bid_black")]->setText(bid.size() == 8 ? bid.mid(0, 4).join(QStringLiteral(", "))
                                                                  : QStringLiteral("-"));
    values_[QStringLiteral("bid_colour")]->setText(bid.size() == 8 ? bid.mid(4, 4).join(QStringLiteral(", "))
                                                                   : QStringLiteral("-"));
    values_[QStringLiteral("pf")]->setText(Get(fields, "pf"));
    values_[QStringLiteral("first_dot")]->setText(Get(fields, "first_dot"));
    QString cr = Get(fields, "cr");
    if (Get(fields, "cr_readings") != QLatin1String("-"))
        cr += QStringLiteral(" (set: %1)").arg(Get(fields, "cr_readings"));
    values_[QStringLiteral("cr")]->setText(cr);

    UpdatePage();
    UpdateEeprom();
}

void PanelWindow::UpdatePage() {
    const QString path = Get(fields_, "page");
    const QString serial = Get(fields_, "page_serial", QStringLiteral("0"));
    if (path == QLatin1String("-")) {
        pageLbl_->setText(serial == QLatin1String("0") || serial == QLatin1String("-")
                              ? QStringLiteral("No page printed yet")
                              : QStringLiteral("%1 pages printed (not written: no --pages folder)").arg(serial));
        return;
    }
    ShowPage(path, serial);
}

void PanelWindow::ShowPage(const QString& path, const QString& serial) {
    if (path == wantedPath_ && serial == wantedSerial_) return;  // shown, on its way, or given up on
    wantedPath_ = path;
    wantedSerial_ = serial;
    pageAttempts_ = 0;
    pageLbl_->setText(QStringLiteral("Reading page %1: %2 ...").arg(serial, QFileInfo(path).fileName()));
    pageLbl_->setStyleSheet(QString());
    pageLbl_->setToolTip(path);
    ReadPage();
}

void PanelWindow::ReadPage() {
    pageRetry_.stop();
    if (pageCancel_) pageCancel_->store(true);
    pageCancel_ = std::make_shared<std::atomic_bool>(false);
    ++pageAttempts_;
    const quint64 generation = ++pageGeneration_;
    const QString path = wantedPath_;
    const auto cancel = pageCancel_;
    RunInBackground(
        pagePool_, this, [path, cancel] { return ReadScaledPage(path, QSize(kPreviewSide, kPreviewSide), *cancel); },
        [this, generation](const PageImage& read) {
            if (generation == pageGeneration_ && !read.cancelled) OnPageRead(read);
        });
}

void PanelWindow::OnPageRead(const PageImage& read) {
    const QString name = QFileInfo(wantedPath_).fileName();
    if (read.image.isNull()) {
        // A page still being written is tried again quietly, a few times.
        if (read.unfinished && pageAttempts_ < kPageAttempts) {
            pageRetry_.start();
            return;
        }
        const QString message =
            QStringLiteral("Page %1: cannot show %2: %3").arg(wantedSerial_, wantedPath_, read.error);
        pageLbl_->setText(message);
        pageLbl_->setStyleSheet(QStringLiteral("color: #b00020;"));
        qWarning("vprinter-panel: cannot show %s: %s", qUtf8Printable(wantedPath_), qUtf8Printable(read.error));
        return;
    }
    page_ = read.image;
    pageSize_ = read.pageSize;
    pagePath_ = wantedPath_;
    pageSerial_ = wantedSerial_;
    const QSize room = thumb_->size().boundedTo(QSize(320, 420)).expandedTo(QSize(180, 240));
    thumb_->setPixmap(QPixmap::fromImage(page_.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    pageLbl_->setText(
        QStringLiteral("Page %1: %2 (%3 x %4)").arg(pageSerial_, name).arg(pageSize_.width()).arg(pageSize_.height()));
    pageLbl_->setStyleSheet(QString());
    thumb_->SetDragFile(pagePath_);
    copyPageBtn_->setEnabled(true);
    if (fullView_) UpdateLargeView();
}

bool PanelWindow::CopyPage() {
    if (pagePath_.isEmpty()) return false;
    QGuiApplication::clipboard()->setMimeData(PageMimeData(pagePath_));
    return true;
}

void PanelWindow::ShowFullPage() {
    if (page_.isNull()) return;
    if (!fullView_) {
        auto* dialog = new QDialog(this);
        dialog->setObjectName(QStringLiteral("pageFullView"));
        auto* layout = new QVBoxLayout(dialog);
        pageView_ = new PageView;
        layout->addWidget(pageView_, 1);
        dialog->resize(900, 900);
        fullView_ = dialog;
    }
    UpdateLargeView();
    fullView_->show();
    fullView_->raise();
}

void PanelWindow::UpdateLargeView() {
    // The view keeps its place on the page it shows; a new page starts whole.
    if (viewPage_ != pagePath_ + QLatin1Char('#') + pageSerial_) {
        pageView_->SetPage(pagePath_, page_, pageSize_);
        viewPage_ = pagePath_ + QLatin1Char('#') + pageSerial_;
    }
    fullView_->setWindowTitle(QStringLiteral("Page %1 - %2 (%3 x %4)")
                                  .arg(pageSerial_, pagePath_)
                                  .arg(pageSize_.width())
                                  .arg(pageSize_.height()));
}

void PanelWindow::UpdateEeprom() {
    const QString hex = Get(fields_, "eeprom", QString());
    if (hex.size() != 512) return;
    QSet<int> changed;
    for (const QString& a : Get(fields_, "changed").split(QLatin1Char(','))) {
        bool ok = false;
        const int address = a.toInt(&ok, 16);
        if (ok) changed.insert(address);
    }
    for (int address = 0; address < 256; ++address) {
        QTableWidgetItem* item = eeprom_->item(address / 16, address % 16);
        item->setText(hex.mid(address * 2, 2));
        const bool isChanged = changed.contains(address);
        item->setBackground(isChanged ? QColor(0xff, 0xd5, 0x4f) : QColor(Qt::white));
        item->setData(Qt::UserRole, isChanged);
        item->setToolTip(QStringLiteral("0x%1 = 0x%2%3")
                             .arg(address, 2, 16, QLatin1Char('0'))
                             .arg(hex.mid(address * 2, 2))
                             .arg(isChanged ? QStringLiteral(", changed since start-up") : QString()));
    }
}

}  // namespace vp::panel
