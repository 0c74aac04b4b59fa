#include "hexcodec/hexcodec.h"

namespace {

constexpr int kNotADigit = -1;

// The value of one hex digit, or kNotADigit. Lower-case letters are not
// digits: the texts this library reads are typed in upper case by convention.
int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - 0x30;
    if (c >= 'A' && c <= 'F') return c - 0x37;
    return kNotADigit;
}

// The character of one nibble (0-15).
char DigitChar(unsigned nibble) { return static_cast<char>(nibble <= 9 ? nibble + 0x30 : nibble + 0x37); }

}  // namespace

extern "C" uint8_t HexAsciiToBinary(const char* hex2, uint8_t* value) {
    // The second character is only looked at when the first one is a digit,
    // so a text that ends early at its first character is never read past.
    const int high = DigitValue(hex2[0]);
    if (high == kNotADigit) return 0;
    const int low = DigitValue(hex2[1]);
    if (low == kNotADigit) return 0;
    *value = static_cast<uint8_t>(high * 16 + low);
    return 1;
}

extern "C" uint8_t BinaryToHexAscii(uint32_t value, char* out3) {
    const unsigned byte = value & 0xFFu;
    out3[0] = DigitChar(byte / 16);
    out3[1] = DigitChar(byte % 16);
    out3[2] = 0;
    return 1;
}
