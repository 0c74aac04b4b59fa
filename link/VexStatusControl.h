// The status record: one 52-byte record filled by InquireStatus, with the ink
// levels the program decodes into bytes 36-51.
#pragma once

#include "ResultCodes.h"

#include <array>
#include <cstdint>

namespace svc {

// Flag and levels as they stand in bytes 36-51.
struct InkLevels {
    std::int16_t valid = 0;  // 1 when all seven codes were readings
    // black, cyan, magenta, yellow, light cyan, light magenta, gray; -1 = unreadable
    std::array<std::int16_t, 7> level{};
};

class StatusRecord {
public:
    static constexpr int kSize = 52;

    // InquireStatus into the record; on 1 decodes the ink codes.
    Result ReadStatus();
    // InquireStatus without the ink decoding (the readiness wait).
    Result Inquire();

    std::uint8_t PrinterState() const { return bytes_[0]; }
    std::uint8_t PrinterError() const { return bytes_[1]; }
    InkLevels Inks() const;
    const std::array<std::uint8_t, kSize>& Bytes() const { return bytes_; }
    // Back to the state at program start (all zero).
    void Clear() { bytes_.fill(0); }

    // Decodes the seven ink codes of bytes 14-27 into bytes 36-51.
    void DecodeInks();

private:
    std::array<std::uint8_t, kSize> bytes_{};
};

// The program-wide status record.
StatusRecord& Status();
// ReadStatus on the program-wide record.
Result ReadStatus();

}  // namespace svc
