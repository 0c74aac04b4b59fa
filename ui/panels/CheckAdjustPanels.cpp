#include "ui/panels/Panels.h"

namespace svc::ui {

void RegisterCheckAdjustPanels(TFormAdjust&) {}

}  // namespace svc::ui
