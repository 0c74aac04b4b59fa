#include "vprinter/engine/PngStream.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace vp {

namespace {

constexpr std::uint32_t kAdlerMod = 65521;
constexpr std::size_t kChunkSize = 1 << 16;
constexpr std::size_t kMaxMatch = 258;

std::uint32_t Crc(std::uint32_t crc, const std::uint8_t* data, std::size_t n) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    for (std::size_t i = 0; i < n; ++i) crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    return crc;
}

void PutBigEndian(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

std::uint32_t Reverse(std::uint32_t code, int length) {
    std::uint32_t out = 0;
    for (int i = 0; i < length; ++i) out |= ((code >> i) & 1u) << (length - 1 - i);
    return out;
}

// Match lengths 3..258 as deflate length symbols with their extra bits.
struct LengthCode {
    int symbol;
    int extraBits;
    int base;
};
constexpr LengthCode kLengths[] = {
    {257, 0, 3},   {258, 0, 4},   {259, 0, 5},   {260, 0, 6},   {261, 0, 7},   {262, 0, 8},   {263, 0, 9},
    {264, 0, 10},  {265, 1, 11},  {266, 1, 13},  {267, 1, 15},  {268, 1, 17},  {269, 2, 19},  {270, 2, 23},
    {271, 2, 27},  {272, 2, 31},  {273, 3, 35},  {274, 3, 43},  {275, 3, 51},  {276, 3, 59},  {277, 4, 67},
    {278, 4, 83},  {279, 4, 99},  {280, 4, 115}, {281, 5, 131}, {282, 5, 163}, {283, 5, 195}, {284, 5, 227},
    {285, 0, 258}};

}  // namespace

PngStream::~PngStream() {
    if (file_) std::fclose(file_);
}

bool PngStream::Open(const std::string& path, int width, int height, std::string* error) {
    width_ = width;
    height_ = height;
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        if (error) *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    failed_ = std::fwrite(kSignature, 1, 8, file_) != 8;
    std::uint8_t header[13];
    PutBigEndian(header, static_cast<std::uint32_t>(width));
    PutBigEndian(header + 4, static_cast<std::uint32_t>(height));
    header[8] = 8;   // bits per sample
    header[9] = 2;   // RGB
    header[10] = 0;  // deflate
    header[11] = 0;  // adaptive filtering (every row uses filter 0)
    header[12] = 0;  // no interlace
    Chunk("IHDR", header, sizeof header);
    out_ = {0x78, 0x01};  // zlib header: deflate, 32K window, fastest
    Bits(1, 1);           // the one and final block
    Bits(1, 2);           // fixed Huffman codes
    work_.assign(3, 0);
    return !failed_;
}

void PngStream::Bits(std::uint32_t value, int count) {
    bitBuffer_ |= static_cast<std::uint64_t>(value) << bitCount_;
    bitCount_ += count;
    while (bitCount_ >= 8) {
        out_.push_back(static_cast<std::uint8_t>(bitBuffer_));
        bitBuffer_ >>= 8;
        bitCount_ -= 8;
    }
}

// A literal/length symbol with the fixed code, most significant bit first.
void PngStream::Code(int symbol) {
    if (symbol < 144)
        Bits(Reverse(0x30u + static_cast<std::uint32_t>(symbol), 8), 8);
    else if (symbol < 256)
        Bits(Reverse(0x190u + static_cast<std::uint32_t>(symbol - 144), 9), 9);
    else if (symbol < 280)
        Bits(Reverse(static_cast<std::uint32_t>(symbol - 256), 7), 7);
    else
        Bits(Reverse(0xC0u + static_cast<std::uint32_t>(symbol - 280), 8), 8);
}

void PngStream::Literal(std::uint8_t byte) {
    Code(byte);
    adlerA_ = (adlerA_ + byte) % kAdlerMod;
    adlerB_ = (adlerB_ + adlerA_) % kAdlerMod;
    ++written_;
}

// The checksum of `count` bytes of one value, without visiting them.
void PngStream::AdlerRun(std::uint8_t value, std::uint64_t count) {
    const std::uint64_t a = adlerA_, b = adlerB_;
    const std::uint64_t n = count % kAdlerMod;
    const std::uint64_t triangle = (count % (2 * kAdlerMod)) * ((count + 1) % (2 * kAdlerMod)) / 2 % kAdlerMod;
    adlerB_ = static_cast<std::uint32_t>((b + n * a + value * triangle) % kAdlerMod);
    adlerA_ = static_cast<std::uint32_t>((a + n * value) % kAdlerMod);
}

// `length` bytes copied from `distance` back; all of them equal `value` when
// distance is 1 (the checksum relies on that), otherwise the caller has
// already accounted for them.
void PngStream::Repeat(std::size_t length, int distance, std::uint8_t value) {
    if (distance == 1) AdlerRun(value, length);
    written_ += length;
    while (length > 0) {
        std::size_t take = std::min(length, kMaxMatch);
        if (length > kMaxMatch && length - kMaxMatch < 3) take = length - 3;  // leave a codable rest
        int index = 0;
        while (index + 1 < static_cast<int>(std::size(kLengths)) && kLengths[index + 1].base <= static_cast<int>(take))
            ++index;
        const LengthCode& code = kLengths[index];
        Code(code.symbol);
        if (code.extraBits > 0) Bits(static_cast<std::uint32_t>(take) - static_cast<std::uint32_t>(code.base), code.extraBits);
        Bits(Reverse(static_cast<std::uint32_t>(distance - 1), 5), 5);  // distances 1..4 are codes 0..3
        length -= take;
    }
}

// Codes work_[begin..] as literals and repeats of the previous byte or pixel.
void PngStream::Encode(std::size_t begin) {
    const std::uint8_t* w = work_.data();
    const std::size_t end = work_.size();
    std::size_t i = begin;
    while (i < end) {
        const std::uint64_t before = written_;
        std::size_t run = 0;
        if (before >= 1)
            while (i + run < end && w[i + run] == w[i + run - 1]) ++run;
        if (run >= 3) {
            Repeat(run, 1, w[i]);
            i += run;
            continue;
        }
        run = 0;
        if (before >= 3)
            while (i + run < end && w[i + run] == w[i + run - 3]) ++run;
        if (run >= 3) {
            for (std::size_t k = 0; k < run; ++k) {  // checksum of the copied pixels
                adlerA_ = (adlerA_ + w[i + k]) % kAdlerMod;
                adlerB_ = (adlerB_ + adlerA_) % kAdlerMod;
            }
            Repeat(run, 3, 0);
            i += run;
            continue;
        }
        Literal(w[i]);
        ++i;
    }
    // Keep the last three bytes as history for the next row.
    std::memmove(work_.data(), work_.data() + end - 3, 3);
    work_.resize(3);
    FlushChunk(false);
}

void PngStream::Row(const std::uint8_t* rgb) {
    if (rows_++ >= height_) {
        failed_ = true;
        return;
    }
    work_.push_back(0);  // filter: none
    work_.insert(work_.end(), rgb, rgb + static_cast<std::size_t>(width_) * 3);
    Encode(3);
}

void PngStream::WhiteRow() {
    if (rows_++ >= height_) {
        failed_ = true;
        return;
    }
    Literal(0);  // filter: none
    Literal(0xFF);
    const std::size_t rest = static_cast<std::size_t>(width_) * 3 - 1;
    if (rest >= 3) {
        Repeat(rest, 1, 0xFF);
    } else {
        for (std::size_t k = 0; k < rest; ++k) Literal(0xFF);
    }
    work_.assign(3, 0xFF);
    FlushChunk(false);
}

void PngStream::FlushChunk(bool force) {
    if (out_.size() < kChunkSize && !force) return;
    Chunk("IDAT", out_.data(), out_.size());
    out_.clear();
}

void PngStream::Chunk(const char* type, const std::uint8_t* data, std::size_t n) {
    if (!file_ || failed_) return;
    std::uint8_t head[8];
    PutBigEndian(head, static_cast<std::uint32_t>(n));
    std::memcpy(head + 4, type, 4);
    std::uint32_t crc = Crc(0xFFFFFFFFu, head + 4, 4);
    crc = Crc(crc, data, n) ^ 0xFFFFFFFFu;
    std::uint8_t tail[4];
    PutBigEndian(tail, crc);
    if (std::fwrite(head, 1, 8, file_) != 8 || (n > 0 && std::fwrite(data, 1, n, file_) != n) ||
        std::fwrite(tail, 1, 4, file_) != 4)
        failed_ = true;
}

bool PngStream::Close(std::string* error) {
    if (!file_) {
        if (error) *error = "the image was not opened";
        return false;
    }
    const bool complete = rows_ == height_;
    Code(256);  // end of block
    if (bitCount_ > 0) Bits(0, 8 - bitCount_);
    std::uint8_t adler[4];
    PutBigEndian(adler, (adlerB_ << 16) | adlerA_);
    out_.insert(out_.end(), adler, adler + 4);
    FlushChunk(true);
    Chunk("IEND", nullptr, 0);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!complete || failed_ || !closed) {
        if (error) *error = complete ? "cannot write the image" : "the image has the wrong number of rows";
        return false;
    }
    return true;
}

}  // namespace vp
