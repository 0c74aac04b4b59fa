#include "ui/howto/VexHowToPWAdjust.h"
#include "ui/Translated.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace svc::ui {

THowToPWAdjustForm::THowToPWAdjustForm()
    : THowToForm(QStringLiteral("HowToPWAdjustForm"), Tr("How to the PW adjustment"), {672, 522}) {
    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(10);

    QGridLayout* steps = MakeStepGrid();
    AddStep(steps, QStringLiteral("1."), Tr("Print the PW adjustment pattern."));
    AddStep(steps, QStringLiteral("2."),
            Tr("Input the 4 adjustment values of printed lines that are 5mm away "
               "from each edge of the paper."));
    AddFollowOn(steps, Tr("As shown in the example on the right."), kNotePx, Navy());

    auto* ranges = new QVBoxLayout;
    ranges->setSpacing(2);
    ranges->addWidget(MakeText(Tr("The following numbers indicate the range of the input values :"), kNotePx, Navy()));
    ranges->addWidget(MakeText(Tr("Top/Bottom: -16~16"), kNotePx, Navy()));
    ranges->addWidget(MakeText(Tr("Left/Right: -8~24"), kNotePx, Navy()));
    steps->addLayout(ranges, steps->rowCount(), 1);

    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 6, 0, 0);
    column->addLayout(steps);
    column->addStretch(1);
    page->addLayout(column, 1);

    // The printed sheet; the overlays sit beside the scale line they explain.
    QWidget* sheet = MakePicture(QStringLiteral("pw_sheet"), {347, 483});
    Overlay(sheet, QStringLiteral("5mm"), {130, 26}, kMarkPx);
    Overlay(sheet, QStringLiteral("5mm"), {130, 440}, kMarkPx);
    Overlay(sheet, QStringLiteral("5mm"), {33, 88}, kMarkPx);
    Overlay(sheet, QStringLiteral("5mm"), {292, 88}, kMarkPx);
    Overlay(sheet, Tr("In this case, input 8"), {164, 2}, kCaptionPx, Red());
    Overlay(sheet, Tr("In this case, input 2"), {125, 193}, kCaptionPx, Red());
    Overlay(sheet, Tr("In this case, input 4"), {100, 222}, kCaptionPx, Red());
    Overlay(sheet, Tr("In this case, input -2"), {125, 465}, kCaptionPx, Red());
    page->addWidget(sheet, 0, Qt::AlignTop);
}

}  // namespace svc::ui
