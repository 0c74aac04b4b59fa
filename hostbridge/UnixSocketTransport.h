// The port of a virtual printer: a Unix stream socket carrying frames of
// kind (1 byte), payload length (2 bytes, big-endian) and payload.
//   0x01 DATA       both ways  the bytes of the packet channel, any chunking
//   0x02 DEVICE_ID? to printer asks for the IEEE 1284 device ID (empty)
//   0x82 DEVICE_ID  to host    the ID with its 2-byte length prefix
//   0x03 RESET      to printer the INIT line: the printer drops its channel state
// Any other kind from the printer is a protocol error: the connection is
// closed and every later call fails.
#pragma once

#include "hostbridge/Io.h"
#include "hostbridge/Transport.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hb {

namespace frame {
constexpr std::uint8_t kData = 0x01;
constexpr std::uint8_t kDeviceIdRequest = 0x02;
constexpr std::uint8_t kReset = 0x03;
constexpr std::uint8_t kDeviceIdReply = 0x82;
constexpr std::size_t kHeaderSize = 3;
constexpr std::size_t kMaxPayload = 0xFFFF;
// DATA bytes kept that no read has asked for yet (the printer talking while
// the device ID is awaited, or ahead of the channel). A printer has no reason
// to send more than a few packets unasked; past this the connection is given
// up rather than memory.
constexpr std::size_t kMaxUnreadData = 64 * 1024;
}  // namespace frame

class UnixSocketTransport final : public Transport {
public:
    // Takes a connected, non-blocking stream socket. `label` names the peer in
    // diagnostics; `portTimeoutMs` bounds the device-ID exchange.
    UnixSocketTransport(io::Fd socket, int portTimeoutMs, std::string label);

    // Writes as DATA frames of at most 65535 bytes.
    IoStatus Write(const std::uint8_t* data, std::size_t n, int timeoutMs) override;
    // Reads from the byte stream of the DATA frames received. On failure
    // nothing is consumed: bytes that did arrive stay for the next read.
    // Ends at the deadline however many frames keep arriving.
    IoStatus Read(std::uint8_t* data, std::size_t n, int timeoutMs) override;
    // Asks for the device ID and waits for it, at most the port timeout.
    // DATA arriving meanwhile is kept for the channel, up to kMaxUnreadData.
    IoStatus ReadDeviceId(std::string& raw) override;
    // Sends RESET and forgets DATA received before it.
    IoStatus Reset() override;

private:
    IoStatus SendFrame(std::uint8_t kind, const std::uint8_t* payload, std::size_t n, const io::Deadline& deadline);
    // Receives what the socket has (waiting up to the deadline) and sorts
    // complete frames into the data stream or the device-ID reply.
    IoStatus ReceiveMore(const io::Deadline& deadline);
    bool TakeFrames();
    void Break(const std::string& why);
    std::size_t Buffered() const { return data_.size() - dataHead_; }

    io::Fd fd_;
    int portTimeoutMs_;
    std::string label_;
    std::vector<std::uint8_t> frame_;  // the frame being sent
    std::vector<std::uint8_t> raw_;    // received bytes that are not yet a whole frame
    std::vector<std::uint8_t> data_;   // DATA payload bytes, consumed from dataHead_
    std::size_t dataHead_ = 0;
    std::size_t reading_ = 0;  // bytes the read in progress wants (0 = none)
    std::optional<std::string> deviceId_;
    bool peerClosed_ = false;
    bool broken_ = false;  // protocol error or a frame cut short: the stream is lost
};

}  // namespace hb
