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
    friend std::string ReadableTranscript(const std::string& transcript);
    void Transaction(const std::uint8_t* payload, std::size_t n, std::ostream& out);
    void Control(const std::uint8_t* payload, std::size_t n, std::ostream& out);
    void PrintData(const std::uint8_t* payload, std::size_t n, std::ostream& out);

    class JobPrinter;
    std::unique_ptr<JobPrinter> job_;
};

// Decodes a whole capture file to `out`; false with a reason when the file
// cannot be read, is not a capture, or ends in a truncated record.
bool DecodeCaptureFile(const std::string& path, std::ostream& out, std::string* error);

// The readable form of a transcript (vp::Transcript's text, docs/PROTOCOL.md
// "Transcripts"): every "data N HH ..." line becomes "data N" followed by one
// line per job command, each with the exact bytes it was read from (16 to a
// line, indented by two spaces) and what the printer's job decoder made of
// them. Bytes the decoder cannot explain (after a sequence it refuses) keep
// their hex with "undecoded". Every other line is kept as it is. The bytes
// come back unchanged with vp::RawTranscript (vprinter/Transcript.h).
std::string ReadableTranscript(const std::string& transcript);

}  // namespace vp
