// Small controls of the PW sensor, pixel shift, first dot and cut position
// panels: the up-down arrows tied to an edit field, and the builders that
// place labels, edits and buttons in the window's style.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace svc::ui {

// Up-down arrows tied to an edit field: each click moves the number in the
// field by one within [low, high] (a field without a number starts from 0)
// and then signals Clicked.
class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(QLineEdit* buddy, int low, int high, QWidget* parent);
    void Step(int delta);

signals:
    void Clicked();

private:
    QLineEdit* buddy_;
    int low_, high_;
};

}  // namespace svc::ui
