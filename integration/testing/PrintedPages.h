// Adjustment pages printed by the in-process virtual printer through
// svcadjust-cli, with hidden errors drawn from a seed, and what the reader
// should propose for each: the values the errors need.
#pragma once

#include "pagereader/PageReader.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace svc::pagereader::testing {

struct PrintedPage {
    Kind kind = Kind::Bid;
    Image page;               // as the engine drew it, at its planned resolution
    double sheetWidthMm = 0;  // the sheet it was printed on (0: the page is all of it)
    double sheetHeightMm = 0;
    Context context;                                 // what the session knows: model, stored values
    std::vector<std::pair<std::string, int>> right;  // each item and the value its error needs
};

// Every kind the reader reads, in the order the program adjusts them.
const std::vector<Kind>& AllKinds();

// Prints `kind` on a printer of `model` (1 or 2) whose hidden errors come
// from `seed`, on a sheet (or roll) of sheetWidthMm x sheetHeightMm: A4, the
// paper the program asks for, unless SVC_DEGRADE_SHEET=WxH (millimetres)
// says otherwise. False with a reason when the print failed.
bool PrintPage(Kind kind, int model, std::uint32_t seed, PrintedPage* printed, std::string* error);

// Whether `value` is what a page whose error needs `right` shows: a PW value
// is read off lines 1/90 inch apart (two values), so for an odd error either
// neighbour is right as well; everything else has one right value.
bool Right(Kind kind, int value, int right);
// One step of the page's scale in the value's units (PW: 2, otherwise 1).
int Step(Kind kind);

}  // namespace svc::pagereader::testing
