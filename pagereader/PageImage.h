// What the readers see in a page image: which ink a pixel shows, told by its
// hue and darkness rather than by exact colours (a scan shifts every colour),
// and profiles of ink across or down a box, with sub-pixel centres.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "pagereader/Image.h"

namespace svc::pagereader {

// Any: every ink and the text, counted fully from a light tone on; Dark: how
// dark a pixel is, in proportion (for edges measured to a fraction of a pixel).
enum class Ink { Black, Cyan, Magenta, Yellow, LightCyan, LightMagenta, Gray, Any, Dark };

// How much of `ink` a pixel shows, 0 (none) to 1 (full).
float InkWeightOf(Ink ink, const std::uint8_t* rgb);
inline float InkWeight(Ink ink, const std::uint8_t* rgb) {
    // Paper: most of a page, and no ink counts it.
    if (rgb[0] > 225 && rgb[1] > 225 && rgb[2] > 225) return 0.0f;
    return InkWeightOf(ink, rgb);
}

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;  // [left, right) x [top, bottom)
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};
Box Clip(const Image& page, const Box& box);

// A run of columns or rows, [begin, end), with the ink-weighted centre.
struct Run {
    int begin = 0, end = 0;
    double centre = 0;  // sub-pixel, in pixel coordinates (the middle of pixel i is i + 0.5)
    double mass = 0;    // the ink in it
    int Size() const { return end - begin; }
};

// The ink of each column (across) or row (down) of the box, summed.
std::vector<double> ColumnProfile(const Image& page, const Box& box, Ink ink);
std::vector<double> RowProfile(const Image& page, const Box& box, Ink ink);

// The runs of a profile above `threshold` (a profile starting at `offset`);
// runs closer than `join` are one.
std::vector<Run> Runs(const std::vector<double>& profile, int offset, double threshold, int join = 0);

// The columns of the box that hold ink as runs (each a vertical line), and
// the rows of the box that hold ink (each a band). A column or row counts
// when `fraction` of its pixels (at least one) show the ink.
std::vector<Run> InkColumns(const Image& page, const Box& box, Ink ink, double fraction = 0);
std::vector<Run> InkRows(const Image& page, const Box& box, Ink ink, int join = 0, double fraction = 0);

// InkRows for several inks in one pass over the box (each pixel is looked at once).
std::vector<std::vector<Run>> InkRowsEach(const Image& page, const Box& box, const std::vector<Ink>& inks, int join = 0,
                                          double fraction = 0);

// The columns where the ink runs unbroken down more than `minRun` rows: the
// vertical lines of a pattern without the text beside them.
std::vector<Run> LineColumns(const Image& page, const Box& box, Ink ink, int minRun);

// Pixels for a length in 1/14400 inch at `dpi`.
inline double Pixels(double master, double dpi) { return master * dpi / 14400.0; }

}  // namespace svc::pagereader
