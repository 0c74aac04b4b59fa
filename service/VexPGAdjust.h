// PG (platen gap) adjustment: the carriage is moved to fixed points along its
// guide shafts for the technician's mechanical adjustment, brought home
// again, and a check pattern is printed. The moves keep the main window's
// carriage-at-home flag, which tells them whether the carriage must first
// leave its home position.
#pragma once

#include "link/FeatureFrame.h"
#include "link/VexRaster.h"
#include "i18n/Translate.h"

#include <array>
#include <cstdint>

namespace svc {

inline constexpr const char* kPGAdjustPanel = "PGAdjustPnl";

// The five adjustment points, in the order of the panel.
enum class PGPoint { MainRight, MainLeft, SubRight, SubLeft, Center };

struct PGPointInfo {
    PGPoint point;
    const char* panel;      // the clickable panel of the point
    const char* caption;    // its caption
    std::int16_t position;  // MoveCarriage position (mode 16)
    const char* doneText;   // the memo text once the carriage is there
    const char* cliName;    // svcadjust-cli's name for the point
};
inline constexpr std::array<PGPointInfo, 5> kPGPoints{{
    {PGPoint::MainRight, "PGAdjustMoveMainRightPosPnl", SVC_N("Right Main Position (1)"), 630,
     SVC_N("The carriage has moved to adjustment position of the main shaft right."), "main_right"},
    {PGPoint::MainLeft, "PGAdjustMoveMainLeftPosPnl", SVC_N("Left Main Position (2)"), 2580,
     SVC_N("The carriage has moved to adjustment position of the main shaft left."), "main_left"},
    {PGPoint::SubRight, "PGAdjustMoveSubRightPosPnl", SVC_N("Right Sub Position (3)"), 1020,
     SVC_N("The carriage has moved to adjustment position of the sub shaft right."), "sub_right"},
    {PGPoint::SubLeft, "PGAdjustMoveSubLeftPosPnl", SVC_N("Left Sub Position (4)"), 2180,
     SVC_N("The carriage has moved to adjustment position of the sub shaft left."), "sub_left"},
    {PGPoint::Center, "PGAdjustMoveCenterPnl", SVC_N("Center Position"), 1580,
     SVC_N("The carriage has moved to jig setting position."), "center"},
}};
const PGPointInfo& InfoOf(PGPoint point);

// The inclined carriage pattern into the job stream (also part of the A3+
// check print), ending with a reset and a flush.
Result InclinedCarriagePattern(TPRaster& stream);

// ---- button handlers ----
// A position panel: the lever prompt, then the carriage to the point (leaving
// home first when it is there).
void PGAdjustMove(FeatureFrame& frame, PGPoint point);
inline void PGAdjustMoveMainRightPosPnlClick(FeatureFrame& frame) { PGAdjustMove(frame, PGPoint::MainRight); }
inline void PGAdjustMoveMainLeftPosPnlClick(FeatureFrame& frame) { PGAdjustMove(frame, PGPoint::MainLeft); }
inline void PGAdjustMoveSubRightPosPnlClick(FeatureFrame& frame) { PGAdjustMove(frame, PGPoint::SubRight); }
inline void PGAdjustMoveSubLeftPosPnlClick(FeatureFrame& frame) { PGAdjustMove(frame, PGPoint::SubLeft); }
inline void PGAdjustMoveCenterPosPnlClick(FeatureFrame& frame) { PGAdjustMove(frame, PGPoint::Center); }
// "Finish": the carriage home.
void PGAdjustEndPnlClick(FeatureFrame& frame);
// "Print": the inclined carriage pattern on a page of its own.
void PGAdjustPrintBtnClick(FeatureFrame& frame);

}  // namespace svc
