// The idle hook: a wait for a silent printer calls it at least every slice on
// the thread that installed it, keeps its deadline, still sees bytes that
// arrive, and never runs it on another thread or within itself.
#include "hostbridge/Io.h"
#include "hostbridge/UnixSocketTransport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using hb::IoStatus;

struct HookLog {
    std::vector<Clock::time_point> calls;
    int nested = 0;
    bool inside = false;
};
HookLog g_log;
void (*g_extra)() = nullptr;

void Hook() {
    if (g_log.inside) ++g_log.nested;
    g_log.inside = true;
    g_log.calls.push_back(Clock::now());
    if (g_extra) g_extra();
    g_log.inside = false;
}

long long LongestGapMs(Clock::time_point from, Clock::time_point to) {
    std::vector<Clock::time_point> points{from};
    points.insert(points.end(), g_log.calls.begin(), g_log.calls.end());
    points.push_back(to);
    long long longest = 0;
    for (std::size_t i = 1; i < points.size(); ++i)
        longest = std::max<long long>(
            longest, std::chrono::duration_cast<std::chrono::milliseconds>(points[i] - points[i - 1]).count());
    return longest;
}

class IdleHook : public ::testing::Test {
protected:
    void SetUp() override {
        g_log = {};
        g_extra = nullptr;
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
        host_.Reset(fds[0]);
        printer_.Reset(fds[1]);
        hb::io::SetIdleHook(&Hook);
    }
    void TearDown() override { hb::io::SetIdleHook(nullptr); }

    hb::io::Fd host_;
    hb::io::Fd printer_;
};

TEST_F(IdleHook, SilentPeerWaitIsSlicedAndKeepsItsDeadline) {
    const auto start = Clock::now();
    EXPECT_EQ(hb::io::WaitReady(host_.get(), POLLIN, hb::io::Deadline(400)), IoStatus::Timeout);
    const auto end = Clock::now();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count();
    EXPECT_GE(took, 399);
    EXPECT_LT(took, 1000);
    EXPECT_GE(g_log.calls.size(), 6u);
    // Generous for a loaded machine; the slice itself is 50 ms.
    EXPECT_LE(LongestGapMs(start, end), 2 * hb::io::kIdleSliceMs + 50);
    EXPECT_EQ(g_log.nested, 0);
}

TEST_F(IdleHook, BytesThatArriveDuringTheWaitAreSeen) {
    // The "printer" answers from within the hook, after a few slices.
    static int fd;
    fd = printer_.get();
    g_extra = [] {
        if (g_log.calls.size() == 3) {
            const char byte = 'x';
            ASSERT_EQ(::write(fd, &byte, 1), 1);
        }
    };
    std::uint8_t got = 0;
    EXPECT_EQ(hb::io::ReadExact(host_.get(), &got, 1, hb::io::Deadline(2000), true), IoStatus::Ok);
    EXPECT_EQ(got, 'x');
    EXPECT_EQ(g_log.calls.size(), 3u);
}

TEST_F(IdleHook, AHookThatOutlastsTheDeadlineStillLooksOnceMore) {
    static int fd;
    fd = printer_.get();
    g_extra = [] {
        const char byte = 'y';
        ASSERT_EQ(::write(fd, &byte, 1), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    };
    EXPECT_EQ(hb::io::WaitReady(host_.get(), POLLIN, hb::io::Deadline(60)), IoStatus::Ok);
}

TEST_F(IdleHook, OnlyTheInstallingThreadRunsItAndANestedWaitDoesNot) {
    std::thread other([this] {
        EXPECT_FALSE(hb::io::IdleHookInstalled());
        EXPECT_EQ(hb::io::WaitReady(host_.get(), POLLIN, hb::io::Deadline(120)), IoStatus::Timeout);
    });
    other.join();
    EXPECT_TRUE(g_log.calls.empty());

    // A wait inside the hook (the hook must not wait on the port, but if it
    // did) does not call the hook again.
    static int hostFd;
    hostFd = host_.get();
    g_extra = [] { hb::io::WaitReady(hostFd, POLLIN, hb::io::Deadline(120)); };
    EXPECT_EQ(hb::io::WaitReady(host_.get(), POLLIN, hb::io::Deadline(120)), IoStatus::Timeout);
    EXPECT_FALSE(g_log.calls.empty());
    EXPECT_EQ(g_log.nested, 0);
}

TEST_F(IdleHook, TransportReadOfASilentPrinterIsSliced) {
    hb::UnixSocketTransport transport(std::move(host_), 300, "test");
    std::uint8_t buffer[4];
    const auto start = Clock::now();
    EXPECT_EQ(transport.Read(buffer, sizeof buffer, 300), IoStatus::Timeout);
    const auto end = Clock::now();
    EXPECT_LE(LongestGapMs(start, end), 2 * hb::io::kIdleSliceMs + 50);
    EXPECT_GE(g_log.calls.size(), 4u);
}

}  // namespace
