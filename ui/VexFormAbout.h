// The version window, opened from the start window's pop-up menu.
#pragma once

#include <QDialog>

namespace svc::ui {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    TAboutBox();

public slots:
    void OKBtnClick();
};

}  // namespace svc::ui
