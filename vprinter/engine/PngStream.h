// Writes an 8-bit RGB PNG one row at a time through libspng, so a page
// preview is encoded without ever holding the whole image. Rows are stored
// unfiltered and deflated at zlib's fastest level: printed pages are mostly
// white paper and solid patches that repeat row after row, which this codes
// compactly at a fraction of the cost of filtering.
#pragma once

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

    // Creates the file and writes the header; false with a reason on failure.
    bool Open(const std::string& path, int width, int height, std::string* error);
    // One row of width * 3 bytes (R, G, B).
    void Row(const std::uint8_t* rgb);
    // One row of white paper.
    void WhiteRow();
    // Finishes the image; false when a row is missing or the file could not be written.
    bool Close(std::string* error);

private:
    void Fail(const char* what, int code);

    std::FILE* file_ = nullptr;
    spng_ctx* ctx_ = nullptr;
    std::string path_;
    std::string failure_;
    int width_ = 0;
    int height_ = 0;
    int rows_ = 0;
    std::vector<std::uint8_t> white_;
};

}  // namespace vp
