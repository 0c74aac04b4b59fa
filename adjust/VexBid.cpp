#include "adjust/VexBid.h"

#include "adjust/FactoryInJob.h"
#include "adjust/PatternJob.h"
#include "eeprom/VexEeprom.h"
#include "link/ErrorDetails.h"
#include "link/Host.h"
#include "service/VexFactory.h"

namespace svc {

using pattern::Job;

const std::array<BidSetting, 4> kBidSettings{{
    {"VSD1", "VSD1", 10, 0x60, 0x64, 1, 5, "Variable1 DOT"},
    {"VSD2", "VSD2", 11, 0x61, 0x65, 2, 6, "Variable2 DOT"},
    {"VSD2'", "VSD2D", 12, 0x62, 0x66, 4, 8, "Variable2' DOT"},
    {"VSD4", "VSD4", 13, 0x63, 0x67, 3, 7, "Variable4 DOT"},
}};

std::string BidPrintCheckBox(const BidSetting& s) { return std::string("Bid") + s.key + "PrnRequestCheckBox"; }
std::string BidInputEdit(const BidSetting& s, bool black) {
    return std::string("Bid") + s.key + (black ? "Bk" : "CL") + "InputEdit";
}
std::string BidInputCheckBox(const BidSetting& s, bool black) {
    return std::string("Bid") + s.key + (black ? "Bk" : "CL") + "InputCheckBox";
}
std::string BidAdjustedCell(const BidSetting& s, bool black) {
    return std::string("Bid") + s.key + (black ? "Bk" : "CL") + "Pnl";
}

std::string BidValueField(int value) {
    std::string field = "    ";
    field += '\0';
    const std::string text = std::to_string(value);
    // The text and its terminating zero, from the start of the field; a value
    // needs at most four characters ("-130").
    for (std::size_t i = 0; i < text.size() && i < 4; ++i) field[i] = text[i];
    field[std::min<std::size_t>(text.size(), 4)] = '\0';
    return field;
}

namespace {

constexpr std::uint8_t kBlackGroup = 1;
constexpr std::uint8_t kColorGroup = 0;

// One half-band block of 720 bytes x 96 lines: 48 lines with the ticks, 48 empty.
void TrialBlock(Job& j, std::uint8_t colour, std::uint8_t bitsPerPixel, std::uint8_t tick, bool blackLayout,
                bool ticksInUpperHalf) {
    j.Block(colour, bitsPerPixel, 720, 96);
    for (int line = 0; line < 96 && j.Ok(); ++line) {
        const bool ticked = (line < 48) == ticksInUpperHalf;
        if (!ticked) {
            for (int i = 0; i < 6; ++i) j.Run(120, 0x00);
        } else if (blackLayout) {
            j.Run(100, 0x00).Ticks(24, tick);
            for (int i = 0; i < 4; ++i) j.Run(95, 0x00);
        } else {
            for (int i = 0; i < 4; ++i) j.Run(95, 0x00);
            j.Ticks(24, tick).Run(100, 0x00);
        }
    }
}

void TrialHeader(Job& j, std::uint8_t direction, std::uint8_t dotKind, std::uint8_t colourMode, std::uint8_t pitch) {
    j.Header(10, direction, dotKind, colourMode);
    if (dotKind == 13) j.UnitExtended();
    j.Resolution(160, 5, 8, pitch);
}

}  // namespace

Result TPBid::BidPattern(TPRaster& s, std::uint8_t dotKind, int black, int color) {
    const bool vsd4 = dotKind == 13;
    const std::uint8_t pitch = vsd4 ? 2 : 4;
    const std::uint8_t bpp = vsd4 ? 1 : 2;
    const int passes = vsd4 ? 4 : 2;
    const std::uint8_t tick = vsd4 ? 0x40 : 0xC0;
    const char* label = "Variable1 DOT";
    for (const BidSetting& setting : kBidSettings)
        if (setting.dotKind == dotKind) label = setting.label;

    Job j(s);
    j.Label(label).LineFeeds(1);
    bool trialSent = false;
    for (int offset : {-2, 0, 2}) {
        if (!j.Ok()) break;
        const int b = black + offset;
        const int c = color + offset;
        j.Flush();  // everything so far is printed before the value changes
        if (!j.Ok()) break;
        j.Step(SendFactoryInJob([&] { return Factory().SetBidValue(kBlackGroup, dotKind, b); }));
        if (!j.Ok()) break;
        trialSent = true;
        j.Step(SendFactoryInJob([&] { return Factory().SetBidValue(kColorGroup, dotKind, c); }));
        j.Label("            data = ").Bytes(BidValueField(b));
        j.Bytes("            ").Byte(0x00);
        j.Label("            data = ").Bytes(BidValueField(c)).LineFeeds(1);
        for (int pass = 0; pass < passes && j.Ok(); ++pass) {
            TrialHeader(j, 1, dotKind, 0, pitch);
            TrialBlock(j, ink::Black, bpp, tick, true, true);
            TrialHeader(j, 3, dotKind, 0, pitch);
            TrialBlock(j, ink::Black, bpp, tick, true, false);
            j.VMove(1);
        }
        // As in the A3+ sheet, the colour part has no line return between its directions.
        for (int pass = 0; pass < passes && j.Ok(); ++pass) {
            TrialHeader(j, 1, dotKind, 1, pitch);
            TrialBlock(j, ink::Magenta, bpp, tick, false, true);
            TrialHeader(j, 3, dotKind, 1, pitch);
            TrialBlock(j, ink::Cyan, bpp, tick, false, false);
            j.VMove(1);
        }
        j.Unit(10).VMove(195).Initialize().Flush();
    }
    j.LineFeeds(1).Flush();
    if (j.Ok()) j.Step(SendFactoryInJob([&] { return Factory().SetBidValue(kBlackGroup, dotKind, black); }));
    if (j.Ok()) j.Step(SendFactoryInJob([&] { return Factory().SetBidValue(kColorGroup, dotKind, color); }));
    if (!j.Ok() && trialSent) {
        // The printer must not be left at a trial value: the stored values
        // are set once more, whatever the channel says, and the first failure
        // is what the technician is told.
        Factory().SetBidValue(kBlackGroup, dotKind, black);
        Factory().SetBidValue(kColorGroup, dotKind, color);
    }
    return j.Code();
}

Result TPBid::BidPrint(TPRaster& s, const std::array<bool, 4>& settings) {
    // Stored values in the order VSD1 Black, VSD1 Color, VSD2 Black, ...
    std::array<int, 8> stored{};
    for (std::size_t i = 0; i < kBidSettings.size(); ++i) {
        if (Result r = EepromReadSigned(kBidSettings[i].blackAddress, stored[2 * i]); r != rc::Ok) return r;
        if (Result r = EepromReadSigned(kBidSettings[i].colorAddress, stored[2 * i + 1]); r != rc::Ok) return r;
    }
    Job j(s);
    j.Label("Bi-D Check pattern").LineFeeds(2);
    for (std::size_t i = 0; i < kBidSettings.size() && j.Ok(); ++i)
        if (settings[i]) j.Step(BidPattern(s, kBidSettings[i].dotKind, stored[2 * i], stored[2 * i + 1]));
    return j.EndOfJob().Code();
}

void TPBid::BidPrintOKBtnClick(FeatureFrame& frame) {
    std::array<bool, 4> settings{};
    bool any = false;
    for (std::size_t i = 0; i < kBidSettings.size(); ++i) {
        settings[i] = frame.Checked(BidPrintCheckBox(kBidSettings[i]));
        any = any || settings[i];
    }
    if (!any) {
        frame.SetOperationState(mode::Error, "Please select item.");
        return;
    }
    Result r = frame.SetOperationState(mode::Busy, "Printing now...");
    if (r == rc::Ok) r = BidPrint(JobStream(), settings);
    if (r == rc::Ok) r = frame.SetOperationState(mode::Done, "The Bi-D pattern print has completed.");
    if (r != rc::Ok) frame.ReportErrorCode(r);
}

void TPBid::BidInputCheckBtnClick(FeatureFrame& frame) {
    for (const BidSetting& s : kBidSettings)
        for (bool black : {true, false}) frame.SetText(BidInputEdit(s, black), "");
    host().RepaintMainWindow();
    Result r = frame.SetOperationState(mode::Busy, "Reading now...");
    std::array<int, 8> values{};
    for (std::size_t i = 0; i < kBidSettings.size() && r == rc::Ok; ++i) {
        r = EepromReadSigned(kBidSettings[i].blackAddress, values[2 * i]);
        if (r == rc::Ok) r = EepromReadSigned(kBidSettings[i].colorAddress, values[2 * i + 1]);
    }
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    frame.SetOperationState(mode::DoneNoWait, "The Bi-D adjustment value has read properly.");
    for (std::size_t i = 0; i < kBidSettings.size(); ++i) {
        frame.SetText(BidInputEdit(kBidSettings[i], true), std::to_string(values[2 * i]));
        frame.SetText(BidInputEdit(kBidSettings[i], false), std::to_string(values[2 * i + 1]));
    }
    // Filling the fields checked their rows; a read selects nothing.
    for (const BidSetting& s : kBidSettings)
        for (bool black : {true, false}) frame.SetChecked(BidInputCheckBox(s, black), false);
}

void TPBid::BidInputOKBtnClick(FeatureFrame& frame) {
    bool any = false;
    for (const BidSetting& s : kBidSettings)
        for (bool black : {true, false}) any = any || frame.Checked(BidInputCheckBox(s, black));
    if (!any) {
        frame.SetOperationState(mode::Error, "Please select item.");
        return;
    }
    Result r = frame.SetOperationState(mode::Busy, "Writing now...");
    for (std::size_t i = 0; i < kBidSettings.size() && r == rc::Ok; ++i) {
        const BidSetting& s = kBidSettings[i];
        for (bool black : {true, false}) {
            if (!frame.Checked(BidInputCheckBox(s, black))) continue;
            const int value = NumberFromText(frame.Text(BidInputEdit(s, black)), 100);
            if (value < -72 || value > 72) {
                BidErrorDetail = black ? s.blackErrorItem : s.colorErrorItem;
                r = rc::Bid;
                break;
            }
            r = Factory().SetBidValue(black ? kBlackGroup : kColorGroup, s.dotKind, value);
            if (r != rc::Ok) break;
        }
    }
    if (r == rc::Ok) r = frame.SetOperationState(mode::Done, "The Bi-D adjustment value has written properly.");
    if (r != rc::Ok) {
        frame.ReportErrorCode(r);
        return;
    }
    for (const BidSetting& s : kBidSettings)
        for (bool black : {true, false})
            if (frame.Checked(BidInputCheckBox(s, black)))
                frame.SetAdjustedCell(BidAdjustedCell(s, black), frame.Text(BidInputEdit(s, black)));
}

void TPBid::BidPrintShowInputBtnClick(FeatureFrame& frame) {
    if (!frame.HideAllPanels(0)) return;
    frame.ShowPanel(kBidInputPanel);
    BidInputCheckBtnClick(frame);
}

void TPBid::BidInputShowPrintBtnClick(FeatureFrame& frame) {
    if (!frame.HideAllPanels(0)) return;
    frame.ShowPanel(kBidPrintPanel);
}

void TPBid::BidInputEditChange(FeatureFrame& frame, int setting, bool black) {
    if (setting < 0 || setting >= static_cast<int>(kBidSettings.size())) return;
    const BidSetting& s = kBidSettings[static_cast<std::size_t>(setting)];
    frame.SetChecked(BidInputCheckBox(s, black), !frame.Text(BidInputEdit(s, black)).empty());
}

TPBid& Bid() {
    static TPBid bid;
    return bid;
}

}  // namespace svc
