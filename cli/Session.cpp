#include "cli/Session.h"

#include "cli/CliFrame.h"
#include "cli/JournalOps.h"
#include "link/Connection.h"
#include "link/StatusReport.h"

#include <getopt.h>

#include <algorithm>
#include <sstream>

namespace svc::cli {

namespace {

// The cut position list starts on its ninth item ("9") each time the window is shown.
constexpr const char* kCutPositionList = "CutPosAdjustInputComboBox";
constexpr int kCutPositionDefaultIndex = 8;

std::string TakeStep(const std::vector<std::string>& words, std::size_t& i, std::vector<Step>& steps) {
    const Operation* op = FindOperation(words[i]);
    if (!op) return "unknown operation '" + words[i] + "'";
    Step step{op, {}};
    ++i;
    while (i < words.size() && static_cast<int>(step.args.size()) < op->maxArgs && !FindOperation(words[i]) &&
           words[i] != "-")
        step.args.push_back(words[i++]);
    if (static_cast<int>(step.args.size()) < op->minArgs)
        return op->name + " needs " + (op->arguments.empty() ? "arguments" : op->arguments);
    steps.push_back(std::move(step));
    return {};
}

std::string StepsFromStream(std::istream& in, std::vector<Step>& steps) {
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::istringstream split(line);
        std::vector<std::string> words;
        for (std::string w; split >> w;) words.push_back(w);
        if (words.empty() || words[0][0] == '#') continue;
        std::size_t i = 0;
        if (std::string error = TakeStep(words, i, steps); !error.empty())
            return "standard input, line " + std::to_string(number) + ": " + error;
        if (i != words.size())
            return "standard input, line " + std::to_string(number) + ": one operation per line ('" + words[i] +
                   "' is one too many)";
    }
    return {};
}

}  // namespace

std::string ParseCommandLine(const std::vector<std::string>& args, std::istream& stdinOps, CommandLine& out) {
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

    enum { kModel = 1, kPort, kYes, kHelp };
    static const option kLong[] = {{"model", required_argument, nullptr, kModel},
                                   {"port", required_argument, nullptr, kPort},
                                   {"yes", no_argument, nullptr, kYes},
                                   {"help", no_argument, nullptr, kHelp},
                                   {nullptr, 0, nullptr, 0}};
    optind = 0;  // a fresh scan each time
    opterr = 0;  // the messages are ours
    for (int c; (c = getopt_long(argc, argv.data(), "+:hy", kLong, nullptr)) != -1;) {
        const std::string value = optarg ? optarg : "";
        switch (c) {
        case 'h':
        case kHelp: out.help = true; return {};
        case 'y':
        case kYes: out.yes = true; break;
        case kModel:
            if (value == "4100")
                out.modelCode = kModel4100;
            else if (value == "4200")
                out.modelCode = kModel4200;
            else
                return "--model takes 4100 or 4200, not '" + value + "'";
            break;
        case kPort: {
            auto found = std::find(kPortNames.begin(), kPortNames.end(), value);
            if (found == kPortNames.end()) return "--port takes LPT1-LPT3 or ZQUSB1-ZQUSB3, not '" + value + "'";
            out.portCode = kPortCodes[static_cast<std::size_t>(found - kPortNames.begin())];
            break;
        }
        case ':': return std::string(argv[static_cast<std::size_t>(optind - 1)]) + " needs a value";
        default: return "unknown option '" + std::string(argv[static_cast<std::size_t>(optind - 1)]) + "'";
        }
    }

    bool stdinTaken = false;
    for (std::size_t i = static_cast<std::size_t>(optind) - 1; i < args.size();) {
        const std::string& a = args[i];
        if (a == "-") {
            if (stdinTaken) return "'-' may be given once";
            stdinTaken = true;
            if (std::string error = StepsFromStream(stdinOps, out.steps); !error.empty()) return error;
            ++i;
        } else if (a.size() > 1 && a[0] == '-' && !FindOperation(a)) {
            return "options come before the operations ('" + a + "')";
        } else if (std::string error = TakeStep(args, i, out.steps); !error.empty()) {
            return error;
        }
    }
    if (out.modelCode == 0) return "--model is required";
    if (out.portCode == 0) return "--port is required";
    return {};
}

std::string Usage() {
    std::ostringstream u;
    u << "usage: svcadjust-cli --model 4100|4200 --port LPT1..LPT3|ZQUSB1..ZQUSB3 [--yes]\n"
         "                     OPERATION [ARGS] [OPERATION [ARGS]...]\n"
         "       svcadjust-cli history [--printer ID]   (the service journal; no printer needed)\n"
         "\n"
         "Connects to the printer as the start window does, runs Get Status, then each\n"
         "operation in order, as its button in the main window would. '-' reads\n"
         "operations from standard input, one per line.\n"
         "\n"
         "  --model 4100|4200  the printer model (the start window's model list)\n"
         "  --port NAME        the port (LPT1-LPT3, ZQUSB1-ZQUSB3)\n"
         "  -y, --yes          answer every question Yes / OK (without it, questions are\n"
         "                     asked on the terminal, or answered No / Cancel without one)\n"
         "  -h, --help         this text\n"
         "\n"
         "Exit status: 0 all operations succeeded, 1 one failed (the rest were not run),\n"
         "2 usage error.\n"
         "\n"
         "Operations:\n";
    std::size_t width = 0;
    for (const Operation& op : AllOperations())
        width = std::max(width, op.name.size() + (op.arguments.empty() ? 0 : op.arguments.size() + 1));
    for (const Operation& op : AllOperations()) {
        std::string head = op.name + (op.arguments.empty() ? "" : " " + op.arguments);
        u << "  " << head << std::string(width + 2 - head.size(), ' ') << op.help << "\n";
    }
    return u.str();
}

int RunSession(const CommandLine& line, CliFrame& frame) {
    frame.SetModelCode(line.modelCode);
    frame.SetPortCode(line.portCode);
    if (const char* failure = ConnectPrinter(line.modelCode, line.portCode)) {
        std::string text = failure;
        std::replace(text.begin(), text.end(), '\n', ' ');
        std::fprintf(frame.Err(), "error: %s\n", text.c_str());
        return kExitFailed;
    }
    JournalSessionBegun(line);

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
                std::fprintf(frame.Err(),
                             "error: %s: not available now (the printer's state disables it; run get-status "
                             "after clearing the error)\n",
                             op.name.c_str());
                status = kExitFailed;
                break;
            }
            const bool samePanel = chosenItem && chosenItem->group == op.group && chosenItem->item == op.item;
            if (!samePanel) {
                if (!frame.HideAllPanels(0)) {
                    std::fprintf(frame.Err(), "error: %s: the carriage could not be sent home\n", op.name.c_str());
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
            JournalOperationDropped();
            frame.EndOperation();
            std::fprintf(frame.Err(), "error: %s: %s\n", op.name.c_str(), usage.c_str());
            return kExitUsage;
        }
        const bool ok = frame.EndOperation();
        JournalOperationEnded(frame, line, step, ok);
        if (!ok) {
            status = kExitFailed;
            break;
        }
        if (frame.Closed()) {
            if (n + 1 < line.steps.size()) {
                std::fprintf(frame.Err(), "error: the main window closed after %s; %zu operation(s) not run\n",
                             op.name.c_str(), line.steps.size() - n - 1);
                status = kExitFailed;
            }
            break;
        }
    }
    if (!frame.Closed()) frame.CloseMainWindow();
    return status;
}

}  // namespace svc::cli
