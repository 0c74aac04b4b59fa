#include "eeprom/VexDataConversion.h"

#include "eeprom/FeatureStart.h"
#include "eeprom/VexEeprom.h"
#include "i18n/Translate.h"

#include <array>
#include <cstdio>

namespace svc {
namespace {

constexpr const char* kWrongInput = SVC_N("The input value is wrong.");

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The ten counters in display order: where they start, their width in bytes, the memo label.
struct Counter {
    eep::Address address;
    int bytes;
    const char* label;
};
constexpr std::array<Counter, 10> kCounters{{
    {eep::TotalPageCount, 4, SVC_N("    Total print page\t\t= ")},
    {eep::TotalPassCount, 4, SVC_N("    Total print pass\t\t= ")},
    {eep::Cl1Count, 2, SVC_N("    CL1 count\t\t= ")},
    {eep::Cl2Count, 2, SVC_N("    CL2 count\t\t= ")},
    {eep::Cl3Cl4Count, 2, SVC_N("    CL3/CL4 count\t\t= ")},
    {eep::TimerClCount, 2, SVC_N("    Timer CL count\t\t= ")},
    {eep::ExchangeClCount, 2, SVC_N("    Exchange CL count\t= ")},
    {eep::ReplaceClCount, 2, SVC_N("    Replace CL count\t\t= ")},
    {eep::InitialInkChargeCount, 1, SVC_N("    Initial ink charge count\t= ")},
    {eep::CutCount, 2, SVC_N("    Cut count\t\t= ")},
}};

// The order the printer information reads its bytes in: 0x78-0x7F, 0x2E-0x3A, 0x6E, 0x6F.
std::vector<eep::Address> PrinterInfoAddresses() {
    std::vector<eep::Address> list;
    for (int a = 0x78; a <= 0x7F; ++a) list.push_back(static_cast<eep::Address>(a));
    for (int a = 0x2E; a <= 0x3A; ++a) list.push_back(static_cast<eep::Address>(a));
    list.push_back(0x6E);
    list.push_back(0x6F);
    return list;
}

}  // namespace

bool TPDataConversion::HexTextToByte(std::string_view text, std::uint8_t& value) {
    if (text.size() != 2) return false;
    const int high = HexDigit(text[0]), low = HexDigit(text[1]);
    if (high < 0 || low < 0) return false;
    value = static_cast<std::uint8_t>(high * 16 + low);
    return true;
}

std::string TPDataConversion::ByteToHexText(std::uint8_t value) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", value);
    return hex;
}

void TPDataConversion::FillGridHeadings(FeatureFrame& frame) {
    static constexpr const char* kDigits = "0123456789ABCDEF";
    for (int i = 0; i < 16; ++i) {
        const std::string digit(1, kDigits[i]);
        frame.SetCellText(kGrid, i + 1, 0, digit);
        frame.SetCellText(kGrid, 0, i + 1, digit);
    }
}

void TPDataConversion::EepromViewerChosen(FeatureFrame& frame) { frame.WidenMemo(); }

void TPDataConversion::EepromCheckOKBtnClick(FeatureFrame& frame) {
    std::uint8_t begin = 0, end = 0;
    if (!HexTextToByte(frame.Text("EepromCheckBeginEdit"), begin) ||
        !HexTextToByte(frame.Text("EepromCheckEndEdit"), end) || begin > end) {
        frame.SetOperationState(mode::Error, kWrongInput);
        frame.FocusField("EepromCheckBeginEdit");
        return;
    }
    for (int r = 0; r < 16; ++r)
        for (int c = 0; c < 16; ++c) frame.SetCellText(kGrid, c + 1, r + 1, "");
    if (!eepfeature::BeginLenient(frame, "Reading now...")) return;
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < 16; ++c) {
            const int address = r * 16 + c;
            if (address < begin || address > end) continue;
            std::uint8_t value = 0;
            if (const Result res = EepromRead(static_cast<eep::Address>(address), value); res != rc::Ok) {
                frame.ReportErrorCode(res);
                return;
            }
            // The frame shows each cell at once.
            frame.SetCellText(kGrid, c + 1, r + 1, ByteToHexText(value));
        }
    }
    frame.SetOperationState(mode::DoneNoWait, "The EEPROM data read function has finished properly.");
}

void TPDataConversion::EepromInputOKBtnClick(FeatureFrame& frame) {
    std::uint8_t address = 0, value = 0;
    const std::string data = frame.Text("EepromInputDataEdit");
    if (!HexTextToByte(frame.Text("EepromInputAddrEdit"), address) || !HexTextToByte(data, value)) {
        frame.SetOperationState(mode::Error, kWrongInput);
        frame.FocusField("EepromInputAddrEdit");
        return;
    }
    if (!eepfeature::BeginLenient(frame, "Writing now...")) return;
    if (const Result r = EepromWrite(address, value); r != rc::Ok) {
        // The grid shows only what the printer took.
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetCellText(kGrid, address % 16 + 1, address / 16 + 1, data);
    frame.SetOperationState(mode::DoneNoWait, "The data has been written in EEPROM.");
}

std::string TPDataConversion::GridText(const FeatureFrame& frame) const {
    std::string out;
    for (int row = 0; row < kGridSize; ++row) {
        std::string line;
        for (int col = 0; col < kGridSize; ++col) {
            std::string cell = frame.CellText(kGrid, col, row);
            cell.resize(2, ' ');
            if (col > 0) line += ' ';
            line += cell;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + '\n';
    }
    return out;
}

void TPDataConversion::PrinterInfoReadOutOKBtnClick(FeatureFrame& frame) {
    if (!eepfeature::BeginLenient(frame, "Reading now...")) return;
    std::array<std::uint8_t, 256> image{};
    for (eep::Address a : PrinterInfoAddresses()) {
        if (const Result r = EepromRead(a, image[a]); r != rc::Ok) {
            frame.ReportErrorCode(r);
            return;
        }
    }
    std::array<std::string, kCounters.size()> values;
    for (std::size_t i = 0; i < kCounters.size(); ++i) {
        std::uint32_t v = 0;
        for (int b = kCounters[i].bytes - 1; b >= 0; --b) v = v << 8 | image[kCounters[i].address + b];
        values[i] = std::to_string(v);
    }
    if (!frame.HideAllPanels(0)) return;
    // The second page gives the memo the room below its title.
    frame.ShowPanel("PrinterInfoReadOut2Pnl");
    frame.SetOperationState(mode::DoneNoWait, " ");
    for (std::size_t i = 0; i < kCounters.size(); ++i) {
        frame.SetOperationState(mode::Line, kCounters[i].label);
        frame.SetOperationState(mode::Append, values[i]);
    }
}

void TPDataConversion::PrinterInfoReadOut2PreviousBtnClick(FeatureFrame& frame) {
    if (frame.HideAllPanels(0)) frame.ShowPanel("PrinterInfoReadOutPnl");
}

void TPDataConversion::ProCounterCheckBtnClick(FeatureFrame& frame) {
    if (!eepfeature::BeginLenient(frame, "Reading now...")) return;
    std::uint16_t value = 0;
    if (const Result r = EepromReadU16(eep::WasteInkCounter, value); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetOperationState(mode::DoneNoWait, "Waste Ink Pad counter value = ");
    frame.SetOperationState(mode::Append, std::to_string(value));
}

void TPDataConversion::ProCounterClearBtnClick(FeatureFrame& frame) {
    if (!eepfeature::BeginLenient(frame, "Initializing now...")) return;
    if (const Result r = RunWrites(WasteInkResetWrites()); r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetOperationState(mode::DoneNoWait, "The Waste Ink Pad counter has initialized properly.");
    frame.SetAdjustedCell("WasteInkPadCounterPnl", "0");
}

TPDataConversion& DataConversion() {
    static TPDataConversion conversion;
    return conversion;
}

}  // namespace svc
