#include "vprinter/engine/PngStream.h"

#include "vprinter/engine/Image.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>

#include <filesystem>
#include <random>

namespace vp {
namespace {

// Rows with every kind of content the encoder codes differently: white paper,
// runs of one byte, repeated pixels, noise, runs longer than one match, and
// whole rows repeated.
TEST(PngStream, ImagesReadBackExactly) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / ("vengine-pngstream-" + std::to_string(::getpid()) + ".png");
    for (int width : {1, 2, 5, 97, 700}) {
        const int height = 9;
        std::vector<std::vector<std::uint8_t>> rows(height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * 3, 0xFF));
        std::mt19937 random(static_cast<unsigned>(width));
        for (int x = 0; x < width; ++x) {
            const std::uint8_t pixel[3] = {0, 160, 230};
            for (int c = 0; c < 3; ++c) {
                rows[1][static_cast<std::size_t>(x * 3 + c)] = pixel[c];                              // repeated pixel
                rows[2][static_cast<std::size_t>(x * 3 + c)] = static_cast<std::uint8_t>(random());   // noise
                rows[3][static_cast<std::size_t>(x * 3 + c)] = 20;                                    // one byte
                rows[5][static_cast<std::size_t>(x * 3 + c)] = static_cast<std::uint8_t>(x % 7 < 3 ? 0 : random() % 2);
            }
        }
        PngStream png;
        std::string error;
        ASSERT_TRUE(png.Open(path.string(), width, height, &error)) << error;
        rows[4] = rows[3];
        rows[6] = rows[5];
        rows[8] = rows[7];
        for (int y = 0; y < height; ++y) {
            if (y == 0 || y == 7)
                png.WhiteRow();
            else if (y == 4 || y == 6 || y == 8)
                png.Row(rows[static_cast<std::size_t>(y - 1)].data());
            else
                png.Row(rows[static_cast<std::size_t>(y)].data());
        }
        ASSERT_TRUE(png.Close(&error)) << error;
        const QImage image(QString::fromStdString(path.string()));
        ASSERT_EQ(image.size(), QSize(width, height)) << width;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const auto& row = rows[static_cast<std::size_t>(y)];
                const QRgb expected = qRgb(row[static_cast<std::size_t>(x * 3)], row[static_cast<std::size_t>(x * 3 + 1)],
                                           row[static_cast<std::size_t>(x * 3 + 2)]);
                ASSERT_EQ(image.pixel(x, y), expected) << "width " << width << " at " << x << "," << y;
            }
    }
    std::filesystem::remove(path);
}

TEST(PngStream, MisuseIsAnError) {
    PngStream png;
    std::string error;
    EXPECT_FALSE(png.Open("/nonexistent-folder/page.png", 4, 4, &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);

    const std::filesystem::path path = std::filesystem::temp_directory_path() / ("vengine-pngstream-short-" + std::to_string(::getpid()) + ".png");
    PngStream shortImage;
    ASSERT_TRUE(shortImage.Open(path.string(), 4, 4, &error));
    shortImage.WhiteRow();
    EXPECT_FALSE(shortImage.Close(&error));
    EXPECT_NE(error.find("3 rows are missing"), std::string::npos) << error;

    PngStream longImage;
    ASSERT_TRUE(longImage.Open(path.string(), 4, 1, &error));
    longImage.WhiteRow();
    longImage.WhiteRow();
    EXPECT_FALSE(longImage.Close(&error));
    EXPECT_NE(error.find("more rows than the image has"), std::string::npos) << error;

    // Wide rows, read back through the library.
    PngStream wide;
    ASSERT_TRUE(wide.Open(path.string(), 20000, 2, &error));
    std::vector<std::uint8_t> row(20000 * 3, 0x40);
    wide.Row(row.data());
    wide.Row(row.data());
    EXPECT_TRUE(wide.Close(&error)) << error;
    Image image;
    ASSERT_TRUE(ReadPng(path.string(), &image, &error)) << error;
    EXPECT_EQ(image.width, 20000);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.At(19999, 1), (std::array<std::uint8_t, 3>{0x40, 0x40, 0x40}));
    std::filesystem::remove(path);
    EXPECT_FALSE(ReadPng(path.string(), &image, &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

}  // namespace
}  // namespace vp
