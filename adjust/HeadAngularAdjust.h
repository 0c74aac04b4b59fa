// Head angular adjustment: a mechanical adjustment of the head, judged on the
// head angular pattern; the carriage is moved to where the head is adjusted
// and brought home once the technician is done. No value is stored.
#pragma once

#include "link/FeatureFrame.h"

namespace svc {

inline constexpr const char* kHeadAngularPanel = "HeadAngularPnl";

// "Print": the head angular pattern on its own page.
void HeadAngularPrintBtnClick(FeatureFrame& frame);
// "Adjust": carriage to the adjustment position, wait for the technician, carriage home.
void HeadAngularCRMoveBtnClick(FeatureFrame& frame);

}  // namespace svc
