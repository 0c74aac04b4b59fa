// Closed loops through svcadjust-cli's operations: an in-process printer
// with a hidden mechanical error and its print engine prints the pattern, the
// answer is read off the page as a technician reads it, input through the
// operation, and the next print comes out aligned.
#include "integration/testing/Twin.h"
#include "vprinter/Printer.h"
#include "vprinter/engine/PrintEngine.h"
#include "integration/testing/PageAnalysis.h"
#include "integration/testing/PatternJobs.h"
#include "integration/testing/PatternReading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

using namespace vp::testing;
using svc::twin::RunCli;

// A printer with an engine whose pages the test keeps.
struct Bench {
    explicit Bench(int dpi) { options.page.previewDpi = dpi; }
    svc::twin::Setup Setup() {
        svc::twin::Setup s;
        s.prepare = [this](vp::Printer& p) {
            engine = std::make_unique<vp::PrintEngine>(p, options);
            engine->SetPageHook([this](int, const vp::PageRenderer& r) { pages.push_back(r.Compose()); });
            p.SetEngine(engine.get());
            for (const auto& [address, value] : eeprom) p.WriteEeprom(address, value);
            if (onLog) p.SetLogSink([this](const std::string& line) { onLog(line); });
        };
        s.inspect = [this](vp::Printer& p) {
            stored = p.ReadEeprom(0x77);
            p.SetLogSink(nullptr);
            p.SetEngine(nullptr);
        };
        return s;
    }
    int Px(double master) const { return static_cast<int>(std::lround(Pixels(master, options.page.previewDpi))); }

    vp::EngineOptions options;
    std::unique_ptr<vp::PrintEngine> engine;
    std::vector<vp::Image> pages;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> eeprom;  // written before the connection
    std::function<void(const std::string&)> onLog;
    std::uint8_t stored = 0;
};

// With SVC_CLOSED_LOOP_PAGES=DIR the printed part of each page is kept as
// DIR/<first operation>-<n>.png, to be looked at.
void KeepPages(const Bench& bench, const std::string& name) {
    const char* dir = std::getenv("SVC_CLOSED_LOOP_PAGES");
    if (!dir) return;
    for (std::size_t i = 0; i < bench.pages.size(); ++i) {
        const vp::Image& page = bench.pages[i];
        const auto last = LastInkedRow(page, WholePage(page), AnyInk());
        const int bottom = std::min(page.height, last.value_or(page.height) + 20);
        const auto columns = ColumnSpans(page, {0, 0, page.width, bottom}, AnyInk());
        const int right = columns.empty() ? page.width : std::min(page.width, columns.back().end + 20);
        const Box printed{0, 0, right, bottom};
        WriteCrop(page, printed, 1, std::string(dir) + "/" + name + "-" + std::to_string(i + 1) + ".png", nullptr);
    }
}

void RunOps(Bench& bench, const std::vector<std::string>& ops,
            const std::function<void(vp::Printer&, const std::string&, const std::string&)>& onBox = nullptr) {
    bench.pages.clear();
    svc::twin::Setup setup = bench.Setup();
    setup.onBox = onBox;
    const svc::twin::Run r = RunCli(setup, ops);
    ASSERT_EQ(r.status, 0) << r.memo;
    static int run = 0;
    KeepPages(bench, std::to_string(++run) + "-" + ops.back());
}

// ---- Bi-D ----

TEST(CheckAdjustClosedLoop, BidTrialsShowTheErrorAndTheInputValueStraightensTheMiddleTrial) {
    Bench bench(720);
    ASSERT_TRUE(bench.options.deviations.Set("bid.vsd1.black=2", nullptr));
    ASSERT_TRUE(bench.options.deviations.Set("bid.vsd1.color=-2", nullptr));
    RunOps(bench, {"bid-input", "VSD1Bk=0", "VSD1CL=0", "bid-print", "VSD1"});
    ASSERT_EQ(bench.pages.size(), 1u);
    const auto black = BidTrialOffsets(bench.pages[0], true, 720);
    const auto color = BidTrialOffsets(bench.pages[0], false, 720);
    ASSERT_EQ(black.size(), 3u);
    ASSERT_EQ(color.size(), 3u);
    const int blackAnswer = kBidTrialOffsets[StraightTrial(black)];
    const int colorAnswer = kBidTrialOffsets[StraightTrial(color)];
    EXPECT_EQ(blackAnswer, 2);
    EXPECT_EQ(colorAnswer, -2);
    EXPECT_NE(black[1], 0.0);

    RunOps(bench, {"bid-input", "VSD1Bk=" + std::to_string(blackAnswer), "VSD1CL=" + std::to_string(colorAnswer),
                   "bid-print", "VSD1"});
    ASSERT_EQ(bench.pages.size(), 1u);
    const auto blackAfter = BidTrialOffsets(bench.pages[0], true, 720);
    const auto colorAfter = BidTrialOffsets(bench.pages[0], false, 720);
    ASSERT_EQ(blackAfter.size(), 3u);
    ASSERT_EQ(colorAfter.size(), 3u);
    EXPECT_EQ(blackAfter[1], 0.0);
    EXPECT_EQ(colorAfter[1], 0.0);
}

// ---- PF ----

TEST(CheckAdjustClosedLoop, PfBlocksCloseAtTheErrorAndTheWrittenValueClosesTheA4CheckPattern) {
    Bench bench(720);
    ASSERT_TRUE(bench.options.deviations.Set("pf=-2", nullptr));
    bench.eeprom = {{0x77, 0x00}};
    RunOps(bench, {"pf-print"});
    ASSERT_EQ(bench.pages.size(), 1u);
    const std::vector<int> gaps = PfJoints(bench.pages[0], 720);
    ASSERT_EQ(gaps.size(), 9u);
    const int closed = bench.Px(kPfClosedGap);
    int best = 0;
    for (int i = 1; i < 9; ++i)
        if (std::abs(gaps[static_cast<std::size_t>(i)] - closed) <
            std::abs(gaps[static_cast<std::size_t>(best)] - closed))
            best = i;
    const int answer = best - 4;
    EXPECT_EQ(answer, -2);
    EXPECT_EQ(gaps[static_cast<std::size_t>(best)], closed);

    RunOps(bench, {"pf-input", std::to_string(answer)});
    EXPECT_EQ(bench.stored, static_cast<std::uint8_t>(answer));

    // Taken into use at the next start: the A4 check pattern's joint is closed.
    bench.eeprom = {{0x77, static_cast<std::uint8_t>(answer)}};
    RunOps(bench, {"a4-check-print"});
    ASSERT_EQ(bench.pages.size(), 1u);
    const std::vector<int> after = PfJoints(bench.pages[0], 720);
    // (The clip.prn bar above it counts as a band too: the check pattern's joint is the last.)
    ASSERT_GE(after.size(), 1u);
    EXPECT_EQ(after.back(), closed);

    // Without the value the same check shows the error.
    bench.eeprom = {{0x77, 0x00}};
    RunOps(bench, {"a4-check-print"});
    ASSERT_EQ(bench.pages.size(), 1u);
    const std::vector<int> before = PfJoints(bench.pages[0], 720);
    ASSERT_GE(before.size(), 1u);
    EXPECT_NE(before.back(), closed);
}

// ---- head angular ----

TEST(CheckAdjustClosedLoop, HeadAngularBarsSlantUntilTheLeverIsTurnedAtTheAdjustmentPosition) {
    Bench bench(360);
    ASSERT_TRUE(bench.options.deviations.Set("head-angle=4", nullptr));
    // The technician turns the lever back once the carriage has left home
    // (while the program's box waits for OK).
    bool turned = false;
    bench.onLog = [&](const std::string& line) {
        if (!turned && line.find("carriage left the home position") != std::string::npos)
            turned = bench.engine->TurnHeadAngleLever(0, nullptr);
    };
    auto slant = [](const vp::Image& p) {
        // The left edge of the gray bars (the label's marks above them are grey too).
        const auto rows = RowSpans(p, {0, 0, 40, p.height}, InkLike(vp::kGray, 60), 8);
        EXPECT_GE(rows.size(), 1u);
        return rows.empty()
                   ? 99.0
                   : Slant(p, {0, rows.back().begin, 40, rows.back().end}, InkLike(vp::kGray, 60)).value_or(99);
    };
    RunOps(bench, {"head-angular-print", "head-angular-adjust", "head-angular-print"});
    EXPECT_TRUE(turned);
    ASSERT_EQ(bench.pages.size(), 2u);
    EXPECT_NEAR(slant(bench.pages[0]), 4.0 / 16, 0.02);
    EXPECT_NEAR(slant(bench.pages[1]), 0.0, 1e-9);
}

// ---- clogged nozzles ----

TEST(CheckAdjustClosedLoop, NozzleCheckMissesTheCloggedDashesUntilTheHeadCleaningsClearThem) {
    Bench bench(720);  // a dash is 1/240 inch high: 3 rows
    ASSERT_TRUE(bench.options.deviations.Set("clog.magenta=3,30:2", nullptr));
    // The magenta column is the fifth, an inch wide; its dashes, top to bottom.
    auto magentaDashes = [&](const vp::Image& p) {
        return RowSpans(p, {bench.Px(4 * 14400), 0, bench.Px(5 * 14400), p.height}, InkLike(vp::kMagenta)).size();
    };
    RunOps(bench, {"nozzle-check-print", "head-cleaning", "nozzle-check-print", "head-cleaning", "nozzle-check-print"});
    ASSERT_EQ(bench.pages.size(), 3u);
    EXPECT_EQ(magentaDashes(bench.pages[0]), 46u);
    EXPECT_EQ(magentaDashes(bench.pages[1]), 47u);  // nozzle 30 needs a second cleaning
    EXPECT_EQ(magentaDashes(bench.pages[2]), 48u);
}

// ---- PG adjustment ----

TEST(CheckAdjustClosedLoop, PgPatternLeansUntilTheGapIsSetAtEveryPointTheCarriageIsMovedTo) {
    Bench bench(360);  // an A3+ sheet: the pattern's motifs reach 12.7 inches across
    ASSERT_TRUE(bench.options.deviations.Set("pg.main-left=-3", nullptr));
    ASSERT_TRUE(bench.options.deviations.Set("pg.sub-right=3", nullptr));
    // Each move asks for the PG lever first; by then the carriage stands at
    // the point of the move before, where the technician has set the gap.
    int set = 0;
    auto technician = [&](vp::Printer&, const std::string&, const std::string& text) {
        if (text.find("PG lever") != std::string::npos && bench.engine->SetPlatenGap(nullptr)) ++set;
    };
    auto lean = [](const vp::Image& p) {
        // The first bar of the first row's left motif.
        // (Its 96 lines of 1/180 inch: 192 rows at 360 dpi; the next row overlaps it.)
        const auto rows = RowSpans(p, {0, 60, 200, p.height}, InkLike(vp::kBlack), 4);
        EXPECT_FALSE(rows.empty());
        return rows.empty()
                   ? 99.0
                   : Slant(p, {0, rows.front().begin, 60, rows.front().begin + 192}, InkLike(vp::kBlack)).value_or(99);
    };
    RunOps(bench,
           {"pg-print", "pg-move", "main_right", "pg-move", "main_left", "pg-move", "sub_right", "pg-move", "sub_left",
            "pg-move", "center", "pg-finish", "pg-print"},
           technician);
    EXPECT_EQ(set, 4);
    ASSERT_EQ(bench.pages.size(), 2u);
    EXPECT_LT(lean(bench.pages[0]), -0.05);  // main shaft low on the left: the carriage tilts the other way
    EXPECT_NEAR(lean(bench.pages[1]), 0.0, 1e-9);
}

}  // namespace
