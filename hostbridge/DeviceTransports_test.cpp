// The device transports without hardware: a FIFO opened for reading and
// writing loops a transport's writes back to its reads.
#include "hostbridge/Transports.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using hb::IoStatus;

class DeviceTransport : public ::testing::Test {
protected:
    void SetUp() override {
        fifo_ = std::filesystem::temp_directory_path() / ("hb-fifo-" + std::to_string(::getpid()));
        ASSERT_EQ(::mkfifo(fifo_.c_str(), 0600), 0);
    }
    void TearDown() override { std::filesystem::remove(fifo_); }
    std::filesystem::path fifo_;
};

TEST_F(DeviceTransport, UsbReadsExactlyAndKeepsBytesOfATimedOutRead) {
    hb::OpenResult opened = hb::OpenUsbLp(fifo_.string(), 50);
    ASSERT_TRUE(opened.transport) << opened.error;
    hb::Transport& usb = *opened.transport;

    const std::uint8_t first[] = {1, 2};
    const std::uint8_t second[] = {3, 4, 5};
    std::uint8_t got[4] = {};
    ASSERT_EQ(usb.Write(first, sizeof first, 1000), IoStatus::Ok);
    EXPECT_EQ(usb.Read(got, 4, 20), IoStatus::Timeout);
    ASSERT_EQ(usb.Write(second, sizeof second, 1000), IoStatus::Ok);
    ASSERT_EQ(usb.Read(got, 4, 1000), IoStatus::Ok);
    EXPECT_EQ(std::vector<std::uint8_t>(got, got + 4), (std::vector<std::uint8_t>{1, 2, 3, 4}));
    ASSERT_EQ(usb.Read(got, 1, 1000), IoStatus::Ok);
    EXPECT_EQ(got[0], 5);

    // A node that is not a printer has no device ID.
    std::string raw;
    EXPECT_EQ(usb.ReadDeviceId(raw), IoStatus::Error);
}

TEST_F(DeviceTransport, ParallelPortThatIsNoParallelPortFailsToOpen) {
    const hb::OpenResult opened = hb::OpenParport(fifo_.string(), 50);
    EXPECT_FALSE(opened.transport);
    EXPECT_EQ(opened.error, ENOTTY);
}

}  // namespace
