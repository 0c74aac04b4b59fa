// Maintenance sequences of the Maintenance tab that run inside the printer:
// the head cleaning and the ink charge (one factory command each, then a
// wait until the printer is ready again), and the refurbishment for DOA,
// which has the printer exchange its ink for transportation liquid, resets
// the EEPROM to the delivery setting and closes the main window once the
// technician has switched the printer off.
#pragma once

#include "journal/Refurbishment.h"
#include "link/FeatureFrame.h"
#include "i18n/Translate.h"

#include <array>
#include <optional>

namespace svc {

// The three steps the technician carries out at the printer during the
// liquid exchange (the second refurbishment page shows them).
struct ExchangeStep {
    const char* number;  // "1st step: "
    const char* action;  // what the technician does
    const char* result;  // what the printer then does
};
inline constexpr const char* kExchangeStepsHeading = SVC_N("When the carriage stops at I/C exchange position,");
inline constexpr std::array<ExchangeStep, 3> kExchangeSteps{{
    {SVC_N("1st step: "), SVC_N("Press the roll-paper SW after removing the ink cartridge."),
     SVC_N("The printer starts the ink discharge.")},
    {SVC_N("2nd step: "), SVC_N("Press the roll-paper SW after installing the jig."),
     SVC_N("The printer starts the transportation liquid charge.")},
    {SVC_N("3rd step: "), SVC_N("Press the roll-paper SW after removing the jig."),
     SVC_N("The printer starts the transportation liquid discharge.")},
}};

// The panels of these functions.
inline constexpr const char* kCleaningPanel = "CleaningPnl";
inline constexpr const char* kInkChargePanel = "InkChargePnl";
inline constexpr const char* kExchangeFirstPanel = "ExchangePnl1";
inline constexpr const char* kExchangeSecondPanel = "ExchangePnl2";

// Cleaning kinds of StartCleaning.
inline constexpr std::uint8_t kHeadCleaningKind = 3;
inline constexpr std::uint8_t kInkChargeKind = 12;

// How often the refurbishment reads the status for the cleaning state after
// starting the exchange, one second apart, before giving up with 0x3000.
inline constexpr int kExchangeStartPolls = 5;
// The countdown before the AC cable may be pulled: 9 down to 0.
inline constexpr int kPowerOffCountdown = 10;

class TPMaintenance {
public:
    // The EEPROM back to the delivery setting for the model: service bytes
    // and counters cleared, then the market destination block. Stops at the
    // first failing write and returns its result; earlier writes stay.
    Result ResetToDeliverySetting(int modelCode);

    // ---- button handlers ----
    // "OK" of the head cleaning panel.
    void CleaningOKBtnClick(FeatureFrame& frame);
    // "OK" of the ink charge panel.
    void InkChargeOKBtnClick(FeatureFrame& frame);
    // "Transportation liquid exchange sequence" of the first refurbishment page:
    // the whole refurbishment, to the closed main window.
    void ExchangeSequence1PnlClick(FeatureFrame& frame);
    // The end of a refurbishment that stopped after it started the exchange
    // (the journal says so): the exchange is waited for while the printer
    // still runs it, then the delivery setting and the power off, as the
    // whole refurbishment ends. `exchangeSeen`: the printer was seen running
    // the exchange; without that, a printer that does not run it now is
    // refused (the refurbishment is to be started again).
    void FinishRefurbishmentClick(FeatureFrame& frame, bool exchangeSeen);

private:
    // Phases 2 to 4: the exchange to its end (its page shown when it is
    // still running), the delivery setting, the power off, the closed window.
    void CompleteRefurbishment(FeatureFrame& frame, bool exchangeRunning);
};

// A refurbishment for DOA of the printer just connected that the journal
// shows stopped after the exchange began (same bench, port and model). The
// journal is asked first; only when it names one made on a printer whose USB
// ID it knows are the ten bytes of the serial number read, to tell whether
// this is that printer. Nothing is sent otherwise. Empty without a journal.
std::optional<journal::Interrupted> InterruptedRefurbishmentHere(int modelCode, int portCode);

// The program-wide maintenance object.
TPMaintenance& Maintenance();

}  // namespace svc
