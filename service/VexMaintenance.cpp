#include "service/VexMaintenance.h"

#include "eeprom/VexEeprom.h"
#include "journal/Recorder.h"
#include "journal/Refurbishment.h"
#include "link/Host.h"
#include "link/VexStatusControl.h"
#include "service/VexFactory.h"
#include "i18n/Translate.h"

#include <string>

namespace svc {

namespace {

const char* const kPerformingExchange = SVC_N("Performing the transportion liquid exchange function now.");
const char* const kExchangeCompleted = SVC_N("The transportion liquid exchange function has completed.");
const char* const kResettingEeprom = SVC_N("Resetting EEPROM data to delivery setting now.");
const char* const kEepromReset = SVC_N("The EEPROM data has been reset properly.");
const char* const kTurnOffPrinter = SVC_N("Trun off the printer. Don't disconnect AC cable.");
const char* const kPleaseWait = SVC_N("Please wait...");
const char* const kKeepAcCable = SVC_N("Don't disconnect AC cable.");
const char* const kDisconnectAcCable = SVC_N("Disconnect AC cable.");
const char* const kInformation = SVC_N("Information");
const char* const kFinishingRefurbishment = SVC_N("Finishing the interrupted Refurbishment for DOA now.");
const char* const kExchangeNotKnown = SVC_N(
    "The printer is not running the transportation liquid exchange, and it is not known to have done it. "
    "Start the Refurbishment for DOA again.");

constexpr int kPollIntervalMs = 1000;
constexpr int kPowerDownWaitMs = 5000;

// One cleaning cycle of the printer: wait until it is ready, start the
// cycle, wait until it is ready again.
void RunCleaningCycle(FeatureFrame& frame, std::uint8_t kind, const char* runningText, const char* doneText) {
    if (Result r = frame.SetOperationState(mode::Busy, runningText); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    if (Result r = Factory().StartCleaning(kind); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    // While the printer cleans its state is 7; the readiness wait polls it
    // once a second. A failure there is reported by the mode itself.
    frame.SetOperationState(mode::Done, doneText);
}

// The memo of the power-off phase: the two fixed lines, and the countdown digit when given.
void ShowPowerOffWait(FeatureFrame& frame, int digit) {
    frame.SetOperationState(mode::Report, kPleaseWait);
    frame.SetOperationState(mode::Line, kKeepAcCable);
    if (digit >= 0) frame.SetOperationState(mode::Line, std::to_string(digit));
    host().RepaintMainWindow();
}

}  // namespace

Result TPMaintenance::ResetToDeliverySetting(int modelCode) { return RunWrites(DeliverySettingWrites(modelCode)); }

void TPMaintenance::CleaningOKBtnClick(FeatureFrame& frame) {
    RunCleaningCycle(frame, kHeadCleaningKind, SVC_N("Cleaning now..."), SVC_N("The head cleaning has completed."));
}

void TPMaintenance::InkChargeOKBtnClick(FeatureFrame& frame) {
    RunCleaningCycle(frame, kInkChargeKind, SVC_N("Charging now..."), SVC_N("The ink charge has completed."));
}

void TPMaintenance::ExchangeSequence1PnlClick(FeatureFrame& frame) {
    // Phase 1: start the exchange and see the printer take it up.
    if (Result r = frame.SetOperationState(mode::Busy, kPerformingExchange); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    // From here on the printer runs a sequence of its own: closing the window
    // must leave the channel alone.
    frame.SetFlag(WindowFlag::ExchangeStarted, 1);
    if (Result r = Factory().StartExchangeSequence(); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    journal::Journal().NoteStage(journal::kStageExchangeRequested);
    for (int poll = 1;; ++poll) {
        if (Result r = ReadStatus(); r != rc::Ok) {
            frame.ReportErrorCode(r);
            return;
        }
        if (Status().PrinterState() == state::Cleaning) break;
        if (poll == kExchangeStartPolls) {
            frame.ReportErrorCode(rc::Link3000);
            return;
        }
        host().Sleep(kPollIntervalMs);
    }
    journal::Journal().NoteStage(journal::kStageExchangeRunning);
    CompleteRefurbishment(frame, true);
}

void TPMaintenance::FinishRefurbishmentClick(FeatureFrame& frame, bool exchangeSeen) {
    // Mode 19: a printer in the middle of the exchange is not ready, and
    // waiting for it here would wait for the whole exchange.
    if (Result r = frame.SetOperationState(mode::BusyNoWait, kFinishingRefurbishment); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    // The printer may still be in the middle of the exchange (the technician
    // goes on with the steps at the printer), or have ended it.
    if (Result r = ReadStatus(); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    const bool running = Status().PrinterState() == state::Cleaning;
    if (!running && !exchangeSeen) {
        // Asked to start it, but never seen at it: whether the printer
        // exchanged its ink is not known, and the delivery setting must not
        // follow an exchange that never happened.
        frame.SetOperationState(mode::Error, kExchangeNotKnown);
        return;
    }
    frame.SetFlag(WindowFlag::ExchangeStarted, 1);
    journal::Journal().NoteStage(journal::kStageExchangeRequested);
    if (running || exchangeSeen) journal::Journal().NoteStage(journal::kStageExchangeRunning);
    CompleteRefurbishment(frame, running);
}

void TPMaintenance::CompleteRefurbishment(FeatureFrame& frame, bool exchangeRunning) {
    // Phase 2: the technician works the three steps at the printer; the
    // memo keeps saying what is running, the panel what to do.
    if (exchangeRunning) {
        frame.HideAllPanels(1);
        frame.SetOperationState(mode::BusyNoWait, kPerformingExchange);  // the kept text, in blue
        frame.ShowPanel(kExchangeSecondPanel);
        host().RepaintMainWindow();
    }
    if (frame.SetOperationState(mode::Done, kExchangeCompleted) != rc::Ok) return;  // reported by the mode

    // Phase 3: delivery setting.
    if (Result r = frame.SetOperationState(mode::Busy, kResettingEeprom); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    // Noted once the next operation state has begun: the window records
    // each stretch from busy to enabled as an operation of its own.
    journal::Journal().NoteStage(journal::kStageExchangeEnded);
    if (Result r = ResetToDeliverySetting(frame.ModelCode()); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    journal::Journal().NoteStage(journal::kStageDeliverySetting);
    if (frame.SetOperationState(mode::Done, kEepromReset) != rc::Ok) return;

    // Phase 4: the technician switches the printer off. The box comes back
    // as long as the printer still answers ready.
    for (;;) {
        host().MessageBox(BoxOwner::MainWindow, kTurnOffPrinter, kInformation, BoxIcon::Information, BoxButtons::Ok);
        host().Sleep(kPollIntervalMs);
        if (ReadStatus() != rc::Ok) break;  // no answer: it is off
        if (Status().PrinterState() == state::Ready) continue;
        // Powering down: give it time to finish.
        ShowPowerOffWait(frame, -1);
        host().Sleep(kPowerDownWaitMs);
        break;
    }
    for (int digit = kPowerOffCountdown - 1; digit >= 0; --digit) {
        ShowPowerOffWait(frame, digit);
        host().Sleep(kPollIntervalMs);
    }
    frame.SetOperationState(mode::Report, "");
    host().RepaintMainWindow();
    host().MessageBox(BoxOwner::MainWindow, kDisconnectAcCable, kInformation, BoxIcon::Information, BoxButtons::Ok);
    frame.CloseMainWindow();
}

std::optional<journal::Interrupted> InterruptedRefurbishmentHere(int modelCode, int portCode) {
    journal::Store* store = journal::Journal().CurrentStore();
    if (!store) return std::nullopt;
    std::optional<journal::Interrupted> found;
    try {
        found = journal::FindInterruptedRefurbishment(*store, journal::BenchName(), modelCode, portCode);
    } catch (const journal::StoreError&) {
        return std::nullopt;  // the journal's failures are reported where it is written
    }
    if (!found || found->session.usbId.empty()) return found;
    std::array<std::uint8_t, eep::UsbSerialLength> serial{};
    if (EepromReadBytes(eep::UsbSerial, serial) == rc::Ok && journal::PrinterKey(serial, {}) != found->session.usbId)
        return std::nullopt;  // another printer on this port
    return found;
}

TPMaintenance& Maintenance() {
    static TPMaintenance maintenance;
    return maintenance;
}

}  // namespace svc
