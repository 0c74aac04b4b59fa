// Writes "cutpos.prn", the cut position pattern on roll paper: 17 numbered
// columns, each black above and cyan below a boundary. The boundary of
// column k lies where the value 72 - 8k puts the cut: value units of 1/360
// inch from the paper position of the job's form feed, positive further
// down the paper, so column 9 marks the present cut. The job ends with the
// form feed that makes the printer cut; the program sends nothing after it.
// See docs/PRINTFILES.md for the layout.
#include "adjust/printfiles/PatternCanvas.h"
#include "adjust/printfiles/PrintFileWriter.h"

#include <string>

namespace svc::printfiles {
namespace {

// Across, dots of 1/360 inch; paper moves of 1/360 inch (the value's unit).
constexpr int kMarks = 17;
constexpr int kDotsAcross = 2760;  // 194.7 mm
constexpr int kFirstColumn = 40;
constexpr int kColumnPitch = 160;  // 11.3 mm
constexpr int kColumnWidth = 120;
constexpr int kTopMargin = 180;
constexpr int kLabelLines = 7;     // the numbers, in lines of 1/60 inch
constexpr int kBlockLines = 48;    // the columns, in lines of 1/90 inch (4 units each)
constexpr int kAboveCut = 96;      // units from the columns' top to the present cut

// The value list item k stands for.
constexpr int ValueOfMark(int k) { return 72 - 8 * k; }

Result Compose(TPRaster& s) {
    if (Result r = SendJobHeader(s, 10, 1, 10, 1); r != rc::Ok) return r;
    if (Result r = SendVerticalMove(s, kTopMargin); r != rc::Ok) return r;

    Canvas numbers(kDotsAcross, kLabelLines);
    for (int k = 1; k <= kMarks; ++k) {
        const std::string label = std::to_string(k);
        const int centre = kFirstColumn + (k - 1) * kColumnPitch + kColumnWidth / 2;
        numbers.Text(centre - Canvas::TextWidth(label, 6) / 2, 0, label, 6, 1);
    }
    if (Result r = SendRasterResolution(s, 160, 5, 24, 4); r != rc::Ok) return r;
    if (Result r = numbers.Send(s, ink::Black); r != rc::Ok) return r;
    // Under the numbers, a gap of three of their lines.
    if (Result r = SendVerticalMove(s, (kLabelLines + 3) * 6); r != rc::Ok) return r;

    Canvas upper(kDotsAcross, kBlockLines);
    Canvas lower(kDotsAcross, kBlockLines);
    for (int k = 1; k <= kMarks; ++k) {
        const int x = kFirstColumn + (k - 1) * kColumnPitch;
        const int boundary = (kAboveCut + ValueOfMark(k)) / 4;  // in lines of 1/90 inch
        upper.Fill(x, 0, kColumnWidth, boundary);
        lower.Fill(x, boundary, kColumnWidth, kBlockLines - boundary);
    }
    if (Result r = SendJobHeader(s, 10, 1, 10, 1); r != rc::Ok) return r;
    if (Result r = SendRasterResolution(s, 160, 5, 16, 4); r != rc::Ok) return r;
    if (Result r = upper.Send(s, ink::Black); r != rc::Ok) return r;
    if (Result r = SendLineReturn(s); r != rc::Ok) return r;
    if (Result r = lower.Send(s, ink::Cyan); r != rc::Ok) return r;
    // The paper to the present cut, then the form feed that ejects and cuts.
    if (Result r = SendVerticalMove(s, kAboveCut); r != rc::Ok) return r;
    return SendEndOfJob(s);
}

}  // namespace
}  // namespace svc::printfiles

int main(int argc, char** argv) { return svc::printfiles::WriteJob(argc, argv, svc::printfiles::Compose); }
