// Closed loops at engine level: a printer with a hidden error prints the
// adjustment pattern, the answer is read off the page, stored as the program
// stores it, and the next print comes out right.
#include <algorithm>
#include <gtest/gtest.h>

#include <cmath>

#include "link/VexRaster.h"
#include "link/VexRemoteComm.h"
#include "service/VexFactory.h"
#include "vprinter/engine/PrintEngine.h"
#include "integration/testing/EngineTesting.h"
#include "integration/testing/PageAnalysis.h"
#include "integration/testing/PatternJobs.h"
#include "integration/testing/PatternReading.h"

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
        if (std::abs(gaps[static_cast<std::size_t>(i)] - closed) <
            std::abs(gaps[static_cast<std::size_t>(best)] - closed))
            best = i;
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

TEST_F(ClosedLoop, FirstDotLineShowsTheOffsetAndTheWrittenValueBringsItToItsNominalPlace) {
    // The line belongs 1/20 inch (144 steps of 1/2880 inch) in from the edge;
    // at 1440 dpi a pixel is two steps (an odd step shows as the even one below).
    auto steps = [&](const Image& p) {
        const auto x = LineX(p, WholePage(p), AnyInk(250));
        EXPECT_TRUE(x.has_value());
        // The line is one dot of 1/360 inch: its centre lies 4 steps right of its left edge.
        return x ? static_cast<int>(std::lround(*x * 2)) - 4 : 9999;
    };
    for (const auto& [error, stored] : {std::pair{36, 0}, std::pair{-72, -72}, std::pair{0, -6}, std::pair{-41, 13}}) {
        SCOPED_TRACE(error);
        options.deviations.firstDot = error;
        machine.eeprom[0x68] = static_cast<std::uint8_t>(stored);
        Start(40, 30, 1440);
        const Image before = Print([] { ComposeFirstDotPattern(); });
        // Even the lowest error with the lowest value leaves the line on the sheet.
        const int measured = steps(before);
        EXPECT_EQ(measured, kFirstDotNominal + error + stored);
        // The technician moves the value by the line's distance from its place.
        const int value = stored + kFirstDotNominal - measured;
        EXPECT_EQ(value, -error);
        machine.eeprom[0x68] = static_cast<std::uint8_t>(value);
        Drive(*engine, Wire([] { svc::Factory().ApplySettings(); }));
        EXPECT_EQ(steps(Print([] { ComposeFirstDotPattern(); })), kFirstDotNominal);
    }
}

TEST_F(ClosedLoop, HeadAngleLeverSlantsBarsUntilTurnedBackToZero) {
    options.deviations.headAngle = 4;
    Start(200, 60, 360);
    auto slant = [&](const Image& p) {
        // The left edge of the gray bars, 1/2 inch in from the sheet's edge.
        // (The label's marks above them are grey too.)
        const auto rows = RowSpans(p, {0, 0, 80, p.height}, InkLike(kGray, 60), 8);
        EXPECT_EQ(rows.size(), 2u);
        return rows.empty() ? 0.0
                            : Slant(p, {0, rows.back().begin, 80, rows.back().end}, InkLike(kGray, 60)).value_or(99);
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

TEST_F(ClosedLoop, PixelShiftPatternShowsEachLinesErrorWhateverIsStoredAndTheValueAlignsOtherPrints) {
    options.deviations.shift = {2, -3, 0, 5, -1, 1};
    for (int i = 0; i < 6; ++i) machine.eeprom[0x97 + i] = 0;
    machine.eeprom[0x98] = 0xFF;  // line B stores -1
    Start(100, 80, 1440);
    static constexpr int kInks[6] = {kCyan, kMagenta, kYellow, kLightCyan, kLightMagenta, kGray};
    auto straight = [&](const Image& p) {
        std::vector<int> answers;
        const int left = Px(kShiftFirstCandidate - kPlacementSlack);
        const int right = Px(kShiftFirstCandidate + 11 * kShiftCandidatePitch);
        const auto blackBands = RowSpans(p, {left, 0, right, p.height}, InkLike(kBlack));
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
    // A coarse print (1/360 inch dots, as every other pattern): a black tick and
    // under it each line's tick at the same place; how far each colour stands off.
    auto offsets = [&](const Image& p) {
        std::vector<double> result;
        const auto refs = ColumnSpans(p, WholePage(p), InkLike(kBlack));
        for (const int ink : kInks) {
            const auto ticks = ColumnSpans(p, WholePage(p), InkLike(ink, 30));
            const auto offset = MeanOffset(refs, ticks);
            result.push_back(offset ? *offset * 1440 / options.page.previewDpi : 99);
        }
        return result;
    };
    auto coarse = [] {
        auto& s = svc::JobStream();
        svc::SendJobHeader(s, 10, 1, 10, 1);
        svc::SendRasterResolution(s, 160, 5, 8, 4);
        for (const int ink : {svc::ink::Black, svc::ink::Cyan, svc::ink::Magenta, svc::ink::Yellow, svc::ink::LightCyan,
                              svc::ink::LightMagenta, svc::ink::Gray}) {
            svc::SendRasterHeader(s, static_cast<std::uint8_t>(ink), 1, 2, 8, 8);
            for (int line = 0; line < 8; ++line) {
                svc::RepeatSend(s, 4, 0x00);
                svc::RepeatSend(s, 1, 0xC0);
                svc::RepeatSend(s, 3, 0x00);
            }
            svc::SendLineReturn(s);  // back to the left edge
            svc::SendVerticalMove(s, 16);
        }
        svc::SendEndOfJob(s);
    };
    // The pattern is printed on the full 1/1440 inch grid: the stored values
    // (0, -1, 0, ...) do not enter, each line shows its own error.
    const Image pattern = Print([] { ComposePixelShiftPattern(); });
    const std::vector<int> read = straight(pattern);
    EXPECT_EQ(read, (std::vector<int>{2, -3, 0, 5, -1, 1}));
    EXPECT_EQ(offsets(Print(coarse)), (std::vector<double>{2, -2, 0, 5, -1, 1}));
    // Stored as read, taken into use at the next start: coarse prints line up,
    // and the pattern still shows the values that are stored.
    for (int i = 0; i < 6; ++i) machine.eeprom[0x97 + i] = static_cast<std::uint8_t>(read[static_cast<std::size_t>(i)]);
    engine->Reset();
    EXPECT_EQ(offsets(Print(coarse)), (std::vector<double>(6, 0.0)));
    EXPECT_EQ(straight(Print([] { ComposePixelShiftPattern(); })), read);
}

TEST_F(ClosedLoop, ColourBidReadsTheHeadsErrorWhateverThePixelShiftAndBothEndRightInTheProgramsOrder) {
    // Cyan (line A) and magenta (line B) off by different amounts: the colour
    // Bi-D trial compares magenta forward with cyan on the return pass.
    options.deviations.shift = {4, -3, 0, 0, 0, 0};
    options.deviations.bid[1][0] = 5;
    options.deviations.bid[0][0] = -3;
    machine.eeprom.fill(0);
    Start(180, 70, 1440);
    auto trials = [&](int black, int color) {
        return Print([=] {
            ComposeBidPattern(10, black, color);
            svc::SendEndOfJob(svc::JobStream());
        });
    };
    // Read as a technician with a loupe: the trial value plus how far (in steps
    // of 1/1440 inch, a pixel at 1440 dpi) the return pass still stands right.
    auto read = [&](const Image& p, bool black, int stored) {
        const auto offsets = BidTrialOffsets(p, black, 1440);
        EXPECT_EQ(offsets.size(), 3u);
        if (offsets.size() != 3) return 999;
        const int t = StraightTrial(offsets);
        return stored + kBidTrialOffsets[t] + static_cast<int>(std::lround(offsets[static_cast<std::size_t>(t)]));
    };
    // Bi-D first, with the pixel shift not adjusted yet.
    const Image first = trials(0, 0);
    const int black = read(first, true, 0), color = read(first, false, 0);
    EXPECT_EQ(black, -3);
    EXPECT_EQ(color, 5);
    Drive(*engine, Wire([&] {
        svc::Factory().SetBidValue(1, 10, black);
        svc::Factory().SetBidValue(0, 10, color);
    }));
    // Then the pixel shift: stored, in use from the next start.
    machine.eeprom[0x97] = 4;
    machine.eeprom[0x98] = static_cast<std::uint8_t>(-3);
    engine->Reset();
    // Both still right: the middle trial is straight for both heads.
    const Image after = trials(black, color);
    EXPECT_EQ(BidTrialOffsets(after, true, 1440)[1], 0.0);
    EXPECT_EQ(BidTrialOffsets(after, false, 1440)[1], 0.0);
}

TEST_F(ClosedLoop, ClogsLeaveTheirDashesOutOfTheNozzleCheckUntilEnoughCleanings) {
    Start(210, 120, 720);  // a dash is 1/240 inch high: 3 pixels
    auto nozzleCheck = [&] {
        return Print([] {
            svc::RemoteComm().PrintNozzleCheck();
            svc::SendEndOfJob(svc::JobStream());
        });
    };
    // The dashes of one column (an inch wide each, black first, cyan third), top to bottom.
    auto dashes = [&](const Image& p, int column, int ink) {
        const int left = Px(14400 * column), right = Px(14400 * (column + 1));
        std::vector<int> rows;
        for (const Span& s : RowSpans(p, {left, 0, right, p.height}, InkLike(ink))) rows.push_back(s.begin);
        return rows;
    };
    const Image clean = nozzleCheck();
    const auto allBlack = dashes(clean, 0, kBlack);
    ASSERT_GE(allBlack.size(), 48u);  // (the heading's marks above count as black too)
    ASSERT_EQ(dashes(clean, 2, kCyan).size(), 48u);
    const std::size_t heading = allBlack.size() - 48;

    std::string error;
    Deviations d = engine->Deviation();
    ASSERT_TRUE(d.Set("clog.black", "5,17:2", &error)) << error;
    ASSERT_TRUE(d.Set("clog.cyan=48", &error)) << error;
    engine->SetDeviations(d);
    auto clean1 = [&] {
        Drive(*engine, Wire([] { svc::Factory().StartCleaning(3); }));
        engine->Advance(61000);
    };
    auto black = dashes(nozzleCheck(), 0, kBlack);
    ASSERT_EQ(black.size(), allBlack.size() - 2);
    // The gaps are nozzles 5 and 17 (dash n is the nth from the top).
    std::vector<int> expected = allBlack;
    expected.erase(expected.begin() + static_cast<long>(heading + 16));
    expected.erase(expected.begin() + static_cast<long>(heading + 4));
    const int shift = black.front() - expected.front();  // the sheet advanced the same way
    for (int& row : expected) row += shift;
    EXPECT_EQ(black, expected);
    EXPECT_EQ(dashes(nozzleCheck(), 2, kCyan).size(), 47u);

    clean1();  // nozzle 5 and cyan 48 fire again, nozzle 17 needs one more
    EXPECT_EQ(engine->Deviation().Show("clog.black"), "17");
    EXPECT_EQ(dashes(nozzleCheck(), 0, kBlack).size(), allBlack.size() - 1);
    EXPECT_EQ(dashes(nozzleCheck(), 2, kCyan).size(), 48u);
    clean1();
    EXPECT_EQ(dashes(nozzleCheck(), 0, kBlack).size(), allBlack.size());
    EXPECT_EQ(engine->Deviation().Summary(), "none");
}

TEST_F(ClosedLoop, PlatenGapTiltsTheInclinedCarriageBarsUntilSetAtEachPoint) {
    options.deviations.pgMainLeft = 4;
    options.deviations.pgSubRight = -2;
    Start(329, 80, 360);
    // The lean of the first bar of a motif (left, middle, right) in the first row.
    auto leans = [&](const Image& p) {
        std::vector<double> result;
        // (The rows overlap: each block is 96 lines of 1/180 inch, the rows 96/360 inch apart.)
        // The label above is text, in black too: the bars are the first band
        // taller than a line of text.
        const auto rows = RowSpans(p, WholePage(p), InkLike(kBlack), 4);
        const auto bars = std::find_if(rows.begin(), rows.end(),
                                       [&](const auto& r) { return r.end - r.begin > Px(PrintEngine::kLineSpacing); });
        EXPECT_NE(bars, rows.end());
        if (bars == rows.end()) return result;
        const int top = bars->begin, bottom = top + Px(96 * 80);
        for (const int left : kInclinedMotifLeft) {
            const Box box{Px(left), top, Px(left + kInclinedMotifWidth / 6 + 2 * 720 + 14400 / 10), bottom};
            result.push_back(Slant(p, box, InkLike(kBlack)).value_or(99));
        }
        return result;
    };
    // Main shaft 4 steps high at the left, sub shaft 2 low at the right: the
    // carriage tilts by (main - sub) across the sheet, a line leaning tilt/32.
    const auto tilted = leans(Print([] {
        ComposeInclinedCarriagePattern();
        svc::SendEndOfJob(svc::JobStream());
    }));
    ASSERT_EQ(tilted.size(), 3u);
    const double width = 329 / 25.4 * 14400;
    for (int m = 0; m < 3; ++m) {
        const double across = (kInclinedMotifLeft[m] + kFirstDotNominal * 5) / width;
        EXPECT_NEAR(tilted[static_cast<std::size_t>(m)], options.deviations.PlatenTilt(across) / 32, 0.01) << m;
    }
    EXPECT_GT(tilted[0], 0.1);
    EXPECT_GT(tilted[2], 0.05);

    // The PG adjustment: the carriage to each point, the gap set right there.
    std::string error;
    EXPECT_FALSE(engine->SetPlatenGap(&error));  // at home
    Drive(*engine, Wire([] { svc::Factory().LeaveHome(); }));
    engine->Advance(1000);
    for (const int point : {630, 2580, 1020, 2180}) {
        Drive(*engine, Wire([point] { svc::Factory().MoveCarriage(16, static_cast<std::int16_t>(point), 0); }));
        engine->Advance(1000);
        EXPECT_TRUE(engine->SetPlatenGap(&error)) << point << ": " << error;
    }
    Drive(*engine, Wire([] { svc::Factory().MoveCarriage(16, 1580, 0); }));
    engine->Advance(1000);
    EXPECT_FALSE(engine->SetPlatenGap(&error));  // the centre is no adjustment point
    EXPECT_NE(error.find("no PG adjustment point"), std::string::npos) << error;
    Drive(*engine, Wire([] { svc::Factory().CarriageHome(); }));
    EXPECT_EQ(engine->Deviation().Summary(), "none");
    EXPECT_EQ(leans(Print([] {
                  ComposeInclinedCarriagePattern();
                  svc::SendEndOfJob(svc::JobStream());
              })),
              (std::vector<double>(3, 0.0)));
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
        // (0x68 holds 0: the print stands at the first dot's nominal place.)
        const int x = Px(kCutMarkLeft + (17 - k) * kCutMarkPitch + kFirstDotNominal * 5);
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
            if (std::abs(distance(spans[static_cast<std::size_t>(i)])) <
                std::abs(distance(spans[static_cast<std::size_t>(best)])))
                best = i;
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
            if (std::abs(distance(centres[static_cast<std::size_t>(i)])) <
                std::abs(distance(centres[static_cast<std::size_t>(best)])))
                best = i;
        return best;
    };
    EXPECT_EQ(-16 + 2 * pick(topBars, [&](double y) { return y - fiveMm; }), 6);
    EXPECT_EQ(16 - 2 * pick(bottomBars, [&](double y) { return p.height - y - fiveMm; }), -4);
}

}  // namespace
}  // namespace vp
