// The EEPROM viewer's full read (00 to FF, 256 cells, the window included)
// beside 256 bare D4ReadEeprom calls, both through the real port-switch and
// channel libraries to the same virtual printer. Two printers:
//
// - over a Unix socket: the printer served by vp::Server on a thread of this
//   process and reached through the port switch's socket port, as a
//   technician reaches the vprinter program (the figure the goal is about);
// - in process: the printer attached to the port switch directly, no socket
//   and no thread, where an EEPROM read costs well under a microsecond.
//
// Runs on Qt's offscreen platform unless another one is chosen.
#include "chanlink/testing/RatioReporter.h"
#include "link/Host.h"
#include "link/OutsideLibraries.h"
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
#include <QRadioButton>

#include <benchmark/benchmark.h>
#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kLpt1 = 1028;
constexpr std::uint16_t kOk = 1;

enum class Path { Socket, InProcess };

// The server thread stops through a signal sent to it alone, so the stop
// flag is written and read by that thread only, as the server expects.
volatile std::sig_atomic_t g_stop = 0;
constexpr int kStopSignal = SIGUSR1;

void OnStop(int) { g_stop = 1; }

// The virtual printer on a socket of its own, served by a thread.
class SocketPrinter {
public:
    SocketPrinter()
        : dir_(fs::temp_directory_path() / ("svc_eeprom_viewer_bench_" + std::to_string(::getpid()))),
          printer_(vp::Printer::Options{}, vp::Eeprom::Factory(1)),
          control_(printer_),
          server_(printer_, control_, Paths(dir_)) {
        fs::create_directories(dir_);
        struct sigaction action {};
        action.sa_handler = OnStop;
        sigemptyset(&action.sa_mask);
        ::sigaction(kStopSignal, &action, nullptr);  // no SA_RESTART: the server's poll must return
        std::string error;
        if (!server_.Open(error)) {
            error_ = error;
            return;
        }
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

// Waits advance the in-process printer's clock, or pass in wall time while
// the socket printer is in use (its server follows the wall clock); no
// message box is expected.
class BenchHost : public svc::Host {
public:
    explicit BenchHost(vp::Printer& printer) : printer_(printer) {}
    void Sleep(int ms) override {
        const int wait = ms > 0 ? ms : 0;
        if (path == Path::InProcess)
            printer_.Advance(static_cast<std::uint64_t>(wait));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
    void RepaintMainWindow() override {}
    svc::BoxAnswer MessageBox(svc::BoxOwner, const std::string&, const std::string&, svc::BoxIcon,
                              svc::BoxButtons) override {
        return svc::BoxAnswer::Ok;
    }
    Path path = Path::Socket;

private:
    vp::Printer& printer_;
};

// A connected main window with the EEPROM viewer picked and the range 00 to
// FF typed; LPT1 leads to the socket printer or to the in-process one.
struct Bench {
    Bench() : inProcessPrinter(vp::Printer::Options{}, vp::Eeprom::Factory(1)), host(inProcessPrinter) {
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
        boot.OKBtnClick();  // connects through the socket
        auto& w = windows->Adjust();
        // As a technician gets there: the "Appendix" tab, then "EEPROM data".
        w.findChild<QAbstractButton*>("AdjustmentTabTab3")->click();
        w.RadioGroupOf(svc::Group::Appendix)->Item(0)->click();
        w.SetText("EepromCheckBeginEdit", "00");
        w.SetText("EepromCheckEndEdit", "FF");
        readOk = w.findChild<QAbstractButton*>("EepromCheckOKBtn");
        std::uint8_t value = 0;
        if (D4ReadEeprom(0, &value) != kOk) error = "the window did not connect through the socket";
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

    // Reconnects LPT1 to the other printer as the program connects at start.
    bool Use(Path path) {
        if (!error.empty()) return false;
        if (path == host.path) return true;
        D4Termination();
        PortCloseByOsSw();
        if (path == Path::InProcess)
            inProcessPorts = std::make_unique<vp::InProcessPorts>(inProcessPrinter);
        else
            inProcessPorts.reset();
        host.path = path;
        if (PortOpenByOsSw(kLpt1) != kOk || GetDeviceIDByOsSw() != kOk || D4Negotiation() != kOk) {
            error = "cannot reconnect LPT1";
            return false;
        }
        return true;
    }

    SocketPrinter socketPrinter;
    vp::Printer inProcessPrinter;
    std::unique_ptr<vp::InProcessPorts> inProcessPorts;
    BenchHost host;
    std::unique_ptr<svc::ui::ProgramWindows> windows;
    QAbstractButton* readOk = nullptr;
    std::string error;
};

Bench* bench = nullptr;

void ViewerFullRead(benchmark::State& state, Path path) {
    if (!bench->Use(path)) return state.SkipWithError(bench->error.c_str());
    svc::ui::TFormAdjust& w = bench->windows->Adjust();
    for (auto _ : state) {
        w.DisableTimerTimer();  // the window is usable again, as 100 ms after the last read
        bench->readOk->click();
        QApplication::processEvents();
    }
    if (w.CellText("EepromStrGrid", 16, 16).size() != 2) state.SkipWithError("the grid was not filled");
}

void BareEepromReads(benchmark::State& state, Path path) {
    if (!bench->Use(path)) return state.SkipWithError(bench->error.c_str());
    for (auto _ : state) {
        for (int a = 0; a < 256; ++a) {
            std::uint8_t value = 0;
            if (D4ReadEeprom(static_cast<std::uint8_t>(a), &value) != kOk) return state.SkipWithError("read failed");
            benchmark::DoNotOptimize(value);
        }
    }
}

void BM_ViewerFullRead(benchmark::State& state) { ViewerFullRead(state, Path::Socket); }
void BM_BareEepromReads(benchmark::State& state) { BareEepromReads(state, Path::Socket); }
void BM_ViewerFullReadInProcess(benchmark::State& state) { ViewerFullRead(state, Path::InProcess); }
void BM_BareEepromReadsInProcess(benchmark::State& state) { BareEepromReads(state, Path::InProcess); }
BENCHMARK(BM_ViewerFullRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareEepromReads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ViewerFullReadInProcess)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareEepromReadsInProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

// The window's part alone: 256 cells written and repainted one by one.
void BM_GridCellUpdates(benchmark::State& state) {
    svc::ui::TFormAdjust& w = bench->windows->Adjust();
    int round = 0;
    for (auto _ : state) {
        const std::string text = ++round % 2 ? "AB" : "CD";
        for (int r = 1; r <= 16; ++r)
            for (int c = 1; c <= 16; ++c) w.SetCellText("EepromStrGrid", c, r, text);
    }
}
BENCHMARK(BM_GridCellUpdates)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Bench b;
    if (!b.error.empty()) {
        std::fprintf(stderr, "%s\n", b.error.c_str());
        return 1;
    }
    bench = &b;
    d4::testing::RatioReporter reporter("EEPROM viewer");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Ratio("256 cells, window included, printer over a Unix socket", "BM_ViewerFullRead", "BM_BareEepromReads",
                   false, "<= 2x");
    reporter.Ratio("256 cells, window included, in-process printer", "BM_ViewerFullReadInProcess",
                   "BM_BareEepromReadsInProcess", false, "none: an in-process read is not what a technician has");
    bench = nullptr;
    benchmark::Shutdown();
    return 0;
}
