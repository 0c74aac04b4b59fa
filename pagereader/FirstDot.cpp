// The first dot line measured on a scan or photo as it came: the sheet's
// edge and the line are each fitted as a straight line through the scan's
// own pixels, and the distance between them taken across the edge.
//
// A step is 1/2880 inch, a twentieth of a pixel at 150 dpi, so the distance
// must be known to a few hundredths of a pixel. Thresholds round it to
// pixels; moments do not: area rescaling, a bilinear turn, blur and light
// that changes slowly all keep the centre of the line's ink and the place of
// the edge's step where they were. Both are therefore measured by moments,
// each over thousands of pixels, against paper levels measured beside them.
#include "pagereader/FirstDot.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "pagereader/Fitting.h"

namespace svc::pagereader::detail {

namespace {

// The grey a pixel shows (the mean of its channels): linear in the light.
inline double Grey(const Image& image, int x, int y) {
    const std::uint8_t* p = image.Row(y) + static_cast<std::size_t>(x) * 3;
    return (p[0] + p[1] + p[2]) / 3.0;
}

// The row's grey at `x` (pixel centres at i + 0.5), linearly between pixels;
// a sampling of the row that keeps its ink's centre and amount.
inline double GreyAt(const Image& image, double x, int y) {
    const double at = x - 0.5;
    const int i = static_cast<int>(std::floor(at));
    const double t = at - i;
    return Grey(image, i, y) * (1 - t) + Grey(image, i + 1, y) * t;
}

// Where a point of the page (or sheet) placed by `p` lies on the scan.
struct Point {
    double x, y;
};
Point OnScan(const Placement& p, double u, double v) {
    const double c = std::cos(p.angle), s = std::sin(p.angle);
    return {p.x0 + u * c - v * s, p.y0 + u * s + v * c};
}

// The line on the upright page: its centre across and the rows it runs down.
struct Found {
    bool any = false;
    bool right = false;  // near the right edge: the sheet lies upside down
    double u = 0, top = 0, bottom = 0;
    double strength = 0;
    bool leans = false;  // a line that stands at other columns row by row
};

// Whether the band [from, to) (columns less their medians) holds a line
// that leans: on at least `minRows` rows a column clearly darker than the
// band's others, those columns moving by more than three pixels from the
// line's top to its bottom (a head not square to the paper).
bool Leans(const Image& page, int from, int to, const std::vector<double>& median, int minRows) {
    std::vector<double> best(static_cast<std::size_t>(page.height), 0), at(best.size(), 0);
    for (int y = 0; y < page.height; ++y)
        for (int x = from; x < to; ++x) {
            const double d = median[static_cast<std::size_t>(x - from)] - Grey(page, x, y);
            if (d > best[static_cast<std::size_t>(y)])
                best[static_cast<std::size_t>(y)] = d, at[static_cast<std::size_t>(y)] = x;
        }
    const double least = std::max(20.0, 0.5 * QuantileOf(best, 0.98));
    std::vector<double> ys, xs;
    for (int y = 0; y < page.height; ++y)
        if (best[static_cast<std::size_t>(y)] >= least) ys.push_back(y), xs.push_back(at[static_cast<std::size_t>(y)]);
    if (static_cast<int>(ys.size()) < minRows) return false;
    const std::optional<LineFit> fit = FitLine(ys, xs);
    return fit && std::abs(fit->b) * (ys.back() - ys.front()) > 3;
}

// The darkest column within `reach` pixels of either side (each column less
// its own median, so the edges' shade and the paper's are no line), and the
// rows it runs down.
Found FindLine(const Image& page, int reach, int minRows) {
    Found best;
    bool leans = false;
    for (const bool right : {false, true}) {
        const int from = right ? page.width - reach : 1, to = right ? page.width - 1 : reach;
        if (from < 0 || to > page.width || to - from < 3) continue;
        std::vector<double> darkness(static_cast<std::size_t>(to - from), 0);
        std::vector<double> median(darkness.size(), 0);
        std::vector<double> column(static_cast<std::size_t>(page.height));
        for (int x = from; x < to; ++x) {
            for (int y = 0; y < page.height; ++y) column[static_cast<std::size_t>(y)] = Grey(page, x, y);
            const double m = MedianOf(column);
            median[static_cast<std::size_t>(x - from)] = m;
            double sum = 0;
            for (double g : column) sum += std::max(0.0, m - g - 8);
            darkness[static_cast<std::size_t>(x - from)] = sum;
        }
        const auto peak = std::max_element(darkness.begin(), darkness.end());
        leans = leans || Leans(page, from, to, median, minRows);
        if (*peak <= best.strength) continue;
        const int px = from + static_cast<int>(peak - darkness.begin());
        // Its rows: the darkness of the columns about the peak, row by row, smoothed.
        std::vector<double> rows(static_cast<std::size_t>(page.height), 0);
        for (int y = 0; y < page.height; ++y)
            for (int x = std::max(from, px - 1); x <= std::min(to - 1, px + 1); ++x)
                rows[static_cast<std::size_t>(y)] +=
                    std::max(0.0, median[static_cast<std::size_t>(x - from)] - Grey(page, x, y));
        std::vector<double> smooth(rows.size(), 0);
        for (int y = 0; y < page.height; ++y) {
            double s = 0;
            int n = 0;
            for (int k = std::max(0, y - 3); k <= std::min(page.height - 1, y + 3); ++k) s += rows[k], ++n;
            smooth[static_cast<std::size_t>(y)] = s / n;
        }
        const double top = *std::max_element(smooth.begin(), smooth.end());
        if (top <= 0) continue;
        // The longest run over half the darkest.
        int runBegin = 0, runLength = 0;
        for (int y = 0; y < page.height;) {
            if (smooth[static_cast<std::size_t>(y)] < top / 2) {
                ++y;
                continue;
            }
            int end = y;
            while (end < page.height && smooth[static_cast<std::size_t>(end)] >= top / 2) ++end;
            if (end - y > runLength) runBegin = y, runLength = end - y;
            y = end;
        }
        // Across: the darkness's centre over the columns about the peak, on those rows.
        double mass = 0, moment = 0;
        for (int x = std::max(from, px - 2); x <= std::min(to - 1, px + 2); ++x) {
            double d = 0;
            for (int y = runBegin; y < runBegin + runLength; ++y)
                d += std::max(0.0, median[static_cast<std::size_t>(x - from)] - Grey(page, x, y));
            mass += d;
            moment += d * (x + 0.5);
        }
        if (mass <= 0) continue;
        best = {true, right, moment / mass, static_cast<double>(runBegin), static_cast<double>(runBegin + runLength),
                *peak};
    }
    // (A line found straight down enough rows is read; one that leans is not.)
    if (leans && (!best.any || best.bottom - best.top < minRows)) best.leans = true;
    return best;
}

// x = a + b y through samples, least squares; the fit's scatter told by
// blocks of consecutive samples, as their means scatter about it.
struct EdgeFit {
    double a = 0, b = 0;
    double errorAt(double y) const { return std::sqrt(var0 + varB * (y - y0) * (y - y0)); }
    double y0 = 0, var0 = 0, varB = 0;
    int n = 0;
};

std::optional<EdgeFit> FitThrough(const std::vector<double>& ys, const std::vector<double>& xs, int block) {
    const std::size_t n = ys.size();
    if (n < 40) return std::nullopt;
    const std::optional<LineFit> line = FitLine(ys, xs);
    if (!line) return std::nullopt;
    double my = 0;
    for (double y : ys) my += y / static_cast<double>(n);
    EdgeFit f;
    f.a = line->a;
    f.b = line->b;
    f.y0 = my;
    f.n = static_cast<int>(n);
    // The residuals' means over blocks of rows: noise, the JPEG's 8-row
    // blocks and the paper's grain all even out within none of them.
    std::vector<double> blockY, blockR;
    for (std::size_t i = 0; i + static_cast<std::size_t>(block) <= n; i += static_cast<std::size_t>(block)) {
        double sy = 0, sr = 0;
        for (std::size_t k = i; k < i + static_cast<std::size_t>(block); ++k)
            sy += ys[k], sr += xs[k] - (f.a + f.b * ys[k]);
        blockY.push_back(sy / block), blockR.push_back(sr / block);
    }
    if (blockR.size() < 4) return std::nullopt;
    double s2 = 0, byy = 0;
    for (std::size_t k = 0; k < blockR.size(); ++k)
        s2 += blockR[k] * blockR[k], byy += (blockY[k] - my) * (blockY[k] - my);
    s2 /= static_cast<double>(blockR.size() - 2);
    f.var0 = s2 / static_cast<double>(blockR.size());
    f.varB = byy > 0 ? s2 / byy : 0;
    return f;
}

}  // namespace

double SamplingBias(double width) {
    if (!(width > 0)) return 0;
    // The centre of a line [t - w/2, t + w/2) as whole pixels show it,
    // each at its middle by its share of the line, for every place t
    // across a pixel.
    double worst = 0;
    for (int i = 0; i < 100; ++i) {
        const double t = 8 + i / 100.0, left = t - width / 2, right = t + width / 2;
        double moment = 0;
        for (int j = static_cast<int>(std::floor(left)); j <= static_cast<int>(std::floor(right)); ++j)
            moment += (j + 0.5) * std::max(0.0, std::min(right, j + 1.0) - std::max(left, static_cast<double>(j)));
        worst = std::max(worst, std::abs(moment / width - t));
    }
    return worst;
}

std::optional<ScanMeasure> MeasureFirstDotOnScan(const Image& page, const ScanOrigin& origin, Phrase* problem) {
    const Image& scan = *origin.scan;
    const double dpi = origin.dpi;
    // The line lies within 296 steps of the sheet's edge (0.1 inch and its width).
    const int reach = static_cast<int>(std::ceil(dpi * 0.13)) + 4;
    const int minRows = static_cast<int>(dpi * 0.3);
    const Found line = FindLine(page, std::min(reach, page.width / 4), minRows);
    if (line.leans) {
        *problem = SVC_N("the line leans (its top and bottom stand apart): adjust the head angle first");
        return std::nullopt;
    }
    if (!line.any || line.bottom - line.top < minRows) {
        *problem = SVC_N("no vertical line found");
        return std::nullopt;
    }
    const Placement& sheet = origin.sheet;
    const double c = std::cos(sheet.angle), s = std::sin(sheet.angle);
    // The edge the line stands by: x = e(y) on the scan, the paper on `side`
    // (+1: right of it).
    const double side = line.right ? -1 : 1;
    const double edgeU = line.right ? sheet.width : 0;
    // Where the sheet's rows v lie on the scan near that edge.
    auto rowOf = [&](double v) { return OnScan(sheet, edgeU, v).y; };
    // The line's rows on the sheet: as found on the page, taken to the scan.
    const Point lineTop = OnScan(origin.page, line.u, line.top), lineBottom = OnScan(origin.page, line.u, line.bottom);
    const double lineY0 = std::min(lineTop.y, lineBottom.y), lineY1 = std::max(lineTop.y, lineBottom.y);

    // ---- the edge, row by row, away from the line and the corners ----
    constexpr int kHalf = 5, kLevel = 4;  // window either side of the edge; level strips beyond it
    const double margin = 0.3 * dpi;
    const int yFrom = static_cast<int>(std::ceil(std::max(rowOf(margin), 0.0)));
    const int yTo = static_cast<int>(std::floor(std::min(rowOf(sheet.height - margin), scan.height - 1.0)));
    EdgeFit edge;
    edge.a = OnScan(sheet, edgeU, 0).x - (OnScan(sheet, edgeU, 0).y) * (-s / c);
    edge.b = -s / c;
    std::vector<double> ys, xs;
    double contrast = 0;
    std::size_t contrastRows = 0;
    for (int pass = 0; pass < 2; ++pass) {
        ys.clear(), xs.clear();
        contrast = 0, contrastRows = 0;
        // Levels per block of rows: the background's and the paper's.
        constexpr int kBlock = 32;
        for (int y0 = yFrom; y0 < yTo; y0 += kBlock) {
            const int y1 = std::min(yTo, y0 + kBlock);
            double back = 0, paper = 0;
            int nb = 0, np = 0;
            std::vector<std::pair<int, int>> rows;  // row, left end of its window
            for (int y = y0; y < y1; ++y) {
                if (y + 0.5 > lineY0 - 3 * kHalf && y + 0.5 < lineY1 + 3 * kHalf) continue;
                const double e = edge.a + edge.b * (y + 0.5);
                const int left = static_cast<int>(std::floor(e)) - kHalf;
                if (left - kLevel < 0 || left + 2 * kHalf + kLevel > scan.width) continue;
                rows.emplace_back(y, left);
                for (int k = 0; k < kLevel; ++k) {
                    const double outer = Grey(scan, side > 0 ? left - 1 - k : left + 2 * kHalf + k, y);
                    const double inner = Grey(scan, side > 0 ? left + 2 * kHalf + k : left - 1 - k, y);
                    back += outer, ++nb;
                    paper += inner, ++np;
                }
            }
            if (rows.empty()) continue;
            back /= nb, paper /= np;
            if (paper - back < 8) continue;  // no edge to see: paper against paper-white
            contrast += (paper - back) * static_cast<double>(rows.size()), contrastRows += rows.size();
            for (const auto& [y, left] : rows) {
                double share = 0;
                for (int x = left; x < left + 2 * kHalf; ++x) share += (paper - Grey(scan, x, y)) / (paper - back);
                ys.push_back(y + 0.5);
                xs.push_back(side > 0 ? left + share : left + 2 * kHalf - share);
            }
        }
        const std::optional<EdgeFit> fit = FitThrough(ys, xs, 64);
        if (!fit) {
            *problem = SVC_N("the sheet's edge beside the line does not show against the background");
            return std::nullopt;
        }
        edge = *fit;
        // Samples far off the fit (a speck, a corner's shadow) left out.
        std::vector<double> off;
        for (std::size_t i = 0; i < ys.size(); ++i) off.push_back(std::abs(xs[i] - edge.a - edge.b * ys[i]));
        const double spread = std::max(0.05, 1.4826 * MedianOf(off));
        std::vector<double> keptY, keptX;
        for (std::size_t i = 0; i < ys.size(); ++i)
            if (off[i] <= 5 * spread) keptY.push_back(ys[i]), keptX.push_back(xs[i]);
        if (const auto refit = FitThrough(keptY, keptX, 64)) edge = *refit;
    }

    // ---- the line against the edge ----
    // Each row sampled at distances x' from the edge (across, on the scan's
    // row), each over its paper beside the line: the line rows' mean less
    // the mean of rows beside them (the edge's own step and shade cancel).
    const double width = 8 * dpi / 2880;  // the line: one byte of dots
    double half = 4.5 + width / 2;        // its blur's reach
    const Point mid = OnScan(origin.page, line.u, (line.top + line.bottom) / 2);
    double centre = side * (mid.x - (edge.a + edge.b * mid.y));  // x' of the line, as found
    if (!(centre > 0) || centre > 0.2 * dpi) {
        *problem = SVC_N("no vertical line found");
        return std::nullopt;
    }
    const double from = -3, to = centre + half + 3;  // x' sampled
    const int samples = static_cast<int>(std::ceil(to - from));
    const int paperFrom = samples + 1;  // the paper right of the window, 6 samples
    auto profile = [&](int y, std::vector<double>* out) {
        const double e = edge.a + edge.b * (y + 0.5);
        double paper = 0;
        for (int k = 0; k < 6; ++k) paper += GreyAt(scan, e + side * (from + paperFrom + k + 0.5), y);
        paper /= 6;
        if (paper < 16) return false;
        for (int k = 0; k < samples; ++k)
            (*out)[static_cast<std::size_t>(k)] = GreyAt(scan, e + side * (from + k + 0.5), y) / paper;
        return true;
    };
    auto inside = [&](int y) {
        const double e = edge.a + edge.b * (y + 0.5);
        const double lo = std::min(e + side * (from - 1), e + side * (from + paperFrom + 7));
        const double hi = std::max(e + side * (from - 1), e + side * (from + paperFrom + 7));
        return lo >= 1 && hi < scan.width - 1 && y >= 0 && y < scan.height;
    };
    // The line's rows, less its ends (blurred, and a turn slants them).
    const double endMargin = half + std::abs(s) * 2 * half + 2;
    const int lineFrom = static_cast<int>(std::ceil(lineY0 + endMargin)),
              lineTo = static_cast<int>(std::floor(lineY1 - endMargin));
    if (lineTo - lineFrom < 16) {
        *problem = SVC_N("no vertical line found");
        return std::nullopt;
    }
    // Rows beside it, as many as it has, half above and half below where the sheet allows.
    const int gap = static_cast<int>(std::ceil(2 * half + 4));
    const int count = lineTo - lineFrom;
    std::vector<int> reference;
    const int sheetTop = static_cast<int>(std::ceil(std::max(rowOf(3 * half + 6), 0.0)));
    for (int y = static_cast<int>(lineY0) - gap; y >= sheetTop && static_cast<int>(reference.size()) < count / 2; --y)
        if (inside(y)) reference.push_back(y);
    for (int y = static_cast<int>(std::ceil(lineY1)) + gap;
         y < scan.height && static_cast<int>(reference.size()) < count; ++y)
        if (inside(y)) reference.push_back(y);
    if (static_cast<int>(reference.size()) < count / 2) {
        *problem = SVC_N("no vertical line found");
        return std::nullopt;
    }
    std::vector<double> row(static_cast<std::size_t>(samples)), paperMean(row.size(), 0);
    int used = 0;
    for (int y : reference)
        if (profile(y, &row)) {
            for (std::size_t k = 0; k < row.size(); ++k) paperMean[k] += row[k];
            ++used;
        }
    if (used == 0) {
        *problem = SVC_N("no vertical line found");
        return std::nullopt;
    }
    for (double& v : paperMean) v /= used;
    // The line's rows in blocks: each block's mean profile.
    constexpr int kBlocks = 8;
    std::vector<std::vector<double>> blocks(kBlocks, std::vector<double>(row.size(), 0));
    std::vector<int> inBlock(kBlocks, 0);
    for (int y = lineFrom; y < lineTo; ++y) {
        if (!inside(y) || !profile(y, &row)) continue;
        const int b = std::min(kBlocks - 1, (y - lineFrom) * kBlocks / count);
        for (std::size_t k = 0; k < row.size(); ++k) blocks[b][k] += row[k];
        ++inBlock[b];
    }
    // The centre of a profile's darkness (over the paper beside it) within `half` of `around`.
    auto centreOf = [&](const std::vector<double>& sum, int n, double around, double* mass) {
        for (int iteration = 0; iteration < 4; ++iteration) {
            double m = 0, moment = 0;
            for (int k = 0; k < samples; ++k) {
                const double x = from + k + 0.5;
                if (std::abs(x - around) > half) continue;
                const double d = paperMean[static_cast<std::size_t>(k)] - sum[static_cast<std::size_t>(k)] / n;
                m += d, moment += d * x;
            }
            if (!(m > 0)) return std::optional<double>();
            *mass = m;
            around = moment / m;
        }
        return std::optional<double>(around);
    };
    std::vector<double> all(row.size(), 0);
    int allRows = 0;
    for (int b = 0; b < kBlocks; ++b) {
        for (std::size_t k = 0; k < row.size(); ++k) all[k] += blocks[b][k];
        allRows += inBlock[b];
    }
    if (allRows < 16) {
        *problem = SVC_N("no vertical line found");
        return std::nullopt;
    }
    double mass = 0;
    std::optional<double> across = centreOf(all, allRows, centre, &mass);
    if (across) {
        // The window narrowed to the line's own spread (its width and the
        // blur): the noise in a centre grows with the window's width.
        double m = 0, second = 0;
        for (int k = 0; k < samples; ++k) {
            const double x = from + k + 0.5;
            if (std::abs(x - *across) > half) continue;
            const double d = paperMean[static_cast<std::size_t>(k)] - all[static_cast<std::size_t>(k)] / allRows;
            m += d, second += d * (x - *across) * (x - *across);
        }
        const double spread = m > 0 && second > 0 ? std::sqrt(second / m) : half;
        half = std::clamp(3 * spread + 0.5, 2.0, half);
        across = centreOf(all, allRows, *across, &mass);
    }
    // The line's ink is about its width of full darkness: much less is no line.
    if (!across || mass < 0.3 * width) {
        *problem = SVC_N("no vertical line found");
        return std::nullopt;
    }
    std::vector<double> perBlock;
    for (int b = 0; b < kBlocks; ++b) {
        double m = 0;
        if (inBlock[b] < 4) continue;
        if (const auto at = centreOf(blocks[b], inBlock[b], *across, &m)) perBlock.push_back(*at);
    }
    if (perBlock.size() < 4) {
        *problem = SVC_N("no vertical line found");
        return std::nullopt;
    }
    double scatter = 0;
    for (double v : perBlock) scatter += (v - *across) * (v - *across);
    scatter /= static_cast<double>(perBlock.size() - 1);
    // The blocks' scatter as the error of their mean, and the rows beside it
    // (the same for every block) as much again for as many rows.
    const double lineError =
        std::sqrt(scatter / static_cast<double>(perBlock.size()) * (1 + static_cast<double>(allRows) / used));

    ScanMeasure m;
    const double slope = edge.b;
    m.pixels = *across / std::sqrt(1 + slope * slope);
    m.error = std::sqrt(lineError * lineError + std::pow(edge.errorAt(mid.y), 2));
    m.upsideDown = line.right;
    m.sampling = SamplingBias(width);
    // A JPEG keeps each 8x8 block's mean only to a level or so: the edge's
    // place moves by that over its step, the same in every block the edge
    // crosses at the same place across (a sheet turned by a hair: the edge
    // stays at one place in its blocks down the whole sheet), evening out
    // as it crosses the blocks at others. The line, black on white, hardly.
    const double levels = contrastRows > 0 ? contrast / static_cast<double>(contrastRows) : 8;
    const double drift = std::abs(edge.b) * (ys.empty() ? 0 : ys.back() - ys.front());
    m.unseen = 15 / levels / std::sqrt(std::max(1.0, drift / 8)) + 0.02;
    m.where = {line.u - width / 2, line.top, width, line.bottom - line.top};
    return m;
}

}  // namespace svc::pagereader::detail
