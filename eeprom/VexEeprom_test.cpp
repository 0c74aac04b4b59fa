#include "eeprom/VexEeprom.h"

#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <numeric>

namespace svc {
namespace {

using fake::Fake;
using fake::Fn;
using Writes = std::vector<std::pair<std::uint8_t, std::uint8_t>>;

class EepromTest : public ::testing::Test {
protected:
    void SetUp() override { Fake().Reset(); }
    std::array<std::uint8_t, 256>& rom = Fake().Eeprom();
};

TEST_F(EepromTest, SignedValuesAndTheFirstDotRule) {
    EXPECT_EQ(SignedFromByte(0xFF), -1);
    EXPECT_EQ(SignedFromByte(0x80), -128);
    EXPECT_EQ(SignedFromByte(0x48), 72);
    EXPECT_EQ(ByteFromSigned(-1), 0xFF);
    EXPECT_EQ(ByteFromSigned(-72), 0xB8);
    EXPECT_EQ(ByteFromSigned(0x1FF), 0xFF);  // only the low 8 bits
    EXPECT_EQ(FirstDotFromByte(0x80), 128);
    EXPECT_EQ(FirstDotFromByte(0x81), -127);
    EXPECT_EQ(FirstDotFromByte(0xB8), -72);
    EXPECT_EQ(FirstDotFromByte(0x48), 72);

    ASSERT_EQ(EepromWriteSigned(eep::PfValue, -1), rc::Ok);
    EXPECT_EQ(rom[eep::PfValue], 0xFF);
    int value = 0;
    ASSERT_EQ(EepromReadSigned(eep::PfValue, value), rc::Ok);
    EXPECT_EQ(value, -1);

    rom[eep::FirstDot] = 0x80;
    ASSERT_EQ(EepromReadFirstDot(value), rc::Ok);
    EXPECT_EQ(value, 128);
}

TEST_F(EepromTest, CountersAreUnsignedLittleEndian) {
    rom[eep::WasteInkCounter] = 0x10;
    rom[eep::WasteInkCounter + 1] = 0x27;
    std::uint16_t u16 = 0;
    ASSERT_EQ(EepromReadU16(eep::WasteInkCounter, u16), rc::Ok);
    EXPECT_EQ(u16, 10000);

    for (int i = 0; i < 4; ++i) rom[eep::TotalPageCount + i] = 0xFF;
    std::uint32_t u32 = 0;
    ASSERT_EQ(EepromReadU32(eep::TotalPageCount, u32), rc::Ok);
    EXPECT_EQ(u32, 4294967295u);

    rom[eep::TotalPassCount] = 0x78;
    rom[eep::TotalPassCount + 1] = 0x56;
    rom[eep::TotalPassCount + 2] = 0x34;
    rom[eep::TotalPassCount + 3] = 0x12;
    ASSERT_EQ(EepromReadU32(eep::TotalPassCount, u32), rc::Ok);
    EXPECT_EQ(u32, 0x12345678u);
    // One call per byte, ascending; nothing is cached.
    const auto reads = Fake().CallsTo(Fn::D4ReadEeprom);
    ASSERT_EQ(reads.size(), 10u);
    EXPECT_EQ(reads[6].a, 0x7Cu);
    EXPECT_EQ(reads[9].a, 0x7Fu);
}

TEST_F(EepromTest, RunsStopAtTheFailingByteAndReturnItsCode) {
    // Failure on the third of five writes: two written, the rest untouched.
    Fake().FailEepromAccess(3, 0x2000);
    const std::uint8_t data[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(EepromWriteBytes(0x50, data), 0x2000);
    EXPECT_EQ(rom[0x50], 1);
    EXPECT_EQ(rom[0x51], 2);
    EXPECT_EQ(rom[0x52], 0);
    EXPECT_EQ(Fake().EepromAccessCount(), 3);

    // On the first byte: nothing changes.
    Fake().Reset();
    Fake().SetResultOnCall(Fn::D4WriteEeprom, 1, 0x1000);
    EXPECT_EQ(EepromWriteAscii(eep::UsbSerial, "ABCDEFGHIJ"), 0x1000);
    EXPECT_EQ(Fake().Eeprom()[eep::UsbSerial], 0);
    EXPECT_EQ(Fake().EepromAccessCount(), 1);

    // Reads likewise; a failed read stores nothing.
    Fake().Reset();
    Fake().FailEepromAccess(2, 0x3000);
    std::uint16_t u16 = 0xABCD;
    EXPECT_EQ(EepromReadU16(eep::CutCount, u16), 0x3000);
    EXPECT_EQ(u16, 0xABCD);
    std::string text = "old";
    Fake().FailEepromAccess(4, 0x3000);
    EXPECT_EQ(EepromReadAscii(eep::ModelName, 24, text), 0x3000);
    EXPECT_EQ(text.size(), 1u);
}

TEST_F(EepromTest, AsciiRunsOneCharacterPerAddress) {
    ASSERT_EQ(EepromWriteAscii(eep::UsbSerial, "SN12345678"), rc::Ok);
    std::string text;
    ASSERT_EQ(EepromReadAscii(eep::UsbSerial, eep::UsbSerialLength, text), rc::Ok);
    EXPECT_EQ(text, "SN12345678");
    EXPECT_EQ(rom[0xCB], '8');
    EXPECT_EQ(rom[0xCC], 0);
}

TEST_F(EepromTest, MarketDestinationSequences) {
    const WriteSequence world = MarketDestinationWrites(1);
    EXPECT_EQ(world, (WriteSequence{{0x49, 0x01}, {0x6A, 0x06}, {0x6B, 0x06}, {0xA7, 0x98}, {0xE0, 0x00}}));

    const WriteSequence trn = MarketDestinationWrites(2);
    ASSERT_EQ(trn.size(), 29u);
    EXPECT_EQ(WriteSequence(trn.begin(), trn.begin() + 5),
              (WriteSequence{{0x49, 0x01}, {0x6A, 0x06}, {0x6B, 0x06}, {0xA7, 0x98}, {0xE0, 0x02}}));
    const std::string name = "KORVA,Corvid Lumen 4200";
    for (std::size_t i = 0; i < name.size(); ++i)
        EXPECT_EQ(trn[5 + i], (EepWrite{static_cast<std::uint8_t>(0xE2 + i), static_cast<std::uint8_t>(name[i])}));
    EXPECT_EQ(trn.back(), (EepWrite{0xF9, 0x00}));

    // Written through the channel, in order; model 1 leaves the name area alone.
    rom[0xE2] = 'X';
    ASSERT_EQ(RunWrites(world), rc::Ok);
    EXPECT_EQ(Fake().EepromWrites(), (Writes{{0x49, 1}, {0x6A, 6}, {0x6B, 6}, {0xA7, 0x98}, {0xE0, 0}}));
    EXPECT_EQ(rom[0xE2], 'X');
}

TEST_F(EepromTest, WasteInkResetAndRestoreTail) {
    EXPECT_EQ(WasteInkResetWrites(), (WriteSequence{{0x20, 0x00}, {0x21, 0x00}}));
    EXPECT_EQ(RestoreTailWrites(), (WriteSequence{{0x48, 0x00}, {0x49, 0x01}, {0xA7, 0x18}, {0xE0, 0x01}}));
}

TEST_F(EepromTest, DeliverySettingList) {
    WriteSequence expected{{0x02, 0x10}, {0x03, 0x01}};
    auto zero = [&expected](int first, int last) {
        for (int a = first; a <= last; ++a) expected.push_back({static_cast<std::uint8_t>(a), 0x00});
    };
    zero(0x04, 0x0F);
    zero(0x14, 0x17);
    zero(0x1C, 0x1F);
    zero(0x10, 0x13);
    zero(0x18, 0x1B);
    zero(0x20, 0x2C);
    zero(0x2E, 0x3A);
    zero(0x3C, 0x3C);
    zero(0x3F, 0x3F);
    zero(0x78, 0x7F);
    zero(0xA0, 0xA6);
    zero(0xBB, 0xBB);
    zero(0xD9, 0xD9);
    const std::size_t cleared = expected.size();
    EXPECT_EQ(cleared, 2u + 28 + 13 + 13 + 2 + 8 + 7 + 2);

    WriteSequence world = expected;
    const auto dest1 = MarketDestinationWrites(1);
    world.insert(world.end(), dest1.begin(), dest1.end());
    EXPECT_EQ(DeliverySettingWrites(1), world);

    WriteSequence trn = expected;
    const auto dest2 = MarketDestinationWrites(2);
    trn.insert(trn.end(), dest2.begin(), dest2.end());
    EXPECT_EQ(DeliverySettingWrites(2), trn);
    EXPECT_EQ(DeliverySettingWrites(255), trn);  // any code but 1 is the TRN/VLK model
}

TEST_F(EepromTest, CopyListAndRestore) {
    const auto& list = CopyAddresses();
    std::vector<int> expected;
    for (auto [first, last] : std::initializer_list<std::pair<int, int>>{{0x20, 0x25},
                                                                         {0x2E, 0x3A},
                                                                         {0x50, 0x55},
                                                                         {0x5C, 0x69},
                                                                         {0x6E, 0x6F},
                                                                         {0x77, 0x7F},
                                                                         {0x82, 0x9C},
                                                                         {0xAC, 0xAC},
                                                                         {0xC2, 0xD8}})
        for (int a = first; a <= last; ++a) expected.push_back(a);
    ASSERT_EQ(expected.size(), 101u);
    EXPECT_EQ(std::vector<int>(list.begin(), list.end()), expected);
    EXPECT_EQ(list[25], 0x5C);
    EXPECT_EQ(list[77], 0xAC);

    // Read the list, restore it elsewhere: the copied bytes and the tail land as expected.
    for (int a = 0; a < 256; ++a) rom[a] = static_cast<std::uint8_t>(a ^ 0x5A);
    std::array<std::uint8_t, eep::CopyCount> file{};
    ASSERT_EQ(EepromReadList(list, file), rc::Ok);
    EXPECT_EQ(file[0], 0x20 ^ 0x5A);
    const WriteSequence restore = RestoreWrites(file);
    ASSERT_EQ(restore.size(), 105u);
    Fake().Reset();
    ASSERT_EQ(RunWrites(restore), rc::Ok);
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_EQ(Fake().Eeprom()[list[i]], list[i] ^ 0x5A);
    EXPECT_EQ(Fake().Eeprom()[0x48], 0x00);
    EXPECT_EQ(Fake().Eeprom()[0xA7], 0x18);
    EXPECT_EQ(Fake().Eeprom()[0xE0], 0x01);
    EXPECT_EQ(Fake().Eeprom()[0x2D], 0x00);  // not on the list

    // A failure midway stops the restore at that write.
    Fake().Reset();
    Fake().FailEepromAccess(50, 0x2000);
    EXPECT_EQ(RunWrites(restore), 0x2000);
    EXPECT_EQ(Fake().EepromWrites().size(), 49u);
}

}  // namespace
}  // namespace svc
