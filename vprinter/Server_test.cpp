// The port socket as a host sees it: frames that arrive in pieces, or that
// straddle what one read brings, are handled whole and in order.
#include "vprinter/Server.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "chanlink/HostChannel.h"
#include "vprinter/Control.h"
#include "vprinter/DirectTransport.h"
#include "vprinter/Eeprom.h"
#include "vprinter/Printer.h"

namespace vp {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Channel Init and the printer's answer to it.
const Bytes kInit{0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x10};
const Bytes kInitReply{0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x80, 0x00, 0x10};

// The server thread is stopped by a signal sent to it alone, so the stop
// flag is only ever touched by that thread, as a signal handler would.
volatile std::sig_atomic_t g_stop = 0;
void OnStop(int) { g_stop = 1; }

Bytes Frame(std::uint8_t kind, const Bytes& payload) {
    Bytes f(3 + payload.size());
    f[0] = kind;
    f[1] = static_cast<std::uint8_t>(payload.size() >> 8);
    f[2] = static_cast<std::uint8_t>(payload.size() & 0xFF);
    std::copy(payload.begin(), payload.end(), f.begin() + 3);
    return f;
}

class ServedPrinter : public ::testing::Test {
protected:
    void SetUp() override {
        struct sigaction action {};
        action.sa_handler = OnStop;
        sigemptyset(&action.sa_mask);
        ASSERT_EQ(::sigaction(SIGUSR1, &action, nullptr), 0);
        fs::create_directories(dir_);
        std::string error;
        ASSERT_TRUE(server_.Open(error)) << error;
        g_stop = 0;
        thread_ = std::thread([this] { server_.Run(g_stop); });

        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        const std::string path = (dir_ / "port.sock").string();
        std::memcpy(a.sun_path, path.c_str(), path.size());
        ASSERT_EQ(::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    }

    void TearDown() override {
        StopServer();
        if (fd_ >= 0) ::close(fd_);
        server_.Close();
        fs::remove_all(dir_);
    }

    // After this the printer may be looked at from the test.
    void StopServer() {
        if (!thread_.joinable()) return;
        ::pthread_kill(thread_.native_handle(), SIGUSR1);
        thread_.join();
    }

    void Send(const std::uint8_t* data, std::size_t n) {
        ASSERT_EQ(::send(fd_, data, n, MSG_NOSIGNAL), static_cast<ssize_t>(n));
    }

    // The payloads of the DATA frames that arrive, until `n` bytes came or
    // five seconds passed without any.
    Bytes ReceiveData(std::size_t n) {
        Bytes raw, data;
        while (data.size() < n) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) break;
            std::uint8_t buf[4096];
            const ssize_t r = ::recv(fd_, buf, sizeof buf, 0);
            if (r <= 0) break;
            raw.insert(raw.end(), buf, buf + r);
            while (raw.size() >= 3 && raw.size() >= 3u + (raw[1] << 8 | raw[2])) {
                const std::size_t length = raw[1] << 8 | raw[2];
                EXPECT_EQ(raw[0], 0x01) << "only DATA frames were expected";
                data.insert(data.end(), raw.begin() + 3, raw.begin() + 3 + static_cast<std::ptrdiff_t>(length));
                raw.erase(raw.begin(), raw.begin() + 3 + static_cast<std::ptrdiff_t>(length));
            }
        }
        return data;
    }

    fs::path dir_ = fs::temp_directory_path() / ("vprinter_server_" + std::to_string(::getpid()));
    Printer printer_{Printer::Options{}, Eeprom::Factory(1)};
    ControlCommands control_{printer_};
    Server server_{printer_, control_, {(dir_ / "port.sock").string(), (dir_ / "control.sock").string(), ""}};
    std::thread thread_;
    int fd_ = -1;
};

TEST_F(ServedPrinter, FramesArrivingByteByByteAreAnsweredWhole) {
    const std::string id = "MFG:Corvid;MDL:Corvid Lumen 4100;CLS:PRINTER;CMD:D4,REMOTE1;";
    Bytes wire = Frame(0x01, kInit);
    const Bytes ask = Frame(0x02, {});
    wire.insert(wire.end(), ask.begin(), ask.end());
    // A pause after each byte, so that most reach the printer in a read of their own.
    for (std::uint8_t b : wire) {
        Send(&b, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    Bytes expected = Frame(0x01, kInitReply);
    Bytes idFrame{0x82, 0x00, static_cast<std::uint8_t>(id.size() + 2), 0x00, static_cast<std::uint8_t>(id.size() + 2)};
    idFrame.insert(idFrame.end(), id.begin(), id.end());
    expected.insert(expected.end(), idFrame.begin(), idFrame.end());
    Bytes got(expected.size());
    std::size_t done = 0;
    while (done < got.size()) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) break;
        const ssize_t r = ::recv(fd_, got.data() + done, got.size() - done, 0);
        if (r <= 0) break;
        done += static_cast<std::size_t>(r);
    }
    EXPECT_EQ(got, expected);
}

TEST_F(ServedPrinter, LargestFramesStraddlingReadsLoseNoPacket) {
    // 8193 Init packets: one in a frame of its own, then a frame of the
    // largest size that ends seven bytes into the last of its packets, and a
    // third frame with the rest.
    constexpr std::size_t kPackets = 8192;
    Bytes stream;
    for (std::size_t i = 0; i < kPackets; ++i) stream.insert(stream.end(), kInit.begin(), kInit.end());
    Bytes wire = Frame(0x01, kInit);
    const std::size_t firstSend = wire.size() + 2;
    wire.insert(wire.end(), {0x01, 0xFF, 0xFF});
    wire.insert(wire.end(), stream.begin(), stream.begin() + 0xFFFF);
    wire.insert(wire.end(), {0x01, 0x00, static_cast<std::uint8_t>(stream.size() - 0xFFFF)});
    wire.insert(wire.end(), stream.begin() + 0xFFFF, stream.end());

    // A whole frame with part of the next header, then everything else at once.
    Send(wire.data(), firstSend);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Send(wire.data() + firstSend, wire.size() - firstSend);

    Bytes expected;
    for (std::size_t i = 0; i <= kPackets; ++i) expected.insert(expected.end(), kInitReply.begin(), kInitReply.end());
    EXPECT_EQ(ReceiveData(expected.size()), expected);
    StopServer();
    EXPECT_EQ(printer_.counters().hostPackets, kPackets + 1);
    EXPECT_EQ(printer_.counters().hostBytes, stream.size() + kInit.size());
}

}  // namespace
}  // namespace vp

namespace vp {
namespace {

int ConnectTo(const fs::path& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::memcpy(a.sun_path, path.c_str(), path.string().size());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One line from `fd`, or what came before five seconds passed or it closed.
std::string ReadLine(int fd) {
    std::string line;
    char c = 0;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 5000) > 0 && ::recv(fd, &c, 1, 0) == 1 && c != '\n') line += c;
    return line;
}

std::string Ask(int fd, const std::string& command) {
    const std::string line = command + "\n";
    if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) return "(send failed)";
    return ReadLine(fd);
}

double CpuSeconds(std::thread& t) {
    clockid_t id;
    timespec ts{};
    if (::pthread_getcpuclockid(t.native_handle(), &id) != 0 || ::clock_gettime(id, &ts) != 0) return -1;
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The newest host connection takes the port, so a socket other local users
// could open would let them take the printer from the program.
TEST(ServerSockets, AreTheOwnersAloneWhateverTheUmask) {
    const fs::path dir = fs::temp_directory_path() / ("vprinter_modes_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    Printer printer{Printer::Options{}, Eeprom::Factory(1)};
    ControlCommands control{printer};
    Server server{printer, control, {(dir / "port.sock").string(), (dir / "control.sock").string(), ""}};
    const mode_t before = ::umask(002);
    std::string error;
    const bool opened = server.Open(error);
    const mode_t during = ::umask(before);
    ASSERT_TRUE(opened) << error;
    EXPECT_EQ(during, 002u) << "the caller's umask is given back";
    for (const char* name : {"port.sock", "control.sock"}) {
        struct stat st {};
        ASSERT_EQ(::lstat((dir / name).c_str(), &st), 0) << name;
        EXPECT_TRUE(S_ISSOCK(st.st_mode)) << name;
        EXPECT_EQ(st.st_mode & 07777, 0600u) << name;
    }
    server.Close();
    fs::remove_all(dir);
}

// Sets a file size limit for the process while it lives; a write past it
// fails with EFBIG rather than raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit tight = old_;
        tight.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &tight);
        oldSignal_ = ::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::signal(SIGXFSZ, oldSignal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldSignal_)(int) = SIG_DFL;
};

Bytes FileContent(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Bytes ImageBytes(const Eeprom& e) { return Bytes(e.bytes().begin(), e.bytes().end()); }

// A served printer keeps its EEPROM image on disk. A write the disk cannot
// take is refused, the image on disk stays whole, and what the printer
// still has to save goes to disk once a save works again.
TEST(ServedImage, AWriteTheDiskCannotTakeIsRefusedAndTheSaveIsRetried) {
    const fs::path dir = fs::temp_directory_path() / ("vprinter_image_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path image = dir / "printer.eep";
    Printer printer{Printer::Options{}, Eeprom::Factory(1)};
    ControlCommands control{printer};
    std::string error;
    ASSERT_TRUE(printer.eeprom().Save(image.string(), error)) << error;
    // Not opened: the EEPROM commit does not need the sockets.
    Server server{printer, control, {(dir / "port.sock").string(), (dir / "control.sock").string(), image.string()}};
    DirectTransport link(printer);
    d4::HostChannel host(link);
    ASSERT_EQ(host.Negotiate(), d4::kResultOk);
    ASSERT_EQ(host.WriteEeprom(0x20, 0x11), d4::kResultOk);
    EXPECT_EQ(FileContent(image)[0x20], 0x11) << "an acknowledged write is on disk";
    const Bytes kept = FileContent(image);
    {
        const FileSizeLimit full(100);  // the image is 256 bytes
        EXPECT_EQ(host.WriteEeprom(0x20, 0x22), d4::kResultChannel);
        EXPECT_EQ(host.detail(), d4::detail::RefusedBase + 1) << "refused, the channel stays";
        EXPECT_EQ(printer.eeprom().Get(0x20), 0x11);
        // A change the printer makes itself waits for a save that works.
        printer.AddToCounter(addr::kCutCount, 2, 1);
        EXPECT_FALSE(server.SaveEeprom(error));
        EXPECT_EQ(FileContent(image), kept) << "the old image stays whole";
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
            << "no temporary file is left";
    }
    ASSERT_TRUE(server.SaveEeprom(error)) << error;
    EXPECT_EQ(FileContent(image), ImageBytes(printer.eeprom()));
    EXPECT_NE(FileContent(image), kept);
    ASSERT_EQ(host.WriteEeprom(0x20, 0x22), d4::kResultOk);
    EXPECT_EQ(FileContent(image), ImageBytes(printer.eeprom()));
    EXPECT_EQ(FileContent(image)[0x20], 0x22);
    fs::remove_all(dir);
}

TEST_F(ServedPrinter, ControlClientsBeyondTheLimitAreTurnedAwayAndThePortStillAnswers) {
    std::vector<int> clients;
    for (int i = 0; i < 16; ++i) {
        clients.push_back(ConnectTo(dir_ / "control.sock"));
        ASSERT_EQ(Ask(clients.back(), "power on"), "OK power on") << i;
    }
    const int extra = ConnectTo(dir_ / "control.sock");
    EXPECT_EQ(ReadLine(extra), "ERR too many control connections (16); try again later");
    ::close(extra);
    const Bytes init = Frame(0x01, kInit);
    Send(init.data(), init.size());
    EXPECT_EQ(ReceiveData(kInitReply.size()), kInitReply);
    ::close(clients.back());
    clients.pop_back();
    // The freed place is taken by the next client once the close is seen.
    std::string answer;
    for (int i = 0; i < 50 && answer != "OK busy off"; ++i) {
        const int again = ConnectTo(dir_ / "control.sock");
        answer = Ask(again, "busy off");
        ::close(again);
        if (answer != "OK busy off") std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(answer, "OK busy off");
    for (int fd : clients) ::close(fd);
}

// Out of descriptors, accept() fails and leaves the listening socket
// readable: the server must not spin on it, and the port goes on answering.
TEST_F(ServedPrinter, OutOfDescriptorsTheServerBacksOffAndKeepsServingThePort) {
    const Bytes init = Frame(0x01, kInit);
    Send(init.data(), init.size());
    ASSERT_EQ(ReceiveData(kInitReply.size()), kInitReply);  // the host is connected
    std::vector<int> waiting;
    for (int i = 0; i < 3; ++i) waiting.push_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
    int highest = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd"))
        highest = std::max(highest, std::stoi(entry.path().filename().string()));
    rlimit tight = old;
    tight.rlim_cur = static_cast<rlim_t>(highest + 1);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    std::vector<int> fillers;  // every free number below the limit
    for (int fd; (fd = ::dup(0)) >= 0;) fillers.push_back(fd);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const std::string path = (dir_ / "control.sock").string();
    std::memcpy(a.sun_path, path.c_str(), path.size());
    for (int fd : waiting) ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);

    const double before = CpuSeconds(thread_);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double used = CpuSeconds(thread_) - before;
    Send(init.data(), init.size());
    const Bytes reply = ReceiveData(kInitReply.size());

    for (int fd : fillers) ::close(fd);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &old), 0);
    EXPECT_LT(used, 0.1) << "the server thread spun while it could not accept";
    EXPECT_EQ(reply, kInitReply);
    // With descriptors back, the waiting clients are served.
    EXPECT_EQ(Ask(waiting[0], "busy off"), "OK busy off");
    for (int fd : waiting) ::close(fd);
}

}  // namespace
}  // namespace vp
