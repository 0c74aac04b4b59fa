// Head angular adjustment: the printed line pairs and which way to move the lever.
#pragma once

#include "ui/howto/HowToForm.h"

namespace svc::ui {

class THowToHdAngAdjustForm : public THowToForm {
    Q_OBJECT
public:
    THowToHdAngAdjustForm();
};

}  // namespace svc::ui
