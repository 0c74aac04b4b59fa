// PW sensor adjustment: the four lines 5 mm from the paper edges.
#pragma once

#include "ui/howto/HowToForm.h"

namespace svc::ui {

class THowToPWAdjustForm : public THowToForm {
    Q_OBJECT
public:
    THowToPWAdjustForm();
};

}  // namespace svc::ui
