// Measuring a pattern whose layout is known, rather than counting what the
// page shows: ticks and bars are found where the job puts them (a comb of the
// known pitch laid over a profile of the ink), each is measured by its
// centroid in a profile averaged along its whole length, and the value comes
// from a fit over every candidate. Thin ticks that a coarse or blurred scan
// turns into faint grey still hold their ink and its centre: area filtering,
// blur and JPEG move neither.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "pagereader/Image.h"
#include "pagereader/PageImage.h"

namespace svc::pagereader::detail {

// How dark a pixel is, linear in the ink it shows: 0 for white paper, about
// 0.9 for full black (the darkest of its three channels).
inline double Darkness(const std::uint8_t* rgb) {
    const int v = std::min({rgb[0], rgb[1], rgb[2]});
    return (255 - v) / 255.0;
}

// The darkness of each column (across) or row (down) of the box, as the mean
// over the box's rows (or columns), less the paper: the profile's median
// across; each row's own median down, the rows then averaged over `reach`
// rows either side (at least 2).
// `luma`: the darkness as the pixel's brightness tells it (a weighted sum
// of its channels), which a JPEG keeps at full resolution where it keeps
// the colours at half and in blocks of 16 pixels: a coloured tick's place
// then does not move with where it falls on the blocks.
// `paperReach` (pixels, 0 for none): each column less the paper's own level
// around it (the median within that reach either side), so that light
// falling off across the box is no ink.
std::vector<double> DarkColumns(const Image& page, const Box& box, bool luma = false, int paperReach = 0);
std::vector<double> DarkRows(const Image& page, const Box& box, int reach);

// The bands of a row profile (as DarkRows gives it, starting at `offset`):
// runs above `share` of the typical level of its rows that stand clear of
// the paper's noise and below `ceiling` times it (darker rows are text, and
// part bands), gaps of up to `join` closed, at least `least` rows high.
// `fewRows`: the bands cover a small part of the rows (more than a
// twentieth), and what lies less than a quarter of the way from the paper to
// their ink is paper: light that changes slowly down the page spreads the
// paper's rows by more than their noise from one row to the next.
std::vector<Run> DarkBands(const std::vector<double>& profile, int offset, double share, double ceiling, int join,
                           double least, bool fewRows = false);

// The middle of a band of a row profile (as DarkBands gives it, the profile
// starting at `offset`) that should be `height` rows high: where `height`
// rows of it hold the most ink, when it came out higher (a shade of the
// paper next to it, a faint band's edge grown into the noise).
double BandMiddle(const std::vector<double>& profile, int offset, const Run& band, double height);

// `count` ticks `pitch` pixels apart in a column profile starting at
// `offset`: where the comb of them holds the most ink, then each tick's
// centroid within `half` pixels of its place (re-centred until it settles).
// std::nullopt when the comb does not stand out (a tick missing at either
// end, or ink where the comb has none just beyond its ends).
struct Comb {
    std::vector<double> centres;  // sub-pixel, in page coordinates
    double first = 0;             // where the comb was laid
};
std::optional<Comb> FitComb(const std::vector<double>& profile, int offset, int count, double pitch, double half);

// A straight line through points (x, y): y = a + b x, with the standard
// deviation of the points about it and the standard error of the line's
// value at x = 0.
struct LineFit {
    double a = 0, b = 0, residual = 0, errorAtZero = 0;
    int n = 0;
};
std::optional<LineFit> FitLine(const std::vector<double>& x, const std::vector<double>& y);

// The samples within four standard deviations (told robustly, by the median
// absolute deviation, and at least `least`) of their median.
std::vector<double> WithoutOutliers(const std::vector<double>& samples, double least);

// Mean and standard error of the mean.
struct MeanError {
    double mean = 0, error = 0, deviation = 0;
    int n = 0;
};
MeanError MeanOf(const std::vector<double>& samples);

// The mean colour of the darkest pixels of the box (those at least half as
// dark as its darkest hundredth): what ink a part shows, however thin it came out.
struct Colour {
    double r = 255, g = 255, b = 255;
    bool any = false;
};
Colour InkColour(const Image& page, const Box& box);

// The colour's ink, as the readers tell inks apart (Ink::Any when none):
// `least` is how far below white its strongest channel must lie.
bool ShowsInk(const Colour& colour, Ink ink, double least = 15);

// The colour a comb's ticks add to the paper, however faint they came out:
// per channel, how much darker the columns on the ticks are than those
// half-way between them, over the box's rows, given as that much below
// white (what ShowsInk takes). Unevenly lit paper, noise and JPEG's
// colour blocks even out over the many pixels. `any` is false when the
// ticks add no ink.
Colour CombColour(const Image& page, const Box& box, const Comb& comb, double pitch);

// The mean darkness of each row of the box (over its columns), or of each
// column (over its rows): nothing taken off for the paper.
std::vector<double> MeanDarkRows(const Image& page, const Box& box);
std::vector<double> MeanDarkColumns(const Image& page, const Box& box);
// Each value less the paper's own: the least value within `reach` either
// side (every other one looked at), so light that falls off across the page
// is taken off with the paper.
std::vector<double> AbovePaper(const std::vector<double>& profile, int reach);

// Where the profile steps from `ink` to `paper` (their levels), between the
// sample indices `from` (in the ink) and `to` (on the paper), either way
// round: the ink's share summed over the samples between, so that a blurred
// or resampled edge keeps its place (to a small fraction of a sample, where a
// threshold would round it to one). In the profile's index coordinates (the
// middle of sample i is i + 0.5). std::nullopt when the levels do not stand
// apart or the range leaves the profile.
std::optional<double> EdgeBetween(const std::vector<double>& profile, int from, int to, double ink, double paper);

// The median of values (0 for none), and the value below which `share` of them lie.
double MedianOf(std::vector<double> values);
double QuantileOf(std::vector<double> values, double share);

}  // namespace svc::pagereader::detail
