// A4 normal check pattern: when the PW or PF adjustment is needed.
#pragma once

#include "ui/howto/HowToForm.h"

namespace svc::ui {

class THowToCheckA4PatForm : public THowToForm {
    Q_OBJECT
public:
    THowToCheckA4PatForm();
};

}  // namespace svc::ui
