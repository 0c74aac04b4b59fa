// One svcadjust-cli run: the command line, then the session it asks for.
#pragma once

#include "cli/Operations.h"

#include <cstdint>
#include <functional>
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
    bool version = false;
    bool yes = false;
    int modelCode = 0;           // 1 or 2
    std::uint16_t portCode = 0;  // 1025-1030
    std::vector<Step> steps;
};

// The most standard input may hold for '-': an operation list is a few lines.
inline constexpr std::size_t kMaxInputBytes = 1024 * 1024;

// Reads standard input whole into `text`; returns the error, or empty.
using InputReader = std::function<std::string(std::string& text)>;
// Reads the file descriptor to its end, at most kMaxInputBytes.
std::string ReadInputFile(int fd, std::string& text);
// Reads the stream to its end, at most kMaxInputBytes.
std::string ReadInputStream(std::istream& in, std::string& text);

// Parses the arguments after the program name; "-" takes operations from
// standard input, one per line (blank lines and lines starting with '#' are
// skipped). Every operation's arguments are checked here, before anything
// is sent. Returns the usage error, or empty.
std::string ParseCommandLine(const std::vector<std::string>& args, const InputReader& readInput, CommandLine& out);
std::string ParseCommandLine(const std::vector<std::string>& args, std::istream& stdinOps, CommandLine& out);

// The help text (--help); every line fits 80 columns.
std::string Usage();
// A usage error as it is printed: the message, then where to find help.
std::string UsageError(const std::string& message);
// What --version prints.
std::string VersionText();

// Exit status of a session.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Connects as the start window does, runs Get Status as the main window does
// when it is shown, then each step in order; closes the main window at the
// end. Stops at the first step that does not succeed. Arguments an operation
// cannot use end it with kExitUsage before it connects.
int RunSession(const CommandLine& line, CliFrame& frame);

}  // namespace svc::cli
