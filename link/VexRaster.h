// The print-job stream: one buffered byte stream that every print job and
// remote-mode frame leaves through, sent in blocks of 1000 bytes.
#pragma once

#include "ResultCodes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace svc {

class TPRaster {
public:
    static constexpr int kCapacity = 1024;
    static constexpr int kBlock = 1000;  // a block is sent as soon as the count reaches this

    // Allocates the buffer once. When that fails: the memory message box
    // (no owner, caption "Error!") and the program ends with exit code 0.
    TPRaster();
    ~TPRaster();
    TPRaster(const TPRaster&) = delete;
    TPRaster& operator=(const TPRaster&) = delete;

    // Appends count bytes (count at most 1000; more ends the program with an
    // error message and a non-zero status). Returns 1 or the failed send's code.
    // Bytes are stored in order and a block is sent the moment the count
    // reaches 1000; when that send fails, the rest of the call is not stored.
    Result Append(const std::uint8_t* data, int count) {
        // Most appends are a few bytes that do not complete a block. The room
        // left is compared rather than the sum, which a huge count would overflow.
        if (count > 0 && count < kBlock - count_) {
            std::memcpy(buffer_ + count_, data, static_cast<std::size_t>(count));
            count_ += count;
            return rc::Ok;
        }
        return AppendAndSend(data, count);
    }
    // Append of two bytes, the size of a run-length unit: the commonest append
    // of all, stored directly rather than through a copy of a tiny array.
    Result AppendPair(std::uint8_t first, std::uint8_t second) {
        if (count_ + 2 < kBlock) {
            buffer_[count_] = first;
            buffer_[count_ + 1] = second;
            count_ += 2;
            return rc::Ok;
        }
        const std::uint8_t pair[2] = {first, second};
        return AppendAndSend(pair, 2);
    }
    // Sends whatever the buffer holds, also when it is empty.
    Result Flush();
    // Sends a print file from the working directory, bypassing the buffer.
    // 8193 when it cannot be opened or read, or is not a regular file. A
    // file that does not begin as a print job does (ESC @ or ESC ( ) is
    // refused with nothing sent: 0xF040 with EepromCopyErrorDetail 3,
    // "Cannot read data from file.". An empty file sends nothing and is 1.
    Result SendPrintFile(const std::string& fileName);

    // Drops what the buffer holds without sending it: the unsent tail of a
    // job that ended in failure must not go out ahead of the next job.
    void Discard();

    int Count() const { return count_; }
    const std::uint8_t* Buffer() const { return buffer_; }

private:
    Result AppendAndSend(const std::uint8_t* data, int count);
    Result SendLoop();
    std::uint8_t* buffer_ = nullptr;
    int count_ = 0;
};

// The program-wide job stream, created on first use (start-up calls it before
// any window exists) and destroyed at exit.
TPRaster& JobStream();

// ---- printer command primitives ----
// Each appends its exact bytes to the stream and returns the first result
// other than 1, appending nothing after it.

// Colour index (the program's ink numbering) and dot kind (dot-size setting).
namespace ink {
inline constexpr std::uint8_t Black = 0, Cyan = 2, Magenta = 3, Yellow = 4, Gray = 10, LightCyan = 12,
                              LightMagenta = 13;
}

// A run-length unit: count 1..129. 130 or more shows "RepeatSend() error" and ends the program.
Result RepeatSend(TPRaster& s, int count, std::uint8_t value);
// Runs of 120 while more than 120 remain, then the rest.
Result RepeatSendLong(TPRaster& s, std::int32_t count, std::uint8_t value);
Result SendInitialize(TPRaster& s);
Result SendGraphicsMode(TPRaster& s);
Result SendUnit(TPRaster& s, std::uint8_t unit);
Result SendUnitExtended(TPRaster& s);
Result SendDirection(TPRaster& s, std::uint8_t mode);
Result SendDotSize(TPRaster& s, std::uint8_t dotKind);
Result SendColorMode(TPRaster& s, std::uint8_t mode);
Result SendJobHeader(TPRaster& s, std::uint8_t unit, std::uint8_t direction, std::uint8_t dotKind,
                     std::uint8_t colorMode);
Result SendLineReturn(TPRaster& s);
Result SendVerticalMove(TPRaster& s, std::int32_t amount);
Result SendHorizontalMove(TPRaster& s, std::int32_t amount);
Result SendRasterResolution(TPRaster& s, std::uint8_t rL, std::uint8_t rH, std::uint8_t v, std::uint8_t h);
Result SendRasterHeader(TPRaster& s, std::uint8_t colorIndex, std::uint8_t compression, std::uint8_t bitsPerPixel,
                        std::uint16_t bytesPerLine, std::uint16_t lines);
Result SendLineFeeds(TPRaster& s, std::int32_t n);
// Form feed, then a flush.
Result SendEndOfJob(TPRaster& s);

}  // namespace svc
