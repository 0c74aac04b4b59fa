// What has been printed on one sheet, kept as the head laid it down: raster
// lines and filled rectangles in master units (1/14400 inch), in order. The
// sheet is drawn only when it is ejected, by replaying the record into a
// PageRenderer at the resolution the page needs (PagePlan.h), so the engine
// that takes the job's bytes only copies them, and the drawing can run on
// another thread.
//
// The record keeps the raster data as it came (line by line, trailing white
// bytes dropped, a line equal to the one before stored once). A sheet whose
// data outgrows kMaxBytes is drawn as it goes instead, at the setup's
// resolution (180 dpi when each page chooses its own), as the engine always
// did: memory stays bounded whatever a job sends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "vprinter/engine/PageRenderer.h"

namespace vp {

// A part of the sheet from its top-left corner: [left, right) x [top, bottom), master units.
struct SheetArea {
    std::int64_t left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
};

class SheetRecord {
public:
    // What the record holds (raster data and the list of what was placed)
    // before the sheet is drawn as it goes.
    static constexpr std::size_t kMaxBytes = std::size_t{192} << 20;

    explicit SheetRecord(const PageSetup& setup = {}, std::size_t maxBytes = kMaxBytes);
    ~SheetRecord();
    SheetRecord(const SheetRecord&) = delete;
    SheetRecord& operator=(const SheetRecord&) = delete;

    // As PageRenderer::PlaceLine: returns the ink laid down, in thirds of a
    // largest dot; dots off the sheet are counted in ClippedDots().
    std::uint64_t PlaceLine(int ink, std::int64_t x, std::int64_t y, int pitchX, int pitchY, int bitsPerPixel,
                            const std::uint8_t* data, std::size_t n);
    // As PageRenderer::FillRect.
    void FillRect(int ink, std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height, double density);
    // Drawing that is done on the page itself when it is drawn (at its
    // resolution); it puts `ink` within `area` and nowhere else (the page's
    // plan counts the coverage it needs from that).
    void Draw(std::function<void(PageRenderer&)> draw, int ink, const SheetArea& area);

    // What the print on the sheet needs to be read: one step of an
    // adjustment moves it by 1/dpi inch. The engine notes it as it prints
    // (Needs(): each resolution noted, finest first).
    void Need(int dpi);
    const std::vector<int>& Needs() const { return needs_; }

    bool Inked() const { return inked_; }
    // Empties the sheet; its memory is kept for the next one.
    void Clear();
    // A sheet cut from the roll is shorter: it ends `master` units from its top.
    void SetLength(std::int64_t master);
    std::int64_t Length() const { return length_; }

    const PageSetup& Setup() const { return setup_; }
    std::int64_t WidthMaster() const { return widthMaster_; }
    std::int64_t HeightMaster() const { return heightMaster_; }
    // Device dots that fell outside the sheet since the last Clear().
    std::uint64_t ClippedDots() const { return clipped_; }
    // Where ink may lie, clipped to the sheet (empty when nothing was inked).
    SheetArea InkArea() const;
    // Inks and rows the sheet's print touches: calls `touch(ink, top, bottom)`
    // for each piece, master units.
    void ForEachBand(const std::function<void(int ink, std::int64_t top, std::int64_t bottom)>& touch) const;

    // Draws everything recorded, in order, onto `page`.
    void Replay(PageRenderer& page) const;
    // The page drawn as the print went, once the data outgrew kMaxBytes (else null).
    const PageRenderer* Drawn() const { return drawn_.get(); }
    std::size_t MemoryBytes() const;

private:
    struct Op {
        enum Kind : std::uint8_t { kLine, kRect, kDraw } kind;
        std::int8_t ink;
        std::int8_t bitsPerPixel;
        int pitchX, pitchY;
        std::int64_t x, y;
        std::int64_t width, height;  // rectangles; lines: the bytes held
        double density;
        std::size_t at;  // lines: offset of the data; kDraw: index in draws_
    };
    const std::uint8_t* Data(std::size_t at) const;
    std::size_t Store(const std::uint8_t* data, std::size_t n);
    void Extend(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom);
    void DrawAsItGoes();
    void KeepWithinBounds();

    static constexpr std::size_t kChunk = std::size_t{1} << 20;
    PageSetup setup_;
    std::size_t maxBytes_ = kMaxBytes;
    std::int64_t widthMaster_ = 0, heightMaster_ = 0, length_ = 0;
    std::vector<Op> ops_;
    std::vector<std::unique_ptr<std::uint8_t[]>> chunks_;
    std::size_t used_ = 0;  // bytes used, chunk by chunk
    std::vector<std::function<void(PageRenderer&)>> draws_;
    std::size_t lastLine_ = 0, lastBytes_ = 0;
    bool haveLast_ = false;
    SheetArea ink_;
    std::vector<int> needs_;
    bool inked_ = false;
    std::uint64_t clipped_ = 0;
    std::unique_ptr<PageRenderer> drawn_;
};

}  // namespace vp
