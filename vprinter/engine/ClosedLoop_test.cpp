// Closed loops at engine level: a printer with a hidden error prints the
// adjustment pattern, the answer is read off the page, stored as the program
// stores it, and the next print comes out right.
#include <gtest/gtest.h>

#include <cmath>

#include "link/VexRaster.h"
#include "link/VexRemoteComm.h"
#include "service/VexFactory.h"
#include "vprinter/engine/PrintEngine.h"
#include "vprinter/engine/testing/EngineTesting.h"
#include "vprinter/engine/testing/PageAnalysis.h"
#include "vprinter/engine/testing/PatternJobs.h"
#include "vprinter/engine/testing/PatternReading.h"

namespace vp {
namespace {

using namespace vp::testing;

class ClosedLoop : public ::testing::Test {
protected:
    void Start(double widthMm, double heightMm, int dpi) {
        options.page = PageSetup{widthMm, heightMm, dpi};
        engine = std::make_unique<PrintEngine>(machine, options);
        engine->SetPageHook([this](int, const PageRenderer& p) { page = p.Compose(); });
    }
    // Runs a job and returns the last page it ejected.
    Image Print(const std::function<void()>& compose) {
        page = Image();
        const auto job = Wire(compose);
        EXPECT_EQ(Drive(*engine, job), job.size()) << engine->RefusalReason();
        EXPECT_FALSE(page.Null());
        return page;
    }
    int Px(double master) const { return static_cast<int>(std::lround(Pixels(master, options.page.previewDpi))); }

    FakeMachine machine;
    EngineOptions options;
    std::unique_ptr<PrintEngine> engine;
    Image page;
};

TEST_F(ClosedLoop, BiDPatternShowsTheTrueOffsetAndTheStoredValueStraightensTheReturnPass) {
    struct Case {
        int dotKind, vsd;
        int trueBlack, trueColor;
    };
    for (const Case c : {Case{10, 0, 2, -2}, Case{11, 1, -2, 0}, Case{13, 3, 0, 2}}) {
        SCOPED_TRACE(c.dotKind);
        options.deviations = {};
        options.deviations.bid[0][static_cast<std::size_t>(c.vsd)] = c.trueBlack;
        options.deviations.bid[1][static_cast<std::size_t>(c.vsd)] = c.trueColor;
        machine.eeprom.fill(0);
        Start(180, 70, 720);
        const auto k = static_cast<std::uint8_t>(c.dotKind);
        Image first = Print([k] {
            ComposeBidPattern(k, 0, 0);
            svc::SendEndOfJob(svc::JobStream());
        });
        const auto blackOffsets = BidTrialOffsets(first, true, 720);
        const auto colorOffsets = BidTrialOffsets(first, false, 720);
        ASSERT_EQ(blackOffsets.size(), 3u);
        ASSERT_EQ(colorOffsets.size(), 3u);
        // Each step of 1/1440 inch moves the return pass half a pixel at 720 dpi.
        for (int t = 0; t < 3; ++t) {
            EXPECT_DOUBLE_EQ(blackOffsets[static_cast<std::size_t>(t)], -(kBidTrialOffsets[t] - c.trueBlack) * 0.5);
            EXPECT_DOUBLE_EQ(colorOffsets[static_cast<std::size_t>(t)], -(kBidTrialOffsets[t] - c.trueColor) * 0.5);
        }
        const int black = kBidTrialOffsets[StraightTrial(blackOffsets)];
        const int color = kBidTrialOffsets[StraightTrial(colorOffsets)];
        EXPECT_EQ(black, c.trueBlack);
        EXPECT_EQ(color, c.trueColor);

        // Stored as the program stores it; the middle trial is now the straight one.
        Drive(*engine, Wire([&] {
                  svc::Factory().SetBidValue(1, k, black);
                  svc::Factory().SetBidValue(0, k, color);
              }));
        Image second = Print([&] {
            ComposeBidPattern(k, black, color);
            svc::SendEndOfJob(svc::JobStream());
        });
        EXPECT_EQ(BidTrialOffsets(second, true, 720)[1], 0.0);
        EXPECT_EQ(BidTrialOffsets(second, false, 720)[1], 0.0);
    }
}

TEST_F(ClosedLoop, PfPatternClosesItsJointAtTheTrueErrorAndTheStoredValueClosesTheCheckPattern) {
    options.deviations.pf = 3;
    machine.eeprom[0x77] = 0;
    Start(100, 160, 720);
    const Image pattern = Print([] {
        ComposePfPattern();
        svc::SendEndOfJob(svc::JobStream());
    });
    const std::vector<int> gaps = PfJoints(pattern, 720);
    ASSERT_EQ(gaps.size(), 9u);
    const int closed = Px(kPfClosedGap);
    int best = 0;
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i - 4);
        if (std::abs(gaps[static_cast<std::size_t>(i)] - closed) < std::abs(gaps[static_cast<std::size_t>(best)] - closed)) best = i;
    }
    EXPECT_EQ(gaps[static_cast<std::size_t>(best)], closed);
    // A longer feed opens the joint, a shorter one overlaps it.
    EXPECT_GT(gaps[8], closed);
    EXPECT_LT(gaps[0], closed);
    const int answer = best - 4;
    EXPECT_EQ(answer, 3);

    // Written to the EEPROM (no command follows); in use from the next start.
    machine.eeprom[0x77] = static_cast<std::uint8_t>(answer);
    engine->Reset();
    const Image check = Print([] {
        ComposePfCheckPattern();
        svc::SendEndOfJob(svc::JobStream());
    });
    const std::vector<int> after = PfJoints(check, 720);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0], closed);
}

TEST_F(ClosedLoop, FirstDotLineShowsTheOffsetAndTheWrittenValueBringsItToTheEdge) {
    options.deviations.firstDot = 36;
    Start(40, 30, 1440);
    const Image before = Print([] { ComposeFirstDotPattern(); });
    const auto margin = LeftMargin(before, WholePage(before), InkLike(kBlack));
    ASSERT_TRUE(margin.has_value());
    // 1/2880 inch a step: two steps a pixel at 1440 dpi.
    const int steps = *margin * 2;
    EXPECT_EQ(steps, 36);
    machine.eeprom[0x68] = static_cast<std::uint8_t>(-steps);
    Drive(*engine, Wire([] { svc::Factory().ApplySettings(); }));
    const Image after = Print([] { ComposeFirstDotPattern(); });
    EXPECT_EQ(LeftMargin(after, WholePage(after), InkLike(kBlack)), 0);
}

TEST_F(ClosedLoop, HeadAngleLeverSlantsBarsUntilTurnedBackToZero) {
    options.deviations.headAngle = 4;
    Start(200, 60, 360);
    auto slant = [&](const Image& p) {
        // The left edge of the gray bars, 1/2 inch in from the sheet's edge.
        // (The label's marks above them are grey too.)
        const auto rows = RowSpans(p, {0, 0, 40, p.height}, InkLike(kGray, 60), 8);
        EXPECT_EQ(rows.size(), 2u);
        return rows.empty() ? 0.0 : Slant(p, {0, rows.back().begin, 40, rows.back().end}, InkLike(kGray, 60)).value_or(99);
    };
    const Image tilted = Print([] {
        ComposeHeadAngularPattern();
        svc::SendEndOfJob(svc::JobStream());
    });
    EXPECT_NEAR(slant(tilted), 4.0 / 16, 0.02);
    std::string error;
    EXPECT_FALSE(engine->TurnHeadAngleLever(0, &error));  // carriage at home: out of reach
    Drive(*engine, Wire([] {
              svc::Factory().LeaveHome();
              svc::Factory().MoveCarriage(3, 2900, 0);
          }));
    ASSERT_TRUE(engine->TurnHeadAngleLever(0, &error)) << error;
    Drive(*engine, Wire([] { svc::Factory().CarriageHome(); }));
    const Image straight = Print([] {
        ComposeHeadAngularPattern();
        svc::SendEndOfJob(svc::JobStream());
    });
    EXPECT_NEAR(slant(straight), 0.0, 1e-9);
}

TEST_F(ClosedLoop, PixelShiftLinesShowTheirShiftLessTheStoredValue) {
    options.deviations.shift = {2, -3, 0, 5, -1, 1};
    for (int i = 0; i < 6; ++i) machine.eeprom[0x97 + i] = 0;
    machine.eeprom[0x98] = 0xFF;  // line B stores -1
    Start(100, 80, 1440);
    auto straight = [&](const Image& p) {
        std::vector<int> answers;
        const int left = Px(kShiftFirstCandidate) - 40;
        const int right = Px(kShiftFirstCandidate + 11 * kShiftCandidatePitch);
        const auto blackBands = RowSpans(p, {left, 0, right, p.height}, InkLike(kBlack));
        static constexpr int kInks[6] = {kCyan, kMagenta, kYellow, kLightCyan, kLightMagenta, kGray};
        EXPECT_EQ(blackBands.size(), 6u);
        for (std::size_t line = 0; line < blackBands.size() && line < 6; ++line) {
            const Span& b = blackBands[line];
            const auto refs = ColumnSpans(p, {left, b.begin, right, b.end}, InkLike(kBlack));
            const auto ticks = ColumnSpans(p, {left, b.end, right, b.end + b.Size()}, InkLike(kInks[line], 30));
            EXPECT_EQ(refs.size(), 11u);
            EXPECT_EQ(ticks.size(), 11u);
            int answer = 99;
            for (std::size_t c = 0; c < refs.size() && c < ticks.size(); ++c)
                if (refs[c].begin == ticks[c].begin) answer = static_cast<int>(c) - 5;
            answers.push_back(answer);
        }
        return answers;
    };
    const Image pattern = Print([] { ComposePixelShiftPattern(); });
    EXPECT_EQ(straight(pattern), (std::vector<int>{2, -2, 0, 5, -1, 1}));
    // Stored as read (plus what was stored), then taken into use at the next start.
    const std::vector<int> read = straight(pattern);
    for (int i = 0; i < 6; ++i)
        machine.eeprom[0x97 + i] = static_cast<std::uint8_t>(static_cast<std::int8_t>(machine.eeprom[0x97 + i]) + read[static_cast<std::size_t>(i)]);
    engine->Reset();
    EXPECT_EQ(straight(Print([] { ComposePixelShiftPattern(); })), (std::vector<int>(6, 0)));
}

TEST_F(ClosedLoop, CutPatternIsCutThroughTheTrueMarkAndTheStoredValueCutsAtTheNominalPlace) {
    options.deviations.cut = 24;
    options.rollPaper = true;
    machine.eeprom[0x70] = 0;
    Start(150, 120, 360);
    const Image cut = Print([] { ComposeCutPattern(); });
    // Each mark's visible length; the one cut in half is the answer.
    int entry = 0;
    const int full = Px(16 * 40);
    for (int k = 1; k <= 17; ++k) {
        const int x = Px(kCutMarkLeft + (17 - k) * kCutMarkPitch);
        const auto rows = RowSpans(cut, {x - 2, 0, x + 4, cut.height}, InkLike(kBlack));
        const int visible = rows.empty() ? 0 : rows.back().Size();
        if (visible == full / 2) entry = k;
        if (k < 6) {
            EXPECT_LT(visible, full / 2) << k;
        }
        if (k > 6) {
            EXPECT_GT(visible, full / 2) << k;
        }
    }
    ASSERT_EQ(entry, 6);
    const int value = CutEntryValue(entry);
    EXPECT_EQ(value, 24);
    Drive(*engine, Wire([value] { svc::RemoteComm().SetCutPosition(static_cast<std::int8_t>(value)); }));
    EXPECT_EQ(machine.eeprom[0x70], 24);
    // An ordinary page now ends 72/360 inch above the form feed.
    const Image normal = Print([] {
        auto& s = svc::JobStream();
        svc::SendJobHeader(s, 10, 1, 10, 1);
        svc::SendVerticalMove(s, 720);
        svc::SendEndOfJob(s);
    });
    EXPECT_EQ(PageBottom(normal), Px((720 - 72) * 40));
}

TEST_F(ClosedLoop, PwPrintPutsTheTrueValuesFiveMillimetresFromEachEdge) {
    options.deviations.pwTop = 6;
    options.deviations.pwBottom = -4;
    options.deviations.pwLeft = 10;
    options.deviations.pwRight = -2;
    Start(210, 297, 360);
    const Image p = Print([] { ComposePwPrint(); });
    const double fiveMm = 5.0 / 25.4 * 360;
    const PixelTest line = InkLike(kBlack);
    // Sides: one line per row, each 1/90 inch further right; the one nearest 5 mm wins.
    auto nearest = [&](const std::vector<Span>& spans, auto distance) {
        int best = 0;
        for (int i = 1; i < static_cast<int>(spans.size()); ++i)
            if (std::abs(distance(spans[static_cast<std::size_t>(i)])) < std::abs(distance(spans[static_cast<std::size_t>(best)]))) best = i;
        return best;
    };
    // The lines run down further than a line of text: the values printed
    // beside them and the frame's bars across are left out.
    const auto left = LineColumnSpans(p, {0, 0, p.width / 4, p.height}, line, Px(14400 / 6));
    const auto right = LineColumnSpans(p, {p.width * 3 / 4, 0, p.width, p.height}, line, Px(14400 / 6));
    ASSERT_EQ(left.size(), 17u);
    ASSERT_EQ(right.size(), 17u);
    EXPECT_EQ(-8 + 2 * nearest(left, [&](const Span& s) { return s.Centre() - fiveMm; }), 10);
    EXPECT_EQ(-8 + 2 * nearest(right, [&](const Span& s) { return p.width - s.Centre() - fiveMm; }), -2);
    // Top and bottom: the frame's staircase of 17 bars, each 42 bytes further
    // right, within the frame's first 8 inches (its second pass follows on
    // the right, where the sheet ends).
    auto bars = [&](int top, int bottom) {
        std::vector<double> centres;
        for (const Span& bar : ColumnSpans(p, {0, top, Px(8 * 14400), bottom}, line)) {
            const auto rows = RowSpans(p, {bar.begin, top, bar.end, bottom}, line);
            centres.push_back(rows.empty() ? -1e9 : rows.front().Centre());
        }
        return centres;
    };
    const auto topBars = bars(0, Px(14400) / 2);
    const auto bottomBars = bars(p.height - Px(14400) / 2, p.height);
    ASSERT_EQ(topBars.size(), 17u);
    ASSERT_EQ(bottomBars.size(), 17u);
    auto pick = [](const std::vector<double>& centres, auto distance) {
        int best = 0;
        for (int i = 1; i < 17; ++i)
            if (std::abs(distance(centres[static_cast<std::size_t>(i)])) < std::abs(distance(centres[static_cast<std::size_t>(best)]))) best = i;
        return best;
    };
    EXPECT_EQ(-16 + 2 * pick(topBars, [&](double y) { return y - fiveMm; }), 6);
    EXPECT_EQ(16 - 2 * pick(bottomBars, [&](double y) { return p.height - y - fiveMm; }), -4);
}

}  // namespace
}  // namespace vp
