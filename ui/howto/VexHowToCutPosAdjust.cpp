#include "ui/howto/VexHowToCutPosAdjust.h"
#include "ui/Translated.h"

#include <QGridLayout>
#include <QVBoxLayout>

namespace svc::ui {

THowToCutPosAdjustForm::THowToCutPosAdjustForm()
    : THowToForm(QStringLiteral("HowToCutPosAdjustForm"), Tr("How to the cut position adjustment"), {528, 310}) {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(8);

    QGridLayout* steps = MakeStepGrid();
    steps->setVerticalSpacing(6);
    AddStep(steps, QStringLiteral("1."), Tr("Print Cutter Adjustment Pattern."));
    AddStep(steps, QStringLiteral("2."),
            Tr("Select the number of the pattern that performed the most precise cut "
               "between the black and orange rectangles."));
    AddFollowOn(steps, Tr("If the pattern was not cut precisely, select the number closest "
                          "to the cut position between the black and orange areas. And then "
                          "print the Cutter Adjustment pattern again."));
    page->addLayout(steps);
    page->addStretch(1);

    QWidget* marks = MakePicture(QStringLiteral("cut_marks"), {476, 144});
    Overlay(marks, Tr("No.9 is present cutting position."), {252, 118}, kNotePx);
    page->addWidget(marks, 0, Qt::AlignHCenter);
}

}  // namespace svc::ui
