#include "eeprom/JournalUndo.h"

#include "eeprom/FeatureStart.h"
#include "eeprom/VexEeprom.h"
#include "eeprom/VexEepromCopy.h"
#include "i18n/Translate.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace svc::eepfeature {

namespace {

using namespace svc::journal;

constexpr std::uint16_t kFirstLptPort = 1028;

std::string Hex(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", v & 0xFF);
    return b;
}

}  // namespace

UndoJob LoadUndo(Store* store, std::int64_t id) {
    UndoJob job;
    job.id = id;
    if (!store) {
        job.error = Tr("The service journal is not available; nothing can be undone.");
        return job;
    }
    try {
        job.op = store->Operation(id);
        if (job.op) job.session = store->Session(job.op->sessionId);
    } catch (const StoreError& e) {
        job.error = Format(Tr("The service journal cannot be read: %1"), {e.what()});
        return job;
    }
    if (!job.op) {
        job.error = Format(Tr("Operation %1 is not in the service journal."), {std::to_string(id)});
        return job;
    }
    job.plan = PlanUndo(*job.op);
    return job;
}

std::string UndoTitle(const UndoJob& job) {
    if (!job.op) return Format(Tr("Operation %1"), {std::to_string(job.id)});
    return Format(Tr("Operation %1 (%2, %3 UTC)"),
                  {std::to_string(job.id), job.op->name + (job.op->arguments.empty() ? "" : " ") + job.op->arguments,
                   job.op->started});
}

std::vector<std::string> UndoLines(const UndoJob& job) {
    std::vector<std::string> lines;
    for (const UndoByte& b : job.plan.bytes)
        lines.push_back(Hex(b.address) + " " + Tr(ItemAt(b.address).name) + ": " + Hex(b.now) + " -> " + Hex(b.before) +
                        (b.certain ? "" : Tr("  (the write may not have arrived)")));
    for (std::uint8_t a : job.plan.unknown)
        lines.push_back(
            Format(Tr("%1 %2: its earlier value was never read; left as it is"), {Hex(a), Tr(ItemAt(a).name)}));
    return lines;
}

void WriteUndo(FeatureFrame& frame, const UndoJob& job, const std::function<bool()>& confirm) {
    if (!job.op || job.plan.bytes.empty()) return;
    const std::string id = std::to_string(job.id);
    if (!BeginStrict(frame, "Writing now...")) return;
    // Only onto the printer the operation was made on.
    const bool wroteSerial = std::any_of(job.op->bytes.begin(), job.op->bytes.end(), [](const ByteRecord& b) {
        return b.access == Access::Write && b.address >= eep::UsbSerial &&
               b.address < eep::UsbSerial + eep::UsbSerialLength;
    });
    if (job.session && !job.session->usbId.empty() && !wroteSerial) {
        std::array<std::uint8_t, eep::UsbSerialLength> serial{};
        if (const Result r = EepromReadBytes(eep::UsbSerial, serial); r != rc::Ok) {
            frame.ReportErrorCode(r);
            return;
        }
        const std::string here = PrinterKey(serial, {});
        if (here != job.session->usbId) {
            frame.SetOperationState(
                mode::Error,
                Format(Tr("This printer (%1) is not the printer of operation %2 (%3); nothing was written."),
                       {here, id, job.session->usbId}));
            return;
        }
    }
    // Each byte must still hold what the operation left (any value it may
    // have left where writes may not have arrived): else this is another
    // printer, or the byte was changed since, and writing the old value back
    // would be wrong.
    std::string changed;
    for (const UndoByte& b : job.plan.bytes) {
        std::uint8_t value = 0;
        if (const Result r = EepromRead(b.address, value); r != rc::Ok) {
            frame.ReportErrorCode(r);
            return;
        }
        if (value != b.now && std::find(b.possible.begin(), b.possible.end(), value) == b.possible.end())
            changed += (changed.empty() ? "" : ", ") +
                       Format(Tr("%1 holds %2, not %3"), {Hex(b.address), Hex(value), Hex(b.now)});
    }
    if (!changed.empty()) {
        frame.SetOperationState(
            mode::Error,
            Format(Tr("This printer does not hold what operation %1 left (%2); nothing was written."), {id, changed}));
        return;
    }
    if (!confirm()) {
        frame.SetOperationState(mode::Error, Tr("Nothing was written back."));
        return;
    }
    for (const UndoByte& b : job.plan.bytes) {
        if (const Result r = EepromWrite(b.address, b.before); r != rc::Ok) {
            frame.ReportErrorCode(r);
            return;
        }
    }
    frame.SetOperationState(mode::Done, Format(Tr("The bytes of operation %1 were written back."), {id}));
}

void RestoreJournalBackup(FeatureFrame& frame, const BackupRecord& backup) {
    if (frame.PortCode() < kFirstLptPort) {
        frame.SetOperationState(mode::Error, "This function cannot use by USB cable.");
        return;
    }
    if (!BeginStrict(frame, "Writing now...")) return;
    std::array<std::uint8_t, eep::CopyCount> bytes{};
    std::copy(backup.bytes.begin(), backup.bytes.end(), bytes.begin());
    EepromCopy().Restore(frame, bytes, false);
}

}  // namespace svc::eepfeature
