#include "hostbridge/Diagnostics.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

namespace hb {

void Diagnose(const std::string& message) {
    std::fprintf(stderr, "hostbridge: %s\n", message.c_str());
    std::fflush(stderr);
}

void DiagnoseOnce(const std::string& message) {
    static std::mutex mutex;
    static std::set<std::string> printed;
    std::lock_guard lock(mutex);
    if (printed.insert(message).second) Diagnose(message);
}

std::int16_t DetailForOpenError(int err) {
    switch (err) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
        case ECONNREFUSED:
        case ENOTDIR:
            return detail::kNoDevice;
        default:
            return detail::kOpenFailed;
    }
}

const char* DescribeKind(PortKind kind) {
    switch (kind) {
        case PortKind::UnixSocket:
            return "virtual printer socket";
        case PortKind::UsbLp:
            return "USB printer device";
        case PortKind::Parport:
            return "parallel port device";
    }
    return "device";
}

namespace {

std::string Advice(const PortTarget& target, int err) {
    const bool socket = target.kind == PortKind::UnixSocket;
    switch (err) {
        case EACCES:
        case EPERM:
            return socket ? "permission denied; the socket belongs to another user"
                          : "permission denied; add the user to group lp and install the udev rule "
                            "60-svcadjust-printers.rules (see hostbridge/README.md), then log in again";
        case EBUSY:
            return "the device is busy: another program or driver holds it (a print spooler, or the "
                   "lp driver on this parallel port); stop it and try again";
        case ENOENT:
            return socket ? "no such socket; is the virtual printer running?"
                          : "no such device; check the cable and the printer's power, or map the port "
                            "elsewhere with SVCADJUST_PORTMAP or ports.conf";
        case ENXIO:
        case ENODEV:
            return "no device answers at this node; check the cable and the printer's power (for a "
                   "parallel port, the ppdev module must be loaded)";
        case ECONNREFUSED:
            return "connection refused; the virtual printer is not listening (any more)";
        case ETIMEDOUT:
            return "no answer before the deadline";
        default:
            return std::strerror(err);
    }
}

}  // namespace

std::string ExplainOpenError(const char* portName, const PortTarget& target, int err) {
    return std::string(portName ? portName : "port") + ": cannot open " + DescribeKind(target.kind) + " " +
           target.path + ": " + Advice(target, err);
}

}  // namespace hb
