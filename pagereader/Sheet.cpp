#include "pagereader/Sheet.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace svc::pagereader {

namespace {

int Light(const std::uint8_t* p) { return (p[0] + p[1] + p[2]) / 3; }

// The brightness below which `share` of the samples lie.
int Percentile(std::vector<int> samples, double share) {
    if (samples.empty()) return 0;
    const std::size_t k = std::min(samples.size() - 1, static_cast<std::size_t>(share * static_cast<double>(samples.size())));
    std::nth_element(samples.begin(), samples.begin() + static_cast<long>(k), samples.end());
    return samples[k];
}

struct Line {
    double a = 0, b = 0;  // value = a + b * t
    int n = 0;
};

Line Fit(const std::vector<std::pair<double, double>>& points) {
    Line line;
    // Two rounds: the second leaves out what lies far from the first fit
    // (print reaching the edge, a corner folded over).
    std::vector<std::pair<double, double>> use = points;
    for (int round = 0; round < 2 && use.size() >= 2; ++round) {
        double st = 0, sv = 0, stt = 0, stv = 0;
        for (const auto& [t, v] : use) st += t, sv += v, stt += t * t, stv += t * v;
        const double n = static_cast<double>(use.size());
        const double den = n * stt - st * st;
        if (den <= 0) break;
        line.b = (n * stv - st * sv) / den;
        line.a = (sv - line.b * st) / n;
        line.n = static_cast<int>(use.size());
        std::vector<std::pair<double, double>> kept;
        for (const auto& [t, v] : points)
            if (std::abs(v - (line.a + line.b * t)) < 3.0) kept.emplace_back(t, v);
        use = kept;
    }
    return line;
}

}  // namespace

std::optional<Image> Straighten(const Image& image, std::string* note, Placement* placed) {
    const int w = image.width, h = image.height;
    if (w < 64 || h < 64) return std::nullopt;
    // Paper: the bright level of the middle of the image; background: its border.
    std::vector<int> middle, border;
    for (int y = h / 4; y < h * 3 / 4; y += 4)
        for (int x = w / 4; x < w * 3 / 4; x += 4) middle.push_back(Light(image.Row(y) + static_cast<std::size_t>(x) * 3));
    for (int x = 0; x < w; x += 2) {
        border.push_back(Light(image.Row(0) + static_cast<std::size_t>(x) * 3));
        border.push_back(Light(image.Row(h - 1) + static_cast<std::size_t>(x) * 3));
    }
    for (int y = 0; y < h; y += 2) {
        border.push_back(Light(image.Row(y)));
        border.push_back(Light(image.Row(y) + static_cast<std::size_t>(w - 1) * 3));
    }
    const int paper = Percentile(middle, 0.9);
    const int background = Percentile(border, 0.5);
    if (paper - background < 12) return std::nullopt;  // no background to speak of
    const int cut = (paper + background) / 2;
    auto isPaper = [&](int x, int y) { return Light(image.Row(y) + static_cast<std::size_t>(x) * 3) >= cut; };
    // Each edge of the sheet: where a run of paper begins, row by row (left,
    // right) and column by column (top, bottom), over the middle half.
    constexpr int kRun = 4;
    std::vector<std::pair<double, double>> left, right, top, bottom;
    for (int y = h / 4; y < h * 3 / 4; ++y) {
        for (int x = 0, run = 0; x < w; ++x) {
            run = isPaper(x, y) ? run + 1 : 0;
            if (run == kRun) { left.emplace_back(y, x - kRun + 1); break; }
        }
        for (int x = w - 1, run = 0; x >= 0; --x) {
            run = isPaper(x, y) ? run + 1 : 0;
            if (run == kRun) { right.emplace_back(y, x + kRun); break; }
        }
    }
    for (int x = w / 4; x < w * 3 / 4; ++x) {
        for (int y = 0, run = 0; y < h; ++y) {
            run = isPaper(x, y) ? run + 1 : 0;
            if (run == kRun) { top.emplace_back(x, y - kRun + 1); break; }
        }
        for (int y = h - 1, run = 0; y >= 0; --y) {
            run = isPaper(x, y) ? run + 1 : 0;
            if (run == kRun) { bottom.emplace_back(x, y + kRun); break; }
        }
    }
    const Line l = Fit(left), r = Fit(right), t = Fit(top), b = Fit(bottom);
    if (l.n < h / 8 || r.n < h / 8 || t.n < w / 8 || b.n < w / 8) return std::nullopt;
    // The turn: the top and bottom edges slope by tan(angle), the sides by -tan(angle).
    const double angle = std::atan((t.b + b.b - l.b - r.b) / 4.0);
    if (std::abs(angle) > 0.2) return std::nullopt;  // more than 11 degrees: not a sheet laid on a scanner
    // Corners: where the edge lines meet (x = l.a + l.b y, y = t.a + t.b x).
    auto meet = [](const Line& side, const Line& end, double* x, double* y) {
        *y = (end.a + end.b * side.a) / (1 - end.b * side.b);
        *x = side.a + side.b * *y;
    };
    double x0, y0, x1, y1, x2, y2;
    meet(l, t, &x0, &y0);  // top left
    meet(r, t, &x1, &y1);  // top right
    meet(l, b, &x2, &y2);  // bottom left
    const int outW = static_cast<int>(std::lround(std::hypot(x1 - x0, y1 - y0)));
    const int outH = static_cast<int>(std::lround(std::hypot(x2 - x0, y2 - y0)));
    if (outW < w / 4 || outH < h / 4) return std::nullopt;
    const double c = std::cos(angle), s = std::sin(angle);
    // The light: the paper's level over a coarse grid (the brightest tenth of each cell).
    constexpr int kCell = 32;
    const int gw = (w + kCell - 1) / kCell, gh = (h + kCell - 1) / kCell;
    std::vector<float> level(static_cast<std::size_t>(gw) * static_cast<std::size_t>(gh), static_cast<float>(paper));
    for (int gy = 0; gy < gh; ++gy)
        for (int gx = 0; gx < gw; ++gx) {
            std::vector<int> cell;
            for (int y = gy * kCell; y < std::min(h, (gy + 1) * kCell); y += 2)
                for (int x = gx * kCell; x < std::min(w, (gx + 1) * kCell); x += 2) {
                    const int v = Light(image.Row(y) + static_cast<std::size_t>(x) * 3);
                    if (v >= cut) cell.push_back(v);
                }
            if (cell.size() > 16) level[static_cast<std::size_t>(gy * gw + gx)] = static_cast<float>(Percentile(cell, 0.9));
        }
    auto paperAt = [&](double x, double y) {
        const int gx = std::clamp(static_cast<int>(x / kCell), 0, gw - 1), gy = std::clamp(static_cast<int>(y / kCell), 0, gh - 1);
        return std::max(1.0f, level[static_cast<std::size_t>(gy * gw + gx)]);
    };
    Image out;
    out.width = outW;
    out.height = outH;
    out.dpi = image.dpi;
    out.rgb.assign(static_cast<std::size_t>(outW) * static_cast<std::size_t>(outH) * 3, 255);
    for (int v = 0; v < outH; ++v) {
        std::uint8_t* row = out.Row(v);
        for (int u = 0; u < outW; ++u) {
            const double sx = x0 + u * c - v * s, sy = y0 + u * s + v * c;
            const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
            if (ix < 0 || iy < 0 || ix + 1 >= w || iy + 1 >= h) continue;
            const double fx = sx - ix, fy = sy - iy;
            const double gain = 255.0 / paperAt(sx, sy);
            for (int k = 0; k < 3; ++k) {
                auto at = [&](int xx, int yy) { return static_cast<double>(image.Row(yy)[static_cast<std::size_t>(xx) * 3 + static_cast<std::size_t>(k)]); };
                const double value = (at(ix, iy) * (1 - fx) + at(ix + 1, iy) * fx) * (1 - fy) +
                                     (at(ix, iy + 1) * (1 - fx) + at(ix + 1, iy + 1) * fx) * fy;
                row[static_cast<std::size_t>(u) * 3 + static_cast<std::size_t>(k)] =
                    static_cast<std::uint8_t>(std::clamp(value * gain, 0.0, 255.0));
            }
        }
    }
    if (placed) *placed = {x0, y0, angle};
    if (note) {
        char text[128];
        std::snprintf(text, sizeof text, "the sheet found turned %.2f degrees, %d x %d pixels from (%.0f, %.0f)",
                      angle * 180 / M_PI, outW, outH, x0, y0);
        *note = text;
    }
    return out;
}

}  // namespace svc::pagereader
