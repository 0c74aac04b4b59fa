// Writes "gzksen2.tmp", the pixel shift pattern: for each line A to F a row
// of eleven candidates for the values -5 to 5. Each candidate is a short
// vertical black reference line with the line's own ink continuing it below,
// that second part moved left by the candidate's value in dots of 1/360 inch;
// the candidate whose two parts form one straight line gives the value.
// The job does not eject the page: the program sends the form feed after it.
// See docs/PRINTFILES.md for the layout.
#include "adjust/printfiles/PatternCanvas.h"
#include "adjust/printfiles/PrintFileWriter.h"

#include <string>

namespace svc::printfiles {
namespace {

constexpr int kDotsAcross = 2800;      // 1/360 inch each: 197.6 mm, inside A4 and Letter
constexpr int kBandLines = 110;        // 1/180 inch each
constexpr int kBandAdvance = 260;      // 1/360 inch: the band and a gap of 20 lines
constexpr int kTopMargin = 360;        // 1/360 inch: one inch from the top of the sheet
constexpr int kFirstCandidate = 320;   // centre of the candidate for -5
constexpr int kCandidatePitch = 240;   // 16.9 mm between candidates
constexpr int kLineWidth = 6;          // dots
constexpr int kLabelTop = 0;
constexpr int kReferenceTop = 30;
constexpr int kSegmentLines = 36;      // 5 mm each part

struct Line {
    const char* letter;
    std::uint8_t ink;
};
// The inks of the six lines, each shown against black.
constexpr Line kLines[6] = {{"A", ink::Cyan},      {"B", ink::Magenta},      {"C", ink::Yellow},
                            {"D", ink::LightCyan}, {"E", ink::LightMagenta}, {"F", ink::Gray}};

Result Band(TPRaster& s, const Line& line) {
    Canvas black(kDotsAcross, kBandLines);
    Canvas colour(kDotsAcross, kBandLines);
    black.Text(24, kReferenceTop + 8, line.letter, 10, 5);
    for (int value = -5; value <= 5; ++value) {
        const int centre = kFirstCandidate + (value + 5) * kCandidatePitch;
        const std::string label = std::to_string(value);
        black.Text(centre - Canvas::TextWidth(label, 6) / 2, kLabelTop, label, 6, 3);
        black.Fill(centre - kLineWidth / 2, kReferenceTop, kLineWidth, kSegmentLines);
        colour.Fill(centre - kLineWidth / 2 - value, kReferenceTop + kSegmentLines, kLineWidth, kSegmentLines);
    }
    if (Result r = SendJobHeader(s, 10, 1, 10, 1); r != rc::Ok) return r;
    if (Result r = SendRasterResolution(s, 104, 1, 2, 1); r != rc::Ok) return r;
    if (Result r = black.Send(s, ink::Black); r != rc::Ok) return r;
    if (Result r = SendLineReturn(s); r != rc::Ok) return r;
    if (Result r = colour.Send(s, line.ink); r != rc::Ok) return r;
    return SendVerticalMove(s, kBandAdvance);
}

Result Compose(TPRaster& s) {
    if (Result r = SendJobHeader(s, 10, 1, 10, 1); r != rc::Ok) return r;
    if (Result r = SendVerticalMove(s, kTopMargin); r != rc::Ok) return r;
    for (const Line& line : kLines)
        if (Result r = Band(s, line); r != rc::Ok) return r;
    if (Result r = SendInitialize(s); r != rc::Ok) return r;
    return s.Flush();
}

}  // namespace
}  // namespace svc::printfiles

int main(int argc, char** argv) { return svc::printfiles::WriteJob(argc, argv, svc::printfiles::Compose); }
