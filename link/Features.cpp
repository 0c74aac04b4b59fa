#include "link/Features.h"

#include "i18n/Translate.h"

#include <algorithm>
#include <array>

namespace svc {

namespace {

using Names = std::string_view;

constexpr GroupInfo kGroups[] = {
    {Group::Adjustment, SVC_N("Adjustment"), "AdjustRdoGrp", SVC_N("Adjustment")},
    {Group::Maintenance, SVC_N("Maintenance"), "MaintenanceRdoGrp", SVC_N("Maintenance")},
    {Group::CheckPattern, SVC_N("Check pattern"), "CheckPatternRdoGrp", SVC_N("Check pattern items")},
    {Group::Appendix, SVC_N("Appendix"), "AppendixRdoGrp", SVC_N("Appendix items")},
};

constexpr AdjustedCellInfo kCells[] = {
    {"HeadIDPnl", SVC_N("Head ID"), true},
    {"PFAdjustPnl", SVC_N("PF adjustment"), false},
    {"PWSensorTopPnl", SVC_N("PW sensor Top"), false},
    {"PWSensorBottomPnl", SVC_N("PW sensor Bottom"), false},
    {"PWSensorLeftPnl", SVC_N("PW sensor Left"), false},
    {"PWSensorRightPnl", SVC_N("PW sensor Right"), false},
    {"BidVSD1BkPnl", SVC_N("Bi-D VSD1 Black"), true},
    {"BidVSD1CLPnl", SVC_N("Bi-D VSD1 Color"), true},
    {"BidVSD2BkPnl", SVC_N("Bi-D VSD2 Black"), true},
    {"BidVSD2CLPnl", SVC_N("Bi-D VSD2 Color"), true},
    {"BidVSD2DBkPnl", SVC_N("Bi-D VSD2' Black"), true},
    {"BidVSD2DCLPnl", SVC_N("Bi-D VSD2' Color"), true},
    {"BidVSD4BkPnl", SVC_N("Bi-D VSD4 Black"), true},
    {"BidVSD4CLPnl", SVC_N("Bi-D VSD4 Color"), true},
    {"ColorShiftAPnl", SVC_N("Pixel shift A"), false},
    {"ColorShiftBPnl", SVC_N("Pixel shift B"), false},
    {"ColorShiftCPnl", SVC_N("Pixel shift C"), false},
    {"ColorShiftDPnl", SVC_N("Pixel shift D"), false},
    {"ColorShiftEPnl", SVC_N("Pixel shift E"), false},
    {"ColorShiftFPnl", SVC_N("Pixel shift F"), false},
    {"UsbIDPnl", SVC_N("USB ID"), true},
    {"IEEE1394IDPnl", SVC_N("IEEE1394 ID"), false},
    {"WasteInkPadCounterPnl", SVC_N("Waste Ink Pad Counter"), true},
};

// ---- the features' lists ----

constexpr Names kNone[1] = {""};
constexpr std::span<const Names> None() { return std::span<const Names>(kNone, 0); }

// "Adjustment"
constexpr Names kMarketOps[] = {"market-ok", "market-check"};
constexpr Names kHeadIdPages[] = {"HeadCheckPrintPnl"};
constexpr Names kHeadIdCells[] = {"HeadIDPnl"};
constexpr Names kHeadIdOps[] = {"head-id-input", "head-id-read", "head-check-print"};
constexpr Names kCRDispersionOps[] = {"cr-dispersion"};
constexpr Names kPGOps[] = {"pg-move", "pg-finish", "pg-print"};
constexpr Names kPGHowTo[] = {"PGHowToAdjustBtn", "PGAdjustHowToCleanBtn"};
constexpr Names kHeadAngularOps[] = {"head-angular-print", "head-angular-adjust"};
constexpr Names kHeadAngularHowTo[] = {"HeadAngularAdjustHowToBtn"};
constexpr Names kPfCells[] = {"PFAdjustPnl"};
constexpr Names kPfOps[] = {"pf-print", "pf-read", "pf-input"};
constexpr Names kPfHowTo[] = {"PFAdjustHowToBtn"};
constexpr Names kPwCells[] = {"PWSensorTopPnl", "PWSensorBottomPnl", "PWSensorLeftPnl", "PWSensorRightPnl"};
constexpr Names kPwOps[] = {"pw-print", "pw-read", "pw-input"};
constexpr Names kPwHowTo[] = {"PWSensorHowToAdjustBtn"};
constexpr Names kBidPages[] = {"BidInputPnl"};
constexpr Names kBidCells[] = {"BidVSD1BkPnl",  "BidVSD1CLPnl",  "BidVSD2BkPnl", "BidVSD2CLPnl",
                               "BidVSD2DBkPnl", "BidVSD2DCLPnl", "BidVSD4BkPnl", "BidVSD4CLPnl"};
constexpr Names kBidOps[] = {"bid-print", "bid-read", "bid-input"};
constexpr Names kBidHowTo[] = {"BidPrintHowToAdjustBtn", "BidInputHowToAdjustBtn"};
constexpr Names kPixelShiftCells[] = {"ColorShiftAPnl", "ColorShiftBPnl", "ColorShiftCPnl",
                                      "ColorShiftDPnl", "ColorShiftEPnl", "ColorShiftFPnl"};
constexpr Names kPixelShiftOps[] = {"pixel-shift-print", "pixel-shift-read", "pixel-shift-input"};
constexpr Names kPixelShiftHowTo[] = {"HowToCLShiftAdjustBtn"};
constexpr Names kCutOps[] = {"cut-print", "cut-input"};
constexpr Names kCutHowTo[] = {"CutPosHowToAdjustBtn"};
constexpr Names kUsbIdCells[] = {"UsbIDPnl"};
constexpr Names kUsbIdOps[] = {"usb-id-input", "usb-id-read"};
constexpr Names kIeee1394Cells[] = {"IEEE1394IDPnl"};
constexpr Names kIeee1394Ops[] = {"ieee1394-id-input", "ieee1394-id-read"};
constexpr Names kFirstDotOps[] = {"first-dot-print",      "first-dot-read",      "first-dot-input",
                                  "first-dot-left-edge",  "first-dot-step-left", "first-dot-centering",
                                  "first-dot-step-right", "first-dot-right-edge"};
// "Maintenance"
constexpr Names kCleaningOps[] = {"head-cleaning"};
constexpr Names kInkChargeOps[] = {"ink-charge"};
constexpr Names kRefurbishmentPages[] = {"ExchangePnl2"};
constexpr Names kRefurbishmentOps[] = {"doa", "doa-finish"};
constexpr Names kWasteInkCells[] = {"WasteInkPadCounterPnl"};
constexpr Names kWasteInkOps[] = {"waste-ink-read", "waste-ink-reset"};
constexpr Names kEepromCopyOps[] = {"backup", "restore"};
// "Check pattern items"
constexpr Names kA3POps[] = {"a3-check-print"};
constexpr Names kA4Ops[] = {"a4-check-print"};
constexpr Names kA4HowTo[] = {"HowToCheckA4Pat"};
constexpr Names kNozzleCheckOps[] = {"nozzle-check-print"};
// "Appendix items"
constexpr Names kEepromViewerOps[] = {"eeprom-view", "eeprom-poke"};
constexpr Names kPrinterInfoPages[] = {"PrinterInfoReadOut2Pnl"};
constexpr Names kPrinterInfoOps[] = {"printer-info"};

constexpr FeatureInfo kFeatures[] = {
    {Group::Adjustment, kMarketItem, SVC_N("Market setting"), "DefaultSetPnl", None(), None(), kMarketOps, None(), "",
     true},
    {Group::Adjustment, kHeadIdItem, SVC_N("Head ID"), "HeadIDInputPnl", kHeadIdPages, kHeadIdCells, kHeadIdOps, None(),
     ""},
    {Group::Adjustment, kCRDispersionItem, SVC_N("CR motor drive dispersion"), "CRHeatProtectOffsetPnl", None(), None(),
     kCRDispersionOps, None(), ""},
    {Group::Adjustment, kPGAdjustmentItem, SVC_N("PG adjustment"), "PGAdjustPnl", None(), None(), kPGOps, kPGHowTo, ""},
    {Group::Adjustment, kHeadAngularItem, SVC_N("Head angular adjustment"), "HeadAngularPnl", None(), None(),
     kHeadAngularOps, kHeadAngularHowTo, ""},
    {Group::Adjustment, kPfItem, SVC_N("PF adjustment"), "PFAdjustmentPnl", None(), kPfCells, kPfOps, kPfHowTo, ""},
    {Group::Adjustment, kPwItem, SVC_N("PW sensor adjustment"), "PWSensorAdjustPnl", None(), kPwCells, kPwOps, kPwHowTo,
     ""},
    {Group::Adjustment, kBidItem, SVC_N("Bi-D adjustment"), "BidPrintPnl", kBidPages, kBidCells, kBidOps, kBidHowTo,
     ""},
    {Group::Adjustment, kPixelShiftItem, SVC_N("Pixel shift adjustment"), "ColorShiftAdjustPnl", None(),
     kPixelShiftCells, kPixelShiftOps, kPixelShiftHowTo, ""},
    {Group::Adjustment, kCutPositionItem, SVC_N("Cut position adjustment"), "CutPosAdjustPanel", None(), None(),
     kCutOps, kCutHowTo, ""},
    {Group::Adjustment, kUsbIdItem, SVC_N("USB ID"), "USBIDInputPnl", None(), kUsbIdCells, kUsbIdOps, None(), ""},
    {Group::Adjustment, kIeee1394Item, SVC_N("IEEE1394 ID"), "IEEE1394IDPnl", None(), kIeee1394Cells, kIeee1394Ops,
     None(), ""},
    {Group::Adjustment, kFirstDotItem, SVC_N("First dot position adjustment"), "LandMarginAdjustPnl", None(), None(),
     kFirstDotOps, None(), ""},
    {Group::Maintenance, kHeadCleaningItem, SVC_N("Head cleaning"), "CleaningPnl", None(), None(), kCleaningOps, None(),
     ""},
    {Group::Maintenance, kInkChargeItem, SVC_N("Ink charge"), "InkChargePnl", None(), None(), kInkChargeOps, None(),
     ""},
    {Group::Maintenance, kRefurbishmentItem, SVC_N("Refurbishment for DOA"), "ExchangePnl1", kRefurbishmentPages,
     None(), kRefurbishmentOps, None(), ""},
    {Group::Maintenance, kWasteInkItem, SVC_N("Waste Ink Pad counter"), "ProCounterMaintePnl", None(), kWasteInkCells,
     kWasteInkOps, None(), "", true},
    {Group::Maintenance, kEepromCopyItem, SVC_N("EEPROM data copy"), "EepromDataCopyPnl", None(), None(),
     kEepromCopyOps, None(), "", true},
    {Group::CheckPattern, kA3PItem, SVC_N("A3+ quality paper print"), "A3PCheckPrintPnl", None(), None(), kA3POps,
     None(), ""},
    {Group::CheckPattern, kA4Item, SVC_N("A4 normal paper print"), "A4PrintPnl", None(), None(), kA4Ops, kA4HowTo, ""},
    {Group::CheckPattern, kNozzleCheckItem, SVC_N("Nozzle check pattern print"), "NozzleCheckPnl", None(), None(),
     kNozzleCheckOps, None(), ""},
    {Group::Appendix, kEepromViewerItem, SVC_N("EEPROM data"), "EepromGridPnl", None(), None(), kEepromViewerOps,
     None(), "", true},
    {Group::Appendix, kPrinterInfoItem, SVC_N("Printer information"), "PrinterInfoReadOutPnl", kPrinterInfoPages,
     None(), kPrinterInfoOps, None(), "", true},
};

constexpr int kItemCounts[kGroupCount] = {kAdjustmentItems, kMaintenanceItems, kCheckPatternItems, kAppendixItems};

// The table is in tab order, each group's items numbered from 0 without a gap,
// as many as the availability levels know; each cell a feature names is a cell
// of the panel.
constexpr bool InWindowOrder() {
    int group = 0, item = 0;
    for (const FeatureInfo& f : kFeatures) {
        const int g = static_cast<int>(f.group);
        if (g != group) {
            if (g != group + 1 || item != kItemCounts[group]) return false;
            group = g;
            item = 0;
        }
        if (f.item != item) return false;
        ++item;
    }
    return group == kGroupCount - 1 && item == kItemCounts[group];
}
static_assert(InWindowOrder());

constexpr bool CellsAreKnown() {
    int named = 0;
    for (const FeatureInfo& f : kFeatures)
        for (Names cell : f.cells) {
            bool known = false;
            for (const AdjustedCellInfo& c : kCells) known = known || c.name == cell;
            if (!known) return false;
            ++named;
        }
    return named == static_cast<int>(std::size(kCells));  // and each cell belongs to one feature
}
static_assert(CellsAreKnown());

constexpr bool CheckPrintsGoAsOneGroup() {
    for (const FeatureInfo& f : kFeatures)
        if (f.group == Group::CheckPattern && f.usableInError) return false;
    return true;
}
static_assert(CheckPrintsGoAsOneGroup());

constexpr bool GroupsInTabOrder() {
    for (int g = 0; g < kGroupCount; ++g)
        if (static_cast<int>(kGroups[g].group) != g) return false;
    return std::size(kGroups) == kGroupCount;
}
static_assert(GroupsInTabOrder());

constexpr ModelInfo kModels[] = {
    {kModel4100, "Corvid Lumen 4100", "4100", "Standard"},
    {kModel4200, "Corvid Lumen 4200", "4200", "TRN/VLK"},
};

}  // namespace

std::span<const GroupInfo> Groups() { return kGroups; }

const GroupInfo& GroupOf(Group group) { return kGroups[static_cast<int>(group)]; }

std::span<const AdjustedCellInfo> AdjustedCells() { return kCells; }

const AdjustedCellInfo* FindAdjustedCell(std::string_view name) {
    for (const AdjustedCellInfo& c : kCells)
        if (c.name == name) return &c;
    return nullptr;
}

std::span<const FeatureInfo> Features() { return kFeatures; }

const FeatureInfo* FindFeature(Group group, int item) {
    for (const FeatureInfo& f : kFeatures)
        if (f.group == group && f.item == item) return &f;
    return nullptr;
}

const FeatureInfo* FindFeatureByPanel(std::string_view panel) {
    for (const FeatureInfo& f : kFeatures)
        if (f.panel == panel || std::find(f.pages.begin(), f.pages.end(), panel) != f.pages.end()) return &f;
    return nullptr;
}

std::vector<std::string_view> ItemCaptions(Group group) {
    std::vector<std::string_view> captions;
    for (const FeatureInfo& f : kFeatures)
        if (f.group == group) captions.push_back(f.caption);
    return captions;
}

std::span<const ModelInfo> Models() { return kModels; }

const ModelInfo* FindModel(int code) {
    for (const ModelInfo& m : kModels)
        if (m.code == code) return &m;
    return nullptr;
}

const ModelInfo* FindModelByWord(std::string_view word) {
    for (const ModelInfo& m : kModels)
        if (m.word == word) return &m;
    return nullptr;
}

}  // namespace svc
