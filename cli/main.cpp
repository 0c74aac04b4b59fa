// svcadjust-cli: the features of the main adjustment window from a terminal,
// through the same feature code, for a bench PC without a desktop or a line
// that scripts the same steps for many printers.
#include "cli/CliFrame.h"
#include "cli/CliHost.h"
#include "cli/JournalOps.h"
#include "cli/Session.h"
#include "link/Host.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using namespace svc::cli;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (int status = 0; RunJournalCommand(args, stdout, stderr, status)) return status;
    CommandLine line;
    if (const std::string error = ParseCommandLine(args, std::cin, line); !error.empty()) {
        std::fprintf(stderr, "svcadjust-cli: %s\n\n%s", error.c_str(), Usage().c_str());
        return kExitUsage;
    }
    if (line.help) {
        std::fputs(Usage().c_str(), stdout);
        return kExitOk;
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
