// The printer's 256-byte EEPROM: the bytes themselves, the image file they
// are kept in between runs, and the images a printer leaves the factory with.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vp {

class Eeprom {
public:
    static constexpr std::size_t kSize = 256;
    using Bytes = std::array<std::uint8_t, kSize>;

    // All bytes zero: not even the block signatures.
    Eeprom() { bytes_.fill(0); }
    explicit Eeprom(const Bytes& bytes) : bytes_(bytes) {}

    // The image of a printer as it leaves the factory, for model code 1
    // (Lumen 4100) or 2 (Lumen 4200). Any other code has no image and
    // yields the new-board image.
    static Eeprom Factory(int modelCode);
    // A main board straight from the spare-parts shelf: only the four block
    // signatures are set, every other byte is zero.
    static Eeprom NewBoard();

    std::uint8_t Get(std::uint8_t address) const { return bytes_[address]; }
    void Set(std::uint8_t address, std::uint8_t value) { bytes_[address] = value; }
    const Bytes& bytes() const { return bytes_; }

    // Multi-byte numbers are little-endian.
    std::uint16_t Get16(std::uint8_t address) const;
    void Set16(std::uint8_t address, std::uint16_t value);
    std::uint32_t Get32(std::uint8_t address) const;
    void Set32(std::uint8_t address, std::uint32_t value);
    // ASCII text, one character per address, lowest address first.
    void SetText(std::uint8_t address, const std::string& text);

    // Whether all four 64-byte blocks start with 0x5A 0x0F.
    bool SignaturesValid() const;

    // An image file holds exactly the 256 bytes, address 0 first. Load
    // refuses a file of any other size and leaves the bytes untouched; on
    // failure `error` says why in a sentence that names the file.
    bool Load(const std::string& path, std::string& error);
    // Writes a temporary file of its own (mkstemp) beside `path`, syncs it
    // and renames it over the old image, so a failed or interrupted save
    // never leaves a truncated image behind and never writes through a
    // file planted beside it.
    bool Save(const std::string& path, std::string& error) const;

    bool operator==(const Eeprom& other) const = default;

private:
    Bytes bytes_;
};

// EEPROM addresses the virtual printer itself fills or looks at.
namespace addr {
inline constexpr std::uint8_t kWasteInk = 0x20;        // 16-bit
inline constexpr std::uint8_t kCleaningCounts = 0x2E;  // six 16-bit counters
inline constexpr std::uint8_t kReplaceClCount = 0x38;  // 16-bit, cleanings after a cartridge replacement
inline constexpr std::uint8_t kInkChargeCount = 0x3A;
inline constexpr std::uint8_t kDestinationSet = 0x49;
inline constexpr std::uint8_t kPwSensor = 0x5C;  // four signed bytes
inline constexpr std::uint8_t kBiD = 0x60;       // eight signed bytes
inline constexpr std::uint8_t kFirstDot = 0x68;
inline constexpr std::uint8_t kDestinationAux1 = 0x6A;
inline constexpr std::uint8_t kDestinationAux2 = 0x6B;
inline constexpr std::uint8_t kCrMeasurement = 0x6C;  // 16-bit
inline constexpr std::uint8_t kCutCount = 0x6E;       // 16-bit
inline constexpr std::uint8_t kPf = 0x77;
inline constexpr std::uint8_t kPageCount = 0x78;   // 32-bit
inline constexpr std::uint8_t kPassCount = 0x7C;   // 32-bit
inline constexpr std::uint8_t kHeadId = 0x82;      // 21 bytes
inline constexpr std::uint8_t kPixelShift = 0x97;  // six signed bytes
inline constexpr std::uint8_t kDestinationCheck = 0xA7;
inline constexpr std::uint8_t kCrDispersion = 0xAC;
inline constexpr std::uint8_t kPfMeasureEs3 = 0xB9;
inline constexpr std::uint8_t kPfMeasureEs5 = 0xBA;
inline constexpr std::uint8_t kUsbId = 0xC2;       // 18 ASCII bytes
inline constexpr std::uint8_t kIeee1394Id = 0xD4;  // 5 bytes
inline constexpr std::uint8_t kDestinationCode = 0xE0;
inline constexpr std::uint8_t kModelNameString = 0xE2;  // up to 24 bytes
}  // namespace addr

// Packs a 25-character head ID into the 21 bytes it occupies from 0x82.
// Returns false, writing nothing, when the text is not a well-formed head ID
// (wrong length, a character outside its group's set or a wrong check
// character).
bool PackHeadId(const std::string& text, std::array<std::uint8_t, 21>& out);

}  // namespace vp
