// Bi-D adjustment: eight signed correction values (four variable-dot
// settings, Black and Color each), printed as trials around the stored value
// and written through the printer's Bi-D factory command.
#pragma once

#include "link/FeatureFrame.h"
#include "link/VexRaster.h"

#include <array>
#include <cstdint>
#include <string>

namespace svc {

// One variable-dot setting of the Bi-D adjustment.
struct BidSetting {
    const char* name;      // "VSD2'"
    const char* key;       // in control names: "VSD2D"
    std::uint8_t dotKind;  // 10..13
    std::uint8_t blackAddress;
    std::uint8_t colorAddress;
    std::int16_t blackErrorItem;
    std::int16_t colorErrorItem;
    const char* label;  // "Variable2' DOT"
};
extern const std::array<BidSetting, 4> kBidSettings;  // VSD1, VSD2, VSD2', VSD4

// Control names of a setting: "BidVSD1PrnRequestCheckBox", "BidVSD1BkInputEdit",
// "BidVSD1CLInputCheckBox"; "Adjusted items" cells "BidVSD1BkPnl".
std::string BidPrintCheckBox(const BidSetting& s);
std::string BidInputEdit(const BidSetting& s, bool black);
std::string BidInputCheckBox(const BidSetting& s, bool black);
std::string BidAdjustedCell(const BidSetting& s, bool black);

// The 5-byte value field of the trial lines: the signed decimal text and its
// zero over four spaces and a zero.
std::string BidValueField(int value);

inline constexpr const char* kBidPrintPanel = "BidPrintPnl";
inline constexpr const char* kBidInputPanel = "BidInputPnl";

class TPBid {
public:
    // The Bi-D pattern of one setting: three trials at stored -2, +0, +2, then
    // the stored values set again. Should anything fail once a trial value
    // went to the printer, the stored values are set again (their results
    // ignored) and the first failure is returned.
    static Result BidPattern(TPRaster& s, std::uint8_t dotKind, int black, int color);
    // The whole print of the checked settings, from the stored values.
    static Result BidPrint(TPRaster& s, const std::array<bool, 4>& settings);

    void BidPrintOKBtnClick(FeatureFrame& frame);
    void BidInputCheckBtnClick(FeatureFrame& frame);
    void BidInputOKBtnClick(FeatureFrame& frame);
    void BidPrintShowInputBtnClick(FeatureFrame& frame);
    void BidInputShowPrintBtnClick(FeatureFrame& frame);
    // The change handler of an input edit: an empty text clears the row's check box, any other checks it.
    void BidInputEditChange(FeatureFrame& frame, int setting, bool black);
};

TPBid& Bid();

}  // namespace svc
