#include "pagereader/Fitting.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>

namespace svc::pagereader::detail {

namespace {

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    const auto middle = values.begin() + static_cast<long>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

double Quantile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    const std::size_t k =
        std::min(values.size() - 1, static_cast<std::size_t>(share * static_cast<double>(values.size())));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(k), values.end());
    return values[k];
}

// The profile at a fractional index, linear between samples (0 outside).
double At(const std::vector<double>& profile, double i) {
    const double f = std::floor(i);
    const long k = static_cast<long>(f);
    const long n = static_cast<long>(profile.size());
    auto v = [&](long j) { return j >= 0 && j < n ? profile[static_cast<std::size_t>(j)] : 0.0; };
    return v(k) * (1 - (i - f)) + v(k + 1) * (i - f);
}

// The centroid of the profile's ink within `half` of `around` (indices of the
// profile; the middle of sample i is i + 0.5), the ends weighted by how much
// of them the window covers. Repeated from where it lands until it settles.
std::optional<double> Centroid(const std::vector<double>& profile, double around, double half, double paper) {
    const double n = static_cast<double>(profile.size());
    double at = around;
    for (int round = 0; round < 8; ++round) {
        const double from = std::max(0.0, at - half), to = std::min(n, at + half);
        if (to - from < 1) return std::nullopt;
        double mass = 0, moment = 0;
        for (long i = static_cast<long>(std::floor(from)); static_cast<double>(i) < to; ++i) {
            const double cover = std::min(to, static_cast<double>(i) + 1) - std::max(from, static_cast<double>(i));
            if (cover <= 0) continue;
            const double w = std::max(0.0, profile[static_cast<std::size_t>(i)] - paper) * cover;
            const double mid = (std::max(from, static_cast<double>(i)) + std::min(to, static_cast<double>(i) + 1)) / 2;
            mass += w;
            moment += w * mid;
        }
        if (mass <= 0) return std::nullopt;
        const double next = moment / mass;
        if (std::abs(next - at) < 1e-3) return next;
        at = next;
    }
    return at;
}

}  // namespace

std::vector<double> DarkColumns(const Image& page, const Box& box, bool luma, int paperReach) {
    const Box b = Clip(page, box);
    std::vector<double> profile(static_cast<std::size_t>(std::max(0, b.Width())), 0.0);
    if (b.Width() <= 0 || b.Height() <= 0) return profile;
    for (int y = b.top; y < b.bottom; ++y) {
        const std::uint8_t* row = page.Row(y);
        for (int x = b.left; x < b.right; ++x) {
            const std::uint8_t* p = row + static_cast<std::size_t>(x) * 3;
            profile[static_cast<std::size_t>(x - b.left)] +=
                luma ? (255 - (0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2])) / 255.0 : Darkness(p);
        }
    }
    if (paperReach > 0) {
        // Each column less the median of those around it (every other one
        // looked at: the paper changes slowly).
        std::vector<double> local(profile.size());
        const long n = static_cast<long>(profile.size()), r = paperReach;
        std::vector<double> around;
        for (long i = 0; i < n; ++i) {
            around.clear();
            for (long k = std::max(0L, i - r); k <= std::min(n - 1, i + r); k += 2)
                around.push_back(profile[static_cast<std::size_t>(k)]);
            local[static_cast<std::size_t>(i)] = profile[static_cast<std::size_t>(i)] - Median(around);
        }
        for (double& v : local) v /= b.Height();
        return local;
    }
    const double paper = Median(profile);
    for (double& v : profile) v = (v - paper) / b.Height();
    return profile;
}

std::vector<double> DarkRows(const Image& page, const Box& box, int reach) {
    const Box b = Clip(page, box);
    std::vector<double> profile(static_cast<std::size_t>(std::max(0, b.Height())), 0.0);
    if (b.Width() <= 0 || b.Height() <= 0) return profile;
    // Each row less its own paper (its median: a row's ink covers little of
    // it), so that light falling off down the page does not look like ink.
    std::array<int, 256> histogram{};
    for (int y = b.top; y < b.bottom; ++y) {
        const std::uint8_t* row = page.Row(y);
        histogram.fill(0);
        double sum = 0;
        for (int x = b.left; x < b.right; ++x) {
            const std::uint8_t* p = row + static_cast<std::size_t>(x) * 3;
            ++histogram[std::min({p[0], p[1], p[2]})];
            sum += Darkness(p);
        }
        // The median, to a fraction of a level (where in its level's count the middle falls).
        int level = 255, seen = 0;
        for (; level > 0; --level) {
            if ((seen + histogram[static_cast<std::size_t>(level)]) * 2 >= b.Width()) break;
            seen += histogram[static_cast<std::size_t>(level)];
        }
        const int count = std::max(1, histogram[static_cast<std::size_t>(level)]);
        const double median = level + 0.5 - (b.Width() / 2.0 - seen) / count;
        profile[static_cast<std::size_t>(y - b.top)] = sum / b.Width() - (255 - median) / 255.0;
    }
    // Smoothed over a few rows: a band of the pattern is many rows high, and
    // a fine scan shows its raster lines apart.
    std::vector<double> smooth(profile.size(), 0.0);
    const long n = static_cast<long>(profile.size());
    const long r = std::max(2, reach);
    for (long i = 0; i < n; ++i) {
        double s = 0;
        int k = 0;
        for (long j = std::max(0L, i - r); j <= std::min(n - 1, i + r); ++j)
            s += profile[static_cast<std::size_t>(j)], ++k;
        smooth[static_cast<std::size_t>(i)] = s / k;
    }
    return smooth;
}

std::vector<Run> DarkBands(const std::vector<double>& profile, int offset, double share, double ceiling, int join,
                           double least, bool fewRows) {
    std::vector<Run> bands;
    // The paper's noise (the profile's median is the paper), and the typical
    // level of the rows that stand clear of it: the pattern's rows, which
    // outnumber the text's.
    // Rows of paper alone sit near the bottom of the profile (each row is
    // measured from its own paper, and the pattern may fill most rows).
    // Its noise from one row to the next (steps between bands are few).
    const double paper = Quantile(profile, 0.05);
    std::vector<double> steps;
    for (std::size_t i = 1; i < profile.size(); ++i) steps.push_back(std::abs(profile[i] - profile[i - 1]));
    const double drift = fewRows ? 0.25 * (Quantile(profile, 0.95) - paper) : 0;
    const double floor = paper + std::max({0.002, 6 * 1.4826 * Median(steps), drift});
    std::vector<double> inked;
    for (double v : profile)
        if (v > floor) inked.push_back(v - paper);
    const double typical = Median(inked);
    if (!(typical > 0)) return bands;
    // Rows far darker than the pattern's are text: they part bands, and the
    // rows next to them (the text's lighter edges) go with them.
    std::vector<double> rows = profile;
    const long n = static_cast<long>(rows.size());
    for (long i = 0; i < n; ++i)
        if (profile[static_cast<std::size_t>(i)] > paper + ceiling * typical)
            for (long j = std::max(0L, i - 2); j <= std::min(n - 1, i + 2); ++j)
                rows[static_cast<std::size_t>(j)] = paper;
    for (const Run& run : Runs(rows, offset, std::max(floor, paper + share * typical), join))
        if (run.Size() >= least) bands.push_back(run);
    return bands;
}

double BandMiddle(const std::vector<double>& profile, int offset, const Run& band, double height) {
    const int size = static_cast<int>(std::lround(height));
    const int from = band.begin - offset, to = band.end - offset;
    if (band.Size() <= size || from < 0 || to > static_cast<int>(profile.size())) return (band.begin + band.end) / 2.0;
    double sum = 0;
    for (int i = from; i < from + size; ++i) sum += profile[static_cast<std::size_t>(i)];
    double best = sum;
    int bestAt = from;
    for (int i = from + 1; i + size <= to; ++i) {
        sum += profile[static_cast<std::size_t>(i + size - 1)] - profile[static_cast<std::size_t>(i - 1)];
        if (sum > best) best = sum, bestAt = i;
    }
    return offset + bestAt + size / 2.0;
}

std::optional<Comb> FitComb(const std::vector<double>& profile, int offset, int count, double pitch, double half) {
    const double n = static_cast<double>(profile.size());
    const double span = pitch * (count - 1);
    if (count < 2 || pitch <= 1 || span >= n) return std::nullopt;
    // The profile smoothed over a quarter pitch, so that the comb finds a
    // tick a little off its place; tapering to its ends, so that a comb on
    // thin sharp ticks lies on their middles (where a flat sum would be as
    // high anywhere within the reach and the comb might rest beside them).
    const int reach = std::max(1, static_cast<int>(pitch / 8));
    std::vector<double> smooth(profile.size(), 0.0);
    for (std::size_t i = 0; i < profile.size(); ++i) {
        double s = 0;
        for (long j = static_cast<long>(i) - reach; j <= static_cast<long>(i) + reach; ++j)
            if (j >= 0 && j < static_cast<long>(profile.size()))
                s += std::max(0.0, profile[static_cast<std::size_t>(j)]) *
                     (1 + reach - std::abs(j - static_cast<long>(i))) / (1.0 + reach);
        smooth[i] = s;
    }
    // The comb at every quarter pixel: its teeth's ink.
    double best = -1, bestAt = 0;
    for (double first = 0; first + span < n; first += 0.25) {
        double s = 0;
        for (int k = 0; k < count; ++k) s += At(smooth, first + k * pitch - 0.5);
        if (s > best) best = s, bestAt = first;
    }
    if (!(best > 0)) return std::nullopt;
    Comb comb;
    comb.first = bestAt + offset;
    std::vector<double> masses;
    for (int k = 0; k < count; ++k) {
        // The paper around the tick: the median over a pitch, most of it between ticks.
        const double centre = bestAt + k * pitch;
        std::vector<double> around;
        for (long i = static_cast<long>(centre - pitch / 2); i <= static_cast<long>(centre + pitch / 2); ++i)
            if (i >= 0 && i < static_cast<long>(profile.size())) around.push_back(profile[static_cast<std::size_t>(i)]);
        const std::optional<double> c = Centroid(profile, centre, half, Median(around));
        if (!c || std::abs(*c - (bestAt + k * pitch)) > pitch / 3) return std::nullopt;
        comb.centres.push_back(*c + offset);
        masses.push_back(At(smooth, *c - 0.5));
    }
    // Every tooth on a tick, and none beyond the ends: a comb one pitch off
    // leaves a tick out at one end.
    const double tick = Median(masses);
    if (!(tick > 0)) return std::nullopt;
    for (double m : masses)
        if (m < 0.35 * tick) return std::nullopt;
    for (const double beyond : {bestAt - pitch, bestAt + count * pitch}) {
        if (beyond < 0 || beyond >= n) continue;
        double most = 0;
        for (double d = -pitch / 4; d <= pitch / 4; d += 0.5) most = std::max(most, At(smooth, beyond + d - 0.5));
        if (most > 0.35 * tick) return std::nullopt;
    }
    return comb;
}

std::optional<LineFit> FitLine(const std::vector<double>& x, const std::vector<double>& y) {
    const std::size_t n = std::min(x.size(), y.size());
    if (n < 3) return std::nullopt;
    double sx = 0, sy = 0;
    for (std::size_t i = 0; i < n; ++i) sx += x[i], sy += y[i];
    const double mx = sx / n, my = sy / n;
    double sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < n; ++i) sxx += (x[i] - mx) * (x[i] - mx), sxy += (x[i] - mx) * (y[i] - my);
    if (!(sxx > 0)) return std::nullopt;
    LineFit f;
    f.n = static_cast<int>(n);
    f.b = sxy / sxx;
    f.a = my - f.b * mx;
    double squares = 0;
    for (std::size_t i = 0; i < n; ++i) squares += (y[i] - f.a - f.b * x[i]) * (y[i] - f.a - f.b * x[i]);
    f.residual = std::sqrt(squares / static_cast<double>(n - 2));
    f.errorAtZero = f.residual * std::sqrt(1.0 / n + mx * mx / sxx);
    return f;
}

std::vector<double> WithoutOutliers(const std::vector<double>& samples, double least) {
    const double median = Median(samples);
    std::vector<double> deviations;
    for (double v : samples) deviations.push_back(std::abs(v - median));
    const double reach = std::max(least, 4 * 1.4826 * Median(deviations));
    std::vector<double> kept;
    for (double v : samples)
        if (std::abs(v - median) <= reach) kept.push_back(v);
    return kept;
}

MeanError MeanOf(const std::vector<double>& samples) {
    MeanError m;
    m.n = static_cast<int>(samples.size());
    if (samples.empty()) return m;
    for (double v : samples) m.mean += v;
    m.mean /= m.n;
    if (m.n < 2) return m;
    double squares = 0;
    for (double v : samples) squares += (v - m.mean) * (v - m.mean);
    m.deviation = std::sqrt(squares / (m.n - 1));
    m.error = m.deviation / std::sqrt(static_cast<double>(m.n));
    return m;
}

Colour InkColour(const Image& page, const Box& box) {
    Colour colour;
    const Box b = Clip(page, box);
    std::vector<double> dark;
    for (int y = b.top; y < b.bottom; ++y)
        for (int x = b.left; x < b.right; ++x) dark.push_back(Darkness(page.Row(y) + static_cast<std::size_t>(x) * 3));
    if (dark.empty()) return colour;
    const double level = Quantile(dark, 0.99);
    if (level < 0.08) return colour;
    double r = 0, g = 0, bl = 0, n = 0;
    for (int y = b.top; y < b.bottom; ++y)
        for (int x = b.left; x < b.right; ++x) {
            const std::uint8_t* p = page.Row(y) + static_cast<std::size_t>(x) * 3;
            if (Darkness(p) < level / 2) continue;
            r += p[0], g += p[1], bl += p[2], n += 1;
        }
    if (n == 0) return colour;
    colour = {r / n, g / n, bl / n, true};
    return colour;
}

Colour CombColour(const Image& page, const Box& box, const Comb& comb, double pitch) {
    Colour colour;
    const Box b = Clip(page, box);
    if (b.Width() <= 0 || b.Height() <= 0 || comb.centres.size() < 2) return colour;
    // Each column's mean of each channel over the box's rows.
    std::vector<std::array<double, 3>> columns(static_cast<std::size_t>(b.Width()), {0, 0, 0});
    for (int y = b.top; y < b.bottom; ++y) {
        const std::uint8_t* row = page.Row(y);
        for (int x = b.left; x < b.right; ++x)
            for (std::size_t c = 0; c < 3; ++c)
                columns[static_cast<std::size_t>(x - b.left)][c] += row[static_cast<std::size_t>(x) * 3 + c];
    }
    // The columns within `reach` of a place (page coordinates, sub-pixel), added to `sum`.
    const double reach = std::max(0.75, pitch / 10);
    auto add = [&](double at, std::array<double, 3>* sum, double* n) {
        for (int x = static_cast<int>(std::ceil(at - reach - 0.5)); x + 0.5 <= at + reach; ++x) {
            if (x < b.left || x >= b.right) continue;
            for (std::size_t c = 0; c < 3; ++c) (*sum)[c] += columns[static_cast<std::size_t>(x - b.left)][c];
            *n += b.Height();
        }
    };
    std::array<double, 3> on{0, 0, 0}, between{0, 0, 0};
    double nOn = 0, nBetween = 0;
    for (std::size_t k = 0; k < comb.centres.size(); ++k) {
        add(comb.centres[k], &on, &nOn);
        if (k + 1 < comb.centres.size()) add((comb.centres[k] + comb.centres[k + 1]) / 2, &between, &nBetween);
    }
    if (nOn == 0 || nBetween == 0) return colour;
    const double r = between[0] / nBetween - on[0] / nOn, g = between[1] / nBetween - on[1] / nOn,
                 bl = between[2] / nBetween - on[2] / nOn;
    if (!(std::max({r, g, bl}) > 0)) return colour;
    colour = {255 - std::max(0.0, r), 255 - std::max(0.0, g), 255 - std::max(0.0, bl), true};
    return colour;
}

bool ShowsInk(const Colour& colour, Ink ink, double atLeast) {
    if (!colour.any) return false;
    const double c = 255 - colour.r, m = 255 - colour.g, y = 255 - colour.b;
    const double most = std::max({c, m, y}), least = std::min({c, m, y});
    if (most < atLeast) return false;
    // Grey has its three channels alike; a faint colour (a thin tick of a
    // light ink on a coarse scan) still has one a fifth apart.
    const bool neutral = most - least < std::max(std::min(3.0, atLeast), 0.2 * most);
    switch (ink) {
        case Ink::Black:
        case Ink::Gray:
            return neutral;
        case Ink::Cyan:
        case Ink::LightCyan:
            return !neutral && c == most;
        case Ink::Magenta:
        case Ink::LightMagenta:
            return !neutral && m == most;
        case Ink::Yellow:
            return !neutral && y == most;
        case Ink::Any:
        case Ink::Dark:
            return true;
    }
    return false;
}

std::vector<double> MeanDarkRows(const Image& page, const Box& box) {
    const Box b = Clip(page, box);
    std::vector<double> profile(static_cast<std::size_t>(std::max(0, b.Height())), 0.0);
    if (b.Width() <= 0) return profile;
    for (int y = b.top; y < b.bottom; ++y) {
        const std::uint8_t* row = page.Row(y);
        double sum = 0;
        for (int x = b.left; x < b.right; ++x) sum += Darkness(row + static_cast<std::size_t>(x) * 3);
        profile[static_cast<std::size_t>(y - b.top)] = sum / b.Width();
    }
    return profile;
}

std::vector<double> AbovePaper(const std::vector<double>& profile, int reach) {
    const int n = static_cast<int>(profile.size());
    std::vector<double> above(profile.size());
    for (int i = 0; i < n; ++i) {
        double least = profile[static_cast<std::size_t>(i)];
        for (int j = std::max(0, i - reach); j <= std::min(n - 1, i + reach); j += 2)
            least = std::min(least, profile[static_cast<std::size_t>(j)]);
        above[static_cast<std::size_t>(i)] = profile[static_cast<std::size_t>(i)] - least;
    }
    return above;
}

std::vector<double> MeanDarkColumns(const Image& page, const Box& box) {
    const Box b = Clip(page, box);
    std::vector<double> profile(static_cast<std::size_t>(std::max(0, b.Width())), 0.0);
    if (b.Height() <= 0) return profile;
    for (int y = b.top; y < b.bottom; ++y) {
        const std::uint8_t* row = page.Row(y);
        for (int x = b.left; x < b.right; ++x)
            profile[static_cast<std::size_t>(x - b.left)] += Darkness(row + static_cast<std::size_t>(x) * 3);
    }
    for (double& v : profile) v /= b.Height();
    return profile;
}

std::optional<double> EdgeBetween(const std::vector<double>& profile, int from, int to, double ink, double paper) {
    const int a = std::min(from, to), b = std::max(from, to);
    if (a < 0 || b > static_cast<int>(profile.size()) || b - a < 2) return std::nullopt;
    if (!(std::abs(ink - paper) > 1e-3)) return std::nullopt;
    double share = 0;
    for (int i = a; i < b; ++i) share += (profile[static_cast<std::size_t>(i)] - paper) / (ink - paper);
    return from < to ? a + share : b - share;
}

double MedianOf(std::vector<double> values) { return Median(std::move(values)); }
double QuantileOf(std::vector<double> values, double share) { return Quantile(std::move(values), share); }

}  // namespace svc::pagereader::detail
