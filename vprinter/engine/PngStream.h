// Writes a PNG one row at a time through libspng, so a page preview is
// encoded without ever holding the whole image: 8-bit RGB, or indexed with a
// palette of at most 256 colours. Rows are stored unfiltered and deflated at
// zlib's fastest level: printed pages are mostly white paper and solid
// patches that repeat row after row, which this codes compactly at a
// fraction of the cost of filtering.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct spng_ctx;

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
    void Encode(const std::uint8_t* row, std::size_t bytes);
    void Fail(const char* what, int code);

    std::FILE* file_ = nullptr;
    spng_ctx* ctx_ = nullptr;
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
};

}  // namespace vp
