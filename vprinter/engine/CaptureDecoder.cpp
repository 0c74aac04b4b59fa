#include "vprinter/engine/CaptureDecoder.h"

#include <cctype>
#include <cstdio>
#include <sstream>

#include "chanlink/Capture.h"
#include "chanlink/Messages.h"
#include "chanlink/Packet.h"
#include "vprinter/engine/JobDecoder.h"

namespace vp {

namespace {

std::string Hex(unsigned value, int digits = 2) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

std::string Bytes(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    for (std::uint8_t b : bytes) text += (text.empty() ? "" : " ") + Hex(b);
    return text;
}

const char* FactoryName(std::uint8_t code) {
    switch (code) {
        case 0x00:
            return "SetBidValue";
        case 0x04:
            return "SetPFValue";
        case 0x50:
            return "ApplySettings";
        case 0x81:
            return "CarriageHome";
        case 0x82:
            return "StartExchangeSequence";
        case 0x84:
            return "StartCleaning";
        case 0xC4:
            return "MoveCarriage";
        case 0xC5:
            return "CommandC5";
        case 0xCF:
            return "MeasureCRDrive";
        case 0xD1:
            return "CommandD1";
        case 0xF1:
            return "CommandF1";
        case 0xF2:
            return "CommandF2";
        default:
            return "factory";
    }
}

const char* CommandName(d4::Command command) {
    switch (command) {
        case d4::Command::Init:
            return "Init";
        case d4::Command::OpenChannel:
            return "OpenChannel";
        case d4::Command::CloseChannel:
            return "CloseChannel";
        case d4::Command::Credit:
            return "Credit";
        case d4::Command::CreditRequest:
            return "CreditRequest";
        case d4::Command::Exit:
            return "Exit";
        case d4::Command::GetSocketID:
            return "GetSocketID";
        default:
            return "Error";
    }
}

}  // namespace

// Writes job events as lines; text bytes are gathered into one quoted line
// and the lines of a raster block into one summary.
class CaptureDecoder::JobPrinter : public JobVisitor {
public:
    std::ostream* out = nullptr;
    JobDecoder decoder;

    void Flush() {
        if (text_.empty()) return;
        std::string text;
        text.swap(text_);
        *out << "    text \"" << text << "\"\n";
    }
    void OnReset() override { Line("ESC @ reset"); }
    void OnGraphicsMode(int mode) override { Line("ESC ( G graphics mode " + std::to_string(mode)); }
    void OnUnit(const UnitSetting& u) override {
        if (u.page == u.vertical && u.vertical == u.horizontal && u.base == 3600)
            Line("ESC ( U unit " + std::to_string(u.page) + "/3600 inch");
        else
            Line("ESC ( U units page " + std::to_string(u.page) + ", vertical " + std::to_string(u.vertical) +
                 ", horizontal " + std::to_string(u.horizontal) + " per " + std::to_string(u.base) + " inch");
    }
    void OnDirection(int mode) override { Line("ESC U direction " + std::to_string(mode)); }
    void OnDotSize(std::uint8_t size) override { Line("ESC ( e dot size 0x" + Hex(size)); }
    void OnColorMode(int mode) override { Line("ESC ( K colour mode " + std::to_string(mode)); }
    void OnVerticalMove(int amount) override { Line("ESC ( v vertical move " + std::to_string(amount)); }
    void OnHorizontalMove(int amount) override { Line("ESC \\ horizontal move " + std::to_string(amount)); }
    void OnResolution(const RasterResolution& r) override {
        Line("ESC ( D resolution " + std::to_string(r.base) + " dpi, pitch " + std::to_string(r.vertical) + " x " +
             std::to_string(r.horizontal));
    }
    void OnRasterBegin(const RasterHeader& h) override {
        Line(std::string("ESC i raster ") + ColorName(h.color) + ", compression " + std::to_string(h.compression) +
             ", " + std::to_string(h.bitsPerPixel) + " bits per pixel, " + std::to_string(h.bytesPerLine) +
             " bytes x " + std::to_string(h.lines) + " lines");
        inked_ = 0;
    }
    void OnRasterLine(int, const std::uint8_t* data, std::size_t n) override {
        for (std::size_t i = 0; i < n; ++i) inked_ += data[i] != 0;
    }
    void OnRasterEnd() override { Line("  raster block complete, " + std::to_string(inked_) + " inked bytes"); }
    void OnLineReturn() override { Line("ESC < one-line unidirectional"); }
    void OnCarriageReturn() override { Line("CR"); }
    void OnLineFeed() override { Line("LF"); }
    void OnFormFeed() override { Line("FF eject page"); }
    void OnText(std::uint8_t byte) override {
        if (byte < 0x80)
            text_ += static_cast<char>(byte);
        else
            text_ += "\\x" + Hex(byte);
    }
    void OnRemoteEnter() override { Line("ESC ( R enter remote mode"); }
    void OnRemoteExit() override { Line("exit remote mode"); }
    void OnRemoteCommand(const RemoteCommand& c) override {
        Line(std::string("remote ") + c.name + (c.params.empty() ? "" : " " + Bytes(c.params)));
    }
    void OnFactory(const FactoryPacket& p) override {
        Line(std::string("factory ") + FactoryName(p.code) + " (" + Hex(p.code) + ")" +
             (p.params.empty() ? "" : " " + Bytes(p.params)));
    }
    void OnError(const std::string& reason) override { Line("ERROR " + reason); }

private:
    void Line(const std::string& text) {
        Flush();
        *out << "    " << text << '\n';
    }
    std::string text_;
    std::uint64_t inked_ = 0;
};

CaptureDecoder::CaptureDecoder() : job_(std::make_unique<JobPrinter>()) {}
CaptureDecoder::~CaptureDecoder() = default;

void CaptureDecoder::Packet(std::uint64_t micros, int direction, const std::uint8_t* data, std::size_t n,
                            std::ostream& out) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%10.6f", static_cast<double>(micros) / 1e6);
    out << stamp << (direction == 0 ? " host->printer " : " printer->host ");
    if (n < d4::kHeaderSize) {
        out << n << " bytes, too short for a packet header\n";
        return;
    }
    const d4::Header h = d4::DecodeHeader(data);
    out << "socket " << int(h.psid) << "/" << int(h.ssid) << ", length " << h.length << ", credit " << int(h.credit);
    if (h.length != n) out << " (record holds " << n << " bytes)";
    out << '\n';
    const std::uint8_t* payload = data + d4::kHeaderSize;
    const std::size_t size = n - d4::kHeaderSize;
    if (h.psid == d4::kTransactionSocket && h.ssid == d4::kTransactionSocket)
        Transaction(payload, size, out);
    else if (h.psid == d4::kControlSocket)
        Control(payload, size, out);
    else if (h.psid == d4::kDataSocket && direction == 0)
        PrintData(payload, size, out);
    else if (size > 0)
        out << "    " << size
            << " bytes: " << Bytes(std::vector<std::uint8_t>(payload, payload + std::min<std::size_t>(size, 32)))
            << (size > 32 ? " ..." : "") << '\n';
}

void CaptureDecoder::Transaction(const std::uint8_t* payload, std::size_t n, std::ostream& out) {
    d4::Transaction t;
    const d4::CodecError error = d4::DecodeTransaction(payload, n, t);
    if (error != d4::CodecError::None) {
        out << "    transaction: " << d4::Describe(error) << '\n';
        return;
    }
    out << "    " << CommandName(t.command) << (t.reply ? " reply" : "");
    if (t.reply) out << " result " << int(t.result);
    switch (t.command) {
        case d4::Command::Init:
            out << " revision " << Hex(t.revision);
            break;
        case d4::Command::OpenChannel:
            out << " socket " << int(t.psid) << "/" << int(t.ssid) << " max " << t.maxHostToPrinter << "/"
                << t.maxPrinterToHost;
            if (t.reply) out << " credit " << t.credit;
            break;
        case d4::Command::CloseChannel:
            out << " socket " << int(t.psid) << "/" << int(t.ssid);
            break;
        case d4::Command::Credit:
        case d4::Command::CreditRequest:
            out << " socket " << int(t.psid) << "/" << int(t.ssid) << " credit " << t.credit;
            break;
        case d4::Command::GetSocketID:
            out << " \"" << t.service << "\"";
            if (t.reply) out << " -> socket " << int(t.socket);
            break;
        case d4::Command::Error:
            out << " code " << int(t.errorCode);
            break;
        default:
            break;
    }
    out << '\n';
}

void CaptureDecoder::Control(const std::uint8_t* payload, std::size_t n, std::ostream& out) {
    d4::ControlMessage m;
    const d4::CodecError error = d4::DecodeControl(payload, n, m);
    if (error != d4::CodecError::None) {
        out << "    control: " << d4::Describe(error) << '\n';
        return;
    }
    out << "    ";
    switch (m.op) {
        case d4::ControlOp::ReadEeprom:
            out << "EEPROM read " << Hex(m.address);
            if (m.reply) out << " -> " << Hex(m.value) << " result " << int(m.result);
            break;
        case d4::ControlOp::WriteEeprom:
            out << "EEPROM write " << Hex(m.address) << " <- " << Hex(m.value);
            if (m.reply) out << " result " << int(m.result);
            break;
        case d4::ControlOp::Status:
            out << "status";
            if (m.reply)
                out << " -> state " << int(m.record[0]) << ", error " << int(m.record[1]) << ", result "
                    << int(m.result);
            break;
    }
    out << '\n';
}

void CaptureDecoder::PrintData(const std::uint8_t* payload, std::size_t n, std::ostream& out) {
    job_->out = &out;
    out << "    print data, " << n << " bytes\n";
    if (job_->decoder.Failed()) return;  // everything after a refusal is unreadable
    job_->decoder.Feed(payload, n, *job_);
    job_->Flush();
}

void CaptureDecoder::Finish(std::ostream& out) {
    job_->out = &out;
    job_->decoder.Finish(*job_);
    job_->Flush();
}

bool DecodeCaptureFile(const std::string& path, std::ostream& out, std::string* error) {
    d4::CaptureReader reader;
    if (!reader.Open(path)) {
        if (error) *error = reader.Error();
        return false;
    }
    CaptureDecoder decoder;
    d4::CaptureRecord record;
    while (reader.Next(record))
        decoder.Packet(record.micros, static_cast<int>(record.direction), record.bytes.data(), record.bytes.size(),
                       out);
    decoder.Finish(out);
    if (!reader.Error().empty()) {
        if (error) *error = reader.Error();
        return false;
    }
    return true;
}

}  // namespace vp

namespace vp {

namespace {

// "HH HH ..." of a data line into bytes; false on anything else.
bool ParseHex(const std::string& text, std::vector<std::uint8_t>& bytes) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        if (i + 2 > text.size() || !std::isxdigit(static_cast<unsigned char>(text[i])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 1])))
            return false;
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return true;
}

// One item of a readable data line: its bytes, 16 to a line, and what they are.
void WriteItem(std::ostream& out, const std::uint8_t* data, std::size_t n, const std::string& what) {
    constexpr std::size_t kPerLine = 16;
    constexpr std::size_t kHexWidth = kPerLine * 3 - 1;
    std::size_t at = 0;
    do {
        std::string hex;
        for (std::size_t i = at; i < n && i < at + kPerLine; ++i) hex += (hex.empty() ? "" : " ") + Hex(data[i]);
        out << "  " << hex;
        if (at == 0 && !what.empty()) out << std::string(kHexWidth - hex.size() + 2, ' ') << what;
        out << '\n';
        at += kPerLine;
    } while (at < n);
}

}  // namespace

std::string ReadableTranscript(const std::string& transcript) {
    // Passes every event on to the capture decoder's job printer and pauses
    // the decoder after it, so that the bytes of each event are known.
    struct Stepper : JobVisitor {
        CaptureDecoder::JobPrinter& printer;
        std::vector<std::string> extra;  // what the printer does not write a line for
        bool event = false;
        explicit Stepper(CaptureDecoder::JobPrinter& p) : printer(p) {}
        void Mark() { event = true; }
        void OnReset() override { printer.OnReset(), Mark(); }
        void OnGraphicsMode(int m) override { printer.OnGraphicsMode(m), Mark(); }
        void OnUnit(const UnitSetting& u) override { printer.OnUnit(u), Mark(); }
        void OnDirection(int m) override { printer.OnDirection(m), Mark(); }
        void OnDotSize(std::uint8_t s) override { printer.OnDotSize(s), Mark(); }
        void OnColorMode(int m) override { printer.OnColorMode(m), Mark(); }
        void OnVerticalMove(int a) override { printer.OnVerticalMove(a), Mark(); }
        void OnHorizontalMove(int a) override { printer.OnHorizontalMove(a), Mark(); }
        void OnResolution(const RasterResolution& r) override { printer.OnResolution(r), Mark(); }
        void OnRasterBegin(const RasterHeader& h) override { printer.OnRasterBegin(h), Mark(); }
        void OnRasterLine(int index, const std::uint8_t* data, std::size_t n) override {
            printer.OnRasterLine(index, data, n);
            extra.push_back("raster line " + std::to_string(index));
            Mark();
        }
        void OnRasterEnd() override { printer.OnRasterEnd(), Mark(); }
        void OnLineReturn() override { printer.OnLineReturn(), Mark(); }
        void OnCarriageReturn() override { printer.OnCarriageReturn(), Mark(); }
        void OnLineFeed() override { printer.OnLineFeed(), Mark(); }
        void OnFormFeed() override { printer.OnFormFeed(), Mark(); }
        void OnText(std::uint8_t b) override { printer.OnText(b), Mark(); }
        // A run of text is one item.
        std::size_t OnTextRun(const std::uint8_t* data, std::size_t n) override {
            for (std::size_t i = 0; i < n; ++i) printer.OnText(data[i]);
            Mark();
            return n;
        }
        void OnRemoteEnter() override { printer.OnRemoteEnter(), Mark(); }
        void OnRemoteCommand(const RemoteCommand& c) override { printer.OnRemoteCommand(c), Mark(); }
        void OnRemoteExit() override { printer.OnRemoteExit(), Mark(); }
        void OnFactory(const FactoryPacket& p) override { printer.OnFactory(p), Mark(); }
        void OnError(const std::string& r) override { printer.OnError(r), Mark(); }
        bool Paused() const override { return event; }
    };

    CaptureDecoder::JobPrinter printer;
    std::ostringstream said;
    printer.out = &said;
    Stepper stepper(printer);
    // What the printer said since the last item, as one description.
    auto description = [&] {
        printer.Flush();
        std::string lines = said.str(), text;
        said.str({});
        std::istringstream in(lines);
        for (std::string line; std::getline(in, line);) {
            const std::size_t start = line.find_first_not_of(' ');
            if (start == std::string::npos) continue;
            text += (text.empty() ? "" : "; ") + line.substr(start);
        }
        for (const std::string& e : stepper.extra) text += (text.empty() ? "" : "; ") + e;
        stepper.extra.clear();
        return text;
    };

    std::ostringstream out;
    std::istringstream in(transcript);
    bool continued = false;  // the last send ended inside a command
    for (std::string line; std::getline(in, line);) {
        std::string head;
        if (line.rfind("data ", 0) == 0)
            head = "data ";
        else if (line.rfind("refused data ", 0) == 0)
            head = "refused data ";
        std::vector<std::uint8_t> bytes;
        std::size_t count = 0;
        if (!head.empty()) {
            const std::string rest = line.substr(head.size());
            const std::size_t space = rest.find(' ');
            const std::string number = rest.substr(0, space);
            const bool numeric = !number.empty() && number.find_first_not_of("0123456789") == std::string::npos;
            if (numeric) count = std::stoul(number);
            if (!numeric || !ParseHex(space == std::string::npos ? "" : rest.substr(space + 1), bytes) ||
                bytes.size() != count)
                head.clear();  // not a data line this reader knows: kept as it is
        }
        if (head.empty() || head == "refused data ") {
            // Refused bytes never reached the printer: shown, not decoded.
            if (head.empty()) {
                out << line << '\n';
            } else {
                out << head << count << '\n';
                if (count) WriteItem(out, bytes.data(), bytes.size(), "refused, not decoded");
            }
            continue;
        }
        out << "data " << count << '\n';
        std::size_t at = 0;
        int idle = 0;  // events in a row that took no byte
        while (at < bytes.size()) {
            if (printer.decoder.Failed()) {
                WriteItem(out, bytes.data() + at, bytes.size() - at, "undecoded (the decoder stopped above)");
                break;
            }
            stepper.event = false;
            const std::size_t took = printer.decoder.Feed(bytes.data() + at, bytes.size() - at, stepper);
            if (!stepper.event) {
                // The send ends inside a command: the next one completes it.
                WriteItem(out, bytes.data() + at, bytes.size() - at,
                          printer.decoder.Failed() ? description() : "continues in the next send");
                continued = !printer.decoder.Failed();
                break;
            }
            std::string what = description();
            if (continued) what = "(completes the command above) " + what;
            continued = false;
            if (took == 0 && ++idle > 8) {
                WriteItem(out, bytes.data() + at, bytes.size() - at, "undecoded (the decoder took no byte)");
                break;
            }
            if (took) idle = 0;
            if (took == 0 && !what.empty())
                out << "  " << std::string(47, ' ') << "  " << what << '\n';
            else
                WriteItem(out, bytes.data() + at, took, what);
            at += took;
        }
    }
    return out.str();
}

}  // namespace vp
