#include "ui/VexFormBoot.h"

#include "journal/Recorder.h"
#include "link/Connection.h"
#include "link/Features.h"

#include "link/Host.h"
#include "link/OutsideLibraries.h"
#include "ui/GuiHost.h"
#include "service/VexMaintenance.h"
#include "ui/Accessibility.h"
#include "ui/ServiceRecordWindow.h"
#include "ui/VexFormAbout.h"
#include "ui/Translated.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QMouseEvent>
#include <QAbstractItemView>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QShortcut>
#include <QStyle>

#include <array>

namespace svc::ui {

namespace {

const QStringList kLptPorts = {"LPT1", "LPT2", "LPT3"};
const QStringList kInitialPorts = {"LPT1", "LPT2", "LPT3", "ZQUSB1"};
const QStringList kAllPorts = {"LPT1", "LPT2", "LPT3", "ZQUSB1", "ZQUSB2", "ZQUSB3"};

QLabel* MakeLabel(const QString& text, QWidget* parent, const QRect& geometry) {
    auto* label = new QLabel(Tr(text), parent);
    label->setGeometry(geometry);
    return label;
}

QComboBox* MakeList(const char* name, const QStringList& items, QWidget* parent, const QRect& geometry) {
    auto* list = new QComboBox(parent);
    list->setObjectName(name);
    list->addItems(items);
    list->setGeometry(geometry);
    list->setCurrentIndex(-1);
    return list;
}

QPushButton* MakeButton(const char* name, const QString& text, QWidget* parent, const QRect& geometry) {
    auto* button = new QPushButton(Tr(text), parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

}  // namespace

TFormBoot::TFormBoot()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName("FormBoot");
    setWindowTitle(Tr(" KORVA printer adjustment program"));
    setFixedSize(562, 334);
    setFont(QFont("Arial", 9));
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(158, 248, 176));
    setPalette(p);
    setAutoFillBackground(true);
    BuildControls();
    CentreOnScreen(this);
}

void TFormBoot::BuildControls() {
    auto* title = MakeLabel("KORVA printer adjustment program", this, {0, 14, 562, 40});
    title->setObjectName("TitleLbl");
    title->setAlignment(Qt::AlignCenter);
    title->setFont(QFont("Arial", 20, QFont::Bold, true));
    QPalette blue = title->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    title->setPalette(blue);
    auto* system = MakeLabel("for Windows95 / 98 / Me", this, {0, 56, 562, 20});
    system->setObjectName("SystemLbl");
    system->setAlignment(Qt::AlignCenter);
    system->setFont(QFont("Arial", 10, QFont::Bold));

    MakeLabel("Model Name", this, {120, 96, 130, 24})->setObjectName("ModelLbl");
    QStringList models, destinations;
    for (const ModelInfo& m : Models()) {
        models << QString::fromUtf8(m.name.data(), static_cast<qsizetype>(m.name.size()));
        destinations << QString::fromUtf8(m.destination.data(), static_cast<qsizetype>(m.destination.size()));
    }
    modelCombo_ = MakeList("ModelNameCombo", models, this, {260, 96, 180, 24});
    MakeLabel("Port selection", this, {120, 130, 130, 24})->setObjectName("PortSelectLbl");
    portCombo_ = MakeList("PortSelectCombo", kInitialPorts, this, {260, 130, 180, 24});
    portCombo_->setMaxVisibleItems(6);
    MakeLabel("Destination", this, {120, 164, 130, 24})->setObjectName("DestinationLbl");
    destinationCombo_ = MakeList("DestinationCombo", destinations, this, {260, 164, 180, 24});
    destinationCombo_->setEnabled(false);
    connect(modelCombo_, &QComboBox::activated, this, &TFormBoot::ModelNameComboChange);

    okBtn_ = MakeButton("OKBtn", "OK", this, {170, 206, 100, 30});
    okBtn_->setDefault(true);
    okBtn_->setAutoDefault(true);
    quitBtn_ = MakeButton("QuitBtn", "Quit", this, {292, 206, 100, 30});
    connect(okBtn_, &QPushButton::clicked, this, &TFormBoot::OKBtnClick);
    connect(quitBtn_, &QPushButton::clicked, this, &TFormBoot::QuitBtnClick);
    // OK is the default button and Quit the cancel button of the window.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter})
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, okBtn_, &QPushButton::click);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, quitBtn_, &QPushButton::click);
    // The service record, beside the window's own controls.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), this), &QShortcut::activated, this, [this] {
        ServiceRecordWindow* record = ServiceRecord();
        record->show();
        record->raise();
        record->activateWindow();
    });
    // A closed drop-down list takes Return for itself; it presses OK here too.
    for (QComboBox* list : {modelCombo_, portCombo_, destinationCombo_}) list->installEventFilter(this);

    auto* note = new QFrame(this);
    note->setObjectName("NotePnl");
    note->setFrameStyle(QFrame::Box | QFrame::Plain);
    note->setGeometry(24, 252, 514, 64);
    auto* sign = new QLabel(note);
    sign->setObjectName("WarningImage");
    sign->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(40, 40));
    sign->setGeometry(10, 12, 40, 40);
    auto* noteText =
        MakeLabel("When you replaced a main board, this program cannot run by USB cable. Please use a parallel cable.",
                  note, {60, 6, 444, 52});
    noteText->setObjectName("NoteLbl");
    noteText->setWordWrap(true);

    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName("PopupMenu");
    QAction* version = popupMenu_->addAction(Tr("Version"));
    version->setObjectName("VersionItem");
    connect(version, &QAction::triggered, this, &TFormBoot::VersionItemClick);
}

void TFormBoot::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Coming back from a minimised state is not a new start.
    if (!event->spontaneous()) FormShow();
}

bool TFormBoot::eventFilter(QObject* watched, QEvent* event) {
    auto* list = qobject_cast<QComboBox*>(watched);
    if (list && event->type() == QEvent::KeyPress && !list->view()->isVisible()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && okBtn_->isEnabled()) {
            okBtn_->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString TFormBoot::DefaultChoicesFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/svcadjust/start-window.conf");
}

void TFormBoot::FormShow() {
    modelCombo_->setCurrentIndex(-1);
    portCombo_->setCurrentIndex(-1);
    destinationCombo_->setCurrentIndex(-1);
    okBtn_->setEnabled(true);
    quitBtn_->setEnabled(true);
    RebuildPortList();
    const bool firstShow = !shownBefore_;
    shownBefore_ = true;
    if (!firstShow || choicesFile_.isEmpty()) return;
    // The last connection's model and port, when the lists still offer them.
    QSettings kept(choicesFile_, QSettings::IniFormat);
    const int model = modelCombo_->findText(kept.value(QStringLiteral("model")).toString());
    const int port = portCombo_->findText(kept.value(QStringLiteral("port")).toString());
    if (model >= 0) {
        modelCombo_->setCurrentIndex(model);
        ModelNameComboChange(model);
    }
    if (port >= 0) portCombo_->setCurrentIndex(port);
    if (model >= 0 && port >= 0) okBtn_->setFocus();
}

void TFormBoot::RebuildPortList() {
    const QStringList* ports = nullptr;
    switch (GetOsVersion()) {
        case 162:
        case 163:
            ports = &kLptPorts;
            break;
        case 164:
        case 165:
        case 166:
            ports = &kAllPorts;
            break;
        default:
            break;  // 161 and anything unknown keep the list as it is
    }
    if (!ports) return;
    portCombo_->clear();
    portCombo_->addItems(*ports);
    portCombo_->setCurrentIndex(-1);
}

void TFormBoot::ModelNameComboChange(int index) {
    // The destination follows the model; nothing reads it.
    destinationCombo_->setCurrentIndex(index);
}

void TFormBoot::OKBtnClick() {
    ShowHourglass();
    const int model = modelCombo_->currentIndex();
    const int port = portCombo_->currentIndex();
    if (model < 0 || port < 0) {
        ShowNormalCursor();
        return;
    }
    const auto models = Models();
    modelCode_ = model < static_cast<int>(models.size())
                     ? static_cast<std::uint8_t>(models[static_cast<std::size_t>(model)].code)
                     : kModelNone;
    if (port < static_cast<int>(kPortCodes.size())) portCode_ = kPortCodes[static_cast<std::size_t>(port)];

    if (const char* failure = ConnectPrinter(modelCode_, portCode_)) return ShowConnectionError(failure);
    const std::uint16_t deviceId = LastDeviceIdResult();
    // Asked of the journal before this session is recorded; no byte is sent
    // unless it names an interrupted refurbishment on this bench and port.
    const auto interrupted = InterruptedRefurbishmentHere(modelCode_, portCode_);
    journal::Journal().BeginSession(
        modelCode_, portCode_,
        deviceId == 1 ? "packet protocol" : "no packet protocol (" + std::to_string(deviceId) + ")");

    if (!choicesFile_.isEmpty()) {
        // A choice that cannot be kept (a read-only folder) costs nothing but the convenience.
        QDir().mkpath(QFileInfo(choicesFile_).absolutePath());
        QSettings kept(choicesFile_, QSettings::IniFormat);
        kept.setValue(QStringLiteral("model"), modelCombo_->currentText());
        kept.setValue(QStringLiteral("port"), portCombo_->currentText());
    }

    hide();
    if (mainWindow_) mainWindow_->show();
    ShowNormalCursor();
    if (interrupted)
        OfferToFinishRefurbishment(QString::fromStdString(journal::DescribeInterrupted(*interrupted)),
                                   interrupted->exchangeSeen);
}

void TFormBoot::OfferToFinishRefurbishment(const QString& what, bool exchangeSeen) {
    // After the main window's Get Status, on the main window, as its button would.
    QPointer<QWidget> window = mainWindow_;
    QTimer::singleShot(0, this, [this, window, what, exchangeSeen] {
        auto* frame = dynamic_cast<FeatureFrame*>(window.data());
        if (!frame || !window->isVisible() || !window->isEnabled()) return;
        const QString question = Tr("%1\n\nFinish it now? The printer then ends the exchange, the EEPROM is reset to "
                                    "the delivery setting and the printer is switched off.")
                                     .arg(what);
        bool yes = false;
        if (askFinish_) {
            yes = askFinish_(question);
        } else {
            QMessageBox box(QMessageBox::Question, Tr("Refurbishment for DOA"), question,
                            QMessageBox::Yes | QMessageBox::No, window);
            box.setDefaultButton(QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            yes = box.exec() == QMessageBox::Yes;
        }
        if (!yes || !window || !window->isVisible()) return;
        frame->ShowPanel(kExchangeFirstPanel);
        journal::Journal().BeginOperation("doa-finish", "");  // the main window ends it
        Maintenance().FinishRefurbishmentClick(*frame, exchangeSeen);
    });
}

TFormBoot::~TFormBoot() { delete record_; }

ServiceRecordWindow* TFormBoot::ServiceRecord() {
    if (!record_) {
        QPointer<QWidget> window = mainWindow_;
        record_ = new ServiceRecordWindow([window]() -> FeatureFrame* {
            // The connection is the main window's, while it is shown and no operation runs.
            if (!window || !window->isVisible() || !window->isEnabled()) return nullptr;
            return dynamic_cast<FeatureFrame*>(window.data());
        });
        MakeAccessible(record_);
    } else {
        record_->Reload();
    }
    return record_;
}

void TFormBoot::ShowConnectionError(const char* text) {
    host().MessageBox(BoxOwner::None, text, "Error!", BoxIcon::Error, BoxButtons::Ok);
    // Every failed attempt gives the cursor back, whichever step failed.
    ShowNormalCursor();
}

void TFormBoot::QuitBtnClick() { close(); }

void TFormBoot::closeEvent(QCloseEvent* event) {
    PortCloseByOsSw();
    event->accept();
    emit Closed();
}

QPoint TFormBoot::VersionMenuPoint(QPoint inWindow) const { return pos() + inWindow + QPoint(3, 20); }

void TFormBoot::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        popupMenu_->popup(VersionMenuPoint(event->position().toPoint()));
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void TFormBoot::VersionItemClick() {
    if (about_) about_->exec();
}

}  // namespace svc::ui
