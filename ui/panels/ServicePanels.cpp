#include "ui/panels/Panels.h"

namespace svc::ui {

void RegisterServicePanels(TFormAdjust&) {}

}  // namespace svc::ui
