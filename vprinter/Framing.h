// Frames of the virtual-port socket: kind (1 byte), payload length (2 bytes,
// big-endian), payload. The host side of the port switch speaks the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vp {

enum FrameKind : std::uint8_t {
    kFrameData = 0x01,            // channel bytes, both directions
    kFrameDeviceIdRequest = 0x02, // host asks for the device ID
    kFrameReset = 0x03,           // host pulses INIT
    kFrameDeviceId = 0x82,        // printer's device ID, length prefix included
};

inline constexpr std::size_t kFrameHeaderSize = 3;
inline constexpr std::size_t kMaxFramePayload = 0xFFFF;

struct Frame {
    std::uint8_t kind = 0;
    std::vector<std::uint8_t> payload;
};

// Appends one frame; payloads longer than a frame can carry are split over
// several frames of the same kind (only sensible for data).
void AppendFrames(std::vector<std::uint8_t>& out, std::uint8_t kind, const std::uint8_t* data, std::size_t n);

// Reassembles frames from a byte stream that arrives in any chunking.
class FrameReader {
public:
    void Feed(const std::uint8_t* data, std::size_t n);
    // The next complete frame, if one has arrived.
    std::optional<Frame> Next();
    std::size_t Buffered() const { return buffer_.size() - start_; }

private:
    std::vector<std::uint8_t> buffer_;
    std::size_t start_ = 0;
};

}  // namespace vp
