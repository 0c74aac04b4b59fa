// The printer's IEEE 1394 ID: 10 hex digits typed by the technician, kept as
// 5 bytes in EEPROM 0xD4-0xD8, the first digit pair first.
#pragma once

#include "link/FeatureFrame.h"

#include <string>
#include <string_view>

namespace svc {

class TPIEEE1394 {
public:
    static constexpr int kTextLength = 10;

    // Checks the whole text (10 hex digits, 0000 then 07-0D), then writes the
    // five bytes. Refusals give 0xF030 with Ieee1394IdErrorDetail 1 or 2.
    Result Write(std::string_view text);
    // Reads the five bytes; bytes outside the valid form give 0xF030, detail 3.
    Result Read(std::string& text);

    void IEEE1394IDInputOKBtnClick(FeatureFrame& frame);
    void IEEE1394IDReadBtnClick(FeatureFrame& frame);
};

TPIEEE1394& Ieee1394();

}  // namespace svc
