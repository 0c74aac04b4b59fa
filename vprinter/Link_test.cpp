// The virtual printer seen through the real port switch and channel library,
// first in-process (virtual time, no sockets), then as the standalone program
// on a real Unix socket.
#include <gtest/gtest.h>

#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "chanlink/Capture.h"
#include "hostbridge/Transport.h"
#include "chanlink/ChannelApi.h"
#include "hostbridge/PortSwitch.h"
#include "vprinter/DirectTransport.h"
#include "vprinter/Printer.h"

extern char** environ;

namespace vp {
namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kLpt1 = 1028;
constexpr std::uint16_t kOk = 1;
constexpr std::uint16_t kChannelError = 0x2000;
constexpr std::uint16_t kBusy = 51;

std::vector<std::uint8_t> Block(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint8_t>(seed + i * 13);
    return v;
}

// Connects the way the start window does.
std::uint16_t Connect() {
    PortCloseByOsSw();
    std::uint16_t r = PortOpenByOsSw(kLpt1);
    if (r == kOk) r = GetDeviceIDByOsSw();
    if (r == kOk) r = D4Negotiation();
    return r;
}

class InProcess : public ::testing::Test {
protected:
    static Printer::Options Options() {
        Printer::Options o;
        o.model = 2;
        o.bufferCapacity = 8192;
        o.bytesPerSecond = 1000;
        return o;
    }
    void SetUp() override { ASSERT_EQ(Connect(), kOk); }
    void TearDown() override {
        D4Termination();
        PortCloseByOsSw();
    }

    Printer printer{Options(), Eeprom::Factory(2)};
    InProcessPorts ports{printer};
};

// The model name comes from what the printer is, not from what its EEPROM
// says: a 4100 with a blank new board, or with a 4200's EEPROM restored onto
// it, still names itself a 4100 (the destination Check compares the two).
TEST(ModelName, IsTheModelThePrinterIsWhateverItsEeprom) {
    for (const Eeprom& eeprom : {Eeprom::NewBoard(), Eeprom::Factory(2)}) {
        Printer p(Printer::Options{}, eeprom);
        InProcessPorts ports(p);
        ASSERT_EQ(Connect(), kOk);
        char name[30];
        ASSERT_EQ(GetModelNameByOsSw(name), kOk);
        EXPECT_STREQ(name, "Corvid Lumen 4100");
        D4Termination();
        PortCloseByOsSw();
    }
}

// The EEPROM copy as a technician runs it on one printer: back up the old
// board, switch off, replace the board, switch on, Get Status, restore.
TEST_F(InProcess, EepromCopyAcrossABoardReplacement) {
    std::vector<std::uint8_t> backup(256);
    for (int a = 0; a < 256; ++a) ASSERT_EQ(D4ReadEeprom(static_cast<std::uint8_t>(a), &backup[a]), kOk);
    printer.SetPower(false);
    std::uint8_t v = 0;
    EXPECT_EQ(D4ReadEeprom(0, &v), kChannelError);  // off: nothing answers
    ASSERT_TRUE(printer.ReplaceBoard());
    printer.SetPower(true);
    ASSERT_EQ(Connect(), kOk);
    std::uint8_t record[52];
    ASSERT_EQ(InquireStatus(record), kOk);
    EXPECT_EQ(record[0], kStateReady);
    ASSERT_EQ(D4ReadEeprom(0x20, &v), kOk);
    EXPECT_EQ(v, 0);  // the new board knows nothing yet
    for (int a = 0; a < 256; ++a) ASSERT_EQ(D4WriteEeprom(static_cast<std::uint8_t>(a), backup[a]), kOk);
    EXPECT_EQ(printer.eeprom(), Eeprom::Factory(2));
}

// An EEPROM write is answered only once it is kept; one that cannot be kept
// is refused and leaves the byte as it was.
TEST_F(InProcess, AWriteThatCannotBeCommittedIsRefused) {
    int commits = 0;
    bool keep = true;
    printer.SetEepromCommit([&] {
        ++commits;
        return keep;
    });
    ASSERT_EQ(D4WriteEeprom(0x20, 0x11), kOk);
    EXPECT_EQ(commits, 1);
    ASSERT_EQ(D4WriteEeprom(0x20, 0x11), kOk);  // the same value: nothing to commit
    EXPECT_EQ(commits, 1);
    keep = false;
    EXPECT_EQ(D4WriteEeprom(0x20, 0x22), kChannelError);
    EXPECT_EQ(GetD4ErrorCode(), 0x0701);
    EXPECT_EQ(printer.eeprom().Get(0x20), 0x11);
    std::uint8_t v = 0;
    ASSERT_EQ(D4ReadEeprom(0x20, &v), kOk);  // the channel is still there
    EXPECT_EQ(v, 0x11);
    printer.SetEepromCommit(nullptr);
}

// The end of the DOA refurbishment: after the power button the printer is
// busy while it shuts down, then answers nothing.
TEST_F(InProcess, ThePowerButtonShutsDownThenTheLinkGoesSilent) {
    std::uint8_t record[52];
    printer.PressPowerButton();
    ASSERT_EQ(InquireStatus(record), kOk);
    EXPECT_EQ(record[0], kStateBusy);
    printer.Advance(Printer::kShutdownMs - 1);
    ASSERT_EQ(InquireStatus(record), kOk);
    EXPECT_EQ(record[0], kStateBusy);
    printer.Advance(1);
    EXPECT_FALSE(printer.PoweredOn());
    EXPECT_NE(InquireStatus(record), kOk);
    printer.PressPowerButton();
    EXPECT_TRUE(printer.PoweredOn());
    ASSERT_EQ(Connect(), kOk);
    ASSERT_EQ(InquireStatus(record), kOk);
    EXPECT_EQ(record[0], kStateReady);
}

TEST_F(InProcess, ReadsAndWritesEveryEepromAddress) {
    char name[30];
    ASSERT_EQ(GetModelNameByOsSw(name), kOk);
    EXPECT_STREQ(name, "Corvid Lumen 4200");
    for (int a = 0; a < 256; ++a) {
        std::uint8_t v = 0;
        ASSERT_EQ(D4ReadEeprom(static_cast<std::uint8_t>(a), &v), kOk) << a;
        EXPECT_EQ(v, Eeprom::Factory(2).Get(static_cast<std::uint8_t>(a))) << a;
    }
    for (int a = 0; a < 256; ++a)
        ASSERT_EQ(D4WriteEeprom(static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(a * 7 + 3)), kOk) << a;
    for (int a = 0; a < 256; ++a) {
        std::uint8_t v = 0;
        ASSERT_EQ(D4ReadEeprom(static_cast<std::uint8_t>(a), &v), kOk);
        EXPECT_EQ(v, static_cast<std::uint8_t>(a * 7 + 3)) << a;
        EXPECT_EQ(printer.eeprom().Get(static_cast<std::uint8_t>(a)), v);
    }
    EXPECT_EQ(printer.counters().eepromReads, 512u);
    EXPECT_EQ(printer.counters().eepromWrites, 256u);
}

TEST_F(InProcess, StatusRecordArrivesFromByteZero) {
    std::uint8_t record[52];
    ASSERT_EQ(InquireStatus(record), kOk);
    const StatusRecord expected = printer.Status();
    EXPECT_TRUE(std::equal(record, record + 52, expected.begin()));
    EXPECT_EQ(record[0], 4);

    printer.InjectError(6);
    printer.SetInkCondition(kGray, InkCondition::Missing);
    ASSERT_EQ(InquireStatus(record), kOk);
    EXPECT_EQ(record[0], 0);
    EXPECT_EQ(record[1], 6);
    EXPECT_EQ(record[26], 'A');
    EXPECT_EQ(record[27], 'N');
}

TEST_F(InProcess, FullBufferIsRefusedAsBusyUntilPrintingMakesRoom) {
    std::vector<std::vector<std::uint8_t>> sent;
    std::uint16_t r = kOk;
    for (int i = 0; i < 20 && r == kOk; ++i) {
        const auto block = Block(1000, static_cast<std::uint8_t>(i));
        r = SendDataChannel(block.data(), static_cast<std::uint32_t>(block.size()));
        if (r == kOk) sent.push_back(block);
    }
    ASSERT_EQ(r, kChannelError);
    EXPECT_EQ(GetD4ErrorCode(), kBusy);
    EXPECT_EQ(sent.size(), 8u) << "8192 bytes of buffer take eight blocks";

    // The status shows it printing; the same block goes once there is room.
    std::uint8_t record[52];
    ASSERT_EQ(InquireStatus(record), kOk);
    EXPECT_EQ(record[0], 3);
    printer.Advance(1500);
    const auto block = Block(1000, 99);
    ASSERT_EQ(SendDataChannel(block.data(), 1000), kOk);
    sent.push_back(block);
    printer.Advance(60000);
    ASSERT_EQ(InquireStatus(record), kOk);
    EXPECT_EQ(record[0], 4);

    std::vector<std::uint8_t> all;
    for (const auto& b : sent) all.insert(all.end(), b.begin(), b.end());
    EXPECT_TRUE(std::equal(all.begin(), all.end(), printer.ReceivedData().begin(), printer.ReceivedData().end()));
}

TEST_F(InProcess, StuckBusyRefusesDataAsBusy) {
    printer.SetStuckBusy(true);
    const auto block = Block(1000, 1);
    std::uint16_t r = kOk;
    for (int i = 0; i < 20 && r == kOk; ++i) r = SendDataChannel(block.data(), 1000);
    EXPECT_EQ(r, kChannelError);
    EXPECT_EQ(GetD4ErrorCode(), kBusy);
    // Blocks sent on credit granted before are in the buffer and still print.
    printer.SetStuckBusy(false);
    printer.Advance(10000);
    EXPECT_EQ(SendDataChannel(block.data(), 1000), kOk) << GetD4ErrorCode();
}

TEST_F(InProcess, RefusedBlockCarriesTheChosenDetail) {
    printer.RefuseNextBlock(7);
    const auto block = Block(1000, 2);
    std::uint16_t r = kOk;
    for (int i = 0; i < 20 && r == kOk; ++i) r = SendDataChannel(block.data(), 1000);
    EXPECT_EQ(r, kChannelError);
    EXPECT_EQ(GetD4ErrorCode(), 0x0707);
    EXPECT_EQ(printer.counters().refusedBlocks, 1u);
    // One block only: once there is room the next send goes through.
    printer.Advance(10000);
    EXPECT_EQ(SendDataChannel(block.data(), 1000), kOk) << GetD4ErrorCode();
}

TEST_F(InProcess, PowerOffMidOperationFailsAndPowerOnRecovers) {
    std::uint8_t v = 0;
    ASSERT_EQ(D4ReadEeprom(0xE0, &v), kOk);
    printer.SetPower(false);
    EXPECT_NE(D4ReadEeprom(0xE0, &v), kOk);
    std::uint8_t record[52];
    EXPECT_NE(InquireStatus(record), kOk);
    EXPECT_NE(Connect(), kOk);
    printer.SetPower(true);
    ASSERT_EQ(Connect(), kOk);
    EXPECT_EQ(D4ReadEeprom(0xE0, &v), kOk);
    EXPECT_EQ(v, 0x02);
}

TEST_F(InProcess, DroppedLinkFailsTheOperationThatCrossesIt) {
    // Each EEPROM read is one request packet; the fourth brings the link down.
    printer.DropLinkAfter(4);
    std::uint8_t v = 0;
    int done = 0;
    while (done < 10 && D4ReadEeprom(static_cast<std::uint8_t>(done), &v) == kOk) ++done;
    EXPECT_LT(done, 4);
    EXPECT_TRUE(printer.LinkDropped());
    EXPECT_NE(D4WriteEeprom(0x20, 0), kOk);
    ASSERT_EQ(Connect(), kOk) << "reopening the port reaches the printer again";
    EXPECT_EQ(D4ReadEeprom(0x00, &v), kOk);
    EXPECT_EQ(v, 0x5A);
}

// ---- the standalone program ----

class Standalone : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vprinter_e2e_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        socket_ = (dir_ / "lumen.sock").string();
        control_ = socket_ + ".ctl";
        eeprom_ = (dir_ / "lumen.eep").string();
        hb::SetTransportFactory({});
        ::setenv("SVCADJUST_PORTMAP", ("LPT1=unix:" + socket_).c_str(), 1);
        pid_ = Spawn({"--socket", socket_, "--model", "4200", "--eeprom", eeprom_, "--buffer", "4096", "--quiet"});
        ASSERT_GT(pid_, 0);
        // The program creates the control socket last.
        for (int i = 0; i < 1000 && !fs::exists(control_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(fs::exists(control_)) << "vprinter did not start";
    }

    void TearDown() override {
        PortCloseByOsSw();
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::unsetenv("SVCADJUST_PORTMAP");
        fs::remove_all(dir_);
    }

    static pid_t Spawn(std::vector<std::string> args) {
        args.insert(args.begin(), VPRINTER_BINARY);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        return ::posix_spawn(&pid, VPRINTER_BINARY, nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
    }

    // `vprinter --send`, as a technician would type it; returns its exit status.
    int Send(const std::string& command) const {
        const pid_t pid = Spawn({"--send", command, "--control", control_});
        int status = 0;
        if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }

    fs::path dir_;
    std::string socket_, control_, eeprom_;
    pid_t pid_ = -1;
};

TEST_F(Standalone, ServesTheChannelOverItsSocketAndObeysItsControlSocket) {
    ASSERT_EQ(Connect(), kOk);
    char name[30];
    ASSERT_EQ(GetModelNameByOsSw(name), kOk);
    EXPECT_STREQ(name, "Corvid Lumen 4200");
    std::uint8_t v = 0;
    ASSERT_EQ(D4ReadEeprom(0xE0, &v), kOk);
    EXPECT_EQ(v, 0x02);
    ASSERT_EQ(D4WriteEeprom(0x20, 0x55), kOk);

    std::uint8_t record[52];
    ASSERT_EQ(InquireStatus(record), kOk);
    EXPECT_EQ(record[0], 4);
    EXPECT_EQ(Send("error 6"), 0);
    EXPECT_EQ(Send("error 300"), 1);
    ASSERT_EQ(InquireStatus(record), kOk);
    EXPECT_EQ(record[0], 0);
    EXPECT_EQ(record[1], 6);
    EXPECT_EQ(Send("error clear"), 0);

    // Stuck busy: print data is refused as busy.
    EXPECT_EQ(Send("busy on"), 0);
    const auto block = Block(1000, 5);
    std::uint16_t r = kOk;
    for (int i = 0; i < 20 && r == kOk; ++i) r = SendDataChannel(block.data(), 1000);
    EXPECT_EQ(r, kChannelError);
    EXPECT_EQ(GetD4ErrorCode(), kBusy);
    EXPECT_EQ(Send("busy off"), 0);

    // Powered off, the printer keeps the connection but answers nothing.
    EXPECT_EQ(Send("power off"), 0);
    EXPECT_NE(D4ReadEeprom(0xE0, &v), kOk);
    EXPECT_EQ(Send("power on"), 0);
    ASSERT_EQ(Connect(), kOk);
    ASSERT_EQ(D4ReadEeprom(0x20, &v), kOk);
    EXPECT_EQ(v, 0x55);
    PortCloseByOsSw();

    // A clean stop saves the EEPROM and removes both socket files.
    ASSERT_EQ(::kill(pid_, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid_, &status, 0), pid_);
    pid_ = -1;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(fs::exists(socket_));
    EXPECT_FALSE(fs::exists(control_));
    Eeprom saved;
    std::string error;
    ASSERT_TRUE(saved.Load(eeprom_, error)) << error;
    EXPECT_EQ(saved.Get(0x20), 0x55);
    EXPECT_EQ(saved.Get(0xE0), 0x02);
}

// Reads what arrives within five seconds, until `n` bytes or the peer closes.
std::vector<std::uint8_t> ReadSome(int fd, std::size_t n, bool& closed) {
    std::vector<std::uint8_t> got;
    closed = false;
    while (got.size() < n) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) break;
        std::uint8_t buf[512];
        const ssize_t r = ::recv(fd, buf, std::min(sizeof buf, n - got.size()), 0);
        if (r <= 0) {
            closed = r == 0;
            break;
        }
        got.insert(got.end(), buf, buf + r);
    }
    return got;
}

int ConnectRaw(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::memcpy(a.sun_path, path.c_str(), path.size());
    return ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? fd : -1;
}

TEST_F(Standalone, AnswersFramesByteForByteAndHangsUpOnUnknownKinds) {
    // A newer host replaces one that never closed its connection.
    const int stale = ConnectRaw(socket_);
    ASSERT_GE(stale, 0);
    const int fd = ConnectRaw(socket_);
    ASSERT_GE(fd, 0);
    bool closed = false;
    EXPECT_TRUE(ReadSome(stale, 1, closed).empty());
    EXPECT_TRUE(closed);
    ::close(stale);

    const std::uint8_t ask[] = {0x02, 0x00, 0x00};
    ASSERT_EQ(::send(fd, ask, sizeof ask, MSG_NOSIGNAL), 3);
    const std::string text = "MFG:Corvid;MDL:Corvid Lumen 4200;CLS:PRINTER;CMD:D4,REMOTE1;";
    std::vector<std::uint8_t> expected = {0x82, 0x00, static_cast<std::uint8_t>(text.size() + 2), 0x00,
                                          static_cast<std::uint8_t>(text.size() + 2)};
    expected.insert(expected.end(), text.begin(), text.end());
    EXPECT_EQ(ReadSome(fd, expected.size(), closed), expected);

    const std::uint8_t unknown[] = {0x7E, 0x00, 0x00};
    ASSERT_EQ(::send(fd, unknown, sizeof unknown, MSG_NOSIGNAL), 3);
    EXPECT_TRUE(ReadSome(fd, 1, closed).empty());
    EXPECT_TRUE(closed);
    ::close(fd);

    // The printer itself is fine and takes the next host.
    ASSERT_EQ(Connect(), kOk);
    EXPECT_EQ(Send("drop 1"), 0);
    std::uint8_t v = 0;
    EXPECT_NE(D4ReadEeprom(0x00, &v), kOk) << "the link drops with this request";
    ASSERT_EQ(Connect(), kOk);
    EXPECT_EQ(D4ReadEeprom(0x00, &v), kOk);
    EXPECT_EQ(v, 0x5A);
}

// Killed at any moment, the printer never loses a write it acknowledged.
TEST_F(Standalone, AnAcknowledgedEepromWriteSurvivesKill9) {
    for (int round = 1; round <= 8; ++round) {
        ASSERT_EQ(Connect(), kOk) << round;
        const std::uint8_t value = static_cast<std::uint8_t>(0x40 + round);
        ASSERT_EQ(D4WriteEeprom(0x21, value), kOk);
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        PortCloseByOsSw();
        Eeprom saved;
        std::string error;
        ASSERT_TRUE(saved.Load(eeprom_, error)) << error;
        ASSERT_EQ(saved.Get(0x21), value) << "round " << round;
        fs::remove(socket_);
        fs::remove(control_);
        pid_ = Spawn({"--socket", socket_, "--model", "4200", "--eeprom", eeprom_, "--quiet"});
        for (int i = 0; i < 1000 && !fs::exists(control_); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(fs::exists(control_));
    }
}

TEST_F(Standalone, TakesAnySpeedAndSaysWhatItTakes) {
    EXPECT_EQ(Send("speed unlimited"), 0);
    EXPECT_EQ(Send("speed 4294967294"), 0);
    EXPECT_EQ(Send("speed 4294967295"), 1);
    EXPECT_EQ(Send("speed fast"), 1);
}

TEST_F(Standalone, RefusesToReplaceABadEepromImage) {
    const std::string bad = (dir_ / "short.eep").string();
    std::ofstream(bad, std::ios::binary) << std::string(100, 'x');
    const pid_t pid = Spawn({"--socket", (dir_ / "other.sock").string(), "--eeprom", bad, "--quiet"});
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0);
    EXPECT_EQ(fs::file_size(bad), 100u) << "the bad image is left as it was";
    // A second printer on a live socket is refused too.
    const pid_t twin = Spawn({"--socket", socket_, "--quiet"});
    ASSERT_EQ(::waitpid(twin, &status, 0), twin);
    EXPECT_NE(WEXITSTATUS(status), 0);
    EXPECT_TRUE(fs::exists(socket_));
}

TEST_F(Standalone, RecordsEveryPacketOfThePortSocketWhenAskedTo) {
    // The printer of SetUp runs without a capture; this one records.
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    fs::remove(socket_);
    fs::remove(control_);
    const std::string capture = (dir_ / "link.cap").string();
    pid_ = Spawn({"--socket", socket_, "--capture", capture, "--quiet"});
    ASSERT_GT(pid_, 0);
    for (int i = 0; i < 1000 && !fs::exists(control_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!fs::exists(control_))
        GTEST_SKIP() << "this vprinter was built without its print engine, which brings the capture";

    ASSERT_EQ(Connect(), kOk);
    std::uint8_t v = 0;
    ASSERT_EQ(D4ReadEeprom(0xE0, &v), kOk);
    PortCloseByOsSw();
    ASSERT_EQ(::kill(pid_, SIGTERM), 0);
    ASSERT_EQ(::waitpid(pid_, nullptr, 0), pid_);
    pid_ = -1;

    d4::CaptureReader reader;
    ASSERT_TRUE(reader.Open(capture)) << reader.Error();
    d4::CaptureRecord record;
    int fromHost = 0, fromPrinter = 0;
    std::uint64_t last = 0;
    while (reader.Next(record)) {
        ASSERT_GE(record.bytes.size(), 6u);
        // Every record is one whole packet: its header's length is its size.
        EXPECT_EQ(record.bytes[2] * 256u + record.bytes[3], record.bytes.size());
        EXPECT_GE(record.micros, last);
        last = record.micros;
        (record.direction == d4::Direction::HostToPrinter ? fromHost : fromPrinter)++;
    }
    EXPECT_TRUE(reader.Error().empty()) << reader.Error();
    // Init, the channel opens and the EEPROM read each went there and back.
    EXPECT_GE(fromHost, 3);
    EXPECT_GE(fromPrinter, 3);
}

}  // namespace
}  // namespace vp

TEST(InProcessPortsLifetime, DetachingThePrinterClosesAPortLeftOpenOnIt) {
    vp::Printer printer{vp::Printer::Options{}, vp::Eeprom::Factory(1)};
    {
        vp::InProcessPorts ports{printer};
        ASSERT_EQ(PortOpenByOsSw(1028), 1);
        ASSERT_NE(hb::CurrentTransport(), nullptr);
    }
    // The transport went with the printer's ports, not later with the library.
    EXPECT_EQ(hb::CurrentTransport(), nullptr);
    // The port switch's own mapping is back: LPT1 leads where the map says.
    ::setenv("SVCADJUST_PORTMAP", "LPT1=unix:/nonexistent/vprinter.sock", 1);
    EXPECT_EQ(PortOpenByOsSw(1028), 0x1000);
    ::unsetenv("SVCADJUST_PORTMAP");
}
