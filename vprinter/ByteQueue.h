// A queue of bytes kept in one contiguous block: appended at the back in
// bulk, taken from the front, and readable in place, so whole blocks move
// with one copy and the printer can offer what waits without copying it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vp {

class ByteQueue {
public:
    std::size_t size() const { return bytes_.size() - head_; }
    bool empty() const { return size() == 0; }
    // The waiting bytes, oldest first; valid until the next Append, Drop or Clear.
    const std::uint8_t* data() const { return bytes_.data() + head_; }

    void Append(const std::uint8_t* p, std::size_t n) {
        if (n == 0) return;
        // Taken bytes are reclaimed once they outnumber the waiting ones, so
        // each waiting byte is moved at most about once for every byte taken
        // and the block stays within twice what waits.
        if (head_ > 0 && head_ >= size()) {
            std::memmove(bytes_.data(), data(), size());
            bytes_.resize(size());
            head_ = 0;
        }
        bytes_.insert(bytes_.end(), p, p + n);
    }

    // Takes up to n bytes from the front.
    void Drop(std::size_t n) {
        head_ += std::min(n, size());
        if (head_ == bytes_.size()) Clear();
    }

    void Clear() {
        bytes_.clear();
        head_ = 0;
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t head_ = 0;  // bytes at the front already taken
};

}  // namespace vp
