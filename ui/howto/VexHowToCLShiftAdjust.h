// Pixel shift adjustment: reading the straight line in each printed group.
#pragma once

#include "ui/howto/HowToForm.h"

namespace svc::ui {

class THowToCLShiftAdjustForm : public THowToForm {
    Q_OBJECT
public:
    THowToCLShiftAdjustForm();
};

}  // namespace svc::ui
