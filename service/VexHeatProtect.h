// CR motor drive dispersion: after a main board, PS board or carriage motor
// has been replaced, the spread of the carriage motor's drive load is either
// measured with the printer's own measurement drives or set to a standard
// value, and stored in the EEPROM.
#pragma once

#include "link/FeatureFrame.h"

#include <array>
#include <cstdint>

namespace svc {

// The replaced-part check boxes of the panel, in panel order.
inline constexpr const char* kReplaceMainBoard = "ReplaceMainBoardCheckBox";
inline constexpr const char* kReplaceCRMotor = "ReplaceCRMotorCheckBox";
inline constexpr const char* kReplacePSBoard = "ReplacePSBoardCheckBox";
inline constexpr const char* kReplaceCRMainShaft = "ReplaceCRMainShaftCheckBox";
inline constexpr const char* kReplaceCRSubShaft = "ReplaceCRSubShaftCheckBox";
inline constexpr std::array<const char*, 5> kReplacedPartBoxes{kReplaceMainBoard, kReplaceCRMotor, kReplacePSBoard,
                                                               kReplaceCRMainShaft, kReplaceCRSubShaft};
inline constexpr const char* kCRHeatProtectPanel = "CRHeatProtectOffsetPnl";

// Measurement drives per direction.
inline constexpr int kCRMeasurementsPerMode = 3;

// The stored dispersion value (the signed byte written to 0xAC) from the
// sums of the three drive readings of each direction. Each sum is of three
// 16-bit readings, so it needs more than 16 bits.
int DispersionFromSums(std::uint32_t sumA, std::uint32_t sumB);

class TPHeatProtect {
public:
    // The measurement sequence: carriage runs, three measurement drives each
    // way, the value computed and written, the settings taken into use and
    // the carriage home. The first result other than 1 is returned at once.
    // The frame is used for the readiness waits only.
    Result MeasureDispersion(StatusFrame& frame);
    // The standard value 0x42 to 0xAC, for when no measurement is called for.
    Result WriteStandardValue();

    // ---- the panel ----
    // Picking the panel's item clears the five check boxes.
    static void ClearReplacedParts(FeatureFrame& frame);
    // "OK" of the panel.
    void CRHeatProtectOffsetOKBtnClick(FeatureFrame& frame);
};

// The program-wide CR motor drive dispersion object.
TPHeatProtect& HeatProtect();

}  // namespace svc
