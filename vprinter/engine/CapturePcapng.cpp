#include "vprinter/engine/CapturePcapng.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vp {

namespace {

constexpr std::uint32_t kSectionHeaderBlock = 0x0A0D0D0A;
constexpr std::uint32_t kInterfaceDescriptionBlock = 1;
constexpr std::uint32_t kEnhancedPacketBlock = 6;
constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr std::uint16_t kOptEnd = 0;
constexpr std::uint16_t kOptShbUserAppl = 4;
constexpr std::uint16_t kOptIfName = 2;
constexpr std::uint16_t kOptEpbFlags = 2;

// Blocks are written little-endian (the byte-order magic tells readers).
class Block {
public:
    explicit Block(std::uint32_t type) {
        U32(type);
        U32(0);  // total length, filled in by Finish
    }
    void U16(std::uint16_t v) {
        bytes_.push_back(static_cast<std::uint8_t>(v));
        bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void U32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void U64(std::uint64_t v) {
        for (int i = 0; i < 8; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    void Bytes(const std::uint8_t* data, std::size_t n) {
        bytes_.insert(bytes_.end(), data, data + n);
        Pad();
    }
    void Option(std::uint16_t code, const std::string& text) {
        U16(code);
        U16(static_cast<std::uint16_t>(text.size()));
        Bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
    void Option(std::uint16_t code, std::uint32_t value) {
        U16(code);
        U16(4);
        U32(value);
    }
    std::vector<std::uint8_t> Finish() {
        U16(kOptEnd);
        U16(0);
        const auto total = static_cast<std::uint32_t>(bytes_.size() + 4);
        U32(total);
        for (int i = 0; i < 4; ++i) bytes_[4 + i] = static_cast<std::uint8_t>(total >> (8 * i));
        return std::move(bytes_);
    }

private:
    void Pad() {
        while (bytes_.size() % 4 != 0) bytes_.push_back(0);
    }
    std::vector<std::uint8_t> bytes_;
};

std::string SystemError(const std::string& what, int error) { return what + ": " + std::strerror(error); }

}  // namespace

std::vector<std::uint8_t> PcapngHeader() {
    Block shb(kSectionHeaderBlock);
    shb.U32(kByteOrderMagic);
    shb.U16(1);  // version 1.0
    shb.U16(0);
    shb.U64(~std::uint64_t{0});  // section length not given
    shb.Option(kOptShbUserAppl, std::string("vpcapture"));
    std::vector<std::uint8_t> out = shb.Finish();

    Block idb(kInterfaceDescriptionBlock);
    idb.U16(kPcapngLinkType);
    idb.U16(0);
    idb.U32(0);  // no snapshot length: packets are whole
    idb.Option(kOptIfName, std::string("svcadjust packet channel"));
    // Time stamps are in microseconds, the format's default resolution.
    const std::vector<std::uint8_t> interface = idb.Finish();
    out.insert(out.end(), interface.begin(), interface.end());
    return out;
}

std::vector<std::uint8_t> PcapngPacket(const d4::CaptureRecord& record) {
    Block epb(kEnhancedPacketBlock);
    epb.U32(0);  // interface 0
    epb.U32(static_cast<std::uint32_t>(record.micros >> 32));
    epb.U32(static_cast<std::uint32_t>(record.micros));
    const auto n = static_cast<std::uint32_t>(record.bytes.size());
    epb.U32(n);  // captured
    epb.U32(n);  // on the wire
    epb.Bytes(record.bytes.data(), record.bytes.size());
    epb.Option(kOptEpbFlags, record.direction == d4::Direction::HostToPrinter ? kPcapngOutbound : kPcapngInbound);
    return epb.Finish();
}

PcapngResult CaptureToPcapng(const std::string& capturePath, const std::string& pcapngPath) {
    PcapngResult result;
    d4::CaptureReader reader;
    if (!reader.Open(capturePath)) {
        result.error = reader.Error();
        return result;
    }
    std::error_code same;
    if (std::filesystem::equivalent(capturePath, pcapngPath, same)) {
        result.error = "the pcapng file would replace the capture it is made from";
        return result;
    }
    const std::string temporary = pcapngPath + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        result.error = SystemError("cannot create " + temporary, errno);
        return result;
    }
    bool written = true;
    auto write = [&](const std::vector<std::uint8_t>& bytes) {
        if (written && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) written = false;
    };
    write(PcapngHeader());
    d4::CaptureRecord record;
    while (written && reader.Next(record)) {
        write(PcapngPacket(record));
        ++result.packets;
    }
    int error = written ? 0 : errno;
    if (std::fflush(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    std::error_code ec;
    if (!written) {
        std::filesystem::remove(temporary, ec);
        result.error = SystemError("cannot write " + temporary, error);
        result.packets = 0;
        return result;
    }
    std::filesystem::rename(temporary, pcapngPath, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        result.error = "cannot write " + pcapngPath + ": " + ec.message();
        result.packets = 0;
        return result;
    }
    if (!reader.Error().empty()) {
        result.error =
            reader.Error() + " (the " + std::to_string(result.packets) + " whole packets before it were written)";
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace vp
