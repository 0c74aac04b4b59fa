// svcadjust-cli operations of the service sequences: head cleaning and ink
// charge, CR motor drive dispersion, the PG adjustment and the refurbishment
// for DOA. Each runs the same handler as its button in the main window.
#include "cli/CliFrame.h"
#include "cli/Operations.h"
#include "link/Host.h"
#include "service/VexHeatProtect.h"
#include "service/VexMaintenance.h"
#include "service/VexPGAdjust.h"
#include "i18n/Translate.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <system_error>
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

// The box of the power-off phase, as the refurbishment shows it.
constexpr const char* kSwitchOffBox = "Trun off the printer. Don't disconnect AC cable.";

// The word as a shell reads it back: as it is when it has no special characters.
std::string ShellWord(const std::string& word) {
    const bool plain = !word.empty() && word.find_first_not_of(
                                            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                            "0123456789_./+-:@%,=") == std::string::npos;
    if (plain) return word;
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::string SwitchOffHint() {
    const char* control = std::getenv(kVirtualPrinterControlVariable);
    if (!control || !*control)
        return Tr("(switch the printer off with its power button; the session goes on once it no longer answers)");
    // The virtual printer's program beside this one, as the build and the package install them.
    std::string program = "vprinter";
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && ::access((self.parent_path() / "vprinter").c_str(), X_OK) == 0)
        program = (self.parent_path() / "vprinter").string();
    return Format(Tr("(the virtual printer is switched off with: %1)"),
                  {ShellWord(program) + " --control " + ShellWord(control) + " --send 'fault poweroff'"});
}

namespace {

// While the refurbishment runs, the second page's instructions are printed
// when the window would first paint that page: they are what the technician
// does at the printer meanwhile. Before the first power-off box, how to
// switch the printer off.
class PageEcho : public Host {
public:
    explicit PageEcho(CliFrame& frame) : frame_(frame), inner_(host()) { SetHost(this); }
    ~PageEcho() override { SetHost(&inner_); }
    PageEcho(const PageEcho&) = delete;
    PageEcho& operator=(const PageEcho&) = delete;

    void Sleep(int milliseconds) override { inner_.Sleep(milliseconds); }
    BoxAnswer MessageBox(BoxOwner owner, const std::string& text, const std::string& caption, BoxIcon icon,
                         BoxButtons buttons) override {
        if (!hinted_ && text == kSwitchOffBox) {
            hinted_ = true;
            frame_.EndLine();
            std::fprintf(frame_.Out(), "%s\n", SwitchOffHint().c_str());
            std::fflush(frame_.Out());
        }
        return inner_.MessageBox(owner, text, caption, icon, buttons);
    }
    void RepaintMainWindow() override {
        inner_.RepaintMainWindow();
        if (shown_ || frame_.ShownPanel() != kExchangeSecondPanel) return;
        shown_ = true;
        frame_.EndLine();
        std::FILE* out = frame_.Out();
        std::fprintf(out, "%s\n", Tr(kExchangeStepsHeading));
        for (const ExchangeStep& step : kExchangeSteps)
            std::fprintf(out, "  %s%s %s\n", Tr(step.number), Tr(step.action), Tr(step.result));
        std::fflush(out);
    }

private:
    CliFrame& frame_;
    Host& inner_;
    bool shown_ = false;
    bool hinted_ = false;
};

Operation Simple(const char* name, const char* help, Group group, int item, void (*handler)(FeatureFrame&),
                 std::function<void(CliFrame&)> chosen = nullptr) {
    return {name, "", help, 0, 0, group, item, std::move(chosen), [handler](CliFrame& frame, const Arguments&) {
                handler(frame);
                return std::string();
            }};
}

// "main,ps": the replaced-part check boxes to tick; without a frame it only checks the names.
std::string TickReplacedParts(CliFrame* frame, const Arguments& args) {
    if (args.empty()) return {};
    std::istringstream list(args[0]);
    for (std::string part; std::getline(list, part, ',');) {
        const char* box = nullptr;
        for (const auto& [name, objectName] : kPartNames)
            if (part == name) box = objectName;
        if (!box) return Format(Tr("unknown part '%1' (parts: %2)"), {Shown(part), PartList()});
        if (frame) frame->SetChecked(box, true);
    }
    return {};
}

const PGPointInfo* FindPoint(const std::string& name) {
    for (const PGPointInfo& p : kPGPoints)
        if (name == p.cliName) return &p;
    return nullptr;
}

std::string CheckPoint(const Arguments& args) {
    if (FindPoint(args.at(0))) return {};
    return Format(Tr("unknown point '%1' (points: %2)"), {Shown(args[0]), PointList()});
}

}  // namespace

OperationList ServiceOperations() {
    OperationList ops;
    ops.push_back(Simple("head-cleaning", SVC_N("\"Head cleaning\" OK: the printer cleans the head (about 60 s)"),
                         Group::Maintenance, kHeadCleaningItem,
                         [](FeatureFrame& f) { Maintenance().CleaningOKBtnClick(f); }));
    ops.push_back(Simple("ink-charge", SVC_N("\"Ink charge\" OK: the printer charges ink (about 90 s)"),
                         Group::Maintenance, kInkChargeItem,
                         [](FeatureFrame& f) { Maintenance().InkChargeOKBtnClick(f); }));

    ops.push_back({"cr-dispersion", "[PARTS]",
                   Format(Tr("\"CR motor drive dispersion\" OK with the replaced parts checked, comma-separated: %1"),
                          {PartList()}),
                   0, 1, Group::Adjustment, kCRDispersionItem,
                   [](CliFrame& frame) { TPHeatProtect::ClearReplacedParts(frame); },
                   [](CliFrame& frame, const Arguments& args) -> std::string {
                       TPHeatProtect::ClearReplacedParts(frame);
                       if (std::string error = TickReplacedParts(&frame, args); !error.empty()) return error;
                       HeatProtect().CRHeatProtectOffsetOKBtnClick(frame);
                       return {};
                   },
                   [](const Arguments& args) { return TickReplacedParts(nullptr, args); }});

    ops.push_back({"pg-move", "POINT", Format(Tr("\"PG adjustment\": the carriage to a point: %1"), {PointList()}), 1,
                   1, Group::Adjustment, kPGAdjustmentItem, nullptr,
                   [](CliFrame& frame, const Arguments& args) -> std::string {
                       if (std::string error = CheckPoint(args); !error.empty()) return error;
                       PGAdjustMove(frame, FindPoint(args[0])->point);
                       return {};
                   },
                   CheckPoint});
    ops.push_back(Simple("pg-finish", SVC_N("\"PG adjustment\" Finish: the carriage home"), Group::Adjustment,
                         kPGAdjustmentItem, PGAdjustEndPnlClick));
    ops.push_back(Simple("pg-print", SVC_N("\"PG adjustment\" Print: the inclined carriage pattern"), Group::Adjustment,
                         kPGAdjustmentItem, PGAdjustPrintBtnClick));

    ops.push_back({"doa", "",
                   SVC_N("\"Refurbishment for DOA\": transportation liquid exchange, delivery setting, power off; "
                         "ends the session"),
                   0, 0, Group::Maintenance, kRefurbishmentItem, nullptr, [](CliFrame& frame, const Arguments&) {
                       PageEcho echo(frame);
                       Maintenance().ExchangeSequence1PnlClick(frame);
                       return std::string();
                   }});
    ops.push_back({"doa-finish", "",
                   SVC_N("the end of a \"Refurbishment for DOA\" that stopped after it started the exchange: "
                         "waits for the exchange, delivery setting, power off; ends the session"),
                   0, 0, Group::Maintenance, kRefurbishmentItem, nullptr, [](CliFrame& frame, const Arguments&) {
                       PageEcho echo(frame);
                       const auto interrupted = InterruptedRefurbishmentHere(frame.ModelCode(), frame.PortCode());
                       Maintenance().FinishRefurbishmentClick(frame, interrupted && interrupted->exchangeSeen);
                       return std::string();
                   }});
    return ops;
}

}  // namespace svc::cli
