#include "vprinter/Framing.h"

#include <algorithm>

namespace vp {

void AppendFrames(std::vector<std::uint8_t>& out, std::uint8_t kind, const std::uint8_t* data, std::size_t n) {
    std::size_t done = 0;
    do {
        const std::size_t len = std::min(n - done, kMaxFramePayload);
        out.push_back(kind);
        out.push_back(static_cast<std::uint8_t>(len >> 8));
        out.push_back(static_cast<std::uint8_t>(len & 0xFF));
        out.insert(out.end(), data + done, data + done + len);
        done += len;
    } while (done < n);
}

void FrameReader::Feed(const std::uint8_t* data, std::size_t n) {
    // Drop what was consumed before growing, so the buffer stays as small
    // as the largest incomplete frame.
    if (start_ > 0) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + n);
}

std::optional<Frame> FrameReader::Next() {
    const std::size_t available = buffer_.size() - start_;
    if (available < kFrameHeaderSize) return std::nullopt;
    const std::uint8_t* head = buffer_.data() + start_;
    const std::size_t len = static_cast<std::size_t>(head[1]) << 8 | head[2];
    if (available < kFrameHeaderSize + len) return std::nullopt;
    Frame f;
    f.kind = head[0];
    f.payload.assign(head + kFrameHeaderSize, head + kFrameHeaderSize + len);
    start_ += kFrameHeaderSize + len;
    return f;
}

}  // namespace vp
