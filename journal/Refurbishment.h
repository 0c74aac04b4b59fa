// A refurbishment for DOA that stopped after the printer had begun its
// transportation liquid exchange: the journal keeps the stages the
// refurbishment reached as lines of its operation, and the next connection
// of the same bench, port and model looks for one that never got to the
// delivery setting.
#pragma once

#include "journal/Store.h"

#include <optional>
#include <string>

namespace svc::journal {

// The stages, as the refurbishment notes them (Recorder::NoteStage).
inline constexpr const char* kStageExchangeRequested = "Stage: the transportation liquid exchange was started.";
inline constexpr const char* kStageExchangeRunning = "Stage: the printer began the transportation liquid exchange.";
inline constexpr const char* kStageExchangeEnded = "Stage: the transportation liquid exchange has ended.";
inline constexpr const char* kStageDeliverySetting = "Stage: the EEPROM is in the delivery setting.";

// The operations that are (part of) a refurbishment: the svcadjust-cli
// operations "doa" and "doa-finish", and the window's refurbishment page.
bool IsRefurbishment(const OperationRecord& op);

struct Interrupted {
    SessionRecord session;
    OperationRecord operation;
    // How far it came: the printer was asked to start the exchange (always),
    // was seen running it, saw it end.
    bool exchangeSeen = false;
    bool exchangeEnded = false;
};

// The last refurbishment on this bench, port and model that started the
// exchange and did not reach the delivery setting, unless a later one
// completed. Throws StoreError.
std::optional<Interrupted> FindInterruptedRefurbishment(Store& store, const std::string& bench, int model, int port);

// One line for a person: what stopped when.
std::string DescribeInterrupted(const Interrupted& found);

}  // namespace svc::journal
