#include "adjust/HeadAngularAdjust.h"

#include "adjust/VexCheckPattern.h"
#include "link/Host.h"
#include "service/VexFactory.h"
#include "i18n/Translate.h"

namespace svc {

void HeadAngularPrintBtnClick(FeatureFrame& frame) {
    RunPrint(
        frame,
        [] {
            Result r = TPCheckPattern::HeadAngularPattern(JobStream());
            return r == rc::Ok ? SendEndOfJob(JobStream()) : r;
        },
        SVC_N("The head angular pattern print has completed."));
}

void HeadAngularCRMoveBtnClick(FeatureFrame& frame) {
    Result r = frame.SetOperationState(mode::Busy, "Moving now...");
    if (r == rc::Ok) r = Factory().LeaveHome();
    if (r == rc::Ok) r = Factory().MoveCarriage(17, 147, 0);
    if (r == rc::Ok) r = Factory().MoveCarriage(3, 2900, 0);
    if (r == rc::Ok) r = frame.SetOperationState(mode::Done, "The carriage has moved to adjustment position.");
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    host().MessageBox(BoxOwner::MainWindow, "After you completed adjustment, click the [OK] button.", "Information",
                      BoxIcon::Information, BoxButtons::Ok);
    r = frame.SetOperationState(mode::Busy, "Moving now...");
    if (r == rc::Ok) r = Factory().CarriageHome();
    if (r == rc::Ok) r = frame.SetOperationState(mode::Done, "The carriage has moved to home position.");
    if (r != rc::Ok) frame.ReportErrorCode(r);
}

}  // namespace svc
