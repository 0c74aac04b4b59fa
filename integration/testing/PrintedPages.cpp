#include "integration/testing/PrintedPages.h"

#include "integration/testing/Twin.h"
#include "vprinter/Printer.h"
#include "vprinter/engine/PagePlan.h"
#include "vprinter/engine/PrintEngine.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace svc::pagereader::testing {

namespace {

int Signed(std::uint8_t byte) { return static_cast<std::int8_t>(byte); }

constexpr const char* kBidRows[4][2] = {
    {"VSD1Bk", "VSD1CL"}, {"VSD2Bk", "VSD2CL"}, {"VSD2DBk", "VSD2DCL"}, {"VSD4Bk", "VSD4CL"}};

}  // namespace

const std::vector<Kind>& AllKinds() {
    static const std::vector<Kind> kinds = {Kind::HeadAngular, Kind::Bid,      Kind::Pf, Kind::Pw,
                                            Kind::PixelShift,  Kind::FirstDot, Kind::Cut};
    return kinds;
}

bool Right(Kind kind, int value, int right) {
    if (kind == Kind::Pw && right % 2 != 0) return std::abs(value - right) <= 1;
    return value == right;
}

int Step(Kind kind) { return kind == Kind::Pw ? 2 : 1; }

bool PrintPage(Kind kind, int model, std::uint32_t seed, PrintedPage* printed, std::string* error) {
    // The program's order: the head angle is adjusted first (it leans every
    // deeper nozzle's line), so only its own page shows its error; PF comes
    // before PW, pixel shift, first dot and cut, whose pages are printed with
    // the feed adjusted.
    vp::Deviations e = vp::Deviations::Random(seed);
    const int headAngle = e.headAngle;
    if (kind != Kind::HeadAngular) e.headAngle = 0;
    if (kind == Kind::Pw || kind == Kind::PixelShift || kind == Kind::FirstDot || kind == Kind::Cut) e.pf = 0;
    std::vector<std::string> ops;
    const bool roll = kind == Kind::Cut;
    switch (kind) {
        case Kind::Bid:
            ops = {"bid-print"};
            break;
        case Kind::Pf:
            ops = {"pf-print"};
            break;
        case Kind::HeadAngular:
            ops = {"head-angular-print"};
            break;
        case Kind::Pw:
            ops = {"pw-print"};
            break;
        case Kind::PixelShift:
            ops = {"pixel-shift-print"};
            break;
        case Kind::FirstDot:
            ops = {"first-dot-print"};
            break;
        case Kind::Cut:
            ops = {"cut-print"};
            break;
    }
    vp::EngineOptions options;
    // A4, as a flatbed takes it (the roll as wide); each page at the resolution it is planned at.
    options.page = vp::PageSetup{210, 297, vp::kPagePlanned};
    if (const char* sheet = std::getenv("SVC_DEGRADE_SHEET")) {
        double w = 0, h = 0;
        if (std::sscanf(sheet, "%lfx%lf", &w, &h) == 2 && w >= 100 && h >= 100 && w <= 1000 && h <= 1000) {
            options.page.widthMm = w;
            options.page.heightMm = h;
        } else {
            if (error) *error = "SVC_DEGRADE_SHEET is WIDTHxHEIGHT in millimetres, 100 to 1000 (329x483: A3+)";
            return false;
        }
    }
    options.rollPaper = roll;
    options.deviations = e;
    std::unique_ptr<vp::PrintEngine> engine;
    std::vector<vp::Image> pages;
    std::array<std::uint8_t, 256> eeprom{};
    svc::twin::Setup setup;
    setup.model = model;
    setup.prepare = [&](vp::Printer& p) {
        engine = std::make_unique<vp::PrintEngine>(p, options);
        engine->SetPageHook([&](int, const vp::PageRenderer& r) { pages.push_back(r.Compose()); });
        p.SetEngine(engine.get());
    };
    setup.inspect = [&](vp::Printer& p) {
        for (int a = 0; a < 256; ++a) eeprom[static_cast<std::size_t>(a)] = p.ReadEeprom(static_cast<std::uint8_t>(a));
        p.SetEngine(nullptr);
    };
    const svc::twin::Run run = svc::twin::RunCli(setup, ops);
    if (run.status != 0 || pages.size() != 1) {
        if (error) *error = "the print gave " + std::to_string(pages.size()) + " pages: " + run.memo;
        return false;
    }
    PrintedPage& out = *printed;
    out = PrintedPage{};
    out.kind = kind;
    out.page.width = pages[0].width;
    out.page.height = pages[0].height;
    out.page.dpi = pages[0].dpi;
    out.page.rgb = std::move(pages[0].rgb);
    out.sheetWidthMm = options.page.widthMm;
    out.sheetHeightMm = roll ? 0 : options.page.heightMm;  // a page from the roll ends at the cut
    out.context.model = model;
    switch (kind) {
        case Kind::Bid:
            for (int v = 0; v < 4; ++v)
                for (int head = 0; head < 2; ++head) {
                    out.context.stored.emplace_back(kBidRows[v][head],
                                                    Signed(eeprom[static_cast<std::size_t>(0x60 + 4 * head + v)]));
                    out.right.emplace_back(kBidRows[v][head],
                                           e.bid[static_cast<std::size_t>(head)][static_cast<std::size_t>(v)]);
                }
            break;
        case Kind::Pf:
            out.right = {{"", e.pf}};
            break;
        case Kind::HeadAngular:
            out.right = {{"", headAngle}};
            break;
        case Kind::Pw:
            out.right = {{"Top", e.pwTop}, {"Bottom", e.pwBottom}, {"Left", e.pwLeft}, {"Right", e.pwRight}};
            break;
        case Kind::PixelShift:
            for (int line = 0; line < 6; ++line)
                out.right.emplace_back(std::string(1, static_cast<char>('A' + line)),
                                       e.shift[static_cast<std::size_t>(line)]);
            break;
        case Kind::FirstDot:
            out.context.stored = {{"", Signed(eeprom[0x68])}};
            out.right = {{"", -e.firstDot}};
            break;
        case Kind::Cut:
            out.right = {{"", (72 - e.cut) / 8}};
            break;
    }
    return true;
}

}  // namespace svc::pagereader::testing
