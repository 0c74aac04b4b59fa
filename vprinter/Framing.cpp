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

}  // namespace vp
