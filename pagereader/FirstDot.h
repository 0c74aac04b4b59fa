// The first dot line measured on the scan or photo it came in, where the
// sheet's edge shows against the lid or the table (FirstDot.cpp).
#pragma once

#include <optional>

#include "i18n/Translate.h"
#include "pagereader/Image.h"
#include "pagereader/PageReader.h"
#include "pagereader/Sheet.h"

namespace svc::pagereader::detail {

// Where a page cut out of a scan came from: the scan as it came, where the
// sheet lies on it (its top-left corner, turn and exact size), where the page
// read lies on it (the sheet, perhaps turned further by its ink), and the
// sheet's pixels per inch (declared, or told by its size).
struct ScanOrigin {
    const Image* scan = nullptr;
    Placement sheet;
    Placement page;
    double dpi = 0;
};

// The line's centre, in pixels across from the sheet's edge it stands by,
// and its standard error (from the scatter of blocks of rows, the edge's and
// the line's).
struct ScanMeasure {
    double pixels = 0, error = 0;
    // How far its centre may be off by where it stood on the pixels it was
    // sampled by (a line a pixel wide or less shows little more than which
    // pixels it darkens), in pixels; no blur taken after the sampling evens it out.
    double sampling = 0;
    // What blocks of rows do not see (a JPEG's blocks along the edge), in pixels.
    double unseen = 0;
    bool upsideDown = false;  // it stands by the sheet's right edge
    Place where;              // on the page read
};

// The largest error of a sharp line's centre, `width` pixels wide, taken
// from the pixels it darkens.
double SamplingBias(double width);

// std::nullopt with `*problem` set when the page shows no line or the edge
// beside it does not show.
std::optional<ScanMeasure> MeasureFirstDotOnScan(const Image& page, const ScanOrigin& origin, Phrase* problem);

}  // namespace svc::pagereader::detail
