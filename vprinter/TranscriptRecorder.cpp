#include "chanlink/Capture.h"
#include "chanlink/Packet.h"
#include "vprinter/Printer.h"
#include "vprinter/Transcript.h"

namespace vp {

TranscriptRecorder::TranscriptRecorder(Printer& printer) : printer_(printer) {
    Clear();
    printer_.SetPacketObserver(
        [this](const std::uint8_t* packet, std::size_t size, const std::uint8_t* answer, std::size_t answerSize) {
            Record(0, packet, size);
            // The answer may hold several packets; each becomes a record of its own.
            std::size_t at = 0;
            while (answerSize - at >= d4::kHeaderSize) {
                std::size_t length = d4::DecodeHeader(answer + at).length;
                if (length < d4::kHeaderSize || length > answerSize - at) length = answerSize - at;
                Record(1, answer + at, length);
                at += length;
            }
        });
}

TranscriptRecorder::~TranscriptRecorder() { printer_.SetPacketObserver(nullptr); }

std::string TranscriptRecorder::Text() const { return TranscriptOf(capture_).text; }

void TranscriptRecorder::Clear() { capture_.assign(std::begin(d4::kCaptureMagic), std::end(d4::kCaptureMagic)); }

// The capture file's record layout: u64 microseconds, u8 direction, u32
// byte count (little-endian), then the packet.
void TranscriptRecorder::Record(int direction, const std::uint8_t* data, std::size_t n) {
    const std::uint64_t micros = printer_.NowMs() * 1000;
    for (int i = 0; i < 8; ++i) capture_.push_back(static_cast<std::uint8_t>(micros >> (8 * i)));
    capture_.push_back(static_cast<std::uint8_t>(direction));
    for (int i = 0; i < 4; ++i) capture_.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    capture_.insert(capture_.end(), data, data + n);
}

}  // namespace vp
