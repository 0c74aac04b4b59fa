#include "adjust/ColorShiftAdjust.h"

#include "link/DataFiles.h"
#include "link/ErrorDetails.h"
#include "link/VexRaster.h"
#include "i18n/Translate.h"

#include <string>

namespace svc {

namespace {

constexpr int kShiftNotANumber = 10;  // outside the range: refused

const std::array<TPColorShiftAdjust::Line, 6> kLines{{
    {'A', SVC_N("A line"), "ColorShiftAInputCheckBox", "ColorShiftAInputEdit", eep::PixelShift + 0, 1,
     "ColorShiftAPnl"},
    {'B', SVC_N("B line"), "ColorShiftBInputCheckBox", "ColorShiftBInputEdit", eep::PixelShift + 1, 2,
     "ColorShiftBPnl"},
    {'C', SVC_N("C line"), "ColorShiftCInputCheckBox", "ColorShiftCInputEdit", eep::PixelShift + 2, 3,
     "ColorShiftCPnl"},
    {'D', SVC_N("D line"), "ColorShiftDInputCheckBox", "ColorShiftDInputEdit", eep::PixelShift + 3, 4,
     "ColorShiftDPnl"},
    {'E', SVC_N("E line"), "ColorShiftEInputCheckBox", "ColorShiftEInputEdit", eep::PixelShift + 4, 5,
     "ColorShiftEPnl"},
    {'F', SVC_N("F line"), "ColorShiftFInputCheckBox", "ColorShiftFInputEdit", eep::PixelShift + 5, 6,
     "ColorShiftFPnl"},
}};

}  // namespace

const std::array<TPColorShiftAdjust::Line, 6>& TPColorShiftAdjust::Lines() { return kLines; }

const TPColorShiftAdjust::Line* TPColorShiftAdjust::FindLine(std::string_view name) {
    for (const Line& l : kLines)
        if ((name.size() == 1 && name[0] == l.letter) || name == l.edit || name == l.checkBox) return &l;
    return nullptr;
}

void TPColorShiftAdjust::ColorShiftPrintBtnClick(FeatureFrame& frame) {
    Result r = frame.SetOperationState(mode::Busy, "Printing now...");
    if (r == rc::Ok) r = JobStream().SendPrintFile(FindPrintFile(kPrintFile));
    if (r == rc::Ok) r = SendEndOfJob(JobStream());
    if (r == rc::Ok)
        frame.SetOperationState(mode::Done, "The pixel shift pattern print has completed.");
    else
        frame.ReportErrorCode(r);
}

void TPColorShiftAdjust::ColorShiftInputOKBtnClick(FeatureFrame& frame) {
    bool any = false;
    for (const Line& l : kLines) any = any || frame.Checked(l.checkBox);
    if (!any) {
        frame.SetOperationState(mode::Error, "Please select item.");
        return;
    }
    Result r = frame.SetOperationState(mode::Busy, "Writing now...");
    for (const Line& l : kLines) {
        if (r != rc::Ok) break;
        if (!frame.Checked(l.checkBox)) continue;
        // The number itself is checked: 256 must not pass as its low byte 0.
        const int value = NumberFromText(frame.Text(l.edit), kShiftNotANumber);
        if (value < kLow || value > kHigh) {
            PixelShiftErrorDetail = l.errorItem;
            r = rc::PixelShift;
            break;
        }
        r = EepromWrite(l.address, ByteFromSigned(value));
    }
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    if (frame.SetOperationState(mode::Done, "The pixel shift adjustment value has written properly.") != rc::Ok) return;
    for (const Line& l : kLines)
        if (frame.Checked(l.checkBox)) frame.SetAdjustedCell(l.cell, frame.Text(l.edit));
}

void TPColorShiftAdjust::ColorShiftReadBtnClick(FeatureFrame& frame) {
    for (const Line& l : kLines) frame.SetText(l.edit, "");
    Result r = frame.SetOperationState(mode::Busy, "Reading now...");
    std::array<int, 6> values{};
    for (std::size_t i = 0; i < kLines.size() && r == rc::Ok; ++i) r = EepromReadSigned(kLines[i].address, values[i]);
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    if (frame.SetOperationState(mode::DoneNoWait, "The pixel shift adjustment value has read properly.") != rc::Ok)
        return;
    for (std::size_t i = 0; i < kLines.size(); ++i) frame.SetText(kLines[i].edit, std::to_string(values[i]));
    for (const Line& l : kLines) frame.SetChecked(l.checkBox, false);
}

void TPColorShiftAdjust::EditChange(FeatureFrame& frame, const Line& line) {
    frame.SetChecked(line.checkBox, !frame.Text(line.edit).empty());
}

void TPColorShiftAdjust::Chosen(FeatureFrame& frame) {
    for (const Line& l : kLines) {
        frame.SetText(l.edit, "");
        EditChange(frame, l);  // an emptied field clears its box
    }
}

TPColorShiftAdjust& ColorShiftAdjust() {
    static TPColorShiftAdjust adjust;
    return adjust;
}

}  // namespace svc
