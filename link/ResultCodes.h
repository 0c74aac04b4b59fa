// Result codes handed up from every printer operation, and the detail codes
// the outside libraries report. 1 is success; every other value travels
// unchanged to ReportErrorCode.
#pragma once

#include <cstdint>

namespace svc {

using Result = std::uint16_t;

namespace rc {
inline constexpr Result Ok = 1;
inline constexpr Result PortIo = 0x1000;            // port I/O failure, detail via GetIoErrorCodeByOsSw
inline constexpr Result NoPacketProtocol = 0x1001;  // device ID read, printer without the packet protocol
inline constexpr Result BadPortCode = 0x1100;
inline constexpr Result Channel = 0x2000;  // channel refused, detail via GetD4ErrorCode
inline constexpr Result FileOpen = 0x2001;
inline constexpr Result Link3000 = 0x3000;
inline constexpr Result PrinterError = 0x4000;  // printer error state, see the status record
inline constexpr Result HeadId = 0x5000;
inline constexpr Result Bid = 0x7000;
inline constexpr Result UsbId = 0x8000;
inline constexpr Result NoLibrary = 0xB000;
inline constexpr Result NoMemory = 0xC000;
inline constexpr Result PwSensor = 0xF010;
inline constexpr Result PixelShift = 0xF020;
inline constexpr Result Ieee1394Id = 0xF030;
inline constexpr Result EepromCopy = 0xF040;
}  // namespace rc

// GetD4ErrorCode detail that means "the printer is busy, send the same bytes again".
inline constexpr std::uint16_t kChannelBusyDetail = 51;

// Printer states in byte 0 of the status record.
namespace state {
inline constexpr std::uint8_t Error = 0;
inline constexpr std::uint8_t Busy = 2;
inline constexpr std::uint8_t Printing = 3;
inline constexpr std::uint8_t Ready = 4;
inline constexpr std::uint8_t Cleaning = 7;
inline constexpr std::uint8_t BeforeInkCharge = 8;
}  // namespace state

// Printer error code (byte 1) that means paper out: the job stream prompts for paper.
inline constexpr std::uint8_t kPaperOutError = 6;

}  // namespace svc
