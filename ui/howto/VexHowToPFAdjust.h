// PF adjustment: which of the nine printed blocks gives the value to enter.
#pragma once

#include "ui/howto/HowToForm.h"

namespace svc::ui {

class THowToPFAdjustForm : public THowToForm {
    Q_OBJECT
public:
    THowToPFAdjustForm();
};

}  // namespace svc::ui
