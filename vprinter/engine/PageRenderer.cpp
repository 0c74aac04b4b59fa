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

// Coverage planes go back to a pool the process keeps when a sheet is done,
// and the next sheets take them from there. Memory fresh from the system
// costs a page fault for every 4 KiB first touched, which on a virtual
// machine is dearer than clearing a plane that was used before (a sheet
// with a few bands of ink spent a third of its time on them). The pool is
// shared by every renderer and keeps at most 48 MiB, more than the planes of
// a well-covered A3+ sheet at 180 dpi (about 18 MB).
class PlanePool {
public:
    struct Taken {
        CoveragePlane cells;
        std::size_t capacity = 0;
    };

    // `count` zeroed cells: a plane given back that holds at least that many
    // and not more than twice (the smallest such), else fresh memory.
    Taken Take(std::size_t count) {
        Taken taken;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto best = free_.end();
            for (auto it = free_.begin(); it != free_.end(); ++it)
                if (it->first >= count && it->first / 2 <= count && (best == free_.end() || it->first < best->first))
                    best = it;
            if (best != free_.end()) {
                taken.capacity = best->first;
                taken.cells = std::move(best->second);
                free_.erase(best);
                bytes_ -= taken.capacity * sizeof(std::uint16_t);
            }
        }
        if (!taken.cells) {
            taken.cells.reset(static_cast<std::uint16_t*>(std::calloc(count, sizeof(std::uint16_t))));
            if (!taken.cells) throw std::bad_alloc();
            taken.capacity = count;
            return taken;
        }
        std::memset(taken.cells.get(), 0, count * sizeof(std::uint16_t));
        return taken;
    }

    void Give(CoveragePlane plane, std::size_t capacity) {
        if (!plane) return;
        const std::size_t bytes = capacity * sizeof(std::uint16_t);
        std::lock_guard<std::mutex> lock(mutex_);
        if (bytes_ + bytes > kMaxBytes) return;  // freed here, outside the pool
        free_.emplace_back(capacity, std::move(plane));
        bytes_ += bytes;
    }

private:
    static constexpr std::size_t kMaxBytes = std::size_t{48} << 20;
    std::mutex mutex_;
    std::vector<std::pair<std::size_t, CoveragePlane>> free_;
    std::size_t bytes_ = 0;
};

PlanePool& Pool() {
    static PlanePool pool;
    return pool;
}

}  // namespace

std::array<std::uint8_t, 3> InkColor(int ink) {
    switch (ink) {
    case kBlack: return {20, 20, 20};
    case kCyan: return {0, 160, 230};
    case kMagenta: return {230, 0, 126};
    case kYellow: return {255, 230, 0};
    case kLightCyan: return {150, 215, 245};
    case kLightMagenta: return {245, 160, 205};
    default: return {120, 120, 120};  // gray
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
    rows_ = height_;
}

PageRenderer::PageRenderer(const PageSetup& setup, std::int64_t widthMaster, std::int64_t heightMaster)
    : PageRenderer(setup) {
    widthMaster_ = std::clamp<std::int64_t>(widthMaster, 1, widthMaster_);
    heightMaster_ = std::clamp<std::int64_t>(heightMaster, 1, heightMaster_);
    width_ = static_cast<int>((widthMaster_ + box_ - 1) / box_);
    height_ = static_cast<int>((heightMaster_ + box_ - 1) / box_);
    bands_.clear();
    bands_.resize(static_cast<std::size_t>((height_ + kBandRows - 1) / kBandRows));
    rows_ = height_;
}

void PageRenderer::SetLength(std::int64_t master) {
    const std::int64_t rows = (std::clamp<std::int64_t>(master, 1, heightMaster_) + box_ - 1) / box_;
    rows_ = static_cast<int>(std::min<std::int64_t>(rows, height_));
}

PageRenderer::~PageRenderer() { Clear(); }

void PageRenderer::Clear() {
    for (Band& band : bands_)
        for (Plane& plane : band.planes) {
            Pool().Give(std::move(plane.cells), plane.capacity);
            plane = Plane{};
        }
    inked_ = false;
    clipped_ = 0;
    rows_ = height_;
}

std::size_t PageRenderer::MemoryBytes() const {
    std::size_t cells = 0;
    for (const Band& band : bands_)
        for (const Plane& plane : band.planes) cells += plane.cells ? plane.capacity : 0;
    return cells * sizeof(std::uint16_t) + dotPixel_.capacity() * sizeof(std::int32_t);
}

// A plane is made for the columns first inked in its band and widened when
// ink lands beside them, by half as much again, so that a band filled a
// block at a time is copied only a few times.
void PageRenderer::Widen(Plane& plane, int lo, int hi) {
    lo = std::max(lo, 0);
    hi = std::min(hi, width_);
    int from = 0, to = 0;
    if (!plane.cells) {
        from = lo & ~31;
        to = std::min(width_, (hi + 31) & ~31);
    } else {
        from = std::min(lo, plane.x0);
        to = std::max(hi, plane.x1);
        const int slack = std::max(64, (to - from) / 2);
        if (from < plane.x0) from = std::max(0, from - slack);
        if (to > plane.x1) to = std::min(width_, to + slack);
    }
    const std::size_t stride = static_cast<std::size_t>(to - from);
    PlanePool::Taken taken = Pool().Take(stride * kBandRows);
    if (plane.cells) {
        const std::size_t old = plane.Stride();
        const std::size_t shift = static_cast<std::size_t>(plane.x0 - from);
        for (std::size_t r = 0; r < static_cast<std::size_t>(kBandRows); ++r)
            std::memcpy(taken.cells.get() + r * stride + shift, plane.cells.get() + r * old, old * sizeof(std::uint16_t));
        Pool().Give(std::move(plane.cells), plane.capacity);
    }
    plane.cells = std::move(taken.cells);
    plane.capacity = taken.capacity;
    plane.x0 = from;
    plane.x1 = to;
}

std::uint16_t* PageRenderer::Row(int ink, int py, int lo, int hi, int* x0) {
    Plane& plane = bands_[static_cast<std::size_t>(py / kBandRows)].planes[static_cast<std::size_t>(ink)];
    if (!plane.cells || lo < plane.x0 || hi > plane.x1) Widen(plane, lo, hi);
    *x0 = plane.x0;
    return plane.cells.get() + static_cast<std::size_t>(py % kBandRows) * plane.Stride();
}

namespace {

inline void AddTo(std::uint16_t& cell, int amount) {
    cell = static_cast<std::uint16_t>(std::min(65535, cell + amount));
}

}  // namespace

void PageRenderer::Add(int ink, int px, int py, int amount) {
    if (amount <= 0 || px < 0 || py < 0 || px >= width_ || py >= height_) return;
    int x0 = 0;
    std::uint16_t* row = Row(ink, py, px, px + 1, &x0);
    AddTo(row[px - x0], amount);
    inked_ = true;
}

int PageRenderer::Coverage(int ink, int px, int py) const {
    if (ink < 0 || ink >= kInkCount || px < 0 || py < 0 || px >= width_ || py >= height_) return 0;
    const Plane& plane = bands_[static_cast<std::size_t>(py / kBandRows)].planes[static_cast<std::size_t>(ink)];
    if (!plane.cells || px < plane.x0 || px >= plane.x1) return 0;
    return plane.cells[static_cast<std::size_t>(py % kBandRows) * plane.Stride() + static_cast<std::size_t>(px - plane.x0)];
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

std::uint64_t PageRenderer::PlaceLine(int ink, std::int64_t x, std::int64_t y, int pitchX, int pitchY,
                                      int bitsPerPixel, const std::uint8_t* data, std::size_t n) {
    const int perByte = 8 / bitsPerPixel;
    const unsigned mask = (1u << bitsPerPixel) - 1u;
    const int thirdsPerStep = bitsPerPixel == 1 ? 3 : 1;
    // A dot larger than a preview pixel is split into parts that each fit one.
    const int partsX = (pitchX + box_ - 1) / box_;
    const int partsY = (pitchY + box_ - 1) / box_;
    const double area = static_cast<double>(pitchX) * pitchY / (static_cast<double>(box_) * box_);
    std::array<int, 4> amount{};
    for (unsigned v = 1; v <= mask; ++v)
        amount[v] = static_cast<int>(std::lround(kFull * area * v / mask / (partsX * partsY)));

    std::uint64_t thirds = 0;
    std::uint64_t outside = 0;
    const bool lineOnSheet = y >= 0 && y < heightMaster_;
    const bool simple = partsX == 1 && partsY == 1;
    // The inked bytes end before `end`; the row is fetched (and its plane
    // made or widened to the line's columns) at the first dot that lands.
    std::size_t end = n;
    while (end > 0 && data[end - 1] == 0) --end;
    const std::size_t lastDot = end * static_cast<std::size_t>(perByte);  // one past
    if (lineOnSheet && simple) PreparePixelTable(x, pitchX, n * static_cast<std::size_t>(perByte));

    // The rows a dot's parts fall in, and each part's offset across.
    std::array<int, 8> partRow{};
    std::array<std::int64_t, 8> partOffset{};
    std::array<std::uint16_t*, 8> rows{};
    std::array<int, 8> rowX0{};
    int rowsOnSheet = 0;
    int lo = 0, hi = 0;  // the line's columns, for its rows
    if (lineOnSheet && !simple) {
        for (int j = 0; j < partsY && j < 8; ++j) {
            const std::int64_t py = (y + static_cast<std::int64_t>(j) * pitchY / partsY) / box_;
            if (py < height_) partRow[static_cast<std::size_t>(rowsOnSheet++)] = static_cast<int>(py);
        }
        for (int i = 0; i < partsX && i < 8; ++i)
            partOffset[static_cast<std::size_t>(i)] = static_cast<std::int64_t>(i) * pitchX / partsX;
    }
    const bool fewParts = partsX <= 8 && partsY <= 8;

    std::uint16_t* row = nullptr;
    int x0 = 0;
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
                if (row == nullptr) {
                    // Dots further on lie at this column or right of it.
                    std::size_t last = lastDot;
                    while (last > dot && dotPixel_[last - 1] < 0) --last;
                    row = Row(ink, static_cast<int>(y / box_), px, dotPixel_[last - 1] + 1, &x0);
                }
                AddTo(row[px - x0], amount[value]);
                inked_ = true;
                continue;
            }
            const std::int64_t dx = x + static_cast<std::int64_t>(dot) * pitchX;
            if (dx < 0 || dx >= widthMaster_) {
                ++outside;
                continue;
            }
            if (!fewParts) {
                for (int j = 0; j < partsY; ++j)
                    for (int i = 0; i < partsX; ++i) {
                        const std::int64_t px = (dx + static_cast<std::int64_t>(i) * pitchX / partsX) / box_;
                        const std::int64_t py = (y + static_cast<std::int64_t>(j) * pitchY / partsY) / box_;
                        Add(ink, static_cast<int>(px), static_cast<int>(py), amount[value]);
                    }
                continue;
            }
            const int part = amount[value];
            if (part <= 0 || rowsOnSheet == 0) continue;
            if (rows[0] == nullptr) {
                // From this dot's first part to the last dot's last part.
                lo = static_cast<int>(dx / box_);
                hi = static_cast<int>(std::min<std::int64_t>(
                    width_, (x + static_cast<std::int64_t>(lastDot - 1) * pitchX + partOffset[partsX - 1]) / box_ + 1));
                for (int r = 0; r < rowsOnSheet; ++r)
                    rows[static_cast<std::size_t>(r)] = Row(ink, partRow[static_cast<std::size_t>(r)], lo, hi,
                                                            &rowX0[static_cast<std::size_t>(r)]);
            }
            for (int i = 0; i < partsX; ++i) {
                const std::int64_t px = (dx + partOffset[static_cast<std::size_t>(i)]) / box_;
                if (px >= width_) continue;
                for (int r = 0; r < rowsOnSheet; ++r)
                    AddTo(rows[static_cast<std::size_t>(r)][px - rowX0[static_cast<std::size_t>(r)]], part);
                inked_ = true;
            }
        }
    }
    clipped_ += outside;
    return thirds;
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
    for (std::int64_t py = top / box_; py * box_ < bottom; ++py) {
        const std::int64_t h = std::min(bottom, (py + 1) * box_) - std::max(top, py * box_);
        std::uint16_t* row = nullptr;
        int x0 = 0;
        for (std::int64_t px = lo; px < hi; ++px) {
            const std::int64_t w = std::min(right, (px + 1) * box_) - std::max(left, px * box_);
            const int amount = static_cast<int>(std::lround(scale * w * h));
            if (amount <= 0) continue;
            if (row == nullptr) row = Row(ink, static_cast<int>(py), static_cast<int>(px), hi, &x0);
            AddTo(row[px - x0], amount);
            inked_ = true;
        }
    }
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

// One preview row as RGB: white paper, each ink filtering the light subtractively.
bool PageRenderer::ComposeRow(int py, std::uint8_t* out, int* lo, int* hi) const {
    const Band& band = bands_[static_cast<std::size_t>(py / kBandRows)];
    struct Used {
        const std::uint16_t* cells;
        int x0, x1;
        const std::array<float, 3>* pass;
    };
    std::array<Used, kInkCount> used{};
    int count = 0;
    const Transmission& table = InkTransmission();
    int from = width_, to = 0;
    for (int ink = 0; ink < kInkCount; ++ink) {
        const Plane& plane = band.planes[static_cast<std::size_t>(ink)];
        if (!plane.cells) continue;
        used[static_cast<std::size_t>(count++)] =
            Used{plane.cells.get() + static_cast<std::size_t>(py % kBandRows) * plane.Stride(), plane.x0, plane.x1,
                 &table[static_cast<std::size_t>(ink * (kFull + 1))]};
        from = std::min(from, plane.x0);
        to = std::max(to, plane.x1);
    }
    if (count == 0) return false;
    // Only the columns the inks reach are written: the caller's row is white
    // outside them (a fresh image, or a row it whitened).
    std::memset(out + static_cast<std::size_t>(from) * 3, 0xFF, static_cast<std::size_t>(to - from) * 3);
    if (lo) *lo = from;
    if (hi) *hi = to;
    // Patches and bars are runs of one coverage: a pixel like the one before
    // it is that pixel again.
    if (count == 1) {  // most rows: one ink
        const Used& ink = used[0];
        int before = 0;  // white paper
        std::uint8_t colour[3] = {0xFF, 0xFF, 0xFF};
        for (int px = ink.x0; px < ink.x1; ++px) {
            const int cover = ink.cells[px - ink.x0];
            if (cover == 0) continue;
            if (cover != before) {
                before = cover;
                float light[3] = {1.0f, 1.0f, 1.0f};
                const std::array<float, 3>& t = ink.pass[std::min(cover, kFull)];
                light[0] *= t[0];
                light[1] *= t[1];
                light[2] *= t[2];
                if (cover > 2 * kFull) {
                    const std::array<float, 3>& extra = ink.pass[std::min(cover - 2 * kFull, kFull)];
                    light[0] *= extra[0];
                    light[1] *= extra[1];
                    light[2] *= extra[2];
                }
                for (int c = 0; c < 3; ++c) colour[c] = static_cast<std::uint8_t>(255.0f * light[c] + 0.5f);
            }
            std::memcpy(out + px * 3, colour, 3);
        }
        return true;
    }
    std::array<int, kInkCount> covers{};
    std::array<int, kInkCount> before{};
    bool beforeInked = false;
    bool haveBefore = false;
    for (int px = from; px < to; ++px) {
        bool same = haveBefore;
        for (int u = 0; u < count; ++u) {
            const Used& ink = used[static_cast<std::size_t>(u)];
            const int cover = px < ink.x0 || px >= ink.x1 ? 0 : ink.cells[px - ink.x0];
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
            const Used& ink = used[static_cast<std::size_t>(u)];
            const int cover = covers[static_cast<std::size_t>(u)];
            if (cover == 0) continue;
            any = true;
            const std::array<float, 3>& t = ink.pass[std::min(cover, kFull)];
            light[0] *= t[0];
            light[1] *= t[1];
            light[2] *= t[2];
            // Up to two full layers the paper takes the ink as one; more piles
            // up and prints darker (three passes over one spot, as where two
            // bands overlap).
            if (cover > 2 * kFull) {
                const std::array<float, 3>& extra = ink.pass[std::min(cover - 2 * kFull, kFull)];
                light[0] *= extra[0];
                light[1] *= extra[1];
                light[2] *= extra[2];
            }
        }
        if (!any) continue;
        beforeInked = true;
        for (int c = 0; c < 3; ++c) out[px * 3 + c] = static_cast<std::uint8_t>(255.0f * light[c] + 0.5f);
    }
    return true;
}

namespace {

bool AllZero(const std::uint16_t* cells, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
        if (cells[i] != 0) return false;
    return true;
}

// Whether two rows of coverage, holding columns [a0, a1) and [b0, b1), are
// the same across the sheet (zero where a row holds nothing).
bool SameCells(const std::uint16_t* a, int a0, int a1, const std::uint16_t* b, int b0, int b1) {
    if (a0 == b0 && a1 == b1)
        return std::memcmp(a, b, static_cast<std::size_t>(a1 - a0) * sizeof(std::uint16_t)) == 0;
    const int from = std::max(a0, b0), to = std::min(a1, b1);
    if (from >= to)
        return AllZero(a, static_cast<std::size_t>(a1 - a0)) && AllZero(b, static_cast<std::size_t>(b1 - b0));
    return std::memcmp(a + (from - a0), b + (from - b0), static_cast<std::size_t>(to - from) * sizeof(std::uint16_t)) == 0 &&
           AllZero(a, static_cast<std::size_t>(from - a0)) && AllZero(a + (to - a0), static_cast<std::size_t>(a1 - to)) &&
           AllZero(b, static_cast<std::size_t>(from - b0)) && AllZero(b + (to - b0), static_cast<std::size_t>(b1 - to));
}

}  // namespace

// Whether row py has exactly the coverage of the row above it.
bool PageRenderer::SameCoverage(int py) const {
    const Band& band = bands_[static_cast<std::size_t>(py / kBandRows)];
    const Band& above = bands_[static_cast<std::size_t>((py - 1) / kBandRows)];
    const std::size_t at = static_cast<std::size_t>(py % kBandRows);
    const std::size_t atAbove = static_cast<std::size_t>((py - 1) % kBandRows);
    for (int ink = 0; ink < kInkCount; ++ink) {
        const Plane& plane = band.planes[static_cast<std::size_t>(ink)];
        const Plane& planeAbove = above.planes[static_cast<std::size_t>(ink)];
        if (!plane.cells && !planeAbove.cells) continue;
        if (!plane.cells || !planeAbove.cells) return false;
        if (!SameCells(plane.cells.get() + at * plane.Stride(), plane.x0, plane.x1,
                       planeAbove.cells.get() + atAbove * planeAbove.Stride(), planeAbove.x0, planeAbove.x1))
            return false;
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
