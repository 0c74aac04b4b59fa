// People and time for svcadjust-cli: waits really wait, message boxes are
// printed, and questions are asked on the terminal (/dev/tty, so operations
// can still come from standard input). With --yes every question is answered
// Yes / OK; with no terminal to ask, the safe answer (No / Cancel) is taken
// and the program says so.
#pragma once

#include "link/Host.h"

#include <cstdio>
#include <functional>
#include <string>

namespace svc::cli {

class CliFrame;

class CliHost : public Host {
public:
    // Reads one answer line from the person; false when there is nobody to ask.
    using AskFn = std::function<bool(const std::string& prompt, std::string& answer)>;

    CliHost(CliFrame& frame, bool assumeYes, AskFn ask = nullptr);

    void Sleep(int milliseconds) override;
    void RepaintMainWindow() override;
    BoxAnswer MessageBox(BoxOwner owner, const std::string& text, const std::string& caption, BoxIcon icon,
                         BoxButtons buttons) override;

    // Asks on /dev/tty; false when there is no terminal.
    static bool AskTerminal(const std::string& prompt, std::string& answer);

private:
    CliFrame& frame_;
    bool assumeYes_;
    AskFn ask_;
};

}  // namespace svc::cli
