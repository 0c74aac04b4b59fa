// The virtual printer's print engine: executes the bytes of its input
// buffer. Print data is placed on the sheet and each page ejected by a form
// feed is written as a PNG preview; factory commands and remote commands act
// on the mechanism and the EEPROM; faults stop the engine until cleared.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "vprinter/Engine.h"
#include "vprinter/engine/Deviations.h"
#include "vprinter/engine/JobDecoder.h"
#include "vprinter/engine/Mechanism.h"
#include "vprinter/engine/PageRenderer.h"
#include "vprinter/engine/TextRenderer.h"
#include "vprinter/engine/SheetRecord.h"

namespace vp {

// Where the first dot of a line belongs with a first dot error and value of
// 0: this many steps of 1/2880 inch (1/20 inch, 1.27 mm) in from the sheet's
// left edge, so that every error and value in -72 to 72 keeps it on the sheet.
inline constexpr int kFirstDotNominal = 144;

struct EngineOptions {
    // The sheet, and the preview resolution: a fixed one, or kPagePlanned
    // (PagePlan.h) for each page at the resolution it needs.
    PageSetup page;
    // Where ejected pages go as page-0001.png ...; empty: not written. The
    // numbers go on from the highest page-NNNN.png already in the folder.
    std::string pagesDir;
    MechanismTimes times;
    // The printer's hidden mechanical errors (all zero: a perfect printer).
    Deviations deviations;
    // Roll paper: a form feed cuts the roll at the cutter instead of ejecting a
    // cut sheet, and the page ends where the cut fell.
    bool rollPaper = false;
    // Font files for text, tried in order (TextRenderer::DefaultFonts when empty).
    std::vector<std::string> fonts;
    // Draw and write pages on a thread of their own (PageWriter), at most
    // pageQueue at a time; otherwise at the form feed, before the engine
    // takes the next byte.
    bool writeInBackground = false;
    std::size_t pageQueue = 2;
    // The first dot's nominal place, in steps of 1/2880 inch from the left
    // edge (tests that place dots from the sheet's very edge set 0).
    int firstDotNominal = kFirstDotNominal;
};

class PageWriter;

enum class Fault { PaperOut, PaperJam, InkOut, CoverOpen, Lever };

class PrintEngine : public Engine {
public:
    // Called with each page, drawn as it is written, before it is ejected
    // (and cleared).
    using PageHook = std::function<void(int pageNumber, const PageRenderer& page)>;

    explicit PrintEngine(Machine& machine, const EngineOptions& options = {});
    ~PrintEngine() override;

    // ---- Engine ----
    std::size_t Consume(const std::uint8_t* data, std::size_t n) override;
    void Advance(std::uint64_t ms) override;
    EngineStatus Status() const override;
    void PressPaperButton() override;
    void PressRollPaperSwitch() override;
    void Reset() override;

    // ---- faults on command ----
    void InjectFault(Fault fault);
    // Clears every fault and a refused job (the technician fixed the cause).
    void ClearFaults();

    // ---- mechanical errors ----
    const Deviations& Deviation() const { return options_.deviations; }
    void SetDeviations(const Deviations& deviations) { options_.deviations = deviations; }
    // The head-angle lever, turned by hand: position 0 holds the head straight.
    // Only reachable with the carriage away from home; false with a reason otherwise.
    bool TurnHeadAngleLever(int position, std::string* error);
    // The technician sets the platen gap right (gap tool, continuity tester)
    // at the PG adjustment point where the carriage stands: main shaft right
    // (carriage position 630), left (2580), sub shaft right (1020), left
    // (2180). False with a reason when it stands at none of them.
    bool SetPlatenGap(std::string* error);
    bool RollPaper() const { return options_.rollPaper; }
    void SetRollPaper(bool roll) { options_.rollPaper = roll; }

    // ---- inspection ----
    void SetPageHook(PageHook hook) { pageHook_ = std::move(hook); }
    // The sheet being printed.
    const SheetRecord& Page() const { return *sheet_; }
    const Mechanism& Mech() const { return mechanism_; }
    int PagesEjected() const { return pagesEjected_; }
    // The files written so far (with a background writer: those it has
    // finished, collected as the engine runs; see WaitForPages).
    const std::vector<std::string>& PageFiles() const { return pageFiles_; }
    // With a background writer: waits until every ejected page is written
    // (at most `limitMs`) and collects them; false when the time ran out.
    bool WaitForPages(std::uint64_t limitMs = 60000);
    // The number the next written page file gets.
    int NextPageNumber() const { return nextFile_; }
    // Why the last job was refused (empty when none was).
    const std::string& RefusalReason() const { return refusal_; }
    // Current print position in master units (1/14400 inch) from the sheet's top-left corner.
    std::int64_t X() const { return x_; }
    std::int64_t Y() const { return y_; }

    // Line spacing of text and the width of one text cell, in master units.
    static constexpr int kLineSpacing = kMasterPerInch / 6;
    static constexpr int kCharWidth = kMasterPerInch / 10;

private:
    class Interpreter;
    friend class Interpreter;

    void Refuse(const std::string& reason);
    void ResetJobState();
    void Feed(std::int64_t master);
    void Eject();
    void PageDone(int number, const std::string& path, bool written, const std::string& error, int dpi, int width,
                  int height);
    void CollectPages();
    std::string NextPagePath();
    void LoadPaper();
    void DrawNozzleCheck();
    void BeginBlock(const RasterHeader& header);
    void PlaceLine(int index, const std::uint8_t* data, std::size_t n);
    void SensorPlacement(std::uint8_t code, const std::vector<std::uint8_t>& params);
    std::int64_t FirstDotShift() const;
    void EndBlock();
    void PrintText(std::uint8_t byte);
    void RunRemote(const RemoteCommand& command);
    bool Stopped() const;
    int PixelShiftOf(int ink, bool returnPass) const;

    Machine& machine_;
    EngineOptions options_;
    Mechanism mechanism_;
    TextRenderer text_;  // before the sheets and the writer: the writer draws text with it
    std::unique_ptr<SheetRecord> sheet_;
    std::vector<std::unique_ptr<SheetRecord>> spareSheets_;
    std::unique_ptr<PageWriter> writer_;
    JobDecoder decoder_;
    Interpreter* interpreter_;
    PageHook pageHook_;

    std::string refusal_;
    int pagesEjected_ = 0;
    int nextFile_ = 1;
    int cleaningsSeen_ = 0;  // of the mechanism's, already taken off the clogged nozzles
    std::vector<std::string> pageFiles_;

    // Job state, reset by ESC @ (the paper position stays).
    int unitX_ = 40, unitY_ = 40;  // master units per move unit
    bool graphics_ = false;
    bool haveResolution_ = false;
    int pitchX_ = 0, pitchY_ = 0;
    int direction_ = 0;
    std::uint8_t dotSize_ = 0;
    int colorMode_ = 0;
    bool oneLineUni_ = false;

    // Where the PW sensor places the next print: an edge found by the sensor.
    enum class SensedEdge { None, Top, Bottom, Left, Right };
    SensedEdge sensedEdge_ = SensedEdge::None;

    // Paper and position.
    bool paperLoaded_ = false;
    std::int64_t x_ = 0, y_ = 0;

    // Raster block in progress.
    RasterHeader block_;
    int blockInk_ = 0;
    std::int64_t blockX_ = 0, blockY_ = 0;
    std::uint64_t blockThirds_ = 0;
    bool blockAtEdge_ = false;  // the block starts at the left edge
};

// Ink of a raster colour byte (the byte must name an ink).
int InkOfColorByte(std::uint8_t colorByte);

}  // namespace vp
