// Turns a link capture into readable text: one block per packet with its
// time and direction, the channel commands and control messages decoded, and
// the print data the host sent read as job commands by the printer's own
// job decoder.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace vp {

class CaptureDecoder {
public:
    CaptureDecoder();
    ~CaptureDecoder();

    // Describes one packet that passed at `micros` (0 host to printer, 1 back).
    void Packet(std::uint64_t micros, int direction, const std::uint8_t* data, std::size_t n, std::ostream& out);
    // The capture ended: reports print data that was cut short.
    void Finish(std::ostream& out);

private:
    void Transaction(const std::uint8_t* payload, std::size_t n, std::ostream& out);
    void Control(const std::uint8_t* payload, std::size_t n, std::ostream& out);
    void PrintData(const std::uint8_t* payload, std::size_t n, std::ostream& out);

    class JobPrinter;
    std::unique_ptr<JobPrinter> job_;
};

// Decodes a whole capture file to `out`; false with a reason when the file
// cannot be read, is not a capture, or ends in a truncated record.
bool DecodeCaptureFile(const std::string& path, std::ostream& out, std::string* error);

}  // namespace vp
