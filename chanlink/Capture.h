// A record of every packet that crossed the link, in both directions, with
// the time it passed. The file starts with the 8 bytes "D4CAP1\n\0"; then one
// record per packet: u64 little-endian microseconds since the capture began,
// u8 direction (0 host to printer, 1 printer to host), u32 little-endian
// byte count, then the whole packet, header included.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace d4 {

inline constexpr char kCaptureMagic[8] = {'D', '4', 'C', 'A', 'P', '1', '\n', '\0'};

enum class Direction : std::uint8_t { HostToPrinter = 0, PrinterToHost = 1 };

struct CaptureRecord {
    std::uint64_t micros = 0;
    Direction direction = Direction::HostToPrinter;
    std::vector<std::uint8_t> bytes;
};

class CaptureWriter {
public:
    CaptureWriter() = default;
    ~CaptureWriter();
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // Creates the file (owner only, 0600) and writes the magic; the clock
    // starts now. A file that exists already is refused unless `replace`
    // is set, and then only a regular file is emptied and reused; a
    // symbolic link is never followed.
    bool Open(const std::string& path, bool replace = false);
    bool IsOpen() const { return file_ != nullptr; }
    // Stamps the record with the time since Open.
    void Record(Direction direction, const std::uint8_t* data, std::size_t n);
    // For callers that keep their own clock (a virtual printer's time).
    void RecordAt(std::uint64_t micros, Direction direction, const std::uint8_t* data, std::size_t n);
    void Close();
    // Why Open or the last write failed; empty when all went well.
    const std::string& Error() const { return error_; }

private:
    std::FILE* file_ = nullptr;
    std::chrono::steady_clock::time_point start_{};
    std::string error_;
};

class CaptureReader {
public:
    // Reads the whole file; false (see Error()) when it cannot be read or
    // does not start with the magic.
    bool Open(const std::string& path);
    // The same from bytes already in memory.
    bool Load(std::vector<std::uint8_t> bytes);
    // The next record; false at the end or at a truncated record (Error()
    // tells which: empty at a clean end).
    bool Next(CaptureRecord& out);
    const std::string& Error() const { return error_; }

private:
    std::vector<std::uint8_t> data_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace d4
