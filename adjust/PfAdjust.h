// PF adjustment: one signed paper-feed correction (-4 to 4) in EEPROM 0x77.
// The pattern prints a test block for each candidate value, set in the
// printer for its block only; the technician inputs the best one.
#pragma once

#include "link/FeatureFrame.h"
#include "link/VexRaster.h"

#include <string>

namespace svc {

inline constexpr const char* kPfPanel = "PFAdjustmentPnl";
inline constexpr const char* kPfEdit = "PFAdjustDataEdit";
inline constexpr const char* kPfCell = "PFAdjustPnl";

// The value text under a block: the decimal candidate padded with zero bytes to four bytes.
std::string PfValueText(int value);
// The heading, then one block per candidate -4..4, each after SetPFValue and ApplySettings.
Result PfPattern(TPRaster& s);

void PFAdjustPrintBtnClick(FeatureFrame& frame);
void PFAdjustInputBtnClick(FeatureFrame& frame);
void PFAdjustCheckBtnClick(FeatureFrame& frame);
// Picking the item empties the value field.
void PFAdjustChosen(FeatureFrame& frame);

}  // namespace svc
