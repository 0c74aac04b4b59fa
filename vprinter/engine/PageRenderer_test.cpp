// The page's coverage against a plain model of it: every cell of a small
// sheet, one int each, filled by the rules the renderer documents (a dot adds
// its share to the pixel of its origin, a dot larger than a pixel is split
// into parts, counts saturate at 65535). The renderer keeps coverage in tiles
// of 32 rows by 64 columns made where ink lands, taken from a pool that hands
// back memory of earlier pages; lines, rectangles and their parts crossing
// tile and band edges, and pages drawn on reused memory, must come out as
// the model says, and so must the colours composed from several inks.
#include "vprinter/engine/PageRenderer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace vp {
namespace {

// A sheet of about 24 x 9 mm: at 1440 dpi some 1360 x 510 pixels, 22 tiles
// across and 16 bands down.
PageSetup SmallSheet(int dpi) {
    PageSetup setup;
    setup.widthMm = 24.0;
    setup.heightMm = 9.0;
    setup.previewDpi = dpi;
    return setup;
}

class Model {
public:
    explicit Model(const PageRenderer& page)
        : box_(page.Box()),
          width_(page.PreviewWidth()),
          height_(page.PreviewHeight()),
          widthMaster_(page.WidthMaster()),
          heightMaster_(page.HeightMaster()),
          cells_(static_cast<std::size_t>(kInkCount) * width_ * height_, 0) {}

    void PlaceLine(int ink, std::int64_t x, std::int64_t y, int pitchX, int pitchY, int bits,
                   const std::vector<std::uint8_t>& data) {
        const int perByte = 8 / bits;
        const unsigned mask = (1u << bits) - 1u;
        const int partsX = (pitchX + box_ - 1) / box_;
        const int partsY = (pitchY + box_ - 1) / box_;
        const double area = static_cast<double>(pitchX) * pitchY / (static_cast<double>(box_) * box_);
        if (y < 0 || y >= heightMaster_) return;
        for (std::size_t dot = 0; dot < data.size() * perByte; ++dot) {
            const unsigned value = (data[dot / perByte] >> (8 - bits * (dot % perByte + 1))) & mask;
            const std::int64_t dx = x + static_cast<std::int64_t>(dot) * pitchX;
            if (value == 0 || dx < 0 || dx >= widthMaster_) continue;
            const int amount =
                static_cast<int>(std::lround(PageRenderer::kFull * area * value / mask / (partsX * partsY)));
            for (int j = 0; j < partsY; ++j)
                for (int i = 0; i < partsX; ++i)
                    Add(ink, (dx + static_cast<std::int64_t>(i) * pitchX / partsX) / box_,
                        (y + static_cast<std::int64_t>(j) * pitchY / partsY) / box_, amount);
        }
    }

    // Each pixel the rectangle overlaps gets the share of its box covered.
    void FillRect(int ink, std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h, double density) {
        const std::int64_t left = std::max<std::int64_t>(0, x), top = std::max<std::int64_t>(0, y);
        const std::int64_t right = std::min(widthMaster_, x + w), bottom = std::min(heightMaster_, y + h);
        if (left >= right || top >= bottom || density <= 0) return;
        const double scale = PageRenderer::kFull * density / (static_cast<double>(box_) * box_);
        for (std::int64_t py = top / box_; py * box_ < bottom; ++py)
            for (std::int64_t px = left / box_; px * box_ < right; ++px) {
                const std::int64_t across = std::min(right, (px + 1) * box_) - std::max(left, px * box_);
                const std::int64_t down = std::min(bottom, (py + 1) * box_) - std::max(top, py * box_);
                Add(ink, px, py, static_cast<int>(std::lround(scale * across * down)));
            }
    }

    int At(int ink, int px, int py) const { return cells_[Key(ink, px, py)]; }

private:
    std::size_t Key(int ink, std::int64_t px, std::int64_t py) const {
        return (static_cast<std::size_t>(ink) * height_ + static_cast<std::size_t>(py)) * width_ +
               static_cast<std::size_t>(px);
    }
    void Add(int ink, std::int64_t px, std::int64_t py, int amount) {
        if (amount <= 0 || px >= width_ || py >= height_) return;
        int& cell = cells_[Key(ink, px, py)];
        cell = std::min(65535, cell + amount);
    }

    int box_, width_, height_;
    std::int64_t widthMaster_, heightMaster_;
    std::vector<int> cells_;
};

void ExpectSame(const PageRenderer& page, const Model& model, const char* what) {
    for (int ink = 0; ink < kInkCount; ++ink)
        for (int py = 0; py < page.PreviewHeight(); ++py)
            for (int px = 0; px < page.PreviewWidth(); ++px)
                ASSERT_EQ(page.Coverage(ink, px, py), model.At(ink, px, py))
                    << what << ": ink " << ink << " at " << px << "," << py;
}

// Random lines and rectangles, of every dot size against the pixel, some
// reaching off the sheet, many laid over each other until they saturate.
void DrawRandom(PageRenderer& page, Model& model, std::mt19937& rng, int count) {
    const int pitches[] = {5, 10, 20, 40, 80, 160};
    for (int n = 0; n < count; ++n) {
        const int ink = static_cast<int>(rng() % kInkCount);
        const std::int64_t x = static_cast<std::int64_t>(rng() % (page.WidthMaster() + 400)) - 200;
        const std::int64_t y = static_cast<std::int64_t>(rng() % (page.HeightMaster() + 400)) - 200;
        if (rng() % 5 == 0) {
            const std::int64_t w = 1 + rng() % 2000, h = 1 + rng() % 600;
            const double density = (rng() % 100) / 60.0;
            page.FillRect(ink, x, y, w, h, density);
            model.FillRect(ink, x, y, w, h, density);
            continue;
        }
        const int pitchX = pitches[rng() % 6], pitchY = pitches[rng() % 6];
        const int bits = rng() % 2 ? 1 : 2;
        std::vector<std::uint8_t> data(1 + rng() % 120);
        for (auto& byte : data) byte = rng() % 3 == 0 ? 0 : static_cast<std::uint8_t>(rng());
        const int repeat = rng() % 8 == 0 ? 40 : 1;  // the same spot over and over: counts saturate
        for (int r = 0; r < repeat; ++r) {
            page.PlaceLine(ink, x, y, pitchX, pitchY, bits, data.data(), data.size());
            model.PlaceLine(ink, x, y, pitchX, pitchY, bits, data);
        }
    }
}

TEST(PageRenderer, CoverageIsWhatEachDotAndRectangleAdds) {
    for (int dpi : {180, 1440}) {
        std::mt19937 rng(static_cast<unsigned>(dpi));
        PageRenderer page(SmallSheet(dpi));
        Model model(page);
        DrawRandom(page, model, rng, 400);
        ExpectSame(page, model, dpi == 180 ? "180 dpi" : "1440 dpi");
    }
}

// Dots many pixels tall or wide: a line of 1/30 inch at 1440 dpi covers 48
// rows, a size that is no whole number of pixels puts two parts of a dot in
// one row, and dots larger than any printer's take each part on its own.
// Their parts cross tiles and bands, reach past the sheet's right and bottom
// edges, and pile up until counts saturate.
TEST(PageRenderer, TallAndWideDotsCoverEveryPixelTheirPartsReach) {
    for (int dpi : {1440, 360}) {
        std::mt19937 rng(static_cast<unsigned>(dpi) + 3);
        PageRenderer page(SmallSheet(dpi));
        Model model(page);
        const int across[] = {5, 35, 480, 645};
        const int down[] = {15, 480, 485, 12000};
        for (int n = 0; n < 80; ++n) {
            const int ink = static_cast<int>(rng() % kInkCount);
            const int pitchX = across[rng() % 4], pitchY = down[rng() % 4];
            const std::int64_t x = static_cast<std::int64_t>(rng() % (page.WidthMaster() + 400)) - 200;
            const std::int64_t y = static_cast<std::int64_t>(rng() % (page.HeightMaster() + 400)) - 200;
            const int bits = rng() % 2 ? 1 : 2;
            std::vector<std::uint8_t> data(1 + rng() % (pitchX > 100 ? 4 : 40));
            for (auto& byte : data) byte = rng() % 3 == 0 ? 0 : static_cast<std::uint8_t>(rng());
            const int repeat = rng() % 6 == 0 ? 20 : 1;
            for (int r = 0; r < repeat; ++r) {
                page.PlaceLine(ink, x, y, pitchX, pitchY, bits, data.data(), data.size());
                model.PlaceLine(ink, x, y, pitchX, pitchY, bits, data);
            }
        }
        ExpectSame(page, model, dpi == 1440 ? "1440 dpi" : "360 dpi");
    }
}

// The largest dot a job can ask for (a raster resolution of 255 dots per
// inch of base 1: 255 inches across and down) covers every pixel from its
// origin to the sheet's right and bottom edges once, and is drawn as soon
// as those pixels are, not part by part over its 255 inches.
TEST(PageRenderer, ADotLargerThanTheSheetCoversItFromItsOrigin) {
    const int pitch = kMasterPerInch * 255;
    for (int dpi : {1440, 14400}) {
        PageRenderer page(SmallSheet(dpi));
        const std::uint8_t dot[] = {0xC0};  // 2 bits: the largest dot
        // At 14400 dpi a pixel is a master unit: a corner of 300 by 200 pixels.
        const std::int64_t x = dpi == 1440 ? page.WidthMaster() / 2 : page.WidthMaster() - 300;
        const std::int64_t y = dpi == 1440 ? page.HeightMaster() / 3 : page.HeightMaster() - 200;
        page.PlaceLine(kCyan, x, y, pitch, pitch, 2, dot, 1);
        const int fromX = static_cast<int>(x / page.Box()), fromY = static_cast<int>(y / page.Box());
        for (int py = 0; py < page.PreviewHeight(); py += dpi == 1440 ? 1 : 13)
            for (int px = 0; px < page.PreviewWidth(); px += dpi == 1440 ? 1 : 11)
                ASSERT_EQ(page.Coverage(kCyan, px, py), px >= fromX && py >= fromY ? PageRenderer::kFull : 0)
                    << dpi << " dpi at " << px << "," << py;
        EXPECT_EQ(page.Coverage(kCyan, page.PreviewWidth() - 1, page.PreviewHeight() - 1), PageRenderer::kFull);
        EXPECT_EQ(page.ClippedDots(), 0u);
    }
}

// The written page skips the rows it knows repeat the row above (a run of
// rows a tall dot or a rectangle reaches alike); the file must still hold
// every row as composed, where ink drawn later makes one row of such a run
// differ, on a fresh page and after Clear.
TEST(PageRenderer, RowsWrittenAsRepeatsAreTheRowsComposed) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("vengine-rows-" + std::to_string(::getpid()) + ".png");
    std::mt19937 rng(5);
    PageRenderer page(SmallSheet(1440));
    for (int round = 0; round < 3; ++round) {
        page.Clear();
        for (int n = 0; n < 30; ++n) {
            const int ink = static_cast<int>(rng() % 3);
            const std::int64_t x = static_cast<std::int64_t>(rng() % page.WidthMaster());
            const std::int64_t y = static_cast<std::int64_t>(rng() % page.HeightMaster());
            if (rng() % 3 == 0) {
                // Rows partly covered at the top and bottom, whole between.
                page.FillRect(ink, x, y, 1 + rng() % 3000, 1 + rng() % 2000, 0.5);
                continue;
            }
            const int pitchY = rng() % 2 ? 480 : 485;
            std::vector<std::uint8_t> data(1 + rng() % 30, 0);
            for (auto& byte : data) byte = rng() % 2 ? 0 : static_cast<std::uint8_t>(rng());
            page.PlaceLine(ink, x, y, 10, pitchY, 2, data.data(), data.size());
            if (rng() % 2) {  // one row of the run inked again
                const std::uint8_t dot = 0xC0;
                page.PlaceLine(ink, x, y + 10 * static_cast<std::int64_t>(1 + rng() % 40), 10, 10, 2, &dot, 1);
            }
        }
        std::string error;
        ASSERT_TRUE(page.WritePng(path.string(), &error)) << error;
        Image written;
        ASSERT_TRUE(ReadPng(path.string(), &written, &error)) << error;
        const Image composed = page.Compose();
        ASSERT_EQ(written.height, composed.height);
        for (int py = 0; py < composed.height; ++py)
            ASSERT_TRUE(std::equal(composed.Row(py), composed.Row(py) + composed.width * 3, written.Row(py)))
                << "round " << round << ", row " << py;
    }
    std::filesystem::remove(path);
}

// A page drawn on memory given back by a page before it starts white.
TEST(PageRenderer, PagesOnReusedMemoryStartWhite) {
    {
        PageRenderer full(SmallSheet(1440));
        for (int ink = 0; ink < kInkCount; ++ink)
            full.FillRect(ink, 0, 0, full.WidthMaster(), full.HeightMaster(), 1.0);
        EXPECT_GT(full.MemoryBytes(), std::size_t{7} * 1360 * 510 * 2);
    }
    std::mt19937 rng(7);
    PageRenderer page(SmallSheet(1440));
    Model model(page);
    DrawRandom(page, model, rng, 60);
    ExpectSame(page, model, "reused");
    page.Clear();  // and again after Clear
    Model empty(page);
    DrawRandom(page, empty, rng, 60);
    ExpectSame(page, empty, "cleared");
}

// Ink only where it lands: a few ticks across a wide page hold a few tiles.
TEST(PageRenderer, SparseInkHoldsLittleMemory) {
    PageSetup setup;
    setup.widthMm = 329.0;
    setup.heightMm = 100.0;
    setup.previewDpi = 1440;
    PageRenderer page(setup);
    const std::uint8_t tick[] = {0xC0};
    for (int n = 0; n < 20; ++n)
        for (int row = 0; row < 200; ++row) page.PlaceLine(kBlack, n * 9000, row * 10, 10, 10, 1, tick, 1);
    // 20 ticks, each 7 bands down: 140 tiles of 4 KiB in one block of 1 MiB,
    // where the whole width of those bands would take 8 MB.
    EXPECT_LE(page.MemoryBytes(), std::size_t{2} << 20);
    EXPECT_EQ(page.Coverage(kBlack, 900, 0), PageRenderer::kFull);
    EXPECT_EQ(page.Coverage(kBlack, 901, 0), PageRenderer::kFull);
    EXPECT_EQ(page.Coverage(kBlack, 902, 0), 0);
}

// The colour of a pixel: white light through each ink, in ink order.
std::array<std::uint8_t, 3> Expected(const std::array<int, kInkCount>& cover) {
    float light[3] = {1.0f, 1.0f, 1.0f};
    bool any = false;
    for (int ink = 0; ink < kInkCount; ++ink) {
        if (cover[ink] == 0) continue;
        any = true;
        const auto colour = InkColor(ink);
        const auto pass = [&](int c, int amount) {
            return 1.0f - (1.0f - colour[c] / 255.0f) * static_cast<float>(std::min(amount, PageRenderer::kFull)) /
                              PageRenderer::kFull;
        };
        for (int c = 0; c < 3; ++c) {
            light[c] *= pass(c, cover[ink]);
            if (cover[ink] > 2 * PageRenderer::kFull) light[c] *= pass(c, cover[ink] - 2 * PageRenderer::kFull);
        }
    }
    if (!any) return {255, 255, 255};
    std::array<std::uint8_t, 3> rgb{};
    for (int c = 0; c < 3; ++c) rgb[c] = static_cast<std::uint8_t>(255.0f * light[c] + 0.5f);
    return rgb;
}

// And again on the same page after Clear, with ink elsewhere: the rows a
// band noted as inked start afresh with it.
TEST(PageRenderer, ColoursComposeFromEveryInkThatCoversAPixel) {
    std::mt19937 rng(11);
    PageRenderer page(SmallSheet(360));
    for (int round = 0; round < 2; ++round) {
        page.Clear();
        Model model(page);
        DrawRandom(page, model, rng, round == 0 ? 300 : 40);
        const Image image = page.Compose();
        for (int py = 0; py < page.Rows(); ++py)
            for (int px = 0; px < page.PreviewWidth(); ++px) {
                std::array<int, kInkCount> cover{};
                for (int ink = 0; ink < kInkCount; ++ink) cover[ink] = page.Coverage(ink, px, py);
                ASSERT_EQ(image.At(px, py), Expected(cover)) << "round " << round << " at " << px << "," << py;
            }
    }
}

}  // namespace
}  // namespace vp
