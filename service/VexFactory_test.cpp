#include "service/VexFactory.h"

#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <functional>

namespace svc {
namespace {

using fake::Fake;
using fake::Fn;
using Bytes = std::vector<std::uint8_t>;

class FactoryTest : public ::testing::Test {
protected:
    void SetUp() override { Fake().Reset(); }

    // The one packet a command sends.
    Bytes Sent(const std::function<Result(TPFactory&)>& command) {
        Fake().ClearCalls();
        EXPECT_EQ(command(factory), rc::Ok);
        const auto sends = Fake().Sends();
        EXPECT_EQ(sends.size(), 1u);
        return sends.empty() ? Bytes{} : sends[0];
    }

    TPFactory factory;
};

TEST_F(FactoryTest, PacketsWithoutParameters) {
    EXPECT_EQ(Sent([](TPFactory& f) { return f.CarriageHome(); }),
              (Bytes{0x1B, 0x7C, 0x00, 0x05, 0x00, 0x06, 0x16, 0x81, 0x7E, 0xC0}));
    EXPECT_EQ(Sent([](TPFactory& f) { return f.ApplySettings(); }),
              (Bytes{0x1B, 0x7C, 0x00, 0x05, 0x00, 0x06, 0x16, 0x50, 0xAF, 0x28}));
}

TEST_F(FactoryTest, PacketsWithParameters) {
    EXPECT_EQ(Sent([](TPFactory& f) { return f.MoveCarriage(16, 2580, 0); }),
              (Bytes{0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xC4, 0x3B, 0x62, 0x10, 0x14, 0x0A, 0x00}));
    EXPECT_EQ(Sent([](TPFactory& f) { return f.MoveCarriage(20, -6, 1); }),
              (Bytes{0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xC4, 0x3B, 0x62, 0x14, 0xFA, 0xFF, 0x01}));
    EXPECT_EQ(Sent([](TPFactory& f) { return f.MoveCarriage(1, 97, 7); }).back(), 0x00);
    EXPECT_EQ(Sent([](TPFactory& f) { return f.StartCleaning(12); }),
              (Bytes{0x1B, 0x7C, 0x00, 0x06, 0x00, 0x06, 0x16, 0x84, 0x7B, 0x42, 0x0C}));
    EXPECT_EQ(Sent([](TPFactory& f) { return f.SetPFValue(-4); }),
              (Bytes{0x1B, 0x7C, 0x00, 0x06, 0x00, 0x06, 0x16, 0x04, 0xFB, 0x02, 0xFC}));
    EXPECT_EQ(Sent([](TPFactory& f) { return f.CommandC5(24, 1, 2100); }),
              (Bytes{0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xC5, 0x3A, 0xE2, 0x18, 0x01, 0x34, 0x08}));
    EXPECT_EQ(Sent([](TPFactory& f) { return f.MeasureCRDrive(4, 0, 1097); }),
              (Bytes{0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xCF, 0x30, 0xE7, 0x04, 0x00, 0x49, 0x04}));
    EXPECT_EQ(Sent([](TPFactory& f) { return f.CommandD1(255); }),
              (Bytes{0x1B, 0x7C, 0x00, 0x06, 0x00, 0x06, 0x16, 0xD1, 0x2E, 0xE8, 0xFF}));
    EXPECT_EQ(Sent([](TPFactory& f) { return f.CommandF1(0, 5000, 33, 1); }),
              (Bytes{0x1B, 0x7C, 0x00, 0x0B, 0x00, 0x06, 0x16, 0xF1, 0x0E, 0xF8, 0x00, 0x88, 0x13, 0x21, 0x00, 0x01}));
    EXPECT_EQ(Sent([](TPFactory& f) { return f.CommandF2(1); }).back(), 0x00);
    EXPECT_EQ(Sent([](TPFactory& f) { return f.CommandF2(0); }),
              (Bytes{0x1B, 0x7C, 0x00, 0x06, 0x00, 0x06, 0x16, 0xF2, 0x0D, 0x79, 0x01}));
    EXPECT_EQ(Sent([](TPFactory& f) { return f.StartExchangeSequence(); }),
              (Bytes{0x1B, 0x7C, 0x00, 0x16, 0x00, 0x06, 0x16, 0x82, 0x7D, 0x41, 0x00, 0x00, 0xA6, 0x0C,
                     0x01, 0x00, 0x00, 0xA6, 0x0C, 0x05, 0x00, 0x00, 0xA6, 0x0C, 0x05, 0xFF, 0x08}));
}

TEST_F(FactoryTest, BidValuePacket) {
    const Bytes head{0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0x00, 0xFF, 0x00};
    auto with = [&head](Bytes params) {
        Bytes b = head;
        b.insert(b.end(), params.begin(), params.end());
        return b;
    };
    EXPECT_EQ(Sent([](TPFactory& f) { return f.SetBidValue(0, 11, -3); }), with({0x02, 0x02, 0xFD, 0xFF}));
    EXPECT_EQ(Sent([](TPFactory& f) { return f.SetBidValue(1, 10, 5); }), with({0x01, 0x01, 0x05, 0x00}));
    EXPECT_EQ(Sent([](TPFactory& f) { return f.SetBidValue(1, 12, -72); }), with({0x04, 0x01, 0xB8, 0xFF}));
    EXPECT_EQ(Sent([](TPFactory& f) { return f.SetBidValue(2, 13, 72); }), with({0x03, 0x02, 0x48, 0x00}));
}

TEST_F(FactoryTest, ShortCommandAfterALongOneSendsOnlyItsOwnLength) {
    ASSERT_EQ(factory.StartExchangeSequence(), rc::Ok);
    const Bytes home = Sent([](TPFactory& f) { return f.CarriageHome(); });
    EXPECT_EQ(home.size(), 10u);
    // The older bytes are still in the buffer, just not sent.
    EXPECT_EQ(factory.Buffer()[26], 0x08);
    EXPECT_EQ(factory.Buffer()[5], 0x06);
    EXPECT_EQ(factory.Buffer()[6], 0x16);
}

TEST_F(FactoryTest, ResultIsTheChannelResultUnchanged) {
    Fake().RefuseSends(1);
    EXPECT_EQ(factory.CarriageHome(), rc::Channel);
    EXPECT_EQ(Fake().CallCount(Fn::GetD4ErrorCode), 0);  // no busy retry here
    Fake().SetResult(Fn::SendDataChannel, 0x1234);
    EXPECT_EQ(factory.CommandD1(0), 0x1234);
}

TEST_F(FactoryTest, LeaveHomeIsTwoCommandsStoppingAtAFailure) {
    ASSERT_EQ(factory.LeaveHome(), rc::Ok);
    const auto sends = Fake().Sends();
    ASSERT_EQ(sends.size(), 2u);
    EXPECT_EQ(sends[0], (Bytes{0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xC4, 0x3B, 0x62, 0x14, 0xFA, 0xFF, 0x00}));
    EXPECT_EQ(sends[1], (Bytes{0x1B, 0x7C, 0x00, 0x09, 0x00, 0x06, 0x16, 0xC5, 0x3A, 0xE2, 0x18, 0x00, 0xFA, 0x00}));

    Fake().Reset();
    Fake().SetResultOnCall(Fn::SendDataChannel, 1, 0x3000);
    EXPECT_EQ(factory.LeaveHome(), 0x3000);
    EXPECT_EQ(Fake().Sends().size(), 1u);
}

TEST(FactorySingleton, IsOneObject) {
    EXPECT_EQ(&Factory(), &Factory());
    EXPECT_EQ(Factory().Buffer()[5], 0x06);
}

}  // namespace
}  // namespace svc
