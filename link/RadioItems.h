// The radio items of the main window: its four groups, one per tab, and the
// items of each, by their index in the group. The feature table
// (link/Features.h) tells what each item is.
#pragma once

namespace svc {

// The four radio groups of the main window, one per tab, in tab order.
enum class Group { Adjustment, Maintenance, CheckPattern, Appendix };
inline constexpr int kGroupCount = 4;

// The radio items of the four groups, in the window's order.
// "Adjustment"
inline constexpr int kMarketItem = 0;
inline constexpr int kHeadIdItem = 1;
inline constexpr int kCRDispersionItem = 2;
inline constexpr int kPGAdjustmentItem = 3;
inline constexpr int kHeadAngularItem = 4;
inline constexpr int kPfItem = 5;
inline constexpr int kPwItem = 6;
inline constexpr int kBidItem = 7;
inline constexpr int kPixelShiftItem = 8;
inline constexpr int kCutPositionItem = 9;
inline constexpr int kUsbIdItem = 10;
inline constexpr int kIeee1394Item = 11;
inline constexpr int kFirstDotItem = 12;
// "Maintenance"
inline constexpr int kHeadCleaningItem = 0;
inline constexpr int kInkChargeItem = 1;
inline constexpr int kRefurbishmentItem = 2;
inline constexpr int kWasteInkItem = 3;
inline constexpr int kEepromCopyItem = 4;
// "Check pattern items"
inline constexpr int kA3PItem = 0;
inline constexpr int kA4Item = 1;
inline constexpr int kNozzleCheckItem = 2;
// "Appendix items"
inline constexpr int kEepromViewerItem = 0;
inline constexpr int kPrinterInfoItem = 1;

// How many items each group has.
inline constexpr int kAdjustmentItems = kFirstDotItem + 1;
inline constexpr int kMaintenanceItems = kEepromCopyItem + 1;
inline constexpr int kCheckPatternItems = kNozzleCheckItem + 1;
inline constexpr int kAppendixItems = kPrinterInfoItem + 1;

}  // namespace svc
