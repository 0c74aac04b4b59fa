#include "pagereader/PageImage.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace svc::pagereader {

namespace {

float Ramp(float value, float from, float to) {
    if (to == from) return value >= to ? 1.0f : 0.0f;
    return std::clamp((value - from) / (to - from), 0.0f, 1.0f);
}

// Samples with weight at or above this count as showing the ink.
constexpr float kShows = 0.5f;

}  // namespace

float InkWeightOf(Ink ink, const std::uint8_t* rgb) {
    // Ink amounts as the subtractive filters: cyan takes red, magenta green,
    // yellow blue. The part common to all three is the gray (black) part.
    const float c = 255.0f - rgb[0], m = 255.0f - rgb[1], y = 255.0f - rgb[2];
    const float k = std::min({c, m, y});
    const float rc = c - k, rm = m - k, ry = y - k;
    const float chroma = std::max({rc, rm, ry});
    switch (ink) {
        case Ink::Any:
            return Ramp(std::max({c, m, y}), 30.0f, 90.0f);
        case Ink::Dark:
            return Ramp(std::max({c, m, y}), 0.0f, 235.0f);
        case Ink::Black:
            // Full black leaves about 20 of 255; gray about 120.
            if (chroma > 0.4f * k + 30.0f) return 0.0f;
            return Ramp(k, 150.0f, 200.0f);
        case Ink::Gray:
            if (chroma > 45.0f) return 0.0f;
            return std::min(Ramp(k, 70.0f, 105.0f), 1.0f - Ramp(k, 165.0f, 200.0f));
        case Ink::Cyan:
            if (rc < 1.6f * rm || rc < 1.6f * ry) return 0.0f;
            return Ramp(rc, 120.0f, 180.0f);
        case Ink::Magenta:
            if (rm < 1.5f * rc || rm < 1.4f * ry) return 0.0f;
            return Ramp(rm, 130.0f, 180.0f);
        case Ink::Yellow:
            if (ry < 2.0f * rc || ry < 2.0f * rm) return 0.0f;
            return Ramp(ry, 110.0f, 170.0f);
        case Ink::LightCyan:
            // Light cyan leaves (150, 215, 245): about 95 of cyan over a little gray.
            if (rc < 2.0f * rm || rc < 2.0f * ry || k > 60.0f) return 0.0f;
            return std::min(Ramp(rc, 50.0f, 75.0f), 1.0f - Ramp(rc, 135.0f, 160.0f));
        case Ink::LightMagenta:
            // Light magenta leaves (245, 160, 205): about 85 of magenta.
            if (rm < 2.0f * rc || rm < 1.4f * ry || k > 60.0f) return 0.0f;
            return std::min(Ramp(rm, 45.0f, 65.0f), 1.0f - Ramp(rm, 125.0f, 150.0f));
    }
    return 0.0f;
}

Box Clip(const Image& page, const Box& box) {
    Box b{std::max(0, box.left), std::max(0, box.top), std::min(page.width, box.right),
          std::min(page.height, box.bottom)};
    if (b.right < b.left) b.right = b.left;
    if (b.bottom < b.top) b.bottom = b.top;
    return b;
}

std::vector<double> ColumnProfile(const Image& page, const Box& box, Ink ink) {
    const Box b = Clip(page, box);
    std::vector<double> profile(static_cast<std::size_t>(b.Width()), 0.0);
    for (int y = b.top; y < b.bottom; ++y) {
        const std::uint8_t* row = page.Row(y);
        for (int x = b.left; x < b.right; ++x)
            profile[static_cast<std::size_t>(x - b.left)] += InkWeight(ink, row + static_cast<std::size_t>(x) * 3);
    }
    return profile;
}

std::vector<double> RowProfile(const Image& page, const Box& box, Ink ink) {
    const Box b = Clip(page, box);
    std::vector<double> profile(static_cast<std::size_t>(b.Height()), 0.0);
    for (int y = b.top; y < b.bottom; ++y) {
        const std::uint8_t* row = page.Row(y);
        double sum = 0;
        for (int x = b.left; x < b.right; ++x) sum += InkWeight(ink, row + static_cast<std::size_t>(x) * 3);
        profile[static_cast<std::size_t>(y - b.top)] = sum;
    }
    return profile;
}

std::vector<Run> Runs(const std::vector<double>& profile, int offset, double threshold, int join) {
    std::vector<Run> runs;
    const int n = static_cast<int>(profile.size());
    for (int i = 0; i < n;) {
        if (profile[static_cast<std::size_t>(i)] <= threshold) {
            ++i;
            continue;
        }
        int j = i;
        while (j < n && profile[static_cast<std::size_t>(j)] > threshold) ++j;
        if (!runs.empty() && i + offset - runs.back().end <= join)
            runs.back().end = j + offset;
        else
            runs.push_back({i + offset, j + offset, 0, 0});
        i = j;
    }
    // Centres from the whole profile inside each run (its soft edges included).
    for (Run& run : runs) {
        double mass = 0, moment = 0;
        const int from = std::max(0, run.begin - offset - 1), to = std::min(n, run.end - offset + 1);
        for (int i = from; i < to; ++i) {
            const double w = profile[static_cast<std::size_t>(i)];
            mass += w;
            moment += w * (i + offset + 0.5);
        }
        run.mass = mass;
        run.centre = mass > 0 ? moment / mass : (run.begin + run.end) / 2.0;
    }
    return runs;
}

namespace {

// Per column (across) or row (down): how many of its pixels show the ink, and how much ink.
void Count(const Image& page, const Box& b, Ink ink, bool across, std::vector<double>* shown,
           std::vector<double>* weight) {
    shown->assign(static_cast<std::size_t>(across ? b.Width() : b.Height()), 0.0);
    weight->assign(shown->size(), 0.0);
    for (int y = b.top; y < b.bottom; ++y) {
        const std::uint8_t* row = page.Row(y);
        for (int x = b.left; x < b.right; ++x) {
            const float w = InkWeight(ink, row + static_cast<std::size_t>(x) * 3);
            if (w <= 0) continue;
            const std::size_t i = static_cast<std::size_t>(across ? x - b.left : y - b.top);
            (*weight)[i] += w;
            if (w >= kShows) (*shown)[i] += 1;
        }
    }
}

std::vector<Run> Lines(const Image& page, const Box& box, Ink ink, bool across, int join, double fraction) {
    const Box b = Clip(page, box);
    if (b.Width() <= 0 || b.Height() <= 0) return {};
    std::vector<double> shown, weight;
    Count(page, b, ink, across, &shown, &weight);
    const double need = std::max(1.0, fraction * (across ? b.Height() : b.Width())) - 0.5;
    std::vector<Run> runs = Runs(shown, across ? b.left : b.top, need, join);
    // Centres by the ink's weight, not by the count.
    const int offset = across ? b.left : b.top;
    for (Run& run : runs) {
        double mass = 0, moment = 0;
        const int from = std::max(0, run.begin - offset - 1),
                  to = std::min(static_cast<int>(weight.size()), run.end - offset + 1);
        for (int i = from; i < to; ++i) {
            mass += weight[static_cast<std::size_t>(i)];
            moment += weight[static_cast<std::size_t>(i)] * (i + offset + 0.5);
        }
        run.mass = mass;
        if (mass > 0) run.centre = moment / mass;
    }
    return runs;
}

}  // namespace

std::vector<Run> InkColumns(const Image& page, const Box& box, Ink ink, double fraction) {
    return Lines(page, box, ink, true, 0, fraction);
}

std::vector<Run> InkRows(const Image& page, const Box& box, Ink ink, int join, double fraction) {
    return Lines(page, box, ink, false, join, fraction);
}

std::vector<std::vector<Run>> InkRowsEach(const Image& page, const Box& box, const std::vector<Ink>& inks, int join,
                                          double fraction) {
    const Box b = Clip(page, box);
    std::vector<std::vector<Run>> result(inks.size());
    if (b.Width() <= 0 || b.Height() <= 0) return result;
    const std::size_t rows = static_cast<std::size_t>(b.Height());
    std::vector<std::vector<double>> shown(inks.size(), std::vector<double>(rows, 0.0));
    std::vector<std::vector<double>> weight(inks.size(), std::vector<double>(rows, 0.0));
    for (int y = b.top; y < b.bottom; ++y) {
        const std::uint8_t* row = page.Row(y);
        const std::size_t r = static_cast<std::size_t>(y - b.top);
        for (int x = b.left; x < b.right; ++x) {
            const std::uint8_t* p = row + static_cast<std::size_t>(x) * 3;
            if (p[0] > 225 && p[1] > 225 && p[2] > 225) continue;
            for (std::size_t i = 0; i < inks.size(); ++i) {
                const float w = InkWeightOf(inks[i], p);
                if (w <= 0) continue;
                weight[i][r] += w;
                if (w >= kShows) shown[i][r] += 1;
            }
        }
    }
    const double need = std::max(1.0, fraction * b.Width()) - 0.5;
    for (std::size_t i = 0; i < inks.size(); ++i) {
        result[i] = Runs(shown[i], b.top, need, join);
        for (Run& run : result[i]) {
            double mass = 0, moment = 0;
            const int from = std::max(0, run.begin - b.top - 1),
                      to = std::min(static_cast<int>(rows), run.end - b.top + 1);
            for (int k = from; k < to; ++k) {
                mass += weight[i][static_cast<std::size_t>(k)];
                moment += weight[i][static_cast<std::size_t>(k)] * (k + b.top + 0.5);
            }
            run.mass = mass;
            if (mass > 0) run.centre = moment / mass;
        }
    }
    return result;
}

std::vector<Run> LineColumns(const Image& page, const Box& box, Ink ink, int minRun) {
    const Box b = Clip(page, box);
    if (b.Width() <= 0 || b.Height() <= 0) return {};
    std::vector<double> marked(static_cast<std::size_t>(b.Width()), 0.0);
    std::vector<int> run(static_cast<std::size_t>(b.Width()), 0);
    for (int y = b.top; y < b.bottom; ++y) {
        const std::uint8_t* row = page.Row(y);
        for (int x = b.left; x < b.right; ++x) {
            const std::size_t i = static_cast<std::size_t>(x - b.left);
            run[i] = InkWeight(ink, row + static_cast<std::size_t>(x) * 3) >= kShows ? run[i] + 1 : 0;
            if (run[i] > minRun) marked[i] = 1;
        }
    }
    return Runs(marked, b.left, 0.5, 0);
}

}  // namespace svc::pagereader
