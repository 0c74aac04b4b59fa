// Reading the picture of a page from a file: PNG (libspng, the library the
// virtual printer writes its pages with), JPEG (libjpeg-turbo), TIFF (libtiff)
// and the plain PNM formats (our own). Whatever the file holds, grey,
// palette, 16 bits a sample or transparency, comes out as 8-bit RGB on white.
//
// The file is opened as a regular file only and without blocking (a FIFO or
// a device would otherwise hang the caller), read whole, and decoded from
// memory; a damaged, truncated or hostile file is refused with a reason, and
// a picture larger than kMaxPixels is refused before anything is decoded.
// The reason is for a person and goes straight to the window or the command
// line: it is written in the user's language here (as written in the C
// locale); what the decoding libraries say is added as they say it.
#include "pagereader/Image.h"

#include "i18n/Translate.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <initializer_list>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include <jpeglib.h>
#include <jerror.h>
#include <spng.h>
#include <tiffio.h>

namespace svc::pagereader {

namespace {

// 400 million pixels: a letter sheet scanned at 2400 dpi is 54 million, so
// anything larger is no page; its RGB alone would take 1.2 GB.
constexpr std::uint64_t kMaxPixels = 400'000'000;
// A file this large is no page picture either (a 400 Mpx PNG of a page is far smaller).
constexpr std::uint64_t kMaxFileBytes = 1ull << 30;

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

bool Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

// `why` in the user's language already.
std::string NotAnImage(const std::string& path, const std::string& why) {
    return Format(Tr("%1 is not an image this program can read (%2)"), {Quoted(path), why});
}

// Checks the stated size and makes room for it.
bool Allocate(std::uint64_t width, std::uint64_t height, Image* image, const std::string& path, std::string* error) {
    if (width == 0 || height == 0) return Fail(error, NotAnImage(path, Tr("it states a size of no pixels")));
    if (width > static_cast<std::uint64_t>(std::numeric_limits<int>::max()) ||
        height > static_cast<std::uint64_t>(std::numeric_limits<int>::max()) || width * height > kMaxPixels)
        return Fail(error, Format(Tr("%1 is too large to read: %2 x %3 pixels (at most %4 million pixels are read)"),
                                  {Quoted(path), std::to_string(width), std::to_string(height),
                                   std::to_string(kMaxPixels / 1'000'000)}));
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->rgb.assign(static_cast<std::size_t>(width * height * 3), 0xFF);
    return true;
}

// A colour over white through its alpha (straight, not premultiplied).
inline std::uint8_t OverWhite(unsigned c, unsigned a) {
    return static_cast<std::uint8_t>((c * a + 255u * (255u - a) + 127u) / 255u);
}

// ---------------------------------------------------------------- PNG

struct SpngContext {
    spng_ctx* ctx = spng_ctx_new(0);
    ~SpngContext() { spng_ctx_free(ctx); }
};

bool DecodePng(const std::vector<std::uint8_t>& data, const std::string& path, Image* image, std::string* error) {
    SpngContext c;
    if (!c.ctx) return Fail(error, Format(Tr("out of memory reading %1"), {Quoted(path)}));
    // Ancillary chunks are kept small: a page needs none of them but pHYs.
    spng_set_chunk_limits(c.ctx, 1u << 24, 1u << 26);
    spng_set_crc_action(c.ctx, SPNG_CRC_ERROR, SPNG_CRC_ERROR);
    if (int rc = spng_set_png_buffer(c.ctx, data.data(), data.size()); rc != 0)
        return Fail(error, NotAnImage(path, spng_strerror(rc)));
    spng_ihdr ihdr{};
    if (int rc = spng_get_ihdr(c.ctx, &ihdr); rc != 0) return Fail(error, NotAnImage(path, spng_strerror(rc)));
    if (!Allocate(ihdr.width, ihdr.height, image, path, error)) return false;
    spng_phys phys{};
    if (spng_get_phys(c.ctx, &phys) == 0 && phys.unit_specifier == 1 && phys.ppu_x > 0) {
        // Pixels a metre cannot state a whole dpi exactly (300 dpi is written
        // as 11811, 299.9994 dpi): the whole number it was meant as.
        image->dpi = phys.ppu_x * 0.0254;
        if (std::abs(image->dpi - std::round(image->dpi)) < 0.05) image->dpi = std::round(image->dpi);
    }

    const std::size_t w = static_cast<std::size_t>(image->width);
    auto put = [&](int y, const std::uint8_t* rgba) {
        std::uint8_t* out = image->Row(y);
        for (std::size_t x = 0; x < w; ++x)
            for (int k = 0; k < 3; ++k)
                out[x * 3 + static_cast<std::size_t>(k)] =
                    OverWhite(rgba[x * 4 + static_cast<std::size_t>(k)], rgba[x * 4 + 3]);
    };
    auto failed = [&](int rc) {
        image->rgb.clear();
        return Fail(error, NotAnImage(path, Format(Tr("damaged or incomplete PNG: %1"), {spng_strerror(rc)})));
    };
    if (ihdr.interlace_method != 0) {
        // Interlaced rows arrive pass by pass: the whole picture is decoded at once.
        std::vector<std::uint8_t> rgba(w * static_cast<std::size_t>(image->height) * 4);
        if (int rc = spng_decode_image(c.ctx, rgba.data(), rgba.size(), SPNG_FMT_RGBA8, SPNG_DECODE_TRNS); rc != 0)
            return failed(rc);
        for (int y = 0; y < image->height; ++y) put(y, rgba.data() + static_cast<std::size_t>(y) * w * 4);
        return true;
    }
    if (int rc = spng_decode_image(c.ctx, nullptr, 0, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE);
        rc != 0)
        return failed(rc);
    std::vector<std::uint8_t> row(w * 4);
    for (int y = 0; y < image->height; ++y) {
        const int rc = spng_decode_row(c.ctx, row.data(), row.size());
        if (rc != 0 && !(rc == SPNG_EOI && y == image->height - 1)) return failed(rc);
        put(y, row.data());
    }
    return true;
}

// ---------------------------------------------------------------- JPEG

struct JpegErrors {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
    bool truncated = false;
};

void JpegErrorExit(j_common_ptr info) {
    auto* e = reinterpret_cast<JpegErrors*>(info->err);
    info->err->format_message(info, e->message);
    std::longjmp(e->jump, 1);
}

void JpegMessage(j_common_ptr info, int level) {
    // Warnings are not printed; a file that ends early is refused below.
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) reinterpret_cast<JpegErrors*>(info->err)->truncated = true;
}

// Everything a decoding keeps across a long jump out of the library: it lives
// in the caller of the function that calls setjmp, so no object with a
// destructor is skipped or left in a register by the jump.
struct JpegJob {
    jpeg_decompress_struct info;
    JpegErrors errors;
    std::vector<std::uint8_t> cmykRow;
    bool created = false;
};

bool RunJpeg(JpegJob* job, const std::vector<std::uint8_t>& data) {
    jpeg_decompress_struct& info = job->info;
    info.err = jpeg_std_error(&job->errors.mgr);
    job->errors.mgr.error_exit = JpegErrorExit;
    job->errors.mgr.emit_message = JpegMessage;
    if (setjmp(job->errors.jump)) return false;
    jpeg_create_decompress(&info);
    job->created = true;
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    return true;
}

bool ReadJpegRows(JpegJob* job, Image* image) {
    jpeg_decompress_struct& info = job->info;
    if (setjmp(job->errors.jump)) return false;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    // CMYK and YCCK are taken as CMYK and converted below; everything else as RGB.
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    const std::size_t w = info.output_width;
    if (cmyk) job->cmykRow.resize(w * 4);
    while (info.output_scanline < info.output_height && !job->errors.truncated) {
        const std::size_t y = info.output_scanline;
        std::uint8_t* out = image->rgb.data() + y * w * 3;
        JSAMPROW row = cmyk ? job->cmykRow.data() : out;
        jpeg_read_scanlines(&info, &row, 1);
        if (cmyk) {
            // Such files store CMYK inverted: each sample is already 255 - ink.
            const std::uint8_t* in = job->cmykRow.data();
            for (std::size_t x = 0; x < w; ++x)
                for (std::size_t ch = 0; ch < 3; ++ch)
                    out[x * 3 + ch] = static_cast<std::uint8_t>(in[x * 4 + ch] * in[x * 4 + 3] / 255u);
        }
    }
    if (!job->errors.truncated) jpeg_finish_decompress(&info);
    return true;
}

bool DecodeJpeg(const std::vector<std::uint8_t>& data, const std::string& path, Image* image, std::string* error) {
    JpegJob job;
    struct Destroy {
        JpegJob& job;
        ~Destroy() {
            if (job.created) jpeg_destroy_decompress(&job.info);
        }
    } destroy{job};
    auto damaged = [&] {
        image->rgb.clear();
        return Fail(error, NotAnImage(path, Format(Tr("damaged JPEG: %1"), {job.errors.message})));
    };
    if (!RunJpeg(&job, data)) return damaged();
    // The size is checked before the decoder makes room for it.
    if (!Allocate(job.info.image_width, job.info.image_height, image, path, error)) return false;
    if (job.info.density_unit == 1 && job.info.X_density > 0) image->dpi = job.info.X_density;
    if (job.info.density_unit == 2 && job.info.X_density > 0) image->dpi = job.info.X_density * 2.54;
    if (!ReadJpegRows(&job, image)) return damaged();
    if (job.errors.truncated) {
        image->rgb.clear();
        return Fail(error, NotAnImage(path, Tr("the JPEG data ends before the picture does")));
    }
    return true;
}

// ---------------------------------------------------------------- TIFF

struct MemoryFile {
    const std::vector<std::uint8_t>* data;
    toff_t at = 0;
};

tsize_t TiffRead(thandle_t h, tdata_t buffer, tsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    if (size <= 0 || f->at >= f->data->size()) return 0;
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), f->data->size() - f->at);
    std::memcpy(buffer, f->data->data() + f->at, n);
    f->at += n;
    return static_cast<tsize_t>(n);
}
tsize_t TiffWrite(thandle_t, tdata_t, tsize_t) { return 0; }
toff_t TiffSeek(thandle_t h, toff_t offset, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    toff_t base = whence == SEEK_CUR ? f->at : whence == SEEK_END ? f->data->size() : 0;
    if (offset > std::numeric_limits<toff_t>::max() - base) return static_cast<toff_t>(-1);
    f->at = base + offset;
    return f->at;
}
int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t h) { return static_cast<MemoryFile*>(h)->data->size(); }
int TiffMap(thandle_t h, tdata_t* base, toff_t* size) {
    auto* f = static_cast<MemoryFile*>(h);
    *base = const_cast<std::uint8_t*>(f->data->data());
    *size = f->data->size();
    return 1;
}
void TiffUnmap(thandle_t, tdata_t, toff_t) {}

int TiffError(TIFF*, void* user, const char* module, const char* format, va_list args) {
    auto* message = static_cast<std::string*>(user);
    if (message->empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        *message = text;
        (void)module;
    }
    return 1;
}
int TiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffFile {
    TIFF* tiff = nullptr;
    ~TiffFile() {
        if (tiff) TIFFClose(tiff);
    }
};

bool DecodeTiff(const std::vector<std::uint8_t>& data, const std::string& path, Image* image, std::string* error) {
    std::string message;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return Fail(error, Format(Tr("out of memory reading %1"), {Quoted(path)}));
    TIFFOpenOptionsSetErrorHandlerExtR(options, TiffError, &message);
    TIFFOpenOptionsSetWarningHandlerExtR(options, TiffWarning, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, 256 << 20);
    MemoryFile file{&data};
    TiffFile t;
    t.tiff = TIFFClientOpenExt(path.c_str(), "rm", &file, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize, TiffMap,
                               TiffUnmap, options);
    TIFFOpenOptionsFree(options);
    if (!t.tiff) return Fail(error, NotAnImage(path, message.empty() ? std::string(Tr("damaged TIFF")) : message));
    std::uint32_t w = 0, h = 0;
    TIFFGetField(t.tiff, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(t.tiff, TIFFTAG_IMAGELENGTH, &h);
    char why[1024] = {};
    if (!TIFFRGBAImageOK(t.tiff, why)) return Fail(error, NotAnImage(path, why));
    if (!Allocate(w, h, image, path, error)) return false;
    float resolution = 0;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(t.tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(t.tiff, TIFFTAG_XRESOLUTION, &resolution) && resolution > 0 && std::isfinite(resolution)) {
        if (unit == RESUNIT_INCH) image->dpi = resolution;
        if (unit == RESUNIT_CENTIMETER) image->dpi = resolution * 2.54;
    }
    TIFFRGBAImage reader;
    if (!TIFFRGBAImageBegin(&reader, t.tiff, 0, why)) {
        image->rgb.clear();
        return Fail(error, NotAnImage(path, why));
    }
    reader.req_orientation = ORIENTATION_TOPLEFT;
    // A band of rows at a time, so that the 4-byte pixels never take the whole picture.
    const std::uint32_t band = std::max<std::uint32_t>(1, std::min<std::uint32_t>(h, (16u << 20) / (w * 4u + 1u)));
    std::vector<std::uint32_t> raster(static_cast<std::size_t>(w) * band);
    bool ok = true;
    for (std::uint32_t y0 = 0; y0 < h && ok; y0 += band) {
        const std::uint32_t rows = std::min(band, h - y0);
        reader.row_offset = static_cast<int>(y0);
        reader.col_offset = 0;
        ok = TIFFRGBAImageGet(&reader, raster.data(), w, rows) != 0;
        for (std::uint32_t r = 0; r < rows && ok; ++r) {
            std::uint8_t* out = image->Row(static_cast<int>(y0 + r));
            const std::uint32_t* in = raster.data() + static_cast<std::size_t>(r) * w;
            for (std::uint32_t x = 0; x < w; ++x) {
                // The library gives colour premultiplied by alpha.
                const std::uint32_t p = in[x];
                const unsigned white = 255u - TIFFGetA(p);
                out[x * 3 + 0] = static_cast<std::uint8_t>(std::min(255u, TIFFGetR(p) + white));
                out[x * 3 + 1] = static_cast<std::uint8_t>(std::min(255u, TIFFGetG(p) + white));
                out[x * 3 + 2] = static_cast<std::uint8_t>(std::min(255u, TIFFGetB(p) + white));
            }
        }
    }
    TIFFRGBAImageEnd(&reader);
    if (!ok || !message.empty()) {
        image->rgb.clear();
        return Fail(error, NotAnImage(path, message.empty() ? std::string(Tr("damaged TIFF"))
                                                            : Format(Tr("damaged TIFF: %1"), {message})));
    }
    return true;
}

// ---------------------------------------------------------------- PNM

// P1-P6: bitmap, greymap and pixmap, as text or binary, maxval up to 65535.
class PnmParser {
public:
    explicit PnmParser(const std::vector<std::uint8_t>& data) : d_(data) {}

    // The next header number; false when there is none.
    bool Number(std::uint64_t* value) {
        SkipSpaceAndComments();
        if (at_ >= d_.size() || d_[at_] < '0' || d_[at_] > '9') return false;
        std::uint64_t v = 0;
        while (at_ < d_.size() && d_[at_] >= '0' && d_[at_] <= '9') {
            v = v * 10 + static_cast<unsigned>(d_[at_++] - '0');
            if (v > 0xFFFFFFFFull) return false;
        }
        *value = v;
        return true;
    }
    // A bitmap's plain samples may stand without spaces between them.
    bool Bit(int* value) {
        SkipSpaceAndComments();
        if (at_ >= d_.size() || (d_[at_] != '0' && d_[at_] != '1')) return false;
        *value = d_[at_++] - '0';
        return true;
    }
    // After the header: exactly one whitespace byte, then the raster.
    bool RasterStart() {
        if (at_ >= d_.size() || !std::isspace(d_[at_])) return false;
        ++at_;
        return true;
    }
    std::size_t At() const { return at_; }

private:
    void SkipSpaceAndComments() {
        while (at_ < d_.size()) {
            if (d_[at_] == '#')
                while (at_ < d_.size() && d_[at_] != '\n' && d_[at_] != '\r') ++at_;
            else if (std::isspace(d_[at_]))
                ++at_;
            else
                break;
        }
    }
    const std::vector<std::uint8_t>& d_;
    std::size_t at_ = 2;
};

bool DecodePnm(const std::vector<std::uint8_t>& data, const std::string& path, Image* image, std::string* error) {
    const int type = data[1] - '0';
    const bool bitmap = type == 1 || type == 4, grey = type == 2 || type == 5, binary = type >= 4;
    PnmParser p(data);
    std::uint64_t w = 0, h = 0, maxval = 1;
    if (!p.Number(&w) || !p.Number(&h) || (!bitmap && !p.Number(&maxval)))
        return Fail(error, NotAnImage(path, Tr("the PNM header is incomplete")));
    if (maxval == 0 || maxval > 65535)
        return Fail(error, NotAnImage(path, Tr("the PNM maximum value is out of range")));
    // A binary raster shorter than the stated size is refused before room is made for it.
    if (binary && w > 0 && h > 0 && w * h <= kMaxPixels) {
        const std::uint64_t rowBytes = bitmap ? (w + 7) / 8 : w * (grey ? 1 : 3) * (maxval > 255 ? 2 : 1);
        if (data.size() - std::min<std::size_t>(data.size(), p.At()) < rowBytes * h)
            return Fail(error, NotAnImage(path, Tr("the PNM data ends before the picture does")));
    }
    if (!Allocate(w, h, image, path, error)) return false;
    const unsigned channels = bitmap || grey ? 1 : 3;
    const std::size_t width = static_cast<std::size_t>(w);
    auto scale = [maxval](std::uint64_t v) {
        return static_cast<std::uint8_t>((std::min(v, maxval) * 255 + maxval / 2) / maxval);
    };
    auto incomplete = [&] {
        image->rgb.clear();
        return Fail(error, NotAnImage(path, Tr("the PNM data ends before the picture does")));
    };
    auto set = [&](std::size_t pixel, unsigned channel, std::uint8_t v) {
        std::uint8_t* out = image->rgb.data() + pixel * 3;
        if (channels == 1)
            out[0] = out[1] = out[2] = v;
        else
            out[channel] = v;
    };
    const std::size_t pixels = width * static_cast<std::size_t>(h);
    if (!binary) {
        for (std::size_t i = 0; i < pixels; ++i)
            for (unsigned c = 0; c < channels; ++c) {
                if (bitmap) {
                    int bit = 0;
                    if (!p.Bit(&bit)) return incomplete();
                    set(i, c, bit ? 0 : 255);
                } else {
                    std::uint64_t v = 0;
                    if (!p.Number(&v)) return incomplete();
                    set(i, c, scale(v));
                }
            }
        return true;
    }
    if (!p.RasterStart()) return incomplete();
    const std::uint8_t* in = data.data() + p.At();
    const std::size_t available = data.size() - p.At();
    if (bitmap) {
        const std::size_t rowBytes = (width + 7) / 8;
        if (available / rowBytes < static_cast<std::size_t>(h)) return incomplete();
        for (std::size_t y = 0; y < static_cast<std::size_t>(h); ++y)
            for (std::size_t x = 0; x < width; ++x)
                set(y * width + x, 0, (in[y * rowBytes + x / 8] >> (7 - x % 8)) & 1 ? 0 : 255);
        return true;
    }
    const std::size_t sampleBytes = maxval > 255 ? 2 : 1;
    if (available / (sampleBytes * channels) < pixels) return incomplete();
    for (std::size_t i = 0; i < pixels; ++i)
        for (unsigned c = 0; c < channels; ++c) {
            const std::uint8_t* s = in + (i * channels + c) * sampleBytes;
            set(i, c, scale(sampleBytes == 2 ? (static_cast<unsigned>(s[0]) << 8 | s[1]) : s[0]));
        }
    return true;
}

// ---------------------------------------------------------------- the file

// Reads a regular file whole; opened without blocking, so that a FIFO or a
// device named by mistake is refused instead of waiting for a writer.
bool ReadFile(const std::string& path, std::vector<std::uint8_t>* data, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Fail(error, Format(Tr("cannot open %1: %2"), {Quoted(path), std::strerror(errno)}));
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return Fail(error, Format(Tr("cannot open %1: %2"), {Quoted(path), std::strerror(e)}));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return Fail(error, Format(S_ISDIR(st.st_mode) ? Tr("%1 is a folder, not an image file")
                                                      : Tr("%1 is not a regular file (an image is read from a file)"),
                                  {Quoted(path)}));
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxFileBytes) {
        ::close(fd);
        return Fail(error, Format(Tr("%1 is too large to be a page's picture (%2 bytes)"),
                                  {Quoted(path), std::to_string(st.st_size)}));
    }
    data->resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < data->size()) {
        const ssize_t n = ::read(fd, data->data() + got, data->size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            return Fail(error, Format(Tr("cannot read %1: %2"), {Quoted(path), std::strerror(e)}));
        }
        if (n == 0) break;  // shrank while being read
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    data->resize(got);
    return true;
}

}  // namespace

std::optional<Image> LoadImage(const std::string& path, std::string* error) {
    std::vector<std::uint8_t> data;
    if (!ReadFile(path, &data, error)) return std::nullopt;
    Image image;
    bool ok = false;
    auto starts = [&](std::initializer_list<std::uint8_t> magic) {
        return data.size() >= magic.size() && std::equal(magic.begin(), magic.end(), data.begin());
    };
    if (data.empty())
        ok = Fail(error, NotAnImage(path, Tr("the file is empty")));
    else if (starts({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}))
        ok = DecodePng(data, path, &image, error);
    else if (starts({0xFF, 0xD8, 0xFF}))
        ok = DecodeJpeg(data, path, &image, error);
    else if (starts({'I', 'I', 42, 0}) || starts({'M', 'M', 0, 42}) || starts({'I', 'I', 43, 0}) ||
             starts({'M', 'M', 0, 43}))
        ok = DecodeTiff(data, path, &image, error);
    else if (data.size() >= 3 && data[0] == 'P' && data[1] >= '1' && data[1] <= '6' && std::isspace(data[2]))
        ok = DecodePnm(data, path, &image, error);
    else
        ok = Fail(error, NotAnImage(path, Tr("not PNG, JPEG, TIFF or PNM")));
    if (!ok) return std::nullopt;
    return image;
}

}  // namespace svc::pagereader
