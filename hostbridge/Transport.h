// How the port switch reaches a printer: one transport per open port. The
// packet-channel library (chanlink) talks to the printer through the transport
// of the open port; tests plug in transports of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#if defined(__GNUC__)
#define HOSTBRIDGE_API __attribute__((visibility("default")))
#else
#define HOSTBRIDGE_API
#endif

namespace hb {

enum class IoStatus {
    Ok,
    Timeout,  // the deadline passed before all bytes moved
    Closed,   // the printer went away (unplugged, powered off, peer closed)
    Error,    // any other failure
};

class Transport {
public:
    virtual ~Transport() = default;
    // Writes all n bytes before the deadline, or fails.
    virtual IoStatus Write(const std::uint8_t* data, std::size_t n, int timeoutMs) = 0;
    // Reads exactly n bytes before the deadline, or fails. The transports of
    // this library consume nothing on failure: bytes that did arrive start
    // the next read.
    virtual IoStatus Read(std::uint8_t* data, std::size_t n, int timeoutMs) = 0;
    // Reads the raw IEEE 1284 device ID as the device delivers it, including
    // its 2-byte big-endian length prefix.
    virtual IoStatus ReadDeviceId(std::string& raw) = 0;
    // Pulses the port's INIT line: the printer forgets its channel state.
    virtual IoStatus Reset() = 0;
};

// The transport of the open port, or nullptr when no port is open.
HOSTBRIDGE_API Transport* CurrentTransport();

// Replaces the way port codes become transports (tests and the in-process
// virtual printer). An empty function restores the default mapping.
using TransportFactory = std::function<std::unique_ptr<Transport>(std::uint16_t portCode)>;
HOSTBRIDGE_API void SetTransportFactory(TransportFactory factory);

// How long the port switch itself waits on a device: connecting to a virtual
// printer, reading the device ID, claiming a parallel port. Reads and writes
// of the channel use the deadline their caller passes. 2000 ms unless changed
// (tests shorten it); values below 1 are raised to 1.
HOSTBRIDGE_API void SetPortTimeout(int milliseconds);
// Counts successful port opens. A channel negotiated on the open port stays
// valid only while the count is unchanged, even if a reopened port's
// transport happens to live at the same address as the old one.
HOSTBRIDGE_API std::uint64_t PortGeneration();
HOSTBRIDGE_API int PortTimeout();

}  // namespace hb
