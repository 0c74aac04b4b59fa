// Cleaning the metal plate around the print head before the PG adjustment.
#pragma once

#include "ui/howto/HowToForm.h"

namespace svc::ui {

class TFormHowToClean : public THowToForm {
    Q_OBJECT
public:
    TFormHowToClean();
};

}  // namespace svc::ui
