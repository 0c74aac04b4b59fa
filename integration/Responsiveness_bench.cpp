// How long the GUI thread stays away from its event loop during an operation:
// a heartbeat timer (every 5 ms) runs while a button of the main window is
// pressed, and the longest gap between two beats (from the press to the
// handler's return included) is what the technician sees as a frozen window.
//
// The window runs with the program's own GuiHost (real sleeps, the idle hook
// of the port switch and the channel) against a virtual printer:
//
// - in process (vp::InProcessPorts, following the wall clock): the printer
//   answers at once, so this shows the window's own work between waits;
// - over a Unix socket (vp::Server on a thread, reached through the port
//   switch's socket port, as a technician reaches the vprinter program),
//   normally and with the printer switched off under the open channel: the
//   link goes silent and every read runs to its 2000 ms deadline.
//
// Each silent case runs twice in the same run: with the idle hook, as the
// program has it, and without it (the way the waits were before), the
// baseline the figure is compared with.
//
// Runs on Qt's offscreen platform unless another one is chosen.
// Usage: svc_ui_responsiveness_bench [ROUNDS]   (3 by default)
#include "link/Host.h"
#include "link/OutsideLibraries.h"
#include "ui/GuiHost.h"
#include "ui/ProgramWindows.h"
#include "ui/RadioGroup.h"
#include "ui/VexFormAdjust.h"
#include "ui/VexFormBoot.h"
#include "vprinter/Control.h"
#include "vprinter/DirectTransport.h"
#include "vprinter/Printer.h"
#include "vprinter/Server.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QTimer>

#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kLpt1 = 1028;
constexpr std::uint16_t kOk = 1;
constexpr int kBeatMs = 5;

volatile std::sig_atomic_t g_stop = 0;
constexpr int kStopSignal = SIGUSR1;
void OnStop(int) { g_stop = 1; }

// The virtual printer on a socket of its own, served by a thread; its front
// panel (power) is reached through its control socket, as vprinter-panel does.
class SocketPrinter {
public:
    SocketPrinter()
        : dir_(fs::temp_directory_path() / ("svc_ui_responsiveness_bench_" + std::to_string(::getpid()))),
          printer_(vp::Printer::Options{}, vp::Eeprom::Factory(1)),
          control_(printer_),
          server_(printer_, control_, Paths(dir_)) {
        fs::create_directories(dir_);
        struct sigaction action {};
        action.sa_handler = OnStop;
        sigemptyset(&action.sa_mask);
        ::sigaction(kStopSignal, &action, nullptr);
        if (!server_.Open(error_)) return;
        g_stop = 0;
        thread_ = std::thread([this] { server_.Run(g_stop); });
    }
    ~SocketPrinter() {
        if (thread_.joinable()) {
            ::pthread_kill(thread_.native_handle(), kStopSignal);
            thread_.join();
        }
        server_.Close();
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    const std::string& error() const { return error_; }
    std::string PortMap() const { return "LPT1=unix:" + (dir_ / "port.sock").string(); }

    // Sends one control command and waits for its one-line answer.
    bool Send(const std::string& command) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = (dir_ / "control.sock").string();
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        const std::string line = command + "\n";
        ok = ok && ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        std::string answer;
        char c = 0;
        while (ok && ::read(fd, &c, 1) == 1 && c != '\n') answer += c;
        ::close(fd);
        return ok && answer.rfind("OK", 0) == 0;
    }

private:
    static vp::ServerOptions Paths(const fs::path& dir) {
        vp::ServerOptions o;
        o.socketPath = (dir / "port.sock").string();
        o.controlPath = (dir / "control.sock").string();
        return o;
    }

    fs::path dir_;
    vp::Printer printer_;
    vp::ControlCommands control_;
    vp::Server server_;
    std::thread thread_;
    std::string error_;
};

// The longest gap of the GUI thread while `press` runs, in milliseconds.
double LongestGapMs(const std::function<void()>& press) {
    QElapsedTimer clock;
    std::vector<qint64> beats;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(kBeatMs);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] { beats.push_back(clock.nsecsElapsed()); });
    heartbeat.start();
    clock.start();
    beats.push_back(0);
    press();
    beats.push_back(clock.nsecsElapsed());
    heartbeat.stop();
    qint64 longest = 0;
    for (std::size_t i = 1; i < beats.size(); ++i) longest = std::max(longest, beats[i] - beats[i - 1]);
    return static_cast<double>(longest) / 1e6;
}

struct Bench {
    Bench() : inProcessPrinter(vp::Printer::Options{}, vp::Eeprom::Factory(1)) {
        if (!socketPrinter.error().empty()) {
            error = "cannot serve the virtual printer: " + socketPrinter.error();
            return;
        }
        ::setenv("SVCADJUST_PORTMAP", socketPrinter.PortMap().c_str(), 1);
        svc::SetHost(&host);
        svc::ui::CreateProgramObjects();
        windows = std::make_unique<svc::ui::ProgramWindows>();
        auto& boot = windows->Boot();
        boot.show();
        boot.findChild<QComboBox*>("ModelNameCombo")->setCurrentIndex(0);
        boot.findChild<QComboBox*>("PortSelectCombo")->setCurrentIndex(0);
        boot.OKBtnClick();
        auto& w = windows->Adjust();
        host.SetMainWindow(&w);
        w.findChild<QAbstractButton*>("AdjustmentTabTab3")->click();
        w.RadioGroupOf(svc::Group::Appendix)->Item(0)->click();
        w.SetText("EepromCheckBeginEdit", "00");
        w.SetText("EepromCheckEndEdit", "FF");
        readOk = w.findChild<QAbstractButton*>("EepromCheckOKBtn");
        getStatus = w.findChild<QAbstractButton*>("GetStatusBtn");
        nozzlePrint = w.findChild<QAbstractButton*>("NozzleCheckPatternPrintBtn");
        if (!readOk || !getStatus || !nozzlePrint) error = "the window has no EEPROM read or Get Status button";
    }
    ~Bench() {
        if (windows) {
            windows->Adjust().DisableTimerTimer();
            windows->Adjust().close();
            windows.reset();
        }
        svc::SetHost(nullptr);
        D4Termination();
        PortCloseByOsSw();
        inProcessPorts.reset();
        ::unsetenv("SVCADJUST_PORTMAP");
    }

    // LPT1 on the printer of the case, connected afresh, the window usable.
    bool Connect(bool inProcess) {
        D4Termination();
        PortCloseByOsSw();
        if (inProcess && !inProcessPorts)
            inProcessPorts = std::make_unique<vp::InProcessPorts>(inProcessPrinter, vp::ClockMode::FollowWallClock);
        if (!inProcess) inProcessPorts.reset();
        if (PortOpenByOsSw(kLpt1) != kOk || GetDeviceIDByOsSw() != kOk || D4Negotiation() != kOk) return false;
        Ready();
        getStatus->click();  // availability back to all features
        Ready();
        return true;
    }
    void Ready() {
        windows->Adjust().DisableTimerTimer();
        QApplication::processEvents();
    }
    double Press(QAbstractButton* button) {
        Ready();
        const double ms = LongestGapMs([button] { button->click(); });
        Ready();
        return ms;
    }

    SocketPrinter socketPrinter;
    vp::Printer inProcessPrinter;
    std::unique_ptr<vp::InProcessPorts> inProcessPorts;
    svc::ui::GuiHost host;
    std::unique_ptr<svc::ui::ProgramWindows> windows;
    QAbstractButton* readOk = nullptr;
    QAbstractButton* getStatus = nullptr;
    QAbstractButton* nozzlePrint = nullptr;
    std::string error;
};

struct Case {
    const char* name;
    std::function<double(Bench&)> run;  // < 0: could not be set up
    std::vector<double> gaps;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    Bench b;
    if (!b.error.empty()) {
        std::fprintf(stderr, "%s\n", b.error.c_str());
        return 1;
    }
    // A silent printer: switched off under the open channel, then the button.
    auto silent = [](QAbstractButton* Bench::*button, bool hook) {
        return [button, hook](Bench& bench) {
            if (!bench.Connect(false) || !bench.socketPrinter.Send("power off")) return -1.0;
            if (!hook) SetIdleHookByOsSw(nullptr);
            const double ms = bench.Press(bench.*button);
            SetIdleHookByOsSw(&svc::ui::GuiHost::IdleWhileTheLinkWaits);  // as the program runs
            bench.socketPrinter.Send("power on");
            return ms;
        };
    };
    std::vector<Case> cases = {
        {"in process: Get Status",
         [](Bench& bench) { return bench.Connect(true) ? bench.Press(bench.getStatus) : -1; },
         {}},
        {"in process: EEPROM viewer, 00-FF",
         [](Bench& bench) { return bench.Connect(true) ? bench.Press(bench.readOk) : -1; },
         {}},
        {"socket: Get Status",
         [](Bench& bench) { return bench.Connect(false) ? bench.Press(bench.getStatus) : -1; },
         {}},
        {"socket: EEPROM viewer, 00-FF",
         [](Bench& bench) { return bench.Connect(false) ? bench.Press(bench.readOk) : -1; },
         {}},
        {"socket: nozzle check print",
         [](Bench& bench) {
             if (!bench.Connect(false)) return -1.0;
             bench.windows->Adjust().RadioGroupOf(svc::Group::CheckPattern)->Item(svc::kNozzleCheckItem)->click();
             const double ms = bench.Press(bench.nozzlePrint);
             bench.windows->Adjust().RadioGroupOf(svc::Group::Appendix)->Item(0)->click();
             return ms;
         },
         {}},
        {"silent link: EEPROM viewer (read deadline)", silent(&Bench::readOk, true), {}},
        {"silent link: Get Status (device-ID wait)", silent(&Bench::getStatus, true), {}},
        {"baseline, no idle hook: EEPROM viewer", silent(&Bench::readOk, false), {}},
        {"baseline, no idle hook: Get Status", silent(&Bench::getStatus, false), {}},
    };
    for (int round = 0; round < rounds; ++round) {
        for (Case& c : cases) {
            const double ms = c.run(b);
            if (ms < 0) {
                std::fprintf(stderr, "%s: could not be set up\n", c.name);
                return 1;
            }
            c.gaps.push_back(ms);
        }
    }
    std::printf("Longest gap of the GUI thread during one press (heartbeat every %d ms), %d rounds\n", kBeatMs, rounds);
    std::printf("%-46s %10s %10s %10s\n", "case", "median ms", "min ms", "max ms");
    for (const Case& c : cases)
        std::printf("%-46s %10.1f %10.1f %10.1f\n", c.name, Median(c.gaps),
                    *std::min_element(c.gaps.begin(), c.gaps.end()), *std::max_element(c.gaps.begin(), c.gaps.end()));
    const double with = std::max(Median(cases[5].gaps), Median(cases[6].gaps));
    const double without = std::max(Median(cases[7].gaps), Median(cases[8].gaps));
    std::printf(
        "silent link, longest gap with the idle hook / without: %.1f ms / %.1f ms = %.3f (goal: gap <= 100 ms)\n", with,
        without, without > 0 ? with / without : 0.0);
    return 0;
}
