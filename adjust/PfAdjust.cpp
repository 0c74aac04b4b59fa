#include "adjust/PfAdjust.h"

#include "adjust/FactoryInJob.h"
#include "adjust/PatternJob.h"
#include "adjust/VexCheckPattern.h"
#include "eeprom/VexEeprom.h"
#include "link/Host.h"
#include "service/VexFactory.h"
#include "i18n/Translate.h"

namespace svc {

namespace {
constexpr int kLowest = -4;
constexpr int kHighest = 4;
}  // namespace

std::string PfValueText(int value) {
    std::string text = std::to_string(value);
    text.resize(4, '\0');
    return text;
}

Result PfPattern(TPRaster& s) {
    pattern::Job j(s);
    j.Label("         PF Adjust\r").Flush();
    PfNoise noise;  // one sequence through the nine blocks
    for (int v = kLowest; v <= kHighest && j.Ok(); ++v) {
        j.Step(SendFactoryInJob([v] { return Factory().SetPFValue(static_cast<std::int8_t>(v)); }));
        if (j.Ok()) j.Step(SendFactoryInJob([] { return Factory().ApplySettings(); }));
        if (j.Ok()) j.Step(PfTestBlocks(s, noise));
        j.Initialize().Bytes("               ").Bytes(PfValueText(v)).Byte(0x0D).Initialize().Flush();
    }
    return j.Code();
}

void PFAdjustPrintBtnClick(FeatureFrame& frame) {
    RunPrint(
        frame,
        [] {
            Result r = PfPattern(JobStream());
            return r == rc::Ok ? SendEndOfJob(JobStream()) : r;
        },
        SVC_N("The PF adjustment pattern print has completed."));
}

void PFAdjustInputBtnClick(FeatureFrame& frame) {
    const std::string text = frame.Text(kPfEdit);
    // The number itself is tested, not its low byte: "260" must not store 4.
    const int value = NumberFromText(text, 10);
    if (value < kLowest || value > kHighest) {
        frame.FocusField(kPfEdit);
        frame.SetOperationState(mode::Error, "The input value is wrong.");
        return;
    }
    Result r = frame.SetOperationState(mode::Busy, "Writing now...");
    if (r == rc::Ok) r = EepromWriteSigned(eep::PfValue, value);
    if (r == rc::Ok) r = frame.SetOperationState(mode::Done, "The PF adjustment value has written properly.");
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetAdjustedCell(kPfCell, text);
}

void PFAdjustCheckBtnClick(FeatureFrame& frame) {
    frame.SetText(kPfEdit, "");
    host().RepaintMainWindow();
    Result r = frame.SetOperationState(mode::Busy, "Reading now...");
    int value = 0;
    if (r == rc::Ok) r = EepromReadSigned(eep::PfValue, value);
    if (r == rc::Ok) {
        frame.SetText(kPfEdit, std::to_string(value));
        r = frame.SetOperationState(mode::Done, "The PF adjustment value has read properly.");
    }
    if (r != rc::Ok) frame.ReportErrorCode(r);
}

void PFAdjustChosen(FeatureFrame& frame) { frame.SetText(kPfEdit, ""); }

}  // namespace svc
