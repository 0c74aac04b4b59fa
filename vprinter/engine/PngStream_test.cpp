#include "vprinter/engine/PngStream.h"

#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>
#include <random>

namespace vp {
namespace {

// Rows with every kind of content the encoder codes differently: white paper,
// runs of one byte, repeated pixels, noise, and runs longer than one match.
TEST(PngStream, ImagesReadBackExactly) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "vengine-pngstream.png";
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
        for (int y = 0; y < height; ++y) {
            if (y == 0 || y == 7)
                png.WhiteRow();
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

TEST(PngStream, AMissingRowOrFolderIsAnError) {
    PngStream png;
    std::string error;
    EXPECT_FALSE(png.Open("/nonexistent-folder/page.png", 4, 4, &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);

    const std::filesystem::path path = std::filesystem::temp_directory_path() / "vengine-pngstream-short.png";
    PngStream shortImage;
    ASSERT_TRUE(shortImage.Open(path.string(), 4, 4, &error));
    shortImage.WhiteRow();
    EXPECT_FALSE(shortImage.Close(&error));
    EXPECT_EQ(error, "the image has the wrong number of rows");
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace vp
