// File-descriptor I/O with deadlines, shared by the device transports:
// every wait is a poll() bounded by a deadline, EINTR is retried, short
// transfers are continued.
#pragma once

#include "hostbridge/Transport.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace hb::io {

class Deadline {
public:
    explicit Deadline(int timeoutMs);
    // Milliseconds left, 0 once passed (for poll()).
    int RemainingMs() const;
    bool Passed() const { return RemainingMs() == 0; }

private:
    std::chrono::steady_clock::time_point end_;
};

// Owns a file descriptor and closes it exactly once.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& other) noexcept : fd_(other.Release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int Release();
    void Reset(int fd = -1);

private:
    int fd_ = -1;
};

// What an errno from a device or socket means to the caller: the device went
// away (unplugged, peer closed) or some other failure.
IoStatus StatusFromErrno(int err);

// The program's idle hook (SetIdleHookByOsSw). While one is installed, no
// wait of the port switch or the channel keeps the installing thread for more
// than about kIdleSliceMs without calling it; the deadlines stay what they
// were. Other threads never call it.
constexpr int kIdleSliceMs = 50;
void SetIdleHook(void (*hook)());
// Whether the calling thread has a hook to call.
bool IdleHookInstalled();
// Calls the hook, if this thread installed one; not from within itself.
void RunIdleHook();

// For waits that sleep in short steps: calls the idle hook once at least
// kIdleSliceMs went by since the last call (or since it was made).
class IdleTicker {
public:
    void Tick();

private:
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

// ioctl, repeated while a signal interrupts it.
int IoctlRetrying(int fd, unsigned long request, void* argument);

// Waits until fd is ready for `events` (POLLIN/POLLOUT) or the deadline
// passes. Ok also when the fd reports an error or hang-up: the following
// read/write tells which. Once the deadline has passed it is Timeout without
// looking, whatever waits: a caller looping on it cannot be kept past its
// deadline by a peer that keeps sending. (ReadSome and WriteAll try the
// transfer before they wait, so a deadline of 0 still moves what is there.)
IoStatus WaitReady(int fd, short events, const Deadline& deadline);

// Writes all n bytes to a non-blocking fd before the deadline. Sockets are
// written with send(MSG_NOSIGNAL) so a vanished peer gives EPIPE, not SIGPIPE.
// `written` receives how many bytes went out, also on failure.
IoStatus WriteAll(int fd, const std::uint8_t* data, std::size_t n, const Deadline& deadline, bool isSocket,
                  std::size_t& written);

// Reads from a non-blocking fd whatever is there (at most n bytes), waiting
// until at least one byte arrives or the deadline passes. `got` receives the
// count. A read of 0 bytes is the end of the stream when zeroIsEof (sockets);
// devices that may complete empty transfers pass false and keep waiting.
IoStatus ReadSome(int fd, std::uint8_t* data, std::size_t n, const Deadline& deadline, bool zeroIsEof,
                  std::size_t& got);

// Reads exactly n bytes before the deadline (ReadSome in a loop).
IoStatus ReadExact(int fd, std::uint8_t* data, std::size_t n, const Deadline& deadline, bool zeroIsEof);

// Exact reads from a device whose bytes cannot be put back: bytes that
// arrived for a read that then failed are kept and start the next read, so a
// timed-out read loses nothing.
class PendingBytes {
public:
    // readSome(buffer, max, got) reads at least one byte or fails.
    template <typename ReadSomeFn>
    IoStatus ReadExact(std::uint8_t* data, std::size_t n, ReadSomeFn readSome) {
        while (bytes_.size() < n) {
            std::uint8_t chunk[4096];
            std::size_t got = 0;
            const IoStatus status = readSome(chunk, std::min(sizeof chunk, n - bytes_.size()), got);
            if (status != IoStatus::Ok) return status;
            bytes_.insert(bytes_.end(), chunk, chunk + got);
        }
        if (n > 0) std::memcpy(data, bytes_.data(), n);
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(n));
        return IoStatus::Ok;
    }
    void Clear() { bytes_.clear(); }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace hb::io
