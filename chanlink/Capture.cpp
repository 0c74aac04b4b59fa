#include "chanlink/Capture.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace d4 {
namespace {

void PutLe(std::uint8_t* out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint64_t GetLe(const std::uint8_t* in, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | in[i];
    return v;
}

constexpr std::size_t kRecordHead = 8 + 1 + 4;

}  // namespace

CaptureWriter::~CaptureWriter() { Close(); }

bool CaptureWriter::Open(const std::string& path, bool replace) {
    Close();
    error_.clear();
    // Never through a symbolic link, and a file that is there already only
    // when the caller said to replace it: a predictable name in a shared
    // folder must not let anyone point the capture at a file of ours.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST && replace) {
        // Non-blocking, so that a FIFO cannot stop the program at the open;
        // only a regular file is emptied and written.
        fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        struct stat info {};
        if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
            ::close(fd);
            error_ = "cannot create capture file " + path + ": it is not a regular file";
            return false;
        }
        if (fd >= 0 && (::ftruncate(fd, 0) != 0 || ::fcntl(fd, F_SETFL, 0) != 0)) {
            error_ = "cannot create capture file " + path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
    }
    if (fd < 0) {
        if (errno == EEXIST)
            error_ = "capture file " + path + " exists already; not replacing it";
        else if (errno == ELOOP)
            error_ = "cannot create capture file " + path + ": it is a symbolic link";
        else
            error_ = "cannot create capture file " + path + ": " + std::strerror(errno);
        return false;
    }
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        error_ = "cannot create capture file " + path + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    start_ = std::chrono::steady_clock::now();
    if (std::fwrite(kCaptureMagic, 1, sizeof kCaptureMagic, file_) != sizeof kCaptureMagic || std::fflush(file_) != 0) {
        error_ = "cannot write capture file " + path;
        Close();
        return false;
    }
    return true;
}

void CaptureWriter::Record(Direction direction, const std::uint8_t* data, std::size_t n) {
    if (!file_) return;
    auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start_);
    RecordAt(static_cast<std::uint64_t>(elapsed.count()), direction, data, n);
}

void CaptureWriter::RecordAt(std::uint64_t micros, Direction direction, const std::uint8_t* data, std::size_t n) {
    if (!file_) return;
    std::uint8_t head[kRecordHead];
    PutLe(head, micros, 8);
    head[8] = static_cast<std::uint8_t>(direction);
    PutLe(head + 9, static_cast<std::uint32_t>(n), 4);
    // Flushed per record, so a capture stays readable up to the last packet
    // even when the program is killed.
    bool ok = std::fwrite(head, 1, sizeof head, file_) == sizeof head &&
              (n == 0 || std::fwrite(data, 1, n, file_) == n) && std::fflush(file_) == 0;
    if (!ok) {
        // A full disk must not disturb the link: stop capturing and say why.
        error_ = "capture write failed; capture stopped";
        Close();
    }
}

void CaptureWriter::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

bool CaptureReader::Open(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error_ = "cannot open capture file " + path;
        return false;
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Load(std::move(bytes));
}

bool CaptureReader::Load(std::vector<std::uint8_t> bytes) {
    data_ = std::move(bytes);
    error_.clear();
    if (data_.size() < sizeof kCaptureMagic || std::memcmp(data_.data(), kCaptureMagic, sizeof kCaptureMagic) != 0) {
        error_ = "not a capture file (the magic is missing)";
        data_.clear();
        pos_ = 0;
        return false;
    }
    pos_ = sizeof kCaptureMagic;
    return true;
}

bool CaptureReader::Next(CaptureRecord& out) {
    if (pos_ >= data_.size()) return false;
    const std::size_t left = data_.size() - pos_;
    if (left < kRecordHead) {
        error_ = "truncated record header at offset " + std::to_string(pos_);
        pos_ = data_.size();
        return false;
    }
    const std::uint8_t* p = data_.data() + pos_;
    const std::uint64_t count = GetLe(p + 9, 4);
    if (p[8] > 1) {
        error_ = "bad direction byte at offset " + std::to_string(pos_ + 8);
        pos_ = data_.size();
        return false;
    }
    if (count > left - kRecordHead) {
        error_ = "truncated packet at offset " + std::to_string(pos_ + kRecordHead);
        pos_ = data_.size();
        return false;
    }
    out.micros = GetLe(p, 8);
    out.direction = static_cast<Direction>(p[8]);
    out.bytes.assign(p + kRecordHead, p + kRecordHead + count);
    pos_ += kRecordHead + count;
    return true;
}

}  // namespace d4
