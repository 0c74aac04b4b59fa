// The operating-system services the port library is written against: open a
// port by its device name, communication time-outs, whole reads and writes,
// device-control requests, the last error number, sleeps and the wall clock.
// LinuxOsLayer is the real one; tests install a scripted layer instead.
// Nothing here is exported from the shared library.
#pragma once

#include <cstdint>

namespace linkport {

using OsHandle = std::intptr_t;
inline constexpr OsHandle kInvalidHandle = -1;

// Communication time-outs in milliseconds. A read gives up when the gap
// between two bytes exceeds readIntervalMs (counted from the first byte on)
// or when readTotalMultiplierMs * bytes + readTotalConstantMs has passed;
// a write gives up after writeTotalMultiplierMs * bytes + writeTotalConstantMs.
// A time-out is not a failure: the call succeeds with the bytes moved so far.
struct CommTimeouts {
    std::uint32_t readIntervalMs = 0;
    std::uint32_t readTotalMultiplierMs = 0;
    std::uint32_t readTotalConstantMs = 0;
    std::uint32_t writeTotalMultiplierMs = 0;
    std::uint32_t writeTotalConstantMs = 0;

    friend bool operator==(const CommTimeouts&, const CommTimeouts&) = default;
};

// Device-control requests understood by DeviceIoControl.
inline constexpr std::uint32_t kIoctlGetDeviceId = 17;  // the IEEE 1284 device ID text, no length prefix
inline constexpr std::uint32_t kIoctlInitPulse = 7;     // pulse INIT; one status byte back

// System error numbers (the values GetLastError reports).
namespace oserr {
inline constexpr std::uint32_t kInvalidFunction = 1;
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kPathNotFound = 3;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kInvalidHandle = 6;
inline constexpr std::uint32_t kNotEnoughMemory = 8;
inline constexpr std::uint32_t kReadFault = 30;
inline constexpr std::uint32_t kGenFailure = 31;
inline constexpr std::uint32_t kSharingViolation = 32;
inline constexpr std::uint32_t kInvalidParameter = 87;
inline constexpr std::uint32_t kMoreData = 234;
}  // namespace oserr

class OsLayer {
public:
    virtual ~OsLayer() = default;

    // Opens an existing device ("LPT1"-"LPT3") for reading and writing,
    // unshared. kInvalidHandle on failure.
    virtual OsHandle CreateFile(const char* name) = 0;
    virtual bool CloseHandle(OsHandle handle) = 0;
    virtual bool GetCommTimeouts(OsHandle handle, CommTimeouts* timeouts) = 0;
    virtual bool SetCommTimeouts(OsHandle handle, const CommTimeouts& timeouts) = 0;
    // Move up to count bytes within the port's time-outs; *done receives the
    // number moved, also on failure.
    virtual bool WriteFile(OsHandle handle, const void* data, std::uint32_t count, std::uint32_t* done) = 0;
    virtual bool ReadFile(OsHandle handle, void* data, std::uint32_t count, std::uint32_t* done) = 0;
    // Runs a device-control request with no input; *returned receives the
    // number of output bytes stored (never more than outSize).
    virtual bool DeviceIoControl(OsHandle handle, std::uint32_t code, void* out, std::uint32_t outSize,
                                 std::uint32_t* returned) = 0;
    // The error number of the calling thread's last failed call.
    virtual std::uint32_t GetLastError() = 0;
    virtual void Sleep(std::uint32_t ms) = 0;
    // Wall-clock time in whole seconds.
    virtual std::int64_t TimeSeconds() = 0;
};

// The layer the library uses: the Linux one unless a test installed another.
OsLayer& Os();
// Installs a layer for tests; nullptr restores the Linux layer. The caller
// keeps ownership and must reinstall nullptr before the layer goes away.
void SetOsLayerForTesting(OsLayer* layer);

// The system error number for a Linux errno value.
std::uint32_t ErrnoToOsError(int errnoValue);

}  // namespace linkport
