#include "ui/howto/VexHowToClean.h"
#include "ui/Translated.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace svc::ui {

TFormHowToClean::TFormHowToClean() : THowToForm(QStringLiteral("FormHowToClean"), Tr("How to Clean"), {660, 260}) {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(10, 8, 10, 8);
    page->setSpacing(6);
    page->addWidget(MakeText(Tr("Instructions:")));

    QGridLayout* steps = MakeStepGrid();
    steps->setVerticalSpacing(3);
    const char* const kSteps[] = {
        SVC_N("To perform this adjustment the printer mechanism must be removed from the casing."),
        SVC_N("Disengage the carriage lock lever."),
        SVC_N("Move the carriage assembly carefully toward the left."),
        SVC_N("Remove the pump and cap assembly (4 screws)"),
        SVC_N("Move the carriage assembly carefully to the home position."),
        SVC_N("From the front view of the printer carefully tilt the printer in the upward direction "
              "until you see the printhead nozzle plate."),
    };
    int number = 1;
    for (const char* text : kSteps) AddStep(steps, QStringLiteral("%1.").arg(number++), Tr(text));
    page->addLayout(steps);
    page->addSpacing(4);
    page->addLayout(
        MakeHeadedText(Tr("Note:"), Tr("Using the cleaning tool provided with the printer (recommended), wipe off "
                                       "any ink drops from the metal plate around the printhead.")));
    page->addStretch(1);
}

}  // namespace svc::ui
