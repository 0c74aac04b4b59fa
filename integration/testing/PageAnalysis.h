// Reading a printed page the way a technician reads it, for closed-loop
// tests of the adjustments: print a pattern on a printer with a hidden
// error, find the answer in the page, store it, print again and check.
// Plain C++, no Qt: pages come from PageRenderer::Compose() (a page hook)
// or from the PNG files the printer writes (ReadPage).
//
// Coordinates are preview pixels, (0, 0) the sheet's top-left corner; a box
// is [left, right) x [top, bottom). Print at a preview resolution fine
// enough for the step being read: Bi-D and pixel shift steps are 1/1440
// inch and PF steps move the band joint by about 1/375 inch, so read them at
// 720 or 1440 dpi (EngineOptions::page.previewDpi, vprinter --dpi); PW
// sensor, first dot (1/2880 inch: 1440 dpi shows every second step) and cut
// steps read at 180 dpi too.
//
// Typical use (an engine-level test):
//
//     vp::Image page;
//     engine.SetPageHook([&](int, const vp::PageRenderer& p) { page = p.Compose(); });
//     ... drive the pattern job, then:
//     const auto bands = RowSpans(page, WholeWidth(page), InkLike(vp::kBlack));
//     for (const Span& band : bands) {
//         const Box upper{left, band.begin, right, band.Middle()};
//         const Box lower{left, band.Middle(), right, band.end};
//         double offset = MeanOffset(ColumnSpans(page, upper, InkLike(vp::kBlack)),
//                                    ColumnSpans(page, lower, InkLike(vp::kBlack)));
//     }
//
// or, end to end: read the printer's page file with ReadPage("dir/page-0001.png").
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "vprinter/engine/Image.h"

namespace vp::testing {

using Pixel = std::array<std::uint8_t, 3>;
// Which pixels count: those of one ink, any ink, dark ones ...
using PixelTest = std::function<bool(const Pixel&)>;

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// A run of columns or rows, [begin, end).
struct Span {
    int begin = 0, end = 0;
    int Size() const { return end - begin; }
    int Middle() const { return (begin + end) / 2; }
    double Centre() const { return (begin + end) / 2.0; }
};

// Reads a page the printer wrote; an empty image (Null()) when it cannot,
// with the reason in *error.
Image ReadPage(const std::string& path, std::string* error = nullptr);

// The whole page, and the preview pixels per inch of a page of known width.
Box WholeWidth(const Image& page);
Box WholePage(const Image& page);
// Pixels for a length in master units (1/14400 inch) at a preview resolution.
double Pixels(double master, int previewDpi);
// The preview resolution a page was written at, told by the page itself: the
// resolution (a divisor of 14400 up to 1440) at which a sheet `sheetWidthMm`
// wide is as many pixels wide as the page; 0 when none is.
int PageDpi(const Image& page, double sheetWidthMm);

// A pixel near the ink's full colour (as the printer composes it), within
// `tolerance` per channel.
PixelTest InkLike(int ink, int tolerance = 40);
// Any pixel darker than `threshold` in its darkest channel: every ink, and
// the text.
PixelTest AnyInk(int threshold = 200);

// The columns of the box that hold a matching pixel, as runs: each vertical
// line (a tick, a bar) of the box is one span, left to right.
std::vector<Span> ColumnSpans(const Image& page, const Box& box, const PixelTest& test);
// As ColumnSpans, but a column counts only where its matching pixels run
// unbroken down more than `minRun` rows: the vertical lines of a pattern
// without the text beside them, when minRun is a text line (1/6 inch).
std::vector<Span> LineColumnSpans(const Image& page, const Box& box, const PixelTest& test, int minRun);
// The rows of the box that hold a matching pixel, as runs: each band of
// print is one span, top to bottom. Runs closer than `join` rows are joined.
std::vector<Span> RowSpans(const Image& page, const Box& box, const PixelTest& test, int join = 0);

// The first column with a matching pixel: a printed line's left margin.
std::optional<int> LeftMargin(const Image& page, const Box& box, const PixelTest& test);
// The mean x of the matching pixels of the box: where a vertical line lies.
std::optional<double> LineX(const Image& page, const Box& box, const PixelTest& test);
// How far the lines of `lower` lie right of those of `upper`, pairing them
// in order (the mean of centre differences); nothing when the counts differ
// or either is empty. Positive: the lower lines stand further right.
std::optional<double> MeanOffset(const std::vector<Span>& upper, const std::vector<Span>& lower);
// The slant of a vertical edge: for each row of the box, the first matching
// column; a least-squares fit of x over y. Pixels across per pixel down
// (positive: leans right going down); nothing with fewer than two rows.
std::optional<double> Slant(const Image& page, const Box& box, const PixelTest& test);

// A band joint: the gap between the bottom of the band found in `upper`
// and the top of the next band in `lower` (separate column ranges, so the
// two bands are told apart), in rows; negative when they overlap. Searched
// from the top of each box.
struct Joint {
    Span upperBand, lowerBand;
    int Gap() const { return lowerBand.begin - upperBand.end; }
};
std::optional<Joint> BandJoint(const Image& page, const Box& upper, const Box& lower, const PixelTest& test);

// The bottom edge of the sheet (the page image's height: a sheet cut from
// the roll ends at the cut), and the last row of the box with a matching pixel.
int PageBottom(const Image& page);
std::optional<int> LastInkedRow(const Image& page, const Box& box, const PixelTest& test);

// Writes a part of a page, magnified `zoom` times without smoothing, as a
// PNG (pictures for the documentation); false with a reason.
bool WriteCrop(const Image& page, const Box& box, int zoom, const std::string& path, std::string* error);

}  // namespace vp::testing
