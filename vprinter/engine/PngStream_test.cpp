#include "vprinter/engine/PngStream.h"

#include "vprinter/engine/Image.h"
#include "vprinter/engine/PageRenderer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace vp {
namespace {

// Rows with every kind of content the encoder codes differently: white paper,
// runs of one byte, repeated pixels, noise, runs longer than one match, and
// whole rows repeated.
TEST(PngStream, ImagesReadBackExactly) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("vengine-pngstream-" + std::to_string(::getpid()) + ".png");
    for (int width : {1, 2, 5, 97, 700}) {
        const int height = 9;
        std::vector<std::vector<std::uint8_t>> rows(
            height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * 3, 0xFF));
        std::mt19937 random(static_cast<unsigned>(width));
        for (int x = 0; x < width; ++x) {
            const std::uint8_t pixel[3] = {0, 160, 230};
            for (int c = 0; c < 3; ++c) {
                rows[1][static_cast<std::size_t>(x * 3 + c)] = pixel[c];                             // repeated pixel
                rows[2][static_cast<std::size_t>(x * 3 + c)] = static_cast<std::uint8_t>(random());  // noise
                rows[3][static_cast<std::size_t>(x * 3 + c)] = 20;                                   // one byte
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
                const QRgb expected =
                    qRgb(row[static_cast<std::size_t>(x * 3)], row[static_cast<std::size_t>(x * 3 + 1)],
                         row[static_cast<std::size_t>(x * 3 + 2)]);
                ASSERT_EQ(image.pixel(x, y), expected) << "width " << width << " at " << x << "," << y;
            }
    }
    std::filesystem::remove(path);
}

// Indexed images at each size of index: 1, 2, 4 and 8 bits per pixel, with
// widths that leave part of the last byte of a row unused.
TEST(PngStream, IndexedImagesReadBackExactly) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("vengine-pngstream-indexed-" + std::to_string(::getpid()) + ".png");
    for (std::size_t colours : {1u, 2u, 3u, 4u, 5u, 16u, 17u, 256u}) {
        std::vector<PngStream::Colour> palette;
        for (std::size_t i = 0; i < colours; ++i)
            palette.push_back(
                {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * 7)});
        for (int width : {1, 3, 9, 700}) {
            const int height = 4;
            std::vector<std::vector<std::uint8_t>> rows(height,
                                                        std::vector<std::uint8_t>(static_cast<std::size_t>(width)));
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                        static_cast<std::uint8_t>((x * 13 + y * 5) % static_cast<int>(colours));
            rows[2] = rows[1];
            PngStream png;
            std::string error;
            ASSERT_TRUE(png.OpenIndexed(path.string(), width, height, palette, &error)) << error;
            png.IndexRow(rows[0].data());
            png.IndexRow(rows[1].data());
            png.RepeatIndexRow();
            png.IndexRow(rows[3].data());
            ASSERT_TRUE(png.Close(&error)) << error;
            Image image;
            ASSERT_TRUE(ReadPng(path.string(), &image, &error)) << error;
            ASSERT_EQ(image.width, width);
            ASSERT_EQ(image.height, height);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    ASSERT_EQ(image.At(x, y), palette[rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]])
                        << colours << " colours, width " << width << " at " << x << "," << y;
        }
    }
    std::filesystem::remove(path);
}

// The file's rows as stored, read as strictly as the format allows: every
// chunk's CRC, the zlib stream's checksum, and only the filters the writer
// uses (none, and Up); rows come back unfiltered. Empty, with a reason in
// *error, when anything is wrong.
std::vector<std::vector<std::uint8_t>> StoredRows(const std::string& path, std::size_t rowBytes, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto big32 = [&](std::size_t at) {
        return std::uint32_t{file[at]} << 24 | std::uint32_t{file[at + 1]} << 16 | std::uint32_t{file[at + 2]} << 8 |
               file[at + 3];
    };
    std::vector<std::uint8_t> idat;
    bool ended = false;
    for (std::size_t at = 8; !ended;) {
        if (at + 12 > file.size()) {
            *error = "the file ends inside a chunk";
            return {};
        }
        const std::size_t n = big32(at);
        const std::string type(file.begin() + static_cast<std::ptrdiff_t>(at + 4),
                               file.begin() + static_cast<std::ptrdiff_t>(at + 8));
        if (at + 12 + n > file.size()) {
            *error = "chunk " + type + " runs past the end";
            return {};
        }
        if (crc32(0, file.data() + at + 4, static_cast<uInt>(n + 4)) != big32(at + 8 + n)) {
            *error = "bad CRC in " + type;
            return {};
        }
        if (type == "IDAT")
            idat.insert(idat.end(), file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                        file.begin() + static_cast<std::ptrdiff_t>(at + 8 + n));
        ended = type == "IEND";
        at += 12 + n;
    }
    std::vector<std::uint8_t> raw(std::size_t{64} << 20);
    uLongf size = raw.size();
    if (uncompress(raw.data(), &size, idat.data(), idat.size()) != Z_OK) {  // checks the Adler-32 too
        *error = "the image data does not inflate";
        return {};
    }
    raw.resize(size);
    if (raw.size() % (rowBytes + 1) != 0) {
        *error = "the image data is " + std::to_string(raw.size()) + " bytes";
        return {};
    }
    std::vector<std::vector<std::uint8_t>> rows;
    std::vector<std::uint8_t> above(rowBytes, 0);
    for (std::size_t at = 0; at < raw.size(); at += rowBytes + 1) {
        std::vector<std::uint8_t> row(raw.begin() + static_cast<std::ptrdiff_t>(at + 1),
                                      raw.begin() + static_cast<std::ptrdiff_t>(at + 1 + rowBytes));
        if (raw[at] == 2) {
            for (std::size_t i = 0; i < rowBytes; ++i) row[i] = static_cast<std::uint8_t>(row[i] + above[i]);
        } else if (raw[at] != 0) {
            *error = "filter " + std::to_string(raw[at]) + " in row " + std::to_string(rows.size());
            return {};
        }
        rows.push_back(row);
        above = row;
    }
    return rows;
}

// Rows that repeat the one above are coded apart from the rest: runs of one
// and of hundreds, between distinct rows and at the end of the image, runs
// of rows of zero bytes (paper) from the first row on, with row lengths
// whose zeros end in a whole match of 258, in 1 or 2 bytes left over (coded
// as literals), and in a shorter match with and without extra bits; the
// image data is long enough to take several chunks.
TEST(PngStream, RepeatedRowsDecodeStrictly) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("vengine-pngstream-repeats-" + std::to_string(::getpid()) + ".png");
    std::vector<PngStream::Colour> palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back({static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i)});
    for (int width : {1, 2, 3, 4, 11, 259, 260, 261, 262, 700, 5000}) {
        std::mt19937 random(static_cast<unsigned>(width));
        std::vector<std::vector<std::uint8_t>> rows;
        const auto distinct = [&](bool noise) {
            std::vector<std::uint8_t> row(static_cast<std::size_t>(width));
            for (std::size_t x = 0; x < row.size(); ++x)
                row[x] = static_cast<std::uint8_t>(noise ? random() : (x / 7 + rows.size()) % 5);
            rows.push_back(row);
        };
        const auto repeat = [&](int times) {
            for (int i = 0; i < times; ++i) rows.push_back(rows.back());
        };
        const auto paper = [&] { rows.emplace_back(static_cast<std::size_t>(width), 0); };
        paper();  // zero bytes: coded as one run of zeros with the rows after it
        repeat(3);
        distinct(false);
        repeat(5);
        distinct(false);
        distinct(true);
        repeat(1);
        for (int i = 0; i < 40; ++i) distinct(true);  // more than a chunk at the widest
        repeat(300);
        distinct(false);
        repeat(1);
        distinct(false);
        repeat(17);
        paper();
        repeat(700);
        distinct(false);

        PngStream png;
        std::string error;
        ASSERT_TRUE(png.OpenIndexed(path.string(), width, static_cast<int>(rows.size()), palette, &error)) << error;
        for (std::size_t y = 0; y < rows.size(); ++y) {
            if (y > 0 && rows[y] == rows[y - 1] && y % 2 == 0)
                png.RepeatIndexRow();  // told, or found out
            else
                png.IndexRow(rows[y].data());
        }
        ASSERT_TRUE(png.Close(&error)) << error;
        const auto stored = StoredRows(path.string(), static_cast<std::size_t>(width), &error);
        ASSERT_EQ(error, "") << "width " << width;
        ASSERT_EQ(stored.size(), rows.size()) << "width " << width;
        for (std::size_t y = 0; y < rows.size(); ++y)
            ASSERT_EQ(stored[y], rows[y]) << "width " << width << " row " << y;
        // And through the PNG library and Qt's reader.
        Image image;
        ASSERT_TRUE(ReadPng(path.string(), &image, &error)) << error;
        const QImage qt(QString::fromStdString(path.string()));
        ASSERT_EQ(qt.size(), QSize(width, static_cast<int>(rows.size())));
        for (std::size_t y = 0; y < rows.size(); y += 13)
            for (int x = 0; x < width; ++x) {
                const std::uint8_t v = rows[y][static_cast<std::size_t>(x)];
                ASSERT_EQ(image.At(x, static_cast<int>(y)), (std::array<std::uint8_t, 3>{v, v, v}));
                ASSERT_EQ(qt.pixel(x, static_cast<int>(y)), qRgb(v, v, v)) << width << " " << x << "," << y;
            }
    }

    // RGB rows longer than deflate's window, repeated.
    PngStream wide;
    std::string error;
    const int width = 20000;
    ASSERT_TRUE(wide.Open(path.string(), width, 4, &error)) << error;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<std::uint8_t>(i * 7 / 5);
    wide.WhiteRow();
    wide.Row(row.data());
    wide.Row(row.data());
    wide.Row(row.data());
    ASSERT_TRUE(wide.Close(&error)) << error;
    const auto stored = StoredRows(path.string(), row.size(), &error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(stored[0], std::vector<std::uint8_t>(row.size(), 0xFF));
    EXPECT_EQ(stored[3], row);
    std::filesystem::remove(path);
}

TEST(PngStream, MisuseIsAnError) {
    PngStream png;
    std::string error;
    EXPECT_FALSE(png.Open("/nonexistent-folder/page.png", 4, 4, &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);

    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("vengine-pngstream-short-" + std::to_string(::getpid()) + ".png");
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

    // Palettes of no colour or more than 256, and rows of the other kind.
    PngStream indexed;
    EXPECT_FALSE(indexed.OpenIndexed(path.string(), 4, 1, {}, &error));
    EXPECT_NE(error.find("1 to 256 colours, not 0"), std::string::npos) << error;
    EXPECT_FALSE(indexed.OpenIndexed(path.string(), 4, 1, std::vector<PngStream::Colour>(257), &error));
    EXPECT_NE(error.find("not 257"), std::string::npos) << error;
    PngStream mixed;
    ASSERT_TRUE(mixed.OpenIndexed(path.string(), 4, 2, {{0, 0, 0}}, &error));
    mixed.RepeatIndexRow();
    mixed.WhiteRow();
    EXPECT_FALSE(mixed.Close(&error));
    EXPECT_NE(error.find("no indexed row to repeat"), std::string::npos) << error;

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

// A page is written with a palette while it has at most 256 colours and as
// RGB beyond; either way the file holds exactly the composed preview.
TEST(PngStream, PagesAreWrittenAsComposed) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("vengine-page-" + std::to_string(::getpid()) + ".png");
    const std::int64_t pixel = kMasterPerInch / 180;
    // n by n pixels of every pairing of n cyan and n magenta shades, and a
    // black bar of rows that repeat: n * n + 2 colours with the paper.
    for (int n : {1, 15, 20}) {
        PageRenderer page(PageSetup{40.0, 60.0, 180});
        for (int a = 0; a < n; ++a)
            for (int b = 0; b < n; ++b) {
                page.FillRect(kCyan, a * pixel, (2 + b) * pixel, pixel, pixel, (a + 1.0) / n);
                page.FillRect(kMagenta, a * pixel, (2 + b) * pixel, pixel, pixel, (b + 1.0) / n);
            }
        page.FillRect(kBlack, 0, 30 * pixel, 50 * pixel, 20 * pixel, 1.0);
        std::string error;
        ASSERT_TRUE(page.WritePng(path.string(), &error)) << error;
        Image written;
        ASSERT_TRUE(ReadPng(path.string(), &written, &error)) << error;
        const Image composed = page.Compose();
        ASSERT_EQ(written.width, composed.width);
        ASSERT_EQ(written.height, composed.height);
        EXPECT_TRUE(written.rgb == composed.rgb) << n;
        // The header's colour type: a palette up to 256 colours, RGB beyond.
        std::FILE* file = std::fopen(path.string().c_str(), "rb");
        ASSERT_NE(file, nullptr);
        unsigned char header[26] = {};
        ASSERT_EQ(std::fread(header, 1, sizeof header, file), sizeof header);
        std::fclose(file);
        EXPECT_EQ(header[25], n * n + 2 <= 256 ? 3 : 2) << n;
        EXPECT_EQ(header[24], n == 1 ? 2 : 8) << n;  // bits per pixel or per channel
    }
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace vp
