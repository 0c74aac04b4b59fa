// The printer's part of the main window's HideAllPanels.
#pragma once

#include "link/FeatureFrame.h"

namespace svc {

// A carriage that the PG adjustment left away from home is sent back before
// any other panel is shown. False when the printer could not be asked
// (CarriageHome returned 0): the caller changes nothing. The carriage-at-home
// flag is set only when the carriage got home (result 1); after any other
// result it stays clear, so the next panel change tries again.
bool ReturnCarriageHome(FeatureFrame& frame);

}  // namespace svc
