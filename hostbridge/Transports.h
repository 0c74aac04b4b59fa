// The transports behind the port codes, and how each is opened.
#pragma once

#include "hostbridge/Transport.h"

#include <memory>
#include <string>

namespace hb {

// A transport, or the errno that kept it from opening.
struct OpenResult {
    std::unique_ptr<Transport> transport;
    int error = 0;
};

// Connects to a virtual printer's Unix stream socket.
OpenResult OpenUnixSocket(const std::string& path, int timeoutMs);
// Opens a USB printer-class device node (/dev/usb/lpN).
OpenResult OpenUsbLp(const std::string& path, int timeoutMs);
// Opens and claims a parallel port through ppdev (/dev/parportN).
OpenResult OpenParport(const std::string& path, int timeoutMs);

}  // namespace hb
