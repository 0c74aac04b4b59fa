#include "pagereader/testing/ImageWrite.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include <jpeglib.h>
#include <spng.h>

namespace svc::pagereader::testing {

bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error) *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) {
        if (error) *error = "cannot write " + path;
        return false;
    }
    return true;
}

bool WritePng(const std::string& path, const Image& image, std::string* error) {
    spng_ctx* ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    if (!ctx) return false;
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(image.width);
    ihdr.height = static_cast<std::uint32_t>(image.height);
    ihdr.bit_depth = 8;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
    spng_set_ihdr(ctx, &ihdr);
    if (image.dpi > 0) {
        spng_phys phys{};
        phys.ppu_x = phys.ppu_y = static_cast<std::uint32_t>(std::lround(image.dpi / 0.0254));
        phys.unit_specifier = 1;
        spng_set_phys(ctx, &phys);
    }
    int rc = spng_encode_image(ctx, image.rgb.data(), image.rgb.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    std::vector<std::uint8_t> bytes;
    if (rc == 0) {
        std::size_t size = 0;
        void* buffer = spng_get_png_buffer(ctx, &size, &rc);
        if (buffer) {
            const auto* b = static_cast<const std::uint8_t*>(buffer);
            bytes.assign(b, b + size);
            std::free(buffer);
        }
    }
    spng_ctx_free(ctx);
    if (rc != 0) {
        if (error) *error = std::string("cannot encode PNG: ") + spng_strerror(rc);
        return false;
    }
    return WriteBytes(path, bytes, error);
}

std::vector<std::uint8_t> EncodeJpeg(const Image& image, int quality) {
    // The images are our own: the library's default error handling (which
    // ends the program) is never reached with them.
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (image.dpi > 0) {
        info.write_JFIF_header = TRUE;
        info.density_unit = 1;
        info.X_density = info.Y_density = static_cast<UINT16>(std::lround(image.dpi));
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(image.Row(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

bool WriteJpeg(const std::string& path, const Image& image, int quality, std::string* error) {
    return WriteBytes(path, EncodeJpeg(image, quality), error);
}

Image JpegRoundTrip(const Image& image, int quality) {
    const std::vector<std::uint8_t> bytes = EncodeJpeg(image, quality);
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    Image out;
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    out.dpi = image.dpi;
    out.rgb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.Row(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return out;
}

}  // namespace svc::pagereader::testing
