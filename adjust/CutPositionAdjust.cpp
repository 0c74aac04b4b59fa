#include "adjust/CutPositionAdjust.h"

#include "link/DataFiles.h"
#include "link/VexRaster.h"
#include "link/VexRemoteComm.h"
#include "journal/Recorder.h"

namespace svc {

namespace {
// Where the printer keeps the cut position its save command stores.
constexpr std::uint8_t kCutPositionAddress = 0x70;
}  // namespace

void CutPosAdjustPrintBtnClick(FeatureFrame& frame) {
    Result r = frame.SetOperationState(mode::Busy, "Printing now...");
    // The file ends its own job and cuts the paper: nothing is sent after it.
    if (r == rc::Ok) r = JobStream().SendPrintFile(FindPrintFile(cutpos::kPrintFile));
    if (r == rc::Ok)
        r = frame.SetOperationState(mode::Done, "The cut position adjustment pattern print has completed.");
    else
        frame.ReportErrorCode(r);
    if (r == rc::Ok) frame.SetFlag(WindowFlag::CutPatternPrinted, 1);
}

void CutPosAdjustInputBtnClick(FeatureFrame& frame) {
    if (frame.Flag(WindowFlag::CutPatternPrinted) != 1) {
        frame.SetOperationState(mode::Error, "Please try this function after perform the pattern print.");
        frame.SetFlag(WindowFlag::CutPatternPrinted, 0);
        return;
    }
    const int index = frame.ItemIndex(cutpos::kList);
    if (index < 0 || index >= cutpos::kItems) {
        // Only a list without a choice gets here; the refusal asks for one.
        frame.SetOperationState(mode::Error, "Please select item.");
        return;
    }
    Result r = frame.SetOperationState(mode::Busy, "Writing now...");
    if (r == rc::Ok) {
        // The printer saves the value in its EEPROM at kCutPositionAddress.
        const auto value = static_cast<std::uint8_t>(cutpos::ValueOfIndex(index));
        journal::Journal().NoteWriting(kCutPositionAddress, value, "cut position command");
        r = RemoteComm().SetCutPosition(cutpos::ValueOfIndex(index));
        journal::Journal().NoteWrite(kCutPositionAddress, value, r, "cut position command");
    }
    if (r == rc::Ok)
        r = frame.SetOperationState(mode::Done, "The cut position adjustment value has written properly.");
    else
        frame.ReportErrorCode(r);
    if (r == rc::Ok) frame.SetFlag(WindowFlag::CutPatternPrinted, 0);
}

}  // namespace svc
