// PW sensor adjustment: four correction values, one per paper edge, read off
// a printed pattern and written to the EEPROM as signed bytes. The pattern
// mixes remote-mode setup, factory commands that move the carriage and switch
// the sensor, and raster blocks.
#pragma once

#include "eeprom/VexEeprom.h"
#include "link/FeatureFrame.h"
#include "link/VexRaster.h"

#include <array>
#include <string>

namespace svc {

class TPFactory;
class TPRemoteComm;

class TPPWAdjust {
public:
    // One edge of the paper: its controls, EEPROM byte, range and error item.
    struct Edge {
        const char* name;      // "Right"
        const char* checkBox;  // "PWSensorHMXUCheckBox"
        const char* edit;      // "PWSensorHMXUEdit"
        eep::Address address;
        int low, high;
        std::int16_t errorItem;
        const char* cell;  // the "Adjusted items" cell
    };
    // In the order the Input button writes them: Right, Left, Bottom, Top.
    static const std::array<Edge, 4>& Edges();
    // The edge of an edit or check box name, or of its name ("Top"); null when none.
    static const Edge* FindEdge(std::string_view name);

    // "Print": the PW adjustment pattern.
    void PWSensorPrintBtnClick(FeatureFrame& frame);
    // "Input": the checked edges to the EEPROM, row by row.
    void PWSensorInputBtnClick(FeatureFrame& frame);
    // "Read": the four values from the EEPROM into the edit fields.
    void PWSensorCheckBtnClick(FeatureFrame& frame);
    // An edit field changed: an empty text clears its check box, any other checks it.
    void EditChange(FeatureFrame& frame, const Edge& edge);
    // The item was picked: the four fields emptied and the boxes cleared.
    void Chosen(FeatureFrame& frame);

    // The whole PW print, ending with the form feed.
    Result PrintPattern(TPRaster& stream, TPRemoteComm& remote, TPFactory& factory);
};

TPPWAdjust& PWAdjust();

// ---- the pattern's parts ----
// The staircase of 17 bars, in two blocks of 720 bytes x 96 lines.
Result PwFramePattern(TPRaster& stream);
// One row's one-dot line at position 1..17, with the paper advance of 81 when asked.
Result PwLinePattern(TPRaster& stream, int position, bool advance);
// The texts printed with the pattern, exactly as sent (zero bytes included).
std::string PwTopScale();
std::string PwBottomScale();
std::string PwRowLabel(int value);  // 78 bytes, no terminator
const std::array<std::uint8_t, 23>& PwRowEndBlock();

}  // namespace svc
