// Writes "gzksen2.tmp", the pixel shift pattern: for each line A to F a row
// of eleven candidates for the values -5 to 5, under one row of the values.
// Each candidate is a short vertical black line with the line's own ink
// continuing it below,
// that second part moved left by the candidate's value in dots of 1/360 inch;
// the candidate whose two parts form one straight line gives the value.
// The job does not eject the page: the program sends the form feed after it.
// See docs/PRINTFILES.md for the layout.
#include "adjust/printfiles/PatternCanvas.h"
#include "adjust/printfiles/PrintFileWriter.h"

#include <string>

namespace svc::printfiles {
namespace {

// Across, dots of 1/360 inch; down, paper moves of 1/360 inch and raster
// lines of 1/60 inch for the values (resolution base 1440, 24 down, 4
// across) and of 1/30 inch for the candidates (48 down, 4 across).
constexpr int kDotsAcross = 2760;     // 194.7 mm, inside A4 and Letter
constexpr int kTopMargin = 360;       // one inch from the top of the sheet
constexpr int kFirstCandidate = 320;  // centre of the candidate for -5
constexpr int kCandidatePitch = 240;  // 16.9 mm between candidates
constexpr int kLineWidth = 6;         // dots
constexpr int kLabelLines = 7;
constexpr int kPartLines = 6;         // 5 mm each: the black part, then the line's own ink
constexpr int kGapLines = 5;

struct Line {
    const char* letter;
    std::uint8_t ink;
};
// The inks of the six lines, each shown against black.
constexpr Line kLines[6] = {{"A", ink::Cyan},      {"B", ink::Magenta},      {"C", ink::Yellow},
                            {"D", ink::LightCyan}, {"E", ink::LightMagenta}, {"F", ink::Gray}};

int CandidateCentre(int value) { return kFirstCandidate + (value + 5) * kCandidatePitch; }

// A new job header and the raster resolution of `linePitch`/1440 inch down.
Result StartBlock(TPRaster& s, std::uint8_t linePitch) {
    if (Result r = SendJobHeader(s, 10, 1, 10, 1); r != rc::Ok) return r;
    return SendRasterResolution(s, 160, 5, linePitch, 4);
}

// The values -5 to 5 over the columns of candidates.
Result Labels(TPRaster& s) {
    Canvas labels(kDotsAcross, kLabelLines);
    for (int value = -5; value <= 5; ++value) {
        const std::string label = std::to_string(value);
        labels.Text(CandidateCentre(value) - Canvas::TextWidth(label, 6) / 2, 0, label, 6, 1);
    }
    if (Result r = StartBlock(s, 24); r != rc::Ok) return r;
    if (Result r = labels.Send(s, ink::Black); r != rc::Ok) return r;
    return SendVerticalMove(s, (kLabelLines + 3) * 6);
}

// One line: its letter, the black parts, and its own ink's parts under them.
Result Band(TPRaster& s, const Line& line) {
    Canvas black(kDotsAcross, 2 * kPartLines);
    Canvas colour(kDotsAcross, 2 * kPartLines);
    black.Text(24, kPartLines - 3, line.letter, 10, 1);
    for (int value = -5; value <= 5; ++value) {
        const int left = CandidateCentre(value) - kLineWidth / 2;
        black.Fill(left, 0, kLineWidth, kPartLines);
        colour.Fill(left - value, kPartLines, kLineWidth, kPartLines);
    }
    if (Result r = StartBlock(s, 48); r != rc::Ok) return r;
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
