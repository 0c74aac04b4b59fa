#include "adjust/FirstDotAdjust.h"

#include "eeprom/VexEeprom.h"
#include "service/VexFactory.h"

#include <cstdio>

namespace svc {

namespace firstdot {

namespace {
constexpr int kNotANumber = 80;                    // outside the range: refused
constexpr float kMillimetresPerStep = 0.0088194f;  // one step of 1/2880 inch
}  // namespace

Display DisplayOf(int value) {
    Display d;
    int g = static_cast<int>(value / 145.0 * 100);  // truncated toward zero
    if (value >= kHigh) g = 50;
    if (value <= kLow) g = -50;
    d.left = g + 50;
    d.right = 100 - d.left;
    const float mm = static_cast<float>(value) * kMillimetresPerStep;  // single precision
    char text[32];
    std::snprintf(text, sizeof text, "%.4f mm", static_cast<double>(mm));
    d.millimetres = text;
    return d;
}

}  // namespace firstdot

using namespace firstdot;

namespace {

void ShowDisplay(FeatureFrame& frame, int value) {
    const Display d = DisplayOf(value);
    frame.SetPosition(kLeftGauge, d.left);
    frame.SetPosition(kRightGauge, d.right);
    frame.SetText(kRealValue, d.millimetres);
}

}  // namespace

void FirstDotSetValue(FeatureFrame& frame, int value) {
    if (value >= kHigh) value = kHigh;
    if (value <= kLow) value = kLow;
    frame.SetText(kEdit, std::to_string(value));
    frame.SetPosition(kUpDown, value);
    ShowDisplay(frame, value);
}

int FirstDotEditValue(const FeatureFrame& frame) {
    // An empty edit (a failed read leaves it so) counts as the centre.
    const int notANumber = kHigh + 1000;
    const int value = NumberFromText(frame.Text(kEdit), notANumber);
    return value == notANumber ? 0 : value;
}

void LandMarginInputUpDownClick(FeatureFrame& frame) { ShowDisplay(frame, FirstDotEditValue(frame)); }
void GotoLeftEdgeBitBtnClick(FeatureFrame& frame) { FirstDotSetValue(frame, kLow); }
void SteptoLeftBitBtnClick(FeatureFrame& frame) { FirstDotSetValue(frame, FirstDotEditValue(frame) - kStep); }
void CenteringBitBtnClick(FeatureFrame& frame) { FirstDotSetValue(frame, 0); }
void SteptoRightBitBtnClick(FeatureFrame& frame) { FirstDotSetValue(frame, FirstDotEditValue(frame) + kStep); }
void GotoRightEdgeBitBtnClick(FeatureFrame& frame) { FirstDotSetValue(frame, kHigh); }

void LandMarginInputBtnClick(FeatureFrame& frame) {
    const int value = NumberFromText(frame.Text(kEdit), kNotANumber);
    if (value > kHigh || value < kLow) {
        frame.FocusField(kEdit);
        frame.SetOperationState(mode::Error, "A range of input value is -72 to 72.");
        return;
    }
    Result r = frame.SetOperationState(mode::Busy, "Writing now...");
    if (r == rc::Ok) r = EepromWrite(eep::FirstDot, ByteFromSigned(value));
    if (r == rc::Ok) r = Factory().ApplySettings();
    if (r == rc::Ok)
        frame.SetOperationState(mode::Done, "The first dot position adjustment value has written properly.");
    else
        frame.ReportErrorCode(r);
}

void LandMarginCheckBtnClick(FeatureFrame& frame) {
    frame.SetText(kEdit, "");
    Result r = frame.SetOperationState(mode::Busy, "Reading now...");
    int value = 0;
    if (r == rc::Ok) r = EepromReadFirstDot(value);
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    // The display shows the value clamped, the edit the value as read.
    FirstDotSetValue(frame, value);
    frame.SetText(kEdit, std::to_string(value));
    frame.SetOperationState(mode::Done, "The first dot position adjustment value has read properly.");
}

Result FirstDotPattern(TPRaster& s) {
    if (Result r = SendJobHeader(s, 10, 1, 10, 1); r != rc::Ok) return r;
    if (Result r = SendRasterResolution(s, 160, 5, 8, 4); r != rc::Ok) return r;
    if (Result r = SendRasterHeader(s, ink::Black, 1, 2, 1, 96); r != rc::Ok) return r;
    // One unit for all 96 lines of one byte each: a one-dot vertical line.
    if (Result r = RepeatSend(s, 96, 0xC0); r != rc::Ok) return r;
    if (Result r = SendInitialize(s); r != rc::Ok) return r;
    return SendEndOfJob(s);
}

void LandMarginPrintBtnClick(FeatureFrame& frame) {
    Result r = frame.SetOperationState(mode::Busy, "Printing now...");
    if (r == rc::Ok) r = FirstDotPattern(JobStream());
    if (r == rc::Ok)
        frame.SetOperationState(mode::Done, "The first dot position pattern print has completed.");
    else
        frame.ReportErrorCode(r);
}

}  // namespace svc
