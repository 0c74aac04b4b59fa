#include "link/testing/FakeOutside.h"

#include "link/OutsideLibraries.h"

#include <gtest/gtest.h>

#include <cstring>

namespace svc::fake {
namespace {

class FakeOutsideTest : public ::testing::Test {
protected:
    void SetUp() override { Fake().Reset(); }
};

TEST_F(FakeOutsideTest, NthCallBeatsQueueBeatsAlways) {
    Fake().SetResult(Fn::D4Negotiation, 7);
    Fake().QueueResults(Fn::D4Negotiation, {8, 9});
    Fake().SetResultOnCall(Fn::D4Negotiation, 2, 5);
    EXPECT_EQ(D4Negotiation(), 8);
    EXPECT_EQ(D4Negotiation(), 5);
    EXPECT_EQ(D4Negotiation(), 9);
    EXPECT_EQ(D4Negotiation(), 7);
    EXPECT_EQ(Fake().CallCount(Fn::D4Negotiation), 4);
    EXPECT_EQ(PortOpenByOsSw(1028), 1);
    EXPECT_EQ(Fake().Calls().back().a, 1028u);
}

TEST_F(FakeOutsideTest, RefusalsCarryTheirDetailAndCountAsCalls) {
    const std::uint8_t bytes[] = {1, 2, 3};
    Fake().RefuseSends(1);
    Fake().SetResultOnCall(Fn::SendDataChannel, 2, 0x2000);
    Fake().SetChannelErrorDetail(7);
    EXPECT_EQ(SendDataChannel(bytes, 3), 0x2000);
    EXPECT_EQ(GetD4ErrorCode(), 51);
    EXPECT_EQ(SendDataChannel(bytes, 2), 0x2000);
    EXPECT_EQ(GetD4ErrorCode(), 7);
    EXPECT_EQ(SendDataChannel(bytes, 1), 1);
    EXPECT_EQ(Fake().Sends(), (std::vector<std::vector<std::uint8_t>>{{1, 2, 3}, {1, 2}, {1}}));
    EXPECT_EQ(Fake().AcceptedBytes(), (std::vector<std::uint8_t>{1}));

    // A refusal takes nothing from the queue: the queued result goes to the next call.
    Fake().Reset();
    Fake().QueueResults(Fn::SendDataChannel, {0x3000});
    Fake().RefuseSends(1);
    Fake().SetResultOnCall(Fn::SendDataChannel, 3, 0x4000);
    EXPECT_EQ(SendDataChannel(bytes, 1), 0x2000);
    EXPECT_EQ(SendDataChannel(bytes, 1), 0x3000);
    EXPECT_EQ(SendDataChannel(bytes, 1), 0x4000);
    EXPECT_EQ(SendDataChannel(bytes, 1), 1);
}

TEST_F(FakeOutsideTest, EepromFailuresCountReadsAndWritesTogether) {
    std::uint8_t v = 0;
    Fake().FailEepromAccess(3, 0x1234);
    EXPECT_EQ(D4WriteEeprom(0x10, 0xAA), 1);
    EXPECT_EQ(D4ReadEeprom(0x00, &v), 1);
    EXPECT_EQ(v, 0x5A);  // signatures are in place after Reset
    EXPECT_EQ(D4WriteEeprom(0x11, 0xBB), 0x1234);
    EXPECT_EQ(Fake().Eeprom()[0x11], 0);
    EXPECT_EQ(Fake().EepromWrites(), (std::vector<std::pair<std::uint8_t, std::uint8_t>>{{0x10, 0xAA}}));
}

TEST_F(FakeOutsideTest, StatusQueueKeepsItsLastRecord) {
    Fake().QueueStatus({MakeStatus(2), MakeStatus(0, 6)});
    std::uint8_t record[52];
    for (int expected : {2, 0, 0}) {
        ASSERT_EQ(InquireStatus(record), 1);
        EXPECT_EQ(record[0], expected);
    }
    EXPECT_EQ(record[1], 6);
    EXPECT_EQ(record[15], '6');  // 100 % is "64"
    EXPECT_EQ(record[14], '4');
}

TEST_F(FakeOutsideTest, ModelNameFitsThirtyBytes) {
    Fake().SetModelName(std::string(40, 'M'));
    char name[30];
    std::memset(name, 'x', sizeof name);
    ASSERT_EQ(GetModelNameByOsSw(name), 1);
    EXPECT_EQ(std::strlen(name), 29u);
}

TEST_F(FakeOutsideTest, ScriptedHostRecordsAndAnswers) {
    {
        ScriptedHost host;
        EXPECT_EQ(&svc::host(), &host);
        host.QueueAnswers({BoxAnswer::Cancel});
        int slept = 0;
        host.OnSleep([&slept](int ms) { slept += ms; });
        D4Termination();
        EXPECT_EQ(svc::host().MessageBox(BoxOwner::None, "t", "c", BoxIcon::Question, BoxButtons::OkCancel),
                  BoxAnswer::Cancel);
        EXPECT_EQ(svc::host().MessageBox(BoxOwner::None, "t", "c", BoxIcon::Question, BoxButtons::YesNo),
                  BoxAnswer::Yes);
        svc::host().Sleep(1000);
        svc::host().Sleep(500);
        EXPECT_EQ(slept, 1500);
        EXPECT_EQ(host.NowMs(), 1500);
        EXPECT_EQ(host.Boxes().at(0).callsBefore, 1u);
    }
    ScriptedHost quiet(false);
    EXPECT_NE(&svc::host(), &quiet);
}

}  // namespace
}  // namespace svc::fake
