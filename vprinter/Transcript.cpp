#include "vprinter/Transcript.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "chanlink/Capture.h"
#include "chanlink/Messages.h"
#include "chanlink/Packet.h"

namespace vp {

namespace {

std::string Hex2(unsigned value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
    return text;
}

// Follows the conversation: which sockets the services live on, how much a
// print-data packet carries, and the send in progress.
class TranscriptBuilder {
public:
    void HostPacket(const std::uint8_t* data, std::size_t n) {
        if (n < d4::kHeaderSize) return EndSend();
        const d4::Header h = d4::DecodeHeader(data);
        // A packet cut short (a port reset in the middle of it) reached no one.
        if (h.length != n) return EndSend();
        const std::uint8_t* payload = data + d4::kHeaderSize;
        const std::size_t size = n - d4::kHeaderSize;
        if (h.psid == d4::kTransactionSocket) {
            d4::Transaction t;
            if (d4::DecodeTransaction(payload, size, t) != d4::CodecError::None) return EndSend();
            if (t.command == d4::Command::GetSocketID) askedService_ = t.service;
            // Credit is how a long send waits between its runs of packets.
            if (t.command == d4::Command::Credit || t.command == d4::Command::CreditRequest) return;
            return EndSend();
        }
        if (h.psid == dataSocket_) {
            send_.insert(send_.end(), payload, payload + size);
            sending_ = true;
            if (size < perPacket_) EndSend();
            return;
        }
        EndSend();
        if (h.psid != controlSocket_) return;
        d4::ControlMessage m;
        if (d4::DecodeControl(payload, size, m) != d4::CodecError::None || m.reply) return;
        switch (m.op) {
            case d4::ControlOp::ReadEeprom:
                text_ += "eeprom_read " + Hex2(m.address) + "\n";
                break;
            case d4::ControlOp::WriteEeprom:
                text_ += "eeprom_write " + Hex2(m.address) + " " + Hex2(m.value) + "\n";
                break;
            case d4::ControlOp::Status:
                text_ += "status\n";
                break;
        }
    }

    void PrinterPacket(const std::uint8_t* data, std::size_t n) {
        if (n < d4::kHeaderSize) return;
        const d4::Header h = d4::DecodeHeader(data);
        if (h.length != n || h.psid != d4::kTransactionSocket) return;
        d4::Transaction t;
        if (d4::DecodeTransaction(data + d4::kHeaderSize, n - d4::kHeaderSize, t) != d4::CodecError::None || !t.reply ||
            t.result != d4::result::Ok)
            return;
        if (t.command == d4::Command::GetSocketID) {
            if (askedService_ == d4::kDataService) dataSocket_ = t.socket;
            if (askedService_ == d4::kControlService) controlSocket_ = t.socket;
        } else if (t.command == d4::Command::OpenChannel && t.psid == dataSocket_ &&
                   t.maxHostToPrinter > d4::kHeaderSize) {
            perPacket_ = t.maxHostToPrinter - d4::kHeaderSize;
        }
    }

    void EndSend() {
        if (!sending_) return;
        text_ += "data " + std::to_string(send_.size());
        for (std::uint8_t b : send_) text_ += " " + Hex2(b);
        text_ += "\n";
        send_.clear();
        sending_ = false;
    }

    std::string Take() {
        EndSend();
        return std::move(text_);
    }

private:
    std::uint8_t dataSocket_ = d4::kDataSocket;
    std::uint8_t controlSocket_ = d4::kControlSocket;
    std::size_t perPacket_ = d4::kDataMaxPacket - d4::kHeaderSize;
    std::string askedService_;
    std::vector<std::uint8_t> send_;
    bool sending_ = false;
    std::string text_;
};

Transcript Read(d4::CaptureReader& reader) {
    TranscriptBuilder builder;
    d4::CaptureRecord record;
    while (reader.Next(record)) {
        if (record.direction == d4::Direction::HostToPrinter)
            builder.HostPacket(record.bytes.data(), record.bytes.size());
        else
            builder.PrinterPacket(record.bytes.data(), record.bytes.size());
    }
    Transcript t;
    t.text = builder.Take();
    t.error = reader.Error();
    return t;
}

}  // namespace

Transcript TranscriptOf(const std::vector<std::uint8_t>& capture) {
    d4::CaptureReader reader;
    if (!reader.Load(capture)) return Transcript{{}, reader.Error().empty() ? "not a capture" : reader.Error()};
    return Read(reader);
}

Transcript TranscriptOfFile(const std::string& path) {
    d4::CaptureReader reader;
    if (!reader.Open(path)) return Transcript{{}, reader.Error().empty() ? "cannot read " + path : reader.Error()};
    return Read(reader);
}

Transcript RawTranscript(const std::string& readable) {
    Transcript result;
    std::istringstream in(readable);
    std::string line;
    bool have = static_cast<bool>(std::getline(in, line));
    int lineNo = 1;
    while (have) {
        std::string head;
        if (line.rfind("data ", 0) == 0)
            head = "data ";
        else if (line.rfind("refused data ", 0) == 0)
            head = "refused data ";
        const std::string count = head.empty() ? std::string() : line.substr(head.size());
        const bool bare = !count.empty() && count.find_first_not_of("0123456789") == std::string::npos;
        if (!bare) {
            result.text += line + '\n';
            have = static_cast<bool>(std::getline(in, line));
            ++lineNo;
            continue;
        }
        // "data N" and its item lines.
        const int headLine = lineNo;
        std::string hex;
        std::size_t bytes = 0;
        bool bad = false;
        while ((have = static_cast<bool>(std::getline(in, line)))) {
            ++lineNo;
            if (line.rfind("  ", 0) != 0) break;
            const std::string column = line.substr(2, 47);
            for (std::size_t i = 0; i < column.size();) {
                if (column[i] == ' ') {
                    ++i;
                    continue;
                }
                if (i + 1 >= column.size() || !std::isxdigit(static_cast<unsigned char>(column[i])) ||
                    !std::isxdigit(static_cast<unsigned char>(column[i + 1])) ||
                    (i + 2 < column.size() && column[i + 2] != ' ')) {
                    bad = true;
                    break;
                }
                hex += ' ';
                hex += static_cast<char>(std::toupper(static_cast<unsigned char>(column[i])));
                hex += static_cast<char>(std::toupper(static_cast<unsigned char>(column[i + 1])));
                ++bytes;
                i += 2;
            }
        }
        if (bad || std::to_string(bytes) != count) {
            if (result.error.empty())
                result.error = "line " + std::to_string(headLine) + ": " + head + count + " is followed by " +
                               (bad ? std::string("a column that is not hex") : std::to_string(bytes) + " bytes");
        }
        result.text += head + count + hex + '\n';
    }
    return result;
}

std::string CompareWithGolden(const std::string& dir, const std::string& name, const std::string& actual) {
    namespace fs = std::filesystem;
    const fs::path path = fs::path(dir) / name;
    const char* update = std::getenv("SVC_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::error_code ec;
        fs::create_directories(path.parent_path(), ec);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << actual;
        out.close();
        if (!out) return "cannot write golden file " + path.string();
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return "no golden file " + path.string() + " (run with SVC_UPDATE_GOLDEN=1 to write it)";
    std::ostringstream buffer;
    buffer << in.rdbuf();
    const Transcript golden = RawTranscript(buffer.str());
    if (!golden.Ok()) return path.string() + ": " + golden.error;
    const std::string& expected = golden.text;
    if (expected == actual) return {};
    std::istringstream a(actual), e(expected);
    std::string la, le;
    for (int line = 1;; ++line) {
        const bool ha = static_cast<bool>(std::getline(a, la));
        const bool he = static_cast<bool>(std::getline(e, le));
        if (!ha && !he) break;
        if (ha != he || la != le) {
            auto cut = [](const std::string& s) { return s.size() > 120 ? s.substr(0, 120) + "..." : s; };
            return path.string() + " differs at line " + std::to_string(line) +
                   " of its plain form (one line per call):\n  expected: " + (he ? cut(le) : "(end)") +
                   "\n  actual:   " + (ha ? cut(la) : "(end)") + "\n(run with SVC_UPDATE_GOLDEN=1 to rewrite it)";
        }
    }
    return path.string() + " differs (line endings)";
}

}  // namespace vp
