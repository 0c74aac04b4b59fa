// The text commands that switch the virtual printer's power and inject or
// clear its faults: one line in, one line out ("OK ..." or "ERR ...").
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vp {

class Printer;

class ControlCommands {
public:
    // Handles commands the core does not know (the print engine's buttons and
    // faults). Returns the reply line, or nothing when the command is not its own.
    using Extension = std::function<std::optional<std::string>(const std::vector<std::string>& words)>;

    explicit ControlCommands(Printer& printer) : printer_(printer) {}

    void AddExtension(Extension extension, std::string helpText);
    // Adds fields to the "state" line (" key=value ..." with a leading blank),
    // for what the print engine knows.
    void AddStateFields(std::function<std::string()> fields) { stateFields_.push_back(std::move(fields)); }
    std::string Execute(const std::string& line);
    // Every command, one per line, for --help and the "help" command.
    std::string HelpText() const;

private:
    std::string Power(const std::vector<std::string>& w);
    std::string Busy(const std::vector<std::string>& w);
    std::string Error(const std::vector<std::string>& w);
    std::string Hold(const std::vector<std::string>& w);
    std::string Refuse(const std::vector<std::string>& w);
    std::string Drop(const std::vector<std::string>& w);
    std::string Ink(const std::vector<std::string>& w);
    std::string Speed(const std::vector<std::string>& w);
    std::string Button(const std::vector<std::string>& w);

    Printer& printer_;
    std::vector<Extension> extensions_;
    std::vector<std::function<std::string()>> stateFields_;
    std::string extensionHelp_;
};

// "unlimited" or 0-4294967294 bytes per second.
std::optional<std::uint32_t> ParseSpeed(const std::string& text);

// "1500,1500,1737": 1 to 64 readings 0-65535, separated by commas.
std::optional<std::vector<std::uint16_t>> ParseCrReadings(const std::string& list);

// The core's commands, one per line ("power on|off   switch the power", ...).
const char* CoreControlHelp();

}  // namespace vp
