// The service journal in svcadjust-cli: the journal is opened at start, each
// session and operation is recorded, and three commands read it: history
// (no printer needed), undo OPERATION-ID and restore --from-journal BACKUP-ID.
#pragma once

#include "cli/Operations.h"
#include "cli/Session.h"

#include <cstdio>
#include <string>
#include <vector>

namespace svc::cli {

// Opens the configured journal; a journal that cannot be opened is reported
// once on `err` and the program goes on without it.
void InstallJournal(std::FILE* err);
void UninstallJournal();

// "history [--printer ID]" and "report [--printer ID] [--session N] [-o FILE]": true when args are that command (status set).
bool RunJournalCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, int& status);

// The session's hooks.
// Begins the session's record; a refurbishment for DOA of this printer that
// the journal shows interrupted is named on `err` with the command that finishes it.
void JournalSessionBegun(const CommandLine& line, std::FILE* err);
void JournalOperationBegun(const Step& step);
void JournalOperationDropped();
// Records the operation; when it stopped after writing, says on standard
// error what the printer now holds and how to go back.
void JournalOperationEnded(CliFrame& frame, const CommandLine& line, const Step& step, bool ok);

OperationList JournalOperations();  // undo
// "restore --from-journal BACKUP-ID": a usage error, or empty.
std::string RestoreFromJournal(CliFrame& frame, const Arguments& args);

}  // namespace svc::cli
