#include "hexcodec/hexcodec.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

// The digit rule written independently of the library: a digit is one of
// these sixteen characters and its value is its position.
int ExpectedDigit(char c) {
    static const char digits[] = "0123456789ABCDEF";
    if (c == 0) return -1;
    const char* at = std::strchr(digits, c);
    return at ? static_cast<int>(at - digits) : -1;
}

TEST(HexAsciiToBinary, AllTwoCharacterInputsFollowTheDigitRule) {
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const char text[2] = {static_cast<char>(first), static_cast<char>(second)};
            const int high = ExpectedDigit(text[0]);
            const int low = ExpectedDigit(text[1]);
            uint8_t value = 0x5A;
            const uint8_t ok = HexAsciiToBinary(text, &value);
            if (high >= 0 && low >= 0) {
                ASSERT_EQ(ok, 1) << first << "," << second;
                ASSERT_EQ(value, high * 16 + low) << first << "," << second;
            } else {
                ASSERT_EQ(ok, 0) << first << "," << second;
                ASSERT_EQ(value, 0x5A) << "destination changed on refusal " << first << "," << second;
            }
        }
    }
}

TEST(HexAsciiToBinary, UpperCaseOnlyAndBadDigitInEitherPlace) {
    uint8_t value = 0x11;
    EXPECT_EQ(HexAsciiToBinary("7F", &value), 1);
    EXPECT_EQ(value, 0x7F);

    value = 0x11;
    EXPECT_EQ(HexAsciiToBinary("7f", &value), 0);
    EXPECT_EQ(HexAsciiToBinary("G0", &value), 0);
    EXPECT_EQ(HexAsciiToBinary("0G", &value), 0);
    EXPECT_EQ(value, 0x11);
}

TEST(HexAsciiToBinary, NeedsNoTerminatorAndStopsAtABadFirstDigit) {
    // Exactly-sized heap buffers: reading past them is caught by the sanitizer build.
    auto two = std::make_unique<char[]>(2);
    two[0] = 'A';
    two[1] = '5';
    uint8_t value = 0;
    EXPECT_EQ(HexAsciiToBinary(two.get(), &value), 1);
    EXPECT_EQ(value, 0xA5);

    auto one = std::make_unique<char[]>(1);
    one[0] = 'x';
    EXPECT_EQ(HexAsciiToBinary(one.get(), &value), 0);
}

TEST(BinaryToHexAscii, EveryByteGivesItsTwoDigitsAndATerminator) {
    for (uint32_t byte = 0; byte < 256; ++byte) {
        char expected[3];
        std::snprintf(expected, sizeof expected, "%02X", byte);
        std::array<char, 4> out;
        out.fill('#');
        ASSERT_EQ(BinaryToHexAscii(byte, out.data()), 1);
        ASSERT_EQ(std::string(out.data(), 3), std::string(expected, 3)) << byte;
        ASSERT_EQ(out[3], '#') << "wrote past the third byte for " << byte;
    }
}

TEST(BinaryToHexAscii, OnlyTheLowEightBitsCount) {
    char out[3];
    EXPECT_EQ(BinaryToHexAscii(0x1A5, out), 1);
    EXPECT_STREQ(out, "A5");
    EXPECT_EQ(BinaryToHexAscii(0xFFFFFF00u, out), 1);
    EXPECT_STREQ(out, "00");
}

TEST(BinaryToHexAscii, ChainedCallsBuildOneTerminatedText) {
    const uint8_t bytes[5] = {0x00, 0x12, 0xA5, 0xFE, 0x7F};
    auto text = std::make_unique<char[]>(11);  // 2 * 5 + 1, exactly
    for (int i = 0; i < 5; ++i) ASSERT_EQ(BinaryToHexAscii(bytes[i], text.get() + 2 * i), 1);
    EXPECT_STREQ(text.get(), "0012A5FE7F");
}

TEST(HexcodecLibrary, ExportsBothFunctionsByTheirBareNames) {
    void* lib = dlopen(HEXCODEC_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    using ToBinary = uint8_t (*)(const char*, uint8_t*);
    using ToHex = uint8_t (*)(uint32_t, char*);
    auto toBinary = reinterpret_cast<ToBinary>(dlsym(lib, "HexAsciiToBinary"));
    auto toHex = reinterpret_cast<ToHex>(dlsym(lib, "BinaryToHexAscii"));
    ASSERT_NE(toBinary, nullptr);
    ASSERT_NE(toHex, nullptr);

    uint8_t value = 0;
    EXPECT_EQ(toBinary("C3", &value), 1);
    EXPECT_EQ(value, 0xC3);
    char out[3];
    EXPECT_EQ(toHex(0x3C, out), 1);
    EXPECT_STREQ(out, "3C");
    dlclose(lib);
}

}  // namespace
