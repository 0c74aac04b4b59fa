// Fuzz target for the virtual printer's control commands, with the print
// engine's commands and state fields added as the program adds them. The
// input is what a client writes to the control socket: lines, each answered
// by exactly one line that starts with "OK" or "ERR ". Between commands the
// printer's time runs on, so faults and the mechanism act on what was set.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "vprinter/Control.h"
#include "vprinter/EngineState.h"
#include "vprinter/Printer.h"
#include "vprinter/engine/EngineControl.h"
#include "vprinter/engine/PrintEngine.h"

namespace {

// The control socket's own limit; a longer line is refused before it is read.
constexpr std::size_t kMaxLine = 4096;
// Enough commands to combine faults, few enough to keep each run short.
constexpr int kMaxCommands = 64;

void CheckReply(const std::string& reply) {
    if (!(reply == "OK" || reply.starts_with("OK ") || reply.starts_with("ERR "))) std::abort();
    // A second line would be read as the answer to the next command.
    if (reply.find('\n') != std::string::npos) std::abort();
}

}  // namespace

namespace {

void RunOn(int model, std::string_view input) {
    vp::Printer::Options options;
    options.model = model;
    vp::Printer printer(options, vp::Eeprom::Factory(model));
    vp::EngineOptions engineOptions;
    engineOptions.page = vp::PageSetup{100, 100, 90};  // small pages; none is written
    vp::PrintEngine engine(printer, engineOptions);
    printer.SetEngine(&engine);
    vp::ControlCommands control(printer);
    control.AddExtension(vp::EngineControl(engine, [&printer] { printer.SetPower(false); }), vp::EngineControlHelp());
    control.AddStateFields([&engine] { return vp::EngineStateFields(engine); });

    for (int n = 0; n < kMaxCommands && !input.empty(); ++n) {
        const std::size_t end = std::min(input.find('\n'), input.size());
        std::string line(input.substr(0, std::min(end, kMaxLine)));
        input.remove_prefix(std::min(end + 1, input.size()));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        CheckReply(control.Execute(line));
        printer.Advance(250);
    }
    CheckReply(control.Execute("state"));
    CheckReply(control.Execute("status"));
    printer.SetEngine(nullptr);
}

}  // namespace

// Both models take the same commands.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    RunOn(1, input);
    RunOn(2, input);
    return 0;
}
