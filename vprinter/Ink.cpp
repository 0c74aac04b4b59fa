#include "vprinter/Ink.h"

#include <algorithm>
#include <cctype>

namespace vp {

namespace {

const char* const kNames[kInkCount] = {"black", "cyan", "magenta", "yellow", "light cyan", "light magenta", "gray"};

std::string Folded(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == ' ' || c == '-' || c == '_') continue;
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

struct ConditionName {
    InkCondition condition;
    const char* name;
    const char* letters;
};

const ConditionName kConditions[] = {
    {InkCondition::Missing, "missing", "NA"},
    {InkCondition::Unreadable, "unreadable", "RE"},
    {InkCondition::WriteFailed, "writefailed", "WE"},
    {InkCondition::Incompatible, "incompatible", "CI"},
};

}  // namespace

std::uint16_t InkLevelCode(int percent) {
    static const char kHex[] = "0123456789ABCDEF";
    const int v = std::clamp(percent, 0, 255);
    return static_cast<std::uint16_t>(kHex[v >> 4] << 8 | kHex[v & 15]);
}

std::uint16_t InkSpecialCode(InkCondition condition) {
    for (const auto& c : kConditions) {
        if (c.condition == condition) return static_cast<std::uint16_t>(c.letters[0] << 8 | c.letters[1]);
    }
    return 0;
}

const char* InkName(int ink) { return (ink >= 0 && ink < kInkCount) ? kNames[ink] : "?"; }

std::optional<int> InkFromName(const std::string& name) {
    const std::string folded = Folded(name);
    for (int i = 0; i < kInkCount; ++i) {
        if (Folded(kNames[i]) == folded) return i;
    }
    if (folded == "grey") return kGray;
    return std::nullopt;
}

std::optional<InkCondition> InkConditionFromName(const std::string& name) {
    for (const auto& c : kConditions) {
        if (Folded(name) == c.name || name == c.letters) return c.condition;
    }
    return std::nullopt;
}

const char* InkConditionName(InkCondition condition) {
    for (const auto& c : kConditions) {
        if (c.condition == condition) return c.name;
    }
    return "level";
}

}  // namespace vp
