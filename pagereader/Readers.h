// The reader of each kind of page (Readers.cpp); Read() picks one.
#pragma once

#include "pagereader/FirstDot.h"
#include "pagereader/PageReader.h"

namespace svc::pagereader::detail {

Reading ReadBid(const Image& page, const Context& context);
Reading ReadPf(const Image& page, const Context& context);
Reading ReadHeadAngular(const Image& page, const Context& context);
// Where the sheet's edges lie on the page, to a fraction of a pixel: where
// a scan's sheet was found by them, or the page's own borders where it was
// read as it came (a page file, a scan cropped to the paper).
struct SheetEdges {
    double left = 0, top = 0, right = 0, bottom = 0;
    bool found = false;   // the edges are known: the sheet cut out of a scan, or a page not turned
    bool cutOut = false;  // the sheet was cut out of a scan by its edges
};
Reading ReadPw(const Image& page, const Context& context, const SheetEdges& edges = {});
Reading ReadPixelShift(const Image& page, const Context& context);
// `origin`: the scan the page was cut out of, where the line is measured
// against the sheet's edge; without it, against the page's own left border.
Reading ReadFirstDot(const Image& page, const Context& context, const ScanOrigin* origin = nullptr);
Reading ReadCut(const Image& page, const Context& context);

// A value read as `estimate` (in steps) from samples that spread by
// `spread` steps: the whole step it proposes and how sure that is (0 when
// the estimate lies half-way between two steps or the samples disagree).
struct Rounded {
    int value = 0;
    double confidence = 0;
};
Rounded RoundEstimate(double estimate, double spread);

// Below this confidence an item gets no value: the page does not show it clearly.
inline constexpr double kMinConfidence = 0.3;

}  // namespace svc::pagereader::detail
