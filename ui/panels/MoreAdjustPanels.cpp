#include "ui/panels/Panels.h"

namespace svc::ui {

void RegisterMoreAdjustPanels(TFormAdjust&) {}

}  // namespace svc::ui
