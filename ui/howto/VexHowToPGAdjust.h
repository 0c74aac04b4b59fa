// PG adjustment: setting the four guide shaft bushings by hand.
#pragma once

#include "ui/howto/HowToForm.h"

namespace svc::ui {

class TFormHowToPGAdjust : public THowToForm {
    Q_OBJECT
public:
    TFormHowToPGAdjust();
};

}  // namespace svc::ui
