#include "eeprom/VexIeee1394.h"

#include "eeprom/FeatureStart.h"
#include "eeprom/VexEeprom.h"
#include "hexcodec/hexcodec.h"
#include "link/ErrorDetails.h"

#include <array>

namespace svc {
namespace {

constexpr std::int16_t kDetailLength = 1;
constexpr std::int16_t kDetailWrongId = 2;
constexpr std::int16_t kDetailReadInvalid = 3;

using IdBytes = std::array<std::uint8_t, eep::Ieee1394IdLength>;

// First two bytes zero, the third 0x07-0x0D; the last two free.
bool ValidForm(const IdBytes& b) { return b[0] == 0 && b[1] == 0 && b[2] >= 0x07 && b[2] <= 0x0D; }

Result Refuse(std::int16_t detail) {
    Ieee1394IdErrorDetail = detail;
    return rc::Ieee1394Id;
}

}  // namespace

Result TPIEEE1394::Write(std::string_view text) {
    if (text.size() != kTextLength) return Refuse(kDetailLength);
    IdBytes b{};
    for (std::size_t k = 0; k < b.size(); ++k)
        if ((HexAsciiToBinary(text.data() + k * 2, &b[k]) & 0xFF) != 1) return Refuse(kDetailWrongId);
    if (!ValidForm(b)) return Refuse(kDetailWrongId);
    return EepromWriteBytes(eep::Ieee1394Id, b);
}

Result TPIEEE1394::Read(std::string& text) {
    IdBytes b{};
    if (const Result r = EepromReadBytes(eep::Ieee1394Id, b); r != rc::Ok) return r;
    if (!ValidForm(b)) return Refuse(kDetailReadInvalid);
    // Each call's terminator is overwritten by the next; the last one ends the text.
    char area[kTextLength + 1] = {};
    for (std::size_t k = 0; k < b.size(); ++k) BinaryToHexAscii(b[k], area + k * 2);
    text.assign(area, kTextLength);
    return rc::Ok;
}

void TPIEEE1394::IEEE1394IDInputOKBtnClick(FeatureFrame& frame) {
    if (!eepfeature::BeginStrict(frame, "Writing now...")) return;
    const std::string text = frame.Text("IEEE1394IDInputEdit");
    Result r = Write(text);
    if (r == rc::Ok) r = frame.SetOperationState(mode::Done, "The IEEE 1394 ID has written properly.");
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetAdjustedCell("IEEE1394IDPnl", text);
}

void TPIEEE1394::IEEE1394IDReadBtnClick(FeatureFrame& frame) {
    if (!eepfeature::BeginStrict(frame, "Reading now...")) return;
    std::string text;
    Result r = Read(text);
    if (r == rc::Ok) r = frame.SetOperationState(mode::Done, "IEEE1394 ID = ");
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetOperationState(mode::Append, text);
}

TPIEEE1394& Ieee1394() {
    static TPIEEE1394 ieee1394;
    return ieee1394;
}

}  // namespace svc
