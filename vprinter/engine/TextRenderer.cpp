#include "vprinter/engine/TextRenderer.h"

#include "vprinter/engine/PageRenderer.h"

#include <algorithm>
#include <cmath>
#include <utility>

#ifdef VENGINE_WITH_FREETYPE
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

namespace vp {

namespace {

// Floor division: a cell left of the sheet's edge starts in a negative column.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

const std::vector<std::string>& TextRenderer::DefaultFonts() {
    static const std::vector<std::string> fonts = {
        "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",              // fonts-dejavu-core
        "/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf",  // fonts-liberation
    };
    return fonts;
}

#ifdef VENGINE_WITH_FREETYPE

struct TextRenderer::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    int sizedBox = 0;  // the pixel box the face is sized for now

    ~Face() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

namespace {

// The unscaled outline box of a character, in font units; false when the font lacks it.
bool Outline(FT_Face face, char c, FT_Glyph_Metrics* metrics, FT_Pos* advance) {
    if (FT_Get_Char_Index(face, static_cast<FT_ULong>(c)) == 0 ||
        FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_NO_SCALE) != 0)
        return false;
    *metrics = face->glyph->metrics;
    *advance = face->glyph->advance.x;
    return true;
}

}  // namespace

bool TextRenderer::Load() {
    std::lock_guard lock(mutex_);
    if (tried_) return face_ != nullptr;
    tried_ = true;
    auto face = std::make_unique<Face>();
    if (FT_Init_FreeType(&face->library) != 0) {
        problem_ = "text: the font library cannot start";
        return false;
    }
    std::string tried;
    for (const std::string& path : fonts_) {
        tried += (tried.empty() ? "" : ", ") + path;
        if (FT_New_Face(face->library, path.c_str(), 0, &face->face) != 0) continue;
        FT_Face f = face->face;
        // The size follows from the font's own proportions: a capital and a
        // descender take 85 % of the line, and a character's advance is at
        // most the cell's width. The capital and the descender stand in the
        // middle of the line.
        FT_Glyph_Metrics capital{}, descender{};
        FT_Pos advance = 0, unused = 0;
        if (FT_IS_SCALABLE(f) && FT_Select_Charmap(f, FT_ENCODING_UNICODE) == 0 &&
            Outline(f, 'H', &capital, &advance) && Outline(f, 'g', &descender, &unused) && advance > 0) {
            const double units = f->units_per_EM;
            const double capHeight = capital.horiBearingY / units;
            const double depth = std::max(0.0, (descender.height - descender.horiBearingY) / units);
            if (capHeight > 0) {
                em_ = std::min(cell_.width * units / static_cast<double>(advance),
                               0.85 * cell_.height / (capHeight + depth));
                baseline_ = (cell_.height - (capHeight + depth) * em_) / 2 + capHeight * em_;
                fontFile_ = path;
                face_ = std::move(face);
                return true;
            }
        }
        FT_Done_Face(f);
        face->face = nullptr;
    }
    problem_ = "text: no font could be loaded (tried " + (tried.empty() ? std::string("none") : tried) + ")";
    return false;
}

std::unique_ptr<TextRenderer::Glyph> TextRenderer::Rasterise(std::uint8_t byte, int box) {
    FT_Face f = face_->face;
    // At 72 dpi a point is a pixel; the size may be fractional.
    const double cellPixels = static_cast<double>(cell_.width) / box;
    if (face_->sizedBox != box) {
        if (FT_Set_Char_Size(f, 0, static_cast<FT_F26Dot6>(std::lround(em_ / box * 64)), 72, 72) != 0) return nullptr;
        face_->sizedBox = box;
    }
    auto glyph = std::make_unique<Glyph>();
    ++rasterised_;
    // The byte is ISO 8859-1, whose codes are the first 256 of Unicode; a
    // character the font lacks prints as its missing-glyph box.
    if (FT_Load_Char(f, byte, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) return glyph;
    const FT_GlyphSlot slot = f->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.pitch < static_cast<int>(bitmap.width)) return glyph;
    // A glyph narrower or wider than the cell sits in its middle.
    const int shift = static_cast<int>(std::lround((cellPixels - slot->advance.x / 64.0) / 2));
    // Runs of a row that continue a run of the row above (same columns and
    // level) lengthen it: a stem is one fill.
    std::vector<std::size_t> above, here;
    for (unsigned r = 0; r < bitmap.rows; ++r) {
        const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(r) * bitmap.pitch;
        const std::int32_t top = static_cast<std::int32_t>(r) - slot->bitmap_top;
        here.clear();
        for (unsigned c = 0; c < bitmap.width;) {
            const int level = (row[c] * kLevels + 127) / 255;
            unsigned end = c + 1;
            while (end < bitmap.width && (row[end] * kLevels + 127) / 255 == level) ++end;
            if (level > 0) {
                const Run run{top, 1, shift + slot->bitmap_left + static_cast<std::int32_t>(c),
                              shift + slot->bitmap_left + static_cast<std::int32_t>(end), level};
                std::size_t at = glyph->runs.size();
                for (std::size_t i : above) {
                    Run& prior = glyph->runs[i];
                    if (prior.left == run.left && prior.right == run.right && prior.level == run.level) {
                        ++prior.rows;
                        at = i;
                        break;
                    }
                }
                if (at == glyph->runs.size()) glyph->runs.push_back(run);
                here.push_back(at);
            }
            c = end;
        }
        std::swap(above, here);
    }
    return glyph;
}

#else  // built without FreeType: text is never drawn in a font

struct TextRenderer::Face {};

bool TextRenderer::Load() {
    std::lock_guard lock(mutex_);
    if (!tried_) problem_ = "text: built without a font library (libfreetype-dev)";
    tried_ = true;
    return false;
}

std::unique_ptr<TextRenderer::Glyph> TextRenderer::Rasterise(std::uint8_t, int) { return nullptr; }

#endif

TextRenderer::TextRenderer(std::vector<std::string> fonts, TextCell cell) : fonts_(std::move(fonts)), cell_(cell) {}

TextRenderer::~TextRenderer() = default;

std::string TextRenderer::TakeProblem() {
    std::lock_guard lock(mutex_);
    if (told_ || problem_.empty()) return {};
    told_ = true;
    return problem_;
}

const TextRenderer::Glyph* TextRenderer::GlyphAt(std::uint8_t byte, int box) {
    std::lock_guard lock(mutex_);
    if (box <= 0 || !Load()) return nullptr;
    std::unique_ptr<Glyph>& glyph = glyphs_[box][byte];
    if (!glyph) glyph = Rasterise(byte, box);
    return glyph.get();
}

bool TextRenderer::Draw(PageRenderer& page, int ink, std::uint8_t byte, std::int64_t x, std::int64_t y) {
    const int box = page.Box();
    const Glyph* glyph = GlyphAt(byte, box);
    if (!glyph) return false;
    // The glyph's pixels are whole preview pixels from the one that holds the
    // cell's corner; each run is one fill of its share of ink.
    const std::int64_t left = FloorDiv(x, box);
    const std::int64_t baseline = FloorDiv(y + std::llround(baseline_), box);
    for (const Run& run : glyph->runs)
        page.FillRect(ink, (left + run.left) * box, (baseline + run.row) * box,
                      static_cast<std::int64_t>(run.right - run.left) * box, static_cast<std::int64_t>(run.rows) * box,
                      static_cast<double>(run.level) / kLevels);
    return true;
}

}  // namespace vp
