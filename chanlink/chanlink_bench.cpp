// Cost of the channel against the bare socket it runs on. The host end talks
// over a Unix socketpair to a printer end served by a thread; beside each
// channel benchmark the same sizes go over a bare socketpair to a thread that
// only answers or drains. The ratios are printed at the end of the run.
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "chanlink/HostChannel.h"
#include "chanlink/PrinterEndpoint.h"
#include "chanlink/testing/RatioReporter.h"

namespace {

// A blocking byte stream with deadlines, the shape of a port's transport.
class SocketTransport : public hb::Transport {
public:
    explicit SocketTransport(int fd) : fd_(fd) {}

    hb::IoStatus Write(const std::uint8_t* data, std::size_t n, int timeoutMs) override {
        while (n > 0) {
            ssize_t w = ::send(fd_, data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (w > 0) {
                data += w;
                n -= static_cast<std::size_t>(w);
                continue;
            }
            if (w < 0 && errno != EAGAIN && errno != EINTR) return hb::IoStatus::Closed;
            if (!Wait(POLLOUT, timeoutMs)) return hb::IoStatus::Timeout;
        }
        return hb::IoStatus::Ok;
    }

    hb::IoStatus Read(std::uint8_t* data, std::size_t n, int timeoutMs) override {
        while (n > 0) {
            ssize_t r = ::recv(fd_, data, n, MSG_DONTWAIT);
            if (r > 0) {
                data += r;
                n -= static_cast<std::size_t>(r);
                continue;
            }
            if (r == 0) return hb::IoStatus::Closed;
            if (errno != EAGAIN && errno != EINTR) return hb::IoStatus::Error;
            if (!Wait(POLLIN, timeoutMs)) return hb::IoStatus::Timeout;
        }
        return hb::IoStatus::Ok;
    }

    hb::IoStatus ReadDeviceId(std::string&) override { return hb::IoStatus::Error; }
    hb::IoStatus Reset() override { return hb::IoStatus::Ok; }

private:
    bool Wait(short events, int timeoutMs) {
        pollfd p{fd_, events, 0};
        return ::poll(&p, 1, timeoutMs) > 0;
    }
    int fd_;
};

// A printer that prints as fast as data comes.
class FastPrinter : public d4::PrinterServices {
public:
    bool ReadEeprom(std::uint8_t a, std::uint8_t& v) override {
        v = eeprom_[a];
        return true;
    }
    bool WriteEeprom(std::uint8_t a, std::uint8_t v) override {
        eeprom_[a] = v;
        return true;
    }
    void FillStatus(std::uint8_t* record, std::size_t size) override {
        for (std::size_t i = 0; i < size; ++i) record[i] = 0;
        record[0] = 4;
    }
    std::size_t DataSpace() const override { return 1 << 20; }
    void AcceptData(const std::uint8_t*, std::size_t n) override { taken_ += n; }

private:
    std::uint8_t eeprom_[256] = {};
    std::size_t taken_ = 0;
};

// What runs at the far end of the socketpair.
enum class Peer { Printer, Echo, Drain };

class Link {
public:
    explicit Link(Peer peer) {
        ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds_);
        thread_ = std::thread([this, peer] { Serve(peer); });
    }
    ~Link() {
        ::shutdown(fds_[0], SHUT_RDWR);
        thread_.join();
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    int hostFd() const { return fds_[0]; }

private:
    void Serve(Peer peer) {
        FastPrinter services;
        d4::PrinterEndpoint printer(services);
        std::vector<std::uint8_t> buffer(64 * 1024);
        std::size_t pending = 0;  // Echo: request bytes not yet answered
        for (;;) {
            ssize_t n = ::read(fds_[1], buffer.data(), buffer.size());
            if (n <= 0) return;
            std::vector<std::uint8_t> out;
            if (peer == Peer::Printer) {
                out = printer.Receive(buffer.data(), static_cast<std::size_t>(n));
            } else if (peer == Peer::Echo) {
                // Answer every 8-byte request with 10 bytes, the sizes of an
                // EEPROM read request and its reply.
                pending += static_cast<std::size_t>(n);
                for (; pending >= 8; pending -= 8) out.resize(out.size() + 10, 0x5A);
            }
            for (std::size_t off = 0; off < out.size();) {
                ssize_t w = ::write(fds_[1], out.data() + off, out.size() - off);
                if (w <= 0) return;
                off += static_cast<std::size_t>(w);
            }
        }
    }

    int fds_[2] = {-1, -1};
    std::thread thread_;
};

void BM_EepromByteRoundTrip(benchmark::State& state) {
    Link link(Peer::Printer);
    SocketTransport port(link.hostFd());
    d4::HostChannel host(port);
    if (host.Negotiate() != d4::kResultOk) return state.SkipWithError("negotiation failed");
    std::uint8_t address = 0, value = 0;
    for (auto _ : state) {
        if (host.ReadEeprom(address++, &value) != d4::kResultOk) return state.SkipWithError("read failed");
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_EepromByteRoundTrip)->UseRealTime();

void BM_RawPingPong(benchmark::State& state) {
    Link link(Peer::Echo);
    SocketTransport port(link.hostFd());
    std::uint8_t request[8] = {0x03, 0x03, 0x00, 0x08, 0x01, 0x00, 0x10, 0x00};
    std::uint8_t reply[10];
    for (auto _ : state) {
        if (port.Write(request, sizeof request, 2000) != hb::IoStatus::Ok ||
            port.Read(reply, sizeof reply, 2000) != hb::IoStatus::Ok)
            return state.SkipWithError("raw round trip failed");
    }
}
BENCHMARK(BM_RawPingPong)->UseRealTime();

constexpr std::size_t kBlock = 1000;

void BM_DataBlocks(benchmark::State& state) {
    Link link(Peer::Printer);
    SocketTransport port(link.hostFd());
    d4::HostChannel host(port);
    if (host.Negotiate() != d4::kResultOk) return state.SkipWithError("negotiation failed");
    std::vector<std::uint8_t> block(kBlock, 0x33);
    for (auto _ : state) {
        if (host.SendData(block.data(), kBlock) != d4::kResultOk) return state.SkipWithError("send failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlock));
}
BENCHMARK(BM_DataBlocks)->UseRealTime();

void BM_RawStream(benchmark::State& state) {
    Link link(Peer::Drain);
    SocketTransport port(link.hostFd());
    std::vector<std::uint8_t> block(kBlock, 0x33);
    for (auto _ : state) {
        if (port.Write(block.data(), kBlock, 2000) != hb::IoStatus::Ok) return state.SkipWithError("write failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kBlock));
}
BENCHMARK(BM_RawStream)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    d4::testing::RatioReporter reporter("channel");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.Ratio("EEPROM byte", "BM_EepromByteRoundTrip", "BM_RawPingPong", false, "<= 1.5x");
    reporter.Ratio("1000-byte blocks", "BM_DataBlocks", "BM_RawStream", true, ">= 0.8x");
    benchmark::Shutdown();
    return 0;
}
