#include "hostbridge/UnixSocketTransport.h"

#include "hostbridge/Diagnostics.h"
#include "hostbridge/Transports.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <utility>

namespace hb {

UnixSocketTransport::UnixSocketTransport(io::Fd socket, int portTimeoutMs, std::string label)
    : fd_(std::move(socket)), portTimeoutMs_(portTimeoutMs), label_(std::move(label)) {}

void UnixSocketTransport::Break(const std::string& why) {
    Diagnose("virtual printer " + label_ + ": " + why + "; connection closed");
    broken_ = true;
    fd_.Reset();
    data_.clear();  // every later call fails, also one that bytes kept could satisfy
    dataHead_ = 0;
}

IoStatus UnixSocketTransport::SendFrame(std::uint8_t kind, const std::uint8_t* payload, std::size_t n,
                                        const io::Deadline& deadline) {
    if (broken_) return IoStatus::Error;
    // Built in a buffer kept between frames: one write per frame, and no
    // allocation per frame once the buffer has grown to the largest frame.
    frame_.clear();
    frame_.push_back(kind);
    frame_.push_back(static_cast<std::uint8_t>(n >> 8));
    frame_.push_back(static_cast<std::uint8_t>(n & 0xFF));
    frame_.insert(frame_.end(), payload, payload + n);

    std::size_t written = 0;
    const IoStatus status = io::WriteAll(fd_.get(), frame_.data(), frame_.size(), deadline, true, written);
    if (status != IoStatus::Ok && written > 0) {
        // The printer got part of a frame; nothing after it can be framed again.
        Break("a frame was cut short while sending");
        return status;
    }
    if (status == IoStatus::Closed) peerClosed_ = true;
    return status;
}

IoStatus UnixSocketTransport::Write(const std::uint8_t* data, std::size_t n, int timeoutMs) {
    const io::Deadline deadline(timeoutMs);
    do {
        const std::size_t chunk = std::min(n, frame::kMaxPayload);
        const IoStatus status = SendFrame(frame::kData, data, chunk, deadline);
        if (status != IoStatus::Ok) return status;
        data += chunk;
        n -= chunk;
    } while (n > 0);
    return IoStatus::Ok;
}

bool UnixSocketTransport::TakeFrames() {
    std::size_t at = 0;
    while (raw_.size() - at >= frame::kHeaderSize) {
        const std::uint8_t kind = raw_[at];
        const std::size_t length = (std::size_t{raw_[at + 1]} << 8) | raw_[at + 2];
        if (kind != frame::kData && kind != frame::kDeviceIdReply) {
            char text[64];
            std::snprintf(text, sizeof text, "unknown frame kind 0x%02X received", kind);
            Break(text);
            return false;
        }
        if (raw_.size() - at - frame::kHeaderSize < length) break;
        const auto payload = raw_.begin() + static_cast<std::ptrdiff_t>(at + frame::kHeaderSize);
        if (kind == frame::kData) {
            if (Buffered() + length > std::max(frame::kMaxUnreadData, reading_)) {
                Break("more than " + std::to_string(frame::kMaxUnreadData) +
                      " bytes of channel data arrived that nobody asked for");
                return false;
            }
            data_.insert(data_.end(), payload, payload + static_cast<std::ptrdiff_t>(length));
        } else
            deviceId_.emplace(payload, payload + static_cast<std::ptrdiff_t>(length));
        at += frame::kHeaderSize + length;
    }
    raw_.erase(raw_.begin(), raw_.begin() + static_cast<std::ptrdiff_t>(at));
    return true;
}

IoStatus UnixSocketTransport::ReceiveMore(const io::Deadline& deadline) {
    if (broken_) return IoStatus::Error;
    if (peerClosed_) return IoStatus::Closed;
    // More is wanted than has arrived, which almost always means the printer
    // has not answered yet: wait first rather than try a read that finds
    // nothing. With the deadline passed, one read still takes what is there.
    std::uint8_t chunk[4096];
    std::size_t got = 0;
    IoStatus status = deadline.Passed() ? IoStatus::Ok : io::WaitReady(fd_.get(), POLLIN, deadline);
    if (status == IoStatus::Ok) status = io::ReadSome(fd_.get(), chunk, sizeof chunk, deadline, true, got);
    if (status == IoStatus::Closed) peerClosed_ = true;
    if (status != IoStatus::Ok) return status;
    raw_.insert(raw_.end(), chunk, chunk + got);
    return TakeFrames() ? IoStatus::Ok : IoStatus::Error;
}

IoStatus UnixSocketTransport::Read(std::uint8_t* data, std::size_t n, int timeoutMs) {
    const io::Deadline deadline(timeoutMs);
    // Frames that bring nothing for this read (empty DATA, device IDs) must
    // not keep it going: every pass checks the deadline.
    reading_ = n;
    IoStatus status = IoStatus::Ok;
    while (Buffered() < n && status == IoStatus::Ok) {
        status = ReceiveMore(deadline);
        if (status == IoStatus::Ok && Buffered() < n && deadline.Passed()) status = IoStatus::Timeout;
    }
    reading_ = 0;
    if (status != IoStatus::Ok) return status;
    if (n > 0) std::memcpy(data, data_.data() + dataHead_, n);
    dataHead_ += n;
    if (dataHead_ == data_.size()) {
        data_.clear();
        dataHead_ = 0;
    } else if (dataHead_ >= 4096 && dataHead_ * 2 >= data_.size()) {
        // A printer that never lets the stream run dry must not make it grow.
        data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(dataHead_));
        dataHead_ = 0;
    }
    return IoStatus::Ok;
}

IoStatus UnixSocketTransport::ReadDeviceId(std::string& raw) {
    const io::Deadline deadline(portTimeoutMs_);
    deviceId_.reset();  // a late answer to an earlier request is not this one's
    IoStatus status = SendFrame(frame::kDeviceIdRequest, nullptr, 0, deadline);
    while (status == IoStatus::Ok && !deviceId_) {
        status = ReceiveMore(deadline);
        if (status == IoStatus::Ok && !deviceId_ && deadline.Passed()) status = IoStatus::Timeout;
    }
    if (status != IoStatus::Ok) return status;
    raw = std::move(*deviceId_);
    deviceId_.reset();
    return IoStatus::Ok;
}

IoStatus UnixSocketTransport::Reset() {
    const IoStatus status = SendFrame(frame::kReset, nullptr, 0, io::Deadline(portTimeoutMs_));
    data_.clear();
    dataHead_ = 0;
    return status;
}

OpenResult OpenUnixSocket(const std::string& path, int timeoutMs) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return {nullptr, ENAMETOOLONG};
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);

    io::Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) return {nullptr, errno};
    const io::Deadline deadline(timeoutMs);
    io::IdleTicker idle;
    while (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        const int err = errno;
        if (err == EINTR) continue;
        if (err == EISCONN) break;  // an interrupted attempt that completed meanwhile
        if (err != EAGAIN) return {nullptr, err};
        // The listener's backlog is full; a Unix socket cannot be polled for
        // connect completion, so try again shortly.
        if (deadline.Passed()) return {nullptr, ETIMEDOUT};
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        idle.Tick();
    }
    return {std::make_unique<UnixSocketTransport>(std::move(fd), timeoutMs, path), 0};
}

}  // namespace hb
