// Framing of the packet channel: the 6-byte header, the table of open
// channels with their size limits and credit, and the reassembly of packets
// from a byte stream that arrives in arbitrary chunks.
//
// Everything here is pure: bytes in, checked packets out. Both the host side
// (HostChannel) and the printer side (PrinterEndpoint) frame and validate
// through this code, so the two can never disagree about what is well formed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace d4 {

inline constexpr std::size_t kHeaderSize = 6;

// Socket 0 carries the transaction channel: channel management commands, one
// at a time, each answered by a reply. It has no credit and a fixed size limit.
inline constexpr std::uint8_t kTransactionSocket = 0;
inline constexpr std::uint16_t kTransactionMaxPacket = 64;

// No side may ever hold more than this much credit on one channel. A grant
// that would exceed it is a protocol error: a sane peer never needs as much.
inline constexpr std::uint32_t kMaxCredit = 1024;

struct Header {
    std::uint8_t psid = 0;     // socket on the printer side
    std::uint8_t ssid = 0;     // socket on the host side
    std::uint16_t length = 0;  // whole packet, header included (big-endian on the wire)
    std::uint8_t credit = 0;   // packets the receiver may now send back on this channel
    std::uint8_t control = 0;  // reserved: sent as 0, ignored on receipt
};

struct Packet {
    Header header;
    std::vector<std::uint8_t> payload;
};

// Why a stream of packets was rejected. The numeric values travel in the
// Error command, so they are part of the wire protocol: never renumber.
enum class CodecError : std::uint8_t {
    None = 0,
    LengthTooShort = 1,    // length field below the header size
    LengthTooLong = 2,     // length above the limit negotiated for the channel
    UnknownSocket = 3,     // socket pair that names no open channel
    CreditOverflow = 4,    // a grant would push the credit above kMaxCredit
    NoCredit = 5,          // a packet on a channel where the sender had no credit
    MalformedCommand = 6,  // a command or message payload of the wrong size or contents
    UnknownCommand = 7,    // a command or message code nobody defined
    Unexpected = 8,        // well formed, but not what the conversation allows now
};

const char* Describe(CodecError error);

void EncodeHeader(const Header& header, std::uint8_t out[kHeaderSize]);
Header DecodeHeader(const std::uint8_t in[kHeaderSize]);

// A whole packet: header (length filled in) followed by the payload.
std::vector<std::uint8_t> EncodePacket(std::uint8_t psid, std::uint8_t ssid, std::uint8_t credit,
                                       const std::uint8_t* payload, std::size_t n);
// The same into a caller's buffer (reused to avoid an allocation per packet).
void EncodePacketInto(std::vector<std::uint8_t>& out, std::uint8_t psid, std::uint8_t ssid, std::uint8_t credit,
                      const std::uint8_t* payload, std::size_t n);

// One open channel as seen from one side of the link.
struct Channel {
    std::uint8_t psid = 0;
    std::uint8_t ssid = 0;
    std::uint16_t maxReceive = 0;  // largest packet this side accepts on it
    std::uint16_t maxSend = 0;     // largest packet this side may send on it
    std::uint32_t sendCredit = 0;  // packets this side may still send
    std::uint32_t grantedOut = 0;  // packets the peer may still send to us
};

// The channels of one side. The transaction channel is always present.
class ChannelTable {
public:
    ChannelTable();
    // Back to only the transaction channel.
    void Clear();
    // False when the pair is already open or is the transaction channel's.
    bool Open(std::uint8_t psid, std::uint8_t ssid, std::uint16_t maxReceive, std::uint16_t maxSend);
    bool Close(std::uint8_t psid, std::uint8_t ssid);
    Channel* Find(std::uint8_t psid, std::uint8_t ssid);
    const Channel* Find(std::uint8_t psid, std::uint8_t ssid) const;

    // Credit the peer gave us (in a header or a Credit command).
    CodecError AddSendCredit(Channel& channel, std::uint32_t credit);
    // Uses one packet of our credit; false when there is none.
    bool TakeSendCredit(Channel& channel);
    // Credit we give the peer; false (and nothing changes) when it would pass the cap.
    bool Grant(Channel& channel, std::uint32_t credit);

    // Checks a received header against the table and books its credit:
    // the socket pair must be open, the length within the channel's limit,
    // a packet on a credited channel must be covered by credit we granted,
    // and the credit it carries must stay under the cap.
    CodecError Admit(const Header& header);

private:
    std::vector<Channel> channels_;
};

// Reassembles packets from a byte stream. Every packet is checked through the
// channel table before it is handed out; the first error is final, because
// after a bad length nothing tells where the next packet starts.
class PacketAssembler {
public:
    explicit PacketAssembler(ChannelTable& table);

    enum class Status { Packet, NeedMore, Error };

    void Feed(const std::uint8_t* data, std::size_t n);
    // The next complete packet, NeedMore, or Error (see error()).
    Status Next(Packet& out);
    // Bytes still missing before the next packet (or its header) is complete.
    std::size_t Missing() const;
    // Bytes received but not yet handed out as packets.
    std::size_t Buffered() const { return buffer_.size() - start_; }
    CodecError error() const { return error_; }
    // Drops buffered bytes and a past error.
    void Reset();

private:
    ChannelTable& table_;
    std::vector<std::uint8_t> buffer_;
    std::size_t start_ = 0;
    bool headerChecked_ = false;
    CodecError error_ = CodecError::None;
};

}  // namespace d4
