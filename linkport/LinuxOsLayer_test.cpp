// The Linux system layer against stand-in devices: a folder with a FIFO
// named like the printer device, which loops written bytes back to reads.
#include "linkport/LinuxOsLayer.h"

#include "linkport/linkport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace linkport;
using Bytes = std::vector<uint8_t>;

TEST(ErrnoToOsError, OpenFailuresBecomeTheErrorsTheOpenDetailIsBuiltFrom) {
    EXPECT_EQ(ErrnoToOsError(ENOENT), 2u);
    EXPECT_EQ(ErrnoToOsError(ENODEV), 2u);
    EXPECT_EQ(ErrnoToOsError(ENXIO), 2u);
    EXPECT_EQ(ErrnoToOsError(EACCES), 5u);
    EXPECT_EQ(ErrnoToOsError(EPERM), 5u);
    EXPECT_EQ(ErrnoToOsError(EBUSY), 32u);
    EXPECT_EQ(ErrnoToOsError(EBADF), 6u);
    EXPECT_EQ(ErrnoToOsError(ENOTTY), 1u);
    EXPECT_EQ(ErrnoToOsError(EIO), 31u);
}

TEST(StoreDeviceIdText, DropsTheLengthPrefixAndStaysWithinWhatCame) {
    const std::string id = "MFG:Corvid;CMD:D4;";
    Bytes raw{0x00, static_cast<uint8_t>(id.size() + 2)};
    raw.insert(raw.end(), id.begin(), id.end());
    raw.insert(raw.end(), {'x', 'y'});  // more than announced
    char out[200];
    uint32_t returned = 99;

    EXPECT_EQ(StoreDeviceIdText(raw.data(), raw.size(), out, 200, &returned), 0u);
    EXPECT_EQ(std::string(out, returned), id);

    // Fewer bytes than announced: only those received count.
    EXPECT_EQ(StoreDeviceIdText(raw.data(), 7, out, 200, &returned), 0u);
    EXPECT_EQ(std::string(out, returned), "MFG:C");

    // An announced length that counts nothing beyond the prefix.
    const Bytes empty{0x00, 0x01, 'A'};
    EXPECT_EQ(StoreDeviceIdText(empty.data(), empty.size(), out, 200, &returned), 0u);
    EXPECT_EQ(returned, 0u);
}

TEST(StoreDeviceIdText, RefusesMissingLengthAndTextsLongerThanTheBuffer) {
    char out[200];
    uint32_t returned = 99;
    const Bytes one{0x00};
    EXPECT_EQ(StoreDeviceIdText(one.data(), 1, out, 200, &returned), oserr::kReadFault);
    EXPECT_EQ(returned, 0u);

    Bytes raw{0x00, 202};
    raw.resize(202, 'a');
    EXPECT_EQ(StoreDeviceIdText(raw.data(), raw.size(), out, 200, &returned), 0u);
    EXPECT_EQ(returned, 200u) << "exactly 200 bytes of text fit";

    raw[1] = 203;
    raw.push_back('b');
    EXPECT_EQ(StoreDeviceIdText(raw.data(), raw.size(), out, 200, &returned), oserr::kMoreData);
    EXPECT_EQ(returned, 0u);
}

class LinuxLayer : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/linkport-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        ASSERT_EQ(::mkfifo((dir_ + "/lp0").c_str(), 0600), 0);
        layer_ = std::make_unique<LinuxOsLayer>(dir_);
        SetOsLayerForTesting(layer_.get());
    }
    void TearDown() override {
        PortClose();
        SetOsLayerForTesting(nullptr);
        layer_.reset();
        ::unlink((dir_ + "/lp0").c_str());
        ::rmdir(dir_.c_str());
    }

    LinuxOsLayer& layer() { return *layer_; }

private:
    std::string dir_;
    std::unique_ptr<LinuxOsLayer> layer_;
};

TEST_F(LinuxLayer, OnlyLptNamesWithAPresentDeviceOpen) {
    for (const char* name : {"LPT0", "LPT4", "lpt1", "LPT1 ", "LPT", "COM1"}) {
        EXPECT_EQ(layer().CreateFile(name), kInvalidHandle) << name;
        EXPECT_EQ(layer().GetLastError(), oserr::kFileNotFound) << name;
    }
    // LPT2 maps to lp1, which is not there.
    EXPECT_EQ(PortOpen(1029), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), -103);
}

TEST_F(LinuxLayer, APortOpensOnceAtATime) {
    ASSERT_EQ(PortOpen(1028), LINKPORT_OK);
    EXPECT_EQ(layer().CreateFile("LPT1"), kInvalidHandle);
    EXPECT_EQ(layer().GetLastError(), oserr::kSharingViolation);

    PortClose();
    const OsHandle again = layer().CreateFile("LPT1");
    ASSERT_NE(again, kInvalidHandle);
    EXPECT_TRUE(layer().CloseHandle(again));
    EXPECT_FALSE(layer().CloseHandle(again));
    EXPECT_EQ(layer().GetLastError(), oserr::kInvalidHandle);
}

TEST_F(LinuxLayer, SendAndReceiveMoveWholePackets) {
    ASSERT_EQ(PortOpen(1028), LINKPORT_OK);
    const Bytes packet{0x00, 0x00, 0x00, 0x09, 0x01, 0x00, 0xAA, 0xBB, 0xCC};
    ASSERT_EQ(Send(packet.data(), static_cast<uint32_t>(packet.size())), LINKPORT_OK);

    uint8_t buffer[9] = {};
    uint32_t length = 0;
    ASSERT_EQ(Receive(buffer, &length), LINKPORT_OK);
    EXPECT_EQ(length, 9u);
    EXPECT_EQ(Bytes(buffer, buffer + 9), packet);
}

TEST_F(LinuxLayer, AReadEndsWhenTheBytesStopComing) {
    ASSERT_EQ(PortOpen(1028), LINKPORT_OK);
    const Bytes partial{0x00, 0x00, 0x00};
    ASSERT_EQ(Send(partial.data(), 3), LINKPORT_OK);
    uint8_t buffer[16];
    uint32_t length = 0;
    EXPECT_EQ(Receive(buffer, &length), LINKPORT_IO_FAILURE);
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_READ);

    // Directly: nothing at all arrives within a short total time-out.
    PortClose();
    const OsHandle port = layer().CreateFile("LPT1");
    ASSERT_NE(port, kInvalidHandle);
    ASSERT_TRUE(layer().SetCommTimeouts(port, CommTimeouts{10, 0, 20, 0, 20}));
    uint32_t done = 99;
    EXPECT_TRUE(layer().ReadFile(port, buffer, 4, &done));
    EXPECT_EQ(done, 0u);
    layer().CloseHandle(port);
}

TEST_F(LinuxLayer, AWriteEndsAtItsTimeoutWhenThePortTakesNoMore) {
    const OsHandle port = layer().CreateFile("LPT1");
    ASSERT_NE(port, kInvalidHandle);
    ASSERT_TRUE(layer().SetCommTimeouts(port, CommTimeouts{10, 0, 20, 0, 20}));
    // Far more than the FIFO holds, so the write stalls and must give up.
    const Bytes big(4 << 20, 0x55);
    uint32_t done = 0;
    EXPECT_TRUE(layer().WriteFile(port, big.data(), static_cast<uint32_t>(big.size()), &done));
    EXPECT_GT(done, 0u);
    EXPECT_LT(done, big.size());
    layer().CloseHandle(port);
}

TEST_F(LinuxLayer, DeviceRequestsFailOnADeviceThatIsNoPrinterPort) {
    ASSERT_EQ(PortOpen(1028), LINKPORT_OK);
    uint8_t flag = 7;
    EXPECT_EQ(GetDeviceID(&flag), LINKPORT_IO_FAILURE);  // no raw port device beside it
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_DEVICE);
    EXPECT_EQ(layer().GetLastError(), oserr::kFileNotFound);

    EXPECT_EQ(SendINITSignal(), LINKPORT_IO_FAILURE);  // a FIFO knows no printer reset
    EXPECT_EQ(GetIOErrorCode(), LINKPORT_IOE_DEVICE);
    EXPECT_EQ(layer().GetLastError(), oserr::kInvalidFunction);
}

}  // namespace
