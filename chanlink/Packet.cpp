#include "chanlink/Packet.h"

#include <algorithm>

namespace d4 {

const char* Describe(CodecError error) {
    switch (error) {
        case CodecError::None:
            return "no error";
        case CodecError::LengthTooShort:
            return "packet length below the header size";
        case CodecError::LengthTooLong:
            return "packet longer than the channel allows";
        case CodecError::UnknownSocket:
            return "packet for a socket pair that is not open";
        case CodecError::CreditOverflow:
            return "credit grant above the cap";
        case CodecError::NoCredit:
            return "packet sent without credit";
        case CodecError::MalformedCommand:
            return "malformed command or message";
        case CodecError::UnknownCommand:
            return "unknown command or message";
        case CodecError::Unexpected:
            return "packet not expected at this point";
    }
    return "unknown codec error";
}

void EncodeHeader(const Header& header, std::uint8_t out[kHeaderSize]) {
    out[0] = header.psid;
    out[1] = header.ssid;
    out[2] = static_cast<std::uint8_t>(header.length >> 8);
    out[3] = static_cast<std::uint8_t>(header.length & 0xFF);
    out[4] = header.credit;
    out[5] = header.control;
}

Header DecodeHeader(const std::uint8_t in[kHeaderSize]) {
    Header h;
    h.psid = in[0];
    h.ssid = in[1];
    h.length = static_cast<std::uint16_t>((in[2] << 8) | in[3]);
    h.credit = in[4];
    h.control = in[5];
    return h;
}

void EncodePacketInto(std::vector<std::uint8_t>& out, std::uint8_t psid, std::uint8_t ssid, std::uint8_t credit,
                      const std::uint8_t* payload, std::size_t n) {
    // Callers keep payloads within the negotiated size, which is far below 64 KiB.
    Header h{psid, ssid, static_cast<std::uint16_t>(kHeaderSize + n), credit, 0};
    out.resize(kHeaderSize + n);
    EncodeHeader(h, out.data());
    if (n > 0) std::copy(payload, payload + n, out.begin() + kHeaderSize);
}

std::vector<std::uint8_t> EncodePacket(std::uint8_t psid, std::uint8_t ssid, std::uint8_t credit,
                                       const std::uint8_t* payload, std::size_t n) {
    std::vector<std::uint8_t> out;
    EncodePacketInto(out, psid, ssid, credit, payload, n);
    return out;
}

// ---- ChannelTable ----

ChannelTable::ChannelTable() { Clear(); }

void ChannelTable::Clear() {
    channels_.clear();
    Channel transaction;
    transaction.maxReceive = kTransactionMaxPacket;
    transaction.maxSend = kTransactionMaxPacket;
    channels_.push_back(transaction);
}

bool ChannelTable::Open(std::uint8_t psid, std::uint8_t ssid, std::uint16_t maxReceive, std::uint16_t maxSend) {
    if (psid == kTransactionSocket || ssid == kTransactionSocket || Find(psid, ssid)) return false;
    Channel c;
    c.psid = psid;
    c.ssid = ssid;
    c.maxReceive = maxReceive;
    c.maxSend = maxSend;
    channels_.push_back(c);
    return true;
}

bool ChannelTable::Close(std::uint8_t psid, std::uint8_t ssid) {
    if (psid == kTransactionSocket && ssid == kTransactionSocket) return false;
    auto it = std::find_if(channels_.begin(), channels_.end(),
                           [&](const Channel& c) { return c.psid == psid && c.ssid == ssid; });
    if (it == channels_.end()) return false;
    channels_.erase(it);
    return true;
}

Channel* ChannelTable::Find(std::uint8_t psid, std::uint8_t ssid) {
    for (Channel& c : channels_)
        if (c.psid == psid && c.ssid == ssid) return &c;
    return nullptr;
}

const Channel* ChannelTable::Find(std::uint8_t psid, std::uint8_t ssid) const {
    return const_cast<ChannelTable*>(this)->Find(psid, ssid);
}

CodecError ChannelTable::AddSendCredit(Channel& channel, std::uint32_t credit) {
    if (credit > kMaxCredit || channel.sendCredit > kMaxCredit - credit) return CodecError::CreditOverflow;
    channel.sendCredit += credit;
    return CodecError::None;
}

bool ChannelTable::TakeSendCredit(Channel& channel) {
    if (channel.psid == kTransactionSocket) return true;  // the transaction channel needs none
    if (channel.sendCredit == 0) return false;
    --channel.sendCredit;
    return true;
}

bool ChannelTable::Grant(Channel& channel, std::uint32_t credit) {
    if (credit > kMaxCredit || channel.grantedOut > kMaxCredit - credit) return false;
    channel.grantedOut += credit;
    return true;
}

CodecError ChannelTable::Admit(const Header& header) {
    if (header.length < kHeaderSize) return CodecError::LengthTooShort;
    Channel* channel = Find(header.psid, header.ssid);
    if (!channel) return CodecError::UnknownSocket;
    if (header.length > channel->maxReceive) return CodecError::LengthTooLong;
    if (channel->psid == kTransactionSocket)
        return header.credit == 0 ? CodecError::None : CodecError::MalformedCommand;
    if (channel->grantedOut == 0) return CodecError::NoCredit;
    CodecError e = AddSendCredit(*channel, header.credit);
    if (e != CodecError::None) return e;
    --channel->grantedOut;
    return CodecError::None;
}

// ---- PacketAssembler ----

PacketAssembler::PacketAssembler(ChannelTable& table) : table_(table) {}

void PacketAssembler::Feed(const std::uint8_t* data, std::size_t n) {
    if (error_ != CodecError::None || n == 0) return;
    // Drop what was handed out already before the buffer grows.
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > 4096) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + n);
}

PacketAssembler::Status PacketAssembler::Next(Packet& out) {
    if (error_ != CodecError::None) return Status::Error;
    if (Buffered() < kHeaderSize) return Status::NeedMore;
    Header h = DecodeHeader(buffer_.data() + start_);
    if (!headerChecked_) {
        // Checked as soon as the header is complete, so that a bad length is
        // caught before anyone waits for a payload that will never come.
        CodecError e = table_.Admit(h);
        if (e != CodecError::None) {
            error_ = e;
            return Status::Error;
        }
        headerChecked_ = true;
    }
    if (Buffered() < h.length) return Status::NeedMore;
    out.header = h;
    auto first = buffer_.begin() + static_cast<std::ptrdiff_t>(start_ + kHeaderSize);
    out.payload.assign(first, first + (h.length - kHeaderSize));
    start_ += h.length;
    headerChecked_ = false;
    return Status::Packet;
}

std::size_t PacketAssembler::Missing() const {
    if (Buffered() < kHeaderSize) return kHeaderSize - Buffered();
    Header h = DecodeHeader(buffer_.data() + start_);
    if (h.length < kHeaderSize) return 0;
    return h.length > Buffered() ? h.length - Buffered() : 0;
}

void PacketAssembler::Reset() {
    buffer_.clear();
    start_ = 0;
    headerChecked_ = false;
    error_ = CodecError::None;
}

}  // namespace d4
