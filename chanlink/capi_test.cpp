// The exported C functions on ports opened through the port switch.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "chanlink/Capture.h"
#include "chanlink/Messages.h"
#include "chanlink/Packet.h"
#include "chanlink/testing/Loopback.h"
#include "hostbridge/Transport.h"
#include "chanlink/ChannelApi.h"
#include "hostbridge/PortSwitch.h"

namespace {

using d4::testing::LoopbackTransport;
using d4::testing::MemoryPrinter;

const std::string& CapturePath() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("chanlink_capi_" + std::to_string(::getpid()))).string();
    return path;
}

// The library decides on its capture at its first call, so the variable is
// set before any test runs.
const bool kCaptureSet = [] {
    ::setenv("CHANLINK_CAPTURE", CapturePath().c_str(), 1);
    return true;
}();

// The capture outlives single tests; it goes when the process is done.
class RemoveCapture : public ::testing::Environment {
public:
    void TearDown() override { std::filesystem::remove(CapturePath()); }
};
const auto* const kRemoveCapture = ::testing::AddGlobalTestEnvironment(new RemoveCapture);

class ChannelFunctions : public ::testing::Test {
protected:
    void SetUp() override {
        hb::SetTransportFactory([this](std::uint16_t) { return std::make_unique<LoopbackTransport>(printer); });
    }
    void TearDown() override {
        PortCloseByOsSw();
        hb::SetTransportFactory({});
    }
    MemoryPrinter services;
    d4::PrinterEndpoint printer{services};
};

TEST_F(ChannelFunctions, ConnectionCycleOfTheProgram) {
    ASSERT_TRUE(kCaptureSet);
    PortCloseByOsSw();
    EXPECT_EQ(D4Negotiation(), 0x2000);
    EXPECT_EQ(GetD4ErrorCode(), 1);
    EXPECT_EQ(SetD4CommandRCode(6, 22), 1);

    ASSERT_EQ(PortOpenByOsSw(1028), 1);
    ASSERT_EQ(D4Negotiation(), 1);
    EXPECT_EQ(D4WriteEeprom(0xE0, 2), 1);
    std::uint8_t v = 0;
    EXPECT_EQ(D4ReadEeprom(0xE0, &v), 1);
    EXPECT_EQ(v, 2);
    services.status[0] = 4;
    std::uint8_t record[52] = {};
    EXPECT_EQ(InquireStatus(record), 1);
    EXPECT_EQ(record[0], 4);

    // Get Status: close, reopen, negotiate again without a termination,
    // this time to a printer with a full input buffer.
    services.space = 0;
    PortCloseByOsSw();
    ASSERT_EQ(PortOpenByOsSw(1028), 1);
    ASSERT_EQ(D4Negotiation(), 1);
    EXPECT_EQ(InquireStatus(record), 1);

    const std::uint8_t block[1000] = {};
    EXPECT_EQ(SendDataChannel(block, sizeof block), 0x2000);
    EXPECT_EQ(GetD4ErrorCode(), 51);
    services.space = 4096;
    EXPECT_EQ(SendDataChannel(block, sizeof block), 1);
    EXPECT_EQ(services.accepted.size(), 1000u);

    EXPECT_EQ(D4Termination(), 1);
    EXPECT_EQ(SendDataChannel(block, 1), 0x2000);
    EXPECT_EQ(GetD4ErrorCode(), 2);
    PortCloseByOsSw();
    EXPECT_EQ(D4ReadEeprom(0xE0, &v), 0x2000);
    EXPECT_EQ(GetD4ErrorCode(), 1);
    EXPECT_FALSE(printer.Failed()) << printer.LastError();
}

TEST_F(ChannelFunctions, CaptureRecordsTheConversation) {
    ASSERT_EQ(PortOpenByOsSw(1029), 1);
    ASSERT_EQ(D4Negotiation(), 1);
    d4::CaptureReader reader;
    ASSERT_TRUE(reader.Open(CapturePath())) << reader.Error();
    d4::CaptureRecord rec;
    ASSERT_TRUE(reader.Next(rec));
    EXPECT_EQ(rec.direction, d4::Direction::HostToPrinter);
    EXPECT_EQ(rec.bytes, (std::vector<std::uint8_t>{0, 0, 0, 8, 0, 0, 0, 0x10}));
    int records = 1;
    while (reader.Next(rec)) ++records;
    EXPECT_EQ(reader.Error(), "");
    EXPECT_GE(records, 10);  // at least this negotiation, both ways
}

// A printer on a real socket that answers nothing and floods empty DATA
// frames from the moment the host connects, for 8 s at most.
class FloodingPrinter {
public:
    explicit FloodingPrinter(const std::string& path) {
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 1) != 0)
            std::abort();
        thread_ = std::thread([this] {
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) return;
            std::vector<std::uint8_t> batch(3 * 512, 0);  // 512 empty DATA frames: 01 00 00
            for (std::size_t i = 0; i < batch.size(); i += 3) batch[i] = 0x01;
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(8);
            while (!stop_ && std::chrono::steady_clock::now() < end)
                if (::send(fd, batch.data(), batch.size(), MSG_NOSIGNAL) < 0) break;
            ::close(fd);
        });
    }
    ~FloodingPrinter() {
        stop_ = true;
        ::shutdown(listener_, SHUT_RDWR);  // an accept still waiting returns
        thread_.join();
        ::close(listener_);
    }

private:
    int listener_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A printer end on a real socket, speaking the socket port's frames, that
// adds a control reply nobody asked for behind its answer to the host's
// packet number `staleAfter` (counted from 0).
class FramedPrinter {
public:
    FramedPrinter(const std::string& path, int staleAfter, std::vector<std::uint8_t> stale)
        : staleAfter_(staleAfter), stale_(std::move(stale)) {
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 1) != 0)
            std::abort();
        thread_ = std::thread([this] { Serve(); });
    }
    ~FramedPrinter() {
        ::shutdown(listener_, SHUT_RDWR);
        if (const int fd = connection_.load(); fd >= 0) ::shutdown(fd, SHUT_RDWR);  // a read still waiting returns
        thread_.join();
        ::close(listener_);
    }
    MemoryPrinter services;

private:
    static bool ReadAll(int fd, std::uint8_t* data, std::size_t n) {
        for (std::size_t got = 0; got < n;) {
            const ssize_t r = ::read(fd, data + got, n - got);
            if (r <= 0) return false;
            got += static_cast<std::size_t>(r);
        }
        return true;
    }
    static void SendFrame(int fd, std::uint8_t kind, const std::vector<std::uint8_t>& payload) {
        std::vector<std::uint8_t> frame{kind, static_cast<std::uint8_t>(payload.size() >> 8),
                                        static_cast<std::uint8_t>(payload.size() & 0xFF)};
        frame.insert(frame.end(), payload.begin(), payload.end());
        (void)!::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
    }
    void Serve() {
        const int fd = ::accept(listener_, nullptr, nullptr);
        if (fd < 0) return;
        connection_ = fd;
        d4::PrinterEndpoint endpoint(services);
        int packets = 0;
        std::uint8_t head[3];
        while (ReadAll(fd, head, 3)) {
            std::vector<std::uint8_t> payload((std::size_t{head[1]} << 8) | head[2]);
            if (!ReadAll(fd, payload.data(), payload.size())) break;
            if (head[0] == 0x03) endpoint.Reset();
            if (head[0] == 0x02) {
                const std::string id(
                    "\x00\x13"
                    "MDL:Lumen;CMD:D4;",
                    19);
                SendFrame(fd, 0x82, std::vector<std::uint8_t>(id.begin(), id.end()));
            }
            if (head[0] != 0x01) continue;
            std::vector<std::uint8_t> answer = endpoint.Receive(payload.data(), payload.size());
            if (packets++ == staleAfter_) answer.insert(answer.end(), stale_.begin(), stale_.end());
            if (!answer.empty()) SendFrame(fd, 0x01, answer);
        }
        ::close(fd);
    }

    int listener_ = -1;
    std::atomic<int> connection_{-1};
    int staleAfter_;
    std::vector<std::uint8_t> stale_;
    std::thread thread_;
};

TEST(ChannelOverASocket, AStaleReplyWaitingIsNotTakenForTheAnswer) {
    const auto dir = std::filesystem::temp_directory_path() / ("chanlink_stale_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string socketPath = (dir / "printer.sock").string();
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    ::setenv("SVCADJUST_PORTMAP", ("LPT1=unix:" + socketPath).c_str(), 1);
    hb::SetTransportFactory({});
    {
        // "EEPROM write of 0x40 done, value 1", behind the negotiation's last reply.
        d4::ControlMessage done;
        done.op = d4::ControlOp::WriteEeprom;
        done.reply = true;
        done.address = 0x40;
        done.value = 1;
        const std::vector<std::uint8_t> payload = d4::EncodeControl(done);
        FramedPrinter printer(
            socketPath, 4, d4::EncodePacket(d4::kControlSocket, d4::kControlSocket, 1, payload.data(), payload.size()));
        printer.services.refuseEeprom = true;
        EXPECT_EQ(PortOpenByOsSw(1028), 1);
        EXPECT_EQ(GetDeviceIDByOsSw(), 1);
        EXPECT_EQ(D4Negotiation(), 1);
        // The printer refuses the write: the stale "done" must not pass for its answer.
        EXPECT_EQ(D4WriteEeprom(0x40, 1), 0x2000);
        EXPECT_EQ(GetD4ErrorCode(), 0x0701);
        // The real reply did not linger to break the next request.
        std::uint8_t record[52] = {};
        EXPECT_EQ(InquireStatus(record), 1);
        PortCloseByOsSw();
    }
    ::unsetenv("SVCADJUST_PORTMAP");
    ::unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(dir);
}

TEST(ChannelOverASocket, NegotiationEndsAtTheReadDeadlineWhileThePrinterFloods) {
    const auto dir = std::filesystem::temp_directory_path() / ("chanlink_flood_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string socketPath = (dir / "printer.sock").string();
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    ::setenv("SVCADJUST_PORTMAP", ("LPT1=unix:" + socketPath).c_str(), 1);
    hb::SetTransportFactory({});  // the port map's own socket port
    {
        FloodingPrinter printer(socketPath);
        ASSERT_EQ(PortOpenByOsSw(1028), 1);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(D4Negotiation(), 0x2000);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(GetD4ErrorCode(), 4);  // no answer within the read deadline
        // The deadline is 2 s; frames that bring nothing used to hold it for
        // as long as they came.
        EXPECT_LT(took, std::chrono::milliseconds(5000));
        PortCloseByOsSw();
    }
    ::unsetenv("SVCADJUST_PORTMAP");
    ::unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(dir);
}

}  // namespace
