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

// Match distances 1..32768 as deflate distance codes with their extra bits.
struct DistanceCode {
    int extraBits;
    int base;
};
constexpr DistanceCode kDistances[] = {
    {0, 1},     {0, 2},     {0, 3},     {0, 4},     {1, 5},     {1, 7},      {2, 9},      {2, 13},
    {3, 17},    {3, 25},    {4, 33},    {4, 49},    {5, 65},    {5, 97},     {6, 129},    {6, 193},
    {7, 257},   {7, 385},   {8, 513},   {8, 769},   {9, 1025},  {9, 1537},   {10, 2049},  {10, 3073},
    {11, 4097}, {11, 6145}, {12, 8193}, {12, 12289}, {13, 16385}, {13, 24577}};

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
    ++written_;
}

// The checksum after a row of n bytes whose sum is `sum` and whose sum
// weighted by the distance from the row's end (n for the first byte, 1 for
// the last) is `weighted`: a row costs the same whether it is new or repeated.
void PngStream::AdlerRow(std::uint64_t n, std::uint64_t sum, std::uint64_t weighted) {
    const std::uint64_t a = adlerA_;
    adlerA_ = static_cast<std::uint32_t>((a + sum) % kAdlerMod);
    adlerB_ = static_cast<std::uint32_t>((adlerB_ + (n % kAdlerMod) * a + weighted) % kAdlerMod);
}

// `length` bytes copied from `distance` back.
void PngStream::Repeat(std::size_t length, int distance) {
    int distanceIndex = 0;
    while (distanceIndex + 1 < static_cast<int>(std::size(kDistances)) && kDistances[distanceIndex + 1].base <= distance)
        ++distanceIndex;
    const DistanceCode& far = kDistances[distanceIndex];
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
        Bits(Reverse(static_cast<std::uint32_t>(distanceIndex), 5), 5);
        if (far.extraBits > 0) Bits(static_cast<std::uint32_t>(distance - far.base), far.extraBits);
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
            Repeat(run, 1);
            i += run;
            continue;
        }
        run = 0;
        if (before >= 3)
            while (i + run < end && w[i + run] == w[i + run - 3]) ++run;
        if (run >= 3) {
            Repeat(run, 3);
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

bool PngStream::NextRow() {
    if (rows_++ < height_) return true;
    failed_ = true;
    return false;
}

void PngStream::Row(const std::uint8_t* rgb) {
    if (!NextRow()) return;
    const std::size_t n = static_cast<std::size_t>(width_) * 3 + 1;
    work_.push_back(0);  // filter: none
    work_.insert(work_.end(), rgb, rgb + n - 1);
    std::uint64_t sum = 0, weighted = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += work_[3 + i];
        weighted += (n - i) * work_[3 + i];
    }
    rowSum_ = sum % kAdlerMod;
    rowWeighted_ = weighted % kAdlerMod;
    AdlerRow(n, rowSum_, rowWeighted_);
    Encode(3);
    haveRow_ = true;
}

void PngStream::RepeatRow() {
    if (!haveRow_ || !CanRepeatRows()) {
        failed_ = true;
        return;
    }
    if (!NextRow()) return;
    const std::size_t n = static_cast<std::size_t>(width_) * 3 + 1;
    AdlerRow(n, rowSum_, rowWeighted_);
    Repeat(n, static_cast<int>(n));  // the whole previous row, filter byte included
    FlushChunk(false);
}

void PngStream::WhiteRow() {
    if (!NextRow()) return;
    const std::uint64_t n = static_cast<std::uint64_t>(width_) * 3 + 1;
    // Filter byte 0, then n - 1 bytes of 255 with weights n - 1 down to 1.
    rowSum_ = 255 * (n - 1) % kAdlerMod;
    rowWeighted_ = 255 * ((n - 1) * n / 2 % kAdlerMod) % kAdlerMod;
    AdlerRow(n, rowSum_, rowWeighted_);
    Literal(0);
    Literal(0xFF);
    const std::size_t rest = static_cast<std::size_t>(n) - 2;
    if (rest >= 3) {
        Repeat(rest, 1);
    } else {
        for (std::size_t k = 0; k < rest; ++k) Literal(0xFF);
    }
    work_.assign(3, 0xFF);
    haveRow_ = true;
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
