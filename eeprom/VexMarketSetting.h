// The market destination setting: writes the destination bytes for the
// model chosen on the start window (0x49, 0x6A, 0x6B, 0xA7, 0xE0 and, for the
// TRN/VLK model, its model-name string) and checks them.
#pragma once

#include "link/FeatureFrame.h"

namespace svc {

// OK: writes the setting; the printer is then restarted by the technician.
void DefaultSetOKBtnClick(FeatureFrame& frame);
// Check: reads the setting, says whether it is right and shows the model name.
void DestCheckBtnClick(FeatureFrame& frame);

}  // namespace svc
