// One svcadjust-cli run: the command line, then the session it asks for.
#pragma once

#include "cli/Operations.h"

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace svc::cli {

class CliFrame;

struct Step {
    const Operation* op = nullptr;
    Arguments args;
};

struct CommandLine {
    bool help = false;
    bool yes = false;
    int modelCode = 0;            // 1 or 2
    std::uint16_t portCode = 0;   // 1025-1030
    std::vector<Step> steps;
};

// Parses the arguments after the program name; "-" takes operations from
// `stdinOps`, one per line (blank lines and lines starting with '#' are
// skipped). Returns the usage error, or empty.
std::string ParseCommandLine(const std::vector<std::string>& args, std::istream& stdinOps, CommandLine& out);

std::string Usage();

// Exit status of a session.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Connects as the start window does, runs Get Status as the main window does
// when it is shown, then each step in order; closes the main window at the
// end. Stops at the first step that does not succeed.
int RunSession(const CommandLine& line, CliFrame& frame);

}  // namespace svc::cli
