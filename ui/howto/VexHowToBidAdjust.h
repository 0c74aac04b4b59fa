// Bi-D adjustment: reading the straight line among the printed line groups.
#pragma once

#include "ui/howto/HowToForm.h"

namespace svc::ui {

class THowToBidAdjustForm : public THowToForm {
    Q_OBJECT
public:
    THowToBidAdjustForm();
};

}  // namespace svc::ui
