// The check-pattern prints of the main window (A3+ sheet, A4 normal paper
// print, head check print, nozzle check print) and the pattern generators
// they are made of. Every generator composes its pattern on the job stream
// from the command primitives and returns the first result other than 1.
#pragma once

#include "link/FeatureFrame.h"
#include "link/VexRaster.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace svc {

// What the A3+ sheet prints besides its patterns, read before anything is composed.
struct A3PSheetData {
    std::uint16_t wasteInk = 0;
    std::string headId;  // 25 characters
    std::string usbId;   // 18 characters
    std::uint8_t destination = 0;
    std::uint8_t pfEs3 = 0;
    std::uint8_t pfEs5 = 0;
};

// ---- printed fields ----
// Decimal digits, a zero byte when there is room, spaces to five bytes.
std::string WasteInkField(std::uint16_t counter);
// Decimal digits padded with zero bytes to four bytes (PF measurement values, ink amounts).
std::string ZeroPaddedField(int value);
// Seven bytes: "World  ", "Japan  ", "TRN/VLK" or "unknown".
std::string DestinationName(std::uint8_t code);

// The noise bytes of the PF test blocks: the standard library's generator
// from its default seed, modulo 5. Each print starts the sequence afresh, so
// a print sends the same bytes whatever was printed before it in the
// program, and the first print after start-up is unchanged.
class PfNoise {
public:
    PfNoise();
    PfNoise(const PfNoise&) = delete;  // the state points into its own table
    PfNoise& operator=(const PfNoise&) = delete;
    std::uint8_t Next();

private:
    random_data state_{};
    char table_[128] = {};
};

// The two cyan block pairs of one PF test (a dotted band under an empty one,
// then a dotted band of its own), shared by the A4 print and the PF pattern.
Result PfTestBlocks(TPRaster& s, PfNoise& noise);

class TPCheckPattern {
public:
    // ---- pattern generators ----
    static Result BetaPattern(TPRaster& s);
    static Result DotCheckPattern(TPRaster& s);
    static Result HeadAngularPattern(TPRaster& s);
    static Result A3PBidPattern(TPRaster& s, std::uint8_t dotKind);
    static Result InclinedCarriagePattern(TPRaster& s);
    static Result PFCheckPattern(TPRaster& s);
    static Result HorizontalAlignmentPattern(TPRaster& s);
    static Result NozzleGapPattern(TPRaster& s);
    static Result UnidirectionalPattern(TPRaster& s);

    // ---- the prints ----
    // Reads the EEPROM values of the sheet; nothing is composed.
    static Result ReadA3PSheetData(A3PSheetData& data);
    // The sheet from read values: patterns, fields, the ink levels of a fresh
    // status read, the page ejected.
    static Result ComposeA3PSheet(TPRaster& s, const A3PSheetData& data);
    static Result A3PCheckPrint(TPRaster& s);
    // The stored PW sensor check pattern (clipPath), then the PF check pattern.
    static Result A4Print(TPRaster& s, const std::string& clipPath);
    static Result HeadCheckPrint(TPRaster& s);
    // The printer's own nozzle check on the program-wide stream, then the page ejected.
    static Result NozzleCheckPrint();

    // ---- button handlers ----
    void A3PCheckPrintBtnClick(FeatureFrame& frame);
    void A4PrintBtnClick(FeatureFrame& frame);
    void NozzleCheckPatternPrintBtnClick(FeatureFrame& frame);
    // The head check print page belongs to the head ID feature: this hands it
    // the print (on the program-wide stream). Called once at start-up.
    static void HandHeadCheckPrintToHeadId();
};

// The program-wide check-pattern object.
TPCheckPattern& CheckPattern();

// The frame every print button shares: "Printing now...", the print, the
// completion text; any result other than 1 goes to ReportErrorCode.
template <class Print>
void RunPrint(FeatureFrame& frame, Print&& print, const std::string& completion) {
    Result r = frame.SetOperationState(mode::Busy, "Printing now...");
    if (r == rc::Ok) r = print();
    if (r == rc::Ok) r = frame.SetOperationState(mode::Done, completion);
    if (r != rc::Ok) frame.ReportErrorCode(r);
}

}  // namespace svc
