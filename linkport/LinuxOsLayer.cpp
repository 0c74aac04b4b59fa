#include "linkport/LinuxOsLayer.h"

#include "hostbridge/DeviceId.h"
#include "hostbridge/Parport.h"

#include <fcntl.h>
#include <linux/lp.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>
#include <utility>
#include <vector>

namespace linkport {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Time-outs of zero would mean "no limit"; this layer never waits
// without end, so a zero total is capped.
constexpr std::uint32_t kLongestWaitMs = 60000;
// How long to idle when a driver says it is ready but moves nothing (drivers
// without their own readiness reporting always say ready).
constexpr milliseconds kIdleStep{1};
// Time the printer gets to send its whole device ID.
constexpr milliseconds kDeviceIdWait{2000};

// Time-outs a port has before anyone sets them: the same limits the library
// sets, so no read or write on a fresh port can wait without end.
constexpr CommTimeouts kInitialTimeouts{10, 1, 2000, 1, 2000};

thread_local std::uint32_t t_lastError = 0;

bool Fail(std::uint32_t error) {
    t_lastError = error;
    return false;
}

bool FailErrno(int errnoValue) { return Fail(ErrnoToOsError(errnoValue)); }

// "LPT1"-"LPT3" to 0-2, anything else to -1.
int PortIndex(const char* name) {
    if (std::strncmp(name, "LPT", 3) != 0 || name[3] < '1' || name[3] > '3' || name[4] != 0) return -1;
    return name[3] - '1';
}

OsHandle FailOpen(std::uint32_t error) {
    Fail(error);
    return kInvalidHandle;
}

// The total time-out of a transfer of count bytes, capped.
std::uint32_t TotalMs(std::uint32_t perByteMs, std::uint32_t constantMs, std::uint32_t count) {
    const std::uint64_t total = std::uint64_t{perByteMs} * count + constantMs;
    return total == 0 ? kLongestWaitMs : static_cast<std::uint32_t>(std::min<std::uint64_t>(total, kLongestWaitMs));
}

// Moves up to count bytes with move(offset, size) (one read or write call),
// continuing over interrupted calls and partial transfers, until all are
// moved or a deadline passes: the total deadline from the start and, when
// intervalMs is not 0, the deadline intervalMs after the last byte moved.
// Returns false (errno set) only for a real I/O error.
template <typename Move>
bool Transfer(int fd, short readyEvent, std::uint32_t count, std::uint32_t totalMs, std::uint32_t intervalMs,
              std::uint32_t* done, Move move) {
    *done = 0;
    const auto totalDeadline = Clock::now() + milliseconds(totalMs);
    Clock::time_point lastByte;
    bool portSaidReady = false;
    while (*done < count) {
        const ssize_t moved = move(*done, count - *done);
        if (moved > 0) {
            *done += static_cast<std::uint32_t>(moved);
            lastByte = Clock::now();
            portSaidReady = false;
            continue;
        }
        if (moved < 0 && errno == EINTR) continue;
        if (moved < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;

        auto deadline = totalDeadline;
        if (intervalMs != 0 && *done > 0) deadline = std::min(deadline, lastByte + milliseconds(intervalMs));
        const auto now = Clock::now();
        if (now >= deadline) break;
        if (portSaidReady) {
            std::this_thread::sleep_for(std::min<Clock::duration>(kIdleStep, deadline - now));
            portSaidReady = false;
            continue;
        }
        pollfd port{fd, readyEvent, 0};
        const auto waitMs = std::chrono::ceil<milliseconds>(deadline - now).count();
        const int ready = ::poll(&port, 1, static_cast<int>(std::min<long long>(waitMs, kLongestWaitMs)));
        if (ready < 0 && errno != EINTR) return false;
        portSaidReady = ready > 0;
    }
    return true;
}

// Reads what the device has, up to count bytes, before the deadline. Stops
// early once bytes came and the device has nothing more. Returns the bytes
// read, or -1 with errno set.
ssize_t ReadAvailable(int fd, std::uint8_t* data, std::size_t count, Clock::time_point deadline) {
    std::size_t got = 0;
    while (got < count) {
        const ssize_t n = ::read(fd, data + got, count - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
        if (got > 0 || Clock::now() >= deadline) break;
        std::this_thread::sleep_for(kIdleStep);
    }
    return static_cast<ssize_t>(got);
}

// The raw port claimed for this process for as long as the object lives. The
// claim is held only for one request, so the printer driver can claim the
// port again for the data transfers in between.
class PortClaim {
public:
    explicit PortClaim(const std::string& path) {
        fd_ = hb::pp::Open(path);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        if (hb::pp::Claim(fd_) < 0) {
            error_ = errno;
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~PortClaim() {
        if (fd_ < 0) return;
        hb::pp::Release(fd_);
        ::close(fd_);
    }
    PortClaim(const PortClaim&) = delete;
    PortClaim& operator=(const PortClaim&) = delete;

    int fd() const { return fd_; }
    int error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};

}  // namespace

std::uint32_t ErrnoToOsError(int errnoValue) {
    switch (errnoValue) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return oserr::kFileNotFound;
        case ENOTDIR:
            return oserr::kPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return oserr::kAccessDenied;
        case EBUSY:
            return oserr::kSharingViolation;
        case EBADF:
            return oserr::kInvalidHandle;
        case ENOMEM:
            return oserr::kNotEnoughMemory;
        case EINVAL:
            return oserr::kInvalidParameter;
        case ENOTTY:
        case ENOSYS:
        case EOPNOTSUPP:
            return oserr::kInvalidFunction;
        default:
            return oserr::kGenFailure;
    }
}

std::uint32_t StoreDeviceIdText(const std::uint8_t* raw, std::size_t received, void* out, std::uint32_t outSize,
                                std::uint32_t* returned) {
    *returned = 0;
    // A prefix below its own 2 bytes counts no text; one beyond what came, the text that came.
    const hb::DeviceIdFrame frame =
        hb::SplitDeviceIdFrame(std::string_view(reinterpret_cast<const char*>(raw), received));
    if (frame.error == hb::DeviceIdError::TooShort) return oserr::kReadFault;
    if (frame.announcedText > outSize) return oserr::kMoreData;
    if (!frame.text.empty()) std::memcpy(out, frame.text.data(), frame.text.size());
    *returned = static_cast<std::uint32_t>(frame.text.size());
    return 0;
}

LinuxOsLayer::LinuxOsLayer(std::string deviceDir) : deviceDir_(std::move(deviceDir)) {}

LinuxOsLayer::~LinuxOsLayer() {
    for (const auto& [fd, port] : ports_) ::close(fd);
}

LinuxOsLayer::Port* LinuxOsLayer::Find(OsHandle handle) {
    const auto it = ports_.find(static_cast<int>(handle));
    return it == ports_.end() ? nullptr : &it->second;
}

std::string LinuxOsLayer::DevicePath(const char* kind, int index) const {
    return deviceDir_ + "/" + kind + std::to_string(index);
}

OsHandle LinuxOsLayer::CreateFile(const char* name) {
    const int index = PortIndex(name);
    if (index < 0) return FailOpen(oserr::kFileNotFound);
    const std::string path = DevicePath("lp", index);
    // The printer driver itself refuses a second opener with EBUSY; the lock
    // keeps other programs that honour locks off the port as well.
    const int fd = hb::pp::Open(path, O_EXCL);
    if (fd < 0) return FailOpen(ErrnoToOsError(errno));
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked < 0 && errno == EINTR);
    if (locked < 0) {
        const int error = errno;
        ::close(fd);
        return FailOpen(error == EWOULDBLOCK ? oserr::kSharingViolation : ErrnoToOsError(error));
    }
    ports_[fd] = Port{index, kInitialTimeouts};
    return fd;
}

bool LinuxOsLayer::CloseHandle(OsHandle handle) {
    if (Find(handle) == nullptr) return Fail(oserr::kInvalidHandle);
    ports_.erase(static_cast<int>(handle));
    if (::close(static_cast<int>(handle)) < 0 && errno != EINTR) return FailErrno(errno);
    return true;
}

bool LinuxOsLayer::GetCommTimeouts(OsHandle handle, CommTimeouts* timeouts) {
    const Port* port = Find(handle);
    if (port == nullptr) return Fail(oserr::kInvalidHandle);
    *timeouts = port->timeouts;
    return true;
}

bool LinuxOsLayer::SetCommTimeouts(OsHandle handle, const CommTimeouts& timeouts) {
    Port* port = Find(handle);
    if (port == nullptr) return Fail(oserr::kInvalidHandle);
    port->timeouts = timeouts;
    return true;
}

bool LinuxOsLayer::WriteFile(OsHandle handle, const void* data, std::uint32_t count, std::uint32_t* done) {
    *done = 0;
    const Port* port = Find(handle);
    if (port == nullptr) return Fail(oserr::kInvalidHandle);
    const CommTimeouts& t = port->timeouts;
    const int fd = static_cast<int>(handle);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const auto write = [&](std::size_t offset, std::size_t size) { return ::write(fd, bytes + offset, size); };
    if (!Transfer(fd, POLLOUT, count, TotalMs(t.writeTotalMultiplierMs, t.writeTotalConstantMs, count), 0, done, write))
        return FailErrno(errno);
    return true;
}

bool LinuxOsLayer::ReadFile(OsHandle handle, void* data, std::uint32_t count, std::uint32_t* done) {
    *done = 0;
    const Port* port = Find(handle);
    if (port == nullptr) return Fail(oserr::kInvalidHandle);
    const CommTimeouts& t = port->timeouts;
    const int fd = static_cast<int>(handle);
    auto* bytes = static_cast<std::uint8_t*>(data);
    const auto read = [&](std::size_t offset, std::size_t size) { return ::read(fd, bytes + offset, size); };
    if (!Transfer(fd, POLLIN, count, TotalMs(t.readTotalMultiplierMs, t.readTotalConstantMs, count), t.readIntervalMs,
                  done, read))
        return FailErrno(errno);
    return true;
}

bool LinuxOsLayer::DeviceIoControl(OsHandle handle, std::uint32_t code, void* out, std::uint32_t outSize,
                                   std::uint32_t* returned) {
    *returned = 0;
    const Port* port = Find(handle);
    if (port == nullptr) return Fail(oserr::kInvalidHandle);
    switch (code) {
        case kIoctlGetDeviceId:
            return ReadDeviceId(port->index, out, outSize, returned);
        case kIoctlInitPulse:
            return PulseInit(static_cast<int>(handle), out, outSize, returned);
        default:
            return Fail(oserr::kInvalidFunction);
    }
}

bool LinuxOsLayer::ReadDeviceId(int index, void* out, std::uint32_t outSize, std::uint32_t* returned) {
    PortClaim port(DevicePath("parport", index));
    if (port.fd() < 0) return FailErrno(port.error());
    int mode = IEEE1284_MODE_NIBBLE | IEEE1284_DEVICEID;
    if (hb::pp::Negotiate(port.fd(), mode) < 0) return FailErrno(errno);

    const auto deadline = Clock::now() + kDeviceIdWait;
    std::vector<std::uint8_t> raw(2 + std::size_t{outSize});
    ssize_t got = ReadAvailable(port.fd(), raw.data(), 2, deadline);
    if (got == 2) {
        const std::size_t announcedText =
            hb::SplitDeviceIdFrame(std::string_view(reinterpret_cast<const char*>(raw.data()), 2)).announcedText;
        // A text that cannot fit is refused below; reading it would only
        // keep the printer talking.
        if (announcedText <= outSize) {
            const ssize_t text = ReadAvailable(port.fd(), raw.data() + 2, announcedText, deadline);
            got = text < 0 ? -1 : got + text;
        }
    }
    const int readError = errno;
    hb::pp::Negotiate(port.fd(), IEEE1284_MODE_COMPAT);
    if (got < 0) return FailErrno(readError);

    if (const std::uint32_t error =
            StoreDeviceIdText(raw.data(), static_cast<std::size_t>(got), out, outSize, returned))
        return Fail(error);
    return true;
}

bool LinuxOsLayer::PulseInit(int fd, void* out, std::uint32_t outSize, std::uint32_t* returned) {
    // The printer driver's reset drives INIT low for the time the interface
    // asks for and raises it again.
    if (hb::pp::Ioctl(fd, LPRESET, nullptr) < 0) return FailErrno(errno);
    int status = 0;
    if (outSize > 0 && hb::pp::Ioctl(fd, LPGETSTATUS, &status) == 0) {
        *static_cast<std::uint8_t*>(out) = static_cast<std::uint8_t>(status);
        *returned = 1;
    }
    return true;
}

std::uint32_t LinuxOsLayer::GetLastError() { return t_lastError; }

void LinuxOsLayer::Sleep(std::uint32_t ms) { std::this_thread::sleep_for(milliseconds(ms)); }

std::int64_t LinuxOsLayer::TimeSeconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace linkport
