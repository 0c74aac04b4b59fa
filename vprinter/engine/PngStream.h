// Writes an 8-bit RGB PNG one row at a time, so a page preview is encoded
// without ever holding the whole image. The compressor is deliberately
// simple: one fixed-code deflate block of literals and repeats of the
// previous byte or pixel. Printed pages are mostly white paper and solid
// patches, which this codes compactly at a small fraction of the cost of a
// general-purpose compressor.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vp {

class PngStream {
public:
    PngStream() = default;
    ~PngStream();
    PngStream(const PngStream&) = delete;
    PngStream& operator=(const PngStream&) = delete;

    // Creates the file and writes the header; false with a reason on failure.
    bool Open(const std::string& path, int width, int height, std::string* error);
    // One row of width * 3 bytes (R, G, B).
    void Row(const std::uint8_t* rgb);
    // One row of white paper.
    void WhiteRow();
    // The previous row once more (the first row cannot be a repeat), for
    // images narrow enough that a row lies within the compressor's reach.
    bool CanRepeatRows() const { return width_ * 3 + 1 <= 32768; }
    void RepeatRow();
    // Finishes the image; false when a row is missing or the file could not be written.
    bool Close(std::string* error);

private:
    void Bits(std::uint32_t value, int count);
    void Code(int symbol);
    void Literal(std::uint8_t byte);
    void Repeat(std::size_t length, int distance);
    void Encode(std::size_t begin);
    void AdlerRow(std::uint64_t n, std::uint64_t sum, std::uint64_t weighted);
    bool NextRow();
    void FlushChunk(bool force);
    void Chunk(const char* type, const std::uint8_t* data, std::size_t n);

    std::FILE* file_ = nullptr;
    bool failed_ = false;
    int width_ = 0;
    int height_ = 0;
    int rows_ = 0;
    std::vector<std::uint8_t> work_;  // the last three bytes written, then the row being encoded
    std::uint64_t written_ = 0;       // uncompressed bytes so far
    std::uint32_t adlerA_ = 1, adlerB_ = 0;
    bool haveRow_ = false;
    std::uint64_t rowSum_ = 0, rowWeighted_ = 0;  // of the last row, for repeats
    std::uint64_t bitBuffer_ = 0;
    int bitCount_ = 0;
    std::vector<std::uint8_t> out_;   // compressed bytes of the next IDAT chunk
};

}  // namespace vp
