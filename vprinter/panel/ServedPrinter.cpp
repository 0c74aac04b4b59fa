#include "vprinter/panel/ServedPrinter.h"

#include <pthread.h>

#include <csignal>
#include <filesystem>
#include <thread>

#include "vprinter/Control.h"
#include "vprinter/EngineState.h"
#include "vprinter/Printer.h"
#include "vprinter/Server.h"
#include "vprinter/engine/EngineControl.h"
#include "vprinter/engine/PrintEngine.h"

namespace vp::panel {

namespace {

// The server thread is stopped by a signal sent to it alone, so its stop
// flag is only touched by that thread, as a signal handler would.
volatile std::sig_atomic_t g_stop = 0;
void OnStop(int) { g_stop = 1; }

}  // namespace

struct ServedPrinter::Parts {
    Parts(const std::string& dir, int model)
        : printer(Options(model), Eeprom::Factory(model)),
          engine(printer, EngineOptions{PageSetup{}, dir + "/pages", MechanismTimes{}}),
          control(printer),
          server(printer, control, {dir + "/port.sock", dir + "/port.sock.ctl", ""}) {
        printer.SetEngine(&engine);
        control.AddExtension(EngineControl(engine, [this] { printer.SetPower(false); }), EngineControlHelp());
        control.AddStateFields([this] { return EngineStateFields(engine); });
    }
    ~Parts() { printer.SetEngine(nullptr); }
    static Printer::Options Options(int model) {
        Printer::Options o;
        o.model = model;
        return o;
    }
    Printer printer;
    PrintEngine engine;
    ControlCommands control;
    Server server;
    std::thread thread;
};

ServedPrinter::ServedPrinter(const std::string& dir, int model) : dir_(dir) {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ + "/pages");
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGUSR1, &action, nullptr);  // no SA_RESTART: the server's poll must return
    parts_ = std::make_unique<Parts>(dir_, model);
    if (!parts_->server.Open(error_)) return;
    g_stop = 0;
    parts_->thread = std::thread([this] { parts_->server.Run(g_stop); });
}

ServedPrinter::~ServedPrinter() {
    if (parts_ && parts_->thread.joinable()) {
        ::pthread_kill(parts_->thread.native_handle(), SIGUSR1);
        parts_->thread.join();
    }
    if (parts_) parts_->server.Close();
    parts_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::string ServedPrinter::PortPath() const { return dir_ + "/port.sock"; }
std::string ServedPrinter::ControlPath() const { return dir_ + "/port.sock.ctl"; }
std::string ServedPrinter::PagesDir() const { return dir_ + "/pages"; }

}  // namespace vp::panel
