// What a host did to the printer, read back from a link capture: one line per
// library call that reached the printer, and nothing else.
//
//   data N HH HH ...     one SendDataChannel of N bytes (upper-case hex)
//   eeprom_read AA       one D4ReadEeprom
//   eeprom_write AA VV   one D4WriteEeprom
//   status               one InquireStatus
//
// Negotiation, credit and termination are the channel's own business and do
// not show. A send is the run of print-data packets that the host cut it
// into: every packet but the last carries the full negotiated payload, so a
// short (or empty) packet ends the send, and so does any other host request.
// A send refused as busy sent nothing and does not show. The format is
// described in docs/PROTOCOL.md ("Transcripts").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vp {

// The transcript of a capture held in memory (the bytes of a capture file,
// magic included). Ok() is false when the bytes are not a capture or end in
// a truncated record; the text then holds what could be read.
struct Transcript {
    std::string text;
    std::string error;
    bool Ok() const { return error.empty(); }
};

Transcript TranscriptOf(const std::vector<std::uint8_t>& capture);
Transcript TranscriptOfFile(const std::string& path);

// The transcript a readable transcript (vp::ReadableTranscript of the print
// engine) was made from: each "data N" line followed by indented item lines
// becomes "data N HH ..." again, from the hex of the items (their first 47
// columns after the indent); every other line is kept. A line already in the
// plain form is kept too. Ok() is false when the hex of a data line is not N
// bytes or not hex; the text then holds what could be read.
Transcript RawTranscript(const std::string& readable);

// Compares `actual` (a plain transcript) with the golden file `dir`/`name`,
// which may be plain or readable: the bytes of both are compared exactly. With SVC_UPDATE_GOLDEN=1
// in the environment the file is (re)written instead and the comparison
// passes. Returns an empty string when they match, otherwise a message that
// names the file, the first differing line and how to regenerate it.
std::string CompareWithGolden(const std::string& dir, const std::string& name, const std::string& actual);

}  // namespace vp

namespace vp {

class Printer;

// Records the transcript of an in-process printer's conversation from the
// printer's side: construct it on the printer before the host starts, read
// Text() when it is done. Only one recorder (or other packet observer) per
// printer; the recorder must not outlive the printer.
class TranscriptRecorder {
public:
    explicit TranscriptRecorder(Printer& printer);
    ~TranscriptRecorder();
    TranscriptRecorder(const TranscriptRecorder&) = delete;
    TranscriptRecorder& operator=(const TranscriptRecorder&) = delete;

    // The transcript so far.
    std::string Text() const;
    // The capture so far, in the capture file format (for vpcapture).
    const std::vector<std::uint8_t>& Capture() const { return capture_; }
    // Forgets what was recorded (a test that only wants what comes next).
    void Clear();

private:
    void Record(int direction, const std::uint8_t* data, std::size_t n);

    Printer& printer_;
    std::vector<std::uint8_t> capture_;
};

}  // namespace vp
