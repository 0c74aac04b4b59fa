#include "vprinter/engine/PacketCapture.h"

#include "chanlink/Packet.h"

namespace vp {

void PacketCapture::HostBytes(std::uint64_t micros, const std::uint8_t* data, std::size_t n) {
    fromHost_.insert(fromHost_.end(), data, data + n);
    Cut(micros, d4::Direction::HostToPrinter, fromHost_, false);
}

void PacketCapture::PrinterBytes(std::uint64_t micros, const std::uint8_t* data, std::size_t n) {
    fromPrinter_.insert(fromPrinter_.end(), data, data + n);
    Cut(micros, d4::Direction::PrinterToHost, fromPrinter_, false);
}

void PacketCapture::Reset(std::uint64_t micros) {
    Cut(micros, d4::Direction::HostToPrinter, fromHost_, true);
    Cut(micros, d4::Direction::PrinterToHost, fromPrinter_, true);
}

// Records every whole packet at the front of `pending`. A length below the
// header size can never frame a packet: the rest is recorded as one record
// (the decoder shows it as malformed) instead of waiting forever.
void PacketCapture::Cut(std::uint64_t micros, d4::Direction direction, std::vector<std::uint8_t>& pending, bool all) {
    std::size_t at = 0;
    while (pending.size() - at >= d4::kHeaderSize) {
        const std::size_t length = d4::DecodeHeader(pending.data() + at).length;
        if (length < d4::kHeaderSize) {
            all = true;
            break;
        }
        if (pending.size() - at < length) break;
        writer_.RecordAt(micros, direction, pending.data() + at, length);
        at += length;
    }
    if (all && at < pending.size()) {
        writer_.RecordAt(micros, direction, pending.data() + at, pending.size() - at);
        at = pending.size();
    }
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace vp
