// The program's Host on the GUI: message boxes, sleeps that keep the windows
// painting, and the hourglass cursor.
#pragma once

#include "link/Host.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class QWidget;

namespace svc::ui {

class GuiHost : public svc::Host {
public:
    // Installs the idle hook of the port switch and the channel while a GUI
    // host exists: their waits for the printer let the windows paint and
    // timers run, user input dropped, as the sleeps do.
    GuiHost();
    ~GuiHost() override;
    GuiHost(const GuiHost&) = delete;
    GuiHost& operator=(const GuiHost&) = delete;

    // The hook: called by the port switch and the channel between the slices
    // of a wait for the printer, it does what is due (timers, paints, the wait
    // shown in the title) and drops user input, so no second operation starts.
    static void IdleWhileTheLinkWaits();

    // The main adjustment window: owner of BoxOwner::MainWindow boxes and the window to repaint.
    void SetMainWindow(QWidget* window) { mainWindow_ = window; }

    // Runs a nested event loop for the given time that drops user input:
    // the windows keep painting, and no second operation can start, then or
    // after the wait.
    void Sleep(int milliseconds) override;
    void RepaintMainWindow() override;
    BoxAnswer MessageBox(BoxOwner owner, const std::string& text, const std::string& caption, BoxIcon icon,
                         BoxButtons buttons) override;

    // The time a long wait has lasted or has left, as the main window's
    // title shows it after its own text ("" when no wait is shown). Sleeps
    // that follow each other within kWaitGapMs make one wait; it is shown once
    // it has lasted kShowWaitAfterMs, or from its start when one sleep alone
    // is longer. A label of the shown panel that says the function "takes
    // about N seconds" gives the time left.
    static constexpr int kShowWaitAfterMs = 3000;
    static constexpr int kWaitGapMs = 1500;
    QString WaitText() const { return waitText_; }
    // How far a wait of known length has come (0 to 1), as the task bar's
    // launcher entry shows it where the desktop supports it; -1 for none.
    double WaitProgress() const { return progress_; }
    // Ends the shown wait at once (the operation is over).
    void EndWait();

private:
    void ShowWait(qint64 sleepEndsMs, int sleepMs);
    void RestoreTitle();
    void PublishProgress(double fraction);
    QWidget* TitleWindow() const;

    QPointer<QWidget> mainWindow_;
    QPointer<QWidget> titled_;
    QString ownTitle_;
    QString waitText_;
    QElapsedTimer waitStarted_;
    std::unique_ptr<QTimer> waitEnds_;
    int expectedSeconds_ = 0;
    double progress_ = -1;
};

// The one program-wide cursor: the hourglass while an operation runs.
void ShowHourglass();
void ShowNormalCursor();
bool HourglassShown();

// Places a top-level window at the centre of the screen it is on.
void CentreOnScreen(QWidget* window);

}  // namespace svc::ui
