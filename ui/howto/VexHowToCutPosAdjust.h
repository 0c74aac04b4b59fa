// Cut position adjustment: choosing the mark that was cut precisely.
#pragma once

#include "ui/howto/HowToForm.h"

namespace svc::ui {

class THowToCutPosAdjustForm : public THowToForm {
    Q_OBJECT
public:
    THowToCutPosAdjustForm();
};

}  // namespace svc::ui
