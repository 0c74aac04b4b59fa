#include "ui/howto/VexHowToCheckA4Pat.h"
#include "ui/Translated.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace svc::ui {

THowToCheckA4PatForm::THowToCheckA4PatForm()
    : THowToForm(QStringLiteral("HowToCheckA4PatForm"), Tr("How to check the A4 normal check pattern"), {437, 430}) {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(12);

    // First half of the sheet: the margin check that calls for the PW adjustment.
    QGridLayout* pw = MakeStepGrid();
    pw->setVerticalSpacing(3);
    AddStep(pw, QStringLiteral("1."), Tr("PW sensor check pattern"));
    AddFollowOn(pw, Tr("If the following items apply, perform the PW adjustment."));
    AddFollowOn(pw, Tr("- This pattern was printed by frameless printing."));
    AddFollowOn(pw, Tr("- The left margin of printed pattern was out of range. "
                       "(1.9mm~3.5mm)"));
    page->addLayout(pw);
    page->addWidget(MakePicture(QStringLiteral("a4_margin"), {319, 110}), 0, Qt::AlignHCenter);

    // Second half: the block pairs that call for the PF adjustment.
    QGridLayout* pf = MakeStepGrid();
    pf->setVerticalSpacing(3);
    AddStep(pf, QStringLiteral("2."), Tr("PF adjustment check pattern."));
    AddFollowOn(pf, Tr("If the printed pattern is like \"X\" pattern of right figure, "
                       "perform the PF adjustment."));
    auto* pfColumn = new QVBoxLayout;
    pfColumn->addLayout(pf);
    pfColumn->addStretch(1);
    auto* pfRow = new QHBoxLayout;
    pfRow->setSpacing(10);
    pfRow->addLayout(pfColumn, 1);
    pfRow->addWidget(MakePicture(QStringLiteral("a4_blocks"), {129, 120}), 0, Qt::AlignTop);
    page->addLayout(pfRow);
    page->addStretch(1);
}

}  // namespace svc::ui
