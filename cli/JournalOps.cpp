#include "cli/JournalOps.h"

#include "cli/CliFrame.h"
#include "eeprom/FeatureStart.h"
#include "eeprom/VexEeprom.h"
#include "eeprom/VexEepromCopy.h"
#include "journal/Recorder.h"
#include "journal/SqlStore.h"
#include "link/Connection.h"
#include "link/Host.h"
#include "link/StatusReport.h"
#include "i18n/Translate.h"

#include <algorithm>
#include <cstdlib>

namespace svc::cli {

namespace {

using namespace svc::journal;

constexpr std::uint16_t kFirstLptPort = 1028;

std::string Hex(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", v);
    return b;
}

std::string PortName(int code) {
    for (std::size_t i = 0; i < kPortCodes.size(); ++i)
        if (kPortCodes[i] == code) return std::string(kPortNames[i]);
    return std::to_string(code);
}

std::string ModelName(int code) { return code == 1 ? "4100" : code == 2 ? "4200" : std::to_string(code); }

bool ParseId(const std::string& text, std::int64_t& id) {
    if (text.empty() || text.size() > 18 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    id = std::strtoll(text.c_str(), nullptr, 10);
    return id > 0;
}

std::string Join(const Arguments& args) {
    std::string out;
    for (const std::string& a : args) out += (out.empty() ? "" : " ") + a;
    return out;
}

void PrintWrites(std::FILE* out, const OperationRecord& op, const char* indent) {
    for (const ByteRecord& b : op.bytes) {
        if (b.access != Access::Write) continue;
        std::string line = std::string(indent) + Hex(b.address) + " " + Tr(ItemAt(b.address).name) + ": " +
                           (b.previous ? Hex(*b.previous) : std::string("?")) + " -> " + Hex(b.value);
        if (b.result != 1) {
            char code[80];
            std::snprintf(code, sizeof code, "0x%04X", b.result);
            line += Format(Tr("  (failed with %1: may or may not have arrived)"), {code});
        }
        std::fprintf(out, "%s\n", line.c_str());
    }
}

int History(const std::string& printer, std::FILE* out, std::FILE* err) {
    Store* store = Journal().CurrentStore();
    if (!store) {
        std::fprintf(err, "%s\n",
                     Format(Tr("error: the service journal (%1) is not available"), {ConfiguredJournal()}).c_str());
        return kExitFailed;
    }
    try {
        const auto sessions = store->Sessions(printer);
        for (const SessionRecord& s : sessions) {
            std::fprintf(out, "%s\n",
                         Format(Tr("session %1  %2 UTC  bench %3  Corvid Lumen %4 on %5  printer %6"),
                                {std::to_string(s.id), s.started, s.bench, ModelName(s.model), PortName(s.port),
                                 s.usbId.empty() ? Tr("(USB ID not read)") : s.usbId})
                             .c_str());
            for (const OperationRecord& op : store->Operations(s.id)) {
                const auto writes = std::count_if(op.bytes.begin(), op.bytes.end(),
                                                  [](const ByteRecord& b) { return b.access == Access::Write; });
                char code[16];
                std::snprintf(code, sizeof code, "0x%04X", op.result);
                const std::string outcome = op.result == 1   ? Tr("done")
                                            : op.result == 0 ? Tr("stopped")
                                                             : Format(Tr("stopped (%1)"), {code});
                std::fprintf(out, "  %s\n",
                             Format(Tr("operation %1  %2  %3  %4, %5 bytes read, %6 written"),
                                    {std::to_string(op.id), op.started,
                                     op.name + (op.arguments.empty() ? "" : " ") + op.arguments, outcome,
                                     std::to_string(op.bytes.size() - static_cast<std::size_t>(writes)),
                                     std::to_string(writes)})
                                 .c_str());
                PrintWrites(out, op, "      ");
            }
        }
        const auto backups = store->Backups(printer);
        if (!backups.empty()) std::fprintf(out, "%s\n", Tr("backups"));
        for (const BackupRecord& b : backups)
            std::fprintf(out, "  %s\n",
                         Format(Tr("backup %1  %2 UTC  printer %3  %4 on bench %5 (operation %6)"),
                                {std::to_string(b.id), b.taken, b.printer, b.kind, b.bench,
                                 std::to_string(b.operationId)})
                             .c_str());
        if (sessions.empty() && backups.empty())
            std::fprintf(out, "%s\n",
                         printer.empty() ? Tr("The journal is empty.")
                                         : Format(Tr("Nothing is recorded for %1."), {printer}).c_str());
    } catch (const StoreError& e) {
        std::fprintf(err, "%s\n", Format(Tr("error: the service journal cannot be read: %1"), {e.what()}).c_str());
        return kExitFailed;
    }
    return kExitOk;
}

// Undo of one operation: the bytes it replaced are written back after a Yes.
void Undo(CliFrame& frame, std::int64_t id) {
    Store* store = Journal().CurrentStore();
    if (!store) {
        frame.SetOperationState(mode::Error, "The service journal is not available; nothing can be undone.");
        return;
    }
    std::optional<OperationRecord> op;
    std::optional<SessionRecord> session;
    try {
        op = store->Operation(id);
        if (op) session = store->Session(op->sessionId);
    } catch (const StoreError& e) {
        frame.SetOperationState(mode::Error, Format(Tr("The service journal cannot be read: %1"), {e.what()}));
        return;
    }
    if (!op) {
        frame.SetOperationState(mode::Error, Format(Tr("Operation %1 is not in the service journal."), {std::to_string(id)}));
        return;
    }
    const UndoPlan plan = PlanUndo(*op);
    frame.EndLine();
    std::FILE* out = frame.Out();
    std::fprintf(out, "%s\n",
                 Format(Tr("Operation %1 (%2, %3 UTC) wrote back (now -> before):"),
                        {std::to_string(id), op->name + (op->arguments.empty() ? "" : " ") + op->arguments, op->started})
                     .c_str());
    for (const UndoByte& b : plan.bytes)
        std::fprintf(out, "  %s %s: %s -> %s%s\n", Hex(b.address).c_str(), Tr(ItemAt(b.address).name).c_str(),
                     Hex(b.now).c_str(), Hex(b.before).c_str(), b.certain ? "" : Tr("  (the write may not have arrived)"));
    for (std::uint8_t a : plan.unknown)
        std::fprintf(out, "  %s\n",
                     Format(Tr("%1 %2: its earlier value was never read; left as it is"), {Hex(a), Tr(ItemAt(a).name)})
                         .c_str());
    std::fflush(out);
    if (plan.bytes.empty()) {
        frame.SetOperationState(mode::Report, Format(Tr("Operation %1 changed nothing; there is nothing to write back."),
                                                     {std::to_string(id)}));
        return;
    }
    if (!eepfeature::BeginStrict(frame, "Writing now...")) return;
    // Only onto the printer the operation was made on.
    const bool wroteSerial = std::any_of(op->bytes.begin(), op->bytes.end(), [](const ByteRecord& b) {
        return b.access == Access::Write && b.address >= eep::UsbSerial && b.address < eep::UsbSerial + eep::UsbSerialLength;
    });
    if (session && !session->usbId.empty() && !wroteSerial) {
        std::array<std::uint8_t, eep::UsbSerialLength> serial{};
        if (const Result r = EepromReadBytes(eep::UsbSerial, serial); r != rc::Ok) {
            frame.ReportErrorCode(r);
            return;
        }
        const std::string here = PrinterKey(serial, {});
        if (here != session->usbId) {
            frame.SetOperationState(mode::Error,
                                    Format(Tr("This printer (%1) is not the printer of operation %2 (%3); nothing was written."),
                                           {here, std::to_string(id), session->usbId}));
            return;
        }
    }
    // Each byte must still hold what the operation left (either value where
    // the last write may not have arrived): else this is another printer, or
    // the byte was changed since, and writing the old value back would be wrong.
    std::string changed;
    for (const UndoByte& b : plan.bytes) {
        std::uint8_t value = 0;
        if (const Result r = EepromRead(b.address, value); r != rc::Ok) {
            frame.ReportErrorCode(r);
            return;
        }
        if (value != b.now && !(!b.certain && value == b.before))
            changed += (changed.empty() ? "" : ", ") +
                       Format(Tr("%1 holds %2, not %3"), {Hex(b.address), Hex(value), Hex(b.now)});
    }
    if (!changed.empty()) {
        frame.SetOperationState(mode::Error,
                                Format(Tr("This printer does not hold what operation %1 left (%2); nothing was written."),
                                       {std::to_string(id), changed}));
        return;
    }
    if (host().MessageBox(BoxOwner::MainWindow,
                          Format(Tr("Write %1 byte(s) of operation %2 back into the printer?"),
                                 {std::to_string(plan.bytes.size()), std::to_string(id)}),
                          "Undo", BoxIcon::Question, BoxButtons::YesNo) != BoxAnswer::Yes) {
        frame.SetOperationState(mode::Error, "Nothing was written back.");
        return;
    }
    for (const UndoByte& b : plan.bytes) {
        if (const Result r = EepromWrite(b.address, b.before); r != rc::Ok) {
            frame.ReportErrorCode(r);
            return;
        }
    }
    frame.SetOperationState(mode::Done, Format(Tr("The bytes of operation %1 were written back."), {std::to_string(id)}));
}

}  // namespace

void InstallJournal(std::FILE* err) {
    std::string error;
    std::unique_ptr<Store> store = OpenConfigured(error);
    if (!error.empty()) std::fprintf(err, "%s%s\n", Tr("warning: "), error.c_str());
    Journal().Install(std::move(store), [err](const std::string& message) {
        std::fprintf(err, "%s%s\n", Tr("warning: "), message.c_str());
    });
}

void UninstallJournal() { Journal().Uninstall(); }

bool RunJournalCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, int& status) {
    if (args.empty() || args[0] != "history") return false;
    std::string printer;
    if (args.size() == 3 && args[1] == "--printer" && !args[2].empty()) {
        printer = args[2];
    } else if (args.size() != 1) {
        std::fprintf(err, "svcadjust-cli: %s\n", Tr("usage: svcadjust-cli history [--printer ID]"));
        status = kExitUsage;
        return true;
    }
    InstallJournal(err);
    status = History(printer, out, err);
    UninstallJournal();
    return true;
}

void JournalSessionBegun(const CommandLine& line) {
    const std::uint16_t id = LastDeviceIdResult();
    Journal().BeginSession(line.modelCode, line.portCode,
                           id == 1 ? "packet protocol" : "no packet protocol (" + std::to_string(id) + ")");
}

void JournalOperationBegun(const Step& step) { Journal().BeginOperation(step.op->name, Join(step.args)); }

void JournalOperationDropped() { Journal().EndOperation(false, {"(usage error: not run)"}); }

void JournalOperationEnded(CliFrame& frame, const CommandLine& line, const Step& step, bool ok) {
    const std::int64_t id = Journal().EndOperation(ok, frame.MemoLines());
    if (ok) return;
    const auto lines = DescribeStop(Journal().LastOperation());
    if (lines.empty()) return;
    for (const std::string& l : lines) std::fprintf(frame.Err(), "%s%s\n", Tr("error: "), l.c_str());
    if (id != 0)
        std::fprintf(frame.Err(), "%s\n",
                     Format(Tr("error: 'svcadjust-cli --model %1 --port %2 undo %3' puts back what operation %3 "
                               "replaced; running %4 again completes it"),
                            {ModelName(line.modelCode), PortName(line.portCode), std::to_string(id), step.op->name})
                         .c_str());
    else
        std::fprintf(frame.Err(), "%s\n", Format(Tr("error: running %1 again completes it"), {step.op->name}).c_str());
    std::fflush(frame.Err());
}

OperationList JournalOperations() {
    OperationList ops;
    ops.push_back({"undo", "OPERATION-ID",
                   SVC_N("write back the bytes a journal operation replaced (shown first, written after a Yes)"), 1, 1,
                   Group::Adjustment, -1, nullptr, [](CliFrame& frame, const Arguments& args) {
                       std::int64_t id = 0;
                       if (!ParseId(args.at(0), id))
                           return Format(Tr("undo takes an operation number of the journal, not '%1'"), {args.at(0)});
                       Undo(frame, id);
                       return std::string();
                   }});
    return ops;
}

std::string RestoreFromJournal(CliFrame& frame, const Arguments& args) {
    std::int64_t id = 0;
    if (args.size() != 2 || args[0] != "--from-journal" || !ParseId(args[1], id))
        return Tr("restore takes no arguments, or --from-journal BACKUP-ID (a number 'history' lists)");
    if (frame.PortCode() < kFirstLptPort) {
        frame.SetOperationState(mode::Error, "This function cannot use by USB cable.");
        return {};
    }
    Store* store = Journal().CurrentStore();
    std::optional<BackupRecord> backup;
    try {
        if (store) backup = store->Backup(id);
    } catch (const StoreError& e) {
        frame.SetOperationState(mode::Error, Format(Tr("The service journal cannot be read: %1"), {e.what()}));
        return {};
    }
    if (!store) {
        frame.SetOperationState(mode::Error, "The service journal is not available; nothing was written.");
        return {};
    }
    if (!backup) {
        frame.SetOperationState(mode::Error, Format(Tr("Backup %1 is not in the service journal."), {std::to_string(id)}));
        return {};
    }
    frame.EndLine();
    std::fprintf(frame.Out(), "%s\n",
                 Format(Tr("Backup %1 of printer %2 (%3 %4 UTC on bench %5)"),
                        {std::to_string(id), backup->printer, backup->kind, backup->taken, backup->bench})
                     .c_str());
    std::fflush(frame.Out());
    if (!eepfeature::BeginStrict(frame, "Writing now...")) return {};
    std::array<std::uint8_t, eep::CopyCount> bytes{};
    std::copy(backup->bytes.begin(), backup->bytes.end(), bytes.begin());
    EepromCopy().Restore(frame, bytes, false);
    return {};
}

}  // namespace svc::cli
