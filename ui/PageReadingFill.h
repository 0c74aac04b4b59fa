// From a read page to an adjustment panel's fields: which panel reads which
// page, what the panel's fields tell the reader about the values stored in
// the printer, and the proposal typed into the fields as a technician would
// type it. Nothing here talks to the printer: the technician checks the
// values and presses the panel's own Input button.
//
// Works on the window through FeatureFrame only, so it runs the same on the
// main window and on a frame without widgets.
#pragma once

#include "link/FeatureFrame.h"
#include "pagereader/PageReader.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace svc::ui::reading {

// The page a panel (by its objectName) reads; none for panels without one.
// The Bi-D adjustment reads on its input page, where its fields are.
std::optional<pagereader::Kind> KindOfPanel(std::string_view panelName);

// The field an item of a reading goes to ("VSD2DBk" -> "BidVSD2DBkInputEdit",
// "Top" -> "PWSensorHMYUEdit", "" for PF -> "PFAdjustDataEdit"), with the
// values the field takes; empty name when the item has no field (head
// angular, an unknown name).
struct Field {
    std::string edit;
    int low = 0, high = 0;
};
Field FieldOf(pagereader::Kind kind, const std::string& itemName);

// The page is read against the values stored when it was printed: the Bi-D
// trials are printed around them, the first dot is moved from its value.
bool NeedsStoredValues(pagereader::Kind kind);

// Every item name of a kind that has fields, in the panel's order.
std::vector<std::string> ItemNames(pagereader::Kind kind);

// The values the panel's fields show now, by item name: the fields that
// hold a whole number. After the panel's Read these are the stored values.
std::map<std::string, int> FieldValues(const FeatureFrame& frame, pagereader::Kind kind);

// What became of a proposal in the fields.
struct Filled {
    std::vector<std::string> filled;                           // item names typed in ("" for a single-value kind)
    std::vector<std::pair<std::string, std::string>> skipped;  // item name, why it was left alone
};

// Types each read item's value into its field, as typing does (the row's
// check box follows; the first dot display and the cut list follow their
// value). Items without a value, or with a value the field does not take,
// leave their field as it was and are named in `skipped`.
Filled FillProposal(FeatureFrame& frame, const pagereader::Reading& reading);

// The stored values a page is read against, kept per panel. The fields show
// the stored values after the panel's Read; once a proposal is typed in they
// show the proposal, and until the technician reads or inputs again a field
// that still shows what the last proposal typed keeps standing for the value
// the proposal was read against (a page dropped twice gives the same answer).
class StoredValues {
public:
    // With the Bi-D page: the settings checked on the print page.
    pagereader::Context ContextFor(const FeatureFrame& frame, pagereader::Kind kind, int model) const;
    // The proposal just typed in, read against `context`.
    void Remember(const FeatureFrame& frame, pagereader::Kind kind, const pagereader::Context& context,
                  const Filled& filled);
    // The panel's Read or Input was pressed: the fields speak for themselves again.
    void Forget() { proposal_.clear(), readAgainst_.clear(); }

private:
    std::map<std::string, int> proposal_;     // item -> value typed in
    std::map<std::string, int> readAgainst_;  // item -> stored value it was read against
};

}  // namespace svc::ui::reading
