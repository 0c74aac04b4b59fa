// The printer's IEEE 1284 device ID, parsed defensively. The same parser
// serves every transport: the bytes come from a printer or a cable we do not
// control, so nothing in them is trusted (not even their own length prefix).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hb {

// The fields of a device ID that the port switch uses. Each holds the value
// of the first field with that key (long or short form), trimmed of blanks.
struct DeviceId {
    std::string manufacturer;  // MFG: or MANUFACTURER:
    std::string model;         // MDL: or MODEL:
    std::string deviceClass;   // CLS: or CLASS:
    std::string commandSet;    // CMD: or COMMAND SET:

    // True when "D4" is one of the comma-separated entries of the command
    // set. "D4" elsewhere (inside the model name, or as part of a longer
    // entry such as "D4PX") does not count.
    bool AnnouncesPacketProtocol() const;
};

enum class DeviceIdError {
    None,
    TooShort,           // fewer than the 2 bytes of the length prefix arrived
    LengthBelowPrefix,  // the prefix claims less than its own 2 bytes
    LengthBeyondData,   // the prefix claims more bytes than arrived
    ControlCharacter,   // a control character inside the text
};

struct DeviceIdParse {
    DeviceIdError error = DeviceIdError::None;
    DeviceId id;
    bool ok() const { return error == DeviceIdError::None; }
};

// The 2-byte big-endian length prefix that leads a device ID as a printer
// sends it (counting those 2 bytes), read without trusting it: the length of
// text it announces and as much of that text as arrived. Both port libraries
// read the prefix here; each decides what a prefix that does not fit means
// (ParseDeviceId refuses the ID, linkport's device-ID read takes the bytes
// that came).
struct DeviceIdFrame {
    DeviceIdError error = DeviceIdError::None;  // TooShort, LengthBelowPrefix or LengthBeyondData
    std::size_t announcedText = 0;              // the text the prefix counts (0 when it claims below 2)
    std::string_view text;                      // that text, as far as it arrived
};
DeviceIdFrame SplitDeviceIdFrame(std::string_view raw);

// Parses a device ID as the USB printer class delivers it: a 2-byte
// big-endian length (counting those 2 bytes) followed by the text
// "KEY:value;KEY:value;...". Only the bytes the prefix counts are used;
// bytes received beyond them are ignored. NUL bytes at the end of the text
// are padding; any other control character refuses the whole ID. The last
// field may lack its ";". Fields without ":" and unknown keys are skipped.
DeviceIdParse ParseDeviceId(std::string_view raw);

// A short English explanation of an error, for diagnostics.
const char* DescribeDeviceIdError(DeviceIdError error);

}  // namespace hb
