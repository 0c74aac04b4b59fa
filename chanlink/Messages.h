// The payloads that travel in packets: the commands of the transaction
// channel (socket 0) and our request/reply messages on the control channel.
// Encoding and decoding only; who sends what when lives in HostChannel and
// PrinterEndpoint. Every decoder checks the exact size of what it is given.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "chanlink/Packet.h"

namespace d4 {

// ---- transaction channel ----

inline constexpr std::uint8_t kProtocolRevision = 0x10;
inline constexpr std::uint8_t kReplyBit = 0x80;

enum class Command : std::uint8_t {
    Init = 0x00,
    OpenChannel = 0x01,
    CloseChannel = 0x02,
    Credit = 0x03,
    CreditRequest = 0x04,
    Exit = 0x08,
    GetSocketID = 0x09,
    Error = 0x7F,  // never answered; ends the conversation until Init after a port reset
};

// The result byte of every reply. 0 is success; the rest are the printer's
// reasons for refusing, handed to the program as detail 0x0700 + result.
namespace result {
inline constexpr std::uint8_t Ok = 0x00;
inline constexpr std::uint8_t Refused = 0x01;         // the printer could not do it (EEPROM access failed)
inline constexpr std::uint8_t BadRevision = 0x02;     // Init with a revision the printer does not speak
inline constexpr std::uint8_t UnknownService = 0x03;  // GetSocketID for a name it does not offer
inline constexpr std::uint8_t AlreadyOpen = 0x04;     // OpenChannel for an open pair
inline constexpr std::uint8_t NotOpen = 0x05;         // CloseChannel/Credit/CreditRequest for a closed pair
inline constexpr std::uint8_t NotInitialized = 0x06;  // a command other than Init before Init
inline constexpr std::uint8_t BadParameter = 0x07;    // a packet size below the minimum
}  // namespace result

// The two services a printer offers, by name, and the socket each lives on.
inline constexpr const char* kDataService = "SVC-PRINT-DATA";
inline constexpr const char* kControlService = "SVC-CONTROL";
inline constexpr std::uint8_t kDataSocket = 0x02;
inline constexpr std::uint8_t kControlSocket = 0x03;
inline constexpr std::size_t kMaxServiceName = 40;

// Largest packets the printer side takes on each channel, and the smallest
// it agrees to. The data limit gives 1024 bytes of print data per packet,
// so one block of the program's job stream always fits one packet.
inline constexpr std::uint16_t kDataMaxPacket = kHeaderSize + 1024;
inline constexpr std::uint16_t kControlMaxPacket = 256;
inline constexpr std::uint16_t kMinDataPacket = kHeaderSize + 1;
inline constexpr std::uint16_t kMinControlPacket = 64;

// One transaction command or reply. Which fields are meaningful depends on
// the command (see the table in docs/PROTOCOL.md).
struct Transaction {
    Command command = Command::Init;
    bool reply = false;
    std::uint8_t result = result::Ok;  // replies only
    std::uint8_t revision = 0;         // Init
    std::uint8_t psid = 0;             // OpenChannel, CloseChannel, Credit, CreditRequest, Error
    std::uint8_t ssid = 0;
    std::uint16_t maxHostToPrinter = 0;  // OpenChannel
    std::uint16_t maxPrinterToHost = 0;
    std::uint16_t credit = 0;    // Credit; CreditRequest (wanted, granted); OpenChannel reply (initial)
    std::uint8_t socket = 0;     // GetSocketID reply
    std::string service;         // GetSocketID
    std::uint8_t errorCode = 0;  // Error: a CodecError value
};

std::vector<std::uint8_t> EncodeTransaction(const Transaction& t);
// MalformedCommand for a wrong size or an empty/overlong service name,
// UnknownCommand for a code nobody defined, None on success.
CodecError DecodeTransaction(const std::uint8_t* data, std::size_t n, Transaction& out);

// ---- control channel ----

inline constexpr std::size_t kStatusRecordSize = 52;

enum class ControlOp : std::uint8_t {
    ReadEeprom = 0x10,
    WriteEeprom = 0x11,
    Status = 0x20,
};

// One control request or reply. Replies keep a fixed size whatever their
// result, so a refusal is told apart from a short read by its result byte.
struct ControlMessage {
    ControlOp op = ControlOp::ReadEeprom;
    bool reply = false;
    std::uint8_t result = result::Ok;                      // replies only
    std::uint8_t address = 0;                              // EEPROM requests and replies
    std::uint8_t value = 0;                                // EEPROM write request; both EEPROM replies
    std::array<std::uint8_t, kStatusRecordSize> record{};  // Status reply
};

std::vector<std::uint8_t> EncodeControl(const ControlMessage& m);
CodecError DecodeControl(const std::uint8_t* data, std::size_t n, ControlMessage& out);

}  // namespace d4
