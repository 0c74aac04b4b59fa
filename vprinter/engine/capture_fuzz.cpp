// Fuzz target for capture files: the reader, the text decoder vpcapture
// prints, and the pcapng file it writes. Whatever the file holds, reading
// must stop cleanly, the text must hold no control bytes but line ends,
// every pcapng block must frame itself, and the printer's
// own recorder, fed the records' bytes again, must keep every byte of both
// directions in order.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "chanlink/Capture.h"
#include "vprinter/engine/CaptureDecoder.h"
#include "vprinter/engine/CapturePcapng.h"
#include "vprinter/engine/PacketCapture.h"

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// A capture file of this process's own, removed at exit.
struct ScratchFile {
    std::string path;
    ScratchFile() {
        const char* dir = std::getenv("TMPDIR");
        path = std::string(dir && dir[0] == '/' ? dir : "/tmp") + "/svc_capture_fuzz." + std::to_string(::getpid());
    }
    ~ScratchFile() {
        for (const char* suffix : {"", ".input", ".pcapng"}) std::remove((path + suffix).c_str());
    }
};

void CheckBlock(const std::vector<std::uint8_t>& block, const d4::CaptureRecord& record) {
    // Type, total length, ..., total length again; a multiple of 4 bytes.
    if (block.size() % 4 != 0 || block.size() < 12 + 20 + record.bytes.size()) std::abort();
    if (Le32(block.data() + 4) != block.size() || Le32(block.data() + block.size() - 4) != block.size()) std::abort();
    if (Le32(block.data() + 20) != record.bytes.size()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    d4::CaptureReader reader;
    if (!reader.Load(std::vector<std::uint8_t>(data, data + size))) return 0;

    std::vector<d4::CaptureRecord> records;
    vp::CaptureDecoder decoder;
    std::ostringstream text;
    std::size_t consumed = sizeof d4::kCaptureMagic;
    for (d4::CaptureRecord record; reader.Next(record);) {
        consumed += 13 + record.bytes.size();
        if (consumed > size) std::abort();  // a record larger than the file it came from
        decoder.Packet(record.micros, static_cast<int>(record.direction), record.bytes.data(), record.bytes.size(),
                       text);
        CheckBlock(vp::PcapngPacket(record), record);
        records.push_back(record);
    }
    decoder.Finish(text);
    // The text is read on a terminal: one event a line, no control bytes
    // from the file (an escape sequence would act on the terminal).
    for (const char c : text.str()) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7F) std::abort();
    }
    // A clean end is the end of the file; anything else says where it stopped.
    if (reader.Error().empty() != (consumed == size)) std::abort();

    // The whole file to pcapng: every whole packet, and not ok after a cut.
    static ScratchFile scratch;
    const std::string input = scratch.path + ".input", pcapng = scratch.path + ".pcapng";
    if (std::FILE* f = std::fopen(input.c_str(), "wb")) {
        const bool written = std::fwrite(data, 1, size, f) == size;
        if (std::fclose(f) == 0 && written) {
            const vp::PcapngResult result = vp::CaptureToPcapng(input, pcapng);
            if (result.error.empty() != result.ok || result.packets != records.size()) std::abort();
            if (result.ok != reader.Error().empty()) std::abort();
            std::size_t expected = vp::PcapngHeader().size();
            for (const d4::CaptureRecord& r : records) expected += vp::PcapngPacket(r).size();
            std::error_code ec;
            if (std::filesystem::file_size(pcapng, ec) != expected || ec) std::abort();
        }
    }

    // The records' bytes through the printer's recorder, direction by direction.
    vp::PacketCapture capture;
    if (!capture.Open(scratch.path)) return 0;
    std::vector<std::uint8_t> sent[2];
    for (const d4::CaptureRecord& r : records) {
        const int d = static_cast<int>(r.direction);
        sent[d].insert(sent[d].end(), r.bytes.begin(), r.bytes.end());
        if (r.direction == d4::Direction::HostToPrinter)
            capture.HostBytes(r.micros, r.bytes.data(), r.bytes.size());
        else
            capture.PrinterBytes(r.micros, r.bytes.data(), r.bytes.size());
    }
    capture.Reset(0);
    capture.Close();
    if (!capture.Error().empty()) return 0;  // the disk, not the code

    d4::CaptureReader again;
    if (!again.Open(scratch.path)) std::abort();
    std::vector<std::uint8_t> kept[2];
    for (d4::CaptureRecord r; again.Next(r);) {
        if (r.bytes.empty()) std::abort();  // an empty record is no packet
        const int d = static_cast<int>(r.direction);
        kept[d].insert(kept[d].end(), r.bytes.begin(), r.bytes.end());
    }
    if (!again.Error().empty() || kept[0] != sent[0] || kept[1] != sent[1]) std::abort();
    return 0;
}
