#include "ui/panels/Panels.h"

namespace svc::ui {

void RegisterEepromPanels(TFormAdjust&) {}

}  // namespace svc::ui
