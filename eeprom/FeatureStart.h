// How the EEPROM features begin and end an operation on the main window.
#pragma once

#include "link/FeatureFrame.h"

#include <string>

namespace svc::eepfeature {

// The start most EEPROM operations share: mode 3 with the progress text
// waits until the printer is ready. A printer in its error state, or one
// waiting for its initial ink charge, still lets these operations run (mode
// 19 marks the window busy without the wait); any other failure is reported.
// False when the operation must end.
inline bool BeginLenient(FeatureFrame& frame, const std::string& text) {
    const Result r = frame.SetOperationState(mode::Busy, text);
    if (r == rc::Ok) return true;
    if (r == rc::PrinterError) {
        frame.SetOperationState(mode::BusyNoWait, text);
        return true;
    }
    frame.ReportErrorCode(r);
    return false;
}

// The strict start: any result other than 1 is reported and ends the operation.
inline bool BeginStrict(FeatureFrame& frame, const std::string& text) {
    const Result r = frame.SetOperationState(mode::Busy, text);
    if (r == rc::Ok) return true;
    frame.ReportErrorCode(r);
    return false;
}

}  // namespace svc::eepfeature
