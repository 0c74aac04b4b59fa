#include "ui/PageReadingFill.h"

#include "adjust/ColorShiftAdjust.h"
#include "adjust/CutPositionAdjust.h"
#include "adjust/FirstDotAdjust.h"
#include "adjust/HeadAngularAdjust.h"
#include "adjust/PfAdjust.h"
#include "adjust/PwAdjust.h"
#include "adjust/VexBid.h"
#include "i18n/Translate.h"

#include <cctype>
#include <charconv>

namespace svc::ui::reading {

using pagereader::Kind;

namespace {

constexpr int kPfLow = -4, kPfHigh = 4;
constexpr int kBidLow = -72, kBidHigh = 72;

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// "VSD2DBk" or "VSD2'Bk" (any case): the setting and the head group.
bool FindBidRow(const std::string& name, std::size_t* setting, bool* black) {
    const std::string n = Upper(name);
    for (std::size_t i = 0; i < kBidSettings.size(); ++i)
        for (bool b : {true, false})
            for (const char* stem : {kBidSettings[i].key, kBidSettings[i].name})
                if (n == Upper(stem) + (b ? "BK" : "CL")) {
                    *setting = i;
                    *black = b;
                    return true;
                }
    return false;
}

// The whole text is a whole number (what the fields hold after a Read).
std::optional<int> WholeNumber(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || at != end) return std::nullopt;
    return value;
}

}  // namespace

std::optional<Kind> KindOfPanel(std::string_view panelName) {
    if (panelName == kBidInputPanel) return Kind::Bid;
    if (panelName == kPfPanel) return Kind::Pf;
    if (panelName == kHeadAngularPanel) return Kind::HeadAngular;
    if (panelName == "PWSensorAdjustPnl") return Kind::Pw;
    if (panelName == "ColorShiftAdjustPnl") return Kind::PixelShift;
    if (panelName == "LandMarginAdjustPnl") return Kind::FirstDot;
    if (panelName == "CutPosAdjustPanel") return Kind::Cut;
    return std::nullopt;
}

Field FieldOf(Kind kind, const std::string& itemName) {
    switch (kind) {
        case Kind::Bid: {
            std::size_t setting = 0;
            bool black = false;
            if (!FindBidRow(itemName, &setting, &black)) return {};
            return {BidInputEdit(kBidSettings[setting], black), kBidLow, kBidHigh};
        }
        case Kind::Pw: {
            const TPPWAdjust::Edge* edge = TPPWAdjust::FindEdge(itemName);
            // Only the edges' own names: the controls' names are not items.
            if (!edge || Upper(itemName) != Upper(edge->name)) return {};
            return {edge->edit, edge->low, edge->high};
        }
        case Kind::PixelShift: {
            const TPColorShiftAdjust::Line* line =
                itemName.size() == 1 ? TPColorShiftAdjust::FindLine(itemName) : nullptr;
            if (!line) return {};
            return {line->edit, TPColorShiftAdjust::kLow, TPColorShiftAdjust::kHigh};
        }
        case Kind::Pf:
            return itemName.empty() ? Field{kPfEdit, kPfLow, kPfHigh} : Field{};
        case Kind::FirstDot:
            return itemName.empty() ? Field{firstdot::kEdit, firstdot::kLow, firstdot::kHigh} : Field{};
        case Kind::Cut:
            // The number of the mark cut correctly, as the list shows it.
            return itemName.empty() ? Field{cutpos::kList, 1, cutpos::kItems} : Field{};
        case Kind::HeadAngular:
            return {};  // turned by hand at the head: nothing to input
    }
    return {};
}

bool NeedsStoredValues(Kind kind) { return kind == Kind::Bid || kind == Kind::FirstDot; }

std::vector<std::string> ItemNames(Kind kind) {
    std::vector<std::string> names;
    switch (kind) {
        case Kind::Bid:
            for (const BidSetting& s : kBidSettings)
                for (bool black : {true, false}) names.push_back(std::string(s.key) + (black ? "Bk" : "CL"));
            break;
        case Kind::Pw:
            for (const TPPWAdjust::Edge& e : TPPWAdjust::Edges()) names.push_back(e.name);
            break;
        case Kind::PixelShift:
            for (const TPColorShiftAdjust::Line& l : TPColorShiftAdjust::Lines())
                names.push_back(std::string(1, l.letter));
            break;
        case Kind::Pf:
        case Kind::FirstDot:
            names.push_back("");
            break;
        case Kind::Cut:  // the list shows no stored value
        case Kind::HeadAngular:
            break;
    }
    return names;
}

std::map<std::string, int> FieldValues(const FeatureFrame& frame, Kind kind) {
    std::map<std::string, int> values;
    for (const std::string& name : ItemNames(kind))
        if (const std::optional<int> value = WholeNumber(frame.Text(FieldOf(kind, name).edit))) values[name] = *value;
    return values;
}

Filled FillProposal(FeatureFrame& frame, const pagereader::Reading& reading) {
    Filled result;
    for (const pagereader::Item& item : reading.items) {
        const std::string& shown = item.name;
        if (!item.value) {
            result.skipped.emplace_back(shown, item.problem.empty() ? svc::Tr("not read") : item.problem.Shown());
            continue;
        }
        const Field field = FieldOf(reading.kind, item.name);
        if (field.edit.empty()) {
            if (reading.kind != Kind::HeadAngular)
                result.skipped.emplace_back(shown, svc::Tr("the panel has no field for it"));
            continue;
        }
        const int value = *item.value;
        if (value < field.low || value > field.high) {
            // Typing it would only earn a range message at Input (or be cut
            // short by the field's length); the technician decides.
            result.skipped.emplace_back(
                shown, svc::Format(svc::Tr("the value read, %1, is outside %2 to %3"),
                                   {std::to_string(value), std::to_string(field.low), std::to_string(field.high)}));
            continue;
        }
        const std::string text = std::to_string(value);
        switch (reading.kind) {
            case Kind::Bid: {
                std::size_t setting = 0;
                bool black = false;
                FindBidRow(item.name, &setting, &black);
                frame.SetText(field.edit, text);
                Bid().BidInputEditChange(frame, static_cast<int>(setting), black);
                break;
            }
            case Kind::Pw:
                frame.SetText(field.edit, text);
                PWAdjust().EditChange(frame, *TPPWAdjust::FindEdge(item.name));
                break;
            case Kind::PixelShift:
                frame.SetText(field.edit, text);
                ColorShiftAdjust().EditChange(frame, *TPColorShiftAdjust::FindLine(item.name));
                break;
            case Kind::FirstDot:
                frame.SetText(field.edit, text);
                LandMarginInputUpDownClick(frame);  // gauges and millimetres follow the value
                break;
            case Kind::Cut:
                frame.SetItemIndex(field.edit, value - 1);
                frame.SetText(field.edit, text);
                break;
            case Kind::Pf:
            case Kind::HeadAngular:
                frame.SetText(field.edit, text);
                break;
        }
        result.filled.push_back(item.name);
    }
    return result;
}

pagereader::Context StoredValues::ContextFor(const FeatureFrame& frame, Kind kind, int model) const {
    pagereader::Context context;
    context.model = model == 2 ? 2 : 1;
    for (const auto& [name, value] : FieldValues(frame, kind)) {
        int stored = value;
        const auto typed = proposal_.find(name);
        const auto against = readAgainst_.find(name);
        if (typed != proposal_.end() && typed->second == value && against != readAgainst_.end())
            stored = against->second;
        context.stored.emplace_back(name, stored);
    }
    // A Bi-D page shows the settings checked on the print page when it was printed.
    if (kind == Kind::Bid)
        for (const BidSetting& s : kBidSettings)
            if (frame.Checked(BidPrintCheckBox(s))) context.bidSettings.push_back(s.name);
    return context;
}

void StoredValues::Remember(const FeatureFrame& frame, Kind kind, const pagereader::Context& context,
                            const Filled& filled) {
    const std::map<std::string, int> shown = FieldValues(frame, kind);
    for (const std::string& name : filled.filled) {
        const auto value = shown.find(name);
        if (value == shown.end()) continue;
        for (const auto& [storedName, stored] : context.stored)
            if (storedName == name) {
                proposal_[name] = value->second;
                readAgainst_[name] = stored;
            }
    }
}

}  // namespace svc::ui::reading
