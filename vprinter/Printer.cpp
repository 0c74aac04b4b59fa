#include "vprinter/Printer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "chanlink/Messages.h"
#include "chanlink/Packet.h"
#include "chanlink/PrinterEndpoint.h"

namespace vp {

namespace {

// Time is handed to the engine and the input buffer in slices this long, so a
// long Advance() behaves like many short ones.
constexpr std::uint64_t kSliceUs = 10000;  // printing advances in steps of at most 10 ms

// Ink levels of a printer that has printed for a while.
constexpr std::array<int, kInkCount> kInitialInk = {92, 71, 64, 88, 55, 47, 80};

const char* StateName(std::uint8_t state) {
    switch (state) {
        case kStateError:
            return "error";
        case kStateBusy:
            return "busy";
        case kStatePrinting:
            return "printing";
        case kStateReady:
            return "ready";
        case kStateCleaning:
            return "cleaning";
        case kStateBeforeInkCharge:
            return "before initial ink charge";
        default:
            return "other";
    }
}

}  // namespace

const char* ModelName(int modelCode) {
    switch (modelCode) {
        case 1:
            return "Corvid Lumen 4100";
        case 2:
            return "Corvid Lumen 4200";
        default:
            return "";
    }
}

// What the channel endpoint asks of the printer.
class Printer::Services : public d4::PrinterServices {
public:
    explicit Services(Printer& printer) : p_(printer) {}

    bool ReadEeprom(std::uint8_t address, std::uint8_t& value) override {
        ++p_.counters_.eepromReads;
        value = p_.eeprom_.Get(address);
        return true;
    }

    bool WriteEeprom(std::uint8_t address, std::uint8_t value) override {
        ++p_.counters_.eepromWrites;
        const std::uint8_t before = p_.eeprom_.Get(address);
        if (before == value) return true;
        p_.StoreEeprom(address, value);
        if (p_.eepromCommit_ && !p_.eepromCommit_()) {
            p_.eeprom_.Set(address, before);
            p_.Log("EEPROM write refused: the byte could not be committed");
            return false;
        }
        return true;
    }

    void FillStatus(std::uint8_t* record, std::size_t size) override {
        ++p_.counters_.statusInquiries;
        const StatusRecord status = p_.Status();
        std::memset(record, 0, size);
        std::memcpy(record, status.data(), std::min(size, status.size()));
    }

    std::size_t DataSpace() const override {
        const std::size_t space = p_.FreeSpace();
        if (space == 0) ++p_.counters_.noSpaceAnswers;
        return space;
    }

    void AcceptData(const std::uint8_t* data, std::size_t n) override {
        // The channel only sends what DataSpace allowed; should a peer send
        // more, the bytes are still kept rather than lost.
        if (n > p_.FreeSpace()) p_.Log("print data beyond the free buffer space kept anyway");
        p_.buffer_.Append(data, n);
        p_.counters_.dataAccepted += n;
        // Without a speed limit the bytes go on to printing at once, so the
        // room they took is free again for the host's next credit request.
        if (p_.Unlimited()) p_.DrainFor(0);
    }

private:
    Printer& p_;
};

Printer::Printer(const Options& options, const Eeprom& eeprom, Engine* engine)
    : options_(options), eeprom_(eeprom), startupEeprom_(eeprom), engine_(engine), inkLevels_(kInitialInk) {
    if (options.model != 1 && options.model != 2)
        throw std::invalid_argument("unknown printer model code " + std::to_string(options.model));
    if (options.bufferCapacity == 0) throw std::invalid_argument("the input buffer needs room for at least one byte");
    inkConditions_.fill(InkCondition::Level);
    services_ = std::make_unique<Services>(*this);
    endpoint_ = std::make_unique<d4::PrinterEndpoint>(*services_);
}

Printer::~Printer() = default;

std::string Printer::ModelName() const { return vp::ModelName(options_.model); }

std::string Printer::DeviceId() const {
    const std::string text = "MFG:Corvid;MDL:" + ModelName() + ";CLS:PRINTER;CMD:D4,REMOTE1;";
    const std::size_t length = text.size() + 2;
    std::string raw;
    raw += static_cast<char>(length >> 8);
    raw += static_cast<char>(length & 0xFF);
    return raw + text;
}

// ---- the port ----

void Printer::Connect() {
    ++counters_.connections;
    linkDropped_ = false;
    endpoint_->Reset();
    ResetPacketSplitter();
}

void Printer::Disconnect() {
    endpoint_->Reset();
    ResetPacketSplitter();
}

bool Printer::ChannelFailed() const { return endpoint_->Failed(); }

d4::PrinterServices& Printer::ChannelServices() { return *services_; }

std::vector<std::uint8_t> Printer::HostBytes(const std::uint8_t* data, std::size_t n) {
    std::vector<std::uint8_t> reply;
    if (!powered_ || linkDropped_) return reply;
    std::size_t i = 0;
    while (i < n && !linkDropped_) {
        if (splitterLost_) {
            // The channel has already rejected the stream; it sees the rest as is.
            const std::vector<std::uint8_t> r = endpoint_->Receive(data + i, n - i);
            reply.insert(reply.end(), r.begin(), r.end());
            i = n;
            break;
        }
        // A whole packet that arrived in one piece is handled where it lies.
        if (packet_.empty() && n - i >= d4::kHeaderSize) {
            const std::size_t length = static_cast<std::size_t>(data[i + 2]) << 8 | data[i + 3];
            if (length >= d4::kHeaderSize && length <= n - i) {
                HostPacket(data + i, length, reply);
                i += length;
                continue;
            }
        }
        // Header first, then as much of the payload as has arrived.
        std::size_t want = d4::kHeaderSize - std::min(packet_.size(), d4::kHeaderSize);
        if (want == 0) want = (static_cast<std::size_t>(packet_[2]) << 8 | packet_[3]) - packet_.size();
        const std::size_t take = std::min(want, n - i);
        packet_.insert(packet_.end(), data + i, data + i + take);
        i += take;
        if (packet_.size() < d4::kHeaderSize) continue;
        const std::size_t length = static_cast<std::size_t>(packet_[2]) << 8 | packet_[3];
        if (length < d4::kHeaderSize) {
            splitterLost_ = true;
            const std::vector<std::uint8_t> r = endpoint_->Receive(packet_.data(), packet_.size());
            reply.insert(reply.end(), r.begin(), r.end());
            packet_.clear();
            continue;
        }
        if (packet_.size() == length) {
            HostPacket(packet_.data(), packet_.size(), reply);
            packet_.clear();
        }
    }
    // Bytes behind the packet that brought the link down never arrive, and
    // the answer to that packet is lost with the link.
    counters_.hostBytes += i;
    if (linkDropped_) reply.clear();
    if (endpoint_->Failed() && !failureLogged_) {
        failureLogged_ = true;
        Log(std::string("channel protocol error: ") + endpoint_->LastError());
    }
    counters_.replyBytes += reply.size();
    return reply;
}

// One whole packet from the host: answered, then counted toward a link drop.
void Printer::HostPacket(const std::uint8_t* packet, std::size_t size, std::vector<std::uint8_t>& reply) {
    ++counters_.hostPackets;
    const std::size_t before = reply.size();
    if (!RefuseCreditRequest(packet, size, reply)) {
        const std::vector<std::uint8_t> r = endpoint_->Receive(packet, size);
        reply.insert(reply.end(), r.begin(), r.end());
    }
    if (packetObserver_) packetObserver_(packet, size, reply.data() + before, reply.size() - before);
    if (dropAfter_ && --*dropAfter_ == 0) DropLinkNow();
}

// While a refusal is pending, the host's next request for print-data credit
// is answered by the printer itself with the refusal as the result byte.
bool Printer::RefuseCreditRequest(const std::uint8_t* packet, std::size_t size, std::vector<std::uint8_t>& reply) {
    if (!refusal_ || endpoint_->Failed()) return false;
    const d4::Header h = d4::DecodeHeader(packet);
    if (h.psid != d4::kTransactionSocket) return false;
    d4::Transaction in;
    if (d4::DecodeTransaction(packet + d4::kHeaderSize, size - d4::kHeaderSize, in) != d4::CodecError::None ||
        in.reply || in.command != d4::Command::CreditRequest || in.psid != d4::kDataSocket)
        return false;
    d4::Transaction r;
    r.command = d4::Command::CreditRequest;
    r.reply = true;
    r.psid = in.psid;
    r.ssid = in.ssid;
    r.result = *refusal_;
    r.credit = 0;
    const std::vector<std::uint8_t> payload = d4::EncodeTransaction(r);
    d4::EncodePacketInto(refusalPacket_, d4::kTransactionSocket, d4::kTransactionSocket, 0, payload.data(),
                         payload.size());
    reply.insert(reply.end(), refusalPacket_.begin(), refusalPacket_.end());
    Log("print-data block refused with detail " + std::to_string(*refusal_));
    refusal_.reset();
    ++counters_.refusedBlocks;
    return true;
}

void Printer::PortReset() {
    if (!powered_) return;
    ++counters_.portResets;
    endpoint_->Reset();
    ResetPacketSplitter();
    DropInput();
    if (engine_) engine_->Reset();
}

void Printer::ResetPacketSplitter() {
    packet_.clear();
    splitterLost_ = false;
    failureLogged_ = false;
}

void Printer::DropLinkNow() {
    dropAfter_.reset();
    linkDropped_ = true;
    Log("link dropped");
}

// ---- time ----

void Printer::Advance(std::uint64_t ms) { AdvanceMicros(ms * 1000); }

void Printer::AdvanceMicros(std::uint64_t us) {
    if (!powered_) {
        nowUs_ += us;
        return;
    }
    if (shutdownUs_ > 0) {
        // Parking for the shutdown: then the power goes and time passes off.
        const std::uint64_t part = std::min(us, shutdownUs_);
        shutdownUs_ -= part;
        nowUs_ += part;
        EngineTime(part);
        if (shutdownUs_ == 0) {
            SetPower(false);
            nowUs_ += us - part;
        }
        return;
    }
    while (us > 0) {
        if (buffer_.empty()) {
            // Nothing to print: the engine may have the whole stretch at once.
            nowUs_ += us;
            drainRemainder_ = 0;
            EngineTime(us);
            return;
        }
        const std::uint64_t step = std::min(us, kSliceUs);
        nowUs_ += step;
        EngineTime(step);
        DrainFor(step);
        us -= step;
    }
    // Without a speed limit, data drains at once, even with no time gone by.
    if (Unlimited() && !buffer_.empty()) DrainFor(0);
}

// The engine counts whole milliseconds; the rest waits for the next call.
void Printer::EngineTime(std::uint64_t us) {
    engineUs_ += us;
    const std::uint64_t ms = engineUs_ / 1000;
    engineUs_ %= 1000;
    if (engine_ && ms > 0) engine_->Advance(ms * speedUp_);
}

void Printer::DrainFor(std::uint64_t us) {
    if (injectedError_ || stuckBusy_ || heldState_) {
        drainRemainder_ = 0;
        return;
    }
    std::size_t budget = buffer_.size();
    if (!Unlimited()) {
        drainRemainder_ += static_cast<std::uint64_t>(options_.bytesPerSecond) * us;
        budget = static_cast<std::size_t>(std::min<std::uint64_t>(drainRemainder_ / 1000000, buffer_.size()));
        drainRemainder_ %= 1000000;
    }
    if (budget == 0) return;
    if (!engine_) {
        KeepReceived(buffer_.data(), budget);
        buffer_.Drop(budget);
        counters_.dataDrained += budget;
        return;
    }
    // The engine takes what its mechanism can, possibly nothing; speed is a
    // ceiling, so budget it does not use is not saved up. It reads the
    // waiting bytes in place: nothing it may call touches the input buffer.
    const std::size_t taken = std::min(engine_->Consume(buffer_.data(), budget), budget);
    buffer_.Drop(taken);
    counters_.dataDrained += taken;
}

// Adds drained bytes to the record of received data; only the newest ones
// that fit under its limit are copied at all.
void Printer::KeepReceived(const std::uint8_t* data, std::size_t n) {
    const std::size_t limit = options_.receivedLogLimit;
    const std::size_t kept = std::min(n, limit);
    if (kept == 0) return;
    received_.insert(received_.end(), data + (n - kept), data + n);
    if (received_.size() > limit)
        received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(received_.size() - limit));
}

void Printer::DropInput() {
    if (!buffer_.empty()) Log("input buffer dropped (" + std::to_string(buffer_.size()) + " bytes)");
    buffer_.Clear();
    drainRemainder_ = 0;
}

// ---- power and faults ----

void Printer::PressPowerButton() {
    if (!powered_) {
        SetPower(true);
        return;
    }
    if (shutdownUs_ > 0) return;
    shutdownUs_ = std::max<std::uint64_t>(1, kShutdownMs * 1000 / speedUp_);
    Log("power button: shutting down");
}

void Printer::SetPower(bool on) {
    shutdownUs_ = 0;
    if (on == powered_) return;
    powered_ = on;
    endpoint_->Reset();
    ResetPacketSplitter();
    if (on) {
        if (engine_) engine_->Reset();
        Log("power on");
    } else {
        DropInput();
        Log("power off");
    }
}

void Printer::SetStuckBusy(bool on) {
    stuckBusy_ = on;
    Log(on ? "stuck busy" : "no longer stuck busy");
}

void Printer::InjectError(std::uint8_t code) {
    injectedError_ = code;
    Log("error " + std::to_string(code) + " injected");
}

void Printer::ClearError() {
    if (injectedError_) Log("error cleared");
    injectedError_.reset();
}

void Printer::HoldState(std::optional<std::uint8_t> state) {
    heldState_ = state;
    Log(state ? "holding state " + std::to_string(*state) : std::string("state released"));
}

void Printer::RefuseNextBlock(std::optional<std::uint8_t> detail) {
    refusal_ = detail;
    if (detail) Log("next print-data block will be refused with detail " + std::to_string(*detail));
}

void Printer::DropLinkAfter(std::optional<std::uint64_t> packets) {
    dropAfter_ = packets;
    if (!packets) return;
    Log("link drops after " + std::to_string(*packets) + " more packets");
    if (*packets == 0) DropLinkNow();
}

void Printer::ClearFaults() {
    stuckBusy_ = false;
    injectedError_.reset();
    heldState_.reset();
    refusal_.reset();
    dropAfter_.reset();
    Log("faults cleared");
}

// ---- status ----

std::uint8_t Printer::State() const {
    if (shutdownUs_ > 0) return kStateBusy;
    if (injectedError_) return kStateError;
    if (stuckBusy_) return kStateBusy;
    if (heldState_) return *heldState_;
    const std::uint8_t idle = buffer_.empty() ? kStateReady : kStatePrinting;
    if (!engine_) return idle;
    const std::uint8_t state = engine_->Status().state;
    // The engine may be idle for a moment while data still waits in the buffer.
    return state == kStateReady ? idle : state;
}

std::uint8_t Printer::ErrorCode() const {
    if (injectedError_) return *injectedError_;
    if (stuckBusy_ || heldState_ || !engine_) return 0;
    const EngineStatus s = engine_->Status();
    return s.state == kStateError ? s.error : 0;
}

StatusRecord Printer::Status() const {
    StatusRecord record{};
    record[0] = State();
    record[1] = ErrorCode();
    for (int ink = 0; ink < kInkCount; ++ink) {
        const std::uint16_t code = InkCode(ink);
        record[14 + 2 * ink] = static_cast<std::uint8_t>(code & 0xFF);
        record[15 + 2 * ink] = static_cast<std::uint8_t>(code >> 8);
    }
    return record;
}

void Printer::SetInkCondition(int ink, InkCondition condition) {
    if (ink < 0 || ink >= kInkCount) return;
    inkConditions_[static_cast<std::size_t>(ink)] = condition;
}

void Printer::InsertCartridges(const std::vector<int>& inks, int percent) {
    bool replaced = false;
    for (int ink : inks) {
        if (ink < 0 || ink >= kInkCount) continue;
        replaced = replaced || InkConditionOf(ink) != InkCondition::Level || percent > InkLevel(ink);
        SetInkCondition(ink, InkCondition::Level);
        SetInkLevel(ink, percent);
    }
    if (replaced) AddToCounter(addr::kReplaceClCount, 2, 1);
}

void Printer::AddToCounter(std::uint8_t address, int width, std::uint64_t amount) {
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i)
        value |= std::uint64_t{eeprom_.Get(static_cast<std::uint8_t>(address + i))} << (8 * i);
    const std::uint64_t max = width >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * width)) - 1;
    value = amount > max - value ? max : value + amount;
    for (int i = 0; i < width; ++i)
        StoreEeprom(static_cast<std::uint8_t>(address + i), static_cast<std::uint8_t>(value >> (8 * i)));
}

InkCondition Printer::InkConditionOf(int ink) const {
    return (ink >= 0 && ink < kInkCount) ? inkConditions_[static_cast<std::size_t>(ink)] : InkCondition::Missing;
}

std::uint16_t Printer::InkCode(int ink) const {
    const InkCondition c = InkConditionOf(ink);
    return c == InkCondition::Level ? InkLevelCode(InkLevel(ink)) : InkSpecialCode(c);
}

std::size_t Printer::FreeSpace() const {
    if (!powered_ || shutdownUs_ > 0 || stuckBusy_ || refusal_ || buffer_.size() >= options_.bufferCapacity) return 0;
    return options_.bufferCapacity - buffer_.size();
}

void Printer::SetSpeed(std::uint32_t bytesPerSecond) {
    options_.bytesPerSecond = bytesPerSecond;
    drainRemainder_ = 0;
}

// ---- engine pass-through ----

void Printer::PressPaperButton() {
    if (powered_ && engine_) engine_->PressPaperButton();
}

void Printer::PressRollPaperSwitch() {
    if (powered_ && engine_) engine_->PressRollPaperSwitch();
}

// ---- Machine ----

std::uint8_t Printer::ReadEeprom(std::uint8_t address) const { return eeprom_.Get(address); }

// The mechanism writes its CR drive reading low byte first; a configured
// reading takes its place, byte by byte.
void Printer::WriteEeprom(std::uint8_t address, std::uint8_t value) {
    if (!crReadings_.empty() && (address == addr::kCrMeasurement || address == addr::kCrMeasurement + 1)) {
        const std::uint16_t reading = crReadings_[nextCrReading_ % crReadings_.size()];
        if (address == addr::kCrMeasurement) {
            value = static_cast<std::uint8_t>(reading & 0xFF);
        } else {
            value = static_cast<std::uint8_t>(reading >> 8);
            nextCrReading_ = (nextCrReading_ + 1) % crReadings_.size();
            Log("CR drive reading set to " + std::to_string(reading));
        }
    }
    StoreEeprom(address, value);
}

void Printer::StoreEeprom(std::uint8_t address, std::uint8_t value) {
    if (eeprom_.Get(address) == value) return;
    eeprom_.Set(address, value);
    eepromChanged_ = true;
}

void Printer::SetCrReadings(std::vector<std::uint16_t> readings) {
    crReadings_ = std::move(readings);
    nextCrReading_ = 0;
}

bool Printer::ReplaceBoard() {
    if (powered_) return false;
    const Eeprom fresh = Eeprom::NewBoard();
    if (!(eeprom_ == fresh)) {
        eeprom_ = fresh;
        eepromChanged_ = true;
    }
    ++boardReplacements_;
    Log("main board replaced: the EEPROM holds only its block signatures");
    return true;
}

int Printer::InkLevel(int ink) const {
    return (ink >= 0 && ink < kInkCount) ? inkLevels_[static_cast<std::size_t>(ink)] : 0;
}

// Only the level changes: ink the engine uses from a slot reported missing or
// unreadable does not put a cartridge back in.
void Printer::SetInkLevel(int ink, int percent) {
    if (ink < 0 || ink >= kInkCount) return;
    inkLevels_[static_cast<std::size_t>(ink)] = std::clamp(percent, 0, 100);
}

void Printer::Log(const std::string& line) {
    log_.push_back(line);
    while (log_.size() > options_.logLineLimit) log_.pop_front();
    if (logSink_) logSink_(line);
}

std::string Printer::StateFields() const {
    const std::uint8_t state = State();
    const bool working = state == kStateBusy || state == kStatePrinting || state == kStateCleaning;
    std::string s = std::string("model=") + (options_.model == 1 ? "4100" : "4200");
    s += std::string(" power=") + (powered_ ? "on" : "off");
    s += std::string(" power_led=") + (!powered_ ? "off" : working ? "blink" : "on");
    s += std::string(" error_led=") + (powered_ && state == kStateError ? "on" : "off");
    s += " state=" + std::to_string(state) + " error=" + std::to_string(ErrorCode());
    s += " buffer=" + std::to_string(buffer_.size()) + "/" + std::to_string(options_.bufferCapacity);
    s += " speed=" + (Unlimited() ? std::string("unlimited") : std::to_string(options_.bytesPerSecond)) +
         " speedup=" + std::to_string(speedUp_);
    s += " ink=";
    for (int ink = 0; ink < kInkCount; ++ink) {
        std::string name = InkName(ink);
        std::erase(name, ' ');
        const InkCondition c = InkConditionOf(ink);
        s += (ink ? "," : "") + name + ":";
        if (c == InkCondition::Level) {
            s += std::to_string(InkLevel(ink));
        } else {  // the status record's letters, first letter in the high byte
            const std::uint16_t code = InkSpecialCode(c);
            s += static_cast<char>(code >> 8);
            s += static_cast<char>(code & 0xFF);
        }
    }
    std::string faults;
    const auto add = [&faults](const std::string& f) { faults += (faults.empty() ? "" : ",") + f; };
    if (stuckBusy_) add("busy");
    if (injectedError_) add("error:" + std::to_string(*injectedError_));
    if (heldState_) add("hold:" + std::to_string(*heldState_));
    if (refusal_) add("refuse:" + std::to_string(*refusal_));
    if (dropAfter_) add("drop:" + std::to_string(*dropAfter_));
    if (linkDropped_) add("dropped");
    s += " faults=" + (faults.empty() ? std::string("-") : faults);
    s += " time=" + std::to_string(NowMs()) + " boards=" + std::to_string(boardReplacements_);
    const auto u16 = [this](std::uint8_t a) { return std::to_string(eeprom_.Get16(a)); };
    const auto u32 = [this](std::uint8_t a) { return std::to_string(eeprom_.Get32(a)); };
    s += " pages=" + u32(addr::kPageCount) + " passes=" + u32(addr::kPassCount) + " waste=" + u16(addr::kWasteInk);
    s += " cl1=" + u16(0x2E) + " cl2=" + u16(0x30) + " cl34=" + u16(0x32) + " timer_cl=" + u16(0x34) +
         " exchange_cl=" + u16(0x36) + " replace_cl=" + u16(0x38) +
         " charges=" + std::to_string(eeprom_.Get(addr::kInkChargeCount)) + " cuts=" + u16(addr::kCutCount);
    s += " cr=" + u16(addr::kCrMeasurement) + " cr_readings=";
    for (std::size_t i = 0; i < crReadings_.size(); ++i) s += (i ? "," : "") + std::to_string(crReadings_[i]);
    if (crReadings_.empty()) s += "-";
    static const char kHex[] = "0123456789ABCDEF";
    s += " eeprom=";
    std::string changed;
    for (std::size_t a = 0; a < Eeprom::kSize; ++a) {
        const std::uint8_t b = eeprom_.bytes()[a];
        s += kHex[b >> 4];
        s += kHex[b & 15];
        if (b != startupEeprom_.bytes()[a]) {
            changed += changed.empty() ? "" : ",";
            changed += kHex[a >> 4];
            changed += kHex[a & 15];
        }
    }
    s += " changed=" + (changed.empty() ? std::string("-") : changed);
    return s;
}

std::string Printer::Summary() const {
    std::string s = std::string("model ") + ModelName() + "; power " + (powered_ ? "on" : "off");
    const std::uint8_t state = State();
    s += "; state " + std::to_string(state) + " (" + StateName(state) + ")";
    s += "; error " + std::to_string(ErrorCode());
    s += "; buffer " + std::to_string(buffer_.size()) + "/" + std::to_string(options_.bufferCapacity);
    s += "; speed " + (Unlimited() ? std::string("unlimited") : std::to_string(options_.bytesPerSecond) + " B/s");
    s += "; ink";
    for (int ink = 0; ink < kInkCount; ++ink) {
        s += std::string(ink ? ", " : " ") + InkName(ink) + " ";
        const InkCondition c = InkConditionOf(ink);
        s += c == InkCondition::Level ? std::to_string(InkLevel(ink)) + "%" : InkConditionName(c);
    }
    std::string faults;
    const auto add = [&faults](const std::string& f) { faults += (faults.empty() ? "" : ", ") + f; };
    if (stuckBusy_) add("stuck busy");
    if (injectedError_) add("error " + std::to_string(*injectedError_));
    if (heldState_) add("held state " + std::to_string(*heldState_));
    if (refusal_) add("refuse next block with detail " + std::to_string(*refusal_));
    if (dropAfter_) add("link drops after " + std::to_string(*dropAfter_) + " packets");
    if (linkDropped_) add("link dropped");
    s += "; faults " + (faults.empty() ? std::string("none") : faults);
    s += "; time " + std::to_string(NowMs()) + " ms";
    return s;
}

}  // namespace vp
