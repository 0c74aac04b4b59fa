#include "chanlink/Messages.h"

#include <algorithm>

namespace d4 {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }

bool KnownCommand(std::uint8_t code) {
    switch (static_cast<Command>(code)) {
        case Command::Init:
        case Command::OpenChannel:
        case Command::CloseChannel:
        case Command::Credit:
        case Command::CreditRequest:
        case Command::Exit:
        case Command::GetSocketID:
        case Command::Error:
            return true;
    }
    return false;
}

// Payload size of each command and reply, the code and result bytes
// included; 0 for the variable-size GetSocketID forms.
std::size_t FixedSize(Command c, bool reply) {
    switch (c) {
        case Command::Init:
            return reply ? 3 : 2;
        case Command::OpenChannel:
            return reply ? 10 : 7;
        case Command::CloseChannel:
            return reply ? 4 : 3;
        case Command::Credit:
            return reply ? 4 : 5;
        case Command::CreditRequest:
            return reply ? 6 : 5;
        case Command::Exit:
            return reply ? 2 : 1;
        case Command::GetSocketID:
            return 0;
        case Command::Error:
            return 4;
    }
    return 0;
}

bool ValidServiceName(const std::string& name) {
    if (name.empty() || name.size() > kMaxServiceName) return false;
    return std::all_of(name.begin(), name.end(), [](char ch) { return ch > 0x20 && ch < 0x7F; });
}

}  // namespace

std::vector<std::uint8_t> EncodeTransaction(const Transaction& t) {
    std::vector<std::uint8_t> out;
    out.reserve(12 + t.service.size());
    out.push_back(static_cast<std::uint8_t>(static_cast<std::uint8_t>(t.command) | (t.reply ? kReplyBit : 0)));
    if (t.reply) out.push_back(t.result);
    switch (t.command) {
        case Command::Init:
            out.push_back(t.revision);
            break;
        case Command::OpenChannel:
            out.push_back(t.psid);
            out.push_back(t.ssid);
            Put16(out, t.maxHostToPrinter);
            Put16(out, t.maxPrinterToHost);
            if (t.reply) Put16(out, t.credit);
            break;
        case Command::CloseChannel:
            out.push_back(t.psid);
            out.push_back(t.ssid);
            break;
        case Command::Credit:
            out.push_back(t.psid);
            out.push_back(t.ssid);
            if (!t.reply) Put16(out, t.credit);
            break;
        case Command::CreditRequest:
            out.push_back(t.psid);
            out.push_back(t.ssid);
            Put16(out, t.credit);
            break;
        case Command::Exit:
            break;
        case Command::GetSocketID:
            if (t.reply) out.push_back(t.socket);
            for (char ch : t.service) out.push_back(static_cast<std::uint8_t>(ch));
            break;
        case Command::Error:
            out.push_back(t.psid);
            out.push_back(t.ssid);
            out.push_back(t.errorCode);
            break;
    }
    return out;
}

CodecError DecodeTransaction(const std::uint8_t* data, std::size_t n, Transaction& out) {
    if (n == 0) return CodecError::MalformedCommand;
    const std::uint8_t code = data[0] & static_cast<std::uint8_t>(~kReplyBit);
    if (!KnownCommand(code)) return CodecError::UnknownCommand;
    Transaction t;
    t.command = static_cast<Command>(code);
    t.reply = (data[0] & kReplyBit) != 0;
    if (t.command == Command::Error && t.reply) return CodecError::UnknownCommand;

    const std::size_t fixed = FixedSize(t.command, t.reply);
    if (fixed != 0 && n != fixed) return CodecError::MalformedCommand;
    std::size_t i = 1;
    if (t.reply) {
        if (n < 2) return CodecError::MalformedCommand;
        t.result = data[i++];
    }
    switch (t.command) {
        case Command::Init:
            t.revision = data[i];
            break;
        case Command::OpenChannel:
            t.psid = data[i];
            t.ssid = data[i + 1];
            t.maxHostToPrinter = Get16(data + i + 2);
            t.maxPrinterToHost = Get16(data + i + 4);
            if (t.reply) t.credit = Get16(data + i + 6);
            break;
        case Command::CloseChannel:
            t.psid = data[i];
            t.ssid = data[i + 1];
            break;
        case Command::Credit:
        case Command::CreditRequest:
            t.psid = data[i];
            t.ssid = data[i + 1];
            if (!(t.command == Command::Credit && t.reply)) t.credit = Get16(data + i + 2);
            break;
        case Command::Exit:
            break;
        case Command::GetSocketID:
            if (t.reply) {
                if (n < 3) return CodecError::MalformedCommand;
                t.socket = data[i++];
            }
            t.service.assign(reinterpret_cast<const char*>(data + i), n - i);
            // A refusal may come back without a name; a request never does.
            if (!(t.reply && t.service.empty()) && !ValidServiceName(t.service)) return CodecError::MalformedCommand;
            break;
        case Command::Error:
            t.psid = data[i];
            t.ssid = data[i + 1];
            t.errorCode = data[i + 2];
            break;
    }
    out = std::move(t);
    return CodecError::None;
}

std::vector<std::uint8_t> EncodeControl(const ControlMessage& m) {
    std::vector<std::uint8_t> out;
    out.reserve(2 + kStatusRecordSize);
    out.push_back(static_cast<std::uint8_t>(static_cast<std::uint8_t>(m.op) | (m.reply ? kReplyBit : 0)));
    if (m.reply) out.push_back(m.result);
    switch (m.op) {
        case ControlOp::ReadEeprom:
            out.push_back(m.address);
            if (m.reply) out.push_back(m.value);
            break;
        case ControlOp::WriteEeprom:
            out.push_back(m.address);
            out.push_back(m.value);
            break;
        case ControlOp::Status:
            if (m.reply) out.insert(out.end(), m.record.begin(), m.record.end());
            break;
    }
    return out;
}

CodecError DecodeControl(const std::uint8_t* data, std::size_t n, ControlMessage& out) {
    if (n == 0) return CodecError::MalformedCommand;
    const std::uint8_t code = data[0] & static_cast<std::uint8_t>(~kReplyBit);
    ControlMessage m;
    m.reply = (data[0] & kReplyBit) != 0;
    std::size_t expected = 0;
    switch (static_cast<ControlOp>(code)) {
        case ControlOp::ReadEeprom:
            expected = m.reply ? 4 : 2;
            break;
        case ControlOp::WriteEeprom:
            expected = m.reply ? 4 : 3;
            break;
        case ControlOp::Status:
            expected = m.reply ? 2 + kStatusRecordSize : 1;
            break;
        default:
            return CodecError::UnknownCommand;
    }
    if (n != expected) return CodecError::MalformedCommand;
    m.op = static_cast<ControlOp>(code);
    std::size_t i = 1;
    if (m.reply) m.result = data[i++];
    switch (m.op) {
        case ControlOp::ReadEeprom:
        case ControlOp::WriteEeprom:
            m.address = data[i];
            if (n > i + 1) m.value = data[i + 1];
            break;
        case ControlOp::Status:
            if (m.reply) std::copy(data + i, data + i + kStatusRecordSize, m.record.begin());
            break;
    }
    out = m;
    return CodecError::None;
}

}  // namespace d4
