// One sheet of paper as the virtual printer sees it: ink coverage kept at a
// preview resolution, never as a full-resolution RGB page.
//
// Positions are in master units of 1/14400 inch, a grid on which every unit
// and dot pitch the printer accepts lands exactly. Each preview pixel is an
// exact box of master units (80 at 180 dpi) and collects, per ink, the share
// of its area that the device dots whose origin lies in it cover. At eject the
// inks are composited subtractively into an RGB image at the preview size.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "vprinter/Ink.h"
#include "vprinter/engine/Image.h"

namespace vp {

inline constexpr int kMasterPerInch = 14400;

// Inks are numbered as the printer keeps their levels (vp::Ink: black, cyan,
// magenta, yellow, light cyan, light magenta, gray).

struct PageSetup {
    double widthMm = 329.0;  // A3+
    double heightMm = 483.0;
    // Preview pixels per inch; must divide 14400. The print engine also
    // takes kPagePlanned (PagePlan.h): each page at the resolution it needs.
    int previewDpi = 180;
};

// A block of coverage tiles. Blocks fresh from the system come zeroed from
// calloc; blocks given back by an earlier page are cleared a tile at a time
// as tiles are handed out.
struct FreeCoverage {
    void operator()(std::uint16_t* plane) const { std::free(plane); }
};
using CoveragePlane = std::unique_ptr<std::uint16_t[], FreeCoverage>;

class PageRenderer {
public:
    // Coverage of a preview pixel that is fully inked once.
    static constexpr int kFull = 4096;

    explicit PageRenderer(const PageSetup& setup = {});
    // Only the part of the sheet `widthMaster` by `heightMaster` from its
    // top-left corner: the preview is that big, and ink beyond it is dropped
    // (and counted as off the sheet).
    PageRenderer(const PageSetup& setup, std::int64_t widthMaster, std::int64_t heightMaster);
    ~PageRenderer();
    PageRenderer(const PageRenderer&) = delete;
    PageRenderer& operator=(const PageRenderer&) = delete;

    // The dots of one raster line: data holds 8/bitsPerPixel dots per byte,
    // highest bits first; dot i has its origin at (x + i * pitchX, y) and
    // covers pitchX by pitchY master units at full value. Returns the ink
    // laid down, in thirds of a largest dot.
    std::uint64_t PlaceLine(int ink, std::int64_t x, std::int64_t y, int pitchX, int pitchY, int bitsPerPixel,
                            const std::uint8_t* data, std::size_t n);
    // Covers a rectangle with the given share of ink (glyph marks, the
    // printer's own patterns).
    void FillRect(int ink, std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height, double density);

    // Whether anything was inked since the last Clear().
    bool Inked() const { return inked_; }
    void Clear();

    // The composited preview, as long as the sheet (see SetLength).
    Image Compose() const;
    // Writes the preview as PNG, row by row, with its resolution; false with
    // a reason on failure.
    bool WritePng(const std::string& path, std::string* error) const;
    // A sheet cut from the roll is shorter: only its first `master` units are
    // composed and written. Clear() gives the full length back.
    void SetLength(std::int64_t master);
    // Preview rows of the sheet as it is now cut.
    int Rows() const { return rows_; }

    const PageSetup& Setup() const { return setup_; }
    std::int64_t WidthMaster() const { return widthMaster_; }
    std::int64_t HeightMaster() const { return heightMaster_; }
    int PreviewWidth() const { return width_; }
    int PreviewHeight() const { return height_; }
    int Box() const { return box_; }
    // Raw coverage of one preview pixel (kFull = once fully inked).
    int Coverage(int ink, int px, int py) const;
    // Device dots that fell outside the sheet since the last Clear().
    std::uint64_t ClippedDots() const { return clipped_; }
    // Bytes held for coverage now.
    std::size_t MemoryBytes() const;

private:
    static constexpr int kBandRows = 32;
    using Transmission = std::vector<std::array<float, 3>>;
    static const Transmission& InkTransmission();
    // Writes row py as RGB into out, which is white already; false (out
    // stays white) when the row is blank paper. Only the columns [*lo, *hi)
    // are written.
    bool ComposeRow(int py, std::uint8_t* out, int* lo = nullptr, int* hi = nullptr) const;
    bool SameCoverage(int py) const;
    // The preview as an RGB PNG, for pages of more than 256 colours.
    bool WriteRgbPng(const std::string& path, std::string* error) const;
    // Coverage is kept in tiles of kBandRows rows by kTileColumns columns
    // (4 KiB), made where ink first lands: a page at 1440 dpi is 10 to 20
    // thousand cells wide, and its patterns (thin lines, ticks, text) leave
    // most of it white paper that needs no memory.
    static constexpr int kTileColumns = 64;
    static constexpr std::size_t kTileCells = static_cast<std::size_t>(kBandRows) * kTileColumns;
    struct Band {
        // Per ink, the band's tiles from left to right (null: white paper);
        // the whole array null while the ink has none in the band.
        std::array<std::unique_ptr<std::uint16_t*[]>, kInkCount> tiles;
        // Per ink, the band's rows it was put in (bit r: row r of the band);
        // the other rows of its tiles are white paper.
        std::array<std::uint32_t, kInkCount> rows{};
        // Per ink, the tiles it has lie in [tileBegin, tileEnd).
        std::array<int, kInkCount> tileBegin{};
        std::array<int, kInkCount> tileEnd{};
    };
    static_assert(kBandRows <= 32, "a band's rows are bits of a 32-bit word");
    // Tile `tile` of an ink in the band of preview row py, made (all white)
    // when missing; ink is about to be put in row py.
    std::uint16_t* Tile(int ink, int py, int tile);
    // The two halves of Tile: row py takes ink (its band notes the row, and
    // the row loses its mark of repeating the row above, the row below its
    // own), and the tile, made when missing, of a band.
    void MarkRow(int ink, int py);
    std::uint16_t* BandTile(int ink, int bandIndex, int tile);
    std::uint16_t* NewTile();
    // The cell of (px, py) in a tile.
    static std::size_t CellOf(int px, int py) {
        return static_cast<std::size_t>(py % kBandRows) * kTileColumns + static_cast<std::size_t>(px % kTileColumns);
    }
    void PreparePixelTable(std::int64_t x, int pitchX, std::size_t dots);
    // Lines of dots larger than a pixel (PlaceLine).
    void PrepareSpread(std::int64_t y, int pitchY, int partsY);
    void Gather(int px, int amount);
    void Spread(int ink);

    PageSetup setup_;
    int box_ = 80;
    std::int64_t widthMaster_ = 0;
    std::int64_t heightMaster_ = 0;
    int width_ = 0;
    int height_ = 0;
    int rows_ = 0;
    std::vector<Band> bands_;
    int tilesAcross_ = 0;
    // Tiles are handed out of blocks taken from the process's pool.
    struct Block {
        CoveragePlane cells;
        bool zeroed = false;  // fresh from the system: every tile white already
    };
    std::vector<Block> blocks_;
    std::size_t blockTiles_ = 0;  // tiles handed out of the last block
    bool inked_ = false;
    std::uint64_t clipped_ = 0;
    // Per preview row, 1 while it is known to hold the coverage of the row
    // above it (a blank page: every row). Ink put in a row (Tile) takes the
    // mark from it and from the row below; drawing that adds the same to a
    // run of rows gives the marks within the run back. Rows without it are
    // compared cell by cell (SameCoverage).
    std::vector<std::uint8_t> sameAbove_;
    std::vector<std::uint8_t> rectKeep_;
    // The marks of the rows from firstRow on drawn alike, as they were before.
    void KeepMarks(int firstRow, const std::vector<std::uint8_t>& keep);
    // Preview column of each dot of the last line shape (-1: off the sheet).
    std::vector<std::int32_t> dotPixel_;
    std::int64_t tableX_ = -1;
    int tablePitch_ = 0;
    // The line being placed, gathered by column: the sum of its parts in
    // each column, saturated as a cell is (all zero between lines), the
    // columns of each tile that have any (end 0: none), and the rows it
    // reaches with the parts each row takes.
    struct SpreadRow {
        int row;
        int parts;
    };
    struct SpreadColumns {
        std::uint8_t begin = 0;
        std::uint8_t end = 0;
    };
    static_assert(kTileColumns < 256, "a tile's columns are bytes");
    std::vector<std::uint8_t> spreadKeep_;
    std::vector<std::uint16_t> spreadAmount_;
    std::vector<SpreadColumns> spreadTiles_;
    int spreadFirst_ = 0;
    int spreadLast_ = -1;
    std::vector<SpreadRow> spreadRows_;
};

// The RGB colour of each ink at full coverage.
std::array<std::uint8_t, 3> InkColor(int ink);

}  // namespace vp
