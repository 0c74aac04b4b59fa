#include "hostbridge/UnixSocketTransport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using hb::IoStatus;
using Bytes = std::vector<std::uint8_t>;

constexpr int kShortMs = 30;
constexpr int kLongMs = 5000;

Bytes Frame(std::uint8_t kind, const std::string& payload) {
    Bytes bytes(3 + payload.size());
    bytes[0] = kind;
    bytes[1] = static_cast<std::uint8_t>(payload.size() >> 8);
    bytes[2] = static_cast<std::uint8_t>(payload.size() & 0xFF);
    std::copy(payload.begin(), payload.end(), bytes.begin() + 3);
    return bytes;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The transport on one end of a socket pair; the test plays the printer on
// the other end with plain blocking reads and writes.
class SocketTransport : public ::testing::Test {
protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
        printer_ = fds[1];
        // Small buffers, so that big writes go out in pieces and wait for room.
        const int small = 4096;
        ASSERT_EQ(::setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
        ASSERT_EQ(::setsockopt(fds[1], SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
        int flags = 0;  // the printer's end blocks
        ASSERT_EQ(::ioctl(printer_, FIONBIO, &flags), 0);
        transport_ = std::make_unique<hb::UnixSocketTransport>(hb::io::Fd(fds[0]), portTimeoutMs_, "test");
    }
    void TearDown() override {
        transport_.reset();
        if (printer_ >= 0) ::close(printer_);
    }

    void PrinterSends(const Bytes& bytes) {
        ASSERT_EQ(::write(printer_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    Bytes PrinterReceives(std::size_t n) {
        Bytes bytes(n);
        std::size_t done = 0;
        while (done < n) {
            const ssize_t r = ::read(printer_, bytes.data() + done, n - done);
            if (r <= 0) break;
            done += static_cast<std::size_t>(r);
        }
        bytes.resize(done);
        return bytes;
    }
    std::string Read(std::size_t n, IoStatus expected = IoStatus::Ok, int timeoutMs = kLongMs) {
        std::string text(n, '\0');
        EXPECT_EQ(transport_->Read(reinterpret_cast<std::uint8_t*>(text.data()), n, timeoutMs), expected);
        return text;
    }

    // Bounds the device-ID exchange and the reset. Long, so that a printer
    // thread that answers late on a busy machine still counts as answering.
    int portTimeoutMs_ = kLongMs;
    int printer_ = -1;
    std::unique_ptr<hb::UnixSocketTransport> transport_;
};

TEST_F(SocketTransport, WritesDataFramesOfAtMost65535Bytes) {
    const std::string small = "abc";
    ASSERT_EQ(transport_->Write(reinterpret_cast<const std::uint8_t*>(small.data()), 3, kLongMs), IoStatus::Ok);
    EXPECT_EQ(PrinterReceives(6), Frame(0x01, "abc"));

    Bytes big(70000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
    auto received = std::async(std::launch::async, [&] { return PrinterReceives(70000 + 6); });
    ASSERT_EQ(transport_->Write(big.data(), big.size(), kLongMs), IoStatus::Ok);
    const Bytes wire = received.get();
    ASSERT_EQ(wire.size(), 70006u);
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 3), (Bytes{0x01, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(wire.begin() + 3 + 65535, wire.begin() + 6 + 65535), (Bytes{0x01, 0x11, 0x71}));
    EXPECT_TRUE(std::equal(big.begin(), big.begin() + 65535, wire.begin() + 3));
    EXPECT_TRUE(std::equal(big.begin() + 65535, big.end(), wire.begin() + 6 + 65535));
}

TEST_F(SocketTransport, WriteThatMissesItsDeadlineCutsTheConnection) {
    // The printer takes nothing, so the frame is cut short: the stream cannot
    // be framed again and the connection is given up.
    const Bytes big(200000, 0xAB);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(transport_->Write(big.data(), big.size(), kShortMs), IoStatus::Timeout);
    const std::string diagnostics = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(diagnostics.find("cut short"), std::string::npos) << diagnostics;
    EXPECT_EQ(transport_->Write(big.data(), 1, kLongMs), IoStatus::Error);
    Read(1, IoStatus::Error);
}

TEST_F(SocketTransport, ReadsOneStreamAcrossFramesOfAnySize) {
    PrinterSends(Concat({Frame(0x01, "he"), Frame(0x01, ""), Frame(0x01, "llo w"), Frame(0x01, "orld")}));
    EXPECT_EQ(Read(5), "hello");
    EXPECT_EQ(Read(1), " ");
    EXPECT_EQ(Read(5), "world");
}

TEST_F(SocketTransport, ATimedOutReadLosesNothing) {
    // Half a frame, then a whole frame too short for the read.
    const Bytes frame = Frame(0x01, "abcdef");
    PrinterSends(Bytes(frame.begin(), frame.begin() + 4));
    EXPECT_EQ(Read(2, IoStatus::Timeout, kShortMs), std::string(2, '\0'));
    PrinterSends(Bytes(frame.begin() + 4, frame.end()));
    EXPECT_EQ(Read(2), "ab");
    EXPECT_EQ(Read(6, IoStatus::Timeout, kShortMs), std::string(6, '\0'));
    PrinterSends(Frame(0x01, "gh"));
    EXPECT_EQ(Read(6), "cdefgh");
}

TEST_F(SocketTransport, PeerClosingIsReportedAsClosedAfterTheLastBytes) {
    PrinterSends(Frame(0x01, "x"));
    ::close(printer_);
    printer_ = -1;
    EXPECT_EQ(Read(1), "x");
    Read(1, IoStatus::Closed);
    const std::uint8_t byte = 0;
    EXPECT_EQ(transport_->Write(&byte, 1, kLongMs), IoStatus::Closed);
    std::string raw;
    EXPECT_EQ(transport_->ReadDeviceId(raw), IoStatus::Closed);
}

TEST_F(SocketTransport, UnknownFrameKindEndsTheConnection) {
    PrinterSends(Concat({Frame(0x01, "ok"), Frame(0x05, "")}));
    ::testing::internal::CaptureStderr();
    Read(3, IoStatus::Error);
    const std::string diagnostics = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(diagnostics.find("unknown frame kind 0x05"), std::string::npos) << diagnostics;

    const std::uint8_t byte = 0;
    EXPECT_EQ(transport_->Write(&byte, 1, kLongMs), IoStatus::Error);
    EXPECT_EQ(transport_->Reset(), IoStatus::Error);
    EXPECT_EQ(PrinterReceives(1).size(), 0u);  // the printer sees the connection end
}

TEST_F(SocketTransport, DeviceIdRequestGetsItsReplyAndKeepsDataThatCameFirst) {
    const std::string id = std::string("\x00\x0D", 2) + "MDL:Lumen;";
    ASSERT_EQ(id.size(), 12u);
    auto printer = std::async(std::launch::async, [&] {
        const Bytes request = PrinterReceives(3);
        PrinterSends(Concat({Frame(0x01, "zz"), Frame(0x82, id)}));
        return request;
    });
    std::string raw;
    ASSERT_EQ(transport_->ReadDeviceId(raw), IoStatus::Ok);
    EXPECT_EQ(printer.get(), (Bytes{0x02, 0x00, 0x00}));
    EXPECT_EQ(raw, id);
    EXPECT_EQ(Read(2), "zz");
}

// The same, with a port timeout short enough to wait out in a test.
class SilentSocketTransport : public SocketTransport {
protected:
    SilentSocketTransport() { portTimeoutMs_ = kShortMs; }
};

// A printer that sends the same frame over and over from a thread of its
// own, for 5 s at most, or until the connection ends.
class Flood {
public:
    Flood(int fd, const Bytes& frame) : fd_(fd) {
        Bytes batch;
        for (int i = 0; i < 256; ++i) batch.insert(batch.end(), frame.begin(), frame.end());
        thread_ = std::thread([this, batch] {
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (!stop_ && std::chrono::steady_clock::now() < end) {
                if (::send(fd_, batch.data(), batch.size(), MSG_NOSIGNAL) < 0) break;
                sent_ += batch.size();
            }
        });
    }
    ~Flood() {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);  // a send blocked on a full socket returns
        thread_.join();
    }
    std::size_t sent() const { return sent_; }

private:
    int fd_;
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> sent_{0};
    std::thread thread_;
};

// Milliseconds `action` took.
template <typename Action>
long long TimeMs(Action action) {
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// The deadline is 300 ms; a read that runs on while frames keep coming would
// last the flood's 5 s. The bound is generous for a loaded machine.
constexpr long long kFloodBoundMs = 2500;

TEST_F(SocketTransport, FramesThatBringNothingCannotHoldAReadPastItsDeadline) {
    {
        const Flood flood(printer_, Frame(0x01, ""));
        EXPECT_LT(TimeMs([&] { Read(1, IoStatus::Timeout, 300); }), kFloodBoundMs);
        EXPECT_GT(flood.sent(), 0u);
    }
    TearDown();  // a fresh connection for the flood of device IDs
    SetUp();
    const Flood flood(printer_, Frame(0x82, std::string("\x00\x06"
                                                        "A:B;",
                                                        6)));
    EXPECT_LT(TimeMs([&] { Read(1, IoStatus::Timeout, 300); }), kFloodBoundMs);
}

TEST_F(SocketTransport, DataFloodWhileTheDeviceIdIsAwaitedIsRefusedNotHoarded) {
    // The printer sends print-channel data and never the ID. What is kept is
    // bounded: past it the connection is given up, long before the port
    // timeout, with a line that says why.
    const Flood flood(printer_, Frame(0x01, std::string(1000, 'd')));
    ::testing::internal::CaptureStderr();
    std::string raw;
    EXPECT_LT(TimeMs([&] { EXPECT_EQ(transport_->ReadDeviceId(raw), IoStatus::Error); }), kFloodBoundMs);
    const std::string diagnostics = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(diagnostics.find("nobody asked for"), std::string::npos) << diagnostics;
    EXPECT_TRUE(raw.empty());
    Read(1, IoStatus::Error);
}

TEST_F(SilentSocketTransport, SilentPrinterTimesOutTheDeviceId) {
    std::string raw;
    EXPECT_EQ(transport_->ReadDeviceId(raw), IoStatus::Timeout);
    EXPECT_EQ(PrinterReceives(3), (Bytes{0x02, 0x00, 0x00}));
}

TEST_F(SilentSocketTransport, EmptyFramesCannotHoldTheDeviceIdPastTheDeadline) {
    std::string raw;
    const Flood flood(printer_, Frame(0x01, ""));
    EXPECT_LT(TimeMs([&] { EXPECT_EQ(transport_->ReadDeviceId(raw), IoStatus::Timeout); }), kFloodBoundMs);
}

TEST_F(SocketTransport, ResetSendsTheInitFrameAndDropsOldData) {
    PrinterSends(Frame(0x01, "old"));
    EXPECT_EQ(Read(1), "o");
    ASSERT_EQ(transport_->Reset(), IoStatus::Ok);
    EXPECT_EQ(PrinterReceives(3), (Bytes{0x03, 0x00, 0x00}));
    PrinterSends(Frame(0x01, "new"));
    EXPECT_EQ(Read(3), "new");
}

}  // namespace

// The explanations a technician reads on standard error for open failures
// that a test running with full privileges cannot provoke.
#include "hostbridge/Diagnostics.h"

namespace {

TEST(OpenErrors, DetailsAndExplanations) {
    const hb::PortTarget usb{hb::PortKind::UsbLp, "/dev/usb/lp0"};
    const hb::PortTarget parport{hb::PortKind::Parport, "/dev/parport0"};
    EXPECT_EQ(hb::DetailForOpenError(EACCES), -105);
    EXPECT_EQ(hb::DetailForOpenError(EBUSY), -105);
    EXPECT_EQ(hb::DetailForOpenError(ENOENT), -103);
    EXPECT_EQ(hb::DetailForOpenError(ENODEV), -103);
    EXPECT_EQ(hb::DetailForOpenError(ECONNREFUSED), -103);

    const std::string denied = hb::ExplainOpenError("ZQUSB1", usb, EACCES);
    EXPECT_TRUE(denied.starts_with("ZQUSB1: cannot open USB printer device /dev/usb/lp0: permission denied")) << denied;
    EXPECT_NE(denied.find("group lp"), std::string::npos) << denied;
    EXPECT_NE(hb::ExplainOpenError("LPT1", parport, EBUSY).find("another program or driver"), std::string::npos);
    EXPECT_NE(hb::ExplainOpenError("LPT1", parport, ENXIO).find("ppdev"), std::string::npos);
}

}  // namespace
