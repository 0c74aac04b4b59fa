// svcadjust-cli: the features of the main adjustment window from a terminal,
// through the same feature code, for a bench PC without a desktop or a line
// that scripts the same steps for many printers.
#include "cli/CliFrame.h"
#include "cli/CliHost.h"
#include "cli/JournalOps.h"
#include "cli/Session.h"
#include "link/Host.h"
#include "i18n/Translate.h"

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace svc::cli;
    // Messages in the user's language; numbers, letters and everything else
    // stay as in the C locale, so what is printed and parsed does not change.
    std::setlocale(LC_MESSAGES, "");
    svc::InitTranslations();
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (int status = 0; RunJournalCommand(args, stdout, stderr, status)) return status;
    CommandLine line;
    const auto readStandardInput = [](std::string& text) { return ReadInputFile(STDIN_FILENO, text); };
    if (const std::string error = ParseCommandLine(args, readStandardInput, line); !error.empty()) {
        std::fputs(UsageError(error).c_str(), stderr);
        return kExitUsage;
    }
    if (line.help || line.version) {
        std::fputs(line.help ? Usage().c_str() : VersionText().c_str(), stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? kExitOk : kExitFailed;
    }
    CliFrame frame(stdout, stderr);
    CliHost host(frame, line.yes);
    svc::SetHost(&host);
    InstallJournal(stderr);
    const int status = RunSession(line, frame);
    UninstallJournal();
    svc::SetHost(nullptr);
    return status;
}
