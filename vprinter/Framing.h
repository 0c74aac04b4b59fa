// Frames of the virtual-port socket: kind (1 byte), payload length (2 bytes,
// big-endian), payload. The host side of the port switch speaks the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vp {

enum FrameKind : std::uint8_t {
    kFrameData = 0x01,             // channel bytes, both directions
    kFrameDeviceIdRequest = 0x02,  // host asks for the device ID
    kFrameReset = 0x03,            // host pulses INIT
    kFrameDeviceId = 0x82,         // printer's device ID, length prefix included
};

inline constexpr std::size_t kFrameHeaderSize = 3;
inline constexpr std::size_t kMaxFramePayload = 0xFFFF;

// Appends one frame; payloads longer than a frame can carry are split over
// several frames of the same kind (only sensible for data).
void AppendFrames(std::vector<std::uint8_t>& out, std::uint8_t kind, const std::uint8_t* data, std::size_t n);

}  // namespace vp
