#include "vprinter/engine/PageRenderer.h"

#include "vprinter/engine/PngStream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <utility>

namespace vp {

namespace {

// Coverage tiles come in blocks of 256 (1 MiB), which go back to a pool the
// process keeps when a sheet is done, and the next sheets take them from
// there. Memory fresh from the system costs a page fault for every 4 KiB
// first touched, which on a virtual machine is dearer than clearing a tile
// that was used before. The pool is shared by every renderer and keeps at
// most 48 blocks, more than a well-covered A3+ sheet at 180 dpi needs.
constexpr std::size_t kBlockTiles = 256;

class PlanePool {
public:
    struct Taken {
        CoveragePlane cells;
        bool zeroed = false;
    };

    // A block of `count` cells: one given back (not cleared), else fresh
    // memory (zero).
    Taken Take(std::size_t count) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!free_.empty()) {
                Taken taken{std::move(free_.back()), false};
                free_.pop_back();
                return taken;
            }
        }
        Taken taken{CoveragePlane(static_cast<std::uint16_t*>(std::calloc(count, sizeof(std::uint16_t)))), true};
        if (!taken.cells) throw std::bad_alloc();
        return taken;
    }

    void Give(CoveragePlane block) {
        if (!block) return;
        std::lock_guard<std::mutex> lock(mutex_);
        if (free_.size() >= kMaxBlocks) return;  // freed here, outside the pool
        free_.push_back(std::move(block));
    }

private:
    static constexpr std::size_t kMaxBlocks = 48;
    std::mutex mutex_;
    std::vector<CoveragePlane> free_;
};

PlanePool& Pool() {
    static PlanePool pool;
    return pool;
}

}  // namespace

std::array<std::uint8_t, 3> InkColor(int ink) {
    switch (ink) {
        case kBlack:
            return {20, 20, 20};
        case kCyan:
            return {0, 160, 230};
        case kMagenta:
            return {230, 0, 126};
        case kYellow:
            return {255, 230, 0};
        case kLightCyan:
            return {150, 215, 245};
        case kLightMagenta:
            return {245, 160, 205};
        default:
            return {120, 120, 120};  // gray
    }
}

PageRenderer::PageRenderer(const PageSetup& setup) : setup_(setup) {
    if (setup.previewDpi <= 0 || setup.previewDpi > kMasterPerInch || kMasterPerInch % setup.previewDpi != 0)
        throw std::invalid_argument("the preview resolution must divide 14400 dots per inch");
    if (!(setup.widthMm > 0 && setup.heightMm > 0 && setup.widthMm < 2000 && setup.heightMm < 20000))
        throw std::invalid_argument("the sheet size is out of range");
    box_ = kMasterPerInch / setup.previewDpi;
    widthMaster_ = std::llround(setup.widthMm / 25.4 * kMasterPerInch);
    heightMaster_ = std::llround(setup.heightMm / 25.4 * kMasterPerInch);
    width_ = static_cast<int>((widthMaster_ + box_ - 1) / box_);
    height_ = static_cast<int>((heightMaster_ + box_ - 1) / box_);
    bands_.resize(static_cast<std::size_t>((height_ + kBandRows - 1) / kBandRows));
    tilesAcross_ = (width_ + kTileColumns - 1) / kTileColumns;
    rows_ = height_;
    sameAbove_.assign(static_cast<std::size_t>(height_), 1);
}

PageRenderer::PageRenderer(const PageSetup& setup, std::int64_t widthMaster, std::int64_t heightMaster)
    : PageRenderer(setup) {
    widthMaster_ = std::clamp<std::int64_t>(widthMaster, 1, widthMaster_);
    heightMaster_ = std::clamp<std::int64_t>(heightMaster, 1, heightMaster_);
    width_ = static_cast<int>((widthMaster_ + box_ - 1) / box_);
    height_ = static_cast<int>((heightMaster_ + box_ - 1) / box_);
    bands_.clear();
    bands_.resize(static_cast<std::size_t>((height_ + kBandRows - 1) / kBandRows));
    tilesAcross_ = (width_ + kTileColumns - 1) / kTileColumns;
    rows_ = height_;
    sameAbove_.assign(static_cast<std::size_t>(height_), 1);
}

void PageRenderer::SetLength(std::int64_t master) {
    const std::int64_t rows = (std::clamp<std::int64_t>(master, 1, heightMaster_) + box_ - 1) / box_;
    rows_ = static_cast<int>(std::min<std::int64_t>(rows, height_));
}

PageRenderer::~PageRenderer() { Clear(); }

void PageRenderer::Clear() {
    for (Band& band : bands_) {
        for (auto& tiles : band.tiles) tiles.reset();
        band.rows.fill(0);
    }
    for (Block& block : blocks_) Pool().Give(std::move(block.cells));
    blocks_.clear();
    blockTiles_ = 0;
    inked_ = false;
    clipped_ = 0;
    rows_ = height_;
    std::fill(sameAbove_.begin(), sameAbove_.end(), std::uint8_t{1});
}

std::size_t PageRenderer::MemoryBytes() const {
    std::size_t arrays = 0;
    for (const Band& band : bands_)
        for (const auto& tiles : band.tiles) arrays += tiles ? static_cast<std::size_t>(tilesAcross_) : 0;
    return blocks_.size() * kBlockTiles * kTileCells * sizeof(std::uint16_t) + arrays * sizeof(std::uint16_t*) +
           dotPixel_.capacity() * sizeof(std::int32_t) + spreadAmount_.capacity() * sizeof(std::uint16_t) +
           spreadTiles_.capacity() * sizeof(SpreadColumns);
}

std::uint16_t* PageRenderer::NewTile() {
    if (blocks_.empty() || blockTiles_ == kBlockTiles) {
        PlanePool::Taken taken = Pool().Take(kBlockTiles * kTileCells);
        blocks_.push_back(Block{std::move(taken.cells), taken.zeroed});
        blockTiles_ = 0;
    }
    Block& block = blocks_.back();
    std::uint16_t* tile = block.cells.get() + blockTiles_++ * kTileCells;
    if (!block.zeroed) std::memset(tile, 0, kTileCells * sizeof(std::uint16_t));
    return tile;
}

std::uint16_t* PageRenderer::Tile(int ink, int py, int tile) {
    MarkRow(ink, py);
    return BandTile(ink, py / kBandRows, tile);
}

void PageRenderer::MarkRow(int ink, int py) {
    bands_[static_cast<std::size_t>(py / kBandRows)].rows[static_cast<std::size_t>(ink)] |= 1u << (py % kBandRows);
    sameAbove_[static_cast<std::size_t>(py)] = 0;
    if (py + 1 < height_) sameAbove_[static_cast<std::size_t>(py) + 1] = 0;
}

std::uint16_t* PageRenderer::BandTile(int ink, int bandIndex, int tile) {
    Band& band = bands_[static_cast<std::size_t>(bandIndex)];
    auto& tiles = band.tiles[static_cast<std::size_t>(ink)];
    int& begin = band.tileBegin[static_cast<std::size_t>(ink)];
    int& end = band.tileEnd[static_cast<std::size_t>(ink)];
    if (!tiles) {
        tiles = std::make_unique<std::uint16_t*[]>(static_cast<std::size_t>(tilesAcross_));  // all null
        begin = tilesAcross_;
        end = 0;
    }
    std::uint16_t*& at = tiles[static_cast<std::size_t>(tile)];
    if (!at) {
        at = NewTile();
        begin = std::min(begin, tile);
        end = std::max(end, tile + 1);
    }
    return at;
}

namespace {

inline void AddTo(std::uint16_t& cell, int amount) {
    cell = static_cast<std::uint16_t>(std::min(65535, cell + amount));
}

}  // namespace

int PageRenderer::Coverage(int ink, int px, int py) const {
    if (ink < 0 || ink >= kInkCount || px < 0 || py < 0 || px >= width_ || py >= height_) return 0;
    const auto& tiles = bands_[static_cast<std::size_t>(py / kBandRows)].tiles[static_cast<std::size_t>(ink)];
    if (!tiles) return 0;
    const std::uint16_t* tile = tiles[static_cast<std::size_t>(px / kTileColumns)];
    return tile ? tile[CellOf(px, py)] : 0;
}

// The preview column of every dot of a line; lines of one block share it.
void PageRenderer::PreparePixelTable(std::int64_t x, int pitchX, std::size_t dots) {
    if (tableX_ == x && tablePitch_ == pitchX && dotPixel_.size() >= dots) return;
    dotPixel_.resize(std::max(dots, dotPixel_.size()));
    for (std::size_t i = 0; i < dotPixel_.size(); ++i) {
        const std::int64_t at = x + static_cast<std::int64_t>(i) * pitchX;
        dotPixel_[i] = (at < 0 || at >= widthMaster_) ? -1 : static_cast<std::int32_t>(at / box_);
    }
    tableX_ = x;
    tablePitch_ = pitchX;
}

std::uint64_t PageRenderer::PlaceLine(int ink, std::int64_t x, std::int64_t y, int pitchX, int pitchY, int bitsPerPixel,
                                      const std::uint8_t* data, std::size_t n) {
    const int perByte = 8 / bitsPerPixel;
    const unsigned mask = (1u << bitsPerPixel) - 1u;
    const int thirdsPerStep = bitsPerPixel == 1 ? 3 : 1;
    // A dot larger than a preview pixel is split into parts that each fit one.
    const int partsX = (pitchX + box_ - 1) / box_;
    const int partsY = (pitchY + box_ - 1) / box_;
    const double area = static_cast<double>(pitchX) * pitchY / (static_cast<double>(box_) * box_);
    std::array<int, 4> amount{};
    for (unsigned v = 1; v <= mask; ++v)
        amount[v] = static_cast<int>(std::lround(kFull * area * v / mask / (static_cast<double>(partsX) * partsY)));

    std::uint64_t thirds = 0;
    std::uint64_t outside = 0;
    const bool lineOnSheet = y >= 0 && y < heightMaster_;
    const bool simple = partsX == 1 && partsY == 1;
    std::size_t end = n;  // the inked bytes end before it
    while (end > 0 && data[end - 1] == 0) --end;
    const bool fewParts = partsX <= 8 && partsY <= 8;
    // Dots of more parts (a line of 1/30 inch at 1440 dpi is 48 rows tall)
    // are gathered first: the line's amounts by column, once, and then each
    // row its dots reach takes them a tile at a time. Every dot of a line
    // has its parts in the same rows, so a dot costs its parts across, not
    // its parts across times its rows. Parts beyond the sheet's right and
    // bottom edges are not visited: a dot as large as a job can ask for (255
    // inches) costs no more than the pixels it covers.
    const bool spread = lineOnSheet && !fewParts;
    // A dot one part across (a dot taller than a pixel, as a line of 1/180
    // inch at 360 dpi) takes its column from the line's table too.
    const bool tabled = lineOnSheet && partsX == 1;
    if (tabled) PreparePixelTable(x, pitchX, n * static_cast<std::size_t>(perByte));
    if (spread) PrepareSpread(y, pitchY, partsY);

    // The rows a dot's parts fall in, and each part's offset across; dots
    // come left to right, so each row keeps the tile its last part went to.
    std::array<int, 8> partRow{};
    std::array<std::int64_t, 8> partOffset{};
    std::array<int, 8> tileAt{};
    std::array<std::uint16_t*, 8> cells{};
    tileAt.fill(-1);
    int rowsOnSheet = 0;
    if (lineOnSheet && simple) {
        partRow[0] = static_cast<int>(y / box_);
        rowsOnSheet = 1;
    } else if (lineOnSheet) {
        for (int j = 0; j < partsY && j < 8; ++j) {
            const std::int64_t py = (y + static_cast<std::int64_t>(j) * pitchY / partsY) / box_;
            if (py < height_) partRow[static_cast<std::size_t>(rowsOnSheet++)] = static_cast<int>(py);
        }
        for (int i = 0; i < partsX && i < 8; ++i)
            partOffset[static_cast<std::size_t>(i)] = static_cast<std::int64_t>(i) * pitchX / partsX;
    }
    // The cell of column px in the row of part r.
    const auto cell = [&](std::size_t r, int px) -> std::uint16_t& {
        const int tile = px / kTileColumns;
        if (tile != tileAt[r]) {
            const int py = partRow[r];
            cells[r] = Tile(ink, py, tile) + static_cast<std::size_t>(py % kBandRows) * kTileColumns;
            tileAt[r] = tile;
        }
        return cells[r][px % kTileColumns];
    };

    for (std::size_t b = 0; b < end; ++b) {
        const unsigned byte = data[b];
        if (byte == 0) continue;
        for (int k = 0; k < perByte; ++k) {
            const unsigned value = (byte >> (8 - bitsPerPixel * (k + 1))) & mask;
            if (value == 0) continue;
            thirds += value * static_cast<unsigned>(thirdsPerStep);
            const std::size_t dot = b * static_cast<std::size_t>(perByte) + static_cast<std::size_t>(k);
            if (!lineOnSheet) {
                ++outside;
                continue;
            }
            if (simple) {
                const std::int32_t px = dotPixel_[dot];
                if (px < 0) {
                    ++outside;
                    continue;
                }
                AddTo(cell(0, px), amount[value]);
                inked_ = true;
                continue;
            }
            if (tabled) {
                const std::int32_t px = dotPixel_[dot];
                if (px < 0) {
                    ++outside;
                    continue;
                }
                if (spread) {
                    Gather(px, amount[value]);
                    continue;
                }
                const int part = amount[value];
                if (part <= 0 || rowsOnSheet == 0) continue;
                for (int r = 0; r < rowsOnSheet; ++r) AddTo(cell(static_cast<std::size_t>(r), px), part);
                inked_ = true;
                continue;
            }
            const std::int64_t dx = x + static_cast<std::int64_t>(dot) * pitchX;
            if (dx < 0 || dx >= widthMaster_) {
                ++outside;
                continue;
            }
            if (spread) {
                for (int i = 0; i < partsX; ++i) {
                    const std::int64_t px = (dx + static_cast<std::int64_t>(i) * pitchX / partsX) / box_;
                    if (px >= width_) break;  // the parts only go right with i
                    Gather(static_cast<int>(px), amount[value]);
                }
                continue;
            }
            const int part = amount[value];
            if (part <= 0 || rowsOnSheet == 0) continue;
            for (int i = 0; i < partsX; ++i) {
                const std::int64_t px = (dx + partOffset[static_cast<std::size_t>(i)]) / box_;
                if (px >= width_) continue;
                for (int r = 0; r < rowsOnSheet; ++r)
                    AddTo(cell(static_cast<std::size_t>(r), static_cast<int>(px)), part);
                inked_ = true;
            }
        }
    }
    if (spread) Spread(ink);
    clipped_ += outside;
    return thirds;
}

// The rows the parts of a line's dots fall in (rows below the sheet are
// dropped), with how many parts fall in each.
void PageRenderer::PrepareSpread(std::int64_t y, int pitchY, int partsY) {
    spreadRows_.clear();
    for (int j = 0; j < partsY; ++j) {
        const std::int64_t py = (y + static_cast<std::int64_t>(j) * pitchY / partsY) / box_;
        if (py >= height_) break;  // the rows only grow with j
        if (!spreadRows_.empty() && spreadRows_.back().row == py)
            ++spreadRows_.back().parts;
        else
            spreadRows_.push_back(SpreadRow{static_cast<int>(py), 1});
    }
    // Whole tiles, the last one too: a tile's row may be added at once.
    if (spreadAmount_.size() != static_cast<std::size_t>(tilesAcross_) * kTileColumns) {
        spreadAmount_.assign(static_cast<std::size_t>(tilesAcross_) * kTileColumns, 0);
        spreadTiles_.assign(static_cast<std::size_t>(tilesAcross_), SpreadColumns{});
    }
    spreadFirst_ = tilesAcross_;
    spreadLast_ = -1;
}

// One part of a dot in column px (on the sheet), for every row of the line.
// Coverage only grows and saturates at 65535, so the parts of a column may
// be summed before they are added, as long as the sum saturates too.
void PageRenderer::Gather(int px, int amount) {
    if (amount <= 0 || spreadRows_.empty()) return;
    std::uint16_t& sum = spreadAmount_[static_cast<std::size_t>(px)];
    sum = static_cast<std::uint16_t>(std::min(65535, sum + amount));
    const int tile = px / kTileColumns;
    const auto column = static_cast<std::uint8_t>(px % kTileColumns);
    SpreadColumns& columns = spreadTiles_[static_cast<std::size_t>(tile)];
    if (columns.end == 0) {
        columns = SpreadColumns{column, static_cast<std::uint8_t>(column + 1)};
    } else {
        columns.begin = std::min(columns.begin, column);
        columns.end = std::max(columns.end, static_cast<std::uint8_t>(column + 1));
    }
    spreadFirst_ = std::min(spreadFirst_, tile);
    spreadLast_ = std::max(spreadLast_, tile);
}

// The gathered line into each of its rows, a tile at a time and across the
// columns of the tile that have any; the gathered amounts are cleared for
// the next line.
void PageRenderer::Spread(int ink) {
    if (spreadLast_ < 0 || spreadRows_.empty()) return;
    // Each row takes what the row above it in the line takes, when it takes
    // as many parts: rows alike before stay alike.
    spreadKeep_.assign(spreadRows_.size(), 0);
    for (std::size_t r = 1; r < spreadRows_.size(); ++r)
        spreadKeep_[r] =
            spreadRows_[r].row == spreadRows_[r - 1].row + 1 && spreadRows_[r].parts == spreadRows_[r - 1].parts
                ? sameAbove_[static_cast<std::size_t>(spreadRows_[r].row)]
                : std::uint8_t{0};
    // Every row of the line takes ink (a tile has some): each is marked once,
    // and the rows of one band share its tile.
    for (const SpreadRow& row : spreadRows_) MarkRow(ink, row.row);
    for (int t = spreadFirst_; t <= spreadLast_; ++t) {
        SpreadColumns& columns = spreadTiles_[static_cast<std::size_t>(t)];
        if (columns.end == 0) continue;
        const std::size_t begin = columns.begin;
        const std::size_t end = columns.end;
        columns = SpreadColumns{};
        std::uint16_t* sums = spreadAmount_.data() + static_cast<std::size_t>(t) * kTileColumns;
        // A copy the cells cannot overlap: a row of a tile is added a vector
        // at a time (columns without ink add nothing).
        std::array<std::uint16_t, kTileColumns> add;
        std::copy(sums, sums + kTileColumns, add.begin());
        const bool wide = end - begin > 8;
        std::uint16_t* tile = nullptr;
        int tileBand = -1;
        for (const SpreadRow& row : spreadRows_) {
            if (row.row / kBandRows != tileBand) {
                tileBand = row.row / kBandRows;
                tile = BandTile(ink, tileBand, t);
            }
            std::uint16_t* cells = tile + static_cast<std::size_t>(row.row % kBandRows) * kTileColumns;
            if (row.parts == 1 && wide) {
                for (std::size_t c = 0; c < kTileColumns; ++c) {
                    const auto sum = static_cast<std::uint16_t>(cells[c] + add[c]);
                    cells[c] = sum < cells[c] ? std::uint16_t{65535} : sum;
                }
                continue;
            }
            const auto parts = static_cast<std::uint32_t>(row.parts);
            for (std::size_t c = begin; c < end; ++c)
                cells[c] = static_cast<std::uint16_t>(std::min<std::uint32_t>(65535u, cells[c] + parts * add[c]));
        }
        std::fill(sums + begin, sums + end, std::uint16_t{0});
        inked_ = true;
    }
    for (std::size_t r = 1; r < spreadRows_.size(); ++r)
        if (spreadKeep_[r]) sameAbove_[static_cast<std::size_t>(spreadRows_[r].row)] = 1;
}

void PageRenderer::KeepMarks(int firstRow, const std::vector<std::uint8_t>& keep) {
    for (std::size_t r = 1; r < keep.size(); ++r)
        if (keep[r]) sameAbove_[static_cast<std::size_t>(firstRow) + r] = 1;
}

void PageRenderer::FillRect(int ink, std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
                            double density) {
    const std::int64_t left = std::max<std::int64_t>(0, x);
    const std::int64_t top = std::max<std::int64_t>(0, y);
    const std::int64_t right = std::min(widthMaster_, x + width);
    const std::int64_t bottom = std::min(heightMaster_, y + height);
    if (left >= right || top >= bottom || density <= 0) return;
    const double scale = kFull * density / (static_cast<double>(box_) * box_);
    const int lo = static_cast<int>(left / box_);
    const int hi = static_cast<int>((right + box_ - 1) / box_);
    // A row as tall in the rectangle as the row above takes what it takes:
    // rows alike before stay alike.
    const std::int64_t firstRow = top / box_;
    const auto heightIn = [&](std::int64_t py) { return std::min(bottom, (py + 1) * box_) - std::max(top, py * box_); };
    rectKeep_.assign(static_cast<std::size_t>((bottom + box_ - 1) / box_ - firstRow), 0);
    for (std::size_t r = 1; r < rectKeep_.size(); ++r) {
        const std::int64_t py = firstRow + static_cast<std::int64_t>(r);
        rectKeep_[r] = heightIn(py) == heightIn(py - 1) ? sameAbove_[static_cast<std::size_t>(py)] : std::uint8_t{0};
    }
    for (std::int64_t py = firstRow; py * box_ < bottom; ++py) {
        const std::int64_t h = heightIn(py);
        const std::size_t rowAt = static_cast<std::size_t>(py % kBandRows) * kTileColumns;
        std::uint16_t* cells = nullptr;
        int tileAt = -1;
        for (std::int64_t px = lo; px < hi; ++px) {
            const std::int64_t w = std::min(right, (px + 1) * box_) - std::max(left, px * box_);
            const int amount = static_cast<int>(std::lround(scale * w * h));
            if (amount <= 0) continue;
            const int tile = static_cast<int>(px / kTileColumns);
            if (tile != tileAt) {
                cells = Tile(ink, static_cast<int>(py), tile) + rowAt;
                tileAt = tile;
            }
            AddTo(cells[px % kTileColumns], amount);
            inked_ = true;
        }
    }
    KeepMarks(static_cast<int>(firstRow), rectKeep_);
}

// Per ink, coverage and channel: the share of light that passes the ink.
const PageRenderer::Transmission& PageRenderer::InkTransmission() {
    static const Transmission table = [] {
        Transmission t(kInkCount * (kFull + 1));
        for (int ink = 0; ink < kInkCount; ++ink) {
            const auto color = InkColor(ink);
            for (int cover = 0; cover <= kFull; ++cover)
                for (int c = 0; c < 3; ++c)
                    t[static_cast<std::size_t>(ink * (kFull + 1) + cover)][c] =
                        1.0f - (1.0f - color[c] / 255.0f) * static_cast<float>(cover) / kFull;
        }
        return t;
    }();
    return table;
}

namespace {

// An ink's cells across a span of a row (cells[0] is the span's first
// column), and its transmission by coverage.
struct InkCells {
    const std::uint16_t* cells;
    const std::array<float, 3>* pass;
};

// The colour of a pixel: white light through each ink in turn.
inline void Filter(float* light, const std::array<float, 3>* pass, int cover) {
    const std::array<float, 3>& t = pass[std::min(cover, PageRenderer::kFull)];
    light[0] *= t[0];
    light[1] *= t[1];
    light[2] *= t[2];
    // Up to two full layers the paper takes the ink as one; more piles up and
    // prints darker (three passes over one spot, as where two bands overlap).
    if (cover > 2 * PageRenderer::kFull) {
        const std::array<float, 3>& extra = pass[std::min(cover - 2 * PageRenderer::kFull, PageRenderer::kFull)];
        light[0] *= extra[0];
        light[1] *= extra[1];
        light[2] *= extra[2];
    }
}

// Composes `n` pixels into out (white already) from the inks that have
// cells there. Patches and bars are runs of one coverage: a pixel like the
// one before it is that colour again.
void ComposeSpan(const InkCells* inks, int count, int n, std::uint8_t* out) {
    if (count == 1) {  // most of a page: one ink
        const InkCells& ink = inks[0];
        int before = 0;  // white paper
        std::uint8_t colour[3] = {0xFF, 0xFF, 0xFF};
        for (int px = 0; px < n; ++px) {
            const int cover = ink.cells[px];
            if (cover == 0) continue;
            if (cover != before) {
                before = cover;
                float light[3] = {1.0f, 1.0f, 1.0f};
                Filter(light, ink.pass, cover);
                for (int c = 0; c < 3; ++c) colour[c] = static_cast<std::uint8_t>(255.0f * light[c] + 0.5f);
            }
            std::memcpy(out + px * 3, colour, 3);
        }
        return;
    }
    std::array<int, kInkCount> covers{};
    std::array<int, kInkCount> before{};
    bool beforeInked = false;
    bool haveBefore = false;
    for (int px = 0; px < n; ++px) {
        bool same = haveBefore;
        for (int u = 0; u < count; ++u) {
            const int cover = inks[u].cells[px];
            covers[static_cast<std::size_t>(u)] = cover;
            same = same && cover == before[static_cast<std::size_t>(u)];
        }
        if (same) {
            if (beforeInked) std::memcpy(out + px * 3, out + (px - 1) * 3, 3);
            continue;
        }
        before = covers;
        haveBefore = true;
        beforeInked = false;
        float light[3] = {1.0f, 1.0f, 1.0f};
        bool any = false;
        for (int u = 0; u < count; ++u) {
            const int cover = covers[static_cast<std::size_t>(u)];
            if (cover == 0) continue;
            any = true;
            Filter(light, inks[u].pass, cover);
        }
        if (!any) continue;
        beforeInked = true;
        for (int c = 0; c < 3; ++c) out[px * 3 + c] = static_cast<std::uint8_t>(255.0f * light[c] + 0.5f);
    }
}

// Whether n cells (at most 64) hold no ink.
inline bool BlankCells(const std::uint16_t* cells, int n) {
    static constexpr std::uint16_t kBlank[64] = {};
    return std::memcmp(cells, kBlank, static_cast<std::size_t>(n) * sizeof(std::uint16_t)) == 0;
}

}  // namespace

// One preview row as RGB: white paper, each ink filtering the light
// subtractively, a tile's width at a time.
bool PageRenderer::ComposeRow(int py, std::uint8_t* out, int* lo, int* hi) const {
    const Band& band = bands_[static_cast<std::size_t>(py / kBandRows)];
    const Transmission& table = InkTransmission();
    std::array<int, kInkCount> inks{};
    int count = 0;
    const std::uint32_t row = 1u << (py % kBandRows);
    for (int ink = 0; ink < kInkCount; ++ink)
        if (band.rows[static_cast<std::size_t>(ink)] & row) inks[static_cast<std::size_t>(count++)] = ink;
    if (count == 0) return false;
    // The tiles any ink has.
    int first = tilesAcross_, last = -1;
    for (int u = 0; u < count; ++u) {
        const auto ink = static_cast<std::size_t>(inks[static_cast<std::size_t>(u)]);
        first = std::min(first, band.tileBegin[ink]);
        last = std::max(last, band.tileEnd[ink] - 1);
    }
    const int from = first * kTileColumns;
    const int to = std::min(width_, (last + 1) * kTileColumns);
    if (lo) *lo = from;
    if (hi) *hi = to;
    if (from >= to) return true;
    // Only these columns are written: the caller's row is white outside them.
    std::memset(out + static_cast<std::size_t>(from) * 3, 0xFF, static_cast<std::size_t>(to - from) * 3);
    const std::size_t rowAt = static_cast<std::size_t>(py % kBandRows) * kTileColumns;
    bool inked = false;
    for (int t = first; t <= last; ++t) {
        std::array<InkCells, kInkCount> span{};
        int here = 0;
        for (int u = 0; u < count; ++u) {
            const int ink = inks[static_cast<std::size_t>(u)];
            const std::uint16_t* tile = band.tiles[static_cast<std::size_t>(ink)][static_cast<std::size_t>(t)];
            // A tile's row without ink (the rows between lines and ticks) is white paper.
            if (tile && !BlankCells(tile + rowAt, kTileColumns))
                span[static_cast<std::size_t>(here++)] =
                    InkCells{tile + rowAt, &table[static_cast<std::size_t>(ink * (kFull + 1))]};
        }
        if (here == 0) continue;
        inked = true;
        const int left = t * kTileColumns;
        ComposeSpan(span.data(), here, std::min(kTileColumns, width_ - left), out + static_cast<std::size_t>(left) * 3);
    }
    // A row of a band with ink, but none of it in this row, is white paper.
    return inked;
}

namespace {

// Whether a tile's row (kTileColumns cells) holds no ink; a whole row at
// a time, without a branch a cell.
bool AllZero(const std::uint16_t* cells) {
    unsigned any = 0;
    for (std::size_t i = 0; i < 64; ++i) any |= cells[i];
    return any == 0;
}

// Whether two tile rows hold the same coverage.
bool SameCells(const std::uint16_t* a, const std::uint16_t* b) {
    unsigned differ = 0;
    for (std::size_t i = 0; i < 64; ++i) differ |= static_cast<unsigned>(a[i] ^ b[i]);
    return differ == 0;
}

}  // namespace

// Whether row py has exactly the coverage of the row above it. An ink not
// put in a row leaves it white paper: only the inks of the two rows are
// compared, across the tiles they have.
bool PageRenderer::SameCoverage(int py) const {
    static_assert(kTileColumns == 64, "AllZero and SameCells take rows of 64 cells");
    if (sameAbove_[static_cast<std::size_t>(py)]) return true;
    const Band& band = bands_[static_cast<std::size_t>(py / kBandRows)];
    const Band& above = bands_[static_cast<std::size_t>((py - 1) / kBandRows)];
    const std::uint32_t row = 1u << (py % kBandRows);
    const std::uint32_t rowAbove = 1u << ((py - 1) % kBandRows);
    const std::size_t at = static_cast<std::size_t>(py % kBandRows) * kTileColumns;
    const std::size_t atAbove = static_cast<std::size_t>((py - 1) % kBandRows) * kTileColumns;
    for (std::size_t ink = 0; ink < static_cast<std::size_t>(kInkCount); ++ink) {
        const bool here = (band.rows[ink] & row) != 0;
        const bool there = (above.rows[ink] & rowAbove) != 0;
        if (!here && !there) continue;
        if (here != there) {
            // The same only if the row the ink was put in holds none of it after all.
            const Band& inked = here ? band : above;
            const std::size_t rowAt = here ? at : atAbove;
            for (int t = inked.tileBegin[ink]; t < inked.tileEnd[ink]; ++t) {
                const std::uint16_t* cells = inked.tiles[ink][static_cast<std::size_t>(t)];
                if (cells && !AllZero(cells + rowAt)) return false;
            }
            continue;
        }
        const auto& tiles = band.tiles[ink];
        const auto& tilesAbove = above.tiles[ink];
        const int begin = std::min(band.tileBegin[ink], above.tileBegin[ink]);
        const int end = std::max(band.tileEnd[ink], above.tileEnd[ink]);
        for (int t = begin; t < end; ++t) {
            const std::uint16_t* a = tiles[static_cast<std::size_t>(t)];
            const std::uint16_t* b = tilesAbove[static_cast<std::size_t>(t)];
            if (a && b) {
                if (!SameCells(a + at, b + atAbove)) return false;
            } else if (a || b) {
                if (!AllZero(a ? a + at : b + atAbove)) return false;
            }
        }
    }
    return true;
}

Image PageRenderer::Compose() const {
    Image image(width_, rows_);
    image.dpi = setup_.previewDpi;
    for (int py = 0; py < rows_; ++py) ComposeRow(py, image.Row(py));
    return image;
}

namespace {

// The colours of a page, numbered in the order they are met; white paper is
// number 0. Open addressing over a table four times the largest palette.
class PaletteNumbers {
public:
    PaletteNumbers() {
        keys_.fill(kEmpty);
        Number(0xFFFFFF);
    }

    // The number of a colour (0xRRGGBB), or -1 when it would be the 257th.
    int Number(std::uint32_t rgb) {
        std::size_t slot = (rgb * 2654435761u) >> (32 - kSlotBits);
        while (keys_[slot] != kEmpty) {
            if (keys_[slot] == rgb) return numbers_[slot];
            slot = (slot + 1) & (kSlots - 1);
        }
        if (colours_.size() == 256) return -1;
        keys_[slot] = rgb;
        numbers_[slot] = static_cast<std::uint8_t>(colours_.size());
        colours_.push_back({static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                            static_cast<std::uint8_t>(rgb)});
        return numbers_[slot];
    }

    const std::vector<PngStream::Colour>& Colours() const { return colours_; }

private:
    static constexpr int kSlotBits = 10;
    static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    std::array<std::uint32_t, kSlots> keys_;
    std::array<std::uint8_t, kSlots> numbers_{};
    std::vector<PngStream::Colour> colours_;
};

}  // namespace

// A printed page holds a few dozen colours (paper, the inks, where they
// overlap, and the partial coverage at the edges of dots), so it is written
// with a palette: a third of the bytes an RGB image has to deflate, and
// fewer where a handful of colours need fewer bits per pixel. Each distinct
// row is composed once and kept as palette numbers until the palette is
// known; a page of more than 256 colours, or with more distinct rows than
// kMaxNumbered holds (a sheet at a high preview resolution), is written as
// RGB instead, a row at a time.
bool PageRenderer::WritePng(const std::string& path, std::string* error) const {
    static constexpr std::size_t kMaxNumbered = std::size_t{32} << 20;
    const std::size_t width = static_cast<std::size_t>(width_);
    // Kept from page to page, so the rows of the next page need no fresh memory.
    static thread_local std::vector<std::uint8_t> numbered;
    numbered.clear();
    std::vector<std::int32_t> rowAt(static_cast<std::size_t>(rows_), -1);  // -1: white paper
    std::vector<std::uint8_t> rgb(width * 3);
    PaletteNumbers palette;
    for (int py = 0; py < rows_; ++py) {
        // Solid patches and bars repeat row after row: the row above again, without compositing.
        if (py > 0 && SameCoverage(py)) {
            rowAt[static_cast<std::size_t>(py)] = rowAt[static_cast<std::size_t>(py - 1)];
            continue;
        }
        int lo = 0, hi = 0;
        if (!ComposeRow(py, rgb.data(), &lo, &hi)) continue;
        const std::size_t at = numbered.size();
        if (at + width > kMaxNumbered) return WriteRgbPng(path, error);
        numbered.resize(at + width);
        std::uint8_t* out = numbered.data() + at;
        // White paper is number 0 (resize gave zeros), and the row is white outside [lo, hi).
        std::uint32_t last = 0xFFFFFFFFu;
        int number = 0;
        for (std::size_t px = static_cast<std::size_t>(lo); px < static_cast<std::size_t>(hi); ++px) {
            const std::uint8_t* pixel = &rgb[px * 3];
            const std::uint32_t colour = std::uint32_t{pixel[0]} << 16 | std::uint32_t{pixel[1]} << 8 | pixel[2];
            if (colour != last) {
                number = palette.Number(colour);
                if (number < 0) return WriteRgbPng(path, error);
                last = colour;
            }
            out[px] = static_cast<std::uint8_t>(number);
        }
        rowAt[static_cast<std::size_t>(py)] = static_cast<std::int32_t>(at / width);
    }
    PngStream png;
    png.SetDpi(setup_.previewDpi);
    if (!png.OpenIndexed(path, width_, rows_, palette.Colours(), error)) return false;
    const std::vector<std::uint8_t> paper(width, 0);
    for (int py = 0; py < rows_; ++py) {
        const std::int32_t row = rowAt[static_cast<std::size_t>(py)];
        if (py > 0 && row == rowAt[static_cast<std::size_t>(py - 1)])
            png.RepeatIndexRow();
        else
            png.IndexRow(row < 0 ? paper.data() : numbered.data() + static_cast<std::size_t>(row) * width);
    }
    return png.Close(error);
}

bool PageRenderer::WriteRgbPng(const std::string& path, std::string* error) const {
    PngStream png;
    png.SetDpi(setup_.previewDpi);
    if (!png.Open(path, width_, rows_, error)) return false;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width_) * 3);
    bool white = false;
    for (int py = 0; py < rows_; ++py) {
        // Solid patches and bars repeat row after row: the last row again, without compositing.
        if (py > 0 && !white && SameCoverage(py)) {
            png.Row(row.data());  // the row buffer still holds it
            continue;
        }
        std::fill(row.begin(), row.end(), std::uint8_t{0xFF});
        white = !ComposeRow(py, row.data());
        if (white)
            png.WhiteRow();
        else
            png.Row(row.data());
    }
    return png.Close(error);
}

}  // namespace vp
