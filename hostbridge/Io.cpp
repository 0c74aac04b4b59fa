#include "hostbridge/Io.h"

#include "hostbridge/Parport.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hb::io {

Deadline::Deadline(int timeoutMs)
    : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0))) {}

int Deadline::RemainingMs() const {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 1'000'000'000));
}

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
}

int Fd::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void Fd::Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);  // not retried on EINTR: on Linux the fd is gone either way
    fd_ = fd;
}

IoStatus StatusFromErrno(int err) {
    switch (err) {
        case EPIPE:
        case ECONNRESET:
        case ENOTCONN:
        case ENODEV:
        case ENXIO:
        case ESHUTDOWN:
            return IoStatus::Closed;
        default:
            return IoStatus::Error;
    }
}

namespace {

std::atomic<void (*)()> g_idleHook{nullptr};
std::atomic<std::thread::id> g_idleThread{};
thread_local bool t_inIdleHook = false;

}  // namespace

void SetIdleHook(void (*hook)()) {
    g_idleThread.store(hook ? std::this_thread::get_id() : std::thread::id{});
    g_idleHook.store(hook);
}

bool IdleHookInstalled() { return g_idleHook.load() != nullptr && g_idleThread.load() == std::this_thread::get_id(); }

void RunIdleHook() {
    if (t_inIdleHook || !IdleHookInstalled()) return;
    void (*hook)() = g_idleHook.load();
    if (!hook) return;
    struct Inside {
        Inside() { t_inIdleHook = true; }
        ~Inside() { t_inIdleHook = false; }
    } inside;
    hook();
}

void IdleTicker::Tick() {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(kIdleSliceMs)) return;
    RunIdleHook();
    last_ = std::chrono::steady_clock::now();
}

IoStatus WaitReady(int fd, short events, const Deadline& deadline) {
    // With an idle hook the wait goes in slices, the hook between them; the
    // slice that reaches the deadline is the last, and a hook that outlasts
    // the deadline is followed by one more look that does not wait.
    const bool sliced = IdleHookInstalled();
    bool lastLook = false;
    while (true) {
        const int remaining = deadline.RemainingMs();
        if (remaining == 0 && !lastLook) return IoStatus::Timeout;
        const int slice = sliced ? std::min(remaining, kIdleSliceMs) : remaining;
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, slice);
        if (r > 0) return (p.revents & POLLNVAL) ? IoStatus::Error : IoStatus::Ok;
        if (r < 0 && errno != EINTR) return IoStatus::Error;
        if (r == 0 && (slice == remaining || lastLook)) return IoStatus::Timeout;
        if (r == 0) {
            RunIdleHook();
            lastLook = deadline.Passed();
        }
    }
}

IoStatus WriteAll(int fd, const std::uint8_t* data, std::size_t n, const Deadline& deadline, bool isSocket,
                  std::size_t& written) {
    written = 0;
    while (written < n) {
        const ssize_t r =
            isSocket ? ::send(fd, data + written, n - written, MSG_NOSIGNAL) : ::write(fd, data + written, n - written);
        if (r > 0) {
            written += static_cast<std::size_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return StatusFromErrno(errno);
        // Nothing taken (EAGAIN or a 0-byte write): wait for room.
        if (deadline.Passed()) return IoStatus::Timeout;
        const IoStatus ready = WaitReady(fd, POLLOUT, deadline);
        if (ready != IoStatus::Ok) return ready;
    }
    return IoStatus::Ok;
}

IoStatus ReadSome(int fd, std::uint8_t* data, std::size_t n, const Deadline& deadline, bool zeroIsEof,
                  std::size_t& got) {
    got = 0;
    if (n == 0) return IoStatus::Ok;
    while (true) {
        const ssize_t r = ::read(fd, data, n);
        if (r > 0) {
            got = static_cast<std::size_t>(r);
            return IoStatus::Ok;
        }
        if (r == 0 && zeroIsEof) return IoStatus::Closed;
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return StatusFromErrno(errno);
        if (deadline.Passed()) return IoStatus::Timeout;
        const IoStatus ready = WaitReady(fd, POLLIN, deadline);
        if (ready != IoStatus::Ok) return ready;
    }
}

IoStatus ReadExact(int fd, std::uint8_t* data, std::size_t n, const Deadline& deadline, bool zeroIsEof) {
    std::size_t done = 0;
    while (done < n) {
        std::size_t got = 0;
        const IoStatus status = ReadSome(fd, data + done, n - done, deadline, zeroIsEof, got);
        if (status != IoStatus::Ok) return status;
        done += got;
    }
    return IoStatus::Ok;
}

int IoctlRetrying(int fd, unsigned long request, void* argument) { return pp::Ioctl(fd, request, argument); }

}  // namespace hb::io
