// Reading the adjustment patterns of PatternJobs.h off a printed page, as a
// technician reads them: how far each Bi-D trial's passes lie apart, where
// the PF bands join. For the tests of the engine's closed loops and the
// program's (a band the reading cannot measure fails the test).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "vprinter/Ink.h"
#include "vprinter/engine/Image.h"
#include "integration/testing/PageAnalysis.h"
#include "integration/testing/PatternJobs.h"

namespace vp::testing {

// How far across a printer may put a pattern from where its job says, in
// master units: the first dot's nominal place (1/20 inch in from the edge)
// with its error and value (up to 288 steps of 1/2880 inch), and a return
// pass off by up to 146 Bi-D steps of 1/1440 inch (an error of 72 read with
// a trial at -74).
inline constexpr int kPlacementSlack = 3000;

// For each trial band of a Bi-D pattern printed at dpi: how far the return
// pass's ticks lie right of the forward pass's, in pixels, for one head.
inline std::vector<double> BidTrialOffsets(const Image& page, bool black, int dpi) {
    const int left = static_cast<int>(Pixels((black ? kBidBlackLeft : kBidColorLeft) - kPlacementSlack, dpi));
    const int right = static_cast<int>(Pixels((black ? kBidBlackRight : kBidColorRight) + kPlacementSlack, dpi));
    const PixelTest forward = InkLike(black ? kBlack : kMagenta);
    const PixelTest back = InkLike(black ? kBlack : kCyan);
    std::vector<double> offsets;
    for (const Span& band : RowSpans(page, {left, 0, right, page.height}, AnyInk(100), 2)) {
        if (band.Size() <= dpi / 6) continue;  // a line of text (labels, the values tried)
        // Forward ticks in the band's upper part, the return pass's in its lower part.
        const int part = band.Size() * 2 / 5;
        const auto upper = ColumnSpans(page, {left, band.begin, right, band.begin + part}, forward);
        const auto lower = ColumnSpans(page, {left, band.end - part, right, band.end}, back);
        const auto offset = MeanOffset(upper, lower);
        EXPECT_TRUE(offset.has_value()) << "band at row " << band.begin << ": " << upper.size() << " / "
                                        << lower.size();
        offsets.push_back(offset.value_or(1e9));
    }
    return offsets;
}

// The trial whose two halves line up best.
inline int StraightTrial(const std::vector<double>& offsets) {
    int best = 0;
    for (int i = 1; i < static_cast<int>(offsets.size()); ++i)
        if (std::abs(offsets[static_cast<std::size_t>(i)]) < std::abs(offsets[static_cast<std::size_t>(best)]))
            best = i;
    return best;
}

// Per PF candidate (or the A4 print's one check block): the joint of its two
// bands, in rows between the upper band's end and the lower band's start.
// The bands are found where the printer put them: the upper band's left
// edge gives how far the whole print stands right of the job's place.
inline std::vector<int> PfJoints(const Image& page, int dpi) {
    const Box search{static_cast<int>(Pixels(kPfUpperLeft - kPlacementSlack, dpi)), 0,
                     static_cast<int>(Pixels(kPfLowerLeft, dpi)), page.height};
    const auto edge = LeftMargin(page, search, InkLike(kCyan, 60));
    const int shift = edge ? *edge - static_cast<int>(std::lround(Pixels(kPfUpperLeft, dpi))) : 0;
    const Box upperOnly{static_cast<int>(Pixels(kPfUpperLeft, dpi)) + shift + 2, 0,
                        static_cast<int>(Pixels(kPfLowerLeft, dpi)) + shift - 2, page.height};
    const Box lowerOnly{static_cast<int>(Pixels(kPfUpperRight, dpi)) + shift + 2, 0,
                        static_cast<int>(Pixels(kPfLowerRight, dpi)) + shift - 2, page.height};
    std::vector<int> gaps;
    for (const Span& band : RowSpans(page, upperOnly, InkLike(kCyan, 120))) {
        Box upper = upperOnly;
        upper.top = band.begin;
        Box lower = lowerOnly;
        lower.top = band.begin;
        if (auto joint = BandJoint(page, upper, lower, InkLike(kCyan, 120))) gaps.push_back(joint->Gap());
    }
    return gaps;
}

}  // namespace vp::testing
