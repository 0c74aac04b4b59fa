// A parallel port through the kernel's user-space parallel-port driver
// (ppdev, /dev/parportN). Data goes out in compatibility mode and comes back
// in nibble mode; the device ID is read in nibble mode with the device-ID
// flag; INIT is pulsed on the control lines.
#include "hostbridge/Io.h"
#include "hostbridge/Parport.h"
#include "hostbridge/Transports.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <mutex>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace hb {
namespace {

using namespace std::chrono_literals;

// How long to wait between polls of a port that has no data or no room:
// ppdev can only be polled for interrupts, not for data.
constexpr auto kPollInterval = 1ms;
// nInit is held low this long; the interface asks for at least 50 us.
constexpr auto kInitPulse = 1ms;

class ParportTransport final : public Transport {
public:
    ParportTransport(io::Fd fd, int portTimeoutMs) : fd_(std::move(fd)), portTimeoutMs_(portTimeoutMs) {}

    ~ParportTransport() override {
        Negotiate(IEEE1284_MODE_COMPAT);
        pp::Release(fd_.get());
    }

    IoStatus Write(const std::uint8_t* data, std::size_t n, int timeoutMs) override {
        const io::Deadline deadline(timeoutMs);
        if (!Negotiate(IEEE1284_MODE_COMPAT)) return io::StatusFromErrno(errno);
        io::IdleTicker idle;
        std::size_t done = 0;
        while (done < n) {
            const ssize_t r = ::write(fd_.get(), data + done, n - done);
            if (r > 0) {
                done += static_cast<std::size_t>(r);
                continue;
            }
            if (r < 0 && errno != EINTR && errno != EAGAIN) return io::StatusFromErrno(errno);
            if (deadline.Passed()) return IoStatus::Timeout;  // a printer that is off or out of paper takes nothing
            std::this_thread::sleep_for(kPollInterval);
            idle.Tick();
        }
        return IoStatus::Ok;
    }

    IoStatus Read(std::uint8_t* data, std::size_t n, int timeoutMs) override {
        const io::Deadline deadline(timeoutMs);
        return pending_.ReadExact(data, n, [&](std::uint8_t* buffer, std::size_t max, std::size_t& got) {
            return ReadSome(buffer, max, deadline, IEEE1284_MODE_NIBBLE, got);
        });
    }

    IoStatus ReadDeviceId(std::string& raw) override {
        const io::Deadline deadline(portTimeoutMs_);
        Negotiate(IEEE1284_MODE_COMPAT);
        const int mode = IEEE1284_MODE_NIBBLE | IEEE1284_DEVICEID;
        std::uint8_t prefix[2];
        IoStatus status = ReadExactInMode(prefix, sizeof prefix, deadline, mode);
        if (status == IoStatus::Ok) {
            raw.assign(reinterpret_cast<const char*>(prefix), sizeof prefix);
            const std::size_t declared = (std::size_t{prefix[0]} << 8) | prefix[1];
            if (declared > sizeof prefix) {
                std::string rest(declared - sizeof prefix, '\0');
                status = ReadExactInMode(reinterpret_cast<std::uint8_t*>(rest.data()), rest.size(), deadline, mode);
                raw += rest;
            }
        }
        Negotiate(IEEE1284_MODE_COMPAT);  // the device-ID mode ends with the ID
        return status;
    }

    IoStatus Reset() override {
        pending_.Clear();
        Negotiate(IEEE1284_MODE_COMPAT);
        int lines = PARPORT_CONTROL_SELECT;  // nInit low: the printer resets
        if (pp::Ioctl(fd_.get(), PPWCONTROL, &lines) < 0) return io::StatusFromErrno(errno);
        std::this_thread::sleep_for(kInitPulse);
        lines = PARPORT_CONTROL_SELECT | PARPORT_CONTROL_INIT;
        if (pp::Ioctl(fd_.get(), PPWCONTROL, &lines) < 0) return io::StatusFromErrno(errno);
        return IoStatus::Ok;
    }

private:
    // Moves the port into an IEEE 1284 mode (compatibility mode ends any
    // other). False with errno set when the printer does not take part.
    bool Negotiate(int mode) {
        if (mode == mode_) return true;
        if (pp::Negotiate(fd_.get(), mode) < 0) {
            // A failed negotiation leaves the port in compatibility mode.
            mode_ = IEEE1284_MODE_COMPAT;
            return false;
        }
        mode_ = mode;
        return true;
    }

    // Reads at least one byte in the given reverse mode before the deadline.
    // A printer that is off or busy refuses the negotiation or has no data:
    // both are retried until the deadline.
    IoStatus ReadSome(std::uint8_t* data, std::size_t n, const io::Deadline& deadline, int mode, std::size_t& got) {
        got = 0;
        io::IdleTicker idle;
        while (true) {
            if (Negotiate(mode)) {
                const ssize_t r = ::read(fd_.get(), data, n);
                if (r > 0) {
                    got = static_cast<std::size_t>(r);
                    return IoStatus::Ok;
                }
                if (r < 0 && errno != EINTR && errno != EAGAIN) return io::StatusFromErrno(errno);
            } else if (errno != EIO && errno != EINTR) {
                return io::StatusFromErrno(errno);  // ENXIO: the printer rejects the mode
            }
            if (deadline.Passed()) return IoStatus::Timeout;
            std::this_thread::sleep_for(kPollInterval);
            idle.Tick();
        }
    }

    IoStatus ReadExactInMode(std::uint8_t* data, std::size_t n, const io::Deadline& deadline, int mode) {
        std::size_t done = 0;
        while (done < n) {
            std::size_t got = 0;
            const IoStatus status = ReadSome(data + done, n - done, deadline, mode, got);
            if (status != IoStatus::Ok) return status;
            done += got;
        }
        return IoStatus::Ok;
    }

    io::Fd fd_;
    int portTimeoutMs_;
    int mode_ = IEEE1284_MODE_COMPAT;
    io::PendingBytes pending_;
};

// Claiming waits, with no deadline of its own, while another program holds
// the port. The claim therefore runs in a helper thread; when the deadline
// passes first the port is given up and the helper, whenever its claim
// returns, releases the port and closes the file.
int ClaimWithDeadline(io::Fd& fd, int timeoutMs) {
    struct Claim {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool abandoned = false;
        int error = 0;
    };
    auto claim = std::make_shared<Claim>();
    const int raw = fd.get();
    std::thread([claim, raw] {
        const int error = pp::Claim(raw) == 0 ? 0 : errno;
        std::lock_guard lock(claim->mutex);
        claim->finished = true;
        claim->error = error;
        if (claim->abandoned) {
            if (error == 0) pp::Release(raw);
            ::close(raw);
            return;
        }
        claim->done.notify_all();
    }).detach();

    // Waited for in slices, with the idle hook between them (unlocked).
    const io::Deadline deadline(timeoutMs);
    std::unique_lock lock(claim->mutex);
    for (;;) {
        const int slice =
            io::IdleHookInstalled() ? std::min(deadline.RemainingMs(), io::kIdleSliceMs) : deadline.RemainingMs();
        if (claim->done.wait_for(lock, std::chrono::milliseconds(slice), [&] { return claim->finished; }) ||
            deadline.Passed())
            break;
        lock.unlock();
        io::RunIdleHook();
        lock.lock();
    }
    if (!claim->finished) {
        claim->abandoned = true;
        fd.Release();  // the helper closes it
        return EBUSY;
    }
    return claim->error;
}

}  // namespace

OpenResult OpenParport(const std::string& path, int timeoutMs) {
    io::Fd fd(pp::Open(path));
    if (!fd.valid()) return {nullptr, errno};
    if (const int error = ClaimWithDeadline(fd, timeoutMs); error != 0) return {nullptr, error};
    return {std::make_unique<ParportTransport>(std::move(fd), timeoutMs), 0};
}

}  // namespace hb
