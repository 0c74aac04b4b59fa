// A USB printer-class device node (/dev/usb/lpN). The kernel's printer
// driver hands out the IEEE 1284 device ID with its 2-byte length prefix and
// performs the class's soft reset, the USB counterpart of the INIT line.
#include "hostbridge/Io.h"
#include "hostbridge/Transports.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <vector>

namespace hb {
namespace {

// The printer driver's requests ('P', number; the size is the reply buffer).
constexpr unsigned long DeviceIdRequest(unsigned size) { return _IOC(_IOC_READ, 'P', 1, size); }
constexpr unsigned long kSoftResetRequest = _IOC(_IOC_NONE, 'P', 7, 0);
constexpr unsigned kDeviceIdBuffer = 1024;  // the driver keeps at most this much

class UsbLpTransport final : public Transport {
public:
    explicit UsbLpTransport(io::Fd fd) : fd_(std::move(fd)) {}

    IoStatus Write(const std::uint8_t* data, std::size_t n, int timeoutMs) override {
        std::size_t written = 0;
        return io::WriteAll(fd_.get(), data, n, io::Deadline(timeoutMs), false, written);
    }

    IoStatus Read(std::uint8_t* data, std::size_t n, int timeoutMs) override {
        const io::Deadline deadline(timeoutMs);
        // The driver may complete empty transfers: a 0-byte read is not the end.
        return pending_.ReadExact(data, n, [&](std::uint8_t* buffer, std::size_t max, std::size_t& got) {
            return io::ReadSome(fd_.get(), buffer, max, deadline, false, got);
        });
    }

    IoStatus ReadDeviceId(std::string& raw) override {
        std::vector<char> buffer(kDeviceIdBuffer, '\0');
        const int length = io::IoctlRetrying(fd_.get(), DeviceIdRequest(kDeviceIdBuffer), buffer.data());
        if (length < 0) return io::StatusFromErrno(errno);
        // Drivers answer 0 or the count copied. Either way the reply lies inside
        // the zero-filled buffer, and the parser bounds it by its length prefix.
        const std::size_t copied = length > 0 ? static_cast<std::size_t>(length) : buffer.size();
        raw.assign(buffer.data(), std::min(copied, buffer.size()));
        return IoStatus::Ok;
    }

    IoStatus Reset() override {
        pending_.Clear();
        if (io::IoctlRetrying(fd_.get(), kSoftResetRequest, nullptr) < 0) return io::StatusFromErrno(errno);
        return IoStatus::Ok;
    }

private:
    io::Fd fd_;
    io::PendingBytes pending_;
};

}  // namespace

OpenResult OpenUsbLp(const std::string& path, int /*timeoutMs*/) {
    io::Fd fd(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) return {nullptr, errno};
    return {std::make_unique<UsbLpTransport>(std::move(fd)), 0};
}

}  // namespace hb
