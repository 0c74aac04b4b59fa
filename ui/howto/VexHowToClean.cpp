#include "ui/howto/VexHowToClean.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace svc::ui {

TFormHowToClean::TFormHowToClean()
    : THowToForm(QStringLiteral("FormHowToClean"), QStringLiteral("How to Clean"), {660, 260})
{
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(10, 8, 10, 8);
    page->setSpacing(6);
    page->addWidget(MakeText(QStringLiteral("Instructions:")));

    QGridLayout* steps = MakeStepGrid();
    steps->setVerticalSpacing(3);
    const char* const kSteps[] = {
        "To perform this adjustment the printer mechanism must be removed from the casing.",
        "Disengage the carriage lock lever.",
        "Move the carriage assembly carefully toward the left.",
        "Remove the pump and cap assembly (4 screws)",
        "Move the carriage assembly carefully to the home position.",
        "From the front view of the printer carefully tilt the printer in the upward direction "
        "until you see the printhead nozzle plate.",
    };
    int number = 1;
    for (const char* text : kSteps)
        AddStep(steps, QStringLiteral("%1.").arg(number++), QString::fromLatin1(text));
    page->addLayout(steps);
    page->addSpacing(4);
    page->addLayout(MakeHeadedText(
        QStringLiteral("Note:"),
        QStringLiteral("Using the cleaning tool provided with the printer (recommended), wipe off "
                       "any ink drops from the metal plate around the printhead.")));
    page->addStretch(1);
}

}  // namespace svc::ui
