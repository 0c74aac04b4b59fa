// Where the program's adjustment patterns put their parts on the sheet, as
// the jobs draw them: for the pattern generators, the page reader and the
// tests that read pages. Lengths across are in master units (1/14400 inch)
// from the print's left origin; the printer places that origin 1/20 inch
// (kFirstDotNominal) in from the sheet's edge, give or take its first dot
// error and value. Plain constants, no dependencies.
#pragma once

namespace svc::pattern {

inline constexpr int kMasterPerInch = 14400;

// The first dot's nominal place: 1/20 inch in from the sheet's left edge,
// in the first dot value's steps of 1/2880 inch (144) and in master units.
inline constexpr int kFirstDotStepsIn = 144;
inline constexpr int kFirstDotStep = kMasterPerInch / 2880;  // master units a step
inline constexpr int kFirstDotNominal = kFirstDotStepsIn * kFirstDotStep;

// ---- Bi-D: per setting three trials (stored value -2, 0, +2), top to
// bottom; each trial one band, its upper part printed forward and its lower
// part on the return pass. Black ticks in the first range, magenta (forward)
// over cyan (return) in the second; 24 ticks a part, 1/9 inch apart.
inline constexpr int kBidBlackLeft = 16000, kBidBlackRight = 54400;
inline constexpr int kBidColorLeft = 60800, kBidColorRight = 99200;
inline constexpr int kBidTrialOffsets[3] = {-2, 0, 2};
inline constexpr int kBidTicks = 24;
inline constexpr int kBidTickPitch = kMasterPerInch / 9;
// A Bi-D step and a pixel shift step: 1/1440 inch.
inline constexpr int kFineStep = kMasterPerInch / 1440;

// ---- PF: nine candidates -4 .. 4, top to bottom, each a band joint: block
// A at [kPfUpperLeft, kPfUpperRight), block B at [kPfLowerLeft,
// kPfLowerRight) right below it. Closed joint: B begins 1/360 inch above A's
// end. One step of the value moves the joint 1/375 inch.
inline constexpr int kPfUpperLeft = 28800, kPfUpperRight = 48000;
inline constexpr int kPfLowerLeft = 34560, kPfLowerRight = 53760;
inline constexpr int kPfClosedGap = -40;
inline constexpr double kPfStep = kMasterPerInch / 375.0;
inline constexpr int kPfCandidates = 9;

// ---- PW sensor: the frames' bars (top and bottom, values -16 .. 16) and
// the rows' lines (both sides, values -8 .. 24), each 1/180 inch a value
// step. Where the sensor is right, the one of the value it needs stands
// about 5 mm from its edge: exactly (centre to edge, in steps of 1/180 inch)
// as below, whole raster lines and dots.
inline constexpr double kPwTopBar = 35.0, kPwBottomBar = 36.0;
inline constexpr double kPwLeftLine = 35.25;
inline constexpr double kPwRightLine = 35.75;

// ---- pixel shift ("gzksen2.tmp"): per line A-F (cyan, magenta, yellow,
// light cyan, light magenta, gray) one band of eleven candidates -5 .. 5 left
// to right: a black reference tick over the line's own tick, which is
// printed the candidate's value x 1/1440 inch to the left. Reference tick
// centres in master units; the lines' letters stand left of the first.
inline constexpr int kShiftFirstCentre = 1280 * kFineStep;
inline constexpr int kShiftPitch = 960 * kFineStep;
inline constexpr int kShiftCandidates = 11;
inline constexpr int kShiftLetterRight = 400 * kFineStep;  // the letter is 5 font dots of 40

// ---- cut position ("cutpos.prn", roll paper): seventeen columns, column k
// (1 to 17, left to right) 120 dots of 1/360 inch wide from dot 40 + 160 (k
// - 1); black from the top to its boundary, cyan below. The cut falls 8/360
// inch further down from one column to the next; the answer is the last
// column whose black reaches the cut.
inline constexpr int kCutColumns = 17;
inline constexpr int kCutColumnLeft = 40 * 40;
inline constexpr int kCutColumnPitch = 160 * 40;
inline constexpr int kCutColumnWidth = 120 * 40;
// On the sheet cut by a printer that needs the column's value (its feed
// adjusted), the column's black reaches the cut; the next column shows a
// strip of cyan 8 steps of 1/360 inch high above the cut, the one after 16.
// A feed that is off moves the cut by a few steps.
inline constexpr double kCutStripAtMark = 0;
inline constexpr double kCutStepsPerColumn = 8;

}  // namespace svc::pattern
