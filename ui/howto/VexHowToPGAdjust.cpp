#include "ui/howto/VexHowToPGAdjust.h"
#include "ui/Translated.h"

#include <QBoxLayout>
#include <QGridLayout>

namespace svc::ui {

TFormHowToPGAdjust::TFormHowToPGAdjust()
    : THowToForm(QStringLiteral("FormHowToPGAdjust"), Tr("How to PG adjustment"), {853, 375}) {
    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(8, 6, 8, 6);
    page->setSpacing(12);

    QGridLayout* steps = MakeStepGrid();
    steps->setVerticalSpacing(2);
    const char* const kSteps[] = {
        SVC_N("Remove the 4 parallelism bushings from the printer mechanism."),
        SVC_N("Set the PG Lever to the \"+\" position. (Envelope position)"),
        SVC_N("Click the \"Center Position\" button."),
        SVC_N("Set the right platen gap tool on the right side of the platen."),
        SVC_N("Click the \"Right Main Position (1)\" button."),
        SVC_N("Set the PG Lever to the \"0\" position. (Sheet feed position)"),
        SVC_N("Connect the tester and set one terminal to the platen gap tool and the other terminal "
              "to ground."),
        SVC_N("Move the right main CR guide shaft bushing until there is no continuity."),
        SVC_N("Confirm continuity by moving the bushing lever one notch away (up or down), then return "
              "to the previous notch which no continuity was found."),
        SVC_N("Set the PG Lever to the \"+\" position. (Envelope position)"),
        SVC_N("Repeat step 3 through 10 for the Left Main Position (2), the Right Sub Position (3), "
              "and the Left Sub Position (4)."),
    };
    int number = 1;
    for (const char* text : kSteps) AddStep(steps, QStringLiteral("%1.").arg(number++), Tr(text));

    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    column->addLayout(steps);
    column->addLayout(
        MakeHeadedText(Tr("TIP:"), Tr("If you have difficulties finding continulty and no continuity from any CR "
                                      "guide shaft bushings, set all 4 shaft bushings to the center position and "
                                      "then repeat the entire adjustment procedure.")));
    column->addStretch(1);
    page->addLayout(column, 1);

    // The mechanism seen from the front; the numbers mark the four bushings
    // in the order they are adjusted.
    QWidget* mechanism = MakePicture(QStringLiteral("pg_mechanism"), {282, 174});
    Overlay(mechanism, Tr(" 1"), {240, 30}, kNotePx);
    Overlay(mechanism, Tr(" 2"), {22, 30}, kNotePx);
    Overlay(mechanism, Tr(" 3"), {240, 126}, kNotePx);
    Overlay(mechanism, Tr(" 4"), {22, 126}, kNotePx);

    // The side column keeps the picture's width so the steps get the rest.
    auto* side = new QVBoxLayout;
    side->setSpacing(8);
    side->addWidget(mechanism);
    side->addLayout(
        MakeHeadedText(Tr("Note:"), Tr("The numbers show the sequence in which the adjustments must be performed.")));
    side->addStretch(1);
    auto* sideColumn = new QWidget(this);
    sideColumn->setLayout(side);
    side->setContentsMargins(0, 0, 0, 0);
    sideColumn->setFixedWidth(mechanism->width());
    page->addWidget(sideColumn);
}

}  // namespace svc::ui
