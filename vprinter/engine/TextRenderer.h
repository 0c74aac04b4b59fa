// The printer's text: each character of a job drawn into its cell in a real
// font, as ink coverage on the page at whatever preview resolution the page
// has. Glyphs are rasterised with FreeType once per character and
// resolution and kept as runs of a few coverage levels, so a page of text
// costs a handful of rectangle fills per glyph row and adds at most a few
// grey levels to the page's palette.
//
// The font is a fixed list of Debian font files, tried in order; nothing is
// searched. When none loads (or the engine was built without FreeType),
// Draw() draws nothing and returns false, and the caller marks the text
// another way.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vp {

class PageRenderer;

// The text cell every character is printed in, in master units (1/14400
// inch): its width is the character pitch, its height the line spacing.
struct TextCell {
    int width = 1440;   // 1/10 inch: 10 characters per inch
    int height = 2400;  // 1/6 inch: 6 lines per inch
};

class TextRenderer {
public:
    // Partial coverage levels of a glyph's edge pixels (the darkest is full
    // ink): few enough to keep the page's palette small, enough to keep the
    // strokes smooth.
    static constexpr int kLevels = 4;

    // A run of equal coverage in `rows` pixel rows of a glyph (a stem is one
    // run), relative to the cell: columns [left, right) from the cell's left
    // pixel, rows [row, row + rows) from the baseline's pixel row (negative
    // above it); level 1..kLevels.
    struct Run {
        std::int32_t row = 0;
        std::int32_t rows = 1;
        std::int32_t left = 0;
        std::int32_t right = 0;
        std::int32_t level = 0;
    };
    struct Glyph {
        std::vector<Run> runs;
    };

    // The fonts tried when none are given: DejaVu Sans Mono, then Liberation Mono.
    static const std::vector<std::string>& DefaultFonts();

    explicit TextRenderer(std::vector<std::string> fonts = DefaultFonts(), TextCell cell = {});
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // Draws the character `byte` (ISO 8859-1) in `ink` into the cell whose
    // top-left corner is (x, y), in master units. The font is loaded on first
    // use. False, with nothing drawn, when no font could be loaded.
    bool Draw(PageRenderer& page, int ink, std::uint8_t byte, std::int64_t x, std::int64_t y);

    // Loads the font now if it was not tried yet; whether one is loaded.
    bool Load();
    // The font file in use (empty when none is loaded).
    const std::string& FontFile() const { return fontFile_; }
    // Why no font could be loaded, the first time it is asked after the
    // failure; empty afterwards and while all is well (so it is told once).
    std::string TakeProblem();

    // The glyph of a character at a preview pixel of `box` master units
    // (80 at 180 dpi), rasterised on first use; nullptr without a font.
    const Glyph* GlyphAt(std::uint8_t byte, int box);
    // Glyphs rasterised so far (each character once per resolution).
    int GlyphsRasterised() const { return rasterised_; }
    // The size of the font's em and the baseline's distance below the cell's
    // top, in master units (both 0 until a font is loaded).
    double Em() const { return em_; }
    double Baseline() const { return baseline_; }

private:
    struct Face;
    using GlyphSet = std::array<std::unique_ptr<Glyph>, 256>;
    std::unique_ptr<Glyph> Rasterise(std::uint8_t byte, int box);

    // The engine records text and a page writer thread draws it: the font
    // and the glyph cache are shared, so every use takes this lock.
    std::recursive_mutex mutex_;
    std::vector<std::string> fonts_;
    TextCell cell_;
    std::unique_ptr<Face> face_;
    bool tried_ = false;
    std::string fontFile_;
    std::string problem_;
    bool told_ = false;
    double em_ = 0;
    double baseline_ = 0;
    std::map<int, GlyphSet> glyphs_;  // by pixel box
    int rasterised_ = 0;
};

}  // namespace vp
