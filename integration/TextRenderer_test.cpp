// Text on the page: each character in black ink inside its cell of 1/10 by
// 1/6 inch at any preview resolution, blanks and NULs printing nothing, CR
// and LF moving the cell as before, glyphs rasterised once. Without a font the
// engine's bars: PrintEngine_test.cpp.
#include "vprinter/engine/TextRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "link/VexRaster.h"
#include "vprinter/engine/PrintEngine.h"
#include "integration/testing/EngineTesting.h"

namespace vp {
namespace {

using vp::testing::Drive;
using vp::testing::FakeMachine;
using vp::testing::Wire;

// Where the black ink of a part of the page lies, in preview pixels.
struct Ink {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // [left, right) x [top, bottom)
    int pixels = 0;
    int darkest = 0;
    bool Any() const { return pixels > 0; }
};

Ink BlackIn(const PageRenderer& page, int left, int top, int right, int bottom) {
    Ink ink;
    for (int y = std::max(0, top); y < std::min(bottom, page.PreviewHeight()); ++y)
        for (int x = std::max(0, left); x < std::min(right, page.PreviewWidth()); ++x) {
            const int c = page.Coverage(kBlack, x, y);
            if (c == 0) continue;
            ++ink.pixels;
            ink.darkest = std::max(ink.darkest, c);
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x + 1);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y + 1);
        }
    return ink;
}

// The coverage of one cell as a picture, to compare two cells' glyphs.
std::vector<int> CellCoverage(const PageRenderer& page, int column, int line) {
    const int box = page.Box();
    const int x0 = column * PrintEngine::kCharWidth / box, y0 = line * PrintEngine::kLineSpacing / box;
    std::vector<int> cells;
    for (int y = y0; y < y0 + PrintEngine::kLineSpacing / box; ++y)
        for (int x = x0; x < x0 + PrintEngine::kCharWidth / box; ++x) cells.push_back(page.Coverage(kBlack, x, y));
    return cells;
}

class TextOnThePage : public ::testing::Test {
protected:
    // Prints the bytes as a job's text on a small sheet at `dpi` and keeps the
    // page's coverage for the checks (`check` runs before the page is ejected).
    void Print(const std::string& text, int dpi, const std::function<void(const PageRenderer&)>& check) {
        options.page = PageSetup{60.0, 40.0, dpi};
        options.firstDotNominal = 0;  // cells counted from the sheet's very edge
        PrintEngine engine(machine, options);
        engine.SetPageHook([&](int, const PageRenderer& page) { check(page); });
        const std::vector<std::uint8_t> job = Wire([&] {
            std::vector<std::uint8_t> bytes(text.begin(), text.end());
            svc::JobStream().Append(bytes.data(), static_cast<int>(bytes.size()));
            svc::SendEndOfJob(svc::JobStream());
        });
        ASSERT_EQ(Drive(engine, job), job.size()) << engine.RefusalReason();
        ASSERT_EQ(engine.PagesEjected(), 1);
    }

    FakeMachine machine;
    EngineOptions options;
};

TEST_F(TextOnThePage, EachCharacterLandsInItsCellInBlackAtAnyResolution) {
    // Cells: 0 'H', 1 blank, 2 'H' (after a NUL, which takes no cell), 3 'W', 4 'g'.
    const std::string text("H \0HWg", 6);
    for (int dpi : {180, 360, 720, 1440}) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        Print(text, dpi, [&](const PageRenderer& page) {
            const int cell = PrintEngine::kCharWidth / page.Box();
            const int line = PrintEngine::kLineSpacing / page.Box();
            for (int column : {0, 2, 3, 4}) {
                SCOPED_TRACE("cell " + std::to_string(column));
                const Ink ink = BlackIn(page, column * cell, 0, (column + 1) * cell, line);
                ASSERT_TRUE(ink.Any());
                // Drawn in full black where the strokes are, not as a grey bar.
                EXPECT_EQ(ink.darkest, PageRenderer::kFull);
            }
            // The blank prints nothing, the NUL took no cell, and nothing
            // lies right of the last cell or below the line.
            EXPECT_FALSE(BlackIn(page, cell, 0, 2 * cell, line).Any());
            EXPECT_FALSE(BlackIn(page, 5 * cell, 0, page.PreviewWidth(), page.PreviewHeight()).Any());
            EXPECT_FALSE(BlackIn(page, 0, line, page.PreviewWidth(), page.PreviewHeight()).Any());
            // The same character looks the same in every cell.
            EXPECT_EQ(CellCoverage(page, 0, 0), CellCoverage(page, 2, 0));
            // A capital about 0.1 inch tall whatever the resolution, standing
            // on the baseline; the g reaches below it.
            const Ink h = BlackIn(page, 0, 0, cell, line);
            EXPECT_NEAR(static_cast<double>(h.bottom - h.top) / dpi, 0.1, 0.02);
            EXPECT_GT(BlackIn(page, 4 * cell, 0, 5 * cell, line).bottom, h.bottom + line / 10);
        });
    }
}

TEST(TextRenderer, EveryGlyphFitsItsCell) {
    TextRenderer text;
    ASSERT_TRUE(text.Load()) << text.TakeProblem();
    for (int box : {80, 40, 20, 10}) {  // 180 to 1440 dpi
        const int cell = PrintEngine::kCharWidth / box, line = PrintEngine::kLineSpacing / box;
        const int baseline = static_cast<int>(std::llround(text.Baseline())) / box;
        for (int c = 0x21; c < 0x7F; ++c) {
            const TextRenderer::Glyph* glyph = text.GlyphAt(static_cast<std::uint8_t>(c), box);
            ASSERT_NE(glyph, nullptr);
            EXPECT_FALSE(glyph->runs.empty()) << char(c);
            for (const TextRenderer::Run& run : glyph->runs) {
                // Across: within the cell, but for an edge pixel of its neighbour.
                EXPECT_GE(run.left, -1) << char(c) << " at " << box;
                EXPECT_LE(run.right, cell + 1) << char(c) << " at " << box;
                // Down: letters and digits keep to their line.
                if (std::isalnum(c)) {
                    EXPECT_GE(baseline + run.row, 0) << char(c) << " at " << box;
                    EXPECT_LE(baseline + run.row + run.rows, line) << char(c) << " at " << box;
                }
                EXPECT_GE(run.rows, 1);
                EXPECT_GE(run.level, 1);
                EXPECT_LE(run.level, TextRenderer::kLevels);
            }
        }
    }
}

TEST_F(TextOnThePage, CarriageReturnAndLineFeedMoveTheCellAsBefore) {
    // CR goes back to the line's first cell on the same line; LF feeds 1/6
    // inch and keeps the column; CR LF starts the next line.
    Print("AB\rC\nD\r\nE", 180, [&](const PageRenderer& page) {
        const int cell = 18, line = 30;
        EXPECT_NE(CellCoverage(page, 0, 0), CellCoverage(page, 1, 0));  // A with C over it, B
        EXPECT_TRUE(BlackIn(page, 0, 0, cell, line).Any());
        EXPECT_FALSE(BlackIn(page, 2 * cell + 1, 0, page.PreviewWidth(), line).Any());
        EXPECT_FALSE(BlackIn(page, 0, line, cell - 1, 2 * line).Any());  // D sits in column 1
        EXPECT_TRUE(BlackIn(page, cell, line, 2 * cell, 2 * line).Any());
        EXPECT_TRUE(BlackIn(page, 0, 2 * line, cell, 3 * line).Any());  // E: column 0, line 2
        EXPECT_FALSE(BlackIn(page, cell + 1, 2 * line, page.PreviewWidth(), 3 * line).Any());
    });
    // A C printed over an A leaves both.
    std::vector<int> alone;
    Print("A", 180, [&](const PageRenderer& page) { alone = CellCoverage(page, 0, 0); });
    Print("A\rC", 180, [&](const PageRenderer& page) { EXPECT_NE(CellCoverage(page, 0, 0), alone); });
}

TEST_F(TextOnThePage, APageOfTextAddsOnlyAFewGreyLevels) {
    std::string text;
    for (int c = 0x21; c < 0x7F; ++c) {
        text.push_back(static_cast<char>(c));
        if (c % 20 == 0) text += "\r\n";
    }
    Print(text, 180, [&](const PageRenderer& page) {
        const Image image = page.Compose();
        std::set<std::array<std::uint8_t, 3>> colours;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) colours.insert(image.At(x, y));
        // Paper, full black, and the partial levels of the edges.
        EXPECT_LE(colours.size(), 2u + TextRenderer::kLevels);
    });
}

TEST(TextRenderer, GlyphsAreRasterisedOncePerCharacterAndResolution) {
    TextRenderer text;
    ASSERT_TRUE(text.Load()) << text.TakeProblem();
    EXPECT_FALSE(text.FontFile().empty());
    PageRenderer coarse(PageSetup{50.0, 50.0, 180});
    PageRenderer fine(PageSetup{50.0, 50.0, 720});
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(text.Draw(coarse, kBlack, 'A', i * 1440, 0));
    EXPECT_EQ(text.GlyphsRasterised(), 1);
    ASSERT_TRUE(text.Draw(fine, kBlack, 'A', 0, 0));
    ASSERT_TRUE(text.Draw(coarse, kBlack, 'B', 0, 2400));
    EXPECT_EQ(text.GlyphsRasterised(), 3);
    // A glyph at four times the resolution is about four times as tall.
    const auto extent = [](const TextRenderer::Glyph* g) {
        int top = 1 << 30, bottom = -(1 << 30);
        for (const auto& run : g->runs) {
            top = std::min(top, run.row);
            bottom = std::max(bottom, run.row + run.rows);
        }
        return bottom - top;
    };
    EXPECT_NEAR(extent(text.GlyphAt('A', 20)), 4 * extent(text.GlyphAt('A', 80)), 4);
    EXPECT_TRUE(text.GlyphAt(' ', 80)->runs.empty());
}

}  // namespace
}  // namespace vp
