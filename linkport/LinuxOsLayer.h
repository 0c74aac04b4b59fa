// The system services of the port library on Linux. "LPTn" is the parallel
// printer device lp(n-1) for data, time-outs and the INIT pulse (the lp
// driver's reset), and the raw port device parport(n-1) for reading the
// IEEE 1284 device ID.
#pragma once

#include "linkport/OsLayer.h"

#include <cstddef>
#include <map>
#include <string>

namespace linkport {

class LinuxOsLayer final : public OsLayer {
public:
    // deviceDir is the folder that holds lp0-lp2 and parport0-parport2.
    explicit LinuxOsLayer(std::string deviceDir = "/dev");
    ~LinuxOsLayer() override;
    LinuxOsLayer(const LinuxOsLayer&) = delete;
    LinuxOsLayer& operator=(const LinuxOsLayer&) = delete;

    OsHandle CreateFile(const char* name) override;
    bool CloseHandle(OsHandle handle) override;
    bool GetCommTimeouts(OsHandle handle, CommTimeouts* timeouts) override;
    bool SetCommTimeouts(OsHandle handle, const CommTimeouts& timeouts) override;
    bool WriteFile(OsHandle handle, const void* data, std::uint32_t count, std::uint32_t* done) override;
    bool ReadFile(OsHandle handle, void* data, std::uint32_t count, std::uint32_t* done) override;
    bool DeviceIoControl(OsHandle handle, std::uint32_t code, void* out, std::uint32_t outSize,
                         std::uint32_t* returned) override;
    std::uint32_t GetLastError() override;
    void Sleep(std::uint32_t ms) override;
    std::int64_t TimeSeconds() override;

private:
    struct Port {
        int index;  // 0 for LPT1
        CommTimeouts timeouts;
    };

    Port* Find(OsHandle handle);
    std::string DevicePath(const char* kind, int index) const;
    bool ReadDeviceId(int index, void* out, std::uint32_t outSize, std::uint32_t* returned);
    bool PulseInit(int fd, void* out, std::uint32_t outSize, std::uint32_t* returned);

    std::string deviceDir_;
    std::map<int, Port> ports_;  // by file descriptor
};

// Stores the text of a raw IEEE 1284 device-ID reply (a 2-byte big-endian
// length that counts itself, then the text) at out. The text is bounded by
// both the bytes received and the length the reply announces. Returns 0, or
// the system error number: kReadFault when not even the length came,
// kMoreData when the announced text is longer than outSize.
std::uint32_t StoreDeviceIdText(const std::uint8_t* raw, std::size_t received, void* out, std::uint32_t outSize,
                                std::uint32_t* returned);

}  // namespace linkport
