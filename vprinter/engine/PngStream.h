// Writes a PNG one row at a time, so a page preview is encoded without ever
// holding the whole image: 8-bit RGB, or indexed with a palette of at most
// 256 colours.
//
// Printed pages are mostly white paper and patches or bars whose rows repeat
// many times over. A row unlike the one above is stored unfiltered and
// deflated by zlib at its fastest level. A row like the one above is stored
// with the "Up" filter, which makes it all zero bytes (a row of zero bytes,
// paper with a palette, unfiltered), and each run of such rows is coded here
// directly as one deflate block of runs: zlib never reads them, nor is its
// checksum taken over them byte by byte. A page of a few hundred distinct
// rows among thousands so costs what its distinct rows cost.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct z_stream_s;

namespace vp {

class PngStream {
public:
    PngStream() = default;
    ~PngStream();
    PngStream(const PngStream&) = delete;
    PngStream& operator=(const PngStream&) = delete;

    using Colour = std::array<std::uint8_t, 3>;

    // The resolution to store with the image (its pHYs chunk, in pixels per
    // metre); 0, the default, stores none. Set before Open.
    void SetDpi(int dpi) { dpi_ = dpi; }
    // Creates the file and writes the header of an RGB image; false with a
    // reason on failure.
    bool Open(const std::string& path, int width, int height, std::string* error);
    // The same for an indexed image of 1 to 256 colours, stored with the
    // fewest bits per pixel that hold an index (1, 2, 4 or 8).
    bool OpenIndexed(const std::string& path, int width, int height, const std::vector<Colour>& palette,
                     std::string* error);
    // One row of an RGB image: width * 3 bytes (R, G, B).
    void Row(const std::uint8_t* rgb);
    // One row of white paper (RGB images).
    void WhiteRow();
    // One row of an indexed image: width palette indices, a byte each.
    void IndexRow(const std::uint8_t* indices);
    // The last indexed row again.
    void RepeatIndexRow();
    // Finishes the image; false when a row is missing or the file could not be written.
    bool Close(std::string* error);

private:
    bool Start(const std::string& path, int width, int height, int bitDepth, const std::vector<Colour>* palette,
               std::string* error);
    // One row of `bytes` bytes as the file stores it; `same`: known to be the
    // row before it again.
    void Encode(const std::uint8_t* row, std::size_t bytes, bool same);
    void Deflate(const std::uint8_t* data, std::size_t n, int flush);
    void CodeRepeats();
    void Chunk(const char* type, const std::uint8_t* data, std::size_t n);
    void WriteIdat(bool all);
    void Fail(const std::string& what);

    struct ZStreamDeleter {
        void operator()(z_stream_s* stream) const;
    };

    std::FILE* file_ = nullptr;
    std::unique_ptr<z_stream_s, ZStreamDeleter> zlib_;
    std::string path_;
    std::string failure_;
    int width_ = 0;
    int height_ = 0;
    int rows_ = 0;
    int bitDepth_ = 8;
    int dpi_ = 0;
    bool indexed_ = false;
    std::vector<std::uint8_t> white_;
    std::vector<std::uint8_t> packed_;  // the last indexed row, as stored
    // The last row as deflated (filter byte 0, then the row); its size is
    // the row's stride once a row was written.
    std::vector<std::uint8_t> last_;
    bool lastZero_ = false;           // last_ holds zero bytes only
    int repeats_ = 0;                 // rows equal to last_ not yet coded
    std::uint32_t adler_ = 1;         // of every byte the stream holds so far
    std::uint32_t repeatAdler_ = 0;   // of one repeated row as stored (2, then zeros)
    std::uint32_t zeroAdler_ = 0;     // of one row of zeros as stored (0, then zeros)
    std::vector<std::uint8_t> idat_;  // compressed bytes not yet in a chunk
    std::vector<std::uint8_t> out_;   // zlib's output buffer
    // One repeated row as deflate codes: (code, length in bits) pairs, least
    // significant bit first, and the head of the block that holds them.
    std::vector<std::pair<std::uint32_t, int>> rowCodes_;
    std::vector<std::pair<std::uint32_t, int>> blockHead_;
    std::pair<std::uint32_t, int> endOfBlock_{0, 0};
};

}  // namespace vp
