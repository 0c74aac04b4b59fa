#include "integration/testing/PageAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "vprinter/engine/PageRenderer.h"

namespace vp::testing {

namespace {

Box Clip(const Image& page, const Box& box) {
    return {std::max(0, box.left), std::max(0, box.top), std::min(page.width, box.right),
            std::min(page.height, box.bottom)};
}

std::vector<Span> Runs(const std::vector<bool>& marked, int offset, int join) {
    std::vector<Span> runs;
    for (int i = 0; i < static_cast<int>(marked.size());) {
        if (!marked[static_cast<std::size_t>(i)]) {
            ++i;
            continue;
        }
        int j = i;
        while (j < static_cast<int>(marked.size()) && marked[static_cast<std::size_t>(j)]) ++j;
        if (!runs.empty() && i + offset - runs.back().end <= join)
            runs.back().end = j + offset;
        else
            runs.push_back({i + offset, j + offset});
        i = j;
    }
    return runs;
}

}  // namespace

Image ReadPage(const std::string& path, std::string* error) {
    Image image;
    std::string why;
    if (!ReadPng(path, &image, &why)) {
        if (error) *error = why;
        return {};
    }
    return image;
}

Box WholeWidth(const Image& page) { return {0, 0, page.width, page.height}; }
Box WholePage(const Image& page) { return WholeWidth(page); }

double Pixels(double master, int previewDpi) { return master * previewDpi / kMasterPerInch; }

int PageDpi(const Image& page, double sheetWidthMm) {
    const long long widthMaster = std::llround(sheetWidthMm / 25.4 * kMasterPerInch);
    for (int dpi = 1440; dpi > 0; --dpi) {
        if (kMasterPerInch % dpi != 0) continue;
        const long long box = kMasterPerInch / dpi;
        if ((widthMaster + box - 1) / box == page.width) return dpi;
    }
    return 0;
}

PixelTest InkLike(int ink, int tolerance) {
    const auto colour = InkColor(ink);
    return [colour, tolerance](const Pixel& p) {
        for (int c = 0; c < 3; ++c)
            if (std::abs(static_cast<int>(p[static_cast<std::size_t>(c)]) - colour[static_cast<std::size_t>(c)]) >
                tolerance)
                return false;
        return true;
    };
}

PixelTest AnyInk(int threshold) {
    return [threshold](const Pixel& p) { return std::min({p[0], p[1], p[2]}) < threshold; };
}

std::vector<Span> ColumnSpans(const Image& page, const Box& box, const PixelTest& test) {
    const Box b = Clip(page, box);
    if (b.left >= b.right || b.top >= b.bottom) return {};
    std::vector<bool> marked(static_cast<std::size_t>(b.right - b.left), false);
    for (int y = b.top; y < b.bottom; ++y)
        for (int x = b.left; x < b.right; ++x)
            if (!marked[static_cast<std::size_t>(x - b.left)] && test(page.At(x, y)))
                marked[static_cast<std::size_t>(x - b.left)] = true;
    return Runs(marked, b.left, 0);
}

std::vector<Span> LineColumnSpans(const Image& page, const Box& box, const PixelTest& test, int minRun) {
    const Box b = Clip(page, box);
    if (b.left >= b.right || b.top >= b.bottom) return {};
    std::vector<bool> marked(static_cast<std::size_t>(b.right - b.left), false);
    for (int x = b.left; x < b.right; ++x)
        for (int y = b.top, run = 0; y < b.bottom; ++y) {
            run = test(page.At(x, y)) ? run + 1 : 0;
            if (run > minRun) {
                marked[static_cast<std::size_t>(x - b.left)] = true;
                break;
            }
        }
    return Runs(marked, b.left, 0);
}

std::vector<Span> RowSpans(const Image& page, const Box& box, const PixelTest& test, int join) {
    const Box b = Clip(page, box);
    if (b.left >= b.right || b.top >= b.bottom) return {};
    std::vector<bool> marked(static_cast<std::size_t>(b.bottom - b.top), false);
    for (int y = b.top; y < b.bottom; ++y)
        for (int x = b.left; x < b.right; ++x)
            if (test(page.At(x, y))) {
                marked[static_cast<std::size_t>(y - b.top)] = true;
                break;
            }
    return Runs(marked, b.top, join);
}

std::optional<int> LeftMargin(const Image& page, const Box& box, const PixelTest& test) {
    const std::vector<Span> spans = ColumnSpans(page, box, test);
    if (spans.empty()) return std::nullopt;
    return spans.front().begin;
}

std::optional<double> LineX(const Image& page, const Box& box, const PixelTest& test) {
    const Box b = Clip(page, box);
    double sum = 0;
    long count = 0;
    for (int y = b.top; y < b.bottom; ++y)
        for (int x = b.left; x < b.right; ++x)
            if (test(page.At(x, y))) {
                sum += x + 0.5;
                ++count;
            }
    if (count == 0) return std::nullopt;
    return sum / static_cast<double>(count);
}

std::optional<double> MeanOffset(const std::vector<Span>& upper, const std::vector<Span>& lower) {
    if (upper.empty() || upper.size() != lower.size()) return std::nullopt;
    double sum = 0;
    for (std::size_t i = 0; i < upper.size(); ++i) sum += lower[i].Centre() - upper[i].Centre();
    return sum / static_cast<double>(upper.size());
}

std::optional<double> Slant(const Image& page, const Box& box, const PixelTest& test) {
    const Box b = Clip(page, box);
    std::vector<std::pair<double, double>> points;
    for (int y = b.top; y < b.bottom; ++y)
        for (int x = b.left; x < b.right; ++x)
            if (test(page.At(x, y))) {
                points.emplace_back(y, x);
                break;
            }
    if (points.size() < 2) return std::nullopt;
    double my = 0, mx = 0;
    for (const auto& [y, x] : points) {
        my += y;
        mx += x;
    }
    my /= static_cast<double>(points.size());
    mx /= static_cast<double>(points.size());
    double num = 0, den = 0;
    for (const auto& [y, x] : points) {
        num += (y - my) * (x - mx);
        den += (y - my) * (y - my);
    }
    if (den == 0) return std::nullopt;
    return num / den;
}

std::optional<Joint> BandJoint(const Image& page, const Box& upper, const Box& lower, const PixelTest& test) {
    const std::vector<Span> a = RowSpans(page, upper, test);
    if (a.empty()) return std::nullopt;
    Box rest = lower;
    rest.top = std::max(rest.top, a.front().begin);
    const std::vector<Span> b = RowSpans(page, rest, test);
    if (b.empty()) return std::nullopt;
    return Joint{a.front(), b.front()};
}

int PageBottom(const Image& page) { return page.height; }

std::optional<int> LastInkedRow(const Image& page, const Box& box, const PixelTest& test) {
    const std::vector<Span> rows = RowSpans(page, box, test);
    if (rows.empty()) return std::nullopt;
    return rows.back().end - 1;
}

bool WriteCrop(const Image& page, const Box& box, int zoom, const std::string& path, std::string* error) {
    const Box b = Clip(page, box);
    if (b.left >= b.right || b.top >= b.bottom || zoom < 1) {
        if (error) *error = "the box holds no part of the page";
        return false;
    }
    Image out((b.right - b.left) * zoom, (b.bottom - b.top) * zoom);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x) {
            const Pixel p = page.At(b.left + x / zoom, b.top + y / zoom);
            std::uint8_t* q = out.Row(y) + static_cast<std::size_t>(x) * 3;
            q[0] = p[0];
            q[1] = p[1];
            q[2] = p[2];
        }
    return WritePng(path, out, error);
}

}  // namespace vp::testing
