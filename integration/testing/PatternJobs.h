// The adjustment patterns as the program composes them, built from its own
// primitives (svc::TPRaster and the command functions, svc::TPFactory,
// svc::TPRemoteComm) for engine-level closed-loop tests, and the contents of
// the two stored print files the program sends unchanged (the pixel shift
// and cut position patterns), which are ours to make.
//
// Each Compose... appends to the program-wide job stream and sends its
// factory commands; wrap it in Wire() to get the bytes:
//
//     const auto job = vp::testing::Wire([] {
//         vp::testing::ComposeBidPattern(10, 0, 0);
//         svc::SendEndOfJob(svc::JobStream());
//     });
//     vp::testing::Drive(engine, job);
//
// The layout constants say where each pattern's parts fall on the sheet, in
// master units (1/14400 inch) across; use Pixels() to turn them into preview
// columns. Those of the program's own patterns (Bi-D, PF) come from
// adjust/PatternGeometry.h, as the page reader takes them.
#pragma once

#include <cstdint>

#include "adjust/PatternGeometry.h"

namespace vp::testing {

// ---- Bi-D (one setting: label, three trials at the stored value -2, 0, +2, restore) ----
// dotKind 10 VSD1, 11 VSD2, 12 VSD2', 13 VSD4; black and color: the stored values.
// Each trial is one band: its upper half printed forward, its lower half on
// the return pass; black ticks in the first column range, magenta (forward)
// and cyan (return) ticks in the second. 24 ticks per half, 1/9 inch apart.
void ComposeBidPattern(int dotKind, int black, int color);
inline constexpr int kBidBlackLeft = svc::pattern::kBidBlackLeft, kBidBlackRight = svc::pattern::kBidBlackRight;
inline constexpr int kBidColorLeft = svc::pattern::kBidColorLeft, kBidColorRight = svc::pattern::kBidColorRight;
inline constexpr int kBidTrialOffsets[3] = {svc::pattern::kBidTrialOffsets[0], svc::pattern::kBidTrialOffsets[1],
                                            svc::pattern::kBidTrialOffsets[2]};

// ---- PF: nine candidates -4 .. 4, each a band joint ----
// Block A (lines 64-95 noise) at [kPfUpperLeft, kPfUpperRight), block B at
// [kPfLowerLeft, kPfLowerRight) right below it; the joint is seen where only
// one of them lies. Joint closed: B begins 1/360 inch above A's end (A's
// second pass lies half a line below its first).
void ComposePfPattern();
inline constexpr int kPfUpperLeft = svc::pattern::kPfUpperLeft, kPfUpperRight = svc::pattern::kPfUpperRight;
inline constexpr int kPfLowerLeft = svc::pattern::kPfLowerLeft, kPfLowerRight = svc::pattern::kPfLowerRight;
inline constexpr int kPfClosedGap = svc::pattern::kPfClosedGap;  // master units

// The PF check pattern of the A4 print: one band joint printed with the PF
// value in use (no temporary value).
void ComposePfCheckPattern();

// ---- first dot position: one black vertical line at the first dot ----
void ComposeFirstDotPattern();

// ---- head angular: gray and light magenta bars, 0.8 inch long ----
void ComposeHeadAngularPattern();

// ---- inclined carriage (PG adjustment): three rows of bars, each row two
// passes over the same lines; three motifs per row, at the left edge, in the
// middle and at the right end of a 12.7 inch line (an A3+ sheet) ----
void ComposeInclinedCarriagePattern();
inline constexpr int kInclinedMotifLeft[3] = {0, 547 * 160, 1094 * 160};  // master units
inline constexpr int kInclinedMotifWidth = 48 * 160;

// ---- pixel shift (the stored print file): for each line A-F (cyan,
// magenta, yellow, light cyan, light magenta, gray) one band of eleven
// candidates -5 .. 5, left to right 1/4 inch apart: a black reference tick
// above, the line's colour tick below, printed candidate x 1/1440 inch to
// the left. The straight candidate is (true shift - stored value). Then a
// form feed.
void ComposePixelShiftPattern();
inline constexpr int kShiftFirstCandidate = 14400;  // x of candidate -5's reference tick
inline constexpr int kShiftCandidatePitch = 3600;

// ---- cut position (the stored print file, for roll paper): sets the cut
// value 0 for itself, then seventeen marks, entry 1 (value 64) on the right
// to entry 17 (value -64) on the left, each a vertical tick 16/360 inch long
// centred on where its value cuts, then a form feed. The mark cut in half
// is the one to choose.
void ComposeCutPattern();
inline constexpr int kCutMarkLeft = 7200;   // x of entry 17's mark
inline constexpr int kCutMarkPitch = 2880;  // 1/5 inch between marks
inline int CutEntryValue(int entry) { return 72 - 8 * entry; }

// ---- PW sensor (the whole print of the adjustment, settings block, sensor
// commands and patterns, as the program sends it) ----
void ComposePwPrint();

}  // namespace vp::testing
