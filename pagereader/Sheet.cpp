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
    const std::size_t k =
        std::min(samples.size() - 1, static_cast<std::size_t>(share * static_cast<double>(samples.size())));
    std::nth_element(samples.begin(), samples.begin() + static_cast<long>(k), samples.end());
    return samples[k];
}

struct Line {
    double a = 0, b = 0;  // value = a + b * t
    int n = 0;
};

Line Fit(const std::vector<std::pair<double, double>>& points) {
    Line line;
    if (points.size() < 2) return line;
    // First a line that points far off do not pull (print reaching the
    // edge, a corner folded over, rows past the sheet's end): the median of
    // the slopes between points, and the median offset along it.
    const std::size_t stride = std::max<std::size_t>(1, points.size() / 200);
    std::vector<double> slopes, offsets;
    for (std::size_t i = 0; i < points.size(); i += stride)
        for (std::size_t j = i + stride; j < points.size(); j += stride)
            if (points[j].first != points[i].first)
                slopes.push_back((points[j].second - points[i].second) / (points[j].first - points[i].first));
    if (slopes.empty()) return line;
    std::nth_element(slopes.begin(), slopes.begin() + static_cast<long>(slopes.size() / 2), slopes.end());
    line.b = slopes[slopes.size() / 2];
    for (const auto& [t, v] : points) offsets.push_back(v - line.b * t);
    std::nth_element(offsets.begin(), offsets.begin() + static_cast<long>(offsets.size() / 2), offsets.end());
    line.a = offsets[offsets.size() / 2];
    // Then twice the least-squares line through the points near the last one.
    for (int round = 0; round < 2; ++round) {
        std::vector<std::pair<double, double>> use;
        for (const auto& [t, v] : points)
            if (std::abs(v - (line.a + line.b * t)) < 3.0) use.emplace_back(t, v);
        if (use.size() < 2) break;
        double st = 0, sv = 0, stt = 0, stv = 0;
        for (const auto& [t, v] : use) st += t, sv += v, stt += t * t, stv += t * v;
        const double n = static_cast<double>(use.size());
        const double den = n * stt - st * st;
        if (den <= 0) break;
        line.b = (n * stv - st * sv) / den;
        line.a = (sv - line.b * st) / n;
        line.n = static_cast<int>(use.size());
    }
    return line;
}

}  // namespace

std::optional<Image> Straighten(const Image& image, Phrase* note, Placement* placed) {
    const int w = image.width, h = image.height;
    if (w < 64 || h < 64) return std::nullopt;
    // Paper: the bright level of the middle of the image; background: its border.
    std::vector<int> middle, border;
    for (int y = h / 4; y < h * 3 / 4; y += 4)
        for (int x = w / 4; x < w * 3 / 4; x += 4)
            middle.push_back(Light(image.Row(y) + static_cast<std::size_t>(x) * 3));
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
    // A background is even (a lid, a table); print or noise to the border is none.
    if (Percentile(border, 0.75) - Percentile(border, 0.25) > 50) return std::nullopt;
    const int cut = (paper + background) / 2;
    // The sheet: its paper, and the print on it, which may reach its edge
    // (a cut through the pattern): colourful, or well darker than the
    // background. Else the edge would be found at the print's far side.
    auto isPaper = [&](int x, int y) {
        const std::uint8_t* p = image.Row(y) + static_cast<std::size_t>(x) * 3;
        const int light = Light(p);
        if (light >= cut) return true;
        const int chroma = std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]});
        return chroma > 60 || light < background - 50;
    };
    // Each edge of the sheet: where a run of paper begins, row by row (left,
    // right) and column by column (top, bottom), over the middle half; then
    // to a fraction of a pixel, where the light crosses half-way from the
    // background's level to the paper's beside it (blur spreads an edge
    // evenly both ways), so that a sheet's edges tell where its print
    // lies to well within a pixel. Places in pixel units from the image's
    // corner (pixel i spans i to i + 1).
    constexpr int kRun = 4;
    // `at(k)`: the light k pixels along the line; `boundary`: between the
    // last background and the first paper pixel; `inward`: +1 or -1, the
    // direction of the paper.
    auto refine = [&](auto at, int count, int boundary, int inward) -> double {
        const int far = 6, near = 2;
        std::vector<int> before, after;
        for (int k = near; k < far; ++k) {
            const int out = inward > 0 ? boundary - 1 - k : boundary + k,
                      in = inward > 0 ? boundary + k : boundary - 1 - k;
            if (out < 0 || out >= count || in < 0 || in >= count) return std::nan("");
            before.push_back(at(out));
            after.push_back(at(in));
        }
        const double outside = Percentile(before, 0.5), inside = Percentile(after, 0.5);
        // Print reaching the edge (darker than the background) shows no
        // paper beside it: that point tells the edge no better than a pixel.
        if (inside - outside < 8) return std::nan("");
        const double middle = (outside + inside) / 2;
        // Walking inwards from the background: the first pixel at the middle or above.
        int k = inward > 0 ? boundary - near : boundary + near - 1;
        for (int step = 0; step < 2 * near + 1; ++step, k += inward) {
            const int prev = k - inward;
            if (prev < 0 || prev >= count || k < 0 || k >= count) return std::nan("");
            const double a = at(prev), b = at(k);
            if (b >= middle && a < middle) {
                // Pixel centres at index + 0.5; the crossing between them.
                const double t = (middle - a) / (b - a);
                return prev + 0.5 + inward * t;
            }
        }
        return std::nan("");
    };
    // Each edge's points found to a fraction of a pixel, and to a pixel
    // (those where print reaches the edge too): the first where they are
    // enough to fit, as along a sheet's edge where paper shows.
    std::vector<std::pair<double, double>> coarse[4];
    auto add = [&](std::vector<std::pair<double, double>>& edge, int side, double along, double at, int boundary) {
        coarse[side].emplace_back(along, boundary);
        if (std::isfinite(at)) edge.emplace_back(along, at);
    };
    std::vector<std::pair<double, double>> left, right, top, bottom;
    for (int y = h / 4; y < h * 3 / 4; ++y) {
        auto along = [&](int x) { return Light(image.Row(y) + static_cast<std::size_t>(x) * 3); };
        for (int x = 0, run = 0; x < w; ++x) {
            run = isPaper(x, y) ? run + 1 : 0;
            if (run == kRun) {
                add(left, 0, y + 0.5, refine(along, w, x - kRun + 1, 1), x - kRun + 1);
                break;
            }
        }
        for (int x = w - 1, run = 0; x >= 0; --x) {
            run = isPaper(x, y) ? run + 1 : 0;
            if (run == kRun) {
                add(right, 1, y + 0.5, refine(along, w, x + kRun, -1), x + kRun);
                break;
            }
        }
    }
    for (int x = w / 4; x < w * 3 / 4; ++x) {
        auto along = [&](int y) { return Light(image.Row(y) + static_cast<std::size_t>(x) * 3); };
        for (int y = 0, run = 0; y < h; ++y) {
            run = isPaper(x, y) ? run + 1 : 0;
            if (run == kRun) {
                add(top, 2, x + 0.5, refine(along, h, y - kRun + 1, 1), y - kRun + 1);
                break;
            }
        }
        for (int y = h - 1, run = 0; y >= 0; --y) {
            run = isPaper(x, y) ? run + 1 : 0;
            if (run == kRun) {
                add(bottom, 3, x + 0.5, refine(along, h, y + kRun, -1), y + kRun);
                break;
            }
        }
    }
    for (int side = 0; side < 4; ++side) {
        std::vector<std::pair<double, double>>& fine = side == 0 ? left : side == 1 ? right : side == 2 ? top : bottom;
        if (fine.size() * 2 < coarse[side].size()) fine = coarse[side];
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
    // The light: the paper's level over a coarse grid (the brightest tenth
    // of each cell's paper). A cell that the print fills shows light ink as
    // its brightest: each cell takes the brightest of the cells next to it
    // (light changes slowly), a cell without paper its neighbours'
    // level, and the level is taken smoothly between the cells' centres, so
    // that evening the light draws no edges of its own into the print.
    constexpr int cellSize = 32;
    const int gw = (w + cellSize - 1) / cellSize, gh = (h + cellSize - 1) / cellSize;
    const std::size_t cells = static_cast<std::size_t>(gw) * static_cast<std::size_t>(gh);
    std::vector<float> measured(cells, -1.0f);
    const int sampleStep = std::max(2, cellSize / 16);
    for (int gy = 0; gy < gh; ++gy)
        for (int gx = 0; gx < gw; ++gx) {
            std::vector<int> cell;
            for (int y = gy * cellSize; y < std::min(h, (gy + 1) * cellSize); y += sampleStep)
                for (int x = gx * cellSize; x < std::min(w, (gx + 1) * cellSize); x += sampleStep) {
                    const int v = Light(image.Row(y) + static_cast<std::size_t>(x) * 3);
                    if (v >= cut) cell.push_back(v);
                }
            if (cell.size() > 16)
                measured[static_cast<std::size_t>(gy * gw + gx)] = static_cast<float>(Percentile(cell, 0.9));
        }
    std::vector<float> level(cells, -1.0f);
    for (int gy = 0; gy < gh; ++gy)
        for (int gx = 0; gx < gw; ++gx) {
            float most = -1.0f;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int x = gx + dx, y = gy + dy;
                    if (x >= 0 && y >= 0 && x < gw && y < gh)
                        most = std::max(most, measured[static_cast<std::size_t>(y * gw + x)]);
                }
            level[static_cast<std::size_t>(gy * gw + gx)] = most;
        }
    for (int round = 0; round < gw + gh; ++round) {
        bool missing = false;
        std::vector<float> next = level;
        for (int gy = 0; gy < gh; ++gy)
            for (int gx = 0; gx < gw; ++gx) {
                if (level[static_cast<std::size_t>(gy * gw + gx)] >= 0) continue;
                float sum = 0;
                int known = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int x = gx + dx, y = gy + dy;
                        if (x < 0 || y < 0 || x >= gw || y >= gh) continue;
                        const float v = level[static_cast<std::size_t>(y * gw + x)];
                        if (v >= 0) sum += v, ++known;
                    }
                if (known > 0)
                    next[static_cast<std::size_t>(gy * gw + gx)] = sum / static_cast<float>(known);
                else
                    missing = true;
            }
        level = std::move(next);
        if (!missing) break;
    }
    for (float& v : level)
        if (v < 0) v = static_cast<float>(paper);
    auto paperAt = [&](double x, double y) {
        const double fx = std::clamp(x / cellSize - 0.5, 0.0, gw - 1.0),
                     fy = std::clamp(y / cellSize - 0.5, 0.0, gh - 1.0);
        const int x0 = std::min(static_cast<int>(fx), std::max(0, gw - 2)),
                  y0 = std::min(static_cast<int>(fy), std::max(0, gh - 2));
        const int x1 = std::min(x0 + 1, gw - 1), y1 = std::min(y0 + 1, gh - 1);
        const double tx = std::clamp(fx - x0, 0.0, 1.0), ty = std::clamp(fy - y0, 0.0, 1.0);
        auto at = [&](int gx, int gy) { return static_cast<double>(level[static_cast<std::size_t>(gy * gw + gx)]); };
        const double v =
            (at(x0, y0) * (1 - tx) + at(x1, y0) * tx) * (1 - ty) + (at(x0, y1) * (1 - tx) + at(x1, y1) * tx) * ty;
        return std::max(1.0, v);
    };
    Image out;
    out.width = outW;
    out.height = outH;
    out.dpi = image.dpi;
    out.rgb.assign(static_cast<std::size_t>(outW) * static_cast<std::size_t>(outH) * 3, 255);
    for (int v = 0; v < outH; ++v) {
        std::uint8_t* row = out.Row(v);
        for (int u = 0; u < outW; ++u) {
            // The pixel's centre on the image, in its pixel indices.
            const double sx = x0 + (u + 0.5) * c - (v + 0.5) * s - 0.5, sy = y0 + (u + 0.5) * s + (v + 0.5) * c - 0.5;
            const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
            if (ix < 0 || iy < 0 || ix + 1 >= w || iy + 1 >= h) continue;
            const double fx = sx - ix, fy = sy - iy;
            const double gain = 255.0 / paperAt(sx, sy);
            for (int k = 0; k < 3; ++k) {
                auto at = [&](int xx, int yy) {
                    return static_cast<double>(
                        image.Row(yy)[static_cast<std::size_t>(xx) * 3 + static_cast<std::size_t>(k)]);
                };
                const double value = (at(ix, iy) * (1 - fx) + at(ix + 1, iy) * fx) * (1 - fy) +
                                     (at(ix, iy + 1) * (1 - fx) + at(ix + 1, iy + 1) * fx) * fy;
                row[static_cast<std::size_t>(u) * 3 + static_cast<std::size_t>(k)] =
                    static_cast<std::uint8_t>(std::clamp(value * gain, 0.0, 255.0));
            }
        }
    }
    if (placed) *placed = {x0, y0, angle, std::hypot(x1 - x0, y1 - y0), std::hypot(x2 - x0, y2 - y0)};
    if (note) {
        char degrees[32], x[32], y[32];
        std::snprintf(degrees, sizeof degrees, "%.2f", angle * 180 / M_PI);
        std::snprintf(x, sizeof x, "%.0f", x0);
        std::snprintf(y, sizeof y, "%.0f", y0);
        *note = Phrase(SVC_N("the sheet found turned %1 degrees, %2 x %3 pixels from (%4, %5)"),
                       {degrees, std::to_string(outW), std::to_string(outH), x, y});
    }
    return out;
}

double SheetDpi(const Image& sheet) { return SheetDpiOf(sheet.width, sheet.height); }

double SheetDpiOf(double width, double height) {
    if (!(width > 0) || !(height > 0)) return 0;
    struct Size {
        double width, height;  // inches
    };
    constexpr Size kSheets[] = {{210 / 25.4, 297 / 25.4}, {329 / 25.4, 483 / 25.4}, {8.5, 11}};
    const double w = std::min(width, height), h = std::max(width, height);
    for (const Size& size : kSheets) {
        // Edges found to a pixel or two: the shapes lie 4 % and more apart.
        if (std::abs(h / w / (size.height / size.width) - 1) > 0.012) continue;
        return (w / size.width + h / size.height) / 2;
    }
    return 0;
}

namespace {

// An ink pixel's place.
struct Dot {
    float x, y;
};

// How sharply the dots pile up into rows (across) or columns (down) when
// looked at turned back by `angle`, in bins of `bin` pixels: the sum of the
// squared bin counts, of every `stride`-th dot.
double PileUp(const std::vector<Dot>& dots, bool rows, std::size_t stride, double angle, double bin, int w, int h) {
    const double c = std::cos(angle), s = std::sin(angle);
    const double margin = 0.1 * (w + h) + 2;
    const std::size_t n = static_cast<std::size_t>(((rows ? h : w) + 2 * margin) / bin) + 2;
    std::vector<std::uint32_t> bins(n, 0);
    for (std::size_t i = 0; i < dots.size(); i += stride) {
        const double x = dots[i].x, y = dots[i].y;
        const double along = rows ? -x * s + y * c : x * c + y * s;
        ++bins[std::min(n - 1, static_cast<std::size_t>(std::max(0.0, (along + margin) / bin)))];
    }
    double score = 0;
    for (std::uint32_t k : bins) score += static_cast<double>(k) * k;
    return score;
}

constexpr double kDegree = M_PI / 180;

// The angle among `angles` where `score` is highest; the one nearest 0 of equals.
template <typename Score>
double Best(const std::vector<double>& angles, Score score, double* top = nullptr) {
    double best = 0, bestScore = -1;
    for (double a : angles) {
        const double v = score(a);
        if (v > bestScore * (1 + 1e-9)) {
            bestScore = v;
            best = a;
        } else if (v >= bestScore * (1 - 1e-9) && std::abs(a) < std::abs(best)) {
            best = a;
        }
    }
    if (top) *top = bestScore;
    return best;
}

std::vector<double> Around(double centre, double half, double step) {
    std::vector<double> angles;
    const int n = static_cast<int>(std::lround(half / step));
    for (int i = -n; i <= n; ++i) angles.push_back(centre + i * step);
    return angles;
}

}  // namespace

std::optional<double> InkSkew(const Image& page) {
    const int w = page.width, h = page.height;
    if (w < 32 || h < 32 || page.rgb.size() < static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3)
        return std::nullopt;
    // The edges of the ink (a pixel well darker than paper, of any colour):
    // where it begins or ends down a column (they lie along rows) and across
    // a row (they lie along columns). Edges rather than the ink itself, so
    // that large blocks tell their turn as sharply as thin lines.
    auto ink = [&](int x, int y) {
        const std::uint8_t* p = page.Row(y) + static_cast<std::size_t>(x) * 3;
        return std::min({p[0], p[1], p[2]}) <= 195;
    };
    std::vector<Dot> along, down;
    for (int y = 1; y + 1 < h; ++y)
        for (int x = 1; x + 1 < w; ++x) {
            if (!ink(x, y)) continue;
            if (!ink(x, y - 1) || !ink(x, y + 1)) along.push_back({x + 0.5f, y + 0.5f});
            if (!ink(x - 1, y) || !ink(x + 1, y)) down.push_back({x + 0.5f, y + 0.5f});
        }
    if (along.size() < 300 || down.size() < 300) return std::nullopt;
    // Coarse first, rows and columns apart, each against its own usual level.
    auto strideFor = [](const std::vector<Dot>& dots, std::size_t most) {
        return std::max<std::size_t>(1, dots.size() / most);
    };
    const std::vector<double> coarse = Around(0, 4 * kDegree, 0.1 * kDegree);
    std::vector<double> rowScores, columnScores;
    for (double a : coarse) {
        rowScores.push_back(PileUp(along, true, strideFor(along, 200000), a, 4, w, h));
        columnScores.push_back(PileUp(down, false, strideFor(down, 200000), a, 4, w, h));
    }
    auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
        return std::max(1.0, v[v.size() / 2]);
    };
    const double rowLevel = median(rowScores), columnLevel = median(columnScores);
    // The turn is where rows and columns both peak clearly over their usual
    // level; of several, the one both peak highest at. A staircase of lines
    // peaks along its slope in one direction only, and lines leaning on the
    // sheet itself (a head not square to the paper) in columns only. A
    // direction whose lines are short peaks broadly: its peak is looked for
    // within 0.3 degrees of the other's.
    const std::size_t n = coarse.size();
    auto highestNear = [&](const std::vector<double>& scores, std::size_t k, std::size_t reach) {
        std::size_t best = k;
        for (std::size_t m = k > reach ? k - reach : 0; m <= std::min(n - 1, k + reach); ++m)
            if (scores[m] > scores[best]) best = m;
        return best;
    };
    std::optional<std::size_t> top;
    double topScore = 0;
    for (int first = 0; first < 2; ++first) {
        const std::vector<double>& a = first == 0 ? rowScores : columnScores;
        const std::vector<double>& b = first == 0 ? columnScores : rowScores;
        const double aLevel = first == 0 ? rowLevel : columnLevel, bLevel = first == 0 ? columnLevel : rowLevel;
        for (std::size_t k = 0; k < n; ++k) {
            if (highestNear(a, k, 1) != k || a[k] < 1.05 * aLevel) continue;
            const std::size_t m = highestNear(b, k, 3);
            if (highestNear(b, m, 3) != m || b[m] < 1.05 * bLevel) continue;
            const double score = std::min(a[k] / aLevel, b[m] / bLevel);
            if (score > topScore) topScore = score, top = k;
        }
    }
    if (!top) return std::nullopt;
    auto fine = [&](const std::vector<Dot>& dots, bool rows) {
        double at = Best(Around(coarse[*top], 0.15 * kDegree, 0.025 * kDegree),
                         [&](double a) { return PileUp(dots, rows, strideFor(dots, 600000), a, 2, w, h); });
        return Best(Around(at, 0.04 * kDegree, 0.005 * kDegree),
                    [&](double a) { return PileUp(dots, rows, strideFor(dots, 3000000), a, 1, w, h); });
    };
    // Then finer, each apart: rows tell the turn to about a pixel over the
    // page's width, columns over its height; they agree within that, and
    // count by it.
    const double rowsAt = fine(along, true), columnsAt = fine(down, false);
    const double agree = std::max(0.1 * kDegree, 2.0 / w + 2.0 / h);
    if (std::abs(rowsAt - columnsAt) > agree) return std::nullopt;
    const double ww = static_cast<double>(w) * w, hh = static_cast<double>(h) * h;
    const double turn = (rowsAt * ww + columnsAt * hh) / (ww + hh);
    // Upright already unless the turn piles the edges up clearly better.
    auto both = [&](double a) { return PileUp(along, true, 1, a, 1, w, h) + PileUp(down, false, 1, a, 1, w, h); };
    if (both(turn) < 1.01 * both(0)) return 0.0;
    return turn;
}

Image Upright(const Image& page, double angle, bool sameSize, Placement* placed) {
    const double c = std::cos(angle), s = std::sin(angle);
    int outW = page.width, outH = page.height;
    if (!sameSize) {
        const double ac = std::abs(c), as = std::abs(s), den = ac * ac - as * as;
        if (den > 0.5) {
            outW = std::max(1, static_cast<int>(std::lround((page.width * ac - page.height * as) / den)));
            outH = std::max(1, static_cast<int>(std::lround((page.height * ac - page.width * as) / den)));
        }
    }
    // The result's top-left corner on the page.
    const double x0 = page.width / 2.0 - outW / 2.0 * c + outH / 2.0 * s;
    const double y0 = page.height / 2.0 - outW / 2.0 * s - outH / 2.0 * c;
    Image out;
    out.width = outW;
    out.height = outH;
    out.dpi = page.dpi;
    out.rgb.assign(static_cast<std::size_t>(outW) * static_cast<std::size_t>(outH) * 3, 255);
    auto at = [&](int x, int y, int k) -> double {
        if (x < 0 || y < 0 || x >= page.width || y >= page.height) return 255.0;
        return page.Row(y)[static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(k)];
    };
    for (int v = 0; v < outH; ++v) {
        std::uint8_t* row = out.Row(v);
        for (int u = 0; u < outW; ++u) {
            // The pixel's centre on the page, in pixel-centre coordinates.
            const double sx = x0 + (u + 0.5) * c - (v + 0.5) * s - 0.5, sy = y0 + (u + 0.5) * s + (v + 0.5) * c - 0.5;
            const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
            if (ix < -1 || iy < -1 || ix >= page.width || iy >= page.height) continue;
            const double fx = sx - ix, fy = sy - iy;
            std::uint8_t* o = row + static_cast<std::size_t>(u) * 3;
            if (ix >= 0 && iy >= 0 && ix + 1 < page.width && iy + 1 < page.height) {
                // Inside: the four neighbours without checks.
                const std::uint8_t* a = page.Row(iy) + static_cast<std::size_t>(ix) * 3;
                const std::uint8_t* b = page.Row(iy + 1) + static_cast<std::size_t>(ix) * 3;
                const double w00 = (1 - fx) * (1 - fy), w01 = fx * (1 - fy), w10 = (1 - fx) * fy, w11 = fx * fy;
                for (int k = 0; k < 3; ++k)
                    o[k] = static_cast<std::uint8_t>(
                        std::clamp(a[k] * w00 + a[k + 3] * w01 + b[k] * w10 + b[k + 3] * w11 + 0.5, 0.0, 255.0));
                continue;
            }
            for (int k = 0; k < 3; ++k) {
                const double value = (at(ix, iy, k) * (1 - fx) + at(ix + 1, iy, k) * fx) * (1 - fy) +
                                     (at(ix, iy + 1, k) * (1 - fx) + at(ix + 1, iy + 1, k) * fx) * fy;
                o[k] = static_cast<std::uint8_t>(std::clamp(value + 0.5, 0.0, 255.0));
            }
        }
    }
    if (placed) *placed = {x0, y0, angle};
    return out;
}

Placement Compose(const Placement& outer, const Placement& inner) {
    const double c = std::cos(outer.angle), s = std::sin(outer.angle);
    return {outer.x0 + inner.x0 * c - inner.y0 * s, outer.y0 + inner.x0 * s + inner.y0 * c, outer.angle + inner.angle};
}

}  // namespace svc::pagereader
