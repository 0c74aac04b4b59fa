#include "eeprom/JournalUndo.h"

#include "eeprom/FeatureStart.h"
#include "eeprom/VexEeprom.h"
#include "eeprom/VexEepromCopy.h"

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
        job.error = "The service journal is not available; nothing can be undone.";
        return job;
    }
    try {
        job.op = store->Operation(id);
        if (job.op) job.session = store->Session(job.op->sessionId);
    } catch (const StoreError& e) {
        job.error = std::string("The service journal cannot be read: ") + e.what();
        return job;
    }
    if (!job.op) {
        job.error = "Operation " + std::to_string(id) + " is not in the service journal.";
        return job;
    }
    job.plan = PlanUndo(*job.op);
    return job;
}

std::string UndoTitle(const UndoJob& job) {
    if (!job.op) return "Operation " + std::to_string(job.id);
    return "Operation " + std::to_string(job.id) + " (" + job.op->name + (job.op->arguments.empty() ? "" : " ") +
           job.op->arguments + ", " + job.op->started + " UTC)";
}

std::vector<std::string> UndoLines(const UndoJob& job) {
    std::vector<std::string> lines;
    for (const UndoByte& b : job.plan.bytes)
        lines.push_back(Hex(b.address) + " " + ItemAt(b.address).name + ": " + Hex(b.now) + " -> " + Hex(b.before) +
                        (b.certain ? "" : "  (the write may not have arrived)"));
    for (std::uint8_t a : job.plan.unknown)
        lines.push_back(Hex(a) + " " + ItemAt(a).name + ": its earlier value was never read; left as it is");
    return lines;
}

void WriteUndo(FeatureFrame& frame, const UndoJob& job, const std::function<bool()>& confirm) {
    if (!job.op || job.plan.bytes.empty()) return;
    const std::string id = std::to_string(job.id);
    if (!BeginStrict(frame, "Writing now...")) return;
    // Only onto the printer the operation was made on.
    const bool wroteSerial = std::any_of(job.op->bytes.begin(), job.op->bytes.end(), [](const ByteRecord& b) {
        return b.access == Access::Write && b.address >= eep::UsbSerial && b.address < eep::UsbSerial + eep::UsbSerialLength;
    });
    if (job.session && !job.session->usbId.empty() && !wroteSerial) {
        std::array<std::uint8_t, eep::UsbSerialLength> serial{};
        if (const Result r = EepromReadBytes(eep::UsbSerial, serial); r != rc::Ok) {
            frame.ReportErrorCode(r);
            return;
        }
        const std::string here = PrinterKey(serial, {});
        if (here != job.session->usbId) {
            frame.SetOperationState(mode::Error, "This printer (" + here + ") is not the printer of operation " + id +
                                                     " (" + job.session->usbId + "); nothing was written.");
            return;
        }
    }
    // Each byte must still hold what the operation left (either value where
    // the last write may not have arrived): else this is another printer, or
    // the byte was changed since, and writing the old value back would be wrong.
    std::string changed;
    for (const UndoByte& b : job.plan.bytes) {
        std::uint8_t value = 0;
        if (const Result r = EepromRead(b.address, value); r != rc::Ok) {
            frame.ReportErrorCode(r);
            return;
        }
        if (value != b.now && !(!b.certain && value == b.before))
            changed += (changed.empty() ? "" : ", ") + Hex(b.address) + " holds " + Hex(value) + ", not " + Hex(b.now);
    }
    if (!changed.empty()) {
        frame.SetOperationState(mode::Error, "This printer does not hold what operation " + id + " left (" + changed +
                                                 "); nothing was written.");
        return;
    }
    if (!confirm()) {
        frame.SetOperationState(mode::Error, "Nothing was written back.");
        return;
    }
    for (const UndoByte& b : job.plan.bytes) {
        if (const Result r = EepromWrite(b.address, b.before); r != rc::Ok) {
            frame.ReportErrorCode(r);
            return;
        }
    }
    frame.SetOperationState(mode::Done, "The bytes of operation " + id + " were written back.");
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
