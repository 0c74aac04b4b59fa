// PG adjustment against the recording fake: the lever prompt, leaving home
// once per visit, the carriage-at-home flag and the printed pattern.
#include "service/VexPGAdjust.h"

#include "link/testing/FakeOutside.h"
#include "service/ValueFrame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace svc {
namespace {

using fake::Fake;
using fake::Fn;
using fake::ScriptedHost;
using Bytes = std::vector<std::uint8_t>;

const Bytes kCarriageHome{0x1B, 0x7C, 0x00, 0x05, 0x00, 0x06, 0x16, 0x81, 0x7E, 0xC0};
const Bytes kLeaveHomeMove{0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xC4, 0x3B, 0x62, 0x14, 0xFA, 0xFF, 0x00};
const Bytes kLeaveHomeRelease{0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xC5, 0x3A, 0xE2, 0x18, 0x00, 0xFA, 0x00};
Bytes PGMove(std::int16_t pos) {
    return {0x1B,
            0x7C,
            0x00,
            0x09,
            0x00,
            0x06,
            0x16,
            0xC4,
            0x3B,
            0x62,
            0x10,
            static_cast<std::uint8_t>(pos & 0xFF),
            static_cast<std::uint8_t>(pos >> 8),
            0x00};
}

class PGAdjustTest : public ::testing::Test {
protected:
    void SetUp() override { Fake().Reset(); }
    ValueFrame frame;
    ScriptedHost host;
};

TEST_F(PGAdjustTest, FirstMoveLeavesHomeThenPointToPoint) {
    PGAdjustMoveMainRightPosPnlClick(frame);
    ASSERT_EQ(host.Boxes().size(), 1u);
    EXPECT_EQ(host.Boxes()[0].text, "Set the PG lever to \"+\" position.");
    EXPECT_EQ(host.Boxes()[0].caption, "Information");
    EXPECT_EQ(host.Boxes()[0].icon, BoxIcon::Information);
    EXPECT_EQ(host.Boxes()[0].buttons, BoxButtons::OkCancel);
    EXPECT_EQ(Fake().FactorySends(), (std::vector<Bytes>{kLeaveHomeMove, kLeaveHomeRelease, PGMove(630)}));
    EXPECT_EQ(frame.Flag(WindowFlag::CarriageAtHome), 0);
    EXPECT_EQ(frame.Memo(), "The carriage has moved to adjustment position of the main shaft right.");

    Fake().ClearCalls();
    PGAdjustMoveMainLeftPosPnlClick(frame);
    EXPECT_EQ(Fake().FactorySends(), (std::vector<Bytes>{PGMove(2580)}));
    EXPECT_EQ(frame.Memo(), "The carriage has moved to adjustment position of the main shaft left.");
}

TEST_F(PGAdjustTest, EveryPointHasItsPositionAndText) {
    const std::vector<std::pair<void (*)(FeatureFrame&), std::pair<std::int16_t, std::string>>> cases{
        {PGAdjustMoveMainRightPosPnlClick,
         {630, "The carriage has moved to adjustment position of the main shaft right."}},
        {PGAdjustMoveMainLeftPosPnlClick,
         {2580, "The carriage has moved to adjustment position of the main shaft left."}},
        {PGAdjustMoveSubRightPosPnlClick,
         {1020, "The carriage has moved to adjustment position of the sub shaft right."}},
        {PGAdjustMoveSubLeftPosPnlClick,
         {2180, "The carriage has moved to adjustment position of the sub shaft left."}},
        {PGAdjustMoveCenterPosPnlClick, {1580, "The carriage has moved to jig setting position."}},
    };
    frame.SetFlag(WindowFlag::CarriageAtHome, 0);
    for (const auto& [click, expected] : cases) {
        Fake().ClearCalls();
        click(frame);
        EXPECT_EQ(Fake().FactorySends(), (std::vector<Bytes>{PGMove(expected.first)}));
        EXPECT_EQ(frame.Memo(), expected.second);
    }
}

TEST_F(PGAdjustTest, CancelOnTheLeverPromptSendsNothing) {
    host.QueueAnswers({BoxAnswer::Cancel});
    PGAdjustMoveCenterPosPnlClick(frame);
    EXPECT_TRUE(Fake().Calls().empty());
    EXPECT_TRUE(frame.WindowEnabled());
    EXPECT_FALSE(frame.Hourglass());
    EXPECT_EQ(frame.Flag(WindowFlag::CarriageAtHome), 1);
}

TEST_F(PGAdjustTest, FinishSendsHomeEvenWhenAlreadyThere) {
    PGAdjustEndPnlClick(frame);
    EXPECT_EQ(Fake().FactorySends(), (std::vector<Bytes>{kCarriageHome}));
    EXPECT_EQ(frame.Memo(), "The carriage has moved to home position.");
    EXPECT_TRUE(host.Boxes().empty());
    PGAdjustMoveSubLeftPosPnlClick(frame);
    PGAdjustEndPnlClick(frame);
    EXPECT_EQ(frame.Flag(WindowFlag::CarriageAtHome), 1);
}

TEST_F(PGAdjustTest, OtherPanelAfterAMoveSendsTheCarriageHomeOnce) {
    PGAdjustMoveSubRightPosPnlClick(frame);
    Fake().ClearCalls();
    EXPECT_TRUE(frame.HideAllPanels(0));
    EXPECT_TRUE(frame.HideAllPanels(0));
    EXPECT_EQ(Fake().FactorySends(), (std::vector<Bytes>{kCarriageHome}));
    EXPECT_EQ(frame.Flag(WindowFlag::CarriageAtHome), 1);
}

TEST_F(PGAdjustTest, FailuresKeepTheFlagOfTheLastGoodStep) {
    {
        SCOPED_TRACE("leaving home fails: still at home");
        Fake().SetResultOnCall(Fn::SendDataChannel, 2, 0x2000);  // the second half of LeaveHome
        PGAdjustMoveMainRightPosPnlClick(frame);
        EXPECT_EQ(frame.Flag(WindowFlag::CarriageAtHome), 1);
        EXPECT_EQ(frame.MemoLines()[0], "Communication error occurred.");
    }
    {
        SCOPED_TRACE("the move fails after leaving home: away from home");
        Fake().Reset();
        ValueFrame f;
        Fake().SetResultOnCall(Fn::SendDataChannel, 3, 0x2000);
        PGAdjustMoveMainRightPosPnlClick(f);
        EXPECT_EQ(f.Flag(WindowFlag::CarriageAtHome), 0);
        EXPECT_EQ(f.ErrorReports(), 1);
    }
    {
        SCOPED_TRACE("home fails: the flag stays clear");
        Fake().Reset();
        ValueFrame f;
        f.SetFlag(WindowFlag::CarriageAtHome, 0);
        Fake().SetResult(Fn::SendDataChannel, 0x2000);
        PGAdjustEndPnlClick(f);
        EXPECT_EQ(f.Flag(WindowFlag::CarriageAtHome), 0);
        EXPECT_EQ(f.ErrorReports(), 1);
    }
    {
        SCOPED_TRACE("the printer does not become ready before the move");
        Fake().Reset();
        ValueFrame f;
        Fake().SetStatus(fake::MakeStatus(0, 4));
        PGAdjustMoveMainRightPosPnlClick(f);
        EXPECT_TRUE(Fake().FactorySends().empty());
        EXPECT_EQ(f.MemoLines()[0], "Paper jam error.");
    }
}

TEST_F(PGAdjustTest, PrintSendsTheInclinedPatternOnAPageAndSetsTheFlag) {
    frame.SetFlag(WindowFlag::CarriageAtHome, 0);
    PGAdjustPrintBtnClick(frame);
    EXPECT_EQ(frame.Flag(WindowFlag::CarriageAtHome), 1);
    EXPECT_EQ(frame.Memo(), "The PG adjustment pattern print has completed.");

    const Bytes all = Fake().AcceptedBytes();
    // The label with its NUL, then the job header.
    const std::string label = "Inclined Carridge\r\n";
    Bytes head(label.begin(), label.end());
    head.push_back(0x00);
    const Bytes header{0x1B, 0x40, 0x1B, 0x28, 0x47, 0x01, 0x00, 0x01, 0x1B, 0x28, 0x55, 0x01, 0x00, 0x0A, 0x1B, 0x55,
                       0x01, 0x1B, 0x28, 0x65, 0x02, 0x00, 0x00, 0x12, 0x1B, 0x28, 0x4B, 0x02, 0x00, 0x00, 0x02};
    head.insert(head.end(), header.begin(), header.end());
    ASSERT_GT(all.size(), head.size());
    EXPECT_EQ(Bytes(all.begin(), all.begin() + static_cast<long>(head.size())), head);

    // Six blocks: resolution, header, 96 lines of 52 bytes, line return, no move, bidirectional.
    const Bytes blockHead{0x1B, 0x28, 0x44, 0x04, 0x00, 0x68, 0x01, 0x02, 0x01,
                          0x1B, 0x69, 0x00, 0x01, 0x02, 0x76, 0x04, 0x60, 0x00};
    const Bytes blockTail{0x1B, 0x3C, 0x0D, 0x1B, 0x28, 0x76, 0x02, 0x00, 0x00, 0x00, 0x1B, 0x55, 0x00};
    auto line = [](std::array<bool, 6> motif) {
        Bytes l;
        for (int m = 0; m < 3; ++m) {
            if (m > 0)
                for (std::uint8_t counter : {0x84, 0x84, 0x84, 0x85}) l.insert(l.end(), {counter, 0x00});
            for (bool inked : motif) l.insert(l.end(), {0xF9, static_cast<std::uint8_t>(inked ? 0xCC : 0x00)});
        }
        return l;
    };
    const std::array<std::array<bool, 6>, 6> motifs{{{1, 0, 1, 0, 0, 0},
                                                     {0, 0, 0, 1, 0, 1},
                                                     {0, 1, 0, 0, 0, 0},
                                                     {0, 0, 0, 0, 1, 0},
                                                     {1, 0, 1, 0, 0, 0},
                                                     {0, 0, 0, 1, 0, 1}}};
    Bytes expected = head;
    for (int b = 0; b < 6; ++b) {
        expected.insert(expected.end(), blockHead.begin(), blockHead.end());
        const Bytes l = line(motifs[static_cast<std::size_t>(b)]);
        ASSERT_EQ(l.size(), 52u);
        for (int n = 0; n < 96; ++n) expected.insert(expected.end(), l.begin(), l.end());
        expected.insert(expected.end(), blockTail.begin(), blockTail.end());
        if (b % 2 == 1) expected.insert(expected.end(), {0x1B, 0x28, 0x76, 0x02, 0x00, 0x60, 0x00});
    }
    expected.insert(expected.end(), {0x1B, 0x28, 0x76, 0x02, 0x00, 0x6E, 0x00, 0x1B, 0x40, 0x0C});
    EXPECT_EQ(all, expected);
}

}  // namespace
}  // namespace svc
