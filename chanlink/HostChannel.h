// The host side of the packet channel over one open port: negotiation,
// print data with credit flow control, EEPROM bytes and the status inquiry.
// Each operation returns 1 or 0x2000; on 0x2000 detail() says why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "chanlink/Capture.h"
#include "chanlink/Messages.h"
#include "chanlink/Packet.h"
#include "hostbridge/Transport.h"

namespace d4 {

inline constexpr std::uint16_t kResultOk = 1;
inline constexpr std::uint16_t kResultChannel = 0x2000;

// The details GetD4ErrorCode reports after a result of 0x2000.
namespace detail {
inline constexpr std::uint16_t None = 0;
inline constexpr std::uint16_t NoPort = 1;         // no port is open
inline constexpr std::uint16_t NotNegotiated = 2;  // no channel: never negotiated, ended, broken or port reopened
inline constexpr std::uint16_t WriteFailed = 3;    // writing to the port failed or missed its deadline
inline constexpr std::uint16_t ReadTimeout = 4;    // the printer did not answer within the read deadline
inline constexpr std::uint16_t PortClosed = 5;     // the printer closed the connection
inline constexpr std::uint16_t Protocol = 6;       // the printer sent something malformed or unexpected
inline constexpr std::uint16_t BadArgument = 8;    // a null pointer from the caller
inline constexpr std::uint16_t ReadFailed = 9;     // reading from the port failed
// No longer reported: a send that stops midway is busy, and the resend of the
// same bytes goes on where it stopped. Kept so the number is never reused.
inline constexpr std::uint16_t PartlySent = 10;
inline constexpr std::uint16_t Busy = 51;  // no credit within the bounded wait: send again later
// The printer reported a protocol error in what we sent: 0x0600 + its error code.
inline constexpr std::uint16_t PrinterProtocolBase = 0x0600;
// The printer refused a request: 0x0700 + the result byte of its reply.
inline constexpr std::uint16_t RefusedBase = 0x0700;
}  // namespace detail

struct HostTiming {
    int readTimeoutMs = 2000;   // per packet read
    int writeTimeoutMs = 2000;  // per packet written
    // CreditRequest round trips before a send gives up as busy.
    int creditRequests = 3;
};

class HostChannel {
public:
    // The transport must outlive every call; the destructor does not touch it.
    explicit HostChannel(hb::Transport& transport, HostTiming timing = {}, CaptureWriter* capture = nullptr);

    // Resets the port, then Init, the two GetSocketIDs and the two OpenChannels.
    std::uint16_t Negotiate();
    // Closes both channels and exits; afterwards the channel is not ready.
    std::uint16_t Terminate();
    // All bytes, or busy: then the caller sends the same bytes again. A send
    // that fits in the credit the printer has let us hold is taken whole or
    // not at all; a larger one goes out in parts as credit comes, and the
    // resend after a busy part sends only what had not gone out.
    std::uint16_t SendData(const std::uint8_t* data, std::uint32_t count);
    std::uint16_t ReadEeprom(std::uint8_t address, std::uint8_t* value);
    std::uint16_t WriteEeprom(std::uint8_t address, std::uint8_t value);
    std::uint16_t InquireStatus(std::uint8_t* record52);

    bool ready() const { return ready_; }
    std::uint16_t detail() const { return detail_; }

private:
    std::uint16_t Fail(std::uint16_t why);
    std::uint16_t Broken(std::uint16_t why);
    std::uint16_t ProtocolError(CodecError error);
    // The same failures for helpers that answer true or false.
    bool Reject(CodecError error);
    bool Lost(std::uint16_t why);
    bool Refused(std::uint8_t result);
    bool WritePacket(std::uint8_t socket, std::uint8_t credit, const std::uint8_t* payload, std::size_t n);
    bool ReadPacket(Packet& out);
    bool Transact(const Transaction& request, Transaction& reply);
    bool OpenOne(std::uint8_t socket, std::uint16_t maxOut, std::uint16_t maxIn, std::uint16_t minOut,
                 std::uint16_t minIn);
    bool LookUpSocket(const char* service, std::uint8_t& socket);
    bool RequestCredit(Channel& channel, std::uint16_t wanted);
    // 1 when the credit is there; otherwise the failure already recorded.
    std::uint16_t EnsureCredit(Channel& channel, std::uint32_t needed);
    bool Control(const ControlMessage& request, ControlMessage& reply);
    // Drops control replies that are already waiting before a request goes
    // out: they answer nothing we are about to ask.
    bool DropUnasked();
    // What the printer may say on socket 0 without being asked: only Error.
    bool UnaskedTransaction(const Packet& p);
    std::uint16_t Busy(const std::uint8_t* data, std::uint32_t count, std::size_t sent);
    void NoteCredit(const Channel& channel);

    hb::Transport& transport_;
    HostTiming timing_;
    CaptureWriter* capture_;
    ChannelTable table_;
    PacketAssembler assembler_;
    bool ready_ = false;
    std::uint16_t detail_ = detail::None;
    std::uint8_t dataSocket_ = 0;
    std::uint8_t controlSocket_ = 0;
    std::vector<std::uint8_t> sendBuffer_;
    std::vector<std::uint8_t> readBuffer_;
    // The most print-data credit the printer has let us hold at once.
    std::uint32_t peakDataCredit_ = 0;
    // A send refused as busy after part of it went out, and how much did.
    std::vector<std::uint8_t> unfinished_;
    std::size_t unfinishedSent_ = 0;
};

}  // namespace d4
