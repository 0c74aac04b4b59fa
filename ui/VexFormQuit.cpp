#include "ui/VexFormQuit.h"

#include "ui/GuiHost.h"
#include "ui/Translated.h"

#include <QLabel>
#include <QPushButton>

namespace svc::ui {

TFormQuit::TFormQuit()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint) {
    setObjectName("FormQuit");
    setWindowTitle(Tr(" Adjustment program"));
    setFixedSize(269, 110);
    setFont(QFont("Arial", 9));
    auto* question = new QLabel(Tr("Do you continue?"), this);
    question->setObjectName("QuestionLbl");
    question->setAlignment(Qt::AlignCenter);
    question->setFont(QFont("Arial", 12, QFont::Bold));
    QPalette blue = question->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    question->setPalette(blue);
    question->setGeometry(0, 16, 269, 28);
    auto* continueBtn = new QPushButton(Tr("Continue"), this);
    continueBtn->setObjectName("ContinueBtn");
    continueBtn->setGeometry(36, 62, 90, 28);
    continueBtn->setDefault(true);
    auto* quitBtn = new QPushButton(Tr("Quit"), this);
    quitBtn->setObjectName("QuitBtn");
    quitBtn->setGeometry(143, 62, 90, 28);
    connect(continueBtn, &QPushButton::clicked, this, &TFormQuit::ContinueBtnClick);
    connect(quitBtn, &QPushButton::clicked, this, &TFormQuit::QuitBtnClick);
    CentreOnScreen(this);
}

void TFormQuit::ContinueBtnClick() {
    hide();
    if (start_) start_->show();
}

void TFormQuit::QuitBtnClick() {
    hide();
    if (start_) start_->close();
}

void TFormQuit::reject() { QuitBtnClick(); }

}  // namespace svc::ui
