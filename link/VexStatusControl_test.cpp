#include "link/VexStatusControl.h"

#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

namespace svc {
namespace {

using fake::Fake;
using fake::Fn;

class StatusRecordTest : public ::testing::Test {
protected:
    void SetUp() override { Fake().Reset(); }
    StatusRecord record;
};

TEST_F(StatusRecordTest, DecodesUpperCaseHexLevelsUpToOneHundred) {
    auto r = fake::MakeStatus(state::Ready, 0, {0, 1, 50, 99, 100, 10, 15});
    fake::SetInkCode(r, 1, '4', 'B');  // 75
    Fake().SetStatus(r);
    ASSERT_EQ(record.ReadStatus(), rc::Ok);
    const InkLevels inks = record.Inks();
    EXPECT_EQ(inks.valid, 1);
    EXPECT_EQ(inks.level, (std::array<std::int16_t, 7>{0, 75, 50, 99, 100, 10, 15}));
    EXPECT_EQ(record.PrinterState(), state::Ready);
    // Flag and levels are little-endian words in bytes 36-51.
    EXPECT_EQ(record.Bytes()[36], 1);
    EXPECT_EQ(record.Bytes()[37], 0);
    EXPECT_EQ(record.Bytes()[40], 75);
}

TEST_F(StatusRecordTest, UnreadableCodesGiveMinusOne) {
    auto r = fake::MakeStatus(state::Ready);
    fake::SetInkCode(r, 0, '6', '5');  // 101
    fake::SetInkCode(r, 1, 'F', 'F');
    fake::SetInkCode(r, 2, '4', 'b');  // lower case
    fake::SetInkCode(r, 3, 'G', '0');
    fake::SetInkCode(r, 4, 0x00, 0x00);
    Fake().SetStatus(r);
    ASSERT_EQ(record.ReadStatus(), rc::Ok);
    const InkLevels inks = record.Inks();
    EXPECT_EQ(inks.valid, 1);  // unreadable is still a reading, not a special code
    EXPECT_EQ(inks.level, (std::array<std::int16_t, 7>{-1, -1, -1, -1, -1, 100, 100}));
    EXPECT_EQ(record.Bytes()[38], 0xFF);
    EXPECT_EQ(record.Bytes()[39], 0xFF);
}

TEST_F(StatusRecordTest, SpecialCodesClearTheFlagAndKeepThePreviousLevel) {
    Fake().SetStatus(fake::MakeStatus(state::Ready, 0, {10, 20, 30, 40, 50, 60, 70}));
    ASSERT_EQ(record.ReadStatus(), rc::Ok);

    auto r = fake::MakeStatus(state::Ready, 0, {11, 21, 31, 41, 51, 61, 71});
    fake::SetInkCode(r, 0, 'C', 'I');
    fake::SetInkCode(r, 2, 'N', 'A');
    fake::SetInkCode(r, 4, 'R', 'E');
    fake::SetInkCode(r, 6, 'W', 'E');
    Fake().SetStatus(r);
    ASSERT_EQ(record.ReadStatus(), rc::Ok);
    const InkLevels inks = record.Inks();
    EXPECT_EQ(inks.valid, 0);
    EXPECT_EQ(inks.level, (std::array<std::int16_t, 7>{10, 21, 30, 41, 50, 61, 70}));
}

TEST_F(StatusRecordTest, SpecialCodeBeforeAnyReadingLeavesZero) {
    auto r = fake::MakeStatus(state::Ready, 0, {-1, 5, 5, 5, 5, 5, 5});
    Fake().SetStatus(r);
    ASSERT_EQ(record.ReadStatus(), rc::Ok);
    EXPECT_EQ(record.Inks().level[0], 0);
    EXPECT_EQ(record.Inks().valid, 0);
}

TEST_F(StatusRecordTest, LevelsComeOnlyFromReadStatus) {
    Fake().SetStatus(fake::MakeStatus(state::Ready, 0, {10, 20, 30, 40, 50, 60, 70}));
    ASSERT_EQ(record.ReadStatus(), rc::Ok);

    // The library fills the whole record, the program's part included; neither
    // a plain inquiry nor a read may lose the decoded levels to that.
    auto r = fake::MakeStatus(state::Busy, 0, {-1, -1, -1, -1, -1, -1, -1});
    for (int i = 36; i < 52; ++i) r[i] = 0xEE;
    Fake().SetStatus(r);
    ASSERT_EQ(record.Inquire(), rc::Ok);
    EXPECT_EQ(record.PrinterState(), state::Busy);
    EXPECT_EQ(record.Inks().level, (std::array<std::int16_t, 7>{10, 20, 30, 40, 50, 60, 70}));
    EXPECT_EQ(record.Inks().valid, 1);
    ASSERT_EQ(record.ReadStatus(), rc::Ok);
    EXPECT_EQ(record.Inks().level, (std::array<std::int16_t, 7>{10, 20, 30, 40, 50, 60, 70}));
    EXPECT_EQ(record.Inks().valid, 0);
}

TEST_F(StatusRecordTest, FailedInquiryChangesNothing) {
    Fake().SetStatus(fake::MakeStatus(state::Error, kPaperOutError, {33, 33, 33, 33, 33, 33, 33}));
    ASSERT_EQ(record.ReadStatus(), rc::Ok);
    const auto before = record.Bytes();
    Fake().SetStatus(fake::MakeStatus(state::Ready));
    Fake().SetResult(Fn::InquireStatus, 0x2000);
    EXPECT_EQ(record.ReadStatus(), 0x2000);
    EXPECT_EQ(record.Bytes(), before);
    EXPECT_EQ(record.PrinterError(), kPaperOutError);
}

TEST(StatusSingleton, ReadStatusFillsTheProgramWideRecord) {
    Fake().Reset();
    Status().Clear();
    Fake().SetStatus(fake::MakeStatus(state::Cleaning, 0, {1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(ReadStatus(), rc::Ok);
    EXPECT_EQ(Status().PrinterState(), state::Cleaning);
    EXPECT_EQ(Status().Inks().level[6], 7);
}

}  // namespace
}  // namespace svc
