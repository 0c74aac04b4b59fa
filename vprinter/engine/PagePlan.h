// How an ejected sheet is drawn and written: its preview resolution, the
// part of the sheet the preview shows, and the PNG file.
//
// With a fixed resolution (PageSetup::previewDpi) the whole sheet is drawn at
// it, as the printer always did. With kPagePlanned (0) each page is drawn at
// kPageBaseDpi (360: text, patches, a PW step of 1/180 inch and a cut step
// of 1/360 inch show), raised to what its print needs to show one step of
// an adjustment, as the engine noted it (SheetRecord::Need):
//
//   2880 dpi  a raster block at the left edge (the first dot pattern: a step
//             is 1/2880 inch)
//   1440 dpi  a block printed on the return pass (a Bi-D trial) or placed
//             off the 1/720 inch grid (pixel shift candidates): 1/1440 inch
//    720 dpi  a temporary PF value (the PF candidates: a step moves the
//             band joint by 1/375 inch)
//
// The finest of these that keeps the preview within kMaxPagePixels and its
// coverage within kMaxPageCoverageBytes is taken, else the base (a finer
// resolution that still hides the step would only cost: the A3+ check
// sheet, which carries Bi-D trials too, stays at 360 dpi). The preview
// shows the sheet from its top-left corner to kPageMarginMaster beyond the
// ink on the right and below (to the sheet's edge where the ink comes that
// close to it): pixel (0, 0) is always the sheet's top-left corner, and the
// left and top edges are always in the picture.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "vprinter/engine/PageRenderer.h"
#include "vprinter/engine/SheetRecord.h"

namespace vp {

inline constexpr int kPagePlanned = 0;
inline constexpr int kPageBaseDpi = 360;
inline constexpr int kPageEdgeDpi = 2880;
inline constexpr int kPageFineDpi = 1440;
inline constexpr int kPageFeedDpi = 720;
inline constexpr std::int64_t kMaxPagePixels = std::int64_t{160} << 20;
inline constexpr std::int64_t kMaxPageCoverageBytes = std::int64_t{512} << 20;
inline constexpr std::int64_t kPageMarginMaster = kMasterPerInch * 2 / 5;  // 0.4 inch, about 10 mm

struct PagePlan {
    int dpi = 180;
    // The part of the sheet drawn, from its top-left corner, in master units.
    std::int64_t width = 0;
    std::int64_t height = 0;
};

PagePlan PlanPage(const SheetRecord& sheet);
// The sheet drawn as planned.
std::unique_ptr<PageRenderer> DrawPage(const SheetRecord& sheet, const PagePlan& plan);

// What became of one page.
struct PageOutcome {
    int number = 0;  // the sheet's number in this run of the printer
    std::string path;
    bool written = false;
    std::string error;  // why not
    int dpi = 0;
    int width = 0, height = 0;  // pixels
};

// Draws the sheet as planned (or takes `drawn`, already drawn) and writes it
// to `path`.
PageOutcome WritePage(int number, const std::string& path, const SheetRecord& sheet,
                      const PageRenderer* drawn = nullptr);

}  // namespace vp
