#include "vprinter/panel/PageReader.h"

#include <QFile>

#include <spng.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vp::panel {

namespace {

// Where the pixels of each interlace pass lie in a row: x0, x0 + dx, ...
struct Pass {
    int x0;
    int dx;
};
constexpr Pass kAdam7[7] = {{0, 8}, {4, 8}, {0, 4}, {2, 4}, {0, 2}, {1, 2}, {0, 1}};

// A PNG file decoded row by row into 8-bit RGB.
class PngRows {
public:
    ~PngRows() {
        if (ctx_) spng_ctx_free(ctx_);
        if (file_) std::fclose(file_);
    }

    bool Open(const QString& path, PageImage* out) {
        file_ = std::fopen(QFile::encodeName(path).constData(), "rb");
        if (!file_) {
            const int error = errno;
            out->error = QString::fromLocal8Bit(std::strerror(error));
            out->unfinished = error == ENOENT;
            return false;
        }
        ctx_ = spng_ctx_new(0);
        if (!ctx_) return Fail(SPNG_EMEM, out);
        int r = spng_set_png_file(ctx_, file_);
        spng_ihdr ihdr{};
        if (r == 0) r = spng_get_ihdr(ctx_, &ihdr);
        if (r != 0) return Fail(r, out);
        width_ = static_cast<int>(std::min<std::uint32_t>(ihdr.width, INT32_MAX));
        height_ = static_cast<int>(std::min<std::uint32_t>(ihdr.height, INT32_MAX));
        interlaced_ = ihdr.interlace_method != SPNG_INTERLACE_NONE;
        out->pageSize = QSize(width_, height_);
        if (width_ > kMaxPageWidth) {
            out->error =
                QStringLiteral("%1 pixels wide, more than the panel reads (%2)").arg(width_).arg(kMaxPageWidth);
            return false;
        }
        // Palette rows (the printer's pages) come as indices and are looked
        // up here: several times faster than the library's conversion.
        int format = SPNG_FMT_RGB8;
        spng_plte plte{};
        if (ihdr.color_type == SPNG_COLOR_TYPE_INDEXED && !interlaced_ && spng_get_plte(ctx_, &plte) == 0) {
            lut_.fill(0);  // an index past the palette is black
            for (std::uint32_t i = 0; i < plte.n_entries && i < 256; ++i) {
                lut_[i * 3] = plte.entries[i].red;
                lut_[i * 3 + 1] = plte.entries[i].green;
                lut_[i * 3 + 2] = plte.entries[i].blue;
            }
            depth_ = ihdr.bit_depth;
            format = SPNG_FMT_PNG;
            indices_.resize((static_cast<std::size_t>(width_) * static_cast<std::size_t>(depth_) + 7) / 8);
        }
        r = spng_decode_image(ctx_, nullptr, 0, format, SPNG_DECODE_PROGRESSIVE);
        if (r != 0) return Fail(r, out);
        row_.resize(static_cast<std::size_t>(width_) * 3);
        return true;
    }

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Interlaced() const { return interlaced_; }

    // Decodes rows until row `last` is complete, handing each to
    // fn(y, rgb, pass): rgb holds the pixels of `pass` at their places.
    template <typename Fn>
    bool Walk(int last, const std::atomic_bool& cancel, PageImage* out, Fn&& fn) {
        for (;;) {
            if (cancel.load(std::memory_order_relaxed)) {
                out->cancelled = true;
                return false;
            }
            spng_row_info info{};
            int r = spng_get_row_info(ctx_, &info);
            if (r == SPNG_EOI) return true;
            if (r != 0) return Fail(r, out);
            const int y = static_cast<int>(info.row_num);
            // Rows come in file order: without interlacing nothing below `last` is needed.
            if (!interlaced_ && y > last) return true;
            r = indices_.empty() ? spng_decode_row(ctx_, row_.data(), row_.size())
                                 : spng_decode_row(ctx_, indices_.data(), indices_.size());
            if (r != 0 && r != SPNG_EOI) return Fail(r, out);
            if (!indices_.empty()) LookUp();
            const Pass pass = interlaced_ ? kAdam7[std::clamp(info.pass, 0, 6)] : Pass{0, 1};
            if (y <= last) fn(y, row_.data(), pass);
            if (r == SPNG_EOI) return true;
        }
    }

private:
    // The row of palette indices (1, 2, 4 or 8 bits, leftmost pixel in the
    // highest bits) as RGB.
    void LookUp() {
        std::uint8_t* rgb = row_.data();
        if (depth_ == 8) {
            for (int x = 0; x < width_; ++x, rgb += 3)
                std::memcpy(rgb, &lut_[indices_[static_cast<std::size_t>(x)] * 3u], 3);
            return;
        }
        const int perByte = 8 / depth_;
        const unsigned mask = (1u << depth_) - 1;
        for (int x = 0; x < width_; ++x, rgb += 3) {
            const unsigned shift = static_cast<unsigned>((perByte - 1 - x % perByte) * depth_);
            const unsigned index = (indices_[static_cast<std::size_t>(x / perByte)] >> shift) & mask;
            std::memcpy(rgb, &lut_[index * 3], 3);
        }
    }

    bool Fail(int code, PageImage* out) {
        out->unfinished = code == SPNG_IO_EOF || code == SPNG_IO_ERROR;
        out->error = code == SPNG_IO_EOF
                         ? QStringLiteral("the file ends early")
                         : QStringLiteral("not a readable PNG image (%1)").arg(QString::fromUtf8(spng_strerror(code)));
        return false;
    }

    std::FILE* file_ = nullptr;
    spng_ctx* ctx_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    bool interlaced_ = false;
    std::vector<std::uint8_t> row_;
    std::vector<std::uint8_t> indices_;  // palette rows only
    std::array<std::uint8_t, 256 * 3> lut_{};
    int depth_ = 8;
};

// Cell c of `to` cells along an axis of `from` pixels begins at this pixel:
// pixel i lies in cell i * to / from.
int CellStart(int c, int from, int to) { return static_cast<int>((std::int64_t{c} * from + to - 1) / to); }

}  // namespace

PageImage ReadScaledPage(const QString& path, QSize bound, const std::atomic_bool& cancel) {
    PageImage out;
    PngRows png;
    if (!png.Open(path, &out)) return out;
    const int w = png.Width(), h = png.Height();
    QSize size(w, h);
    if (w > bound.width() || h > bound.height()) size.scale(bound.expandedTo(QSize(1, 1)), Qt::KeepAspectRatio);
    const int ow = std::max(1, size.width()), oh = std::max(1, size.height());
    QImage image(ow, oh, QImage::Format_RGB32);
    if (image.isNull()) {
        out.error = QStringLiteral("no memory for a %1 x %2 preview").arg(ow).arg(oh);
        return out;
    }
    // Cell c of the smaller picture takes the source columns from[c] up to
    // from[c + 1]; its rows are worked out as they come.
    std::vector<int> from(static_cast<std::size_t>(ow) + 1);
    for (int c = 0; c <= ow; ++c) from[static_cast<std::size_t>(c)] = CellStart(c, w, ow);

    // Sums of the source pixels of each cell, for one row of cells at a time
    // (rows come in order), or for all of them when the file is interlaced.
    const int bandRows = png.Interlaced() ? oh : 1;
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(bandRows) * ow * 3, 0);
    int bandStart = 0;
    auto flush = [&](int firstRow, int rows) {
        for (int r = 0; r < rows; ++r) {
            const int oy = firstRow + r;
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(oy));
            const std::uint64_t* s = sums.data() + static_cast<std::size_t>(r) * ow * 3;
            for (int ox = 0; ox < ow; ++ox, s += 3) {
                const std::uint64_t columns = static_cast<std::uint64_t>(from[ox + 1] - from[ox]);
                const std::uint64_t rows = static_cast<std::uint64_t>(CellStart(oy + 1, h, oh) - CellStart(oy, h, oh));
                const std::uint64_t n = std::max<std::uint64_t>(1, columns * rows);
                line[ox] = qRgb(static_cast<int>((s[0] + n / 2) / n), static_cast<int>((s[1] + n / 2) / n),
                                static_cast<int>((s[2] + n / 2) / n));
            }
        }
        std::fill(sums.begin(), sums.end(), 0);
    };
    const bool whole = png.Walk(h - 1, cancel, &out, [&](int y, const std::uint8_t* rgb, Pass pass) {
        const int oy = static_cast<int>(std::int64_t{y} * oh / h);
        if (!png.Interlaced() && oy != bandStart) {
            flush(bandStart, 1);
            bandStart = oy;
        }
        std::uint64_t* s = sums.data() + static_cast<std::size_t>(oy - bandStart) * ow * 3;
        for (int ox = 0; ox < ow; ++ox, s += 3) {
            // From the first column of this pass in the cell. A cell is at
            // most kMaxPageWidth columns wide: one row's share fits 32 bits.
            const int start = from[ox], end = from[ox + 1];
            int x = start <= pass.x0 ? pass.x0 : pass.x0 + (start - pass.x0 + pass.dx - 1) / pass.dx * pass.dx;
            std::uint32_t r = 0, g = 0, b = 0;
            for (; x < end; x += pass.dx) {
                const std::uint8_t* p = rgb + static_cast<std::size_t>(x) * 3;
                r += p[0];
                g += p[1];
                b += p[2];
            }
            s[0] += r;
            s[1] += g;
            s[2] += b;
        }
    });
    if (!whole) return out;
    flush(bandStart, bandRows);
    out.image = std::move(image);
    return out;
}

PageImage ReadPageRegion(const QString& path, QRect region, const std::atomic_bool& cancel) {
    PageImage out;
    PngRows png;
    if (!png.Open(path, &out)) return out;
    const QRect clip = region.intersected(QRect(QPoint(0, 0), out.pageSize));
    if (clip.isEmpty()) {
        out.error = QStringLiteral("the region lies outside the page");
        return out;
    }
    QImage image(clip.size(), QImage::Format_RGB32);
    if (image.isNull()) {
        out.error = QStringLiteral("no memory for a %1 x %2 region").arg(clip.width()).arg(clip.height());
        return out;
    }
    const bool whole = png.Walk(clip.bottom(), cancel, &out, [&](int y, const std::uint8_t* rgb, Pass pass) {
        if (y < clip.top()) return;
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y - clip.top()));
        // The first pixel of this pass at or right of the region's left edge.
        int x = clip.left() <= pass.x0 ? pass.x0 : pass.x0 + (clip.left() - pass.x0 + pass.dx - 1) / pass.dx * pass.dx;
        for (; x <= clip.right(); x += pass.dx) {
            const std::uint8_t* p = rgb + static_cast<std::size_t>(x) * 3;
            line[x - clip.left()] = qRgb(p[0], p[1], p[2]);
        }
    });
    if (!whole) return out;
    out.image = std::move(image);
    return out;
}

}  // namespace vp::panel
