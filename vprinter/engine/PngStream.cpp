#include "vprinter/engine/PngStream.h"

#include <spng.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "vprinter/engine/Image.h"

namespace vp {

namespace {

// Compressed bytes gathered before they are written as one IDAT chunk.
constexpr std::size_t kIdatBytes = std::size_t{64} << 10;

void PutBig32(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

using Code = std::pair<std::uint32_t, int>;  // bits, least significant first, and how many

// The canonical prefix codes of a set of code lengths (0: the symbol is not
// used), bit-reversed as deflate sends them.
std::vector<Code> CanonicalCodes(const std::vector<int>& lengths) {
    std::array<int, 16> count{};
    for (const int length : lengths) ++count[static_cast<std::size_t>(length)];
    count[0] = 0;
    std::array<std::uint32_t, 16> next{};
    for (std::size_t bits = 1; bits < next.size(); ++bits) next[bits] = (next[bits - 1] + count[bits - 1]) << 1;
    std::vector<Code> codes(lengths.size(), Code{0, 0});
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
        const int length = lengths[symbol];
        if (length == 0) continue;
        const std::uint32_t code = next[static_cast<std::size_t>(length)]++;
        std::uint32_t reversed = 0;
        for (int bit = 0; bit < length; ++bit) reversed |= ((code >> bit) & 1u) << (length - 1 - bit);
        codes[symbol] = Code{reversed, length};
    }
    return codes;
}

// The length symbol (257 to 285) of a match of 3 to 258 bytes, its extra
// bits and their value.
struct LengthCode {
    int symbol, extraBits, extra;
};
LengthCode LengthSymbol(int length) {
    static constexpr int kBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr int kExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    int i = 28;
    while (kBase[i] > length) --i;
    return {257 + i, kExtra[i], length - kBase[i]};
}

// Bits into bytes, least significant bit first, as deflate packs them.
class BitSink {
public:
    explicit BitSink(std::vector<std::uint8_t>& out) : out_(out) {}
    void Put(std::uint32_t bits, int count) {
        held_ |= static_cast<std::uint64_t>(bits) << count_;
        count_ += count;
        while (count_ >= 8) {
            out_.push_back(static_cast<std::uint8_t>(held_));
            held_ >>= 8;
            count_ -= 8;
        }
    }
    void Put(const Code& code) { Put(code.first, code.second); }
    // Up to the next whole byte with zero bits.
    void Align() {
        if (count_ > 0) Put(0, 8 - count_);
    }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t held_ = 0;
    int count_ = 0;
};

// The same bits in fewer pieces of up to 32 bits: a repeated row is put
// row after row.
std::vector<Code> Joined(const std::vector<Code>& codes) {
    std::vector<Code> joined;
    for (const Code& code : codes) {
        if (!joined.empty() && joined.back().second + code.second <= 32) {
            Code& last = joined.back();
            last.first |= code.first << last.second;
            last.second += code.second;
        } else {
            joined.push_back(code);
        }
    }
    return joined;
}

// A block of zero bytes coded as runs (and the filter byte 2): its head and
// codes. It codes the literals 0 and 2, a match of 258, a shorter match of
// `rest` (3 to 257) and the end of the block, each match one byte back.
struct RunBlock {
    std::vector<Code> head;
    Code zero, two, end, match258, shorter, distance1;
    LengthCode shorterLength{};
};

RunBlock MakeRunBlock(int rest) {
    RunBlock block;
    block.shorterLength = LengthSymbol(rest >= 3 ? rest : 3);
    const auto shorterSymbol = static_cast<std::size_t>(block.shorterLength.symbol);
    std::vector<int> lengths(286 + 2, 0);  // literal/length codes, then two distance codes
    lengths[285] = 1;                      // a match of 258
    lengths[0] = lengths[2] = lengths[256] = lengths[shorterSymbol] = 3;
    lengths[286] = lengths[287] = 1;  // distance 1, and one unused: the code is complete
    const std::vector<Code> codes = CanonicalCodes(std::vector<int>(lengths.begin(), lengths.begin() + 286));
    block.zero = codes[0];
    block.two = codes[2];
    block.end = codes[256];
    block.match258 = codes[285];
    block.shorter = codes[shorterSymbol];
    block.distance1 = CanonicalCodes({1, 1})[0];

    // The head: not the last block, dynamic codes, 286 literal/length and 2
    // distance code lengths, run-length coded with the code lengths 0, 1 and
    // 3 and the runs of zeros (17: 3 to 10, 18: 11 to 138).
    std::vector<int> clLengths(19, 0);
    clLengths[3] = clLengths[17] = clLengths[18] = 2;
    clLengths[0] = clLengths[1] = 3;
    const std::vector<Code> clCodes = CanonicalCodes(clLengths);
    static constexpr int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    int clCount = 19;
    while (clCount > 4 && clLengths[static_cast<std::size_t>(kOrder[clCount - 1])] == 0) --clCount;
    std::vector<Code>& head = block.head;
    head.emplace_back(0u, 1);  // BFINAL
    head.emplace_back(2u, 2);  // BTYPE: dynamic codes
    head.emplace_back(286u - 257u, 5);
    head.emplace_back(2u - 1u, 5);
    head.emplace_back(static_cast<std::uint32_t>(clCount - 4), 4);
    for (int i = 0; i < clCount; ++i)
        head.emplace_back(static_cast<std::uint32_t>(clLengths[static_cast<std::size_t>(kOrder[i])]), 3);
    for (std::size_t i = 0; i < lengths.size();) {
        std::size_t run = 0;
        while (i + run < lengths.size() && lengths[i + run] == 0 && run < 138) ++run;
        if (run >= 11) {
            head.push_back(clCodes[18]);
            head.emplace_back(static_cast<std::uint32_t>(run - 11), 7);
            i += run;
        } else if (run >= 3) {
            head.push_back(clCodes[17]);
            head.emplace_back(static_cast<std::uint32_t>(run - 3), 3);
            i += run;
        } else {
            head.push_back(clCodes[static_cast<std::size_t>(lengths[i])]);
            ++i;
        }
    }
    return block;
}

// `zeros` zero bytes after a zero byte: matches of 258 one byte back, then
// the block's shorter match, or one or two literals. The block is made for
// zeros % 258.
template <typename Put>
void ZeroCodes(const RunBlock& block, std::uint64_t zeros, Put put) {
    for (std::uint64_t i = zeros / 258; i > 0; --i) {
        put(block.match258);
        put(block.distance1);
    }
    const int rest = static_cast<int>(zeros % 258);
    if (rest >= 3) {
        put(block.shorter);
        if (block.shorterLength.extraBits > 0)
            put(Code{static_cast<std::uint32_t>(block.shorterLength.extra), block.shorterLength.extraBits});
        put(block.distance1);
    } else {
        for (int i = 0; i < rest; ++i) put(block.zero);
    }
}

}  // namespace

void PngStream::ZStreamDeleter::operator()(z_stream_s* stream) const {
    deflateEnd(stream);
    delete stream;
}

PngStream::~PngStream() {
    if (file_) std::fclose(file_);
}

void PngStream::Fail(const std::string& what) {
    if (failure_.empty()) failure_ = "cannot write " + path_ + ": " + what;
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
    const std::size_t rowBytes = palette
                                     ? (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitDepth) + 7) / 8
                                     : static_cast<std::size_t>(width) * 3;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        if (error) *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    zlib_.reset(new z_stream_s{});
    // Raw deflate: the zlib header and checksum are written here, since part
    // of the stream is coded here.
    // zlib's memory level 6 instead of 8: a hash table of 8192 entries that
    // stays in the CPU's caches (the pixels are the same either way).
    if (deflateInit2(zlib_.get(), 1, Z_DEFLATED, -15, 6, Z_DEFAULT_STRATEGY) != Z_OK) {
        delete zlib_.release();
        if (error) *error = "cannot write " + path + ": out of memory";
        return false;
    }
    out_.resize(std::size_t{16} << 10);

    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (std::fwrite(kSignature, 1, sizeof kSignature, file_) != sizeof kSignature) Fail(std::strerror(errno));
    std::uint8_t ihdr[13] = {};
    PutBig32(ihdr, static_cast<std::uint32_t>(width));
    PutBig32(ihdr + 4, static_cast<std::uint32_t>(height));
    ihdr[8] = static_cast<std::uint8_t>(bitDepth);
    ihdr[9] = palette ? 3 : 2;  // indexed or RGB; deflate, adaptive filters, not interlaced
    Chunk("IHDR", ihdr, sizeof ihdr);
    if (palette) {
        std::vector<std::uint8_t> plte;
        for (const Colour& colour : *palette) plte.insert(plte.end(), colour.begin(), colour.end());
        Chunk("PLTE", plte.data(), plte.size());
    }
    if (dpi_ > 0) {
        std::uint8_t phys[9] = {};
        const auto perMetre = static_cast<std::uint32_t>(std::lround(dpi_ / 0.0254));
        PutBig32(phys, perMetre);
        PutBig32(phys + 4, perMetre);
        phys[8] = 1;  // per metre
        Chunk("pHYs", phys, sizeof phys);
    }
    idat_ = {0x78, 0x01};  // deflate with a 32 KiB window; no preset dictionary

    // A repeated row is stored as the filter byte 2 ("Up") and rowBytes
    // zeros: the literals 2 and 0, then the other zeros as matches one byte
    // back. A row of zero bytes (white paper with a palette) is stored
    // unfiltered, zeros again, and its run is zeros from end to end.
    last_.assign(rowBytes + 1, 0);
    zeroAdler_ = static_cast<std::uint32_t>(adler32(1, last_.data(), static_cast<uInt>(last_.size())));
    last_[0] = 2;
    repeatAdler_ = static_cast<std::uint32_t>(adler32(1, last_.data(), static_cast<uInt>(last_.size())));
    const std::uint64_t zeros = rowBytes - 1;
    const RunBlock block = MakeRunBlock(static_cast<int>(zeros % 258));
    blockHead_ = Joined(block.head);
    endOfBlock_ = block.end;
    rowCodes_ = {block.two, block.zero};
    ZeroCodes(block, zeros, [this](const Code& code) { rowCodes_.push_back(code); });
    rowCodes_ = Joined(rowCodes_);
    last_.clear();  // no row yet

    if (!failure_.empty()) {
        if (error) *error = failure_;
        return false;
    }
    return true;
}

void PngStream::Chunk(const char* type, const std::uint8_t* data, std::size_t n) {
    if (!file_ || !failure_.empty()) return;
    std::uint8_t head[8];
    PutBig32(head, static_cast<std::uint32_t>(n));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0, head + 4, 4);
    if (n > 0) crc = crc32(crc, data, static_cast<uInt>(n));
    std::uint8_t tail[4];
    PutBig32(tail, static_cast<std::uint32_t>(crc));
    if (std::fwrite(head, 1, 8, file_) != 8 || (n > 0 && std::fwrite(data, 1, n, file_) != n) ||
        std::fwrite(tail, 1, 4, file_) != 4)
        Fail(std::strerror(errno));
}

void PngStream::WriteIdat(bool all) {
    if (idat_.size() < kIdatBytes && !(all && !idat_.empty())) return;
    Chunk("IDAT", idat_.data(), idat_.size());
    idat_.clear();
}

void PngStream::Deflate(const std::uint8_t* data, std::size_t n, int flush) {
    z_stream_s& z = *zlib_;
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(n);
    for (;;) {
        z.next_out = out_.data();
        z.avail_out = static_cast<uInt>(out_.size());
        const int r = deflate(&z, flush);
        if (r == Z_STREAM_ERROR) {
            Fail("the compressor failed");
            return;
        }
        idat_.insert(idat_.end(), out_.data(), out_.data() + (out_.size() - z.avail_out));
        if (flush == Z_FINISH ? r == Z_STREAM_END : z.avail_in == 0 && z.avail_out != 0) break;
    }
    WriteIdat(false);
}

// The rows that repeat the last one, as a block of their own: zlib's block
// is ended on a whole byte first, and after this block an empty stored one
// brings the stream to a whole byte again. zlib then starts afresh, so it
// never refers back into bytes it did not see.
void PngStream::CodeRepeats() {
    if (repeats_ == 0 || !failure_.empty()) return;
    Deflate(nullptr, 0, Z_SYNC_FLUSH);
    BitSink bits(idat_);
    const auto stride = static_cast<z_off_t>(last_.size());
    if (lastZero_) {
        // Zeros from the last byte of the row above on: one run.
        const std::uint64_t zeros = static_cast<std::uint64_t>(repeats_) * last_.size();
        const RunBlock block = MakeRunBlock(static_cast<int>(zeros % 258));
        for (const Code& code : block.head) bits.Put(code);
        ZeroCodes(block, zeros, [&bits](const Code& code) { bits.Put(code); });
        bits.Put(block.end);
        for (int i = 0; i < repeats_; ++i)
            adler_ = static_cast<std::uint32_t>(adler32_combine(adler_, zeroAdler_, stride));
    } else {
        for (const Code& code : blockHead_) bits.Put(code);
        for (int i = 0; i < repeats_; ++i) {
            for (const Code& code : rowCodes_) bits.Put(code);
            adler_ = static_cast<std::uint32_t>(adler32_combine(adler_, repeatAdler_, stride));
        }
        bits.Put(endOfBlock_);
    }
    bits.Put(0, 3);  // a stored block, not the last
    bits.Align();
    static constexpr std::uint8_t kEmpty[4] = {0x00, 0x00, 0xFF, 0xFF};
    idat_.insert(idat_.end(), kEmpty, kEmpty + 4);
    repeats_ = 0;
    deflateReset(zlib_.get());
    WriteIdat(false);
}

void PngStream::Encode(const std::uint8_t* row, std::size_t bytes, bool same) {
    if (!file_ || !failure_.empty()) return;
    if (rows_ >= height_) {
        failure_ = "cannot write " + path_ + ": more rows than the image has";
        return;
    }
    ++rows_;
    if (!last_.empty() && (same || std::memcmp(last_.data() + 1, row, bytes) == 0)) {
        ++repeats_;
        return;
    }
    CodeRepeats();
    last_.resize(bytes + 1);
    last_[0] = 0;  // no filter
    std::memcpy(last_.data() + 1, row, bytes);
    lastZero_ = std::all_of(row, row + bytes, [](std::uint8_t byte) { return byte == 0; });
    adler_ = static_cast<std::uint32_t>(adler32(adler_, last_.data(), static_cast<uInt>(last_.size())));
    Deflate(last_.data(), last_.size(), Z_NO_FLUSH);
}

void PngStream::Row(const std::uint8_t* rgb) {
    if (indexed_) {
        if (failure_.empty()) failure_ = "cannot write " + path_ + ": an RGB row in an indexed image";
        return;
    }
    Encode(rgb, static_cast<std::size_t>(width_) * 3, false);
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
    Encode(packed_.data(), packed_.size(), false);
}

void PngStream::RepeatIndexRow() {
    if (!indexed_ || packed_.empty()) {
        if (failure_.empty()) failure_ = "cannot write " + path_ + ": no indexed row to repeat";
        return;
    }
    Encode(packed_.data(), packed_.size(), true);
}

void PngStream::WhiteRow() { Row(white_.data()); }

bool PngStream::Close(std::string* error) {
    if (failure_.empty() && rows_ != height_)
        failure_ = "cannot write " + path_ + ": " + std::to_string(height_ - rows_) + " rows are missing";
    if (file_ && failure_.empty()) {
        CodeRepeats();
        Deflate(nullptr, 0, Z_FINISH);
        std::uint8_t check[4];
        PutBig32(check, adler_);
        idat_.insert(idat_.end(), check, check + 4);
        WriteIdat(true);
        Chunk("IEND", nullptr, 0);
    }
    zlib_.reset();
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
