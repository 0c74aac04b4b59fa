#include "vprinter/engine/PngStream.h"

#include <spng.h>
#include <zlib.h>

#include <cerrno>
#include <cmath>
#include <cstring>

#include "vprinter/engine/Image.h"

namespace vp {

PngStream::~PngStream() {
    if (ctx_) spng_ctx_free(ctx_);
    if (file_) std::fclose(file_);
}

void PngStream::Fail(const char* what, int code) {
    if (failure_.empty()) failure_ = std::string("cannot write ") + path_ + ": " + what + ": " + spng_strerror(code);
}

bool PngStream::Open(const std::string& path, int width, int height, std::string* error) {
    if (!Start(path, width, height, 8, nullptr, error)) return false;
    white_.assign(static_cast<std::size_t>(width) * 3, 0xFF);
    return true;
}

bool PngStream::OpenIndexed(const std::string& path, int width, int height, const std::vector<Colour>& palette,
                            std::string* error) {
    if (palette.empty() || palette.size() > 256) {
        if (error)
            *error =
                "cannot write " + path + ": a palette holds 1 to 256 colours, not " + std::to_string(palette.size());
        return false;
    }
    const int depth = palette.size() <= 2 ? 1 : palette.size() <= 4 ? 2 : palette.size() <= 16 ? 4 : 8;
    indexed_ = true;
    return Start(path, width, height, depth, &palette, error);
}

bool PngStream::Start(const std::string& path, int width, int height, int bitDepth, const std::vector<Colour>* palette,
                      std::string* error) {
    path_ = path;
    width_ = width;
    height_ = height;
    bitDepth_ = bitDepth;
    if (width <= 0 || height <= 0) {
        if (error) *error = "cannot write " + path + ": an empty image";
        return false;
    }
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        if (error) *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    ctx_ = spng_ctx_new(SPNG_CTX_ENCODER);
    if (!ctx_) {
        if (error) *error = "cannot write " + path + ": out of memory";
        return false;
    }
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(width);
    ihdr.height = static_cast<std::uint32_t>(height);
    ihdr.bit_depth = static_cast<std::uint8_t>(bitDepth);
    ihdr.color_type = palette ? SPNG_COLOR_TYPE_INDEXED : SPNG_COLOR_TYPE_TRUECOLOR;
    int r = spng_set_png_file(ctx_, file_);
    if (r == 0) r = spng_set_ihdr(ctx_, &ihdr);
    if (r == 0 && palette) {
        spng_plte plte{};
        plte.n_entries = static_cast<std::uint32_t>(palette->size());
        for (std::size_t i = 0; i < palette->size(); ++i) {
            plte.entries[i].red = (*palette)[i][0];
            plte.entries[i].green = (*palette)[i][1];
            plte.entries[i].blue = (*palette)[i][2];
            plte.entries[i].alpha = 255;
        }
        r = spng_set_plte(ctx_, &plte);
    }
    if (r == 0 && dpi_ > 0) {
        spng_phys phys{};
        phys.unit_specifier = 1;  // per metre
        phys.ppu_x = phys.ppu_y = static_cast<std::uint32_t>(std::lround(dpi_ / 0.0254));
        r = spng_set_phys(ctx_, &phys);
    }
    if (r == 0) r = spng_set_option(ctx_, SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_NONE);
    if (r == 0) r = spng_set_option(ctx_, SPNG_IMG_COMPRESSION_LEVEL, 1);
    if (r == 0) r = spng_set_option(ctx_, SPNG_IMG_COMPRESSION_STRATEGY, Z_DEFAULT_STRATEGY);
    // zlib's memory level 6 instead of 8: a hash table of 8192 entries that
    // stays in the CPU's caches. An A3+ sheet encodes in about four fifths of
    // the time and the file comes out slightly smaller (the pixels are the same).
    if (r == 0) r = spng_set_option(ctx_, SPNG_IMG_MEM_LEVEL, 6);
    if (r == 0) r = spng_encode_image(ctx_, nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE);
    if (r != 0) {
        Fail("header", r);
        if (error) *error = failure_;
        return false;
    }
    return true;
}

void PngStream::Encode(const std::uint8_t* row, std::size_t bytes) {
    if (!ctx_ || !failure_.empty()) return;
    if (rows_ >= height_) {
        failure_ = "cannot write " + path_ + ": more rows than the image has";
        return;
    }
    const int r = spng_encode_row(ctx_, row, bytes);
    ++rows_;
    // The last row ends the image: the library reports that as its own code.
    if (r != 0 && !(r == SPNG_EOI && rows_ == height_)) Fail("row", r);
}

void PngStream::Row(const std::uint8_t* rgb) {
    if (indexed_) {
        if (failure_.empty()) failure_ = "cannot write " + path_ + ": an RGB row in an indexed image";
        return;
    }
    Encode(rgb, static_cast<std::size_t>(width_) * 3);
}

void PngStream::IndexRow(const std::uint8_t* indices) {
    if (!indexed_) {
        if (failure_.empty()) failure_ = "cannot write " + path_ + ": an indexed row in an RGB image";
        return;
    }
    // Packed as the file stores it: below 8 bits, the leftmost pixel in the
    // highest bits of a byte, the last byte padded with zero bits.
    const std::size_t width = static_cast<std::size_t>(width_);
    const std::size_t perByte = static_cast<std::size_t>(8 / bitDepth_);
    packed_.resize((width + perByte - 1) / perByte);
    const std::size_t full = width / perByte;  // bytes with every pixel in the row
    if (bitDepth_ == 8) {
        std::memcpy(packed_.data(), indices, width);
    } else if (bitDepth_ == 4) {
        for (std::size_t i = 0; i < full; ++i)
            packed_[i] = static_cast<std::uint8_t>(indices[2 * i] << 4 | indices[2 * i + 1]);
    } else if (bitDepth_ == 2) {
        for (std::size_t i = 0; i < full; ++i)
            packed_[i] = static_cast<std::uint8_t>(indices[4 * i] << 6 | indices[4 * i + 1] << 4 |
                                                   indices[4 * i + 2] << 2 | indices[4 * i + 3]);
    } else {
        for (std::size_t i = 0; i < full; ++i) {
            unsigned bits = 0;
            for (std::size_t k = 0; k < 8; ++k) bits = bits << 1 | indices[8 * i + k];
            packed_[i] = static_cast<std::uint8_t>(bits);
        }
    }
    if (full < packed_.size()) {  // the last byte, padded with zero bits
        unsigned bits = 0;
        for (std::size_t k = 0, x = full * perByte; k < perByte; ++k, ++x)
            bits = bits << bitDepth_ | (x < width ? indices[x] : 0u);
        packed_[full] = static_cast<std::uint8_t>(bits);
    }
    Encode(packed_.data(), packed_.size());
}

void PngStream::RepeatIndexRow() {
    if (!indexed_ || packed_.empty()) {
        if (failure_.empty()) failure_ = "cannot write " + path_ + ": no indexed row to repeat";
        return;
    }
    Encode(packed_.data(), packed_.size());
}

void PngStream::WhiteRow() { Row(white_.data()); }

bool PngStream::Close(std::string* error) {
    if (failure_.empty() && rows_ != height_)
        failure_ = "cannot write " + path_ + ": " + std::to_string(height_ - rows_) + " rows are missing";
    if (ctx_) {
        spng_ctx_free(ctx_);
        ctx_ = nullptr;
    }
    if (file_) {
        const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
        if (std::fclose(file_) != 0 || !flushed)
            if (failure_.empty()) failure_ = "cannot write " + path_ + ": " + std::strerror(errno);
        file_ = nullptr;
    }
    if (!failure_.empty() && error) *error = failure_;
    return failure_.empty();
}

bool WritePng(const std::string& path, const Image& image, std::string* error) {
    PngStream png;
    png.SetDpi(image.dpi);
    if (!png.Open(path, image.width, image.height, error)) return false;
    for (int y = 0; y < image.height; ++y) png.Row(image.Row(y));
    return png.Close(error);
}

bool ReadPng(const std::string& path, Image* image, std::string* error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (error) *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    spng_ctx* ctx = spng_ctx_new(0);
    std::string failure;
    int r = ctx ? spng_set_png_file(ctx, file) : SPNG_EMEM;
    spng_ihdr ihdr{};
    if (r == 0) r = spng_get_ihdr(ctx, &ihdr);
    std::size_t size = 0;
    if (r == 0) r = spng_decoded_image_size(ctx, SPNG_FMT_RGB8, &size);
    Image out;
    if (r == 0) {
        out.width = static_cast<int>(ihdr.width);
        out.height = static_cast<int>(ihdr.height);
        out.rgb.resize(size);
        r = spng_decode_image(ctx, out.rgb.data(), size, SPNG_FMT_RGB8, SPNG_DECODE_TRNS);
    }
    if (r == 0) {
        spng_phys phys{};
        if (spng_get_phys(ctx, &phys) == 0 && phys.unit_specifier == 1 && phys.ppu_x > 0)
            out.dpi = static_cast<int>(std::lround(phys.ppu_x * 0.0254));
    }
    if (r != 0) failure = "cannot read " + path + ": " + spng_strerror(r);
    if (ctx) spng_ctx_free(ctx);
    std::fclose(file);
    if (!failure.empty()) {
        if (error) *error = failure;
        return false;
    }
    *image = std::move(out);
    return true;
}

}  // namespace vp
