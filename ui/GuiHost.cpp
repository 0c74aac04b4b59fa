#include "ui/GuiHost.h"

#include <QApplication>
#include <algorithm>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMessageBox>
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

}  // namespace

void GuiHost::Sleep(int milliseconds) {
    DropUserInput dropInput;
    QEventLoop loop;
    QTimer::singleShot(std::max(0, milliseconds), &loop, &QEventLoop::quit);
    loop.exec();
}

void GuiHost::RepaintMainWindow() {
    DropUserInput dropInput;
    if (mainWindow_) mainWindow_->repaint();
    QCoreApplication::processEvents();
}

namespace {

QMessageBox::Icon ToQt(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Error: return QMessageBox::Critical;
    case BoxIcon::Information: return QMessageBox::Information;
    case BoxIcon::Question: return QMessageBox::Question;
    case BoxIcon::Warning: return QMessageBox::Warning;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQt(BoxButtons buttons) {
    switch (buttons) {
    case BoxButtons::Ok: return QMessageBox::Ok;
    case BoxButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case BoxButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    }
    return QMessageBox::Ok;
}

BoxAnswer FromQt(int button, BoxButtons buttons) {
    switch (button) {
    case QMessageBox::Ok: return BoxAnswer::Ok;
    case QMessageBox::Yes: return BoxAnswer::Yes;
    case QMessageBox::No: return BoxAnswer::No;
    case QMessageBox::Cancel: return BoxAnswer::Cancel;
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
    QMessageBox box(ToQt(icon), QString::fromStdString(caption), QString::fromStdString(text), ToQt(buttons),
                    parent);
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
