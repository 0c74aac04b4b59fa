#include "vprinter/engine/SheetRecord.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace vp {

namespace {

// Per bits per pixel (1, 2; 4 and 8 are not sent by the printer's job
// language but are read the same way), the sum of the dot values in a byte.
const std::array<std::uint8_t, 256>& ValueSums(int bitsPerPixel) {
    static const auto make = [](int bits) {
        std::array<std::uint8_t, 256> sums{};
        const unsigned mask = (1u << bits) - 1u;
        for (unsigned byte = 0; byte < 256; ++byte) {
            unsigned sum = 0;
            for (int k = 0; k < 8 / bits; ++k) sum += (byte >> (k * bits)) & mask;
            sums[byte] = static_cast<std::uint8_t>(sum);
        }
        return sums;
    };
    static const std::array<std::uint8_t, 256> one = make(1), two = make(2), four = make(4), eight = make(8);
    switch (bitsPerPixel) {
        case 1:
            return one;
        case 2:
            return two;
        case 4:
            return four;
        default:
            return eight;
    }
}

// Inked dots (value other than 0) among dots [first, last) of a line.
std::uint64_t InkedDots(const std::uint8_t* data, int bitsPerPixel, std::size_t first, std::size_t last) {
    const int perByte = 8 / bitsPerPixel;
    const unsigned mask = (1u << bitsPerPixel) - 1u;
    std::uint64_t count = 0;
    for (std::size_t dot = first; dot < last; ++dot) {
        const unsigned byte = data[dot / static_cast<std::size_t>(perByte)];
        const int k = static_cast<int>(dot % static_cast<std::size_t>(perByte));
        if ((byte >> (8 - bitsPerPixel * (k + 1))) & mask) ++count;
    }
    return count;
}

// Whether dot i of a line is inked.
bool DotInked(const std::uint8_t* data, int bitsPerPixel, std::size_t i) {
    const int perByte = 8 / bitsPerPixel;
    const unsigned byte = data[i / static_cast<std::size_t>(perByte)];
    const int k = static_cast<int>(i % static_cast<std::size_t>(perByte));
    return ((byte >> (8 - bitsPerPixel * (k + 1))) & ((1u << bitsPerPixel) - 1u)) != 0;
}

}  // namespace

SheetRecord::SheetRecord(const PageSetup& setup, std::size_t maxBytes) : setup_(setup), maxBytes_(maxBytes) {
    widthMaster_ = std::llround(setup.widthMm / 25.4 * kMasterPerInch);
    heightMaster_ = std::llround(setup.heightMm / 25.4 * kMasterPerInch);
    length_ = heightMaster_;
}

SheetRecord::~SheetRecord() = default;

void SheetRecord::Clear() {
    ops_.clear();
    draws_.clear();
    used_ = 0;
    haveLast_ = false;
    ink_ = {};
    needs_.clear();
    inked_ = false;
    clipped_ = 0;
    length_ = heightMaster_;
    drawn_.reset();
}

void SheetRecord::SetLength(std::int64_t master) {
    length_ = std::clamp<std::int64_t>(master, 1, heightMaster_);
    if (drawn_) drawn_->SetLength(length_);
}

void SheetRecord::Need(int dpi) {
    if (std::find(needs_.begin(), needs_.end(), dpi) != needs_.end()) return;
    needs_.push_back(dpi);
    std::sort(needs_.begin(), needs_.end(), std::greater<>());
}

const std::uint8_t* SheetRecord::Data(std::size_t at) const { return chunks_[at / kChunk].get() + at % kChunk; }

// Keeps n bytes (at most a chunk) in one piece; returns where.
std::size_t SheetRecord::Store(const std::uint8_t* data, std::size_t n) {
    if (used_ % kChunk + n > kChunk) used_ = (used_ / kChunk + 1) * kChunk;  // the rest of this chunk stays unused
    // Not cleared: only the bytes stored here are ever read, and a job of a
    // few kilobytes touches a few pages of the chunk, not all 256 of them.
    if (used_ / kChunk >= chunks_.size()) chunks_.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(kChunk));
    const std::size_t at = used_;
    std::memcpy(chunks_[at / kChunk].get() + at % kChunk, data, n);
    used_ += n;
    return at;
}

void SheetRecord::Extend(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min(right, widthMaster_);
    bottom = std::min(bottom, heightMaster_);
    if (right <= left || bottom <= top) return;
    if (!inked_) {
        ink_ = {left, top, right, bottom};
    } else {
        ink_.left = std::min(ink_.left, left);
        ink_.top = std::min(ink_.top, top);
        ink_.right = std::max(ink_.right, right);
        ink_.bottom = std::max(ink_.bottom, bottom);
    }
    inked_ = true;
}

SheetArea SheetRecord::InkArea() const {
    if (!inked_) return {};
    SheetArea area = ink_;
    area.bottom = std::min(area.bottom, length_);
    return area;
}

std::uint64_t SheetRecord::PlaceLine(int ink, std::int64_t x, std::int64_t y, int pitchX, int pitchY, int bitsPerPixel,
                                     const std::uint8_t* data, std::size_t n) {
    // What the line lays down, and which of its dots miss the sheet.
    const auto& sums = ValueSums(bitsPerPixel);
    const int perByte = 8 / bitsPerPixel;
    std::uint64_t values = 0;
    std::size_t first = n, end = 0;  // the inked bytes lie in [first, end)
    for (std::size_t b = 0; b < n; ++b) {
        if (data[b] == 0) continue;
        values += sums[data[b]];
        if (first == n) first = b;
        end = b + 1;
    }
    const std::uint64_t thirds = values * (bitsPerPixel == 1 ? 3u : 1u);
    if (end == 0) return 0;
    const std::size_t dots = end * static_cast<std::size_t>(perByte);
    if (y < 0 || y >= heightMaster_) {
        clipped_ += InkedDots(data, bitsPerPixel, 0, dots);
        return thirds;
    }
    // Dots [lo, hi) have their origin on the sheet.
    const std::int64_t pitch = pitchX;
    const std::int64_t lo = x >= 0 ? 0 : (-x + pitch - 1) / pitch;
    const std::int64_t hi = x >= widthMaster_ ? 0 : (widthMaster_ - x + pitch - 1) / pitch;
    const std::size_t onFrom =
        static_cast<std::size_t>(std::clamp<std::int64_t>(lo, 0, static_cast<std::int64_t>(dots)));
    const std::size_t onTo = static_cast<std::size_t>(std::clamp<std::int64_t>(hi, 0, static_cast<std::int64_t>(dots)));
    if (onFrom >= onTo) {
        clipped_ += InkedDots(data, bitsPerPixel, 0, dots);
        return thirds;
    }
    clipped_ += InkedDots(data, bitsPerPixel, 0, onFrom) + InkedDots(data, bitsPerPixel, onTo, dots);
    // The inked dots on the sheet reach from firstDot to lastDot.
    std::size_t firstDot = std::max(first * static_cast<std::size_t>(perByte), onFrom);
    while (firstDot < onTo && !DotInked(data, bitsPerPixel, firstDot)) ++firstDot;
    std::size_t lastDot = onTo;
    while (lastDot > firstDot && !DotInked(data, bitsPerPixel, lastDot - 1)) --lastDot;
    if (firstDot < lastDot)
        Extend(x + static_cast<std::int64_t>(firstDot) * pitch, y, x + static_cast<std::int64_t>(lastDot) * pitch,
               y + pitchY);

    if (drawn_) {
        drawn_->PlaceLine(ink, x, y, pitchX, pitchY, bitsPerPixel, data, end);
        return thirds;
    }
    // A line like the one before (solid blocks, repeated runs) shares its bytes.
    std::size_t at = 0;
    if (haveLast_ && lastBytes_ == end && std::memcmp(Data(lastLine_), data, end) == 0) {
        at = lastLine_;
    } else {
        at = Store(data, end);
        lastLine_ = at;
        lastBytes_ = end;
        haveLast_ = true;
    }
    ops_.push_back(Op{Op::kLine, static_cast<std::int8_t>(ink), static_cast<std::int8_t>(bitsPerPixel), pitchX, pitchY,
                      x, y, static_cast<std::int64_t>(end), 0, 0.0, at});
    KeepWithinBounds();
    return thirds;
}

void SheetRecord::FillRect(int ink, std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height,
                           double density) {
    if (density <= 0 || width <= 0 || height <= 0) return;
    Extend(x, y, x + width, y + height);
    if (drawn_) return drawn_->FillRect(ink, x, y, width, height, density);
    ops_.push_back(Op{Op::kRect, static_cast<std::int8_t>(ink), 0, 0, 0, x, y, width, height, density, 0});
    KeepWithinBounds();
}

void SheetRecord::Draw(std::function<void(PageRenderer&)> draw, int ink, const SheetArea& area) {
    if (!draw) return;
    Extend(area.left, area.top, area.right, area.bottom);
    if (drawn_) return draw(*drawn_);
    draws_.push_back(std::move(draw));
    ops_.push_back(Op{Op::kDraw, static_cast<std::int8_t>(ink), 0, 0, 0, area.left, area.top, area.right - area.left,
                      area.bottom - area.top, 0.0, draws_.size() - 1});
    KeepWithinBounds();
}

// The data and the list of what was placed count alike: a job of many tiny
// lines or text marks is bounded as one of long lines.
void SheetRecord::KeepWithinBounds() {
    if (used_ + ops_.size() * sizeof(Op) > maxBytes_) DrawAsItGoes();
}

void SheetRecord::Replay(PageRenderer& page) const {
    for (const Op& op : ops_) {
        switch (op.kind) {
            case Op::kLine:
                page.PlaceLine(op.ink, op.x, op.y, op.pitchX, op.pitchY, op.bitsPerPixel, Data(op.at),
                               static_cast<std::size_t>(op.width));
                break;
            case Op::kRect:
                page.FillRect(op.ink, op.x, op.y, op.width, op.height, op.density);
                break;
            case Op::kDraw:
                draws_[op.at](page);
                break;
        }
    }
}

void SheetRecord::ForEachBand(const std::function<void(int, std::int64_t, std::int64_t)>& touch) const {
    for (const Op& op : ops_) {
        switch (op.kind) {
            case Op::kLine:
                touch(op.ink, op.y, op.y + op.pitchY);
                break;
            case Op::kRect:
                touch(op.ink, op.y, op.y + op.height);
                break;
            case Op::kDraw:
                touch(op.ink, op.y, op.y + op.height);
                break;
        }
    }
}

// The data outgrew what the sheet may hold: from here on the sheet is drawn
// as the print goes, at the resolution the setup names (180 dpi when each
// page would choose its own).
void SheetRecord::DrawAsItGoes() {
    PageSetup setup = setup_;
    if (setup.previewDpi <= 0) setup.previewDpi = 180;
    drawn_ = std::make_unique<PageRenderer>(setup);
    Replay(*drawn_);
    drawn_->SetLength(length_);
    ops_.clear();
    ops_.shrink_to_fit();
    draws_.clear();
    chunks_.clear();
    used_ = 0;
    haveLast_ = false;
}

std::size_t SheetRecord::MemoryBytes() const {
    return chunks_.size() * kChunk + ops_.capacity() * sizeof(Op) + (drawn_ ? drawn_->MemoryBytes() : 0);
}

}  // namespace vp
