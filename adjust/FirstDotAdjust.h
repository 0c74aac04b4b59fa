// First dot position adjustment: where the printer puts the first dot of a
// line, a signed count of steps of 1/2880 inch (-72 to 72) in EEPROM 0x68.
// The panel shows the value, the split of the two margins as gauges and the
// correction in millimetres.
#pragma once

#include "link/FeatureFrame.h"
#include "link/VexRaster.h"

#include <string>

namespace svc {

namespace firstdot {
inline constexpr int kLow = -72;
inline constexpr int kHigh = 72;
inline constexpr int kStep = 4;  // the step buttons move four points at a time
inline constexpr const char* kEdit = "LandMarginInputEdit";
inline constexpr const char* kUpDown = "LandMarginInputUpDown";
inline constexpr const char* kLeftGauge = "LeftMarginGauge";
inline constexpr const char* kRightGauge = "RightMarginGauge";
inline constexpr const char* kRealValue = "LandMarginInputRealValuePnl";

// What the display shows for a value.
struct Display {
    int left = 50;            // left gauge, percent
    int right = 50;           // right gauge, percent
    std::string millimetres;  // "0.6350 mm"
};
// Steps 3 to 5 of setting a value: gauges and millimetres (no clamping).
Display DisplayOf(int value);
}  // namespace firstdot

// Sets the value: clamped to -72..72, into the edit, the gauges and the millimetre field.
void FirstDotSetValue(FeatureFrame& frame, int value);
// The value the edit holds now, for the step buttons; 0 when it holds none.
int FirstDotEditValue(const FeatureFrame& frame);

// The panel's handlers.
void LandMarginInputUpDownClick(FeatureFrame& frame);
void GotoLeftEdgeBitBtnClick(FeatureFrame& frame);
void SteptoLeftBitBtnClick(FeatureFrame& frame);
void CenteringBitBtnClick(FeatureFrame& frame);
void SteptoRightBitBtnClick(FeatureFrame& frame);
void GotoRightEdgeBitBtnClick(FeatureFrame& frame);
void LandMarginInputBtnClick(FeatureFrame& frame);
void LandMarginCheckBtnClick(FeatureFrame& frame);
void LandMarginPrintBtnClick(FeatureFrame& frame);

// The one-line pattern at the first dot position, ending with the form feed.
Result FirstDotPattern(TPRaster& stream);

}  // namespace svc
