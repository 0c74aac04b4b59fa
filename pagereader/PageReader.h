// Reading an adjustment page back: from the page the printer printed (the
// virtual printer's PNG, or a scan or photo of a real sheet) to the values a
// technician would input. The reader knows what each pattern job draws, finds
// the pattern from its own structure, and never guesses: an item it cannot
// read comes back without a value and with the reason.
//
// Qt-free; the CLI's read-page operation and the window's panels both use it.
// The reasons and notes are Phrases: English as written, translated by
// whoever shows them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "i18n/Translate.h"
#include "pagereader/Image.h"

namespace svc::pagereader {

// The adjustments whose answer is read off a page.
enum class Kind { Bid, Pf, HeadAngular, Pw, PixelShift, FirstDot, Cut };

// "bid", "pf", "head-angular", "pw", "pixel-shift", "first-dot", "cut".
std::string_view KindName(Kind kind);
std::optional<Kind> KindFromName(std::string_view name);

// A place on the input image, in its pixels (x right, y down), where an item
// was measured: what the window marks.
struct Place {
    double x = 0, y = 0, width = 0, height = 0;
};

// One item of the proposal: a Bi-D row, a PW edge, a pixel shift line...
// Single-value kinds have one unnamed item: the PF value, the first dot
// value, the cut list entry (1-17), and for the head angle, which has no
// input, how many lever steps the bars lean (positive: right going down;
// the lever is turned back by as many). In Context::stored the first dot
// value in use has the empty name too.
struct Item {
    std::string name;          // as the input operation names it: "VSD1Bk", "Top", "A"; empty for single-value kinds
    std::optional<int> value;  // the value to input; empty when the item could not be read
    double confidence = 0;     // 0..1: how clearly the page shows this value over its neighbours
    std::vector<Place> where;  // where on the input image it was measured
    Phrase problem;            // why it could not be read (empty when read); translated where it is shown
};

// What the page's session knows that the page alone does not: the model, and
// the values stored in the printer when the page was printed, by the item
// names above (for example the Bi-D values the trials are printed around).
struct Context {
    int model = 1;  // 1 = 4100, 2 = 4200
    std::vector<std::pair<std::string, int>> stored;
    // Bi-D: the settings the page was printed with ("VSD1", "VSD2", "VSD2'",
    // "VSD4"); empty for a page that shows all four.
    std::vector<std::string> bidSettings;
};

struct Reading {
    Kind kind = Kind::Bid;
    std::vector<Item> items;
    Phrase problem;           // why the page as a whole could not be read (then items may be empty)
    bool upsideDown = false;  // the page was read turned by half a turn (places are the image's own)
    Phrase sheet;             // how the sheet was found on a scan or photo (empty: read as it is)

    // Every item was read.
    bool Complete() const;
    // The proposal as one line of the matching input operation, exactly as a
    // person would type it ("bid-input VSD1Bk=5 VSD2DCL=-3"), of the items
    // that were read; empty when none was (or the kind has no input).
    std::string InputLine() const;
};

Reading Read(Kind kind, const Image& page, const Context& context);

}  // namespace svc::pagereader
