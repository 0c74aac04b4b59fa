// The print engine's control commands for the virtual printer's control
// socket: faults on command, cleared again by "fault clear"; the hidden
// mechanical errors ("deviation NAME VALUE") and the head-angle lever.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vp {

class PrintEngine;

// Handles "fault jam|inkout|cover|lever|paperout|poweroff|clear",
// "deviation [NAME [VALUE]]", "head-angle N" and "roll on|off"; returns the
// reply line, or nothing for a command that is not its own. `powerOff`
// switches the printer off (the core owns the power).
std::function<std::optional<std::string>(const std::vector<std::string>&)> EngineControl(
    PrintEngine& engine, std::function<void()> powerOff);

// One line per command, for the printer's help text.
const char* EngineControlHelp();

}  // namespace vp
