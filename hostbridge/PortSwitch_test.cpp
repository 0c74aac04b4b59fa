// The C functions end to end, against a virtual printer played by the test
// on a Unix socket.
#include "hostbridge/PortSwitch.h"

#include "hostbridge/Transport.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kPortFailure = 0x1000;

std::string WithPrefix(const std::string& text) {
    const std::size_t n = text.size() + 2;
    return std::string{static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)} + text;
}

const std::string kLumen4200 = WithPrefix("MFG:Corvid;CMD:RASTER,STATUS,D4;MDL:Corvid Lumen 4200;CLS:PRINTER;");

sockaddr_un Address(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

// A printer on a Unix socket, served by a thread: it answers DEVICE_ID? with
// `deviceId` (or stays silent, or hangs up), and records RESET and DATA.
class FakePrinter {
public:
    enum class Mode { Answer, Silent, HangUp };

    explicit FakePrinter(const std::string& path) : path_(path) {
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_un address = Address(path);
        if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 4) != 0 || ::pipe(stop_) != 0)
            std::abort();
        thread_ = std::thread([this] { Run(); });
    }
    ~FakePrinter() {
        const char byte = 0;
        (void)!::write(stop_[1], &byte, 1);
        thread_.join();
        ::close(listener_);
        ::close(stop_[0]);
        ::close(stop_[1]);
    }

    void Set(Mode mode, std::string deviceId = kLumen4200) {
        std::lock_guard lock(mutex_);
        mode_ = mode;
        deviceId_ = std::move(deviceId);
    }
    // Waits (with a generous safety deadline) until the condition holds.
    template <typename Condition>
    bool WaitUntil(Condition condition) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return condition(*this); });
    }

    int connections = 0;
    int hangUps = 0;  // connections the host ended
    int resets = 0;
    std::string data;

private:
    bool WaitReadable(int fd) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        while (::poll(fds, 2, -1) < 0) {}
        return (fds[1].revents & POLLIN) == 0;
    }
    bool ReadExact(int fd, std::uint8_t* into, std::size_t n) {
        for (std::size_t done = 0; done < n;) {
            if (!WaitReadable(fd)) return false;
            const ssize_t r = ::read(fd, into + done, n - done);
            if (r <= 0) return false;
            done += static_cast<std::size_t>(r);
        }
        return true;
    }
    void Record(const std::function<void()>& change) {
        std::lock_guard lock(mutex_);
        change();
        changed_.notify_all();
    }
    void Run() {
        while (WaitReadable(listener_)) {
            const int connection = ::accept(listener_, nullptr, nullptr);
            Record([&] { ++connections; });
            const bool hostEnded = Serve(connection);
            ::close(connection);
            if (hostEnded) Record([&] { ++hangUps; });
        }
    }
    // Returns true when the host closed the connection.
    bool Serve(int connection) {
        std::uint8_t header[3];
        while (ReadExact(connection, header, 3)) {
            std::string payload((std::size_t{header[1]} << 8) | header[2], '\0');
            if (!ReadExact(connection, reinterpret_cast<std::uint8_t*>(payload.data()), payload.size())) return true;
            if (header[0] == 0x01)
                Record([&] { data += payload; });
            else if (header[0] == 0x03)
                Record([&] { ++resets; });
            else if (header[0] == 0x02 && !Answer(connection))
                return false;
        }
        return true;
    }
    bool Answer(int connection) {
        std::unique_lock lock(mutex_);
        if (mode_ == Mode::HangUp) return false;
        if (mode_ == Mode::Silent) return true;
        std::string reply = {'\x82', static_cast<char>(deviceId_.size() >> 8),
                             static_cast<char>(deviceId_.size() & 0xFF)};
        reply += deviceId_;
        lock.unlock();
        return ::send(connection, reply.data(), reply.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(reply.size());
    }

    std::string path_;
    int listener_ = -1;
    int stop_[2] = {-1, -1};
    std::mutex mutex_;
    std::condition_variable changed_;
    Mode mode_ = Mode::Answer;
    std::string deviceId_ = kLumen4200;
    std::thread thread_;
};

class PortSwitch : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("hb-ports-" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "hostbridge");
        socketPath_ = (dir_ / "vprinter.sock").string();
        setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
        setenv("SVCADJUST_PORTMAP", ("LPT2=unix:" + socketPath_).c_str(), 1);
        // Answers must never miss the deadline on a busy machine; only the
        // tests of a silent printer shorten it.
        hb::SetPortTimeout(5000);
        printer_ = std::make_unique<FakePrinter>(socketPath_);
    }
    void TearDown() override {
        PortCloseByOsSw();
        hb::SetTransportFactory({});
        hb::SetPortTimeout(2000);
        printer_.reset();
        unsetenv("SVCADJUST_PORTMAP");
        unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(dir_);
    }
    static std::int16_t Detail() {
        std::int16_t detail = 0;
        EXPECT_EQ(GetIoErrorCodeByOsSw(&detail), 1);
        return detail;
    }
    // Runs a call and returns what it wrote on standard error.
    template <typename Call>
    static std::string Diagnostics(Call call) {
        ::testing::internal::CaptureStderr();
        call();
        return ::testing::internal::GetCapturedStderr();
    }

    fs::path dir_;
    std::string socketPath_;
    std::unique_ptr<FakePrinter> printer_;
};

TEST_F(PortSwitch, OffersAllSixPorts) { EXPECT_EQ(GetOsVersion(), 164); }

TEST_F(PortSwitch, ConnectionCycleAgainstAVirtualPrinter) {
    EXPECT_EQ(hb::CurrentTransport(), nullptr);
    ASSERT_EQ(PortOpenByOsSw(1029), 1);
    ASSERT_NE(hb::CurrentTransport(), nullptr);
    EXPECT_EQ(GetDeviceIDByOsSw(), 1);

    std::array<char, 30> name;
    name.fill('\x55');
    ASSERT_EQ(GetModelNameByOsSw(name.data()), 1);
    EXPECT_EQ(std::string(name.data(), 17), "Corvid Lumen 4200");
    EXPECT_TRUE(std::all_of(name.begin() + 17, name.end(), [](char c) { return c == '\0'; }));

    // The packet-channel library reaches the printer through the open port.
    const std::uint8_t bytes[] = {0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00, 0x10};
    ASSERT_EQ(hb::CurrentTransport()->Write(bytes, sizeof bytes, 1000), hb::IoStatus::Ok);
    ASSERT_EQ(hb::CurrentTransport()->Reset(), hb::IoStatus::Ok);
    EXPECT_TRUE(printer_->WaitUntil([&](FakePrinter& p) {
        return p.data == std::string(reinterpret_cast<const char*>(bytes), sizeof bytes) && p.resets == 1;
    }));

    // Closing ends the connection; reopening the same port connects afresh.
    PortCloseByOsSw();
    EXPECT_EQ(hb::CurrentTransport(), nullptr);
    EXPECT_TRUE(printer_->WaitUntil([](FakePrinter& p) { return p.hangUps == 1; }));
    ASSERT_EQ(PortOpenByOsSw(1029), 1);
    EXPECT_EQ(GetDeviceIDByOsSw(), 1);
    EXPECT_TRUE(printer_->WaitUntil([](FakePrinter& p) { return p.connections == 2; }));
}

TEST_F(PortSwitch, DeviceIdWithoutD4InTheCommandSetGives4097) {
    printer_->Set(FakePrinter::Mode::Answer, WithPrefix("MFG:Corvid;MDL:Lumen D4;CLS:PRINTER;CMD:RASTER;"));
    ASSERT_EQ(PortOpenByOsSw(1029), 1);
    const std::string why = Diagnostics([] { EXPECT_EQ(GetDeviceIDByOsSw(), 0x1001); });
    EXPECT_NE(why.find("no \"D4\" in its command set \"RASTER\""), std::string::npos) << why;
    // The ID was read, so the model name is there.
    char name[30];
    ASSERT_EQ(GetModelNameByOsSw(name), 1);
    EXPECT_STREQ(name, "Lumen D4");
}

TEST_F(PortSwitch, LongModelNameIsCutToFitThe30ByteBuffer) {
    const std::string model = "Corvid Lumen 4200 Professional Photo Edition";
    printer_->Set(FakePrinter::Mode::Answer, WithPrefix("MDL:" + model + ";CMD:D4;"));
    ASSERT_EQ(PortOpenByOsSw(1029), 1);
    ASSERT_EQ(GetDeviceIDByOsSw(), 1);

    std::array<char, 40> buffer;
    buffer.fill('\x55');
    ASSERT_EQ(GetModelNameByOsSw(buffer.data()), 1);
    EXPECT_EQ(std::string(buffer.data()), model.substr(0, 29));
    EXPECT_EQ(buffer[29], '\0');
    EXPECT_TRUE(std::all_of(buffer.begin() + 30, buffer.end(), [](char c) { return c == '\x55'; }));
}

TEST_F(PortSwitch, ModelNameReadsTheIdWhenNoneWasRead) {
    ASSERT_EQ(PortOpenByOsSw(1029), 1);
    char name[30];
    ASSERT_EQ(GetModelNameByOsSw(name), 1);
    EXPECT_STREQ(name, "Corvid Lumen 4200");

    printer_->Set(FakePrinter::Mode::Answer, WithPrefix("MFG:Corvid;CMD:D4;"));
    ASSERT_EQ(PortOpenByOsSw(1029), 1);
    const std::string why = Diagnostics([&] { EXPECT_EQ(GetModelNameByOsSw(name), kPortFailure); });
    EXPECT_EQ(Detail(), -82);
    EXPECT_NE(why.find("names no model"), std::string::npos) << why;
}

TEST_F(PortSwitch, PrinterHangingUpIsAReadFailure) {
    printer_->Set(FakePrinter::Mode::HangUp);
    ASSERT_EQ(PortOpenByOsSw(1029), 1);
    const std::string why = Diagnostics([] { EXPECT_EQ(GetDeviceIDByOsSw(), kPortFailure); });
    EXPECT_EQ(Detail(), -82);
    EXPECT_NE(why.find("LPT2 (" + socketPath_ + "): device ID: the printer went away"), std::string::npos) << why;
}

TEST_F(PortSwitch, SilentPrinterEndsAtTheDeadline) {
    hb::SetPortTimeout(50);
    printer_->Set(FakePrinter::Mode::Silent);
    ASSERT_EQ(PortOpenByOsSw(1029), 1);
    const std::string why = Diagnostics([] { EXPECT_EQ(GetDeviceIDByOsSw(), kPortFailure); });
    EXPECT_EQ(Detail(), -104);
    EXPECT_NE(why.find("no answer before the deadline (50 ms)"), std::string::npos) << why;
    char name[30] = "untouched";
    EXPECT_EQ(GetModelNameByOsSw(name), kPortFailure);
    EXPECT_STREQ(name, "untouched");
}

TEST_F(PortSwitch, MalformedDeviceIdIsAReadFailure) {
    printer_->Set(FakePrinter::Mode::Answer, std::string("\x00\x40MDL:Lumen;CMD:D4;", 19));
    ASSERT_EQ(PortOpenByOsSw(1029), 1);
    const std::string why = Diagnostics([] { EXPECT_EQ(GetDeviceIDByOsSw(), kPortFailure); });
    EXPECT_EQ(Detail(), -82);
    EXPECT_NE(why.find("length prefix claims more bytes"), std::string::npos) << why;

    printer_->Set(FakePrinter::Mode::Answer, WithPrefix("MDL:Lumen\x1b[2J;CMD:D4;"));
    EXPECT_EQ(GetDeviceIDByOsSw(), kPortFailure);
    EXPECT_EQ(Detail(), -82);
}

TEST_F(PortSwitch, MissingDevicesAndSocketsAreExplained) {
    setenv("SVCADJUST_PORTMAP",
           ("LPT1=unix:" + (dir_ / "nobody.sock").string() + ";ZQUSB1=usblp:" + (dir_ / "lp9").string() +
            ";ZQUSB2=parport:" + (dir_ / "parport9").string())
               .c_str(),
           1);
    std::string why = Diagnostics([] { EXPECT_EQ(PortOpenByOsSw(1028), kPortFailure); });
    EXPECT_EQ(Detail(), -103);
    EXPECT_NE(why.find("LPT1: cannot open virtual printer socket"), std::string::npos) << why;
    EXPECT_NE(why.find("is the virtual printer running?"), std::string::npos) << why;

    why = Diagnostics([] { EXPECT_EQ(PortOpenByOsSw(1025), kPortFailure); });
    EXPECT_EQ(Detail(), -103);
    EXPECT_NE(why.find("ZQUSB1: cannot open USB printer device"), std::string::npos) << why;
    EXPECT_NE(why.find("no such device"), std::string::npos) << why;

    why = Diagnostics([] { EXPECT_EQ(PortOpenByOsSw(1026), kPortFailure); });
    EXPECT_EQ(Detail(), -103);
    EXPECT_NE(why.find("ZQUSB2: cannot open parallel port device"), std::string::npos) << why;
}

TEST_F(PortSwitch, SocketWithoutListenerIsRefused) {
    const std::string dead = (dir_ / "dead.sock").string();
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = Address(dead);
    ASSERT_EQ(::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(s);  // the socket file stays, nobody listens
    setenv("SVCADJUST_PORTMAP", ("LPT3=unix:" + dead).c_str(), 1);
    const std::string why = Diagnostics([] { EXPECT_EQ(PortOpenByOsSw(1030), kPortFailure); });
    EXPECT_EQ(Detail(), -103);
    EXPECT_NE(why.find("connection refused"), std::string::npos) << why;
}

TEST_F(PortSwitch, PermissionDeniedIsExplained) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not apply to root";
    const std::string locked = (dir_ / "lp0").string();
    std::ofstream(locked).put('x');
    ::chmod(locked.c_str(), 0);
    setenv("SVCADJUST_PORTMAP", ("ZQUSB1=usblp:" + locked).c_str(), 1);
    const std::string why = Diagnostics([] { EXPECT_EQ(PortOpenByOsSw(1025), kPortFailure); });
    EXPECT_EQ(Detail(), -105);
    EXPECT_NE(why.find("permission denied"), std::string::npos) << why;
}

TEST_F(PortSwitch, UnknownPortCodeFailsAndClosesTheOpenPort) {
    ASSERT_EQ(PortOpenByOsSw(1029), 1);
    const std::string why = Diagnostics([] { EXPECT_EQ(PortOpenByOsSw(1031), kPortFailure); });
    EXPECT_EQ(Detail(), -103);
    EXPECT_EQ(hb::CurrentTransport(), nullptr);
    EXPECT_NE(why.find("port code 1031 names no port"), std::string::npos) << why;
    EXPECT_TRUE(printer_->WaitUntil([](FakePrinter& p) { return p.hangUps == 1; }));
}

TEST_F(PortSwitch, NothingOpenMeansNoDeviceId) {
    EXPECT_EQ(GetDeviceIDByOsSw(), kPortFailure);
    EXPECT_EQ(Detail(), -105);
    char name[30];
    EXPECT_EQ(GetModelNameByOsSw(name), kPortFailure);
    EXPECT_EQ(GetModelNameByOsSw(nullptr), kPortFailure);
    EXPECT_NE(GetIoErrorCodeByOsSw(nullptr), 1);
}

TEST_F(PortSwitch, ConfigFileMapsPortsAndBadVariableEntriesFallBack) {
    std::ofstream(dir_ / "hostbridge" / "ports.conf") << "# bench\nZQUSB3 = unix:" << socketPath_ << "\n";
    setenv("SVCADJUST_PORTMAP", "ZQUSB3=printer-in-the-basement", 1);
    const std::string why = Diagnostics([] { EXPECT_EQ(PortOpenByOsSw(1027), 1); });
    EXPECT_NE(why.find("port map: SVCADJUST_PORTMAP: ZQUSB3: "), std::string::npos) << why;
    EXPECT_EQ(GetDeviceIDByOsSw(), 1);
}

TEST_F(PortSwitch, FifoAsConfigFileIsReportedAndDoesNotBlockTheOpen) {
    ASSERT_EQ(::mkfifo((dir_ / "hostbridge" / "ports.conf").c_str(), 0600), 0);
    setenv("SVCADJUST_PORTMAP", ("ZQUSB3=unix:" + socketPath_).c_str(), 1);
    const std::string why = Diagnostics([] { EXPECT_EQ(PortOpenByOsSw(1027), 1); });
    EXPECT_NE(why.find("hostbridge: port map: "), std::string::npos) << why;
    EXPECT_NE(why.find("ports.conf: not a regular file; file ignored"), std::string::npos) << why;
}

// A transport supplied in-process (as the virtual printer does) replaces the map.
TEST_F(PortSwitch, TransportFactoryReplacesTheMap) {
    class Scripted : public hb::Transport {
    public:
        hb::IoStatus Write(const std::uint8_t*, std::size_t, int) override { return hb::IoStatus::Ok; }
        hb::IoStatus Read(std::uint8_t*, std::size_t, int) override { return hb::IoStatus::Timeout; }
        hb::IoStatus ReadDeviceId(std::string& raw) override {
            raw = WithPrefix("MDL:In Process;CMD:D4");
            return hb::IoStatus::Ok;
        }
        hb::IoStatus Reset() override { return hb::IoStatus::Ok; }
    };
    std::uint16_t asked = 0;
    hb::SetTransportFactory([&](std::uint16_t code) -> std::unique_ptr<hb::Transport> {
        asked = code;
        if (code == 1026) return nullptr;
        return std::make_unique<Scripted>();
    });
    ASSERT_EQ(PortOpenByOsSw(1025), 1);
    EXPECT_EQ(asked, 1025);
    EXPECT_EQ(GetDeviceIDByOsSw(), 1);
    char name[30];
    ASSERT_EQ(GetModelNameByOsSw(name), 1);
    EXPECT_STREQ(name, "In Process");

    EXPECT_EQ(PortOpenByOsSw(1026), kPortFailure);
    EXPECT_EQ(Detail(), -103);
    EXPECT_EQ(printer_->connections, 0);
}

}  // namespace
