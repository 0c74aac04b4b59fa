#include "hostbridge/DeviceId.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>

namespace hb {
namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Which field a key names (0 manufacturer, 1 model, 2 class, 3 command set),
// or -1 for keys the port switch ignores. Long and short forms are accepted.
int FieldIndex(std::string_view key) {
    static constexpr std::string_view kKeys[4][2] = {
        {"MFG", "MANUFACTURER"}, {"MDL", "MODEL"}, {"CLS", "CLASS"}, {"CMD", "COMMAND SET"}};
    for (int i = 0; i < 4; ++i) {
        if (EqualsIgnoreCase(key, kKeys[i][0]) || EqualsIgnoreCase(key, kKeys[i][1])) return i;
    }
    return -1;
}

void ParseFields(std::string_view text, DeviceId& id) {
    std::string* const slots[4] = {&id.manufacturer, &id.model, &id.deviceClass, &id.commandSet};
    bool seen[4] = {false, false, false, false};  // the first field of each kind wins
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(';'), text.size());
        const std::string_view field = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));

        const std::size_t colon = field.find(':');
        if (colon == std::string_view::npos) continue;
        const int index = FieldIndex(Trim(field.substr(0, colon)));
        if (index < 0 || seen[index]) continue;
        seen[index] = true;
        *slots[index] = std::string(Trim(field.substr(colon + 1)));
    }
}

}  // namespace

bool DeviceId::AnnouncesPacketProtocol() const {
    std::string_view rest = commandSet;
    while (true) {
        const std::size_t comma = rest.find(',');
        if (EqualsIgnoreCase(Trim(rest.substr(0, comma)), "D4")) return true;
        if (comma == std::string_view::npos) return false;
        rest.remove_prefix(comma + 1);
    }
}

DeviceIdFrame SplitDeviceIdFrame(std::string_view raw) {
    DeviceIdFrame frame;
    if (raw.size() < 2) {
        frame.error = DeviceIdError::TooShort;
        return frame;
    }
    const std::size_t declared =
        (std::size_t{static_cast<std::uint8_t>(raw[0])} << 8) | static_cast<std::uint8_t>(raw[1]);
    if (declared < 2) {
        frame.error = DeviceIdError::LengthBelowPrefix;
        return frame;
    }
    frame.announcedText = declared - 2;
    frame.text = raw.substr(2, frame.announcedText);
    if (declared > raw.size()) frame.error = DeviceIdError::LengthBeyondData;
    return frame;
}

DeviceIdParse ParseDeviceId(std::string_view raw) {
    DeviceIdParse result;
    const DeviceIdFrame frame = SplitDeviceIdFrame(raw);
    if (frame.error != DeviceIdError::None) {
        result.error = frame.error;
        return result;
    }
    std::string_view text = frame.text;
    while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
    if (std::any_of(text.begin(), text.end(), [](char c) { return IsControl(static_cast<unsigned char>(c)); })) {
        result.error = DeviceIdError::ControlCharacter;
        return result;
    }
    ParseFields(text, result.id);
    return result;
}

const char* DescribeDeviceIdError(DeviceIdError error) {
    switch (error) {
        case DeviceIdError::None:
            return "no error";
        case DeviceIdError::TooShort:
            return "the device ID is shorter than its 2-byte length prefix";
        case DeviceIdError::LengthBelowPrefix:
            return "the device ID's length prefix is below 2";
        case DeviceIdError::LengthBeyondData:
            return "the device ID's length prefix claims more bytes than the printer sent";
        case DeviceIdError::ControlCharacter:
            return "the device ID contains a control character";
    }
    return "unknown device ID error";
}

}  // namespace hb
