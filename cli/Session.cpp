#include "cli/Session.h"

#include "cli/CliFrame.h"
#include "cli/JournalOps.h"
#include "link/Connection.h"
#include "link/Features.h"
#include "link/StatusReport.h"
#include "link/Version.h"
#include "i18n/Translate.h"

#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace svc::cli {

namespace {

// The cut position list starts on its ninth item ("9") each time the window is shown.
constexpr const char* kCutPositionList = "CutPosAdjustInputComboBox";
constexpr int kCutPositionDefaultIndex = 8;

std::string TakeStep(const std::vector<std::string>& words, std::size_t& i, std::vector<Step>& steps) {
    const Operation* op = FindOperation(words[i]);
    if (!op) return Format(Tr("unknown operation '%1'"), {Shown(words[i])});
    Step step{op, {}};
    ++i;
    while (i < words.size() && static_cast<int>(step.args.size()) < op->maxArgs && !FindOperation(words[i]) &&
           words[i] != "-")
        step.args.push_back(words[i++]);
    if (static_cast<int>(step.args.size()) < op->minArgs)
        return op->arguments.empty() ? Format(Tr("%1 needs arguments"), {op->name})
                                     : Format(Tr("%1 needs %2"), {op->name, op->arguments});
    if (std::string error = CheckArguments(*op, step.args); !error.empty()) return error;
    steps.push_back(std::move(step));
    return {};
}

std::string StepsFromText(const std::string& text, std::vector<Step>& steps) {
    int number = 0;
    for (std::size_t from = 0; from < text.size();) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(from, end - from);
        from = end + 1;
        ++number;
        // Words are parted by blanks; any other byte (a NUL too) belongs to its word.
        std::vector<std::string> words;
        for (std::size_t at = 0; at < line.size();) {
            const std::size_t begin = line.find_first_not_of(" \t\r\v\f", at);
            if (begin == std::string::npos) break;
            std::size_t stop = line.find_first_of(" \t\r\v\f", begin);
            if (stop == std::string::npos) stop = line.size();
            words.push_back(line.substr(begin, stop - begin));
            at = stop;
        }
        if (words.empty() || words[0][0] == '#') continue;
        const auto where = [number](const std::string& error) {
            return Format(Tr("standard input, line %1: %2"), {std::to_string(number), error});
        };
        std::size_t i = 0;
        if (words[0] == "-") return where(Tr("'-' is not an operation"));
        if (std::string error = TakeStep(words, i, steps); !error.empty()) return where(error);
        if (i != words.size())
            return where(Format(Tr("one operation per line ('%1' is one too many)"), {Shown(words[i])}));
    }
    return {};
}

// Words of a help text over lines of at most `width` columns, each after `indent` blanks.
std::string Wrapped(const std::string& text, std::size_t indent, std::size_t width) {
    std::string out, line;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (!line.empty() && indent + line.size() + 1 + word.size() > width) {
            out += std::string(indent, ' ') + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty()) out += std::string(indent, ' ') + line + "\n";
    return out;
}

}  // namespace

std::string ReadInputFile(int fd, std::string& text) {
    text.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Format(Tr("standard input cannot be read: %1"), {std::strerror(errno)});
        if (n == 0) return {};
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kMaxInputBytes) return Tr("standard input holds more than 1 MiB of operations");
    }
}

std::string ReadInputStream(std::istream& in, std::string& text) {
    text.clear();
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxInputBytes) return Tr("standard input holds more than 1 MiB of operations");
    }
    if (in.bad()) return Tr("standard input cannot be read");
    return {};
}

std::string ParseCommandLine(const std::vector<std::string>& args, std::istream& stdinOps, CommandLine& out) {
    return ParseCommandLine(
        args, [&stdinOps](std::string& text) { return ReadInputStream(stdinOps, text); }, out);
}

std::string ParseCommandLine(const std::vector<std::string>& args, const InputReader& readInput, CommandLine& out) {
    out = CommandLine{};
    // getopt_long wants argv as it came; "+" stops at the first operation.
    std::vector<std::string> words;
    words.reserve(args.size() + 1);
    words.emplace_back("svcadjust-cli");
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    enum { kModel = 1, kPort, kYes, kHelp, kVersion };
    static const option kLong[] = {
        {"model", required_argument, nullptr, kModel}, {"port", required_argument, nullptr, kPort},
        {"yes", no_argument, nullptr, kYes},           {"help", no_argument, nullptr, kHelp},
        {"version", no_argument, nullptr, kVersion},   {nullptr, 0, nullptr, 0}};
    optind = 0;  // a fresh scan each time
    opterr = 0;  // the messages are ours
    for (int c; (c = getopt_long(argc, argv.data(), "+:hy", kLong, nullptr)) != -1;) {
        const std::string value = optarg ? optarg : "";
        // The long option just read, without a value given to it with '='.
        const auto longOption = [&] {
            const std::string word = argv[static_cast<std::size_t>(optind - 1)];
            return Shown(word.substr(0, word.find('=')));
        };
        switch (c) {
            case 'h':
            case kHelp:
                out.help = true;
                return {};
            case kVersion:
                out.version = true;
                return {};
            case 'y':
            case kYes:
                out.yes = true;
                break;
            case kModel:
                if (const ModelInfo* model = FindModelByWord(value))
                    out.modelCode = model->code;
                else
                    return Format(Tr("--model takes 4100 or 4200, not '%1'"), {Shown(value)});
                break;
            case kPort: {
                auto found = std::find(kPortNames.begin(), kPortNames.end(), value);
                if (found == kPortNames.end())
                    return Format(Tr("--port takes LPT1-LPT3 or ZQUSB1-ZQUSB3, not '%1'"), {Shown(value)});
                out.portCode = kPortCodes[static_cast<std::size_t>(found - kPortNames.begin())];
                break;
            }
            case ':':
                return Format(Tr("%1 needs a value"), {longOption()});
            default:
                // A short option (alone or in a cluster such as -qy) is named by
                // its letter; a long one by its word.
                if (optopt > ' ' && optopt < 0x7F)
                    return Format(Tr("unknown option '%1'"), {std::string("-") + static_cast<char>(optopt)});
                if (optopt != 0) return Format(Tr("%1 takes no value"), {longOption()});
                return Format(Tr("unknown option '%1'"), {longOption()});
        }
    }

    bool stdinTaken = false;
    for (std::size_t i = static_cast<std::size_t>(optind) - 1; i < args.size();) {
        const std::string& a = args[i];
        if (a == "-") {
            if (stdinTaken) return Tr("'-' may be given once");
            stdinTaken = true;
            std::string text;
            if (std::string error = readInput(text); !error.empty()) return error;
            if (std::string error = StepsFromText(text, out.steps); !error.empty()) return error;
            ++i;
        } else if (a.size() > 1 && a[0] == '-' && !FindOperation(a)) {
            return Format(Tr("options come before the operations ('%1')"), {Shown(a)});
        } else if (std::string error = TakeStep(args, i, out.steps); !error.empty()) {
            return error;
        }
    }
    if (out.modelCode == 0) return Tr("--model is required");
    if (out.portCode == 0) return Tr("--port is required");
    return {};
}

std::string Usage() {
    constexpr std::size_t kWidth = 80;
    constexpr std::size_t kHelpColumn = 24;
    std::ostringstream u;
    u << Tr(
        "usage: svcadjust-cli --model 4100|4200 --port PORT [--yes] OPERATION [ARGS]...\n"
        "       svcadjust-cli --model 4100|4200 --port PORT [--yes] -\n"
        "       svcadjust-cli --help | --version\n"
        "       svcadjust-cli history [--printer ID]   (the service journal; no printer)\n"
        "       svcadjust-cli report [--printer ID] [--session N] [-o FILE]\n"
        "                                  (the service report as HTML; no printer)\n"
        "\n"
        "Connects to the printer as the start window does, runs Get Status, then each\n"
        "operation in order, as its button in the main window would. '-' reads\n"
        "operations from standard input, one per line.\n"
        "\n"
        "  --model 4100|4200     the printer model (the start window's model list)\n"
        "  --port PORT           LPT1, LPT2, LPT3 (parallel) or ZQUSB1, ZQUSB2, ZQUSB3\n"
        "                        (USB)\n"
        "  -y, --yes             answer every question Yes / OK (without it, questions\n"
        "                        are asked on the terminal, or answered No / Cancel\n"
        "                        when there is none)\n"
        "  -h, --help            this text\n"
        "  --version             the version of the program\n"
        "\n"
        "Exit status: 0 every operation succeeded; 1 the connection or an operation\n"
        "failed (the operations after it were not run); 2 usage error (nothing was\n"
        "sent to the printer).\n"
        "\n"
        "Operations:\n");
    for (const Operation& op : AllOperations()) {
        const std::string head = "  " + op.name + (op.arguments.empty() ? "" : " " + op.arguments);
        std::string help = Wrapped(Tr(op.help), kHelpColumn, kWidth);
        if (help.empty()) {
            u << head << "\n";
        } else if (head.size() + 1 < kHelpColumn) {
            help.replace(0, head.size(), head);  // the first line starts with the name
            u << help;
        } else {
            u << head << "\n" << help;
        }
    }
    return u.str();
}

std::string UsageError(const std::string& message) {
    return "svcadjust-cli: " + message + "\n" + Tr("Try 'svcadjust-cli --help' for more information.") + "\n";
}

std::string VersionText() { return std::string("svcadjust-cli ") + kVersion + "\n"; }

int RunSession(const CommandLine& line, CliFrame& frame) {
    // Nothing is sent before every operation's arguments are known to be usable.
    for (const Step& step : line.steps)
        if (std::string error = CheckArguments(*step.op, step.args); !error.empty()) {
            std::fputs(UsageError(error).c_str(), frame.Err());
            return kExitUsage;
        }
    SetInitialPanelValues(frame);
    frame.SetModelCode(line.modelCode);
    frame.SetPortCode(line.portCode);
    if (const char* failure = ConnectPrinter(line.modelCode, line.portCode)) {
        std::string text = Tr(failure);
        std::replace(text.begin(), text.end(), '\n', ' ');
        std::fprintf(frame.Err(), "%s%s\n", Tr("error: "), text.c_str());
        return kExitFailed;
    }
    JournalSessionBegun(line, frame.Err());

    // The main window is shown: its model label, the cut position list on "9", Get Status.
    frame.SetItemIndex(kCutPositionList, kCutPositionDefaultIndex);
    frame.SetText(kCutPositionList, "9");
    frame.BeginOperation();
    GetStatus(frame, line.portCode);
    frame.EndOperation();

    const Operation* chosenItem = nullptr;
    int status = kExitOk;
    for (std::size_t n = 0; n < line.steps.size(); ++n) {
        const Step& step = line.steps[n];
        const Operation& op = *step.op;
        frame.TimerTick();
        if (op.item >= 0) {
            if (!frame.ItemAvailable(op.group, op.item)) {
                std::fprintf(frame.Err(), "%s\n",
                             Format(Tr("error: %1: not available now (the printer's state disables it; run get-status "
                                       "after clearing the error)"),
                                    {op.name})
                                 .c_str());
                status = kExitFailed;
                break;
            }
            const bool samePanel = chosenItem && chosenItem->group == op.group && chosenItem->item == op.item;
            if (!samePanel) {
                if (!frame.HideAllPanels(0)) {
                    std::fprintf(frame.Err(), "%s\n",
                                 Format(Tr("error: %1: the carriage could not be sent home"), {op.name}).c_str());
                    status = kExitFailed;
                    break;
                }
                if (op.chosen) op.chosen(frame);
                chosenItem = &op;
            }
        }
        frame.BeginOperation();
        JournalOperationBegun(step);
        const std::string usage = op.run(frame, step.args);
        if (!usage.empty()) {
            // Its check let it through; the session has begun, so this is a failure.
            JournalOperationDropped();
            frame.EndOperation();
            std::fprintf(frame.Err(), "%s%s: %s\n", Tr("error: "), op.name.c_str(), usage.c_str());
            status = kExitFailed;
            break;
        }
        const bool ok = frame.EndOperation();
        JournalOperationEnded(frame, line, step, ok);
        if (!ok) {
            status = kExitFailed;
            break;
        }
        if (frame.Closed()) {
            if (n + 1 < line.steps.size()) {
                std::fprintf(frame.Err(), "%s\n",
                             Format(Tr("error: the main window closed after %1; %2 operation(s) not run"),
                                    {op.name, std::to_string(line.steps.size() - n - 1)})
                                 .c_str());
                status = kExitFailed;
            }
            break;
        }
    }
    if (!frame.Closed()) frame.CloseMainWindow();
    return status;
}

}  // namespace svc::cli
