#include "ui/GuiHost.h"

#include "ui/Translated.h"

#include "link/OutsideLibraries.h"

#include <QAbstractButton>
#include <QApplication>
#include <algorithm>
#ifdef SVC_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#endif
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace svc::ui {

namespace {

// While an operation waits, what the technician clicks or types is dropped,
// as a disabled window drops it. Holding it back instead would replay it the
// moment the wait ends, and after an error report (which enables the window
// at once) a click made during the wait could start a second operation.
class DropUserInput : public QObject {
public:
    DropUserInput() { QCoreApplication::instance()->installEventFilter(this); }
    ~DropUserInput() override { QCoreApplication::instance()->removeEventFilter(this); }
    DropUserInput(const DropUserInput&) = delete;
    DropUserInput& operator=(const DropUserInput&) = delete;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::ContextMenu:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::TabletPress:
            case QEvent::TabletRelease:
                return true;
            default:
                return false;
        }
    }
};

// The host whose idle hook is installed and whose wait the cursor ends.
GuiHost* g_current = nullptr;

}  // namespace

void GuiHost::IdleWhileTheLinkWaits() {
    if (!QCoreApplication::instance()) return;
    DropUserInput dropInput;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

GuiHost::GuiHost() {
    g_current = this;
    SetIdleHookByOsSw(&IdleWhileTheLinkWaits);
}

GuiHost::~GuiHost() {
    EndWait();
    if (g_current == this) {
        g_current = nullptr;
        SetIdleHookByOsSw(nullptr);
    }
}

void GuiHost::Sleep(int milliseconds) {
    milliseconds = std::max(0, milliseconds);
    if (!waitEnds_) {
        // Once no sleep follows within the gap, the wait is over (also when the
        // operation ends without the cursor changing, or closes the window).
        waitEnds_ = std::make_unique<QTimer>();
        waitEnds_->setSingleShot(true);
        waitEnds_->setInterval(kWaitGapMs);
        QObject::connect(waitEnds_.get(), &QTimer::timeout, [this] { EndWait(); });
    }
    const bool goesOn = waitStarted_.isValid() && waitEnds_->isActive();
    waitEnds_->stop();
    if (!goesOn) {
        EndWait();
        waitStarted_.start();
        expectedSeconds_ = 0;
        // A panel that tells how long its function takes gives the time left.
        static const QRegularExpression takesAbout(QStringLiteral("takes about (\\d+) seconds"));
        // TRANSLATORS: how a panel's text tells the time its function takes, as the
        // panels' texts say it; (\d+) stands for the seconds and must stay.
        static const QRegularExpression takesAboutHere(Tr("takes about (\\d+) seconds"));
        if (mainWindow_)
            for (const QLabel* label : mainWindow_->findChildren<QLabel*>())
                if (label->isVisibleTo(mainWindow_))
                    for (const QRegularExpression* takes : {&takesAbout, &takesAboutHere})
                        if (const auto m = takes->match(label->text()); m.hasMatch())
                            expectedSeconds_ = m.captured(1).toInt();
    }
    const qint64 sleepEnds = waitStarted_.elapsed() + milliseconds;

    DropUserInput dropInput;
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    QTimer tick;
    tick.setInterval(250);
    QObject::connect(&tick, &QTimer::timeout, [this, sleepEnds, milliseconds] { ShowWait(sleepEnds, milliseconds); });
    ShowWait(sleepEnds, milliseconds);
    if (milliseconds > 250) tick.start();
    loop.exec();
    waitEnds_->start();
}

QWidget* GuiHost::TitleWindow() const {
    if (mainWindow_ && mainWindow_->isVisible()) return mainWindow_;
    QWidget* active = QApplication::activeWindow();
    return active && !active->isModal() ? active : nullptr;
}

void GuiHost::ShowWait(qint64 sleepEndsMs, int sleepMs) {
    const qint64 elapsed = waitStarted_.elapsed();
    const qint64 thisSleepLeft = std::max<qint64>(0, sleepEndsMs - elapsed);
    if (sleepMs <= kShowWaitAfterMs && elapsed < kShowWaitAfterMs) return;
    const auto up = [](qint64 ms) { return (ms + 999) / 1000; };
    QString text;
    double progress = -1;
    if (expectedSeconds_ > 0 && elapsed < expectedSeconds_ * 1000LL) {
        text = Tr("about %1 s left").arg(up(expectedSeconds_ * 1000LL - elapsed));
        progress = static_cast<double>(elapsed) / (expectedSeconds_ * 1000.0);
    } else if (sleepMs > kShowWaitAfterMs && thisSleepLeft > 0) {
        text = Tr("%1 s left").arg(up(thisSleepLeft));
        progress = 1.0 - static_cast<double>(thisSleepLeft) / sleepMs;
    } else {
        text = Tr("waiting %1 s").arg(elapsed / 1000);
    }
    PublishProgress(progress);
    if (text == waitText_) return;
    QWidget* window = TitleWindow();
    if (!window) return;
    if (window != titled_) {
        RestoreTitle();
        titled_ = window;
        ownTitle_ = window->windowTitle();
    }
    waitText_ = text;
    window->setWindowTitle(ownTitle_ + QStringLiteral(" \u2014 ") + text);
}

// Task bars and docks of several desktops show a progress bar on the
// program's launcher for this signal; without a session bus nothing is sent.
void GuiHost::PublishProgress(double fraction) {
    if (fraction >= 0) fraction = std::clamp(fraction, 0.0, 1.0);
    if (fraction == progress_) return;
    progress_ = fraction;
#ifdef SVC_HAVE_DBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage update =
        QDBusMessage::createSignal(QStringLiteral("/org/example/svcadjust"),
                                   QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress-visible"), fraction >= 0);
    if (fraction >= 0) properties.insert(QStringLiteral("progress"), fraction);
    update << QStringLiteral("application://org.example.svcadjust.desktop") << properties;
    bus.send(update);
#endif
}

void GuiHost::RestoreTitle() {
    PublishProgress(-1);
    if (titled_ && !waitText_.isEmpty()) titled_->setWindowTitle(ownTitle_);
    titled_ = nullptr;
    waitText_.clear();
}

void GuiHost::EndWait() {
    RestoreTitle();
    waitStarted_.invalidate();
    if (waitEnds_) waitEnds_->stop();
}

void GuiHost::RepaintMainWindow() {
    DropUserInput dropInput;
    if (mainWindow_) mainWindow_->repaint();
    QCoreApplication::processEvents();
}

namespace {

QMessageBox::Icon ToQt(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Error:
            return QMessageBox::Critical;
        case BoxIcon::Information:
            return QMessageBox::Information;
        case BoxIcon::Question:
            return QMessageBox::Question;
        case BoxIcon::Warning:
            return QMessageBox::Warning;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQt(BoxButtons buttons) {
    switch (buttons) {
        case BoxButtons::Ok:
            return QMessageBox::Ok;
        case BoxButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case BoxButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
    }
    return QMessageBox::Ok;
}

BoxAnswer FromQt(int button, BoxButtons buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return BoxAnswer::Ok;
        case QMessageBox::Yes:
            return BoxAnswer::Yes;
        case QMessageBox::No:
            return BoxAnswer::No;
        case QMessageBox::Cancel:
            return BoxAnswer::Cancel;
        default:
            // Closed by Escape or the title bar: the safe answer of the box.
            return buttons == BoxButtons::YesNo ? BoxAnswer::No
                   : buttons == BoxButtons::Ok  ? BoxAnswer::Ok
                                                : BoxAnswer::Cancel;
    }
}

}  // namespace

BoxAnswer GuiHost::MessageBox(BoxOwner owner, const std::string& text, const std::string& caption, BoxIcon icon,
                              BoxButtons buttons) {
    // A box without a named owner belongs to the window the technician is
    // using (the start window); at start-up there is none.
    QWidget* parent = owner == BoxOwner::MainWindow ? mainWindow_.data() : QApplication::activeWindow();
    QMessageBox box(ToQt(icon), Tr(caption), Tr(text), ToQt(buttons), parent);
    // Qt's own button texts, in the program's language.
    const std::pair<QMessageBox::StandardButton, const char*> buttonTexts[] = {{QMessageBox::Ok, SVC_N("OK")},
                                                                               {QMessageBox::Cancel, SVC_N("Cancel")},
                                                                               {QMessageBox::Yes, SVC_N("&Yes")},
                                                                               {QMessageBox::No, SVC_N("&No")}};
    for (const auto& [which, label] : buttonTexts)
        if (QAbstractButton* button = box.button(which)) button->setText(Tr(label));
    // Application-modal whatever its parent: the main window's disable timer
    // may enable the window while the box is up, and no click may reach it
    // (or any other window) to start a second operation under the box.
    box.setWindowModality(Qt::ApplicationModal);
    // The hourglass of a running operation must not hide the box's buttons.
    const bool busy = HourglassShown();
    if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = box.exec();
    if (busy) QApplication::restoreOverrideCursor();
    return FromQt(answer, buttons);
}

void ShowHourglass() {
    if (!HourglassShown()) {
        ShowNormalCursor();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
}

void ShowNormalCursor() {
    if (g_current) g_current->EndWait();
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

bool HourglassShown() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

void CentreOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace svc::ui
