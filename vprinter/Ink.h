// Ink cartridges as the status record reports them: one 16-bit code per
// colour, either a level in percent as two upper-case hex ASCII digits or one
// of four two-letter codes for a cartridge without a readable level.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vp {

// Colours in the order of the status record.
enum Ink { kBlack, kCyan, kMagenta, kYellow, kLightCyan, kLightMagenta, kGray, kInkCount };

// What a cartridge slot reports. Level carries a percentage; the others are
// the two-letter codes, named by the letters of their high byte first.
enum class InkCondition {
    Level,
    Missing,       // "NA": no cartridge in the slot
    Unreadable,    // "RE": the cartridge chip cannot be read
    WriteFailed,   // "WE": the cartridge chip refused a write
    Incompatible,  // "CI": a cartridge the printer does not accept
};

// The status-record code: the byte at the higher address (high byte) is the
// ASCII of the high hex digit, e.g. 75 percent is 0x3442 ('4','B').
std::uint16_t InkLevelCode(int percent);
std::uint16_t InkSpecialCode(InkCondition condition);

// Lower-case English colour names ("black", "light cyan", ...).
const char* InkName(int ink);
// Accepts the name with a blank, a hyphen, an underscore or nothing between
// words ("lightcyan", "light-cyan"); case does not matter.
std::optional<int> InkFromName(const std::string& name);

// "missing", "unreadable", "writefailed", "incompatible" or the raw letters
// ("NA", "RE", "WE", "CI").
std::optional<InkCondition> InkConditionFromName(const std::string& name);
const char* InkConditionName(InkCondition condition);

}  // namespace vp
