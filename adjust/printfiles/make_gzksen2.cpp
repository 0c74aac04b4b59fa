// Writes "gzksen2.tmp", the pixel shift pattern: for each line A to F a row
// of eleven candidates for the values -5 to 5, under one row of the values.
// Each candidate is a short vertical black line with the line's own ink
// continuing it below, that second part moved left by the candidate's value
// in steps of 1/1440 inch: the candidate whose two parts form one straight
// line gives the value. The job does not eject the page: the program sends
// the form feed after it. See docs/PRINTFILES.md for the layout.
#include "adjust/PatternGeometry.h"
#include "adjust/printfiles/PatternCanvas.h"
#include "adjust/printfiles/PrintFileWriter.h"

#include <string>

namespace svc::printfiles {
namespace {

// Paper moves are in 1/360 inch. The values' row has dots of 1/360 inch
// across and lines of 1/60 inch (resolution base 1440, 24 down, 4 across);
// the candidates have dots of 1/1440 inch across and lines of 1/30 inch
// (48 down, 1 across).
constexpr int kTopMargin = 360;   // one inch from the top of the sheet
constexpr int kLabelDots = 2760;  // 194.7 mm, inside A4 and Letter
constexpr int kLabelLines = 7;
constexpr int kCandidateDots = 4 * kLabelDots;
// 1/1440 inch: centre of the candidate for -5, and 16.9 mm between candidates
// (adjust/PatternGeometry.h, which the page reader reads them by).
constexpr int kFirstCandidate = svc::pattern::kShiftFirstCentre / svc::pattern::kFineStep;
constexpr int kCandidatePitch = svc::pattern::kShiftPitch / svc::pattern::kFineStep;
static_assert(kFirstCandidate == 1280 && kCandidatePitch == 960);
constexpr int kLineWidth = 24;  // 1/60 inch
constexpr int kPartLines = 6;   // 5 mm each: the black part, then the line's own ink
constexpr int kGapLines = 5;

struct Line {
    const char* letter;
    std::uint8_t ink;
};
// The inks of the six lines, each shown against black.
constexpr Line kLines[6] = {{"A", ink::Cyan},      {"B", ink::Magenta},      {"C", ink::Yellow},
                            {"D", ink::LightCyan}, {"E", ink::LightMagenta}, {"F", ink::Gray}};

int CandidateCentre(int value) { return kFirstCandidate + (value + 5) * kCandidatePitch; }

// A new job header and the raster resolution: v/1440 inch down, h/1440 across.
Result StartBlock(TPRaster& s, std::uint8_t v, std::uint8_t h) {
    if (Result r = SendJobHeader(s, 10, 1, 10, 1); r != rc::Ok) return r;
    return SendRasterResolution(s, 160, 5, v, h);
}

// The values -5 to 5 over the columns of candidates.
Result Labels(TPRaster& s) {
    Canvas labels(kLabelDots, kLabelLines);
    for (int value = -5; value <= 5; ++value) {
        const std::string label = std::to_string(value);
        labels.Text(CandidateCentre(value) / 4 - Canvas::TextWidth(label, 6) / 2, 0, label, 6, 1);
    }
    if (Result r = StartBlock(s, 24, 4); r != rc::Ok) return r;
    if (Result r = labels.Send(s, ink::Black); r != rc::Ok) return r;
    return SendVerticalMove(s, (kLabelLines + 3) * 6);
}

// One line: its letter, the black parts, and its own ink's parts under them.
Result Band(TPRaster& s, const Line& line) {
    Canvas black(kCandidateDots, 2 * kPartLines);
    Canvas colour(kCandidateDots, 2 * kPartLines);
    black.Text(96, kPartLines - 3, line.letter, 40, 1);
    for (int value = -5; value <= 5; ++value) {
        const int left = CandidateCentre(value) - kLineWidth / 2;
        black.Fill(left, 0, kLineWidth, kPartLines);
        colour.Fill(left - value, kPartLines, kLineWidth, kPartLines);
    }
    if (Result r = StartBlock(s, 48, 1); r != rc::Ok) return r;
    if (Result r = black.Send(s, ink::Black); r != rc::Ok) return r;
    if (Result r = SendLineReturn(s); r != rc::Ok) return r;
    if (Result r = colour.Send(s, line.ink); r != rc::Ok) return r;
    return SendVerticalMove(s, (2 * kPartLines + kGapLines) * 12);
}

Result Compose(TPRaster& s) {
    if (Result r = SendJobHeader(s, 10, 1, 10, 1); r != rc::Ok) return r;
    if (Result r = SendVerticalMove(s, kTopMargin); r != rc::Ok) return r;
    if (Result r = Labels(s); r != rc::Ok) return r;
    for (const Line& line : kLines)
        if (Result r = Band(s, line); r != rc::Ok) return r;
    if (Result r = SendInitialize(s); r != rc::Ok) return r;
    return s.Flush();
}

}  // namespace
}  // namespace svc::printfiles

int main(int argc, char** argv) { return svc::printfiles::WriteJob(argc, argv, svc::printfiles::Compose); }
