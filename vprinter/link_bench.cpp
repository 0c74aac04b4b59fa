// Cost of the whole path to the virtual printer against the bare socket it
// runs on. The program's C functions go through the channel and port-switch
// libraries and the port's Unix socket to a printer served by vp::Server on a
// thread of this process. Beside each, the same sizes go over a bare
// socketpair to a thread that only answers or drains. The ratios are printed
// at the end of the run.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/wait.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <limits>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "chanlink/testing/RatioReporter.h"
#include "chanlink/ChannelApi.h"
#include "hostbridge/PortSwitch.h"
#include "vprinter/Control.h"
#include "vprinter/Eeprom.h"
#include "vprinter/Printer.h"
#include "vprinter/Server.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kLpt1 = 1028;
constexpr std::uint16_t kOk = 1;
constexpr std::size_t kBlock = 1000;

// What crosses the port socket for one EEPROM byte: the 8-byte request
// packet and the 10-byte reply packet, each in a frame with a 3-byte header.
constexpr std::size_t kRequestBytes = 8 + 3;
constexpr std::size_t kReplyBytes = 10 + 3;

// The server thread stops through a signal sent to it alone, so the stop
// flag is written and read by that thread only, as the server expects.
volatile std::sig_atomic_t g_stop = 0;
constexpr int kStopSignal = SIGUSR1;

void OnStop(int) { g_stop = 1; }

void InstallStopHandler() {
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigemptyset(&action.sa_mask);
    ::sigaction(kStopSignal, &action, nullptr);  // no SA_RESTART: the server's poll must return
}

// CPU time the calling thread has used so far.
double ThreadCpuNs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// The far end's CPU time per iteration, beside the benchmark's own: on a
// machine with few cores the two ends share them.
void ReportPeerCpu(benchmark::State& state, double peerCpuNs) {
    state.counters["peer_cpu"] = benchmark::Counter(peerCpuNs * 1e-9, benchmark::Counter::kAvgIterations);
}

// A printer whose input buffer never fills while the benchmark runs: it takes
// tens of megabytes and drains at the highest speed the printer can be set to.
vp::Printer::Options FastPrinter() {
    vp::Printer::Options o;
    o.bufferCapacity = 64u << 20;
    o.bytesPerSecond = std::numeric_limits<std::uint32_t>::max();
    o.receivedLogLimit = 0;
    return o;
}

// The virtual printer on a socket of its own, served by a thread, with the
// port LPT1 mapped to it, opened and its channel negotiated as the program
// does at start.
class VirtualPrinter {
public:
    VirtualPrinter()
        : dir_(fs::temp_directory_path() / ("vprinter_link_bench_" + std::to_string(::getpid()))),
          printer_(FastPrinter(), vp::Eeprom::Factory(1)),
          control_(printer_),
          server_(printer_, control_, Paths(dir_)) {
        fs::create_directories(dir_);
        std::string error;
        if (!server_.Open(error)) {
            error_ = error;
            return;
        }
        g_stop = 0;
        thread_ = std::thread([this] {
            ::pthread_setname_np(::pthread_self(), "printer");  // to tell it apart in a profile
            server_.Run(g_stop);
            serverCpuNs_ = ThreadCpuNs();
        });
        const std::string map = "LPT1=unix:" + (dir_ / "port.sock").string();
        ::setenv("SVCADJUST_PORTMAP", map.c_str(), 1);
        if (PortOpenByOsSw(kLpt1) != kOk || GetDeviceIDByOsSw() != kOk || D4Negotiation() != kOk)
            error_ = "cannot reach the virtual printer through LPT1";
    }

    ~VirtualPrinter() {
        Stop();
        server_.Close();
        ::unsetenv("SVCADJUST_PORTMAP");
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    const std::string& error() const { return error_; }

    // Ends the conversation and the server thread; the printer may be
    // looked at afterwards. A status inquiry first makes sure the server has
    // handled everything sent before it.
    bool Stop() {
        if (!thread_.joinable()) return false;
        std::uint8_t record[52];
        const bool caughtUp = error_.empty() && InquireStatus(record) == kOk;
        D4Termination();
        PortCloseByOsSw();
        ::pthread_kill(thread_.native_handle(), kStopSignal);
        thread_.join();
        return caughtUp;
    }

    const vp::Printer& printer() const { return printer_; }
    // CPU time the server thread used, known once it has stopped.
    double serverCpuNs() const { return serverCpuNs_; }

private:
    static vp::ServerOptions Paths(const fs::path& dir) {
        vp::ServerOptions o;
        o.socketPath = (dir / "port.sock").string();
        o.controlPath = (dir / "control.sock").string();
        return o;
    }

    fs::path dir_;
    vp::Printer printer_;
    vp::ControlCommands control_;
    vp::Server server_;
    std::thread thread_;
    std::string error_;
    double serverCpuNs_ = 0;
};

void BM_EepromByteRoundTrip(benchmark::State& state) {
    VirtualPrinter vp;
    if (!vp.error().empty()) return state.SkipWithError(vp.error().c_str());
    std::uint8_t address = 0, value = 0;
    for (auto _ : state) {
        if (D4ReadEeprom(address++, &value) != kOk) return state.SkipWithError("EEPROM read failed");
        benchmark::DoNotOptimize(value);
    }
    if (!vp.Stop() || vp.printer().counters().eepromReads != static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("the printer did not see every read");
    ReportPeerCpu(state, vp.serverCpuNs());
}
BENCHMARK(BM_EepromByteRoundTrip)->UseRealTime();

void BM_DataBlocks(benchmark::State& state) {
    VirtualPrinter vp;
    if (!vp.error().empty()) return state.SkipWithError(vp.error().c_str());
    std::vector<std::uint8_t> block(kBlock, 0x33);
    for (auto _ : state) {
        if (SendDataChannel(block.data(), kBlock) != kOk) {
            const std::string why = "block refused, detail " + std::to_string(GetD4ErrorCode());
            return state.SkipWithError(why.c_str());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlock));
    if (!vp.Stop() || vp.printer().counters().dataAccepted != static_cast<std::uint64_t>(state.iterations()) * kBlock)
        state.SkipWithError("the printer did not take every block");
    ReportPeerCpu(state, vp.serverCpuNs());
}
BENCHMARK(BM_DataBlocks)->UseRealTime();

// ---- the standalone program ----

// The vprinter program in a process of its own, as a person starts it, with
// no speed limit and an input buffer of the given size, so every block goes
// through the buffer and the credit it frees. The host may hold credit only
// for what fits in the buffer: with the default 16 KiB it waits for a
// CreditRequest round trip every 16 blocks, with 1 MiB every 1024 (the most
// credit a side may hold).
class StandalonePrinter {
public:
    explicit StandalonePrinter(std::size_t bufferBytes)
        : dir_(fs::temp_directory_path() / ("vprinter_link_bench_sa_" + std::to_string(::getpid()))) {
        fs::create_directories(dir_);
        const std::string socket = (dir_ / "port.sock").string();
        std::vector<std::string> args = {
            VPRINTER_BINARY, "--socket", socket, "--speed", "unlimited", "--buffer", std::to_string(bufferBytes),
            "--quiet"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, VPRINTER_BINARY, nullptr, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
            error_ = "cannot start " VPRINTER_BINARY;
            return;
        }
        for (int i = 0; i < 1000 && !fs::exists(socket + ".ctl"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::string map = "LPT1=unix:" + socket;
        ::setenv("SVCADJUST_PORTMAP", map.c_str(), 1);
        if (PortOpenByOsSw(kLpt1) != kOk || GetDeviceIDByOsSw() != kOk || D4Negotiation() != kOk)
            error_ = "cannot reach the standalone printer through LPT1";
    }
    ~StandalonePrinter() {
        D4Termination();
        PortCloseByOsSw();
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        ::unsetenv("SVCADJUST_PORTMAP");
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    const std::string& error() const { return error_; }
    // The printer's CPU time so far (from /proc), in nanoseconds.
    double CpuNs() const {
        std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos) return 0;
        std::istringstream rest(text.substr(close + 2));
        std::string field;
        double utime = 0, stime = 0;
        for (int i = 3; i <= 15 && rest >> field; ++i) {
            if (i == 14) utime = std::stod(field);
            if (i == 15) stime = std::stod(field);
        }
        return (utime + stime) * 1e9 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }

private:
    fs::path dir_;
    pid_t pid_ = -1;
    std::string error_;
};

void BM_DataBlocksStandalone(benchmark::State& state) {
    StandalonePrinter printer(static_cast<std::size_t>(state.range(0)));
    if (!printer.error().empty()) return state.SkipWithError(printer.error().c_str());
    // NUL bytes: the print engine reads them and prints nothing, so what is
    // measured is the link and the input buffer, not rendering (which
    // vprinter_engine_bench measures).
    std::vector<std::uint8_t> block(kBlock, 0x00);
    const double cpuBefore = printer.CpuNs();
    for (auto _ : state) {
        if (SendDataChannel(block.data(), kBlock) != kOk) {
            const std::string why = "block refused, detail " + std::to_string(GetD4ErrorCode());
            return state.SkipWithError(why.c_str());
        }
    }
    std::uint8_t record[52];
    if (InquireStatus(record) != kOk) state.SkipWithError("the printer stopped answering");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlock));
    ReportPeerCpu(state, printer.CpuNs() - cpuBefore);
}
BENCHMARK(BM_DataBlocksStandalone)->Arg(16384)->Arg(1 << 20)->UseRealTime();

// ---- the bare socket ----

bool WriteAll(int fd, const std::uint8_t* data, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::send(fd, data, n, MSG_NOSIGNAL);
        if (w <= 0) return false;
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

bool ReadAll(int fd, std::uint8_t* data, std::size_t n) {
    while (n > 0) {
        const ssize_t r = ::recv(fd, data, n, 0);
        if (r <= 0) return false;
        data += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

// A socketpair whose far end answers every request of kRequestBytes with
// kReplyBytes (Echo) or only reads (Drain), on blocking sockets.
class BareLink {
public:
    enum class Peer { Echo, Drain };

    explicit BareLink(Peer peer) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_) != 0) return;
        thread_ = std::thread([this, peer] {
            peer == Peer::Echo ? Echo() : Drain();
            peerCpuNs_ = ThreadCpuNs();
        });
    }
    ~BareLink() {
        Stop();
        for (int fd : fds_)
            if (fd >= 0) ::close(fd);
    }
    bool ok() const { return thread_.joinable(); }
    int hostFd() const { return fds_[0]; }

    // Hangs up and waits for the far end, which reads what is left first.
    // Returns the CPU time the far end used.
    double Stop() {
        if (thread_.joinable()) {
            ::shutdown(fds_[0], SHUT_RDWR);
            thread_.join();
        }
        return peerCpuNs_;
    }

private:
    void Echo() {
        std::uint8_t request[kRequestBytes];
        const std::vector<std::uint8_t> reply(kReplyBytes, 0x5A);
        while (ReadAll(fds_[1], request, sizeof request) && WriteAll(fds_[1], reply.data(), reply.size())) {}
    }
    void Drain() {
        std::vector<std::uint8_t> buffer(64 * 1024);
        while (::recv(fds_[1], buffer.data(), buffer.size(), 0) > 0) {}
    }

    int fds_[2] = {-1, -1};
    std::thread thread_;
    double peerCpuNs_ = 0;
};

void BM_RawPingPong(benchmark::State& state) {
    BareLink link(BareLink::Peer::Echo);
    if (!link.ok()) return state.SkipWithError("no socketpair");
    std::uint8_t request[kRequestBytes] = {};
    std::uint8_t reply[kReplyBytes];
    for (auto _ : state) {
        if (!WriteAll(link.hostFd(), request, sizeof request) || !ReadAll(link.hostFd(), reply, sizeof reply))
            return state.SkipWithError("raw round trip failed");
    }
    ReportPeerCpu(state, link.Stop());
}
BENCHMARK(BM_RawPingPong)->UseRealTime();

void BM_RawStream(benchmark::State& state) {
    BareLink link(BareLink::Peer::Drain);
    if (!link.ok()) return state.SkipWithError("no socketpair");
    std::vector<std::uint8_t> block(kBlock, 0x33);
    for (auto _ : state) {
        if (!WriteAll(link.hostFd(), block.data(), kBlock)) return state.SkipWithError("raw write failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlock));
    ReportPeerCpu(state, link.Stop());
}
BENCHMARK(BM_RawStream)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    InstallStopHandler();
    d4::testing::RatioReporter reporter("virtual printer link");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Ratio("EEPROM byte", "BM_EepromByteRoundTrip", "BM_RawPingPong", false, "<= 1.5x");
    reporter.Ratio("1000-byte blocks", "BM_DataBlocks", "BM_RawStream", true, ">= 0.8x");
    reporter.Ratio("1000-byte blocks, standalone printer, 1 MiB buffer", "BM_DataBlocksStandalone/1048576",
                   "BM_RawStream", true, ">= 0.8x");
    reporter.Ratio("1000-byte blocks, standalone printer, default 16 KiB buffer", "BM_DataBlocksStandalone/16384",
                   "BM_RawStream", true, "none: a credit round trip every 16 blocks");
    benchmark::Shutdown();
    return 0;
}
