#include "adjust/VexCheckPattern.h"

#include "adjust/PatternJob.h"
#include "eeprom/VexEeprom.h"
#include "eeprom/VexHeadId.h"
#include "eeprom/VexUsbId.h"
#include "link/DataFiles.h"
#include "link/VexRemoteComm.h"
#include "link/VexStatusControl.h"
#include "i18n/Translate.h"

#include <cstdlib>
#include <cstring>

namespace svc {

using pattern::Job;

namespace {

constexpr std::uint8_t kFull = 0xFF;

}  // namespace

std::string WasteInkField(std::uint16_t counter) {
    std::string field = std::to_string(counter);
    // The terminating zero goes with the digits only while the field has room
    // for it: five digits fill it, and nothing is printed past it.
    if (field.size() < 5) field += '\0';
    field.resize(5, ' ');
    return field;
}

std::string ZeroPaddedField(int value) {
    std::string field = std::to_string(value);
    field.resize(4, '\0');
    return field;
}

std::string DestinationName(std::uint8_t code) {
    switch (code) {
        case eep::DestinationWorld:
            return "World  ";
        case eep::DestinationJapan:
            return "Japan  ";
        case eep::DestinationTrnVlk:
            return "TRN/VLK";
        default:
            return "unknown";
    }
}

// ---- generators ----

Result TPCheckPattern::BetaPattern(TPRaster& s) {
    Job j(s);
    const std::uint8_t rows[3][3] = {
        {ink::Black, ink::Cyan, ink::Magenta}, {ink::Gray, ink::LightCyan, ink::LightMagenta}, {ink::Yellow, 0, 0}};
    for (int row = 0; row < 3; ++row) {
        const int columns = row == 2 ? 1 : 3;
        for (int pass = 0; pass < 2; ++pass) {
            for (int column = 0; column < columns; ++column) {
                j.Header(10, 1, 10, 1);
                if (column == 1) j.HMove(1520);
                if (column == 2) j.HMove(3040);
                j.Resolution(104, 1, 2, 1).Block(rows[row][column], 2, 380, 96);
                for (int line = 0; line < 96 && j.Ok(); ++line)
                    j.Run(125, kFull).Run(125, kFull).Run(125, kFull).Run(5, 0x00);
            }
            j.VMove(1);
        }
        j.VMove(200);
    }
    return j.Initialize().Flush().Code();
}

Result TPCheckPattern::DotCheckPattern(TPRaster& s) {
    Job j(s);
    const std::uint8_t rows[3][3] = {
        {ink::Black, ink::Gray, ink::Cyan}, {ink::Magenta, ink::LightMagenta, ink::LightCyan}, {ink::Yellow, 0, 0}};
    const std::uint8_t kinds[3] = {10, 11, 13};
    for (int row = 0; row < 3; ++row) {
        const int columns = row == 2 ? 1 : 3;
        for (int pass = 0; pass < 2; ++pass) {
            for (int column = 0; column < columns; ++column) {
                j.Header(10, 1, 10, 1);
                for (int step = 0; step < 3; ++step) {
                    const std::uint8_t kind = kinds[step];
                    const std::uint8_t d = kind == 13 ? 0x55 : 0xFF;
                    j.Header(10, 1, kind, 1).HMove(column * 1520 + step * 500).Resolution(208, 2, 4, 2);
                    j.Block(rows[row][column], 2, 125, 96);
                    for (int m = 0; m < 96 && j.Ok(); ++m) {
                        if (m % 2 == 0)
                            j.Run(62, d).Run(63, 0x00);
                        else
                            j.Run(62, 0x00).Run(62, d).Run(1, 0x00);
                    }
                }
            }
            j.VMove(192);
        }
        j.VMove(8);
    }
    return j.Initialize().Flush().Code();
}

Result TPCheckPattern::HeadAngularPattern(TPRaster& s) {
    Job j(s);
    j.Label("Head Angular(Gray-Light Magenta)").LineFeeds(1).Header(10, 1, 10, 1).Resolution(104, 1, 2, 1);
    j.Block(ink::Gray, 2, 1143, 96);
    for (int line = 0; line < 96 && j.Ok(); ++line) {
        if (line % 4 == 0) {
            for (int i = 0; i < 10; ++i) j.Run(72, kFull).Run(36, 0x00);
            j.Run(63, kFull);
        } else {
            for (int i = 0; i < 9; ++i) j.Run(127, 0x00);
        }
    }
    j.LineReturn().Block(ink::LightMagenta, 2, 1143, 96);
    for (int line = 0; line < 96 && j.Ok(); ++line) {
        if (line % 4 == 2) {
            j.Run(54, 0x00);
            for (int i = 0; i < 10; ++i) j.Run(72, kFull).Run(36, 0x00);
            j.Run(9, kFull);
        } else {
            for (int i = 0; i < 9; ++i) j.Run(127, 0x00);
        }
    }
    return j.VMove(195).Initialize().Flush().Code();
}

namespace {

// Settings of the four variable-dot kinds in the Bi-D patterns.
struct BidSettings {
    std::uint8_t pitch;
    std::uint8_t bitsPerPixel;
    int passes;
    std::uint8_t tick;
    bool extendedUnit;
};

BidSettings BidSettingsFor(std::uint8_t dotKind) {
    if (dotKind == 13) return {2, 1, 4, 0x40, true};
    return {4, 2, 2, 0xC0, false};
}

// A header of the A3+ Bi-D pattern, with the extended unit for VSD4, and its resolution.
void BidHeader(Job& j, const BidSettings& b, std::uint8_t direction, std::uint8_t dotKind, std::uint8_t colourMode) {
    j.Header(10, direction, dotKind, colourMode);
    if (b.extendedUnit) j.UnitExtended();
    j.Resolution(160, 5, 8, b.pitch);
}

// A block of 1140 bytes x 96 lines with tick lines of 114 in lines first..first+23.
void A3PBidBlock(Job& j, const BidSettings& b, std::uint8_t colour, int firstTickLine) {
    j.Block(colour, b.bitsPerPixel, 1140, 96);
    for (int line = 0; line < 96 && j.Ok(); ++line) {
        if (line >= firstTickLine && line < firstTickLine + 24)
            j.Ticks(114, b.tick);
        else
            j.LongRun(1140, 0x00);
    }
}

}  // namespace

Result TPCheckPattern::A3PBidPattern(TPRaster& s, std::uint8_t dotKind) {
    const BidSettings b = BidSettingsFor(dotKind);
    Job j(s);
    switch (dotKind) {
        case 10:
            j.Label("Bi-D Variable1 DOT\r");
            break;
        case 11:
            j.Label("Bi-D Variable2 DOT\r");
            break;
        case 12:
            j.Label("Bi-D Variable2' DOT\r");
            break;
        default:
            j.Label("Bi-D Variable4 DOT\r");
            break;
    }
    for (int pass = 0; pass < b.passes && j.Ok(); ++pass) {
        BidHeader(j, b, 1, dotKind, 0);
        A3PBidBlock(j, b, ink::Black, 24);
        j.LineReturn();
        BidHeader(j, b, 3, dotKind, 0);
        A3PBidBlock(j, b, ink::Black, 48);
        j.VMove(1);
    }
    j.Unit(10).VMove(97);
    // The colour part has no line return between its two directions.
    for (int pass = 0; pass < b.passes && j.Ok(); ++pass) {
        BidHeader(j, b, 1, dotKind, 1);
        A3PBidBlock(j, b, ink::Magenta, 24);
        BidHeader(j, b, 3, dotKind, 1);
        A3PBidBlock(j, b, ink::Cyan, 48);
        j.VMove(1);
    }
    return j.Unit(10).VMove(160).Initialize().Flush().Code();
}

Result TPCheckPattern::InclinedCarriagePattern(TPRaster& s) {
    Job j(s);
    j.Label("Inclined Carridge\r\n").Header(10, 1, 10, 1);
    // Six runs of 8 bytes per motif; true is 8 x 0xCC.
    const bool outer[2][6] = {{true, false, true, false, false, false}, {false, false, false, true, false, true}};
    const bool middle[2][6] = {{false, true, false, false, false, false}, {false, false, false, false, true, false}};
    for (int row = 0; row < 3; ++row) {
        for (int pass = 0; pass < 2; ++pass) {
            const bool* motif = row == 1 ? middle[pass] : outer[pass];
            j.Resolution(104, 1, 2, 1).Block(ink::Black, 2, 1142, 96);
            for (int line = 0; line < 96 && j.Ok(); ++line) {
                for (int m = 0; m < 3; ++m) {
                    for (int r = 0; r < 6; ++r) j.Run(8, motif[r] ? 0xCC : 0x00);
                    if (m < 2) j.Run(125, 0x00).Run(125, 0x00).Run(125, 0x00).Run(124, 0x00);
                }
            }
            j.LineReturn().VMove(0).Direction(0);
        }
        j.VMove(96);
    }
    return j.VMove(110).Initialize().Flush().Code();
}

namespace {

void NoiseLine(Job& j, PfNoise& noise) {
    for (int i = 0; i < 120 && j.Ok(); ++i) j.Run(1, noise.Next());
}

}  // namespace

// The generator behind rand(), with a state of its own: rand()'s state is
// the process's, carried on from one print to the next (the PF pattern came
// out otherwise after the A4 check than on its own).
PfNoise::PfNoise() { initstate_r(1, table_, sizeof table_, &state_); }

std::uint8_t PfNoise::Next() {
    static constexpr std::uint8_t kNoise[5] = {0xF7, 0xBD, 0xEF, 0x7B, 0xDE};
    std::int32_t value = 0;
    random_r(&state_, &value);
    return kNoise[value % 5];
}

// The two cyan block pairs of a PF test: a dotted band under an empty one,
// then a dotted band of its own, each printed in two passes.
Result PfTestBlocks(TPRaster& s, PfNoise& noise) {
    Job j(s);
    for (int pass = 0; pass < 2 && j.Ok(); ++pass) {
        j.Header(10, 1, 10, 1).HMove(720).Resolution(104, 1, 2, 1).Block(ink::Cyan, 2, 120, 96);
        for (int line = 0; line < 96 && j.Ok(); ++line) {
            if (line < 64)
                j.Run(120, 0x00);
            else
                NoiseLine(j, noise);
        }
        if (pass == 0) j.VMove(1);
    }
    j.VMove(191);
    for (int pass = 0; pass < 2 && j.Ok(); ++pass) {
        j.Header(10, 1, 10, 1).HMove(864).Resolution(104, 1, 2, 1).Block(ink::Cyan, 2, 120, 32);
        for (int line = 0; line < 32 && j.Ok(); ++line) NoiseLine(j, noise);
        j.VMove(1);
    }
    return j.Code();
}

Result TPCheckPattern::PFCheckPattern(TPRaster& s) {
    Job j(s);
    j.Label("PF Adjust").Byte(0x0D);
    PfNoise noise;
    j.Step(j.Ok() ? PfTestBlocks(s, noise) : j.Code());
    return j.Initialize().LineFeeds(2).Flush().Code();
}

Result TPCheckPattern::HorizontalAlignmentPattern(TPRaster& s) {
    struct Section {
        std::uint8_t kind, direction;
        int horizontal;
        std::uint8_t bitsPerPixel, tick;
    };
    const Section sections[3] = {{10, 1, 360, 2, 0xC0}, {11, 3, 360, 2, 0xC0}, {13, 1, 720, 1, 0x40}};
    const std::uint8_t colours[7] = {ink::Black,   ink::Gray,         ink::Cyan,  ink::LightCyan,
                                     ink::Magenta, ink::LightMagenta, ink::Yellow};
    Job j(s);
    j.Label("Horizontal Alignment\r\n");
    for (const Section& sec : sections) {
        j.Header(5, sec.direction, sec.kind, 1);
        for (int pass = 0; pass < sec.horizontal / 180 && j.Ok(); ++pass) {
            for (std::uint8_t colour : colours) {
                j.Resolution(160, 5, 8, static_cast<std::uint8_t>(1440 / sec.horizontal));
                j.Block(colour, sec.bitsPerPixel, 100, 96);
                for (int line = 0; line < 96 && j.Ok(); ++line) j.Ticks(10, sec.tick);
                j.Unit(5).HMove(50);
            }
            j.LineReturn();
            if (sec.kind == 13) j.UnitExtended();
            j.VMove(720 / sec.horizontal);
        }
        j.VMove(410);
    }
    // The last section's move is followed by one more of the same.
    return j.VMove(410).Initialize().Flush().Code();
}

Result TPCheckPattern::NozzleGapPattern(TPRaster& s) {
    const std::uint8_t colours[6] = {ink::Gray,    ink::Cyan,         ink::LightCyan,
                                     ink::Magenta, ink::LightMagenta, ink::Yellow};
    auto block = [](Job& j, std::uint8_t colour, int firstTickLine) {
        j.Block(colour, 2, 100, 96);
        for (int line = 0; line < 96 && j.Ok(); ++line) {
            if (line >= firstTickLine && line < firstTickLine + 24)
                j.Ticks(10, 0xC0);
            else
                j.Run(100, 0x00);
        }
        j.HMove(25);
    };
    Job j(s);
    j.Label("Retsukanzure").Byte(0x0D);
    for (int pass = 0; pass < 2 && j.Ok(); ++pass) {
        j.Header(10, 1, 10, 1).Resolution(160, 5, 8, 4);
        for (int i = 0; i < 6; ++i) block(j, ink::Black, 24);
        j.LineReturn().VMove(0);
        for (std::uint8_t colour : colours) block(j, colour, 48);
        j.VMove(1);
    }
    return j.VMove(200).Initialize().Flush().Code();
}

Result TPCheckPattern::UnidirectionalPattern(TPRaster& s) {
    Job j(s);
    j.Label("Uni-D").Byte(0x0D).Header(10, 1, 10, 0);
    for (int pass = 0; pass < 2 && j.Ok(); ++pass) {
        j.Resolution(104, 1, 2, 1).Block(ink::Black, 2, 240, 48);
        for (int line = 0; line < 48 && j.Ok(); ++line) {
            if (line < 24)
                j.Run(120, 0x00).Run(120, 0x00);
            else
                j.Ticks(24, 0xC0);
        }
        j.LineReturn().Block(ink::Black, 2, 240, 72);
        for (int line = 0; line < 72 && j.Ok(); ++line) {
            if (line < 48)
                j.Run(120, 0x00).Run(120, 0x00);
            else
                j.Ticks(24, 0xC0);
        }
        j.LineReturn().VMove(1);
    }
    return j.VMove(97).Initialize().Flush().Code();
}

// ---- prints ----

Result TPCheckPattern::ReadA3PSheetData(A3PSheetData& d) {
    if (Result r = EepromReadU16(eep::WasteInkCounter, d.wasteInk); r != rc::Ok) return r;
    if (Result r = HeadID().Read(d.headId); r != rc::Ok) return r;
    if (Result r = UsbId().Read(d.usbId); r != rc::Ok) return r;
    if (Result r = EepromRead(eep::MarketDestination, d.destination); r != rc::Ok) return r;
    if (Result r = EepromRead(eep::PfMeasurementEs3, d.pfEs3); r != rc::Ok) return r;
    return EepromRead(eep::PfMeasurementEs5, d.pfEs5);
}

Result TPCheckPattern::ComposeA3PSheet(TPRaster& s, const A3PSheetData& d) {
    Job j(s);
    j.Label("Waste Ink Pad counter value = ").Bytes(WasteInkField(d.wasteInk)).LineFeeds(2);
    j.Label("Beta pattern(BK-C-M/G-LC-LM/Y)").LineFeeds(1);
    if (j.Ok()) j.Step(BetaPattern(s));
    j.Label("Dot check pattern(BK-C-M/G-LC-LM/Y)").LineFeeds(1);
    if (j.Ok()) j.Step(DotCheckPattern(s));
    if (j.Ok()) j.Step(HeadAngularPattern(s));
    for (std::uint8_t kind : {10, 11, 12, 13})
        if (j.Ok()) j.Step(A3PBidPattern(s, kind));
    if (j.Ok()) j.Step(InclinedCarriagePattern(s));
    j.LineFeeds(1);
    std::string headId = d.headId, usbId = d.usbId;
    headId.resize(25, ' ');
    usbId.resize(18, ' ');
    j.Label("Head ID = ").Bytes(headId).LineFeeds(2);
    j.Label("USB ID = ").Bytes(usbId).LineFeeds(2);
    j.Label("PF Measurement ES3 Data = ").Bytes(ZeroPaddedField(d.pfEs3)).LineFeeds(1);
    j.Label("PF Measurement ES5 Data = ").Bytes(ZeroPaddedField(d.pfEs5)).LineFeeds(2);
    j.Label("Market Destination is ").Bytes(DestinationName(d.destination)).LineFeeds(2);
    if (!j.Ok()) return j.Code();
    if (Result r = ReadStatus(); r != rc::Ok) return r;
    const InkLevels inks = Status().Inks();
    if (inks.valid == 1) {
        // black, cyan, magenta, yellow, light cyan, light magenta, gray
        const char* labels[7] = {"Black = ",
                                 "   Cyan = ",
                                 "         Magenta = ",
                                 "         Yellow = ",
                                 "              Light Cyan = ",
                                 "   Light Magenta = ",
                                 "   Gray = "};
        for (int i = 0; i < 7; ++i) {
            j.Label(labels[i]).Bytes(ZeroPaddedField(inks.level[i])).Bytes("%");
            if (i == 3) j.LineFeeds(1);
        }
    }
    return j.EndOfJob().Flush().Code();
}

Result TPCheckPattern::A3PCheckPrint(TPRaster& s) {
    A3PSheetData data;
    if (Result r = ReadA3PSheetData(data); r != rc::Ok) return r;
    return ComposeA3PSheet(s, data);
}

Result TPCheckPattern::A4Print(TPRaster& s, const std::string& clipPath) {
    Job j(s);
    j.Step(s.SendPrintFile(clipPath)).LineFeeds(2);
    if (j.Ok()) j.Step(PFCheckPattern(s));
    return j.EndOfJob().Code();
}

Result TPCheckPattern::HeadCheckPrint(TPRaster& s) {
    Job j(s);
    j.Step(HorizontalAlignmentPattern(s));
    if (j.Ok()) j.Step(NozzleGapPattern(s));
    if (j.Ok()) j.Step(UnidirectionalPattern(s));
    return j.EndOfJob().Flush().Code();
}

Result TPCheckPattern::NozzleCheckPrint() {
    if (Result r = RemoteComm().PrintNozzleCheck(); r != rc::Ok) return r;
    return SendEndOfJob(JobStream());
}

// ---- handlers ----

void TPCheckPattern::A3PCheckPrintBtnClick(FeatureFrame& frame) {
    RunPrint(
        frame, [] { return A3PCheckPrint(JobStream()); }, SVC_N("The A3+ check pattern print has completed."));
}

void TPCheckPattern::A4PrintBtnClick(FeatureFrame& frame) {
    RunPrint(
        frame, [] { return A4Print(JobStream(), FindPrintFile("clip.prn")); },
        SVC_N("The A4 check pattern print has completed."));
}

void TPCheckPattern::HandHeadCheckPrintToHeadId() {
    HeadID().SetHeadCheckPattern([] { return HeadCheckPrint(JobStream()); });
}

void TPCheckPattern::NozzleCheckPatternPrintBtnClick(FeatureFrame& frame) {
    RunPrint(
        frame, [] { return NozzleCheckPrint(); }, SVC_N("The nozzle check pattern print has completed."));
}

TPCheckPattern& CheckPattern() {
    static TPCheckPattern checkPattern;
    return checkPattern;
}

}  // namespace svc
