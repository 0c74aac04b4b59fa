#include "chanlink/PrinterEndpoint.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <string>

#include "chanlink/Messages.h"
#include "chanlink/Packet.h"

namespace d4 {
namespace {

// Control-channel credit the printer keeps granted to the host. Requests are
// answered one at a time, so a small amount is never the bottleneck.
constexpr std::uint32_t kControlCredit = 2;

}  // namespace

struct PrinterEndpoint::Impl {
    explicit Impl(PrinterServices& s) : services(s), assembler(table) {}

    PrinterServices& services;
    ChannelTable table;
    PacketAssembler assembler;
    bool initialized = false;
    bool failed = false;
    std::string lastError;
    // Control replies that wait for the host to grant credit.
    std::deque<std::vector<std::uint8_t>> pendingReplies;
    std::vector<std::uint8_t> out;
    // The packet being handled; kept so its payload's storage is reused.
    Packet packet;

    // Forgets the channels; bytes already received stay queued, since Init
    // and Exit may be followed by more commands in the same chunk.
    void EndConversation() {
        table.Clear();
        initialized = false;
        pendingReplies.clear();
    }

    void Emit(std::uint8_t psid, std::uint8_t ssid, std::uint8_t credit, const std::vector<std::uint8_t>& payload) {
        std::vector<std::uint8_t> packet = EncodePacket(psid, ssid, credit, payload.data(), payload.size());
        out.insert(out.end(), packet.begin(), packet.end());
    }

    void Reply(const Transaction& t) { Emit(kTransactionSocket, kTransactionSocket, 0, EncodeTransaction(t)); }

    // Ends the conversation: the host is told why, and everything it sends
    // afterwards is ignored until the port is reset.
    void Fail(CodecError error, std::uint8_t psid, std::uint8_t ssid, const std::string& why) {
        Transaction t;
        t.command = Command::Error;
        t.psid = psid;
        t.ssid = ssid;
        t.errorCode = static_cast<std::uint8_t>(error);
        Emit(kTransactionSocket, kTransactionSocket, 0, EncodeTransaction(t));
        failed = true;
        lastError = why.empty() ? Describe(error) : why;
    }

    // Print-data credit comes only from free buffer space, counting the
    // packets granted before and not yet received as already there. As much
    // as fits is granted at once, so a streaming host pays one round trip per
    // grant; the cap bounds what the host may hold, whatever the space.
    std::uint32_t DataGrant(Channel& c, std::uint32_t wanted) {
        const std::size_t perPacket = c.maxReceive - kHeaderSize;
        const std::size_t fits = std::min<std::size_t>(services.DataSpace() / perPacket, kMaxCredit);
        if (fits <= c.grantedOut) return 0;
        const std::uint32_t grant =
            std::min(static_cast<std::uint32_t>(fits - c.grantedOut), std::max<std::uint32_t>(wanted, 1));
        return table.Grant(c, grant) ? grant : 0;
    }

    // Replies held for lack of credit count as requests still in hand: a
    // host that never lets the replies out gets no credit for more requests,
    // so what is held stays within kControlCredit.
    std::uint32_t ControlGrant(Channel& c) {
        const std::size_t busy = c.grantedOut + pendingReplies.size();
        if (busy >= kControlCredit) return 0;
        const std::uint32_t grant = kControlCredit - static_cast<std::uint32_t>(busy);
        return table.Grant(c, grant) ? grant : 0;
    }

    std::uint32_t GrantFor(Channel& c, std::uint32_t wanted) {
        return c.psid == kDataSocket ? DataGrant(c, wanted) : ControlGrant(c);
    }

    void FlushPendingReplies() {
        Channel* c = table.Find(kControlSocket, kControlSocket);
        while (c && !pendingReplies.empty() && table.TakeSendCredit(*c)) {
            const std::vector<std::uint8_t> reply = std::move(pendingReplies.front());
            pendingReplies.pop_front();
            Emit(c->psid, c->ssid, static_cast<std::uint8_t>(ControlGrant(*c)), reply);
        }
    }

    void HandlePacket(const Packet& p) {
        if (p.header.psid == kTransactionSocket)
            HandleTransaction(p);
        else if (p.header.psid == kDataSocket)
            services.AcceptData(p.payload.data(), p.payload.size());
        else
            HandleControl(p);
        // The header may have brought control credit for replies held back.
        if (!failed) FlushPendingReplies();
    }

    void HandleTransaction(const Packet& p) {
        Transaction in;
        CodecError e = DecodeTransaction(p.payload.data(), p.payload.size(), in);
        if (e != CodecError::None) return Fail(e, 0, 0, std::string("transaction channel: ") + Describe(e));
        if (in.reply) return Fail(CodecError::Unexpected, 0, 0, "a reply arrived where a command was expected");
        if (in.command == Command::Error) {
            // Never answered: the host has given up the conversation already.
            failed = true;
            lastError = "the host reported a protocol error, code " + std::to_string(in.errorCode);
            return;
        }

        Transaction r;
        r.command = in.command;
        r.reply = true;
        if (in.command == Command::Init) return HandleInit(in, r);
        if (!initialized) {
            r.result = result::NotInitialized;
            r.psid = in.psid;
            r.ssid = in.ssid;
            return Reply(r);
        }
        switch (in.command) {
            case Command::OpenChannel:
                HandleOpen(in, r);
                break;
            case Command::CloseChannel:
                r.psid = in.psid;
                r.ssid = in.ssid;
                if (!table.Close(in.psid, in.ssid)) r.result = result::NotOpen;
                if (in.psid == kControlSocket) pendingReplies.clear();
                break;
            case Command::Credit: {
                r.psid = in.psid;
                r.ssid = in.ssid;
                Channel* c = table.Find(in.psid, in.ssid);
                if (!c || c->psid == kTransactionSocket) {
                    r.result = result::NotOpen;
                } else if ((e = table.AddSendCredit(*c, in.credit)) != CodecError::None) {
                    return Fail(e, in.psid, in.ssid, "Credit command above the cap");
                }
                break;
            }
            case Command::CreditRequest: {
                r.psid = in.psid;
                r.ssid = in.ssid;
                Channel* c = table.Find(in.psid, in.ssid);
                if (!c || c->psid == kTransactionSocket)
                    r.result = result::NotOpen;
                else
                    r.credit = static_cast<std::uint16_t>(GrantFor(*c, in.credit));
                break;
            }
            case Command::Exit:
                EndConversation();
                break;
            case Command::GetSocketID:
                r.service = in.service;
                if (in.service == kDataService)
                    r.socket = kDataSocket;
                else if (in.service == kControlService)
                    r.socket = kControlSocket;
                else
                    r.result = result::UnknownService;
                break;
            default:
                break;  // Init and Error were handled above
        }
        Reply(r);
    }

    void HandleInit(const Transaction& in, Transaction& r) {
        // Init always starts a fresh conversation, whatever was open before.
        EndConversation();
        r.revision = kProtocolRevision;
        if (in.revision == kProtocolRevision)
            initialized = true;
        else
            r.result = result::BadRevision;
        Reply(r);
    }

    void HandleOpen(const Transaction& in, Transaction& r) {
        r.psid = in.psid;
        r.ssid = in.ssid;
        const bool data = in.psid == kDataSocket;
        if ((in.psid != kDataSocket && in.psid != kControlSocket) || in.ssid != in.psid) {
            r.result = result::UnknownService;
            return;
        }
        const std::uint16_t ownLimit = data ? kDataMaxPacket : kControlMaxPacket;
        const std::uint16_t minIn = data ? kMinDataPacket : kMinControlPacket;
        const std::uint16_t minOut = data ? static_cast<std::uint16_t>(kHeaderSize) : kMinControlPacket;
        if (in.maxHostToPrinter < minIn || in.maxPrinterToHost < minOut) {
            r.result = result::BadParameter;
            return;
        }
        r.maxHostToPrinter = std::min(in.maxHostToPrinter, ownLimit);
        r.maxPrinterToHost = std::min(in.maxPrinterToHost, kControlMaxPacket);
        if (!table.Open(in.psid, in.ssid, r.maxHostToPrinter, r.maxPrinterToHost)) {
            r.result = result::AlreadyOpen;
            return;
        }
        Channel* c = table.Find(in.psid, in.ssid);
        r.credit = static_cast<std::uint16_t>(GrantFor(*c, kMaxCredit));
    }

    void HandleControl(const Packet& p) {
        ControlMessage in;
        CodecError e = DecodeControl(p.payload.data(), p.payload.size(), in);
        if (e == CodecError::None && in.reply) e = CodecError::Unexpected;
        if (e != CodecError::None)
            return Fail(e, p.header.psid, p.header.ssid, std::string("control channel: ") + Describe(e));

        ControlMessage r = in;
        r.reply = true;
        r.result = result::Ok;
        switch (in.op) {
            case ControlOp::ReadEeprom:
                r.value = 0;
                if (!services.ReadEeprom(in.address, r.value)) {
                    r.result = result::Refused;
                    r.value = 0;
                }
                break;
            case ControlOp::WriteEeprom:
                if (!services.WriteEeprom(in.address, in.value)) r.result = result::Refused;
                break;
            case ControlOp::Status:
                services.FillStatus(r.record.data(), r.record.size());
                break;
        }
        pendingReplies.push_back(EncodeControl(r));
    }

    void Receive(const std::uint8_t* data, std::size_t n) {
        if (failed) return;
        assembler.Feed(data, n);
        for (;;) {
            PacketAssembler::Status s = assembler.Next(packet);
            if (s == PacketAssembler::Status::NeedMore) return;
            if (s == PacketAssembler::Status::Error) {
                // The header that broke the stream is still first in the buffer.
                return Fail(assembler.error(), 0, 0, std::string("framing: ") + Describe(assembler.error()));
            }
            HandlePacket(packet);
            if (failed) return;
        }
    }
};

PrinterEndpoint::PrinterEndpoint(PrinterServices& services) : impl_(std::make_unique<Impl>(services)) {}

PrinterEndpoint::~PrinterEndpoint() = default;

std::vector<std::uint8_t> PrinterEndpoint::Receive(const std::uint8_t* data, std::size_t n) {
    impl_->out.clear();
    impl_->Receive(data, n);
    return std::move(impl_->out);
}

void PrinterEndpoint::Reset() {
    impl_->EndConversation();
    impl_->assembler.Reset();
    impl_->failed = false;
    impl_->lastError.clear();
}

bool PrinterEndpoint::Failed() const { return impl_->failed; }

const char* PrinterEndpoint::LastError() const { return impl_->lastError.c_str(); }

}  // namespace d4
