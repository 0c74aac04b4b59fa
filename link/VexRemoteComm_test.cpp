#include "link/VexRemoteComm.h"

#include "link/testing/FakeOutside.h"

#include <gtest/gtest.h>

#include <numeric>

namespace svc {
namespace {

using fake::Fake;
using fake::Fn;
using Bytes = std::vector<std::uint8_t>;

const Bytes kEnter{0x1B, 0x28, 0x52, 0x08, 0x00, 0x00, 0x52, 0x45, 0x4D, 0x4F, 0x54, 0x45, 0x31};
const Bytes kExit{0x1B, 0x00, 0x00, 0x00};

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class RemoteFramesTest : public ::testing::Test {
protected:
    void SetUp() override { Fake().Reset(); }
    fake::ScriptedHost host;
    TPRaster stream;
    TPRemoteComm remote{stream};
};

TEST_F(RemoteFramesTest, CutPositionIsSetAndSavedInOneFlush) {
    EXPECT_EQ(remote.SetCutPosition(0), rc::Ok);
    const Bytes expected =
        Cat({kEnter, {0x44, 0x44, 0x05, 0x00, 0x00, 0x10, 0x00, 0x00, 0x02}, {0x53, 0x56, 0x00, 0x00}, kExit});
    ASSERT_EQ(expected.size(), 30u);
    EXPECT_EQ(Fake().Sends(), std::vector<Bytes>{expected});

    Fake().Reset();
    EXPECT_EQ(remote.SetCutPosition(-64), rc::Ok);
    EXPECT_EQ(Fake().Sends().at(0).at(20), 0xC0);
}

TEST_F(RemoteFramesTest, SensorBlockCarriesItsChecksum) {
    const Bytes block{0x0B, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x44, 0x00, 0x3A, 0x00,
                      0x22, 0x01, 0x20, 0x00, 0x8A, 0x03, 0x38, 0x02, 0x94, 0x03, 0x00, 0x00, 0x62, 0x61,
                      0x64, 0x64, 0x61, 0x12, 0x02, 0x15, 0x13, 0x31, 0x07, 0x01, 0x00, 0x01, 0x01, 0x00};
    ASSERT_EQ(std::accumulate(block.begin(), block.end(), 0), 0x048E);
    EXPECT_EQ(remote.SendSNBlock(), rc::Ok);
    const Bytes expected = Cat({kEnter, {0x53, 0x4E, 0x2E, 0x00, 0x00, 0x04}, block, {0x8E, 0x04}, kExit});
    ASSERT_EQ(expected.size(), 67u);
    EXPECT_EQ(Fake().Sends(), std::vector<Bytes>{expected});
}

TEST_F(RemoteFramesTest, NozzleCheckHeadingGoesFirst) {
    EXPECT_EQ(remote.PrintNozzleCheck(), rc::Ok);
    const std::string heading = "Nozzle check pattern\r\n";
    const Bytes expected = Cat({Bytes(heading.begin(), heading.end()),
                                {0x00},
                                kEnter,
                                {0x4E, 0x43, 0x02, 0x00, 0x00, 0x00},
                                kExit,
                                {0x0D, 0x0A, 0x0D, 0x0A}});
    EXPECT_EQ(Fake().Sends(), std::vector<Bytes>{expected});
}

TEST_F(RemoteFramesTest, FramesFollowEarlierPrintDataAndStopAtAFailure) {
    const Bytes label{'A', 'B'};
    ASSERT_EQ(stream.Append(label.data(), 2), rc::Ok);
    Fake().SetResult(Fn::SendDataChannel, 0x3000);
    EXPECT_EQ(remote.SetCutPosition(3), 0x3000);
    // Everything stays queued behind the label for the next send.
    EXPECT_EQ(stream.Count(), 2 + 30);
    EXPECT_EQ(stream.Buffer()[0], 'A');

    // The failure inside a frame: the enter sequence completes the block, nothing after it is added.
    TPRaster full;
    TPRemoteComm remote2(full);
    const Bytes filler(990, 0);
    ASSERT_EQ(full.Append(filler.data(), 990), rc::Ok);
    EXPECT_EQ(remote2.SendSNBlock(), 0x3000);
    EXPECT_EQ(full.Count(), 1000);
}

TEST(RemoteCommSingleton, WorksOnTheProgramWideJobStream) {
    Fake().Reset();
    fake::ScriptedHost host;
    EXPECT_EQ(RemoteComm().ExitRemoteMode(), rc::Ok);
    EXPECT_EQ(JobStream().Count(), 4);
    EXPECT_EQ(JobStream().Flush(), rc::Ok);
    EXPECT_EQ(Fake().Sends(), std::vector<Bytes>{kExit});
}

}  // namespace
}  // namespace svc
