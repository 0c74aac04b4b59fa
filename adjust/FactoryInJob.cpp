#include "adjust/FactoryInJob.h"

#include "link/Host.h"
#include "link/OutsideLibraries.h"
#include "link/VexStatusControl.h"
#include "i18n/Translate.h"

namespace svc {

namespace {
constexpr int kBusyPauseMs = 500;
constexpr int kMostBusyPauses = 240;  // two minutes of a printer that takes nothing
constexpr const char* kPaperText = SVC_N(
    "Paper not loaded correctly.\nReload the paper and press the Paper button on the printer.\n"
    "Then click the [OK] button on the screen.");
}  // namespace

Result SendFactoryInJob(const std::function<Result()>& command) {
    for (int pauses = 0;; ++pauses) {
        const Result sent = command();
        if (sent != rc::Channel) return sent;
        if (GetD4ErrorCode() != kChannelBusyDetail) return rc::Channel;
        if (pauses == kMostBusyPauses) return rc::Channel;
        if (Result r = ReadStatus(); r != rc::Ok) return r;
        if (Status().PrinterState() == state::Error) {
            if (Status().PrinterError() != kPaperOutError) return rc::PrinterError;
            host().MessageBox(BoxOwner::MainWindow, kPaperText, "Error", BoxIcon::Error, BoxButtons::Ok);
        }
        host().Sleep(kBusyPauseMs);
    }
}

}  // namespace svc
