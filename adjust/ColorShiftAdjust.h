// Pixel shift adjustment: one signed correction (-5 to 5) for each of the six
// lines A to F, read off the pattern of the print file "gzksen2.tmp" and
// written to the EEPROM as plain bytes.
#pragma once

#include "eeprom/VexEeprom.h"
#include "link/FeatureFrame.h"

#include <array>
#include <string_view>

namespace svc {

class TPColorShiftAdjust {
public:
    static constexpr int kLow = -5;
    static constexpr int kHigh = 5;
    static constexpr const char* kPrintFile = "gzksen2.tmp";

    struct Line {
        char letter;           // 'A'
        const char* label;     // "A line"
        const char* checkBox;  // "ColorShiftAInputCheckBox"
        const char* edit;      // "ColorShiftAInputEdit"
        eep::Address address;
        std::int16_t errorItem;
        const char* cell;  // the "Adjusted items" cell
    };
    static const std::array<Line, 6>& Lines();
    // The line of a letter ("A"), edit or check box name; null when none.
    static const Line* FindLine(std::string_view name);

    // "Print": the stored pattern, then the form feed.
    void ColorShiftPrintBtnClick(FeatureFrame& frame);
    // "Input": the checked lines to the EEPROM, A to F.
    void ColorShiftInputOKBtnClick(FeatureFrame& frame);
    // "Read": the six values into the edit fields.
    void ColorShiftReadBtnClick(FeatureFrame& frame);
    // An edit field changed: an empty text clears its check box, any other checks it.
    void EditChange(FeatureFrame& frame, const Line& line);
    // The item was picked: the six fields emptied (and so their boxes cleared).
    void Chosen(FeatureFrame& frame);
};

TPColorShiftAdjust& ColorShiftAdjust();

}  // namespace svc
