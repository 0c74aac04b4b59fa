// The program's Host on the GUI: message boxes, sleeps that keep the windows
// painting, and the hourglass cursor.
#pragma once

#include "link/Host.h"

#include <QPointer>

class QWidget;

namespace svc::ui {

class GuiHost : public svc::Host {
public:
    // The main adjustment window: owner of BoxOwner::MainWindow boxes and the window to repaint.
    void SetMainWindow(QWidget* window) { mainWindow_ = window; }

    // Runs a nested event loop for the given time that drops user input:
    // the windows keep painting, and no second operation can start, then or
    // after the wait.
    void Sleep(int milliseconds) override;
    void RepaintMainWindow() override;
    BoxAnswer MessageBox(BoxOwner owner, const std::string& text, const std::string& caption, BoxIcon icon,
                         BoxButtons buttons) override;

private:
    QPointer<QWidget> mainWindow_;
};

// The one program-wide cursor: the hourglass while an operation runs.
void ShowHourglass();
void ShowNormalCursor();
bool HourglassShown();

// Places a top-level window at the centre of the screen it is on.
void CentreOnScreen(QWidget* window);

}  // namespace svc::ui
