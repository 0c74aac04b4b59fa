#include "vprinter/Control.h"

#include <charconv>
#include <sstream>

#include "vprinter/Printer.h"

namespace vp {

namespace {

const char kHelp[] =
    "power on|off            switch the printer on or off (off: the link goes silent)\n"
    "power button            press the power button: on, or a shutdown (busy for 3 s of\n"
    "                        the mechanism's time, then off)\n"
    "busy on|off             stuck busy: state 2 and no print data taken\n"
    "error CODE|clear        error state 0 with this error code (0-255), printing stops\n"
    "hold STATE|off          report this state (cleaning, uncharged, printing, busy or 0-255)\n"
    "                        and print nothing until released\n"
    "refuse DETAIL|off       refuse the next print-data block with this detail (1-255)\n"
    "drop N|off              drop the link after the host sent N more packets (0 = now)\n"
    "ink COLOUR PERCENT      set an ink level (black, cyan, magenta, yellow, light cyan,\n"
    "                        light magenta, gray, or all)\n"
    "ink COLOUR CONDITION    missing (NA), unreadable (RE), writefailed (WE), incompatible (CI)\n"
    "speed BYTES_PER_S|unlimited  how fast the input buffer drains (0 stops printing,\n"
    "                        at most 4294967294; unlimited: data drains as it arrives)\n"
    "speedup N               the mechanism runs N times faster (1-1000; 1 = real time):\n"
    "                        cleaning, ink charge, exchange steps, moves, ejects\n"
    "cr readings V [V ...]|off  CR drive measurement readings (0-65535) left at 0x6C-0x6D,\n"
    "                        in the order the measurements run; the list starts over\n"
    "paper                   press the paper button (needs the print engine)\n"
    "rollswitch              press the roll-paper switch (needs the print engine)\n"
    "board replace           swap the main board for a new one (power off first): the\n"
    "                        EEPROM becomes the new-board image\n"
    "clear                   clear every fault (power stays as it is)\n"
    "state                   one line of key=value fields: everything the printer knows,\n"
    "                        EEPROM as hex and the bytes changed since start-up\n"
    "status                  one line: model, power, state, error, buffer, ink, faults\n"
    "help                    this list\n";

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// A whole decimal number within [lo, hi], nothing else.
std::optional<unsigned long> Number(const std::string& s, unsigned long lo, unsigned long hi) {
    unsigned long v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi) return std::nullopt;
    return v;
}

std::string Usage(const char* form) { return std::string("ERR usage: ") + form; }

}  // namespace

const char* CoreControlHelp() { return kHelp; }

std::optional<std::vector<std::uint16_t>> ParseCrReadings(const std::string& list) {
    std::vector<std::uint16_t> readings;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(',', start), list.size());
        const auto v = Number(list.substr(start, end - start), 0, 65535);
        if (!v || readings.size() == 64) return std::nullopt;
        readings.push_back(static_cast<std::uint16_t>(*v));
        start = end + 1;
    }
    return readings;
}

void ControlCommands::AddExtension(Extension extension, std::string helpText) {
    extensions_.push_back(std::move(extension));
    extensionHelp_ += helpText;
    if (!helpText.empty() && helpText.back() != '\n') extensionHelp_ += '\n';
}

std::string ControlCommands::HelpText() const { return kHelp + extensionHelp_; }

std::string ControlCommands::Execute(const std::string& line) {
    const std::vector<std::string> w = Words(line);
    if (w.empty()) return "ERR empty command (try help)";
    // The engine may take over commands, so it sees them first.
    for (const Extension& e : extensions_) {
        if (std::optional<std::string> reply = e(w)) return *reply;
    }
    const std::string& c = w[0];
    if (c == "power") return Power(w);
    if (c == "busy") return Busy(w);
    if (c == "error") return Error(w);
    if (c == "hold") return Hold(w);
    if (c == "refuse") return Refuse(w);
    if (c == "drop") return Drop(w);
    if (c == "ink") return Ink(w);
    if (c == "speed") return Speed(w);
    if (c == "paper" || c == "rollswitch") return Button(w);
    if (c == "speedup") {
        const auto factor = w.size() == 2 ? Number(w[1], 1, 1000) : std::nullopt;
        if (!factor) return Usage("speedup N (1-1000)");
        printer_.SetSpeedUp(static_cast<std::uint32_t>(*factor));
        return "OK speedup " + std::to_string(*factor);
    }
    if (c == "cr") {
        if (w.size() == 3 && w[1] == "readings" && w[2] == "off") {
            printer_.SetCrReadings({});
            return "OK cr readings off";
        }
        std::string list;
        for (std::size_t i = 2; i < w.size(); ++i) list += (i > 2 ? "," : "") + w[i];
        const auto readings = w.size() >= 3 && w[1] == "readings" ? ParseCrReadings(list) : std::nullopt;
        if (!readings) return Usage("cr readings V [V ...]|off (V 0-65535, at most 64)");
        printer_.SetCrReadings(*readings);
        std::string echo;
        for (std::uint16_t r : *readings) echo += " " + std::to_string(r);
        return "OK cr readings" + echo;
    }
    if (c == "board") {
        if (w.size() != 2 || w[1] != "replace") return Usage("board replace");
        if (!printer_.ReplaceBoard())
            return "ERR the power is on: a main board is replaced only with the printer off (power off first)";
        return "OK board replaced: the EEPROM holds only the block signatures";
    }
    if (c == "clear" && w.size() == 1) {
        printer_.ClearFaults();
        return "OK faults cleared";
    }
    if (c == "status" && w.size() == 1) return "OK " + printer_.Summary();
    if (c == "state" && w.size() == 1) {
        std::string line = "OK " + printer_.StateFields();
        for (const auto& fields : stateFields_) line += fields();
        return line;
    }
    if (c == "help" && w.size() == 1) {
        // One reply line: the commands separated by "; ".
        std::string flat;
        std::istringstream in(HelpText());
        for (std::string l; std::getline(in, l);) {
            if (l.empty() || l[0] == ' ') continue;
            flat += (flat.empty() ? "" : "; ") + l.substr(0, l.find("  "));
        }
        return "OK " + flat;
    }
    return "ERR unknown command '" + line + "' (try help)";
}

std::string ControlCommands::Power(const std::vector<std::string>& w) {
    if (w.size() == 2 && w[1] == "button") {
        printer_.PressPowerButton();
        return printer_.ShuttingDown() ? "OK power button: shutting down" : "OK power button: on";
    }
    if (w.size() != 2 || (w[1] != "on" && w[1] != "off")) return Usage("power on|off|button");
    printer_.SetPower(w[1] == "on");
    return "OK power " + w[1];
}

std::string ControlCommands::Busy(const std::vector<std::string>& w) {
    if (w.size() != 2 || (w[1] != "on" && w[1] != "off")) return Usage("busy on|off");
    printer_.SetStuckBusy(w[1] == "on");
    return "OK busy " + w[1];
}

std::string ControlCommands::Error(const std::vector<std::string>& w) {
    if (w.size() == 2 && w[1] == "clear") {
        printer_.ClearError();
        return "OK error cleared";
    }
    const auto code = w.size() == 2 ? Number(w[1], 0, 255) : std::nullopt;
    if (!code) return Usage("error CODE|clear (CODE 0-255)");
    printer_.InjectError(static_cast<std::uint8_t>(*code));
    return "OK error " + std::to_string(*code);
}

std::string ControlCommands::Hold(const std::vector<std::string>& w) {
    if (w.size() != 2) return Usage("hold STATE|off");
    if (w[1] == "off") {
        printer_.HoldState(std::nullopt);
        return "OK hold off";
    }
    static const std::pair<const char*, std::uint8_t> kNames[] = {{"busy", kStateBusy},
                                                                  {"printing", kStatePrinting},
                                                                  {"cleaning", kStateCleaning},
                                                                  {"uncharged", kStateBeforeInkCharge},
                                                                  {"ready", kStateReady}};
    std::optional<unsigned long> state = Number(w[1], 0, 255);
    for (const auto& [name, value] : kNames) {
        if (w[1] == name) state = value;
    }
    if (!state) return Usage("hold busy|printing|cleaning|uncharged|ready|0-255|off");
    printer_.HoldState(static_cast<std::uint8_t>(*state));
    return "OK hold " + std::to_string(*state);
}

std::string ControlCommands::Refuse(const std::vector<std::string>& w) {
    if (w.size() == 2 && w[1] == "off") {
        printer_.RefuseNextBlock(std::nullopt);
        return "OK refuse off";
    }
    const auto detail = w.size() == 2 ? Number(w[1], 1, 255) : std::nullopt;
    if (!detail) return Usage("refuse DETAIL|off (DETAIL 1-255)");
    printer_.RefuseNextBlock(static_cast<std::uint8_t>(*detail));
    return "OK refuse " + std::to_string(*detail);
}

std::string ControlCommands::Drop(const std::vector<std::string>& w) {
    if (w.size() == 2 && w[1] == "off") {
        printer_.DropLinkAfter(std::nullopt);
        return "OK drop off";
    }
    const auto packets = w.size() == 2 ? Number(w[1], 0, 1000000000) : std::nullopt;
    if (!packets) return Usage("drop N|off");
    printer_.DropLinkAfter(*packets);
    return "OK drop " + std::to_string(*packets);
}

std::string ControlCommands::Ink(const std::vector<std::string>& w) {
    if (w.size() < 3) return Usage("ink COLOUR PERCENT|CONDITION");
    std::string colour;
    for (std::size_t i = 1; i + 1 < w.size(); ++i) colour += (i > 1 ? " " : "") + w[i];
    std::vector<int> inks;
    if (colour == "all") {
        for (int i = 0; i < kInkCount; ++i) inks.push_back(i);
    } else if (const auto ink = InkFromName(colour)) {
        inks.push_back(*ink);
    } else {
        return "ERR unknown colour '" + colour + "'";
    }
    const std::string& value = w.back();
    if (const auto percent = Number(value, 0, 100)) {
        // A cartridge with this much ink is put in.
        printer_.InsertCartridges(inks, static_cast<int>(*percent));
    } else if (const auto condition = InkConditionFromName(value)) {
        for (int ink : inks) printer_.SetInkCondition(ink, *condition);
    } else {
        return "ERR ink value '" + value + "' is neither 0-100 nor missing|unreadable|writefailed|incompatible";
    }
    return "OK ink " + colour + " " + value;
}

std::optional<std::uint32_t> ParseSpeed(const std::string& text) {
    if (text == "unlimited") return Printer::kUnlimitedSpeed;
    const auto v = Number(text, 0, Printer::kUnlimitedSpeed - 1);
    if (!v) return std::nullopt;
    return static_cast<std::uint32_t>(*v);
}

std::string ControlCommands::Speed(const std::vector<std::string>& w) {
    const auto speed = w.size() == 2 ? ParseSpeed(w[1]) : std::nullopt;
    if (!speed) return Usage("speed BYTES_PER_S|unlimited (BYTES_PER_S 0-4294967294)");
    printer_.SetSpeed(*speed);
    return "OK speed " + w[1];
}

std::string ControlCommands::Button(const std::vector<std::string>& w) {
    if (w.size() != 1) return Usage(w[0] == "paper" ? "paper" : "rollswitch");
    if (!printer_.HasEngine()) return "ERR this printer has no print engine for " + w[0];
    if (!printer_.PoweredOn()) return "ERR the printer is off";
    if (w[0] == "paper")
        printer_.PressPaperButton();
    else
        printer_.PressRollPaperSwitch();
    return "OK " + w[0];
}

}  // namespace vp
