// Turns a link capture into a pcapng file that Wireshark and tshark read:
// one Enhanced Packet Block per channel packet (header included), stamped
// with the capture's microseconds, its direction in the block's flags as
// seen from the host (host to printer "outbound", printer to host
// "inbound"), on one interface of link type LINKTYPE_USER0 (147). The Lua
// dissector packaging/wireshark/svcadjust-channel.lua decodes that link type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chanlink/Capture.h"

namespace vp {

inline constexpr std::uint16_t kPcapngLinkType = 147;  // LINKTYPE_USER0

// The pcapng direction flag values (epb_flags bits 0-1).
inline constexpr std::uint32_t kPcapngInbound = 1;
inline constexpr std::uint32_t kPcapngOutbound = 2;

// The section header and interface description that start every file.
std::vector<std::uint8_t> PcapngHeader();
// One packet's Enhanced Packet Block.
std::vector<std::uint8_t> PcapngPacket(const d4::CaptureRecord& record);

struct PcapngResult {
    bool ok = false;
    std::size_t packets = 0;  // packets written
    std::string error;        // why not ok
};

// Converts the capture at `capturePath` to `pcapngPath`. The file is written
// beside its destination first and renamed into place only when complete,
// so a failure leaves whatever was there before. A capture that ends in a
// truncated record (a program killed mid-write) still gives a file with
// every whole packet, but the result is not ok and says so.
PcapngResult CaptureToPcapng(const std::string& capturePath, const std::string& pcapngPath);

}  // namespace vp
