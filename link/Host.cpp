#include "link/Host.h"

#include <chrono>
#include <iostream>
#include <thread>

namespace svc {
namespace {

// Used before the GUI installs its own host, and by command-line tools.
// There is nobody to answer a question, so questions get the cautious answer.
class ConsoleHost final : public Host {
public:
    void Sleep(int milliseconds) override {
        if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }

    void RepaintMainWindow() override {}

    BoxAnswer MessageBox(BoxOwner, const std::string& text, const std::string& caption, BoxIcon,
                         BoxButtons buttons) override {
        std::cerr << caption << ": " << text << std::endl;
        switch (buttons) {
            case BoxButtons::OkCancel:
                return BoxAnswer::Cancel;
            case BoxButtons::YesNo:
                return BoxAnswer::No;
            case BoxButtons::Ok:
                break;
        }
        return BoxAnswer::Ok;
    }
};

ConsoleHost& consoleHost() {
    static ConsoleHost console;
    return console;
}

Host* installed = nullptr;

}  // namespace

Host& host() { return installed ? *installed : consoleHost(); }

void SetHost(Host* h) { installed = h; }

}  // namespace svc
