// Writes "cutpos.prn", the cut position pattern on roll paper: the cut value
// 0 put into use for the page, then 17 numbered columns, each black above and
// cyan below a boundary. The boundary of
// column k lies where the value 72 - 8k puts the cut: the cutter's nominal
// place is 72 steps of 1/360 inch above the paper position of the form
// feed, and a value moves the cut that many steps up the paper (a cut lying
// too low by e steps is put right by the value e), so column 9 marks the
// present cut. The job ends with the
// form feed that makes the printer cut; the program sends nothing after it.
// See docs/PRINTFILES.md for the layout.
#include "adjust/PatternGeometry.h"
#include "adjust/printfiles/PatternCanvas.h"
#include "adjust/printfiles/PrintFileWriter.h"
#include "link/VexRemoteComm.h"

#include <string>

namespace svc::printfiles {
namespace {

// Across, dots of 1/360 inch; paper moves of 1/360 inch (the value's unit).
constexpr int kMarks = svc::pattern::kCutColumns;
constexpr int kDotsAcross = 2760;  // 194.7 mm
// Dots of 1/360 inch (40 master units); adjust/PatternGeometry.h, which the
// page reader reads the columns by.
constexpr int kFirstColumn = svc::pattern::kCutColumnLeft / 40;
constexpr int kColumnPitch = svc::pattern::kCutColumnPitch / 40;  // 11.3 mm
constexpr int kColumnWidth = svc::pattern::kCutColumnWidth / 40;
static_assert(kFirstColumn == 40 && kColumnPitch == 160 && kColumnWidth == 120);
constexpr int kTopMargin = 180;
constexpr int kLabelLines = 7;     // the numbers, in lines of 1/60 inch
constexpr int kBlockLines = 48;    // the columns, in lines of 1/90 inch (4 units each)
constexpr int kAboveCut = 96;      // units from the columns' top to the present cut
constexpr int kCutAboveFeed = 72;  // units from the present cut to the form feed's paper position

// The value list item k stands for.
constexpr int ValueOfMark(int k) { return 72 - 8 * k; }

// The pattern is read against the cutter's nominal place: the value 0 is put
// into use for this page (not saved; the value stored stays as it is).
Result CutValueZero(TPRaster& s) {
    TPRemoteComm remote(s);
    static const std::uint8_t kSetZero[] = {0x44, 0x44, 0x05, 0x00, 0x00, 0x10, 0x00, 0x00, 0x02};
    if (Result r = remote.EnterRemoteMode(); r != rc::Ok) return r;
    if (Result r = s.Append(kSetZero, sizeof kSetZero); r != rc::Ok) return r;
    return remote.ExitRemoteMode();
}

Result Compose(TPRaster& s) {
    if (Result r = CutValueZero(s); r != rc::Ok) return r;
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
        // A cut e steps below the present one is put right by the value e,
        // so the cut of a printer needing value v lies v steps lower.
        const int boundary = (kAboveCut + ValueOfMark(k)) / 4;  // in lines of 1/90 inch
        upper.Fill(x, 0, kColumnWidth, boundary);
        lower.Fill(x, boundary, kColumnWidth, kBlockLines - boundary);
    }
    if (Result r = SendJobHeader(s, 10, 1, 10, 1); r != rc::Ok) return r;
    if (Result r = SendRasterResolution(s, 160, 5, 16, 4); r != rc::Ok) return r;
    if (Result r = upper.Send(s, ink::Black); r != rc::Ok) return r;
    if (Result r = SendLineReturn(s); r != rc::Ok) return r;
    if (Result r = lower.Send(s, ink::Cyan); r != rc::Ok) return r;
    // The paper past the present cut to where the form feed puts it there,
    // then the form feed that ejects and cuts.
    if (Result r = SendVerticalMove(s, kAboveCut + kCutAboveFeed); r != rc::Ok) return r;
    return SendEndOfJob(s);
}

}  // namespace
}  // namespace svc::printfiles

int main(int argc, char** argv) { return svc::printfiles::WriteJob(argc, argv, svc::printfiles::Compose); }
