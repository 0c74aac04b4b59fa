// The port library: one open LPT port and one I/O error code per process.
#include "linkport/linkport.h"

#include "linkport/OsLayer.h"

#include <cstring>
#include <memory>
#include <new>
#include <string_view>

using linkport::kInvalidHandle;
using linkport::Os;
using linkport::OsHandle;

namespace {

OsHandle g_port = kInvalidHandle;
int16_t g_ioError = 0;

constexpr std::size_t kDeviceNameSize = 20;
constexpr std::size_t kModelNameSize = 20;
constexpr uint32_t kDeviceIdSize = 200;
constexpr uint32_t kHeaderSize = 6;
constexpr int64_t kReadLimitSeconds = 2;
constexpr uint32_t kReceiveSettleMs = 5;

uint16_t Fail(int16_t ioError) {
    g_ioError = ioError;
    return LINKPORT_IO_FAILURE;
}

bool PortIsOpen() { return g_port != kInvalidHandle; }

// Reads exactly count bytes within the port's time-outs: 1 when they all
// came, otherwise the failure result with its I/O error code. A read that
// ends early is a failure too: within 2 seconds it can only have been cut off
// by the gap between bytes, so the packet came incomplete.
uint16_t ReadExactly(uint8_t* into, uint32_t count) {
    const int64_t started = Os().TimeSeconds();
    uint32_t got = 0;
    if (!Os().ReadFile(g_port, into, count, &got)) return Fail(LINKPORT_IOE_READ);
    if (Os().TimeSeconds() - started >= kReadLimitSeconds) return Fail(LINKPORT_IOE_TIMEOUT);
    if (got != count) return Fail(LINKPORT_IOE_READ);
    return LINKPORT_OK;
}

// The printer's device ID as the port driver delivers it (no length prefix)
// and the text it holds.
struct DeviceId {
    char bytes[kDeviceIdSize] = {};
    std::string_view text;
};

// False, with the I/O error code set, when the request fails or gives nothing.
bool ReadDeviceId(DeviceId& id) {
    uint32_t returned = 0;
    if (!Os().DeviceIoControl(g_port, linkport::kIoctlGetDeviceId, id.bytes, kDeviceIdSize, &returned) ||
        returned == 0) {
        g_ioError = LINKPORT_IOE_DEVICE;
        return false;
    }
    // The text ends at its first 0 byte or at the last byte received, even
    // when that fills the whole buffer.
    const std::size_t received = returned < kDeviceIdSize ? returned : kDeviceIdSize;
    id.text = std::string_view(id.bytes, strnlen(id.bytes, received));
    return true;
}

// The model name: the text behind the first "MDL:" up to the character before
// the first "CLS:" that follows it, less that last character (the ";" ending
// the MDL field). False when either marker is missing.
bool FindModelName(std::string_view id, std::string_view& name) {
    constexpr std::string_view kModel = "MDL:";
    constexpr std::string_view kClass = "CLS:";
    const std::size_t model = id.find(kModel);
    if (model == std::string_view::npos) return false;
    const std::string_view rest = id.substr(model + kModel.size());
    const std::size_t cls = rest.find(kClass);
    if (cls == std::string_view::npos) return false;
    name = rest.substr(0, cls == 0 ? 0 : cls - 1);
    return true;
}

const char* DeviceNameFor(uint16_t portCode) {
    switch (portCode) {
        case 1028:
            return "LPT1";
        case 1029:
            return "LPT2";
        case 1030:
            return "LPT3";
        default:
            return nullptr;
    }
}

}  // namespace

extern "C" uint16_t PortOpen(uint16_t portCode) {
    g_ioError = LINKPORT_IOE_NONE;
    // The device name gets a buffer of its own; a failure to get one has its
    // own result code.
    std::unique_ptr<char[]> deviceName(new (std::nothrow) char[kDeviceNameSize]);
    if (!deviceName) return LINKPORT_NO_MEMORY;

    PortClose();

    const char* name = DeviceNameFor(portCode);
    if (name == nullptr) return Fail(LINKPORT_IOE_BAD_PORT_CODE);
    std::strncpy(deviceName.get(), name, kDeviceNameSize);

    g_port = Os().CreateFile(deviceName.get());
    deviceName.reset();
    if (!PortIsOpen()) {
        // The detail is the system error less 105, kept to 16 bits: file
        // not found (2) reads -103.
        const uint32_t error = Os().GetLastError();
        return Fail(static_cast<int16_t>(static_cast<uint16_t>(error - LINKPORT_IOE_OPEN_BASE)));
    }
    return InitCommTimeOuts();
}

extern "C" uint16_t InitCommTimeOuts(void) {
    g_ioError = LINKPORT_IOE_NONE;
    linkport::CommTimeouts timeouts;
    if (!Os().GetCommTimeouts(g_port, &timeouts)) return Fail(LINKPORT_IOE_NO_PORT);
    timeouts.readIntervalMs = 10;
    timeouts.readTotalMultiplierMs = 1;
    timeouts.readTotalConstantMs = 2000;
    timeouts.writeTotalMultiplierMs = 1;
    timeouts.writeTotalConstantMs = 2000;
    if (!Os().SetCommTimeouts(g_port, timeouts)) return Fail(LINKPORT_IOE_NO_PORT);
    return LINKPORT_OK;
}

extern "C" uint16_t Send(const uint8_t* data, uint32_t count) {
    g_ioError = LINKPORT_IOE_NONE;
    if (!PortIsOpen()) return Fail(LINKPORT_IOE_NO_PORT);
    uint32_t written = 0;
    if (!Os().WriteFile(g_port, data, count, &written) || written != count) return Fail(LINKPORT_IOE_WRITE);
    return LINKPORT_OK;
}

extern "C" uint16_t Receive(uint8_t* buffer, uint32_t* length) {
    g_ioError = LINKPORT_IOE_NONE;
    if (!PortIsOpen()) return Fail(LINKPORT_IOE_NO_PORT);

    // Give the printer a moment to start its answer.
    Os().Sleep(kReceiveSettleMs);
    *length = 0;

    if (const uint16_t result = ReadExactly(buffer, kHeaderSize); result != LINKPORT_OK) return result;
    const uint32_t packetLength = buffer[2] * 256u + buffer[3];
    // A length below the header's own size describes no packet; taking it
    // would make the rest to read negative.
    if (packetLength < kHeaderSize) return Fail(LINKPORT_IOE_READ);
    *length = packetLength;

    if (packetLength == kHeaderSize) return LINKPORT_OK;
    return ReadExactly(buffer + kHeaderSize, packetLength - kHeaderSize);
}

extern "C" void PortClose(void) {
    if (!PortIsOpen()) return;
    Os().CloseHandle(g_port);
    g_port = kInvalidHandle;
}

extern "C" uint16_t GetDeviceID(uint8_t* hasPacketProtocol) {
    DeviceId id;
    if (!ReadDeviceId(id)) return LINKPORT_IO_FAILURE;
    *hasPacketProtocol = id.text.find("D4") != std::string_view::npos ? 1 : 0;
    return LINKPORT_OK;
}

extern "C" int16_t GetIOErrorCode(void) { return g_ioError; }

extern "C" uint16_t GetModelName(char* name20) {
    DeviceId id;
    if (!ReadDeviceId(id)) return LINKPORT_IO_FAILURE;
    std::string_view name;
    if (!FindModelName(id.text, name)) return Fail(LINKPORT_IOE_DEVICE);
    std::memset(name20, 0, kModelNameSize);
    std::memcpy(name20, name.data(), name.size() < kModelNameSize ? name.size() : kModelNameSize);
    return LINKPORT_OK;
}

extern "C" uint16_t SendINITSignal(void) {
    uint8_t status = 0;
    uint32_t returned = 0;
    if (!Os().DeviceIoControl(g_port, linkport::kIoctlInitPulse, &status, sizeof status, &returned))
        return Fail(LINKPORT_IOE_DEVICE);
    return LINKPORT_OK;
}
