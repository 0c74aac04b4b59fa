// The check-pattern prints, head angular, Bi-D and PF adjustment buttons.
#include "cli/Operations.h"

#include "adjust/HeadAngularAdjust.h"
#include "adjust/PfAdjust.h"
#include "adjust/VexBid.h"
#include "adjust/VexCheckPattern.h"
#include "cli/CliFrame.h"
#include "i18n/Translate.h"

#include <cctype>
#include <cstdio>
#include <sstream>

namespace svc::cli {

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// "VSD2'" or "VSD2D" (any case) -> index into kBidSettings, -1 for none.
int BidSettingIndex(const std::string& word) {
    const std::string w = Upper(word);
    for (std::size_t i = 0; i < kBidSettings.size(); ++i)
        if (w == kBidSettings[i].name || w == kBidSettings[i].key) return static_cast<int>(i);
    return -1;
}

// "VSD1,VSD4": the Bi-D print check boxes; all four without an argument.
// Without a frame it only checks the list.
std::string SetBidPrintBoxes(CliFrame* frame, const Arguments& args) {
    std::array<bool, 4> wanted{};
    if (args.empty()) {
        wanted.fill(true);
    } else {
        std::istringstream list(args[0]);
        for (std::string word; std::getline(list, word, ',');) {
            const int i = BidSettingIndex(word);
            if (i < 0) return Format(Tr("'%1' is not one of VSD1, VSD2, VSD2', VSD4"), {Shown(word)});
            wanted[static_cast<std::size_t>(i)] = true;
        }
    }
    if (frame)
        for (std::size_t i = 0; i < kBidSettings.size(); ++i)
            frame->SetChecked(BidPrintCheckBox(kBidSettings[i]), wanted[i]);
    return {};
}

// "VSD1Bk=5 VSD2DCL=-3": the rows typed into (checked), all others unchecked.
// Without a frame it only checks the row names.
std::string SetBidInputRows(CliFrame* frame, const Arguments& args) {
    std::vector<std::pair<std::string, std::string>> rows;
    if (!SplitAssignments(args, rows)) return Tr("each value is ROW=VALUE, for example VSD1Bk=5");
    struct Entry {
        std::string edit, box, text;
    };
    std::vector<Entry> typed;
    for (const auto& [row, text] : rows) {
        const std::string r = Upper(row);
        const std::string notARow =
            Format(Tr("'%1' is not a row (VSD1Bk, VSD1CL, VSD2Bk, ... VSD2DBk, VSD4CL)"), {Shown(row)});
        bool black = false;
        std::string setting;
        if (r.size() > 2 && r.ends_with("BK")) {
            black = true;
            setting = r.substr(0, r.size() - 2);
        } else if (r.size() > 2 && r.ends_with("CL")) {
            setting = r.substr(0, r.size() - 2);
        } else {
            return notARow;
        }
        const int i = BidSettingIndex(setting);
        if (i < 0) return notARow;
        const BidSetting& s = kBidSettings[static_cast<std::size_t>(i)];
        typed.push_back({BidInputEdit(s, black), BidInputCheckBox(s, black), text});
    }
    if (!frame) return {};
    for (const BidSetting& s : kBidSettings)
        for (bool black : {true, false}) frame->SetChecked(BidInputCheckBox(s, black), false);
    for (const Entry& e : typed) {
        frame->SetText(e.edit, e.text);
        frame->SetChecked(e.box, !e.text.empty());  // as the edit's change handler does
    }
    return {};
}

// The eight values of the input page, as its rows are labelled.
void PrintBidValues(CliFrame& frame) {
    if (!frame.Succeeding()) return;
    frame.EndLine();
    for (const BidSetting& s : kBidSettings)
        for (bool black : {true, false})
            std::fprintf(frame.Out(), "%s: %s\n", Format(black ? Tr("%1 Black") : Tr("%1 Color"), {s.name}).c_str(),
                         frame.Text(BidInputEdit(s, black)).c_str());
    std::fflush(frame.Out());
}

void PrintPfValue(CliFrame& frame) {
    if (!frame.Succeeding()) return;
    frame.EndLine();
    std::fprintf(frame.Out(), "PF adjustment: %s\n", frame.Text(kPfEdit).c_str());
    std::fflush(frame.Out());
}

Operation Button(std::string name, std::string help, Group group, int item, std::function<void(FeatureFrame&)> click,
                 std::function<void(CliFrame&)> chosen = nullptr) {
    return {std::move(name),
            "",
            std::move(help),
            0,
            0,
            group,
            item,
            std::move(chosen),
            [click = std::move(click)](CliFrame& frame, const Arguments&) {
                click(frame);
                return std::string();
            }};
}

}  // namespace

OperationList CheckAdjustOperations() {
    // head-check-print is the head ID feature's operation; the print it runs is ours.
    TPCheckPattern::HandHeadCheckPrintToHeadId();
    OperationList ops;
    const auto pfChosen = [](CliFrame& frame) { PFAdjustChosen(frame); };

    ops.push_back(Button("a3-check-print", SVC_N("the A3+ check sheet: counters, patterns, IDs, ink levels"),
                         Group::CheckPattern, kA3PItem,
                         [](FeatureFrame& f) { CheckPattern().A3PCheckPrintBtnClick(f); }));
    ops.push_back(Button("a4-check-print", SVC_N("the A4 normal paper check: clip.prn, then the PF check pattern"),
                         Group::CheckPattern, kA4Item, [](FeatureFrame& f) { CheckPattern().A4PrintBtnClick(f); }));
    ops.push_back(Button("nozzle-check-print", SVC_N("the printer's own nozzle check pattern"), Group::CheckPattern,
                         kNozzleCheckItem, [](FeatureFrame& f) { CheckPattern().NozzleCheckPatternPrintBtnClick(f); }));
    ops.push_back(Button("head-angular-print", SVC_N("the head angular pattern"), Group::Adjustment, kHeadAngularItem,
                         [](FeatureFrame& f) { HeadAngularPrintBtnClick(f); }));
    ops.push_back(Button("head-angular-adjust",
                         SVC_N("carriage to the head angular adjustment position, home again after OK"),
                         Group::Adjustment, kHeadAngularItem, [](FeatureFrame& f) { HeadAngularCRMoveBtnClick(f); }));

    ops.push_back({"bid-print", "[VSD1,VSD2,VSD2',VSD4]",
                   SVC_N("the Bi-D pattern of the settings listed (all four without a list)"), 0, 1, Group::Adjustment,
                   kBidItem, nullptr,
                   [](CliFrame& frame, const Arguments& args) {
                       if (std::string error = SetBidPrintBoxes(&frame, args); !error.empty()) return error;
                       Bid().BidPrintOKBtnClick(frame);
                       return std::string();
                   },
                   [](const Arguments& args) { return SetBidPrintBoxes(nullptr, args); }});
    ops.push_back({"bid-read", "", SVC_N("read the eight Bi-D values"), 0, 0, Group::Adjustment, kBidItem, nullptr,
                   [](CliFrame& frame, const Arguments&) {
                       Bid().BidInputCheckBtnClick(frame);
                       PrintBidValues(frame);
                       return std::string();
                   }});
    ops.push_back({"bid-input", "ROW=VALUE...",
                   SVC_N("write Bi-D values: VSD1Bk=5 VSD2DCL=-3 (rows VSD1Bk ... VSD4CL)"), 1, 8, Group::Adjustment,
                   kBidItem, nullptr,
                   [](CliFrame& frame, const Arguments& args) {
                       if (std::string error = SetBidInputRows(&frame, args); !error.empty()) return error;
                       Bid().BidInputOKBtnClick(frame);
                       return std::string();
                   },
                   [](const Arguments& args) { return SetBidInputRows(nullptr, args); }});

    ops.push_back(Button(
        "pf-print", SVC_N("the PF adjustment pattern, one block per value -4 to 4"), Group::Adjustment, kPfItem,
        [](FeatureFrame& f) { PFAdjustPrintBtnClick(f); }, pfChosen));
    ops.push_back({"pf-read", "", SVC_N("read the PF adjustment value"), 0, 0, Group::Adjustment, kPfItem, pfChosen,
                   [](CliFrame& frame, const Arguments&) {
                       PFAdjustCheckBtnClick(frame);
                       PrintPfValue(frame);
                       return std::string();
                   }});
    ops.push_back({"pf-input", "VALUE", SVC_N("write the PF adjustment value (-4 to 4)"), 1, 1, Group::Adjustment,
                   kPfItem, pfChosen, [](CliFrame& frame, const Arguments& args) {
                       frame.SetText(kPfEdit, args[0]);
                       PFAdjustInputBtnClick(frame);
                       return std::string();
                   }});
    return ops;
}

}  // namespace svc::cli
