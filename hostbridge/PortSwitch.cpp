// The port switch's C functions. One port is open at a time; its transport
// is what the packet-channel library reaches through CurrentTransport().
// Every failure returns 0x1000 and leaves its detail for
// GetIoErrorCodeByOsSw, with the reason on standard error.
#include "hostbridge/PortSwitch.h"

#include "hostbridge/DeviceId.h"
#include "hostbridge/Io.h"
#include "hostbridge/Diagnostics.h"
#include "hostbridge/PortMap.h"
#include "hostbridge/Transport.h"
#include "hostbridge/Transports.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <utility>

namespace hb {
namespace {

constexpr std::uint16_t kOk = 1;
constexpr std::uint16_t kNoPacketProtocol = 0x1001;
constexpr std::uint16_t kPortFailure = 0x1000;
constexpr std::size_t kModelNameBuffer = 30;

// Linux offers all six ports (LPT1-3 and ZQUSB1-3) to the program.
constexpr std::uint8_t kOsVersionAllPorts = 164;

struct PortState {
    std::unique_ptr<Transport> transport;
    std::string label;           // the open port, for diagnostics
    std::optional<DeviceId> id;  // read since the port was opened
    std::int16_t ioDetail = 0;   // detail of the last port failure
    TransportFactory factory;
    std::atomic<int> timeoutMs{2000};
    std::uint64_t generation = 0;  // successful opens so far
};

PortState& State() {
    static PortState state;
    return state;
}

std::uint16_t Fail(std::int16_t detail, const std::string& why) {
    State().ioDetail = detail;
    Diagnose(why);
    return kPortFailure;
}

OpenResult OpenTarget(const PortTarget& target, int timeoutMs) {
    switch (target.kind) {
        case PortKind::UnixSocket:
            return OpenUnixSocket(target.path, timeoutMs);
        case PortKind::UsbLp:
            return OpenUsbLp(target.path, timeoutMs);
        case PortKind::Parport:
            return OpenParport(target.path, timeoutMs);
    }
    return {nullptr, EINVAL};
}

std::uint16_t OpenMapped(std::uint16_t code, const char* name) {
    std::vector<std::string> problems;
    const PortTarget target = LookUpPort(code, problems);
    for (const auto& problem : problems) DiagnoseOnce("port map: " + problem);
    OpenResult opened = OpenTarget(target, State().timeoutMs);
    if (!opened.transport) return Fail(DetailForOpenError(opened.error), ExplainOpenError(name, target, opened.error));
    State().transport = std::move(opened.transport);
    ++State().generation;
    State().label = std::string(name) + " (" + target.path + ")";
    return kOk;
}

std::uint16_t OpenFromFactory(std::uint16_t code, const char* name) {
    std::unique_ptr<Transport> transport = State().factory(code);
    if (!transport) return Fail(detail::kNoDevice, std::string(name) + ": no printer is attached to this port");
    State().transport = std::move(transport);
    ++State().generation;
    State().label = name;
    return kOk;
}

std::string ReadFailure(IoStatus status) {
    switch (status) {
        case IoStatus::Timeout:
            return "no answer before the deadline (" + std::to_string(State().timeoutMs) +
                   " ms); is the printer switched on and the cable connected?";
        case IoStatus::Closed:
            return "the printer went away (unplugged, switched off, or the virtual printer closed "
                   "the connection)";
        default:
            return "the port failed while reading";
    }
}

// Reads and parses the device ID of the open port into State().id.
std::uint16_t ReadDeviceId() {
    PortState& state = State();
    state.id.reset();
    if (!state.transport) return Fail(detail::kOpenFailed, "no port is open, so no device ID can be read");
    std::string raw;
    const IoStatus status = state.transport->ReadDeviceId(raw);
    if (status != IoStatus::Ok) {
        const std::int16_t code = status == IoStatus::Timeout ? detail::kTimeout : detail::kReadFailed;
        return Fail(code, state.label + ": device ID: " + ReadFailure(status));
    }
    DeviceIdParse parsed = ParseDeviceId(raw);
    if (!parsed.ok()) return Fail(detail::kReadFailed, state.label + ": " + DescribeDeviceIdError(parsed.error));
    state.id = std::move(parsed.id);
    return kOk;
}

}  // namespace

Transport* CurrentTransport() { return State().transport.get(); }

std::uint64_t PortGeneration() { return State().generation; }

void SetTransportFactory(TransportFactory factory) { State().factory = std::move(factory); }

void SetPortTimeout(int milliseconds) { State().timeoutMs = std::max(milliseconds, 1); }

int PortTimeout() { return State().timeoutMs; }

}  // namespace hb

using namespace hb;

extern "C" {

uint16_t PortOpenByOsSw(uint16_t portCode) {
    PortCloseByOsSw();
    const char* name = PortName(portCode);
    if (name == nullptr) {
        return Fail(detail::kNoDevice, "port code " + std::to_string(portCode) +
                                           " names no port (LPT1-3 are 1028-1030, ZQUSB1-3 are 1025-1027)");
    }
    return State().factory ? OpenFromFactory(portCode, name) : OpenMapped(portCode, name);
}

uint16_t PortCloseByOsSw(void) {
    State().transport.reset();
    State().id.reset();
    State().label.clear();
    return kOk;
}

uint16_t GetDeviceIDByOsSw(void) {
    const std::uint16_t result = ReadDeviceId();
    if (result != kOk) return result;
    if (!State().id->AnnouncesPacketProtocol()) {
        Diagnose(State().label +
                 ": the printer's device ID announces no packet protocol (no \"D4\" "
                 "in its command set \"" +
                 State().id->commandSet + "\")");
        return kNoPacketProtocol;
    }
    return kOk;
}

uint16_t GetModelNameByOsSw(char* name30) {
    if (name30 == nullptr) return Fail(detail::kOpenFailed, "GetModelNameByOsSw was given no buffer");
    if (!State().id) {
        const std::uint16_t result = ReadDeviceId();
        if (result != kOk) return result;
    }
    const std::string& model = State().id->model;
    if (model.empty()) return Fail(detail::kReadFailed, State().label + ": the printer's device ID names no model");
    std::memset(name30, 0, kModelNameBuffer);
    std::memcpy(name30, model.data(), std::min(model.size(), kModelNameBuffer - 1));
    return kOk;
}

uint16_t GetIoErrorCodeByOsSw(int16_t* detail) {
    if (detail == nullptr) return kPortFailure;
    *detail = State().ioDetail;
    return kOk;
}

uint8_t GetOsVersion(void) { return kOsVersionAllPorts; }

void SetIdleHookByOsSw(void (*hook)(void)) { hb::io::SetIdleHook(hook); }

}  // extern "C"
