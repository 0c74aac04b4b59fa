// Writing back what the service journal remembers: the bytes an operation
// replaced (undo), and a backup file's bytes the journal keeps. svcadjust-cli
// and the service record window run the same steps over their frames; only
// how they show the bytes and ask differ.
#pragma once

#include "journal/Recorder.h"
#include "journal/Store.h"
#include "link/FeatureFrame.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace svc::eepfeature {

struct UndoJob {
    std::int64_t id = 0;
    std::optional<journal::OperationRecord> op;
    std::optional<journal::SessionRecord> session;
    journal::UndoPlan plan;
    std::string error;  // set when the journal cannot give the operation
};

// The operation and what undoing it writes. Reads the journal only.
UndoJob LoadUndo(journal::Store* store, std::int64_t id);

// "Operation 12 (usb-id-input ..., 2026-12-08 15:45:45 UTC)".
std::string UndoTitle(const UndoJob& job);
// One line per byte ("0x60 VSD1 Black: 0x05 -> 0x00"), then the bytes left alone.
std::vector<std::string> UndoLines(const UndoJob& job);

// Checks that this printer is the operation's and still holds what it left,
// asks `confirm` (false: nothing is written) and writes the bytes back, with
// the outcome on the frame. The job must have bytes to write.
void WriteUndo(FeatureFrame& frame, const UndoJob& job, const std::function<bool()>& confirm);

// A backup the journal keeps, written into the printer as the EEPROM data
// restore writes its file (parallel port only).
void RestoreJournalBackup(FeatureFrame& frame, const journal::BackupRecord& backup);

}  // namespace svc::eepfeature
