// The quit window, shown when the main adjustment window closes: "Continue"
// goes back to the start window for the next printer, "Quit" ends the program.
#pragma once

#include <QDialog>

namespace svc::ui {

class TFormQuit : public QDialog {
    Q_OBJECT
public:
    TFormQuit();

    // The start window: shown again by Continue, closed by Quit.
    void SetStartWindow(QWidget* start) { start_ = start; }

public slots:
    void ContinueBtnClick();
    void QuitBtnClick();
    // Escape, and any way of closing the window other than its buttons,
    // count as the cancel button "Quit": the program never stays without a
    // visible window.
    void reject() override;

private:
    QWidget* start_ = nullptr;
};

}  // namespace svc::ui
