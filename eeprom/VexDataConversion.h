// Three service views on the EEPROM: the viewer (any range of the 256 bytes
// in a 16 x 16 hex grid, and a single-byte write at any address), the
// printer information (ten usage counters listed in the memo) and the
// waste-ink pad counter (read, and reset after the pad is replaced).
#pragma once

#include "link/FeatureFrame.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace svc {

class TPDataConversion {
public:
    static constexpr const char* kGrid = "EepromStrGrid";
    static constexpr int kGridSize = 17;  // headings in row 0 and column 0

    // A hex byte text: exactly two characters "0"-"9"/"A"-"F", high digit first.
    static bool HexTextToByte(std::string_view text, std::uint8_t& value);
    // Two upper-case hex digits.
    static std::string ByteToHexText(std::uint8_t value);

    // ---- EEPROM viewer ----
    // The grid's headings "0"-"F" along row 0 and down column 0 (filled when the window is made).
    void FillGridHeadings(FeatureFrame& frame);
    // Picking "EEPROM data": the "Adjusted items" panel gives its room to the memo.
    void EepromViewerChosen(FeatureFrame& frame);
    void EepromCheckOKBtnClick(FeatureFrame& frame);
    void EepromInputOKBtnClick(FeatureFrame& frame);
    // The grid as lines of text: headings, then 16 rows of 16 cells.
    std::string GridText(const FeatureFrame& frame) const;

    // ---- printer information ----
    void PrinterInfoReadOutOKBtnClick(FeatureFrame& frame);
    void PrinterInfoReadOut2PreviousBtnClick(FeatureFrame& frame);

    // ---- waste-ink pad counter ----
    void ProCounterCheckBtnClick(FeatureFrame& frame);
    void ProCounterClearBtnClick(FeatureFrame& frame);
};

TPDataConversion& DataConversion();

}  // namespace svc
