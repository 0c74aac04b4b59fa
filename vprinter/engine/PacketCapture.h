// Records the packets of a link from the printer's side: the bytes that
// arrive from the host and the answers that leave, in chunks of any size, are
// cut into whole packets by their headers and written to a capture file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "chanlink/Capture.h"

namespace vp {

class PacketCapture {
public:
    // The file named is replaced when it is a regular file (never through
    // a symbolic link).
    bool Open(const std::string& path) { return writer_.Open(path, /*replace=*/true); }
    const std::string& Error() const { return writer_.Error(); }
    bool IsOpen() const { return writer_.IsOpen(); }

    // Bytes that crossed the link at `micros` (the printer's own clock).
    void HostBytes(std::uint64_t micros, const std::uint8_t* data, std::size_t n);
    void PrinterBytes(std::uint64_t micros, const std::uint8_t* data, std::size_t n);
    // The link was reset: partial packets are recorded as they are and dropped.
    void Reset(std::uint64_t micros);
    void Close() { writer_.Close(); }

private:
    void Cut(std::uint64_t micros, d4::Direction direction, std::vector<std::uint8_t>& pending, bool all);

    d4::CaptureWriter writer_;
    std::vector<std::uint8_t> fromHost_;
    std::vector<std::uint8_t> fromPrinter_;
};

}  // namespace vp
