#include "vprinter/engine/PagePlan.h"

#include <algorithm>
#include <vector>

namespace vp {

namespace {

std::int64_t Pixels(std::int64_t master, int box) { return (master + box - 1) / box; }

// The most coverage the sheet's ink can need at a resolution: every tile of
// each band of 32 preview rows an ink touches, as if it reached across the
// whole preview (the renderer makes only the tiles ink lands in).
std::int64_t CoverageBytes(const SheetRecord& sheet, const PagePlan& plan) {
    static constexpr int kBandRows = 32;
    const int box = kMasterPerInch / plan.dpi;
    const std::int64_t rows = Pixels(plan.height, box);
    const std::size_t bands = static_cast<std::size_t>((rows + kBandRows - 1) / kBandRows);
    std::vector<std::vector<bool>> touched(kInkCount, std::vector<bool>(bands, false));
    std::int64_t planes = 0;
    sheet.ForEachBand([&](int ink, std::int64_t top, std::int64_t bottom) {
        if (ink < 0 || ink >= kInkCount || bottom <= 0 || top >= plan.height) return;
        const std::int64_t from = std::max<std::int64_t>(top, 0) / box / kBandRows;
        const std::int64_t to = std::min<std::int64_t>((std::min(bottom, plan.height) - 1) / box / kBandRows,
                                                       static_cast<std::int64_t>(bands) - 1);
        std::vector<bool>& mine = touched[static_cast<std::size_t>(ink)];
        for (std::int64_t b = from; b <= to; ++b)
            if (!mine[static_cast<std::size_t>(b)]) {
                mine[static_cast<std::size_t>(b)] = true;
                ++planes;
            }
    });
    return planes * kBandRows * Pixels(plan.width, box) * static_cast<std::int64_t>(sizeof(std::uint16_t));
}

}  // namespace

PagePlan PlanPage(const SheetRecord& sheet) {
    const PageSetup& setup = sheet.Setup();
    PagePlan plan;
    plan.width = sheet.WidthMaster();
    plan.height = sheet.Length();
    if (setup.previewDpi != kPagePlanned) {
        plan.dpi = setup.previewDpi;
        return plan;
    }
    if (const PageRenderer* drawn = sheet.Drawn()) {  // drawn as the print went
        plan.dpi = drawn->Setup().previewDpi;
        return plan;
    }
    const SheetArea ink = sheet.InkArea();
    if (ink.Empty()) return plan;  // a blank sheet: all of it at 180 dpi
    plan.width = std::min(plan.width, ink.right + kPageMarginMaster);
    plan.height = std::min(plan.height, ink.bottom + kPageMarginMaster);
    for (const int dpi : sheet.Needs()) {
        if (dpi <= kPageBaseDpi || kMasterPerInch % dpi != 0) continue;
        plan.dpi = dpi;
        const int box = kMasterPerInch / dpi;
        if (Pixels(plan.width, box) * Pixels(plan.height, box) <= kMaxPagePixels &&
            CoverageBytes(sheet, plan) <= kMaxPageCoverageBytes)
            return plan;
    }
    plan.dpi = kPageBaseDpi;
    return plan;
}

std::unique_ptr<PageRenderer> DrawPage(const SheetRecord& sheet, const PagePlan& plan) {
    PageSetup setup = sheet.Setup();
    setup.previewDpi = plan.dpi;
    // A sheet cut from the roll keeps its full height and is cut short, as
    // the printer always drew it.
    const bool whole = plan.height >= sheet.Length();
    auto page = std::make_unique<PageRenderer>(setup, plan.width, whole ? sheet.HeightMaster() : plan.height);
    sheet.Replay(*page);
    page->SetLength(sheet.Length());
    return page;
}

PageOutcome WritePage(int number, const std::string& path, const SheetRecord& sheet, const PageRenderer* drawn) {
    PageOutcome outcome;
    outcome.number = number;
    outcome.path = path;
    std::unique_ptr<PageRenderer> mine;
    if (!drawn) drawn = sheet.Drawn();
    if (!drawn) {
        mine = DrawPage(sheet, PlanPage(sheet));
        drawn = mine.get();
    }
    outcome.dpi = drawn->Setup().previewDpi;
    outcome.width = drawn->PreviewWidth();
    outcome.height = drawn->Rows();
    outcome.written = drawn->WritePng(path, &outcome.error);
    return outcome;
}

}  // namespace vp
