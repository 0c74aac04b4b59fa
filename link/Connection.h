// The start window's connection sequence without the window: the port is
// opened, the device ID read and the packet channel negotiated, with the
// same library calls in the same order as the OK button makes them.
#pragma once

#include "i18n/Translate.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace svc {

// Port codes by position in the start window's port list: LPT1-3, ZQUSB1-3.
inline constexpr std::array<std::uint16_t, 6> kPortCodes = {1028, 1029, 1030, 1025, 1026, 1027};
inline constexpr std::array<std::string_view, 6> kPortNames = {"LPT1", "LPT2", "LPT3", "ZQUSB1", "ZQUSB2", "ZQUSB3"};

inline constexpr const char* kCableMessage =
    SVC_N("Communication error occurred.\nPlease confirm the power for printer and I/F cable connection.");
inline constexpr const char* kNegotiationMessage = SVC_N("Communication error occurred.");

// For a model code of 1 or 2 the factory-command header is set first. Then
// any open port is closed, the port opened, the device ID read (a printer
// without the packet protocol passes here; Get Status refuses it later) and
// the channel negotiated. Returns nullptr when connected, or the text of the
// error box the start window shows.
const char* ConnectPrinter(int modelCode, std::uint16_t portCode);

// The device ID result of the last connection: 1 (the printer speaks the
// packet protocol), 4097 (it does not), 0 before any was read.
std::uint16_t LastDeviceIdResult();

}  // namespace svc
