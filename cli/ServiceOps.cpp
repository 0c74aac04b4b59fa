// svcadjust-cli operations of the service sequences: head cleaning and ink
// charge, CR motor drive dispersion, the PG adjustment and the refurbishment
// for DOA. Each runs the same handler as its button in the main window.
#include "cli/CliFrame.h"
#include "cli/Operations.h"
#include "link/Host.h"
#include "service/VexHeatProtect.h"
#include "service/VexMaintenance.h"
#include "service/VexPGAdjust.h"

#include <array>
#include <sstream>
#include <utility>

namespace svc::cli {

namespace {

// The replaced-part check boxes as the command line names them.
constexpr std::array<std::pair<const char*, const char*>, 5> kPartNames{{
    {"main", kReplaceMainBoard},
    {"crmotor", kReplaceCRMotor},
    {"ps", kReplacePSBoard},
    {"mainshaft", kReplaceCRMainShaft},
    {"subshaft", kReplaceCRSubShaft},
}};

std::string PartList() {
    std::string list;
    for (const auto& [name, box] : kPartNames) list += (list.empty() ? "" : ", ") + std::string(name);
    return list;
}

std::string PointList() {
    std::string list;
    for (const PGPointInfo& p : kPGPoints) list += (list.empty() ? "" : ", ") + std::string(p.cliName);
    return list;
}

// While the refurbishment runs, the second page's instructions are printed
// when the window would first paint that page: they are what the technician
// does at the printer meanwhile.
class PageEcho : public Host {
public:
    explicit PageEcho(CliFrame& frame) : frame_(frame), inner_(host()) { SetHost(this); }
    ~PageEcho() override { SetHost(&inner_); }
    PageEcho(const PageEcho&) = delete;
    PageEcho& operator=(const PageEcho&) = delete;

    void Sleep(int milliseconds) override { inner_.Sleep(milliseconds); }
    BoxAnswer MessageBox(BoxOwner owner, const std::string& text, const std::string& caption, BoxIcon icon,
                         BoxButtons buttons) override {
        return inner_.MessageBox(owner, text, caption, icon, buttons);
    }
    void RepaintMainWindow() override {
        inner_.RepaintMainWindow();
        if (shown_ || frame_.ShownPanel() != kExchangeSecondPanel) return;
        shown_ = true;
        frame_.EndLine();
        std::FILE* out = frame_.Out();
        std::fprintf(out, "%s\n", kExchangeStepsHeading);
        for (const ExchangeStep& step : kExchangeSteps)
            std::fprintf(out, "  %s%s %s\n", step.number, step.action, step.result);
        std::fflush(out);
    }

private:
    CliFrame& frame_;
    Host& inner_;
    bool shown_ = false;
};

Operation Simple(const char* name, const char* help, Group group, int item, void (*handler)(FeatureFrame&),
                 std::function<void(CliFrame&)> chosen = nullptr) {
    return {name, "", help, 0, 0, group, item, std::move(chosen), [handler](CliFrame& frame, const Arguments&) {
                handler(frame);
                return std::string();
            }};
}

}  // namespace

OperationList ServiceOperations() {
    OperationList ops;
    ops.push_back(Simple("head-cleaning", "\"Head cleaning\" OK: the printer cleans the head (about 60 s)",
                         Group::Maintenance, kHeadCleaningItem,
                         [](FeatureFrame& f) { Maintenance().CleaningOKBtnClick(f); }));
    ops.push_back(Simple("ink-charge", "\"Ink charge\" OK: the printer charges ink (about 90 s)", Group::Maintenance,
                         kInkChargeItem, [](FeatureFrame& f) { Maintenance().InkChargeOKBtnClick(f); }));

    ops.push_back({"cr-dispersion", "[PARTS]",
                   "\"CR motor drive dispersion\" OK with the replaced parts checked, comma-separated: " +
                       PartList(),
                   0, 1, Group::Adjustment, kCRDispersionItem,
                   [](CliFrame& frame) { TPHeatProtect::ClearReplacedParts(frame); },
                   [](CliFrame& frame, const Arguments& args) -> std::string {
                       TPHeatProtect::ClearReplacedParts(frame);
                       if (!args.empty()) {
                           std::istringstream list(args[0]);
                           for (std::string part; std::getline(list, part, ',');) {
                               const char* box = nullptr;
                               for (const auto& [name, objectName] : kPartNames)
                                   if (part == name) box = objectName;
                               if (!box) return "unknown part '" + part + "' (parts: " + PartList() + ")";
                               frame.SetChecked(box, true);
                           }
                       }
                       HeatProtect().CRHeatProtectOffsetOKBtnClick(frame);
                       return {};
                   }});

    ops.push_back({"pg-move", "POINT", "\"PG adjustment\": the carriage to a point: " + PointList(), 1, 1,
                   Group::Adjustment, kPGAdjustmentItem, nullptr,
                   [](CliFrame& frame, const Arguments& args) -> std::string {
                       for (const PGPointInfo& p : kPGPoints)
                           if (args[0] == p.cliName) {
                               PGAdjustMove(frame, p.point);
                               return {};
                           }
                       return "unknown point '" + args[0] + "' (points: " + PointList() + ")";
                   }});
    ops.push_back(Simple("pg-finish", "\"PG adjustment\" Finish: the carriage home", Group::Adjustment,
                         kPGAdjustmentItem, PGAdjustEndPnlClick));
    ops.push_back(Simple("pg-print", "\"PG adjustment\" Print: the inclined carriage pattern", Group::Adjustment,
                         kPGAdjustmentItem, PGAdjustPrintBtnClick));

    ops.push_back({"doa", "",
                   "\"Refurbishment for DOA\": transportation liquid exchange, delivery setting, power off; "
                   "ends the session",
                   0, 0, Group::Maintenance, kRefurbishmentItem, nullptr,
                   [](CliFrame& frame, const Arguments&) {
                       PageEcho echo(frame);
                       Maintenance().ExchangeSequence1PnlClick(frame);
                       return std::string();
                   }});
    return ops;
}

}  // namespace svc::cli
