#include "hostbridge/DeviceId.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using hb::DeviceIdError;
using hb::ParseDeviceId;

// The text with a correct 2-byte big-endian length prefix.
std::string WithPrefix(const std::string& text) {
    const std::size_t n = text.size() + 2;
    return std::string{static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)} + text;
}

TEST(DeviceId, ReadsShortFieldsAndCommandSet) {
    const auto parse = ParseDeviceId(
        WithPrefix("MFG:Corvid;CMD:RASTER,STATUS,D4;MDL:Corvid Lumen 4200;CLS:PRINTER;DES:Photo printer;"));
    ASSERT_TRUE(parse.ok());
    EXPECT_EQ(parse.id.manufacturer, "Corvid");
    EXPECT_EQ(parse.id.model, "Corvid Lumen 4200");
    EXPECT_EQ(parse.id.deviceClass, "PRINTER");
    EXPECT_EQ(parse.id.commandSet, "RASTER,STATUS,D4");
    EXPECT_TRUE(parse.id.AnnouncesPacketProtocol());
}

TEST(DeviceId, ReadsLongKeysAndALastFieldWithoutSemicolon) {
    const auto parse =
        ParseDeviceId(WithPrefix("MANUFACTURER:Corvid; MODEL: Corvid Lumen 4100 ;CLASS:PRINTER;COMMAND SET:D4,RASTER"));
    ASSERT_TRUE(parse.ok());
    EXPECT_EQ(parse.id.manufacturer, "Corvid");
    EXPECT_EQ(parse.id.model, "Corvid Lumen 4100");
    EXPECT_EQ(parse.id.deviceClass, "PRINTER");
    EXPECT_EQ(parse.id.commandSet, "D4,RASTER");
    EXPECT_TRUE(parse.id.AnnouncesPacketProtocol());
}

TEST(DeviceId, FirstFieldOfAKindWinsAndJunkFieldsAreSkipped) {
    const auto parse = ParseDeviceId(WithPrefix(";;garbage;MDL:First;MODEL:Second;:;CMD:;X:Y;"));
    ASSERT_TRUE(parse.ok());
    EXPECT_EQ(parse.id.model, "First");
    EXPECT_EQ(parse.id.commandSet, "");
    EXPECT_FALSE(parse.id.AnnouncesPacketProtocol());
}

TEST(DeviceId, MissingFieldsLeaveThemEmpty) {
    const auto parse = ParseDeviceId(WithPrefix("MFG:Corvid;"));
    ASSERT_TRUE(parse.ok());
    EXPECT_EQ(parse.id.model, "");
    EXPECT_EQ(parse.id.deviceClass, "");
    EXPECT_FALSE(parse.id.AnnouncesPacketProtocol());

    const auto empty = ParseDeviceId(std::string("\x00\x02", 2));
    ASSERT_TRUE(empty.ok());
    EXPECT_EQ(empty.id.model, "");
}

// Only an entry of the command set counts: "D4" in the model name, in
// another field or inside a longer entry does not announce the protocol.
TEST(DeviceId, D4CountsOnlyAsACommandSetEntry) {
    struct Case {
        const char* text;
        bool announces;
    } cases[] = {
        {"MDL:Corvid D4 Photo;CMD:RASTER,STATUS;", false},
        {"MDL:D4;CLS:PRINTER;CMD:RASTER;DES:D4;", false},
        {"CMD:RASTER,D4PX,XD4;", false},
        {"CMD: RASTER , d4 ;", true},
        {"COMMAND SET:D4", true},
        {"CMD:D4;CMD:RASTER;", true},
    };
    for (const auto& c : cases) {
        const auto parse = ParseDeviceId(WithPrefix(c.text));
        ASSERT_TRUE(parse.ok()) << c.text;
        EXPECT_EQ(parse.id.AnnouncesPacketProtocol(), c.announces) << c.text;
    }
}

TEST(DeviceId, LengthPrefixThatLiesIsCaught) {
    EXPECT_EQ(ParseDeviceId("").error, DeviceIdError::TooShort);
    EXPECT_EQ(ParseDeviceId(std::string("\x00", 1)).error, DeviceIdError::TooShort);
    EXPECT_EQ(ParseDeviceId(std::string("\x00\x00MDL:X;", 8)).error, DeviceIdError::LengthBelowPrefix);
    EXPECT_EQ(ParseDeviceId(std::string("\x00\x01MDL:X;", 8)).error, DeviceIdError::LengthBelowPrefix);
    // Claims one byte more than arrived.
    EXPECT_EQ(ParseDeviceId(std::string("\x00\x09MDL:X;", 8)).error, DeviceIdError::LengthBeyondData);
    EXPECT_EQ(ParseDeviceId(std::string("\xFF\xFFMDL:X;", 8)).error, DeviceIdError::LengthBeyondData);
}

// The prefix alone, as linkport reads it too: what it announces and what of
// that arrived, whether or not the two agree.
TEST(DeviceId, FrameTellsTheAnnouncedTextAndWhatOfItArrived) {
    using hb::SplitDeviceIdFrame;
    EXPECT_EQ(SplitDeviceIdFrame(std::string("\x00", 1)).error, DeviceIdError::TooShort);

    // The frame's text views the bytes given: they must outlive it.
    const std::string belowBytes("\x00\x01MDL:X;", 8);
    const auto below = SplitDeviceIdFrame(belowBytes);
    EXPECT_EQ(below.error, DeviceIdError::LengthBelowPrefix);
    EXPECT_EQ(below.announcedText, 0u);
    EXPECT_TRUE(below.text.empty());

    const std::string beyondBytes("\x01\x02MDL:X;", 8);
    const auto beyond = SplitDeviceIdFrame(beyondBytes);
    EXPECT_EQ(beyond.error, DeviceIdError::LengthBeyondData);
    EXPECT_EQ(beyond.announcedText, 256u);
    EXPECT_EQ(beyond.text, "MDL:X;");

    const std::string exactBytes = WithPrefix("MDL:X;") + "tail";
    const auto exact = SplitDeviceIdFrame(exactBytes);
    EXPECT_EQ(exact.error, DeviceIdError::None);
    EXPECT_EQ(exact.announcedText, 6u);
    EXPECT_EQ(exact.text, "MDL:X;");
}

TEST(DeviceId, BytesBeyondTheDeclaredLengthAreIgnored) {
    // The prefix counts "MDL:Lumen;" only; the rest (and a buffer's zero
    // padding) is not part of the ID, even with control characters in it.
    std::string raw = WithPrefix("MDL:Lumen;") + "CMD:D4;\x01\x02" + std::string(20, '\0');
    const auto parse = ParseDeviceId(raw);
    ASSERT_TRUE(parse.ok());
    EXPECT_EQ(parse.id.model, "Lumen");
    EXPECT_FALSE(parse.id.AnnouncesPacketProtocol());
}

TEST(DeviceId, ControlCharactersAreRefusedButTrailingNulsArePadding) {
    EXPECT_EQ(ParseDeviceId(WithPrefix("MDL:Lu\nmen;CMD:D4;")).error, DeviceIdError::ControlCharacter);
    EXPECT_EQ(ParseDeviceId(WithPrefix("MDL:Lumen\x7F;")).error, DeviceIdError::ControlCharacter);
    EXPECT_EQ(ParseDeviceId(WithPrefix(std::string("MDL:Lu\0men;", 11))).error, DeviceIdError::ControlCharacter);

    const auto padded = ParseDeviceId(WithPrefix(std::string("MDL:Lumen;CMD:D4;\0\0\0", 20)));
    ASSERT_TRUE(padded.ok());
    EXPECT_EQ(padded.id.model, "Lumen");
    EXPECT_TRUE(padded.id.AnnouncesPacketProtocol());
}

TEST(DeviceId, LongValuesAreKeptWhole) {
    const std::string longModel(500, 'M');
    const auto parse =
        ParseDeviceId(WithPrefix("MODEL:" + longModel + ";COMMAND SET:" + std::string(300, 'C') + ",D4;CLASS:PRINTER"));
    ASSERT_TRUE(parse.ok());
    EXPECT_EQ(parse.id.model, longModel);
    EXPECT_TRUE(parse.id.AnnouncesPacketProtocol());
    EXPECT_EQ(parse.id.deviceClass, "PRINTER");
}

// Replays the fuzzer's corpus: every input must be parsed without a fault
// (the sanitizer build checks the "without a fault" part), and each file's
// name tells whether it is meant to be accepted.
TEST(DeviceId, CorpusReplays) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(HB_FUZZ_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string raw{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const auto parse = ParseDeviceId(raw);
        const std::string name = entry.path().filename().string();
        if (name.starts_with("good-")) {
            EXPECT_TRUE(parse.ok()) << name;
        }
        if (name.starts_with("bad-")) {
            EXPECT_FALSE(parse.ok()) << name;
        }
        ++files;
    }
    EXPECT_GE(files, 5);
}

}  // namespace
