#include "ui/howto/VexHowToCLShiftAdjust.h"
#include "ui/Translated.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace svc::ui {

THowToCLShiftAdjustForm::THowToCLShiftAdjustForm()
    : THowToForm(QStringLiteral("HowToCLShiftAdjustForm"), Tr("How to pixel shift adjustment"), {510, 170}) {
    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(8, 6, 8, 6);
    page->setSpacing(10);

    QGridLayout* steps = MakeStepGrid();
    steps->setVerticalSpacing(3);
    AddStep(steps, QStringLiteral("1."), Tr("Print the Pixel Shift Adjustment pattern."));
    AddStep(steps, QStringLiteral("2."), Tr("Check the printed pattern."));
    AddFollowOn(steps, Tr("Input the adjustment value of straight line in the printed lines."));

    // The Bi-D alignment must come first: a warning band the eye cannot miss.
    QLabel* warning = MakeText(Tr("Before performing this adjustment, adjust the Bi-D Alignment."), kTextPx, Qt::white);
    QPalette pal = warning->palette();
    pal.setColor(QPalette::Window, Orange());
    warning->setPalette(pal);
    warning->setAutoFillBackground(true);
    warning->setContentsMargins(3, 1, 3, 1);

    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    column->addLayout(steps);
    column->addStretch(1);
    column->addWidget(warning);
    page->addLayout(column, 1);

    QWidget* picture = MakePicture(QStringLiteral("pixel_shift"), {175, 104});
    Overlay(picture, Tr("ex. : A line"), {4, 2}, kCaptionPx);
    page->addWidget(picture, 0, Qt::AlignTop);
}

}  // namespace svc::ui
