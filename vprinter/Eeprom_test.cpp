#include "vprinter/Eeprom.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vp {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> Range(const Eeprom& e, std::uint8_t from, int count) {
    std::vector<std::uint8_t> out;
    for (int i = 0; i < count; ++i) out.push_back(e.Get(static_cast<std::uint8_t>(from + i)));
    return out;
}

std::string Text(const Eeprom& e, std::uint8_t from, int count) {
    const auto bytes = Range(e, from, count);
    return std::string(bytes.begin(), bytes.end());
}

struct ModelImage {
    int model;
    std::vector<std::uint8_t> headId;  // 0x82-0x96, packed by hand from the printed ID
    std::string usbId;
};

class FactoryImage : public ::testing::TestWithParam<ModelImage> {};

TEST_P(FactoryImage, HoldsIdentityTheServiceProgramAccepts) {
    const ModelImage& m = GetParam();
    const Eeprom e = Eeprom::Factory(m.model);
    EXPECT_TRUE(e.SignaturesValid());

    // Head ID: packed layout with both parity bytes, and within the ranges a
    // reader checks (hex pairs up to 0xBF, character codes 32-71, last two digits).
    const auto head = Range(e, 0x82, 21);
    EXPECT_EQ(head, m.headId);
    for (int i = 0; i < 4; ++i) EXPECT_LE(head[i], 0xBF);
    for (int a : {0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8E, 0x8F, 0x90, 0x91, 0x92, 0x93, 0x94}) {
        EXPECT_GE(e.Get(static_cast<std::uint8_t>(a)), 32);
        EXPECT_LE(e.Get(static_cast<std::uint8_t>(a)), 71);
    }
    EXPECT_LE(e.Get(0x95), 2);
    EXPECT_LE(e.Get(0x96), 3);

    // USB ID: 18 digits and capitals, serial then time stamp.
    EXPECT_EQ(Text(e, 0xC2, 18), m.usbId);
    // IEEE 1394 ID: 00 00, then 07-0D.
    EXPECT_EQ(e.Get(0xD4), 0);
    EXPECT_EQ(e.Get(0xD5), 0);
    EXPECT_GE(e.Get(0xD6), 0x07);
    EXPECT_LE(e.Get(0xD6), 0x0D);

    // Market destination as the destination setting of the model leaves it.
    EXPECT_EQ(e.Get(0x49), 0x01);
    EXPECT_EQ(e.Get(0x6A), 0x06);
    EXPECT_EQ(e.Get(0x6B), 0x06);
    EXPECT_EQ(e.Get(0xA7), 0x98);
    EXPECT_EQ(e.Get(0xE0), m.model == 1 ? 0x00 : 0x02);
    if (m.model == 2) {
        EXPECT_EQ(Text(e, 0xE2, 24), std::string("KORVA,Corvid Lumen 4200\0", 24));
    } else {
        EXPECT_EQ(Range(e, 0xE2, 24), std::vector<std::uint8_t>(24, 0));
    }

    // Adjustment values inside the ranges the program writes.
    for (int a = 0x60; a <= 0x68; ++a) {
        const int v = static_cast<std::int8_t>(e.Get(static_cast<std::uint8_t>(a)));
        EXPECT_GE(v, -72);
        EXPECT_LE(v, 72);
    }
    EXPECT_LE(std::abs(static_cast<std::int8_t>(e.Get(0x77))), 4);
    EXPECT_NE(e.Get(0xB9), 0);
    EXPECT_NE(e.Get(0xBA), 0);
    // Counters: a printer that has printed something.
    EXPECT_GT(e.Get16(0x20), 0);
    EXPECT_GT(e.Get32(0x78), 0u);
    EXPECT_GT(e.Get32(0x7C), e.Get32(0x78));
}

INSTANTIATE_TEST_SUITE_P(BothModels, FactoryImage,
                         ::testing::Values(
                             // 13A7F12B4KR7M2PX9A4CHT11Y
                             ModelImage{1,
                                        {0x3A, 0x7F, 0x12, 0xB4, 0x35, 0x29, 0x2F, 0x3F, 0x2B, 0x3A, 0x2D,
                                         0x47, 0x41, 0x20, 0x3C, 0x22, 0x27, 0x31, 0x35, 0x01, 0x01},
                                        "4100A1234536EAPA10"},
                             // 20B9C4D2ANV3S8EW6F5G1L01U
                             ModelImage{2,
                                        {0x0B, 0x9C, 0x4D, 0x2A, 0x30, 0x2C, 0x33, 0x3B, 0x30, 0x40, 0x24,
                                         0x35, 0x3E, 0x25, 0x3D, 0x26, 0x39, 0x2A, 0x34, 0x00, 0x02},
                                        "4200B6789037JBCK20"}));

TEST(NewBoardImage, HasOnlyTheSignatures) {
    const Eeprom e = Eeprom::NewBoard();
    for (int a = 0; a < 256; ++a) {
        const int offset = a % 64;
        const int expected = offset == 0 ? 0x5A : offset == 1 ? 0x0F : 0;
        EXPECT_EQ(e.Get(static_cast<std::uint8_t>(a)), expected) << "address " << a;
    }
    EXPECT_TRUE(e.SignaturesValid());
    Eeprom broken = e;
    broken.Set(0xC1, 0x0E);
    EXPECT_FALSE(broken.SignaturesValid());
}

TEST(HeadIdPacking, RefusesWhatAReaderWouldRefuse) {
    std::array<std::uint8_t, 21> out{};
    out.fill(0xEE);
    EXPECT_FALSE(PackHeadId("13A7F12B4KR7M2PX9A4CHT11Z", out));  // wrong check character
    EXPECT_FALSE(PackHeadId("13A7F12B4KR7M2PX9A4CHT11", out));   // 24 characters
    EXPECT_FALSE(PackHeadId("1C0F12B4KR7M2PX9A4CHT11Y", out));   // pair above 0xBF
    EXPECT_FALSE(PackHeadId("13A7F12B4KR7M2PX9A4CHI11Y", out));  // I is not in the set
    EXPECT_FALSE(PackHeadId("13A7F12B4KR7M2PX9A4CHT12Y", out));  // position 24 must be 1
    EXPECT_EQ(out[0], 0xEE) << "nothing is written for a refused ID";
    EXPECT_TRUE(PackHeadId("13A7F12B4KR7M2PX9A4CHT11Y", out));
    EXPECT_EQ(out[18], 0x35) << "position 16 is kept after position 22";
}

TEST(MultiByteValues, AreLittleEndianAndUnsigned) {
    Eeprom e;
    e.Set(0x20, 0x10);
    e.Set(0x21, 0x27);
    EXPECT_EQ(e.Get16(0x20), 10000);
    e.Set32(0x78, 0xFFFFFFFFu);
    EXPECT_EQ(e.Get32(0x78), 4294967295u);
    e.Set32(0x7C, 0x01020304u);
    EXPECT_EQ(Range(e, 0x7C, 4), (std::vector<std::uint8_t>{4, 3, 2, 1}));
}

class ImageFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vprinter_eeprom_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string PathOf(const char* name) const { return (dir_ / name).string(); }
    void WriteBytes(const std::string& path, std::size_t n) const {
        std::ofstream(path, std::ios::binary) << std::string(n, '\x42');
    }
    fs::path dir_;
};

TEST_F(ImageFile, RoundTripsEveryByte) {
    Eeprom e;
    for (int a = 0; a < 256; ++a) e.Set(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(255 - a));
    std::string error;
    ASSERT_TRUE(e.Save(PathOf("image.eep"), error)) << error;
    EXPECT_EQ(fs::file_size(PathOf("image.eep")), 256u);
    EXPECT_FALSE(fs::exists(PathOf("image.eep.tmp")));
    Eeprom loaded;
    ASSERT_TRUE(loaded.Load(PathOf("image.eep"), error)) << error;
    EXPECT_EQ(loaded, e);
}

TEST_F(ImageFile, RefusesWrongSizesAndKeepsTheBytes) {
    const Eeprom before = Eeprom::Factory(1);
    for (std::size_t size : {std::size_t{0}, std::size_t{255}, std::size_t{257}, std::size_t{4096}}) {
        WriteBytes(PathOf("bad.eep"), size);
        Eeprom e = before;
        std::string error;
        EXPECT_FALSE(e.Load(PathOf("bad.eep"), error));
        EXPECT_NE(error.find(std::to_string(size) + " bytes"), std::string::npos) << error;
        EXPECT_NE(error.find("bad.eep"), std::string::npos) << error;
        EXPECT_EQ(e, before);
    }
}

TEST_F(ImageFile, ReportsMissingFilesAndUnwritableFolders) {
    Eeprom e = Eeprom::Factory(2);
    std::string error;
    EXPECT_FALSE(e.Load(PathOf("missing.eep"), error));
    EXPECT_NE(error.find("missing.eep"), std::string::npos) << error;
    EXPECT_EQ(e, Eeprom::Factory(2));
    error.clear();
    EXPECT_FALSE(e.Load(dir_.string(), error)) << "a folder is no image";
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(e.Save(PathOf("no/such/folder/x.eep"), error));
    EXPECT_FALSE(error.empty());
}

TEST_F(ImageFile, SaveReplacesAnOlderImageWhole) {
    WriteBytes(PathOf("image.eep"), 256);
    std::string error;
    ASSERT_TRUE(Eeprom::NewBoard().Save(PathOf("image.eep"), error)) << error;
    Eeprom loaded;
    ASSERT_TRUE(loaded.Load(PathOf("image.eep"), error));
    EXPECT_EQ(loaded, Eeprom::NewBoard());
}

// The save used to write through a fixed "IMAGE.tmp": whatever was planted
// under that name (a link to another file) was truncated and written.
TEST_F(ImageFile, SaveNeverWritesThroughAFilePlantedBesideTheImage) {
    WriteBytes(PathOf("victim"), 10);
    fs::create_symlink(PathOf("victim"), PathOf("image.eep.tmp"));
    std::string error;
    ASSERT_TRUE(Eeprom::Factory(1).Save(PathOf("image.eep"), error)) << error;
    EXPECT_EQ(fs::file_size(PathOf("victim")), 10u);
    EXPECT_TRUE(fs::is_symlink(PathOf("image.eep.tmp")));
    Eeprom loaded;
    ASSERT_TRUE(loaded.Load(PathOf("image.eep"), error)) << error;
    EXPECT_EQ(loaded, Eeprom::Factory(1));
    // Nothing else is left in the folder: the image, the victim and the link.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace vp
