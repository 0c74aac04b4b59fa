#include "vprinter/engine/PrintEngine.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "vprinter/engine/PagePlan.h"
#include "vprinter/engine/PageWriter.h"

namespace vp {

namespace {

// One step of a Bi-D or pixel shift value: 1/1440 inch.
constexpr int kAdjustStep = kMasterPerInch / 1440;
// One step of the first dot position value: 1/2880 inch.
constexpr int kFirstDotStep = kMasterPerInch / 2880;
// Each PF step corrects the paper feed by half a percent.
constexpr int kPfPerMille = 5;
// PW sensor values and the head-angle slant work in lines of 1/180 inch.
constexpr int kSensorStep = kMasterPerInch / 180;
// The PW adjustment lines and bars belong 5 mm from the paper's edges.
constexpr std::int64_t kSensorTarget = 2835;  // 5 mm, to the nearest master unit
// One step of the cut position value: 1/360 inch; the nominal cut lies 72
// steps above the paper position of the form feed, so it moves both ways.
constexpr int kCutStep = kMasterPerInch / 360;
constexpr int kCutNominal = 72;
// The factory command that sets a temporary PF value.
constexpr std::uint8_t kTemporaryPf = 0x04;

bool MakeFolder(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return std::filesystem::is_directory(dir, ec);
}

// Master units per step of a unit numerator/base inch; 0 when it does not land on the grid.
int MasterPerUnit(int numerator, int base) {
    const long long product = static_cast<long long>(kMasterPerInch) * numerator;
    return product % base == 0 ? static_cast<int>(product / base) : 0;
}

// VSD index (0 VSD1, 1 VSD2, 2 VSD2', 3 VSD4) of a dot-size byte.
int VsdOfDotSize(std::uint8_t dotSize) {
    switch (dotSize) {
        case 0x11:
            return 1;
        case 0x13:
            return 2;
        case 0x10:
            return 3;
        default:
            return 0;  // 0x12 and the printer's default
    }
}

bool IsChromatic(int ink) { return ink != kBlack && ink != kGray; }

// Page files are numbered up to here; past it the last number is used again.
constexpr int kLastPageNumber = 99999999;

// The highest n of the page-n.png files in a folder (0 when there are none):
// a new run of the printer numbers its pages on from there.
int HighestPageNumber(const std::string& dir) {
    int highest = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() < 10 || name.compare(0, 5, "page-") != 0 || name.compare(name.size() - 4, 4, ".png") != 0)
            continue;
        const char* first = name.data() + 5;
        const char* last = name.data() + name.size() - 4;
        int n = 0;
        const auto [p, err] = std::from_chars(first, last, n);
        if (err == std::errc() && p == last && first != last && *first != '-' && *first != '+')
            highest = std::max(highest, n);
    }
    return std::min(highest, kLastPageNumber - 1);
}

}  // namespace

int InkOfColorByte(std::uint8_t colorByte) {
    switch (colorByte) {
        case 0x01:
            return kMagenta;
        case 0x02:
            return kCyan;
        case 0x04:
            return kYellow;
        case 0x10:
            return kGray;
        case 0x11:
            return kLightMagenta;
        case 0x12:
            return kLightCyan;
        default:
            return kBlack;
    }
}

// Turns decoded job events into positions, dots and mechanism actions.
class PrintEngine::Interpreter : public JobVisitor {
public:
    explicit Interpreter(PrintEngine& engine) : e_(engine) {}

    void OnReset() override { e_.ResetJobState(); }
    void OnGraphicsMode(int mode) override { e_.graphics_ = mode == 1; }
    void OnUnit(const UnitSetting& unit) override {
        const int x = MasterPerUnit(unit.horizontal, unit.base);
        const int y = MasterPerUnit(unit.vertical, unit.base);
        if (x == 0 || y == 0)
            return e_.Refuse("a unit of " + std::to_string(unit.horizontal) + "/" + std::to_string(unit.base) +
                             " inch that the printer cannot position");
        e_.unitX_ = x;
        e_.unitY_ = y;
    }
    void OnDirection(int mode) override { e_.direction_ = mode; }
    void OnDotSize(std::uint8_t size) override { e_.dotSize_ = size; }
    void OnColorMode(int mode) override { e_.colorMode_ = mode; }
    void OnVerticalMove(int amount) override { e_.Feed(static_cast<std::int64_t>(amount) * e_.unitY_); }
    void OnHorizontalMove(int amount) override {
        const std::int64_t x = e_.x_ + static_cast<std::int64_t>(amount) * e_.unitX_;
        if (x < 0) return e_.Refuse("a horizontal move left of the paper's edge");
        e_.x_ = x;
    }
    void OnResolution(const RasterResolution& r) override {
        const int x = MasterPerUnit(r.horizontal, r.base);
        const int y = MasterPerUnit(r.vertical, r.base);
        if (x == 0 || y == 0)
            return e_.Refuse("a raster resolution of base " + std::to_string(r.base) +
                             " dpi that the printer cannot place");
        e_.pitchX_ = x;
        e_.pitchY_ = y;
        e_.haveResolution_ = true;
    }
    void OnRasterBegin(const RasterHeader& header) override { e_.BeginBlock(header); }
    void OnRasterLine(int index, const std::uint8_t* data, std::size_t n) override { e_.PlaceLine(index, data, n); }
    void OnRasterEnd() override { e_.EndBlock(); }
    void OnLineReturn() override { e_.oneLineUni_ = true; }
    void OnCarriageReturn() override { e_.x_ = 0; }
    void OnLineFeed() override {
        e_.LoadPaper();
        e_.Feed(kLineSpacing);
    }
    void OnFormFeed() override { e_.Eject(); }
    void OnText(std::uint8_t byte) override { e_.PrintText(byte); }
    // Text marks the page and moves the position; it never stops the engine.
    std::size_t OnTextRun(const std::uint8_t* data, std::size_t n) override {
        for (std::size_t i = 0; i < n; ++i) e_.PrintText(data[i]);
        return n;
    }
    void OnRemoteEnter() override { e_.machine_.Log("remote mode"); }
    void OnRemoteExit() override {}
    void OnRemoteCommand(const RemoteCommand& command) override { e_.RunRemote(command); }
    void OnFactory(const FactoryPacket& packet) override {
        // A temporary PF value: the PF candidates, read at the band joints.
        if (packet.code == kTemporaryPf) e_.sheet_->Need(kPageFeedDpi);
        e_.mechanism_.Execute(packet);
        e_.SensorPlacement(packet.code, packet.params);
    }
    void OnError(const std::string& reason) override { e_.Refuse(reason); }
    bool Paused() const override { return e_.Stopped(); }

private:
    PrintEngine& e_;
};

PrintEngine::PrintEngine(Machine& machine, const EngineOptions& options)
    : machine_(machine),
      options_(options),
      mechanism_(machine, options.times),
      text_(options.fonts.empty() ? TextRenderer::DefaultFonts() : options.fonts, TextCell{kCharWidth, kLineSpacing}),
      sheet_(std::make_unique<SheetRecord>(options.page)),
      interpreter_(new Interpreter(*this)) {
    if (options_.page.previewDpi != kPagePlanned)
        PageRenderer check(options_.page);  // a resolution that does not divide 14400 is refused here, as before
    if (!options_.pagesDir.empty()) {
        if (!MakeFolder(options_.pagesDir))
            machine_.Log("cannot create the page folder " + options_.pagesDir + "; pages are not written");
        nextFile_ = HighestPageNumber(options_.pagesDir) + 1;
        if (options_.writeInBackground) writer_ = std::make_unique<PageWriter>(options_.pageQueue);
    }
}

PrintEngine::~PrintEngine() {
    // The pages handed to the writer are written before the printer goes.
    if (writer_ && !WaitForPages()) machine_.Log("pages are still being written; waiting for them");
    writer_.reset();
    delete interpreter_;
}

// While the page writer holds as many pages as it may, the engine takes no
// input, as a printer whose memory is full.
bool PrintEngine::Stopped() const {
    return !refusal_.empty() || mechanism_.Fault() || mechanism_.Busy() || (writer_ && writer_->Full());
}

std::size_t PrintEngine::Consume(const std::uint8_t* data, std::size_t n) {
    CollectPages();
    if (Stopped()) return 0;
    return decoder_.Feed(data, n, *interpreter_);
}

void PrintEngine::Advance(std::uint64_t ms) {
    mechanism_.Advance(ms);
    // A finished head cleaning frees the clogged nozzles it can.
    if (const int done = mechanism_.CleaningsDone(); done != cleaningsSeen_) {
        options_.deviations.Clean(done - cleaningsSeen_);
        cleaningsSeen_ = done;
    }
    CollectPages();
}

EngineStatus PrintEngine::Status() const {
    if (!refusal_.empty()) return {0, printer_error::kBadData};
    if (mechanism_.Fault()) return {0, *mechanism_.Fault()};
    // Pages still being written: printing.
    if (!mechanism_.Busy() && writer_ && writer_->Full()) return {3, 0};
    return {mechanism_.State(), 0};
}

void PrintEngine::PressPaperButton() {
    if (mechanism_.PressPaperButton()) return;
    if (mechanism_.Busy() || !refusal_.empty()) return;
    // Without a fault the button feeds the sheet out.
    machine_.Log("paper button: paper feed");
    paperLoaded_ = true;
    Eject();
}

void PrintEngine::PressRollPaperSwitch() { mechanism_.PressRollPaperSwitch(); }

void PrintEngine::Reset() {
    decoder_.Reset();
    ResetJobState();
    // The printer starts afresh, as at power-on: adjustment values written to
    // the EEPROM since are taken into use and a temporary PF value goes.
    mechanism_.LoadSettings();
    mechanism_.ForgetCutPosition();
    sensedEdge_ = SensedEdge::None;
    if (sheet_->Inked()) machine_.Log("job dropped: the page in progress is discarded");
    sheet_->Clear();
    paperLoaded_ = false;
    x_ = y_ = 0;
    refusal_.clear();
}

void PrintEngine::InjectFault(Fault fault) {
    switch (fault) {
        case Fault::PaperOut:
            mechanism_.SetFault(printer_error::kPaperOut);
            break;
        case Fault::PaperJam:
            mechanism_.SetFault(printer_error::kPaperJam);
            break;
        case Fault::InkOut:
            mechanism_.SetFault(printer_error::kInkOut);
            break;
        case Fault::CoverOpen:
            mechanism_.SetFault(printer_error::kCoverOpen);
            break;
        case Fault::Lever:
            mechanism_.SetFault(printer_error::kLever);
            break;
    }
}

void PrintEngine::ClearFaults() {
    mechanism_.ClearFault();
    if (!refusal_.empty()) {
        // The refused job is dropped; the printer reads the next job from its start.
        decoder_.Reset();
        ResetJobState();
        refusal_.clear();
    }
}

void PrintEngine::Refuse(const std::string& reason) {
    if (!refusal_.empty()) return;
    refusal_ = reason;
    machine_.Log("job refused: " + reason);
}

void PrintEngine::ResetJobState() {
    unitX_ = unitY_ = MasterPerUnit(10, 3600);
    graphics_ = false;
    haveResolution_ = false;
    pitchX_ = pitchY_ = 0;
    direction_ = 0;
    dotSize_ = 0;
    colorMode_ = 0;
    oneLineUni_ = false;
    x_ = 0;
}

void PrintEngine::LoadPaper() { paperLoaded_ = true; }

// Paper feed: the feed roller is off by the PF error, which the PF value in use corrects.
void PrintEngine::Feed(std::int64_t master) {
    LoadPaper();
    y_ += master + master * kPfPerMille * (mechanism_.Pf() - options_.deviations.pf) / 1000;
}

// Where the first dot of a line lands, right of where the job put it: its
// nominal place in from the edge, off by the error, moved by the value 0x68.
std::int64_t PrintEngine::FirstDotShift() const {
    return static_cast<std::int64_t>(options_.firstDotNominal + options_.deviations.firstDot + mechanism_.FirstDot()) *
           kFirstDotStep;
}

// How far a block of a colour's nozzle line (pixel shift lines A-F) lands
// right of black's, in steps of 1/1440 inch. On the forward pass each line
// fires by its own timing: off by its error, corrected by its stored value.
// The correction moves the line's dots on the printer's 1/1440 inch firing
// grid as it places data of a coarser pitch; data at the full 1/1440 inch
// pitch addresses that grid dot for dot and lands uncorrected (that is how
// the pixel shift pattern shows each line's own error, whatever is stored).
// On the return pass a head fires all its lines from the timing of its
// reference line, the one the Bi-D pattern compares (black for the black
// head, magenta for the colour head): they land where that line lands
// forward, and the Bi-D value alone puts the return pass right.
int PrintEngine::PixelShiftOf(int ink, bool returnPass) const {
    if (returnPass) ink = IsChromatic(ink) ? kMagenta : kBlack;
    if (ink == kBlack) return 0;
    const int line = ink - 1;
    const int stored = pitchX_ == kAdjustStep ? 0 : mechanism_.PixelShift(line);
    return options_.deviations.shift[static_cast<std::size_t>(line)] - stored;
}

bool PrintEngine::SetPlatenGap(std::string* error) {
    struct Point {
        int position;
        int Deviations::*gap;
        const char* name;
    };
    static constexpr Point kPoints[4] = {{630, &Deviations::pgMainRight, "main shaft right"},
                                         {2580, &Deviations::pgMainLeft, "main shaft left"},
                                         {1020, &Deviations::pgSubRight, "sub shaft right"},
                                         {2180, &Deviations::pgSubLeft, "sub shaft left"}};
    if (mechanism_.CarriageLocked() || mechanism_.Busy()) {
        if (error) *error = "the platen gap is set with the carriage standing at a PG adjustment point";
        return false;
    }
    for (const Point& p : kPoints) {
        if (mechanism_.CarriagePosition() != p.position) continue;
        options_.deviations.*p.gap = 0;
        machine_.Log(std::string("platen gap set at the ") + p.name + " point");
        return true;
    }
    if (error)
        *error = "the carriage stands at " + std::to_string(mechanism_.CarriagePosition()) +
                 ", no PG adjustment point (630, 2580, 1020, 2180)";
    return false;
}

bool PrintEngine::TurnHeadAngleLever(int position, std::string* error) {
    if (mechanism_.CarriageLocked()) {
        if (error)
            *error =
                "the head-angle lever is reached with the carriage away from home (move it to the adjustment position "
                "first)";
        return false;
    }
    if (position < -20 || position > 20) {
        if (error) *error = "the lever turns from -20 to 20";
        return false;
    }
    options_.deviations.headAngle = position;
    machine_.Log("head-angle lever at " + std::to_string(position));
    return true;
}

// In sensor mode the PW sensor finds a paper edge (CommandF1: top or bottom,
// CommandF2: the left or right side) and the next print is placed from it.
void PrintEngine::SensorPlacement(std::uint8_t code, const std::vector<std::uint8_t>& params) {
    if (!mechanism_.SensorMode()) {
        sensedEdge_ = SensedEdge::None;
        return;
    }
    if (code == 0xF1 && params.size() >= 6) sensedEdge_ = params[5] == 0 ? SensedEdge::Top : SensedEdge::Bottom;
    if (code == 0xF2 && !params.empty()) sensedEdge_ = params[0] == 0 ? SensedEdge::Left : SensedEdge::Right;
}

void PrintEngine::BeginBlock(const RasterHeader& header) {
    if (!graphics_) return Refuse("raster data outside graphics mode");
    if (!haveResolution_) return Refuse("raster data before a raster resolution was set");
    const int ink = InkOfColorByte(header.color);
    if (colorMode_ == 1 && IsChromatic(ink))
        return Refuse(std::string("a ") + ColorName(header.color) + " raster block in monochrome mode");
    LoadPaper();
    block_ = header;
    blockInk_ = ink;
    blockThirds_ = 0;
    // What the page needs to show one step: a block placed or dotted finer
    // than 1/720 inch (pixel shift candidates) or printed on the return pass
    // (a Bi-D trial) 1/1440 inch; a line one byte wide at the left edge (the
    // first dot) 1/2880 inch.
    constexpr int kGrid = kMasterPerInch / 720;
    blockAtEdge_ = x_ == 0 && header.bytesPerLine == 1;
    if (x_ % kGrid != 0 || pitchX_ < kGrid || (direction_ == 3 && !oneLineUni_)) sheet_->Need(kPageFineDpi);
    const Deviations& d = options_.deviations;
    blockX_ = x_ + FirstDotShift();
    // A block printed on the return pass lands shifted left by the head's Bi-D
    // value less the head's true offset between the two directions.
    const bool returnPass = direction_ == 3 && !oneLineUni_;
    if (returnPass) {
        const bool black = !IsChromatic(ink);
        const int vsd = VsdOfDotSize(dotSize_);
        blockX_ -= static_cast<std::int64_t>(mechanism_.Bid(black, vsd) -
                                             d.bid[black ? 0 : 1][static_cast<std::size_t>(vsd)]) *
                   kAdjustStep;
    }
    blockX_ += static_cast<std::int64_t>(PixelShiftOf(ink, returnPass)) * kAdjustStep;
    // The PW adjustment prints, placed from the edge the sensor found: the
    // sensor's error moves them, uncorrected (the values are what is measured).
    // The frame's bar k (line 31 + 2k) and the line of row r (dot 4r + 55) are
    // the candidates -16 + 2k from the top, 16 - 2k from the bottom and
    // -8 + 2r from the sides.
    switch (sensedEdge_) {
        case SensedEdge::Top:
            y_ = kSensorTarget - kSensorStep / 2 - static_cast<std::int64_t>(47 + d.pwTop) * kSensorStep;
            break;
        case SensedEdge::Bottom:
            y_ = sheet_->HeightMaster() - kSensorTarget - kSensorStep / 2 -
                 static_cast<std::int64_t>(47 - d.pwBottom) * kSensorStep;
            break;
        case SensedEdge::Left:
            blockX_ = kSensorTarget - kSensorStep / 4 - 71 * (kSensorStep / 2) -
                      static_cast<std::int64_t>(d.pwLeft) * kSensorStep;
            break;
        case SensedEdge::Right:
            blockX_ = sheet_->WidthMaster() - kSensorTarget - kSensorStep / 4 - 71 * (kSensorStep / 2) -
                      static_cast<std::int64_t>(d.pwRight) * kSensorStep;
            break;
        case SensedEdge::None:
            break;
    }
    sensedEdge_ = SensedEdge::None;
    blockY_ = y_;
}

// A raster line j is printed by nozzle j; a head turned off straight puts
// each nozzle further across the deeper it sits in the head. A carriage
// tilted by the platen gap does the same, by how far it tilts where it
// stands: the line is placed in pieces, each with the lean of its place.
void PrintEngine::PlaceLine(int index, const std::uint8_t* data, std::size_t n) {
    const Deviations& d = options_.deviations;
    const std::int64_t depth = static_cast<std::int64_t>(index) * pitchY_;
    const std::int64_t slant = d.headAngle * depth / 16;
    const int bpp = block_.bitsPerPixel;
    if (blockAtEdge_ && n > 0 && (data[0] >> (8 - block_.bitsPerPixel)) != 0) {
        sheet_->Need(kPageEdgeDpi);
        blockAtEdge_ = false;
    }
    if (d.pgMainRight == 0 && d.pgMainLeft == 0 && d.pgSubRight == 0 && d.pgSubLeft == 0) {
        blockThirds_ += sheet_->PlaceLine(blockInk_, blockX_ + slant, blockY_ + depth, pitchX_, pitchY_, bpp, data, n);
        return;
    }
    static constexpr std::size_t kPiece = 16;  // bytes
    for (std::size_t at = 0; at < n; at += kPiece) {
        const std::int64_t x = blockX_ + static_cast<std::int64_t>(at) * (8 / bpp) * pitchX_;
        const double across = std::clamp(static_cast<double>(x) / static_cast<double>(sheet_->WidthMaster()), 0.0, 1.0);
        const auto lean =
            static_cast<std::int64_t>(std::llround(d.PlatenTilt(across) * static_cast<double>(depth) / 32));
        blockThirds_ += sheet_->PlaceLine(blockInk_, x + slant + lean, blockY_ + depth, pitchX_, pitchY_, bpp,
                                          data + at, std::min(kPiece, n - at));
    }
}

void PrintEngine::EndBlock() {
    x_ += static_cast<std::int64_t>(block_.bytesPerLine) * (8 / block_.bitsPerPixel) * pitchX_;
    oneLineUni_ = false;
    mechanism_.CountPass();
    mechanism_.UseInk(blockInk_, blockThirds_);
}

// Text is printed in the printer's font, a character a cell. Without a font
// every printable character but the blank leaves a grey bar in the middle of
// its cell, so labels still show where and how long they are.
void PrintEngine::PrintText(std::uint8_t byte) {
    LoadPaper();
    if (byte != ' ') {
        const std::int64_t left = x_ + FirstDotShift();
        if (text_.Load()) {
            // Drawn with the page, at its resolution; the glyph keeps within its cell.
            TextRenderer* text = &text_;
            const std::int64_t top = y_;
            sheet_->Draw([text, byte, left, top](PageRenderer& page) { text->Draw(page, kBlack, byte, left, top); },
                         kBlack, SheetArea{left, top, left + kCharWidth, top + kLineSpacing});
        } else {
            if (const std::string problem = text_.TakeProblem(); !problem.empty())
                machine_.Log(problem + "; text is printed as bars");
            sheet_->FillRect(kBlack, left + kCharWidth / 10, y_ + kLineSpacing / 4, kCharWidth * 8 / 10,
                             kLineSpacing / 2, 0.6);
        }
    }
    x_ += kCharWidth;
}

void PrintEngine::RunRemote(const RemoteCommand& command) {
    const std::string name = command.name;
    if (name == "NC") {
        machine_.Log("remote NC: nozzle check");
        DrawNozzleCheck();
    } else if (name == "DD") {
        mechanism_.SetCutPosition(static_cast<std::int8_t>(command.params[3]));
    } else if (name == "SV") {
        mechanism_.SaveCutPosition();
    } else if (name == "SN") {
        machine_.Log("remote SN: sensor settings block taken");
    }
}

// The printer's own nozzle check: for each ink a column of 48 nozzle dashes
// laid out as a staircase of eight steps, so a missing (clogged) nozzle
// leaves a gap: dash n (from the top, 1 to 48) is nozzle n.
void PrintEngine::DrawNozzleCheck() {
    static constexpr int kOrder[kInkCount] = {kBlack, kGray, kCyan, kLightCyan, kMagenta, kLightMagenta, kYellow};
    static constexpr int kNozzles = Deviations::kNozzles;
    static constexpr int kNozzlePitch = kMasterPerInch / 120;
    static constexpr int kColumn = kMasterPerInch;
    static constexpr int kStep = kMasterPerInch / 8;
    LoadPaper();
    const std::int64_t left = FirstDotShift();
    for (int c = 0; c < kInkCount; ++c) {
        const auto& clogged = options_.deviations.clogs[static_cast<std::size_t>(kOrder[c])];
        for (int n = 0; n < kNozzles; ++n)
            if (clogged[static_cast<std::size_t>(n)] == 0)  // a clogged nozzle leaves its dash out
                sheet_->FillRect(kOrder[c], left + static_cast<std::int64_t>(c) * kColumn + (n % 8) * kStep,
                                 y_ + static_cast<std::int64_t>(n) * kNozzlePitch, kStep * 8 / 10, kNozzlePitch / 2,
                                 1.0);
        mechanism_.UseInk(kOrder[c], kNozzles * 300);
    }
    mechanism_.CountPass();
    Feed(static_cast<std::int64_t>(kNozzles) * kNozzlePitch + kLineSpacing);
}

void PrintEngine::Eject() {
    if (!paperLoaded_) return;  // nothing was printed or fed: no sheet to eject
    ++pagesEjected_;
    if (sheet_->ClippedDots() > 0)
        machine_.Log("page " + std::to_string(pagesEjected_) + ": " + std::to_string(sheet_->ClippedDots()) +
                     " dots fell outside the sheet");
    // On roll paper the cutter cuts the roll: the sheet ends at the cut.
    std::int64_t length = sheet_->HeightMaster();
    if (options_.rollPaper) {
        const int offset = options_.deviations.cut - mechanism_.CutPositionInUse();
        const int dpi = options_.page.previewDpi == kPagePlanned ? 180 : options_.page.previewDpi;
        length = std::clamp<std::int64_t>(y_ + static_cast<std::int64_t>(offset - kCutNominal) * kCutStep,
                                          kMasterPerInch / dpi, sheet_->HeightMaster());
        machine_.Log("roll paper cut " + std::to_string(length * 254 / kMasterPerInch / 10) + " mm from the top");
    }
    sheet_->SetLength(length);
    std::unique_ptr<PageRenderer> drawn;
    if (pageHook_) {
        if (!sheet_->Drawn()) drawn = DrawPage(*sheet_, PlanPage(*sheet_));
        pageHook_(pagesEjected_, drawn ? *drawn : *sheet_->Drawn());
    }
    if (!options_.pagesDir.empty()) {
        const std::string path = NextPagePath();
        // The folder is made again if it went away while the printer ran.
        if (!MakeFolder(options_.pagesDir)) {
            PageDone(pagesEjected_, path, false, "cannot create " + options_.pagesDir, 0, 0, 0);
        } else if (writer_ && !drawn) {
            writer_->Submit(pagesEjected_, path, std::move(sheet_));
            if (spareSheets_.empty()) {
                sheet_ = std::make_unique<SheetRecord>(options_.page);
            } else {
                sheet_ = std::move(spareSheets_.back());
                spareSheets_.pop_back();
            }
        } else {
            const PageOutcome o = WritePage(pagesEjected_, path, *sheet_, drawn.get());
            PageDone(o.number, o.path, o.written, o.error, o.dpi, o.width, o.height);
        }
    } else {
        machine_.Log("page " + std::to_string(pagesEjected_) + " ejected");
    }
    mechanism_.CountPage();
    mechanism_.StartEject();
    sheet_->Clear();
    paperLoaded_ = false;
    x_ = y_ = 0;
}

// page-NNNN.png, numbered on from the pages already in the folder (also
// those of earlier runs), never over a file that is there.
std::string PrintEngine::NextPagePath() {
    for (;;) {
        char name[32];
        std::snprintf(name, sizeof name, "page-%04d.png", nextFile_);
        std::string path = options_.pagesDir + "/" + name;
        const bool last = nextFile_ >= kLastPageNumber;
        if (!last) ++nextFile_;
        std::error_code ec;
        if (last || !std::filesystem::exists(path, ec)) return path;
    }
}

void PrintEngine::PageDone(int number, const std::string& path, bool written, const std::string& error, int dpi,
                           int width, int height) {
    if (written) {
        pageFiles_.push_back(path);
        machine_.Log("page " + std::to_string(number) + " ejected: " + path + " (" + std::to_string(dpi) + " dpi, " +
                     std::to_string(width) + " x " + std::to_string(height) + ")");
    } else {
        machine_.Log("page " + std::to_string(number) + " ejected, but " + error);
    }
}

// Pages the background writer has finished: logged and listed, their
// records kept for the next sheets.
void PrintEngine::CollectPages() {
    if (!writer_) return;
    for (PageWriter::Done& done : writer_->Collect()) {
        const PageOutcome& o = done.outcome;
        PageDone(o.number, o.path, o.written, o.error, o.dpi, o.width, o.height);
        if (spareSheets_.size() < 2) spareSheets_.push_back(std::move(done.sheet));
    }
}

bool PrintEngine::WaitForPages(std::uint64_t limitMs) {
    const bool idle = !writer_ || writer_->WaitIdle(std::chrono::milliseconds(limitMs));
    CollectPages();
    return idle;
}

}  // namespace vp
