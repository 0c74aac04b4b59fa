// The port switch's own diagnostic output. The program shows only its own
// short messages ("Communication error."); the reason behind a port failure
// goes to standard error, where a technician or administrator finds it.
#pragma once

#include "hostbridge/PortMap.h"

#include <cstdint>
#include <string>

namespace hb {

// The details GetIoErrorCodeByOsSw reports.
namespace detail {
constexpr std::int16_t kOpenFailed = -105;  // open or setup failed (permission, busy, ...)
constexpr std::int16_t kTimeout = -104;     // a read deadline passed
constexpr std::int16_t kNoDevice = -103;    // no such device, port not mapped, refused
constexpr std::int16_t kReadFailed = -82;   // read failed, protocol error, peer closed
constexpr std::int16_t kWriteFailed = -81;  // write failed or short
}  // namespace detail

// Writes "hostbridge: <message>" and a newline to standard error.
void Diagnose(const std::string& message);

// Prints each distinct message once per process (for port-map problems,
// which would otherwise repeat at every reconnection).
void DiagnoseOnce(const std::string& message);

// The detail for an errno from opening or connecting.
std::int16_t DetailForOpenError(int err);

// One line that names the port, the device and what to do about errno `err`.
std::string ExplainOpenError(const char* portName, const PortTarget& target, int err);

const char* DescribeKind(PortKind kind);

}  // namespace hb
