// The printer command primitives: every control sequence a pattern is made of.
#include "link/Host.h"
#include "link/VexRaster.h"

#include <array>
#include <cstdlib>
#include <initializer_list>

namespace svc {
namespace {

constexpr int kLongRun = 120;  // RepeatSendLong cuts long runs into units of this length
constexpr int kMaxRun = 129;   // the longest run one counter byte can express

// Appends a short fixed sequence in one piece; Append stops at the same byte
// a byte-by-byte append would.
Result Put(TPRaster& s, std::initializer_list<std::uint8_t> bytes) {
    return s.Append(bytes.begin(), static_cast<int>(bytes.size()));
}

std::uint8_t Low(std::int32_t amount) { return static_cast<std::uint8_t>(amount & 0xFF); }

std::uint8_t High(std::int32_t amount) { return static_cast<std::uint8_t>((amount >> 8) & 0xFF); }

// 0 announces one literal byte; 0x80..0xFF repeat the next byte 257 - counter times.
std::uint8_t RunCounter(int count) { return count == 1 ? 0 : static_cast<std::uint8_t>(1 - count); }

std::uint8_t ColourByte(std::uint8_t colourIndex) {
    switch (colourIndex) {
        case ink::Cyan:
            return 0x02;
        case ink::Magenta:
            return 0x01;
        case ink::Yellow:
            return 0x04;
        case ink::Gray:
            return 0x10;
        case ink::LightCyan:
            return 0x12;
        case ink::LightMagenta:
            return 0x11;
        default:  // black, and indexes no pattern uses
            return 0x00;
    }
}

std::uint8_t DotSizeByte(std::uint8_t dotKind) {
    switch (dotKind) {
        case 10:
            return 0x12;
        case 11:
            return 0x11;
        case 12:
            return 0x13;
        case 13:
            return 0x10;
        default:
            return 0x00;
    }
}

// A pattern generator asked for a run the coder cannot express: a bug.
// Kept out of line so the hot path of RepeatSend stays small.
[[noreturn]] [[gnu::cold]] [[gnu::noinline]] void BadRun() {
    host().MessageBox(BoxOwner::MainWindow, "RepeatSend() error", "Error", BoxIcon::Error, BoxButtons::Ok);
    std::exit(EXIT_FAILURE);
}

}  // namespace

Result RepeatSend(TPRaster& s, int count, std::uint8_t value) {
    if (count < 1 || count > kMaxRun) BadRun();
    return s.AppendPair(RunCounter(count), value);
}

Result RepeatSendLong(TPRaster& s, std::int32_t count, std::uint8_t value) {
    // The units are gathered and appended a block at a time. Append stores
    // byte by byte and stops at the first failed send, so the bytes kept and
    // the code returned are those of one RepeatSend per unit.
    std::array<std::uint8_t, TPRaster::kBlock> batch;
    int used = 0;
    while (count > 0) {
        const int unit = count > kLongRun ? kLongRun : static_cast<int>(count);
        batch[used++] = RunCounter(unit);
        batch[used++] = value;
        count -= unit;
        if (used == TPRaster::kBlock || count == 0) {
            const Result r = s.Append(batch.data(), used);
            if (r != rc::Ok) return r;
            used = 0;
        }
    }
    return rc::Ok;
}

Result SendInitialize(TPRaster& s) { return Put(s, {0x1B, 0x40}); }

Result SendGraphicsMode(TPRaster& s) { return Put(s, {0x1B, 0x28, 0x47, 0x01, 0x00, 0x01}); }

Result SendUnit(TPRaster& s, std::uint8_t unit) { return Put(s, {0x1B, 0x28, 0x55, 0x01, 0x00, unit}); }

Result SendUnitExtended(TPRaster& s) { return Put(s, {0x1B, 0x28, 0x55, 0x05, 0x00, 0x08, 0x02, 0x01, 0x40, 0x0B}); }

Result SendDirection(TPRaster& s, std::uint8_t mode) { return Put(s, {0x1B, 0x55, mode}); }

Result SendDotSize(TPRaster& s, std::uint8_t dotKind) {
    return Put(s, {0x1B, 0x28, 0x65, 0x02, 0x00, 0x00, DotSizeByte(dotKind)});
}

Result SendColorMode(TPRaster& s, std::uint8_t mode) {
    const std::uint8_t m = mode == 0 ? 1 : mode == 1 ? 2 : 0;
    return Put(s, {0x1B, 0x28, 0x4B, 0x02, 0x00, 0x00, m});
}

Result SendJobHeader(TPRaster& s, std::uint8_t unit, std::uint8_t direction, std::uint8_t dotKind,
                     std::uint8_t colorMode) {
    Result r = SendInitialize(s);
    if (r == rc::Ok) r = SendGraphicsMode(s);
    if (r == rc::Ok) r = SendUnit(s, unit);
    if (r == rc::Ok) r = SendDirection(s, direction);
    if (r == rc::Ok) r = SendDotSize(s, dotKind);
    if (r == rc::Ok) r = SendColorMode(s, colorMode);
    return r;
}

Result SendLineReturn(TPRaster& s) { return Put(s, {0x1B, 0x3C, 0x0D}); }

Result SendVerticalMove(TPRaster& s, std::int32_t amount) {
    return Put(s, {0x1B, 0x28, 0x76, 0x02, 0x00, Low(amount), High(amount)});
}

Result SendHorizontalMove(TPRaster& s, std::int32_t amount) { return Put(s, {0x1B, 0x5C, Low(amount), High(amount)}); }

Result SendRasterResolution(TPRaster& s, std::uint8_t rL, std::uint8_t rH, std::uint8_t v, std::uint8_t h) {
    return Put(s, {0x1B, 0x28, 0x44, 0x04, 0x00, rL, rH, v, h});
}

Result SendRasterHeader(TPRaster& s, std::uint8_t colorIndex, std::uint8_t compression, std::uint8_t bitsPerPixel,
                        std::uint16_t bytesPerLine, std::uint16_t lines) {
    return Put(s, {0x1B, 0x69, ColourByte(colorIndex), compression, bitsPerPixel, Low(bytesPerLine), High(bytesPerLine),
                   Low(lines), High(lines)});
}

Result SendLineFeeds(TPRaster& s, std::int32_t n) {
    for (std::int32_t i = 0; i < n; ++i) {
        const Result r = Put(s, {0x0D, 0x0A});
        if (r != rc::Ok) return r;
    }
    return rc::Ok;
}

Result SendEndOfJob(TPRaster& s) {
    const Result r = Put(s, {0x0C});
    return r == rc::Ok ? s.Flush() : r;
}

}  // namespace svc
