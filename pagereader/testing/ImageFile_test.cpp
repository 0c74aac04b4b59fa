// Reading image files: every colour kind of each format comes out as the same
// 8-bit RGB on white with the resolution the file states; damaged, truncated,
// oversized and non-regular files are refused with a reason, never a crash
// or a hang.
#include "pagereader/Image.h"
#include "pagereader/testing/ImageWrite.h"

#include <gtest/gtest.h>

#include <spng.h>
#include <tiffio.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using svc::pagereader::Image;
using svc::pagereader::LoadImage;
namespace t = svc::pagereader::testing;

class ImageFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("svc-imagefile-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        EXPECT_TRUE(t::WriteBytes(Path(name), bytes, nullptr));
        return Path(name);
    }
    static std::vector<std::uint8_t> Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    fs::path dir_;
};

// A small test picture: a colour per quarter and a white corner pixel.
Image Sample() {
    Image image;
    image.width = 7, image.height = 5, image.dpi = 300;
    image.rgb.resize(7 * 5 * 3);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) {
            std::uint8_t* p = image.Row(y) + x * 3;
            p[0] = static_cast<std::uint8_t>(x * 36), p[1] = static_cast<std::uint8_t>(y * 60),
            p[2] = static_cast<std::uint8_t>(200 - x * 10);
        }
    return image;
}

std::vector<std::uint8_t> EncodePng(const spng_ihdr& ihdr, const std::vector<std::uint8_t>& data,
                                    const std::vector<spng_plte_entry>& palette = {}, const spng_trns* trns = nullptr,
                                    const spng_phys* phys = nullptr) {
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr h = ihdr;
    spng_set_ihdr(ctx, &h);
    if (!palette.empty()) {
        spng_plte plte{};
        plte.n_entries = static_cast<std::uint32_t>(palette.size());
        std::copy(palette.begin(), palette.end(), plte.entries);
        spng_set_plte(ctx, &plte);
    }
    if (trns) spng_set_trns(ctx, const_cast<spng_trns*>(trns));
    if (phys) spng_set_phys(ctx, const_cast<spng_phys*>(phys));
    EXPECT_EQ(spng_encode_image(ctx, data.data(), data.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE), 0);
    std::size_t size = 0;
    int rc = 0;
    auto* buffer = static_cast<std::uint8_t*>(spng_get_png_buffer(ctx, &size, &rc));
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    spng_ctx_free(ctx);
    return bytes;
}

void ExpectPixel(const Image& image, int x, int y, int r, int g, int b, int tolerance = 0) {
    const std::uint8_t* p = image.Row(y) + x * 3;
    EXPECT_NEAR(p[0], r, tolerance) << x << "," << y;
    EXPECT_NEAR(p[1], g, tolerance) << x << "," << y;
    EXPECT_NEAR(p[2], b, tolerance) << x << "," << y;
}

TEST_F(ImageFileTest, PngOfEveryColourKindComesOutAsRgbOnWhiteWithItsResolution) {
    std::string error;
    // RGB with pHYs: exact, 300 dpi (11811 pixels a metre).
    ASSERT_TRUE(t::WritePng(Path("rgb.png"), Sample(), &error)) << error;
    auto rgb = LoadImage(Path("rgb.png"), &error);
    ASSERT_TRUE(rgb) << error;
    EXPECT_EQ(rgb->rgb, Sample().rgb);
    EXPECT_EQ(rgb->dpi, 300);  // whole, as meant, not 299.9994

    // 16-bit grey, no pHYs: the high byte, no resolution.
    spng_ihdr grey{3, 1, 16, SPNG_COLOR_TYPE_GRAYSCALE, 0, 0, 0};
    auto g = LoadImage(Write("grey16.png", EncodePng(grey, {0x00, 0x00, 0x80, 0x7F, 0xFF, 0xFF})), &error);
    ASSERT_TRUE(g) << error;
    ExpectPixel(*g, 0, 0, 0, 0, 0);
    ExpectPixel(*g, 1, 0, 128, 128, 128, 1);
    ExpectPixel(*g, 2, 0, 255, 255, 255);
    EXPECT_EQ(g->dpi, 0);

    // Palette with a transparent entry: that one is white paper.
    spng_ihdr indexed{2, 1, 8, SPNG_COLOR_TYPE_INDEXED, 0, 0, 0};
    spng_trns trns{};
    trns.n_type3_entries = 1;
    trns.type3_alpha[0] = 0;
    spng_phys cm{3937, 3937, 1};  // 99.9998 dpi, meant as 100
    auto p = LoadImage(
        Write("pal.png", EncodePng(indexed, {0, 1}, {{10, 20, 30, 255}, {200, 0, 100, 255}}, &trns, &cm)), &error);
    ASSERT_TRUE(p) << error;
    ExpectPixel(*p, 0, 0, 255, 255, 255);
    ExpectPixel(*p, 1, 0, 200, 0, 100);
    EXPECT_EQ(p->dpi, 100);

    // RGBA: half-transparent black over white is mid grey.
    spng_ihdr rgba{2, 1, 8, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 0, 0, 0};
    auto a = LoadImage(Write("rgba.png", EncodePng(rgba, {0, 0, 0, 128, 255, 0, 0, 255})), &error);
    ASSERT_TRUE(a) << error;
    ExpectPixel(*a, 0, 0, 127, 127, 127, 1);
    ExpectPixel(*a, 1, 0, 255, 0, 0);

    // Interlaced: the same pixels as the plain one.
    spng_ihdr interlaced{7, 5, 8, SPNG_COLOR_TYPE_TRUECOLOR, 0, 0, 1};
    auto i = LoadImage(Write("adam7.png", EncodePng(interlaced, Sample().rgb)), &error);
    ASSERT_TRUE(i) << error;
    EXPECT_EQ(i->rgb, Sample().rgb);
}

TEST_F(ImageFileTest, JpegKeepsItsPictureAndDensity) {
    std::string error;
    Image flat = Sample();
    for (std::size_t k = 0; k < flat.rgb.size(); k += 3) flat.rgb[k] = 40, flat.rgb[k + 1] = 120, flat.rgb[k + 2] = 200;
    flat.dpi = 600;
    ASSERT_TRUE(t::WriteJpeg(Path("a.jpg"), flat, 95, &error)) << error;
    auto j = LoadImage(Path("a.jpg"), &error);
    ASSERT_TRUE(j) << error;
    ASSERT_EQ(j->width, 7);
    ASSERT_EQ(j->height, 5);
    ExpectPixel(*j, 3, 2, 40, 120, 200, 4);
    EXPECT_EQ(j->dpi, 600);

    // Density in dots per centimetre (byte 13 of the JFIF segment is the unit), and none at all.
    std::vector<std::uint8_t> bytes = Bytes(Path("a.jpg"));
    ASSERT_EQ(bytes[6], 'J');
    bytes[13] = 2, bytes[14] = 0, bytes[15] = 100, bytes[16] = 0, bytes[17] = 100;
    auto cm = LoadImage(Write("cm.jpg", bytes), &error);
    ASSERT_TRUE(cm) << error;
    EXPECT_NEAR(cm->dpi, 254, 0.01);
    bytes[13] = 0;
    auto none = LoadImage(Write("aspect.jpg", bytes), &error);
    ASSERT_TRUE(none) << error;
    EXPECT_EQ(none->dpi, 0);
}

// A TIFF written with libtiff: samples per pixel, bits, photometric, optional palette.
std::string WriteTiff(const std::string& path, int width, int height, int spp, int bits, int photometric,
                      const std::vector<std::uint8_t>& data, float resolution = 0, int unit = RESUNIT_INCH,
                      bool alpha = false) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    EXPECT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, spp);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    if (alpha) {
        std::uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (photometric == PHOTOMETRIC_PALETTE) {
        std::vector<std::uint16_t> r(256, 0), g(256, 0), b(256, 0);
        r[1] = 0xFFFF, b[2] = 0xFFFF, g[2] = 0x8080;
        TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
    }
    if (resolution > 0) {
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, resolution);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, resolution);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, unit);
    }
    TIFFWriteEncodedStrip(tif, 0, const_cast<std::uint8_t*>(data.data()), static_cast<tmsize_t>(data.size()));
    TIFFClose(tif);
    return path;
}

TEST_F(ImageFileTest, TiffOfEveryColourKindComesOutAsRgbOnWhiteWithItsResolution) {
    std::string error;
    const Image s = Sample();
    auto rgb = LoadImage(WriteTiff(Path("rgb.tif"), 7, 5, 3, 8, PHOTOMETRIC_RGB, s.rgb, 300), &error);
    ASSERT_TRUE(rgb) << error;
    EXPECT_EQ(rgb->rgb, s.rgb);
    EXPECT_NEAR(rgb->dpi, 300, 0.01);

    // 16-bit grey (host order, as libtiff writes it), resolution per centimetre.
    std::vector<std::uint8_t> grey(3 * 2);
    const std::uint16_t levels[3] = {0, 0x8000, 0xFFFF};
    std::memcpy(grey.data(), levels, sizeof levels);
    auto g = LoadImage(WriteTiff(Path("g16.tif"), 3, 1, 1, 16, PHOTOMETRIC_MINISBLACK, grey, 100, RESUNIT_CENTIMETER),
                       &error);
    ASSERT_TRUE(g) << error;
    ExpectPixel(*g, 0, 0, 0, 0, 0);
    ExpectPixel(*g, 1, 0, 128, 128, 128, 1);
    ExpectPixel(*g, 2, 0, 255, 255, 255);
    EXPECT_NEAR(g->dpi, 254, 0.01);

    auto pal = LoadImage(WriteTiff(Path("pal.tif"), 3, 1, 1, 8, PHOTOMETRIC_PALETTE, {0, 1, 2}), &error);
    ASSERT_TRUE(pal) << error;
    ExpectPixel(*pal, 0, 0, 0, 0, 0);
    ExpectPixel(*pal, 1, 0, 255, 0, 0);
    ExpectPixel(*pal, 2, 0, 0, 128, 255);
    EXPECT_EQ(pal->dpi, 0);

    // Unassociated alpha: transparent is white paper, half-transparent black mid grey.
    auto a = LoadImage(WriteTiff(Path("rgba.tif"), 3, 1, 4, 8, PHOTOMETRIC_RGB,
                                 {0, 0, 0, 0, 0, 0, 0, 128, 0, 0, 255, 255}, 0, RESUNIT_INCH, true),
                       &error);
    ASSERT_TRUE(a) << error;
    ExpectPixel(*a, 0, 0, 255, 255, 255);
    ExpectPixel(*a, 1, 0, 127, 127, 127, 1);
    ExpectPixel(*a, 2, 0, 0, 0, 255);
}

TEST_F(ImageFileTest, PnmInEveryFormAndDepth) {
    std::string error;
    auto load = [&](const std::string& name, const std::string& text) {
        return LoadImage(Write(name, std::vector<std::uint8_t>(text.begin(), text.end())), &error);
    };
    auto p1 = load("a.pbm", "P1\n# a comment\n3 2\n0 1 0\n110\n");
    ASSERT_TRUE(p1) << error;
    ExpectPixel(*p1, 0, 0, 255, 255, 255);
    ExpectPixel(*p1, 1, 0, 0, 0, 0);
    ExpectPixel(*p1, 1, 1, 0, 0, 0);
    ExpectPixel(*p1, 2, 1, 255, 255, 255);

    auto p2 = load("a.pgm", "P2 2 1 100 0 50\n");
    ASSERT_TRUE(p2) << error;
    ExpectPixel(*p2, 1, 0, 128, 128, 128);

    auto p3 = load("a.ppm", "P3 1 1 255 1 2 3");
    ASSERT_TRUE(p3) << error;
    ExpectPixel(*p3, 0, 0, 1, 2, 3);

    auto p4 = load("b.pbm", std::string("P4 10 1\n") + '\xA0' + '\x40');
    ASSERT_TRUE(p4) << error;
    ExpectPixel(*p4, 0, 0, 0, 0, 0);
    ExpectPixel(*p4, 1, 0, 255, 255, 255);
    ExpectPixel(*p4, 2, 0, 0, 0, 0);
    ExpectPixel(*p4, 9, 0, 0, 0, 0);

    auto p5 = load("b.pgm", std::string("P5\n1 1\n65535\n") + '\x80' + '\x00');
    ASSERT_TRUE(p5) << error;
    ExpectPixel(*p5, 0, 0, 128, 128, 128);

    auto p6 = load("b.ppm", std::string("P6 1 1 255\n") + '\x0A' + '\x14' + '\x1E');
    ASSERT_TRUE(p6) << error;
    ExpectPixel(*p6, 0, 0, 10, 20, 30);
    EXPECT_EQ(p6->dpi, 0);
}

// Each refusal names the file and says why; the image is not given.
void ExpectRefused(const std::string& path, const std::string& why) {
    std::string error;
    EXPECT_FALSE(LoadImage(path, &error)) << path;
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find(why), std::string::npos) << error;
}

TEST_F(ImageFileTest, RefusesWhatIsNoReadableImageWithAReason) {
    ExpectRefused(Path("missing.png"), "cannot open");
    ExpectRefused(dir_.string(), "is a folder");
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
    ExpectRefused(Path("fifo"), "not a regular file");  // at once: no writer is waited for
    ExpectRefused(Write("empty.png", {}), "is empty");
    ExpectRefused(Write("text.png", {'h', 'e', 'l', 'l', 'o'}), "is not an image this program can read");
    ExpectRefused(Write("p7.pam", {'P', '7', '\n', '1'}), "is not an image this program can read");

    // Sizes beyond the limit are refused from the header alone.
    spng_ihdr ihdr{1, 1, 8, SPNG_COLOR_TYPE_GRAYSCALE, 0, 0, 0};
    std::vector<std::uint8_t> png = EncodePng(ihdr, {0});
    // IHDR's width and height (bytes 16-23) to 30000 x 30000; its CRC (29-32) made right again.
    const std::uint8_t big[8] = {0, 0, 0x75, 0x30, 0, 0, 0x75, 0x30};
    std::copy(big, big + 8, png.begin() + 16);
    std::uint32_t crc = 0xFFFFFFFFu;
    for (int i = 12; i < 29; ++i) {
        crc ^= png[static_cast<std::size_t>(i)];
        for (int b = 0; b < 8; ++b) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xFFFFFFFFu;
    for (int b = 0; b < 4; ++b) png[static_cast<std::size_t>(29 + b)] = static_cast<std::uint8_t>(crc >> (24 - 8 * b));
    ExpectRefused(Write("huge.png", png), "too large");
    const std::string pnm = "P6 100000 100000 255\n";
    ExpectRefused(Write("huge.ppm", std::vector<std::uint8_t>(pnm.begin(), pnm.end())), "too large");
}

TEST_F(ImageFileTest, TruncatedAndDamagedFilesAreRefusedNotCrashedOn) {
    std::string error;
    Image page = Sample();
    page.width = 64, page.height = 48;
    page.rgb.resize(64 * 48 * 3);
    std::mt19937 random(7);
    for (auto& b : page.rgb) b = static_cast<std::uint8_t>(random());
    ASSERT_TRUE(t::WritePng(Path("p.png"), page, &error));
    ASSERT_TRUE(t::WriteJpeg(Path("p.jpg"), page, 80, &error));
    WriteTiff(Path("p.tif"), 64, 48, 3, 8, PHOTOMETRIC_RGB, page.rgb, 300);
    std::string ppm = "P6 64 48 255\n";
    std::vector<std::uint8_t> pnm(ppm.begin(), ppm.end());
    pnm.insert(pnm.end(), page.rgb.begin(), page.rgb.end());
    Write("p.ppm", pnm);

    for (const char* name : {"p.png", "p.jpg", "p.tif", "p.ppm"}) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> whole = Bytes(Path(name));
        ASSERT_TRUE(LoadImage(Path(name), &error)) << error;
        // Cut short at a few places: refused, never a picture with a missing part.
        for (double part : {0.3, 0.6, 0.95}) {
            std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(whole.size() * part));
            EXPECT_FALSE(LoadImage(Write("cut", cut), &error)) << part;
            EXPECT_FALSE(error.empty());
        }
        // Random damage: whatever comes back, nothing crashes and a refusal has a reason.
        for (int round = 0; round < 150; ++round) {
            std::vector<std::uint8_t> bad = whole;
            const int hits = 1 + static_cast<int>(random() % 8);
            for (int h = 0; h < hits; ++h) bad[random() % bad.size()] = static_cast<std::uint8_t>(random());
            error.clear();
            const auto image = LoadImage(Write("bad", bad), &error);
            if (image) {
                EXPECT_EQ(image->rgb.size(),
                          static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 3);
            } else {
                EXPECT_FALSE(error.empty());
            }
        }
    }
}

}  // namespace
