#include "link/Connection.h"

#include "link/OutsideLibraries.h"
#include "link/ResultCodes.h"

namespace svc {

namespace {
std::uint16_t lastDeviceId = 0;
}

std::uint16_t LastDeviceIdResult() { return lastDeviceId; }

const char* ConnectPrinter(int modelCode, std::uint16_t portCode) {
    if (modelCode == 1 || modelCode == 2) SetD4CommandRCode(6, 22);
    PortCloseByOsSw();
    if (PortOpenByOsSw(portCode) != rc::Ok) return kCableMessage;
    const Result id = GetDeviceIDByOsSw();
    lastDeviceId = id;
    if (id != rc::Ok && id != rc::NoPacketProtocol) return kCableMessage;
    if (D4Negotiation() != rc::Ok) return kNegotiationMessage;
    return nullptr;
}

}  // namespace svc
