#include "ui/howto/VexHowToPFAdjust.h"
#include "ui/Translated.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace svc::ui {

THowToPFAdjustForm::THowToPFAdjustForm()
    : THowToForm(QStringLiteral("HowToPFAdjustForm"), Tr("How to PF adjustment"), {458, 464}) {
    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(10);

    QGridLayout* steps = MakeStepGrid();
    AddStep(steps, QStringLiteral("1."), Tr("Print the check pattern."));
    AddStep(steps, QStringLiteral("2."),
            Tr("Input the adjustment value of the pattern that is the smallest "
               "displacements in the printed check pattern."));
    AddFollowOn(steps, Tr("As shown in the example on the right."), kNotePx, Navy());
    AddFollowOn(steps, Tr("In this case, input 3."), kNotePx, Navy());

    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 6, 0, 0);
    column->addLayout(steps);
    column->addStretch(1);
    page->addLayout(column, 1);
    page->addWidget(MakePicture(QStringLiteral("pf_blocks"), {173, 442}), 0, Qt::AlignTop);
}

}  // namespace svc::ui
