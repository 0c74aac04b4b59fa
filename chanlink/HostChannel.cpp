#include "chanlink/HostChannel.h"

#include <algorithm>

namespace d4 {
namespace {

// Packets of one send that leave only once credit for all of them is in
// hand: a send of up to this many packets is taken whole or not at all.
constexpr std::uint32_t kRunPackets = 64;

// Control replies nobody asked for that are dropped before one request; a
// printer that sends more than this keeps talking unasked: a protocol error.
constexpr int kMaxUnaskedReplies = 8;

std::uint16_t ReadDetail(hb::IoStatus s) {
    switch (s) {
        case hb::IoStatus::Ok:
            return detail::None;
        case hb::IoStatus::Timeout:
            return detail::ReadTimeout;
        case hb::IoStatus::Closed:
            return detail::PortClosed;
        case hb::IoStatus::Error:
            return detail::ReadFailed;
    }
    return detail::ReadFailed;
}

std::uint16_t WriteDetail(hb::IoStatus s) {
    return s == hb::IoStatus::Closed ? detail::PortClosed : detail::WriteFailed;
}

}  // namespace

HostChannel::HostChannel(hb::Transport& transport, HostTiming timing, CaptureWriter* capture)
    : transport_(transport), timing_(timing), capture_(capture), assembler_(table_) {}

std::uint16_t HostChannel::Fail(std::uint16_t why) {
    detail_ = why;
    return kResultChannel;
}

// After a transport or protocol failure nothing tells what the printer has
// seen, so the channel is given up; the next negotiation starts afresh.
std::uint16_t HostChannel::Broken(std::uint16_t why) {
    ready_ = false;
    return Fail(why);
}

bool HostChannel::Reject(CodecError error) {
    ProtocolError(error);
    return false;
}

bool HostChannel::Lost(std::uint16_t why) {
    Broken(why);
    return false;
}

// A refusal leaves the channel usable: the printer understood and said no.
bool HostChannel::Refused(std::uint8_t result) {
    Fail(static_cast<std::uint16_t>(detail::RefusedBase + result));
    return false;
}

std::uint16_t HostChannel::ProtocolError(CodecError error) {
    // Tell the printer why we stop talking, as far as the port still lets us.
    Transaction t;
    t.command = Command::Error;
    t.errorCode = static_cast<std::uint8_t>(error);
    std::vector<std::uint8_t> payload = EncodeTransaction(t);
    EncodePacketInto(sendBuffer_, kTransactionSocket, kTransactionSocket, 0, payload.data(), payload.size());
    if (transport_.Write(sendBuffer_.data(), sendBuffer_.size(), timing_.writeTimeoutMs) == hb::IoStatus::Ok &&
        capture_)
        capture_->Record(Direction::HostToPrinter, sendBuffer_.data(), sendBuffer_.size());
    return Broken(detail::Protocol);
}

bool HostChannel::WritePacket(std::uint8_t socket, std::uint8_t credit, const std::uint8_t* payload, std::size_t n) {
    EncodePacketInto(sendBuffer_, socket, socket, credit, payload, n);
    hb::IoStatus s = transport_.Write(sendBuffer_.data(), sendBuffer_.size(), timing_.writeTimeoutMs);
    if (s != hb::IoStatus::Ok) {
        Broken(WriteDetail(s));
        return false;
    }
    if (capture_) capture_->Record(Direction::HostToPrinter, sendBuffer_.data(), sendBuffer_.size());
    return true;
}

bool HostChannel::ReadPacket(Packet& out) {
    for (;;) {
        PacketAssembler::Status st = assembler_.Next(out);
        if (st == PacketAssembler::Status::Packet) break;
        if (st == PacketAssembler::Status::Error) {
            ProtocolError(assembler_.error());
            return false;
        }
        // Read exactly what completes the header or the packet, never more,
        // so no byte of a later packet is taken from the port early.
        readBuffer_.resize(assembler_.Missing());
        hb::IoStatus s = transport_.Read(readBuffer_.data(), readBuffer_.size(), timing_.readTimeoutMs);
        if (s != hb::IoStatus::Ok) {
            Broken(ReadDetail(s));
            return false;
        }
        assembler_.Feed(readBuffer_.data(), readBuffer_.size());
    }
    if (capture_) {
        std::vector<std::uint8_t> whole(kHeaderSize);
        EncodeHeader(out.header, whole.data());
        whole.insert(whole.end(), out.payload.begin(), out.payload.end());
        capture_->Record(Direction::PrinterToHost, whole.data(), whole.size());
    }
    return true;
}

// One transaction command and its reply. False with the failure recorded
// when the reply does not come, does not fit, or refuses.
bool HostChannel::Transact(const Transaction& request, Transaction& reply) {
    std::vector<std::uint8_t> payload = EncodeTransaction(request);
    if (!WritePacket(kTransactionSocket, 0, payload.data(), payload.size())) return false;
    Packet p;
    if (!ReadPacket(p)) return false;
    if (p.header.psid != kTransactionSocket) return Reject(CodecError::Unexpected);
    CodecError e = DecodeTransaction(p.payload.data(), p.payload.size(), reply);
    if (e != CodecError::None) return Reject(e);
    if (reply.command == Command::Error)
        return Lost(static_cast<std::uint16_t>(detail::PrinterProtocolBase + reply.errorCode));
    if (!reply.reply || reply.command != request.command) return Reject(CodecError::Unexpected);
    // Channel commands are answered for the channel they named, never another.
    const bool namesChannel = request.command == Command::OpenChannel || request.command == Command::CloseChannel ||
                              request.command == Command::Credit || request.command == Command::CreditRequest;
    if (namesChannel && (reply.psid != request.psid || reply.ssid != request.ssid))
        return Reject(CodecError::Unexpected);
    if (reply.result != result::Ok) return Refused(reply.result);
    return true;
}

bool HostChannel::LookUpSocket(const char* service, std::uint8_t& socket) {
    Transaction req, rep;
    req.command = Command::GetSocketID;
    req.service = service;
    if (!Transact(req, rep)) return false;
    if (rep.socket == kTransactionSocket || rep.service != service) return Reject(CodecError::Unexpected);
    socket = rep.socket;
    return true;
}

bool HostChannel::OpenOne(std::uint8_t socket, std::uint16_t maxOut, std::uint16_t maxIn, std::uint16_t minOut,
                          std::uint16_t minIn) {
    Transaction req, rep;
    req.command = Command::OpenChannel;
    req.psid = req.ssid = socket;
    req.maxHostToPrinter = maxOut;
    req.maxPrinterToHost = maxIn;
    if (!Transact(req, rep)) return false;
    // The printer may lower the sizes we offered, never raise them or go
    // below what our messages need.
    if (rep.maxHostToPrinter > maxOut || rep.maxHostToPrinter < minOut || rep.maxPrinterToHost > maxIn ||
        rep.maxPrinterToHost < minIn)
        return Reject(CodecError::Unexpected);
    if (!table_.Open(socket, socket, rep.maxPrinterToHost, rep.maxHostToPrinter)) return Reject(CodecError::Unexpected);
    Channel& channel = *table_.Find(socket, socket);
    CodecError e = table_.AddSendCredit(channel, rep.credit);
    if (e != CodecError::None) return Reject(e);
    NoteCredit(channel);
    return true;
}

std::uint16_t HostChannel::Negotiate() {
    ready_ = false;
    table_.Clear();
    assembler_.Reset();
    peakDataCredit_ = 0;
    unfinished_.clear();
    // The printer may still hold channels of an earlier conversation (the port
    // was closed and opened again without Exit): a reset makes it forget them.
    hb::IoStatus s = transport_.Reset();
    if (s != hb::IoStatus::Ok) return Broken(WriteDetail(s));

    Transaction req, rep;
    req.command = Command::Init;
    req.revision = kProtocolRevision;
    if (!Transact(req, rep)) return kResultChannel;
    if (rep.revision != kProtocolRevision) return ProtocolError(CodecError::Unexpected);
    if (!LookUpSocket(kDataService, dataSocket_) || !LookUpSocket(kControlService, controlSocket_))
        return kResultChannel;
    if (dataSocket_ == controlSocket_) return ProtocolError(CodecError::Unexpected);
    // The print-data channel only carries data towards the printer; the
    // control channel carries requests one way and replies the other.
    if (!OpenOne(dataSocket_, kDataMaxPacket, kControlMaxPacket, kMinDataPacket,
                 static_cast<std::uint16_t>(kHeaderSize)) ||
        !OpenOne(controlSocket_, kControlMaxPacket, kControlMaxPacket, kMinControlPacket, kMinControlPacket))
        return kResultChannel;
    ready_ = true;
    return kResultOk;
}

std::uint16_t HostChannel::Terminate() {
    if (!ready_) return kResultOk;  // nothing open: nothing to end
    ready_ = false;
    Transaction req, rep;
    req.command = Command::CloseChannel;
    for (std::uint8_t socket : {dataSocket_, controlSocket_}) {
        req.psid = req.ssid = socket;
        if (!Transact(req, rep)) return kResultChannel;
    }
    req = Transaction{};
    req.command = Command::Exit;
    if (!Transact(req, rep)) return kResultChannel;
    table_.Clear();
    return kResultOk;
}

void HostChannel::NoteCredit(const Channel& channel) {
    if (channel.psid == dataSocket_) peakDataCredit_ = std::max(peakDataCredit_, channel.sendCredit);
}

bool HostChannel::RequestCredit(Channel& channel, std::uint16_t wanted) {
    if (!DropUnasked()) return false;
    Transaction req, rep;
    req.command = Command::CreditRequest;
    req.psid = channel.psid;
    req.ssid = channel.ssid;
    req.credit = wanted;
    if (!Transact(req, rep)) return false;
    CodecError e = table_.AddSendCredit(channel, rep.credit);
    if (e != CodecError::None) return Reject(e);
    NoteCredit(channel);
    return true;
}

std::uint16_t HostChannel::EnsureCredit(Channel& channel, std::uint32_t needed) {
    // A printer with a full buffer answers with no credit. A few round trips
    // give it the chance to drain; past that the caller hears "busy" and
    // decides itself how long to wait. No sleeping here.
    for (int attempt = 0; channel.sendCredit < needed; ++attempt) {
        if (attempt == timing_.creditRequests) return Fail(detail::Busy);
        // Ask for as much as we may hold: the printer grants what its buffer
        // has room for, so a stream of blocks pays one round trip per grant
        // rather than one per block.
        const std::uint32_t wanted = std::max<std::uint32_t>(kMaxCredit - channel.sendCredit, 1);
        if (!RequestCredit(channel, static_cast<std::uint16_t>(std::min<std::uint32_t>(wanted, 0xFFFF))))
            return kResultChannel;
    }
    return kResultOk;
}

std::uint16_t HostChannel::Busy(const std::uint8_t* data, std::uint32_t count, std::size_t sent) {
    // The caller answers busy by sending the same bytes again; what went out
    // already must not go out twice.
    if (sent > 0) {
        unfinished_.assign(data, data + count);
        unfinishedSent_ = sent;
    }
    return Fail(detail::Busy);
}

std::uint16_t HostChannel::SendData(const std::uint8_t* data, std::uint32_t count) {
    if (!ready_) return Fail(detail::NotNegotiated);
    if (count == 0) return kResultOk;
    if (!data) return Fail(detail::BadArgument);
    Channel* channel = table_.Find(dataSocket_, dataSocket_);
    const std::size_t perPacket = channel->maxSend - kHeaderSize;
    std::size_t sent = 0;
    if (!unfinished_.empty()) {
        // The resend of a send that stopped midway goes on where it stopped.
        // Other bytes mean the caller gave that send up.
        if (unfinished_.size() == count && std::equal(unfinished_.begin(), unfinished_.end(), data))
            sent = unfinishedSent_;
        unfinished_.clear();
    }
    while (sent < count) {
        // Credit for a whole run of packets is in hand before the first of
        // them leaves, so a send that fits in one run is refused as busy
        // with nothing of it sent. A run larger than the printer has ever let
        // us hold might never fit whole: it goes with what the credit covers.
        const std::size_t packets = (count - sent + perPacket - 1) / perPacket;
        std::uint32_t run = static_cast<std::uint32_t>(std::min<std::size_t>(packets, kRunPackets));
        if (EnsureCredit(*channel, run) != kResultOk) {
            if (detail_ != detail::Busy) return kResultChannel;
            if (channel->sendCredit == 0 || run <= peakDataCredit_) return Busy(data, count, sent);
            run = channel->sendCredit;
        }
        for (std::uint32_t i = 0; i < run; ++i) {
            const std::size_t n = std::min<std::size_t>(perPacket, count - sent);
            table_.TakeSendCredit(*channel);
            if (!WritePacket(channel->psid, 0, data + sent, n)) return kResultChannel;
            sent += n;
        }
    }
    return kResultOk;
}

bool HostChannel::UnaskedTransaction(const Packet& p) {
    Transaction t;
    if (DecodeTransaction(p.payload.data(), p.payload.size(), t) == CodecError::None && t.command == Command::Error &&
        !t.reply)
        return Lost(static_cast<std::uint16_t>(detail::PrinterProtocolBase + t.errorCode));
    return Reject(CodecError::Unexpected);
}

bool HostChannel::DropUnasked() {
    Channel* channel = table_.Find(controlSocket_, controlSocket_);
    for (int dropped = 0;; ++dropped) {
        // Only what has arrived already: a deadline of 0 waits for nothing,
        // and a transport consumes nothing on a read that fails.
        std::uint8_t head[kHeaderSize];
        const hb::IoStatus s = transport_.Read(head, kHeaderSize, 0);
        if (s == hb::IoStatus::Timeout) return true;
        if (s != hb::IoStatus::Ok) return Lost(ReadDetail(s));
        const Header h = DecodeHeader(head);
        const bool control = channel && h.psid == channel->psid && h.ssid == channel->ssid && h.length >= kHeaderSize &&
                             h.length <= channel->maxReceive;
        if (!control || dropped == kMaxUnaskedReplies) {
            // Not a control reply (or one too many): the usual checks decide,
            // and whatever it is, nothing was asked.
            assembler_.Feed(head, kHeaderSize);
            Packet p;
            if (!ReadPacket(p)) return false;
            if (p.header.psid == kTransactionSocket) return UnaskedTransaction(p);
            return Reject(CodecError::Unexpected);
        }
        // The rest of a packet that has begun follows at once.
        readBuffer_.assign(head, head + kHeaderSize);
        readBuffer_.resize(h.length);
        const hb::IoStatus rest =
            transport_.Read(readBuffer_.data() + kHeaderSize, h.length - kHeaderSize, timing_.readTimeoutMs);
        if (rest != hb::IoStatus::Ok) return Lost(ReadDetail(rest));
        if (capture_) capture_->Record(Direction::PrinterToHost, readBuffer_.data(), readBuffer_.size());
        // A well-formed reply is stale and goes; anything else is a protocol
        // error. The credit its header brings is the printer's to give.
        ControlMessage stale;
        const CodecError e = DecodeControl(readBuffer_.data() + kHeaderSize, h.length - kHeaderSize, stale);
        if (e != CodecError::None) return Reject(e);
        if (!stale.reply) return Reject(CodecError::Unexpected);
        const CodecError c = table_.AddSendCredit(*channel, h.credit);
        if (c != CodecError::None) return Reject(c);
    }
}

bool HostChannel::Control(const ControlMessage& request, ControlMessage& reply) {
    Channel* channel = table_.Find(controlSocket_, controlSocket_);
    if (!DropUnasked()) return false;
    if (EnsureCredit(*channel, 1) != kResultOk) return false;
    // Each request grants the printer the credit for its reply.
    if (!table_.Grant(*channel, 1)) return Reject(CodecError::CreditOverflow);
    table_.TakeSendCredit(*channel);
    std::vector<std::uint8_t> payload = EncodeControl(request);
    if (!WritePacket(channel->psid, 1, payload.data(), payload.size())) return false;

    Packet p;
    if (!ReadPacket(p)) return false;
    if (p.header.psid == kTransactionSocket) return UnaskedTransaction(p);
    if (p.header.psid != channel->psid) return Reject(CodecError::Unexpected);
    CodecError e = DecodeControl(p.payload.data(), p.payload.size(), reply);
    if (e != CodecError::None) return Reject(e);
    if (!reply.reply || reply.op != request.op || (request.op != ControlOp::Status && reply.address != request.address))
        return Reject(CodecError::Unexpected);
    if (reply.result != result::Ok) return Refused(reply.result);
    return true;
}

std::uint16_t HostChannel::ReadEeprom(std::uint8_t address, std::uint8_t* value) {
    if (!ready_) return Fail(detail::NotNegotiated);
    if (!value) return Fail(detail::BadArgument);
    ControlMessage req, rep;
    req.op = ControlOp::ReadEeprom;
    req.address = address;
    if (!Control(req, rep)) return kResultChannel;
    *value = rep.value;
    return kResultOk;
}

std::uint16_t HostChannel::WriteEeprom(std::uint8_t address, std::uint8_t value) {
    if (!ready_) return Fail(detail::NotNegotiated);
    ControlMessage req, rep;
    req.op = ControlOp::WriteEeprom;
    req.address = address;
    req.value = value;
    if (!Control(req, rep)) return kResultChannel;
    // The printer echoes what it stored; anything else is not a write we asked for.
    if (rep.value != value) return ProtocolError(CodecError::Unexpected);
    return kResultOk;
}

std::uint16_t HostChannel::InquireStatus(std::uint8_t* record52) {
    if (!ready_) return Fail(detail::NotNegotiated);
    if (!record52) return Fail(detail::BadArgument);
    ControlMessage req, rep;
    req.op = ControlOp::Status;
    if (!Control(req, rep)) return kResultChannel;
    std::copy(rep.record.begin(), rep.record.end(), record52);
    return kResultOk;
}

}  // namespace d4
