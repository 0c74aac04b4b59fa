// Cut position adjustment on roll paper: the stored pattern "cutpos.prn"
// shows 17 numbered marks; the technician picks the one cut correctly and
// the printer is sent the matching value. A write needs a print first.
#pragma once

#include "link/FeatureFrame.h"

#include <cstdint>

namespace svc {

namespace cutpos {
inline constexpr const char* kPrintFile = "cutpos.prn";
inline constexpr const char* kList = "CutPosAdjustInputComboBox";
inline constexpr int kItems = 17;
inline constexpr int kPresentItem = 9;  // "9": the value 0
// The value of list index i (item "i + 1"): 64 - 8 i.
constexpr std::int8_t ValueOfIndex(int index) { return static_cast<std::int8_t>(64 - 8 * index); }
}  // namespace cutpos

void CutPosAdjustPrintBtnClick(FeatureFrame& frame);
void CutPosAdjustInputBtnClick(FeatureFrame& frame);

}  // namespace svc
