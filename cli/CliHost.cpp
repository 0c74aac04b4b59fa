#include "cli/CliHost.h"

#include "cli/CliFrame.h"
#include "i18n/Translate.h"

#include <cctype>
#include <chrono>
#include <fstream>
#include <iostream>
#include <thread>
#include <vector>

namespace svc::cli {

namespace {

const char* YesText(BoxButtons buttons) { return (buttons == BoxButtons::YesNo ? Tr("Yes") : Tr("OK")); }
const char* SafeText(BoxButtons buttons) { return (buttons == BoxButtons::YesNo ? Tr("No") : Tr("Cancel")); }

}  // namespace

CliHost::CliHost(CliFrame& frame, bool assumeYes, AskFn ask)
    : frame_(frame), assumeYes_(assumeYes), ask_(ask ? std::move(ask) : AskFn(&CliHost::AskTerminal)) {}

void CliHost::Sleep(int milliseconds) {
    frame_.BeforeWait();
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    frame_.AfterWait(milliseconds);
}

void CliHost::RepaintMainWindow() { frame_.BeforeWait(); }

bool CliHost::AskTerminal(const std::string& prompt, std::string& answer) {
    std::ofstream toTerminal("/dev/tty");
    std::ifstream fromTerminal("/dev/tty");
    if (!toTerminal || !fromTerminal) return false;
    toTerminal << prompt << std::flush;
    return static_cast<bool>(std::getline(fromTerminal, answer));
}

BoxAnswer CliHost::MessageBox(BoxOwner, const std::string& untranslated, const std::string& caption, BoxIcon icon,
                              BoxButtons buttons) {
    (void)caption;
    const std::string text = Tr(untranslated);
    std::vector<std::string> lines;
    for (std::size_t from = 0;;) {
        const std::size_t nl = text.find('\n', from);
        lines.push_back(text.substr(from, nl - from));
        if (nl == std::string::npos) break;
        from = nl + 1;
    }
    if (buttons == BoxButtons::Ok && assumeYes_ && icon != BoxIcon::Error) {
        // Nothing to ask: a box that comes back while the printer is waited
        // for stays one box on a terminal.
        frame_.ShowLines(lines);
        return BoxAnswer::Ok;
    }
    frame_.EndLine();
    std::FILE* stream = icon == BoxIcon::Error ? frame_.Err() : frame_.Out();
    const char* prefix = icon == BoxIcon::Error ? Tr("error: ") : "";
    // Every line of the box's text, then the question if it asks one.
    for (const std::string& line : lines) std::fprintf(stream, "%s%s\n", prefix, line.c_str());
    std::fflush(stream);

    if (buttons == BoxButtons::Ok) {
        // The technician may have something to do before going on.
        std::string ignored;
        if (!assumeYes_) ask_(Tr("Press Enter to continue. "), ignored);
        return BoxAnswer::Ok;
    }
    const BoxAnswer yes = buttons == BoxButtons::YesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
    const BoxAnswer safe = buttons == BoxButtons::YesNo ? BoxAnswer::No : BoxAnswer::Cancel;
    if (assumeYes_) {
        std::fprintf(frame_.Out(), "%s\n", Format(Tr("(answered %1: --yes)"), {YesText(buttons)}).c_str());
        std::fflush(frame_.Out());
        return yes;
    }
    const std::string prompt = (buttons == BoxButtons::YesNo ? Tr("Yes or No [y/n]? ") : Tr("OK or Cancel [o/c]? "));
    for (;;) {
        std::string answer;
        if (!ask_(prompt, answer)) {
            std::fprintf(
                frame_.Out(), "%s\n",
                Format(Tr("(no terminal to ask: answered %1; --yes answers %2)"), {SafeText(buttons), YesText(buttons)})
                    .c_str());
            std::fflush(frame_.Out());
            return safe;
        }
        const char c = answer.empty() ? '\0' : static_cast<char>(std::tolower(static_cast<unsigned char>(answer[0])));
        if (buttons == BoxButtons::YesNo) {
            if (c == 'y') return BoxAnswer::Yes;
            if (c == 'n') return BoxAnswer::No;
        } else {
            if (c == 'o') return BoxAnswer::Ok;
            if (c == 'c') return BoxAnswer::Cancel;
        }
    }
}

}  // namespace svc::cli
