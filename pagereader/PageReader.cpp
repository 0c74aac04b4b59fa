#include "pagereader/PageReader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>

#include "pagereader/Readers.h"
#include "pagereader/Sheet.h"

namespace svc::pagereader {

namespace {

constexpr std::array<std::pair<Kind, std::string_view>, 7> kNames{{
    {Kind::Bid, "bid"},
    {Kind::Pf, "pf"},
    {Kind::HeadAngular, "head-angular"},
    {Kind::Pw, "pw"},
    {Kind::PixelShift, "pixel-shift"},
    {Kind::FirstDot, "first-dot"},
    {Kind::Cut, "cut"},
}};

// The input operation each kind's proposal is typed into; empty for none.
std::string_view InputOperation(Kind kind) {
    switch (kind) {
        case Kind::Bid:
            return "bid-input";
        case Kind::Pf:
            return "pf-input";
        case Kind::HeadAngular:
            return "";
        case Kind::Pw:
            return "pw-input";
        case Kind::PixelShift:
            return "pixel-shift-input";
        case Kind::FirstDot:
            return "first-dot-input";
        case Kind::Cut:
            return "cut-input";
    }
    return "";
}

// Turns smaller than this are left as they are (a hundredth of a degree
// moves a point by a pixel only seven thousand pixels away).
constexpr double kLeastTurn = 0.015 * M_PI / 180;

Reading ReadUpright(Kind kind, const Image& page, const Context& context, const detail::SheetEdges& edges) {
    switch (kind) {
        case Kind::Bid:
            return detail::ReadBid(page, context);
        case Kind::Pf:
            return detail::ReadPf(page, context);
        case Kind::HeadAngular:
            return detail::ReadHeadAngular(page, context);
        case Kind::Pw:
            return detail::ReadPw(page, context, edges);
        case Kind::PixelShift:
            return detail::ReadPixelShift(page, context);
        case Kind::FirstDot:
            return detail::ReadFirstDot(page, context);
        case Kind::Cut:
            return detail::ReadCut(page, context);
    }
    return {};
}

// The image turned by half a turn.
Image Turned(const Image& page) {
    Image turned = page;
    const std::size_t pixels = static_cast<std::size_t>(page.width) * static_cast<std::size_t>(page.height);
    for (std::size_t i = 0; i < pixels; ++i)
        for (std::size_t c = 0; c < 3; ++c) turned.rgb[i * 3 + c] = page.rgb[(pixels - 1 - i) * 3 + c];
    return turned;
}

}  // namespace

std::string_view KindName(Kind kind) {
    for (const auto& [k, name] : kNames)
        if (k == kind) return name;
    return "";
}

std::optional<Kind> KindFromName(std::string_view name) {
    for (const auto& [k, n] : kNames)
        if (n == name) return k;
    return std::nullopt;
}

bool Reading::Complete() const {
    if (!problem.empty() || items.empty()) return false;
    for (const Item& item : items)
        if (!item.value) return false;
    return true;
}

std::string Reading::InputLine() const {
    const std::string_view operation = InputOperation(kind);
    if (operation.empty()) return {};
    std::string words;
    for (const Item& item : items) {
        if (!item.value) continue;
        words += ' ';
        if (!item.name.empty()) words += item.name + '=';
        words += std::to_string(*item.value);
    }
    if (words.empty()) return {};
    return std::string(operation) + words;
}

namespace {

long ValuesRead(const Reading& reading) {
    return std::count_if(reading.items.begin(), reading.items.end(), [](const Item& i) { return i.value.has_value(); });
}

// Kinds whose every band is checked for its inks in order (black over the
// line's ink, the forward pass's over the return pass's): read turned the
// wrong way they read nothing, so a turned page may give part of its items.
bool TellsItsOrientation(Kind kind) { return kind == Kind::Bid || kind == Kind::PixelShift; }

// The page as it is, or turned by half a turn when nothing on it reads upright.
Reading ReadAsIs(Kind kind, const Image& page, const Context& context, const detail::SheetEdges& edges) {
    Reading reading = ReadUpright(kind, page, context, edges);
    // (A kind that tells its orientation is tried turned also where it read
    // only part of its items: the ticks counted on a page upside down may
    // give one or two of them, and the page read the right way up all.)
    const long read = ValuesRead(reading);
    if (read == 0 || (TellsItsOrientation(kind) && !reading.Complete())) {
        // A sheet scanned upside down: the pattern read the other way round
        // counts only when every item reads so (or the kind tells which way
        // up it is); its places are turned back.
        detail::SheetEdges turnedEdges = edges;
        if (edges.found)
            turnedEdges = {page.width - edges.right,
                           page.height - edges.bottom,
                           page.width - edges.left,
                           page.height - edges.top,
                           true,
                           edges.cutOut};
        Reading turned = ReadUpright(kind, Turned(page), context, turnedEdges);
        if (turned.Complete() || (TellsItsOrientation(kind) && ValuesRead(turned) > read)) {
            for (Item& item : turned.items)
                for (Place& p : item.where) {
                    p.x = page.width - p.x - p.width;
                    p.y = page.height - p.y - p.height;
                }
            reading = std::move(turned);
            reading.upsideDown = true;
        }
    }
    return reading;
}

}  // namespace

Reading Read(Kind kind, const Image& page, const Context& context) {
    Reading reading;
    reading.kind = kind;
    if (page.Null() ||
        page.rgb.size() < static_cast<std::size_t>(page.width) * static_cast<std::size_t>(page.height) * 3) {
        reading.problem = SVC_N("the image is empty");
        return reading;
    }
    // A scan with the lid or the table around the sheet: the sheet cut out,
    // upright and evenly lit (once). Then the print itself turned upright by
    // its own rows and columns (a sheet cut out by slightly crooked edges, or
    // a scan with no background to find the sheet by). Places are taken back
    // to the image.
    Placement placed;
    Phrase note;
    std::optional<Image> sheet = Straighten(page, &note, &placed);
    // The sheet's edges, where they were found: at its cut-out's corner and its exact size.
    detail::SheetEdges edges;
    if (sheet && placed.width > 0 && placed.height > 0) edges = {0, 0, placed.width, placed.height, true, true};
    const Placement sheetPlaced = placed;
    if (sheet && !(sheet->dpi > 0)) {
        // A photo says no resolution; the sheet's known size tells it.
        sheet->dpi = SheetDpi(*sheet);
        if (sheet->dpi > 0) {
            char dpi[32];
            std::snprintf(dpi, sizeof dpi, "%.0f", sheet->dpi);
            note = Phrase(SVC_N("%1; %2 dpi by the sheet's size"), {std::move(note), dpi});
        }
    }
    const Image& found = sheet ? *sheet : page;
    std::optional<Image> upright;
    // (PW is measured from the sheet's edges: a sheet cut out by them is
    // upright as the edges are, and the PW print's lines stand in
    // staircases, which the ink's own rows and columns would take for a turn.)
    const std::optional<double> skew = kind == Kind::Pw && edges.cutOut ? std::nullopt : InkSkew(found);
    if (skew && std::abs(*skew) >= kLeastTurn) {
        Placement turn;
        upright = Upright(found, *skew, sheet.has_value(), &turn);
        placed = Compose(placed, turn);
        char degrees[32];
        std::snprintf(degrees, sizeof degrees, "%.2f", *skew * 180 / M_PI);
        Phrase turned(SVC_N("the print turned %1 degrees upright"), {degrees});
        // (Two notes in a row; the pattern is no text of its own.)
        note = note.empty() ? std::move(turned) : Phrase("%1; %2", {std::move(note), std::move(turned)});
    }
    // A page read as it came: its borders are the sheet's edges.
    if (!sheet && !upright)
        edges = {0, 0, static_cast<double>(page.width), static_cast<double>(page.height), true, false};
    if (kind == Kind::FirstDot && edges.cutOut) {
        // The first dot is measured on the scan itself, against the sheet's
        // edge there: a step is a twentieth of a pixel at 150 dpi, and the
        // cut-out's resampling and its edge found by a threshold of light
        // each move it by more.
        detail::ScanOrigin origin{&page, sheetPlaced, placed,
                                  page.dpi > 0 ? page.dpi : SheetDpiOf(sheetPlaced.width, sheetPlaced.height)};
        reading = detail::ReadFirstDot(upright ? *upright : found, context, &origin);
    } else {
        reading = ReadAsIs(kind, upright ? *upright : found, context, edges);
    }
    if (sheet || upright) {
        const double c = std::cos(placed.angle), s = std::sin(placed.angle);
        for (Item& item : reading.items)
            for (Place& p : item.where) {
                const double x = placed.x0 + p.x * c - p.y * s, y = placed.y0 + p.x * s + p.y * c;
                p.x = x;
                p.y = y;
            }
        reading.sheet = note;
    }
    reading.kind = kind;
    // An item without a value always says why.
    for (Item& item : reading.items)
        if (!item.value && item.problem.empty()) item.problem = SVC_N("not read");
    return reading;
}

namespace detail {

Rounded RoundEstimate(double estimate, double spread) {
    Rounded r;
    if (!std::isfinite(estimate) || std::abs(estimate) > 1e6) return r;
    r.value = static_cast<int>(std::lround(estimate));
    const double off = std::abs(estimate - r.value);  // 0 .. 0.5
    r.confidence = std::max(0.0, std::min(1.0 - 2.0 * off, 1.0 - std::max(0.0, spread - 0.25)));
    return r;
}

}  // namespace detail

}  // namespace svc::pagereader
