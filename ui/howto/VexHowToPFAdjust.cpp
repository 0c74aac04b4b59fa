#include "ui/howto/VexHowToPFAdjust.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace svc::ui {

THowToPFAdjustForm::THowToPFAdjustForm()
    : THowToForm(QStringLiteral("HowToPFAdjustForm"), QStringLiteral("How to PF adjustment"),
                 {458, 464})
{
    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(10);

    QGridLayout* steps = MakeStepGrid();
    AddStep(steps, QStringLiteral("1."), QStringLiteral("Print the check pattern."));
    AddStep(steps, QStringLiteral("2."),
            QStringLiteral("Input the adjustment value of the pattern that is the smallest "
                           "displacements in the printed check pattern."));
    AddFollowOn(steps, QStringLiteral("As shown in the example on the right."), kNotePx, Navy());
    AddFollowOn(steps, QStringLiteral("In this case, input 3."), kNotePx, Navy());

    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 6, 0, 0);
    column->addLayout(steps);
    column->addStretch(1);
    page->addLayout(column, 1);
    page->addWidget(MakePicture(QStringLiteral("pf_blocks"), {173, 442}), 0, Qt::AlignTop);
}

}  // namespace svc::ui
