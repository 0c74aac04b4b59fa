#include "cli/JournalOps.h"

#include "cli/CliFrame.h"
#include "eeprom/FeatureStart.h"
#include "eeprom/VexEeprom.h"
#include "eeprom/VexEepromCopy.h"
#include "eeprom/JournalUndo.h"
#include "journal/Refurbishment.h"
#include "journal/Report.h"
#include "journal/Recorder.h"
#include "journal/SqlStore.h"
#include "link/Connection.h"
#include "link/Host.h"
#include "link/StatusReport.h"
#include "service/VexMaintenance.h"
#include "i18n/Translate.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
        if (b.result == kUnconfirmed) {
            // Sent, and the program ended before it learnt the outcome.
            line += Tr("  (not confirmed: may or may not have arrived)");
        } else if (b.result != 1) {
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
                const bool unfinished = std::find(op.memo.begin(), op.memo.end(), kUnfinished) != op.memo.end();
                const std::string outcome = unfinished       ? Tr("unfinished: the program ended during it")
                                            : op.result == 1 ? Tr("done")
                                            : op.result == 0 ? Tr("stopped")
                                                             : Format(Tr("stopped (%1)"), {code});
                std::fprintf(
                    out, "  %s\n",
                    Format(Tr("operation %1  %2  %3  %4, %5 bytes read, %6 written"),
                           {std::to_string(op.id), op.started,
                            op.name + (op.arguments.empty() ? "" : " ") + op.arguments, outcome,
                            std::to_string(op.bytes.size() - static_cast<std::size_t>(writes)), std::to_string(writes)})
                        .c_str());
                PrintWrites(out, op, "      ");
            }
        }
        const auto backups = store->Backups(printer);
        if (!backups.empty()) std::fprintf(out, "%s\n", Tr("backups"));
        for (const BackupRecord& b : backups)
            std::fprintf(
                out, "  %s\n",
                Format(Tr("backup %1  %2 UTC  printer %3  %4 on bench %5 (operation %6)"),
                       {std::to_string(b.id), b.taken, b.printer, b.kind, b.bench, std::to_string(b.operationId)})
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
    const eepfeature::UndoJob job = eepfeature::LoadUndo(Journal().CurrentStore(), id);
    if (!job.error.empty()) {
        frame.SetOperationState(mode::Error, job.error);
        return;
    }
    frame.EndLine();
    std::FILE* out = frame.Out();
    std::fprintf(out, "%s\n", Format(Tr("%1 wrote back (now -> before):"), {eepfeature::UndoTitle(job)}).c_str());
    for (const std::string& line : eepfeature::UndoLines(job)) std::fprintf(out, "  %s\n", line.c_str());
    std::fflush(out);
    if (job.plan.bytes.empty()) {
        frame.SetOperationState(
            mode::Report,
            Format(Tr("Operation %1 changed nothing; there is nothing to write back."), {std::to_string(id)}));
        return;
    }
    eepfeature::WriteUndo(frame, job, [&] {
        return host().MessageBox(BoxOwner::MainWindow,
                                 Format(Tr("Write %1 byte(s) of operation %2 back into the printer?"),
                                        {std::to_string(job.plan.bytes.size()), std::to_string(id)}),
                                 Tr("Undo"), BoxIcon::Question, BoxButtons::YesNo) == BoxAnswer::Yes;
    });
}

// Writes `text` to a temporary file beside `path` and renames it over
// `path`: a failed write leaves what was there.
bool WriteFileReplacing(const std::string& path, const std::string& text, std::string& error) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = ::fchmod(fd, 0644) == 0;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<std::size_t>(n);
    }
    if (!ok) error = std::strerror(errno ? errno : EIO);
    if (::close(fd) != 0 && ok) {
        error = std::strerror(errno);
        ok = false;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        ok = false;
    }
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

// "report [--printer ID] [--session N] [-o FILE]": the service report as HTML.
int Report(const ReportScope& scope, const std::string& file, std::FILE* out, std::FILE* err) {
    Store* store = Journal().CurrentStore();
    if (!store) {
        std::fprintf(err, "%s\n",
                     Format(Tr("error: the service journal (%1) is not available"), {ConfiguredJournal()}).c_str());
        return kExitFailed;
    }
    std::string html;
    try {
        html = ServiceReportHtml(*store, scope);
    } catch (const StoreError& e) {
        std::fprintf(err, "%s\n", Format(Tr("error: the service journal cannot be read: %1"), {e.what()}).c_str());
        return kExitFailed;
    }
    if (file.empty() || file == "-") {
        std::fwrite(html.data(), 1, html.size(), out);
        std::fflush(out);
        return kExitOk;
    }
    std::string error;
    if (!WriteFileReplacing(file, html, error)) {
        std::fprintf(err, "%s\n", Format(Tr("error: the report cannot be written to %1: %2"), {file, error}).c_str());
        return kExitFailed;
    }
    return kExitOk;
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
    if (args.empty() || (args[0] != "history" && args[0] != "report")) return false;
    const bool history = args[0] == "history";
    std::string printer, file;
    std::int64_t session = 0;
    bool usage = false;
    for (std::size_t i = 1; i < args.size() && !usage; i += 2) {
        const bool hasValue = i + 1 < args.size() && !args[i + 1].empty();
        if (args[i] == "--printer" && hasValue && printer.empty())
            printer = args[i + 1];
        else if (!history && args[i] == "--session" && hasValue && session == 0 && ParseId(args[i + 1], session))
            continue;
        else if (!history && args[i] == "-o" && hasValue && file.empty())
            file = args[i + 1];
        else
            usage = true;
    }
    if (usage) {
        std::fprintf(err, "svcadjust-cli: %s\n",
                     history ? Tr("usage: svcadjust-cli history [--printer ID]")
                             : Tr("usage: svcadjust-cli report [--printer ID] [--session N] [-o FILE]"));
        status = kExitUsage;
        return true;
    }
    InstallJournal(err);
    status = history ? History(printer, out, err) : Report({printer, session}, file, out, err);
    UninstallJournal();
    return true;
}

namespace {

// The last operation of the last session on this bench, model and port, when
// its program ended during it after it had sent EEPROM writes (a refurbishment
// has a hint of its own).
std::optional<OperationRecord> UnfinishedWritesHere(int model, int port) {
    Store* store = Journal().CurrentStore();
    if (!store) return std::nullopt;
    try {
        const std::vector<SessionRecord> sessions = store->Sessions("");
        const std::string bench = BenchName();
        for (auto s = sessions.rbegin(); s != sessions.rend(); ++s) {
            if (s->bench != bench || s->model != model || s->port != port) continue;
            const std::vector<OperationRecord> ops = store->Operations(s->id);
            if (ops.empty()) return std::nullopt;
            const OperationRecord& op = ops.back();
            const bool unfinished = std::find(op.memo.begin(), op.memo.end(), kUnfinished) != op.memo.end();
            const bool wrote = std::any_of(op.bytes.begin(), op.bytes.end(),
                                           [](const ByteRecord& b) { return b.access == Access::Write; });
            if (!unfinished || !wrote || IsRefurbishment(op)) return std::nullopt;
            return op;
        }
    } catch (const StoreError&) {
        // The journal's failures are reported where it is written.
    }
    return std::nullopt;
}

}  // namespace

void JournalSessionBegun(const CommandLine& line, std::FILE* err) {
    const std::uint16_t id = LastDeviceIdResult();
    // Looked for before this session is recorded, and not when the session
    // itself refurbishes.
    const bool refurbishes = std::any_of(line.steps.begin(), line.steps.end(), [](const Step& step) {
        return step.op->name == "doa" || step.op->name == "doa-finish";
    });
    const std::optional<Interrupted> interrupted =
        refurbishes ? std::nullopt : InterruptedRefurbishmentHere(line.modelCode, line.portCode);
    const std::optional<OperationRecord> unfinished = UnfinishedWritesHere(line.modelCode, line.portCode);
    Journal().BeginSession(line.modelCode, line.portCode,
                           id == 1 ? "packet protocol" : "no packet protocol (" + std::to_string(id) + ")");
    if (unfinished) {
        const std::string number = std::to_string(unfinished->id);
        std::fprintf(
            err, "%s\n",
            Format(Tr("warning: operation %1 (%2, %3 UTC) did not finish: the program ended during it."),
                   {number, unfinished->name + (unfinished->arguments.empty() ? "" : " ") + unfinished->arguments,
                    unfinished->started})
                .c_str());
        for (const std::string& l : DescribeStop(*unfinished)) std::fprintf(err, "%s%s\n", Tr("warning: "), l.c_str());
        std::fprintf(err, "%s\n",
                     Format(Tr("warning: 'svcadjust-cli --model %1 --port %2 undo %3' puts back what it replaced."),
                            {ModelName(line.modelCode), PortName(line.portCode), number})
                         .c_str());
        std::fflush(err);
    }
    if (interrupted) {
        std::fprintf(err, "%s\n",
                     Format(Tr("warning: %1 'svcadjust-cli --model %2 --port %3 doa-finish' finishes it."),
                            {DescribeInterrupted(*interrupted), ModelName(line.modelCode), PortName(line.portCode)})
                         .c_str());
        std::fflush(err);
    }
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
        frame.SetOperationState(mode::Error,
                                Format(Tr("Backup %1 is not in the service journal."), {std::to_string(id)}));
        return {};
    }
    frame.EndLine();
    std::fprintf(frame.Out(), "%s\n",
                 Format(Tr("Backup %1 of printer %2 (%3 %4 UTC on bench %5)"),
                        {std::to_string(id), backup->printer, backup->kind, backup->taken, backup->bench})
                     .c_str());
    std::fflush(frame.Out());
    eepfeature::RestoreJournalBackup(frame, *backup);
    return {};
}

}  // namespace svc::cli
