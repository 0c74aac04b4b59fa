#include "link/VexStatusControl.h"

#include "link/OutsideLibraries.h"

#include <algorithm>

namespace svc {
namespace {

constexpr int kInkCodes = 14;  // seven 16-bit codes from byte 14
constexpr int kFlag = 36;      // the valid flag, then seven levels
constexpr int kLevels = 38;
constexpr int kProgramPart = kFlag;  // bytes from here on belong to the program, not the library

std::uint16_t Word(const std::array<std::uint8_t, StatusRecord::kSize>& b, int at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

void PutWord(std::array<std::uint8_t, StatusRecord::kSize>& b, int at, std::int16_t value) {
    const auto u = static_cast<std::uint16_t>(value);
    b[at] = static_cast<std::uint8_t>(u & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>(u >> 8);
}

bool IsSpecialInkCode(std::uint16_t code) {
    return code == 0x4349 || code == 0x4E41 || code == 0x5245 || code == 0x5745;
}

// An upper-case hexadecimal digit, or -1.
int HexDigit(std::uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

Result StatusRecord::Inquire() {
    // The library fills a whole record; the ink levels at the end are the
    // program's own and must survive until the next decoding, so only the
    // library's part is taken over, and only when the inquiry succeeded.
    std::array<std::uint8_t, kSize> fresh{};
    const Result r = InquireStatus(fresh.data());
    if (r == rc::Ok) std::copy_n(fresh.begin(), kProgramPart, bytes_.begin());
    return r;
}

Result StatusRecord::ReadStatus() {
    const Result r = Inquire();
    if (r == rc::Ok) DecodeInks();
    return r;
}

void StatusRecord::DecodeInks() {
    std::int16_t valid = 1;
    for (int i = 0; i < 7; ++i) {
        const std::uint16_t code = Word(bytes_, kInkCodes + 2 * i);
        if (IsSpecialInkCode(code)) {
            valid = 0;  // no reading: the level from the last reading stays
            continue;
        }
        const int high = HexDigit(static_cast<std::uint8_t>(code >> 8));
        const int low = HexDigit(static_cast<std::uint8_t>(code & 0xFF));
        int level = high < 0 || low < 0 ? -1 : high * 16 + low;
        if (level > 100) level = -1;
        PutWord(bytes_, kLevels + 2 * i, static_cast<std::int16_t>(level));
    }
    PutWord(bytes_, kFlag, valid);
}

InkLevels StatusRecord::Inks() const {
    InkLevels inks;
    inks.valid = static_cast<std::int16_t>(Word(bytes_, kFlag));
    for (int i = 0; i < 7; ++i) inks.level[i] = static_cast<std::int16_t>(Word(bytes_, kLevels + 2 * i));
    return inks;
}

StatusRecord& Status() {
    static StatusRecord record;
    return record;
}

Result ReadStatus() { return Status().ReadStatus(); }

}  // namespace svc
