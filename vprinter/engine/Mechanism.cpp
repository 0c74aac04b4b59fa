#include "vprinter/engine/Mechanism.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace vp {

namespace {

// Ink a largest dot costs: a full cartridge lasts about three thousand
// million thirds of a dot, i.e. 1 % is thirty million.
constexpr std::uint64_t kThirdsPerPercent = 30'000'000;

// Ink each cleaning cycle takes from every cartridge, in percent, and the waste ink it makes.
constexpr int kCleaningInk = 4;
constexpr int kChargeInk = 14;
constexpr unsigned kCleaningWaste = 40;
constexpr unsigned kChargeWaste = 140;
constexpr unsigned kExchangeWaste = 100;  // per step
constexpr unsigned kPageWaste = 1;        // flushing before each page

// Load of the CR drive over the measurement distance, by measurement mode.
constexpr int kCrLoadMode4 = 1500;
constexpr int kCrLoadMode3 = 1737;
constexpr int kCrDistance = 1097;

int Signed16(const std::vector<std::uint8_t>& p, std::size_t at) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[at] | (p[at + 1] << 8)));
}

std::string Number(int value) { return std::to_string(value); }

const char* CommandName(std::uint8_t code) {
    switch (code) {
        case 0x00:
            return "Bi-D value";
        case 0x04:
            return "temporary PF value";
        case 0x50:
            return "apply settings";
        case 0x81:
            return "carriage home";
        case 0x82:
            return "transport-liquid exchange";
        case 0x84:
            return "cleaning";
        case 0xC4:
            return "carriage move";
        case 0xC5:
            return "carriage drive C5";
        case 0xCF:
            return "CR drive measurement";
        case 0xD1:
            return "sensor mode";
        case 0xF1:
            return "sensor settings";
        case 0xF2:
            return "sensor side";
        default:
            return "factory command";
    }
}

}  // namespace

Mechanism::Mechanism(Machine& machine, const MechanismTimes& times) : machine_(machine), times_(times) {
    LoadSettings();
}

void Mechanism::Refuse(const std::string& what, const std::string& why) {
    machine_.Log("refused " + what + ": " + why);
}

std::uint8_t Mechanism::State() const {
    switch (activity_) {
        case Activity::Idle:
            return 4;
        case Activity::Moving:
        case Activity::Measuring:
            return 2;
        case Activity::Ejecting:
            return 3;
        default:
            return 7;  // cleaning, ink charge, exchange
    }
}

void Mechanism::Start(Activity activity, std::uint64_t duration) {
    activity_ = activity;
    remaining_ = duration;
    if (duration == 0) Finish();
}

void Mechanism::Advance(std::uint64_t ms) {
    while (ms > 0 && activity_ != Activity::Idle) {
        if (activity_ == Activity::Exchange && exchangeWaiting_) return;  // waits for the switch, not the clock
        const std::uint64_t step = std::min(ms, remaining_);
        remaining_ -= step;
        ms -= step;
        if (remaining_ == 0) Finish();
    }
}

void Mechanism::Finish() {
    const Activity done = activity_;
    activity_ = Activity::Idle;
    switch (done) {
        case Activity::Measuring: {
            // The drive load grows with the distance; a little scatter, as on a real motor.
            jitterSeed_ = jitterSeed_ * 1103515245u + 12345u;
            const int scatter = static_cast<int>((jitterSeed_ >> 16) % 7) - 3;
            const int load = (*pendingMeasure_ == 4 ? kCrLoadMode4 : kCrLoadMode3);
            const int value = std::clamp(load * measureDistance_ / kCrDistance + scatter, 0, 0xFFFF);
            machine_.WriteEeprom(eeprom_address::kCrMeasure, static_cast<std::uint8_t>(value & 0xFF));
            machine_.WriteEeprom(eeprom_address::kCrMeasure + 1, static_cast<std::uint8_t>(value >> 8));
            machine_.Log("CR drive measurement mode " + Number(*pendingMeasure_) + ": " + Number(value));
            pendingMeasure_.reset();
            position_ = measureDistance_;
            break;
        }
        case Activity::Cleaning:
        case Activity::InkCharge:
            // An ink charge draws far more ink through the nozzles: it clears as much as three cleanings.
            cleaningsDone_ += done == Activity::InkCharge ? 3 : 1;
            machine_.Log("cleaning cycle finished");
            break;
        case Activity::Exchange:
            activity_ = Activity::Exchange;
            if (exchangeTravel_) {  // at the exchange position: the technician takes over
                exchangeTravel_ = false;
                exchangeWaiting_ = true;
                machine_.Log("transport-liquid exchange: waiting for the roll-paper switch");
                break;
            }
            ++exchangeSteps_;
            machine_.Log("transport-liquid exchange step " + Number(exchangeSteps_) + " finished");
            if (exchangeSteps_ < 3) {
                exchangeWaiting_ = true;
            } else {
                activity_ = Activity::Idle;
                AddCounter16(eeprom_address::kExchangeCl, 1);
                position_ = 0;
                locked_ = true;
                machine_.Log("transport-liquid exchange finished");
            }
            break;
        default:
            break;
    }
}

void Mechanism::Execute(const FactoryPacket& packet) {
    const std::vector<std::uint8_t>& p = packet.params;
    std::string line = std::string("factory command: ") + CommandName(packet.code);
    for (std::uint8_t b : p) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", b);
        line += hex;
    }
    machine_.Log(line);
    switch (packet.code) {
        case 0x00:
            SetBid(p);
            break;
        case 0x04:
            if (static_cast<std::int8_t>(p[0]) < -4 || static_cast<std::int8_t>(p[0]) > 4) {
                Refuse("temporary PF value", Number(static_cast<std::int8_t>(p[0])) + " is outside -4 to 4");
                break;
            }
            temporaryPf_ = static_cast<std::int8_t>(p[0]);
            break;
        case 0x50: {
            const std::optional<int> keep = temporaryPf_;
            LoadSettings();
            temporaryPf_ = keep;  // a temporary value stays until the printer starts afresh
            machine_.Log("settings taken into use: PF " + Number(Pf()) + ", first dot " + Number(firstDot_));
            break;
        }
        case 0x81:
            MoveTo(0);
            locked_ = true;
            pushed_ = false;
            break;
        case 0x82:
            StartExchange(p);
            break;
        case 0x84:
            Clean(p[0]);
            break;
        case 0xC4:
            Move(p);
            break;
        case 0xC5:
            ReleaseLock(p);
            break;
        case 0xCF:
            Measure(p);
            break;
        case 0xD1:
            sensorMode_ = p[0] == 0;
            break;
        default:
            break;  // F1, F2: sensor settings the virtual sensor has no use for
    }
}

void Mechanism::SetBid(const std::vector<std::uint8_t>& p) {
    // Dot selector of the packet -> VSD index: 1 VSD1, 2 VSD2, 4 VSD2', 3 VSD4.
    static constexpr int kIndex[5] = {-1, 0, 1, 3, 2};
    if (p[0] < 1 || p[0] > 4 || (p[1] != 1 && p[1] != 2)) {
        Refuse("Bi-D value", "unknown dot selector or head group");
        return;
    }
    const bool negative = (p[2] & 0x80) != 0;
    if (p[3] != (negative ? 0xFF : 0x00)) {
        Refuse("Bi-D value", "sign byte does not match the value");
        return;
    }
    const int slot = (p[1] == 1 ? 0 : 4) + kIndex[p[0]];
    bid_[static_cast<std::size_t>(slot)] = static_cast<std::int8_t>(p[2]);
    machine_.WriteEeprom(static_cast<std::uint8_t>(eeprom_address::kBidBlack + slot), p[2]);
}

void Mechanism::MoveTo(int position) {
    const int travel = std::abs(position - position_);
    position_ = position;
    Start(Activity::Moving, times_.moveBase + static_cast<std::uint64_t>(travel) * 1000 / kCarriageSpeed);
}

void Mechanism::Move(const std::vector<std::uint8_t>& p) {
    const int mode = p[0];
    const int target = Signed16(p, 1);
    if (locked_) {
        if (mode == 20 && target < 0) {  // pushes against the home end: first half of leaving home
            pushed_ = true;
            Start(Activity::Moving, times_.moveBase);
            return;
        }
        Refuse("carriage move to " + Number(target),
               "the carriage is locked at home (send the leave-home prologue first)");
        return;
    }
    if (target < 0 || target > kCarriageMax) {
        Refuse("carriage move to " + Number(target), "outside the carriage path 0 to " + Number(kCarriageMax));
        return;
    }
    MoveTo(target);
}

void Mechanism::ReleaseLock(const std::vector<std::uint8_t>& p) {
    if (p[0] != 24) return;  // other drives of C5 are the firmware's own business
    if (!locked_) return;
    if (!pushed_ && !sensorMode_) {
        Refuse("carriage lock release", "the carriage was not pushed into the home end first");
        return;
    }
    locked_ = false;
    pushed_ = false;
    Start(Activity::Moving, times_.moveBase);
    machine_.Log("carriage left the home position");
}

void Mechanism::Measure(const std::vector<std::uint8_t>& p) {
    const int mode = p[0];
    const int distance = Signed16(p, 2);
    if (mode != 3 && mode != 4) {
        Refuse("CR drive measurement", "unknown mode " + Number(mode));
        return;
    }
    if (locked_) {
        Refuse("CR drive measurement", "the carriage is locked at home");
        return;
    }
    if (distance <= 0 || distance > kCarriageMax) {
        Refuse("CR drive measurement", "distance " + Number(distance) + " is outside the carriage path");
        return;
    }
    pendingMeasure_ = mode;
    measureDistance_ = distance;
    Start(Activity::Measuring, times_.crMeasurement);
}

bool Mechanism::HasInk(int percent) const {
    for (int ink = 0; ink < 7; ++ink)
        if (machine_.InkLevel(ink) < percent) return false;
    return true;
}

void Mechanism::DrainInk(int percent) {
    for (int ink = 0; ink < 7; ++ink) machine_.SetInkLevel(ink, std::max(0, machine_.InkLevel(ink) - percent));
}

void Mechanism::Clean(std::uint8_t kind) {
    if (kind != 3 && kind != 12) {
        Refuse("cleaning", "unknown kind " + Number(kind));
        return;
    }
    const bool charge = kind == 12;
    const int ink = charge ? kChargeInk : kCleaningInk;
    if (!HasInk(ink)) {
        Refuse("cleaning", "not enough ink");
        SetFault(printer_error::kInkOut);
        return;
    }
    DrainInk(ink);
    AddCounter16(eeprom_address::kWasteInk, charge ? kChargeWaste : kCleaningWaste);
    AddCounter16(charge ? eeprom_address::kCleaning3 : eeprom_address::kCleaning1, 1);
    position_ = 0;  // cleaning happens at the capping position
    locked_ = true;
    pushed_ = false;
    machine_.Log(charge ? "ink charge started" : "head cleaning started");
    Start(charge ? Activity::InkCharge : Activity::Cleaning, charge ? times_.inkCharge : times_.headCleaning);
}

void Mechanism::StartExchange(const std::vector<std::uint8_t>& p) {
    static constexpr std::uint8_t kBlock[17] = {0x00, 0x00, 0xA6, 0x0C, 0x01, 0x00, 0x00, 0xA6, 0x0C,
                                                0x05, 0x00, 0x00, 0xA6, 0x0C, 0x05, 0xFF, 0x08};
    if (!std::equal(p.begin(), p.end(), kBlock)) {
        Refuse("transport-liquid exchange", "unknown parameter block");
        return;
    }
    machine_.Log("transport-liquid exchange: carriage to the I/C exchange position");
    exchangeSteps_ = 0;
    exchangeWaiting_ = false;
    exchangeTravel_ = true;
    locked_ = false;
    const int travel = std::abs(kExchangePosition - position_);
    position_ = kExchangePosition;
    // The whole sequence, the travel included, runs in the cleaning state.
    Start(Activity::Exchange, times_.moveBase + static_cast<std::uint64_t>(travel) * 1000 / kCarriageSpeed);
}

void Mechanism::PressRollPaperSwitch() {
    if (activity_ == Activity::Exchange) {
        if (!exchangeWaiting_) {
            machine_.Log("roll-paper switch ignored: an exchange step is running");
            return;
        }
        exchangeWaiting_ = false;
        static const char* kSteps[3] = {"ink discharge", "transportation liquid charge",
                                        "transportation liquid discharge"};
        machine_.Log(std::string("roll-paper switch: ") + kSteps[exchangeSteps_] + " started");
        AddCounter16(eeprom_address::kWasteInk, kExchangeWaste);
        remaining_ = times_.exchangeStep;
        if (remaining_ == 0) Finish();
        return;
    }
    if (Busy()) {
        machine_.Log("roll-paper switch ignored: the printer is busy");
        return;
    }
    AddCounter16(eeprom_address::kCutCount, 1);
    machine_.Log("roll-paper switch: roll paper cut");
}

void Mechanism::StartEject() {
    AddCounter16(eeprom_address::kWasteInk, kPageWaste);
    Start(Activity::Ejecting, times_.eject);
}

bool Mechanism::PressPaperButton() {
    if (fault_ == printer_error::kPaperOut || fault_ == printer_error::kPaperJam) {
        machine_.Log(*fault_ == printer_error::kPaperOut ? "paper loaded" : "paper jam cleared");
        fault_.reset();
        return true;
    }
    return false;
}

void Mechanism::SetFault(std::uint8_t code) {
    fault_ = code;
    machine_.Log("printer error " + Number(code));
}

void Mechanism::ClearFault() {
    if (!fault_) return;
    if (*fault_ == printer_error::kInkOut) {
        for (int ink = 0; ink < 7; ++ink)
            if (machine_.InkLevel(ink) <= 0) machine_.SetInkLevel(ink, 100);
        inkThirds_.fill(0);
    }
    machine_.Log("printer error " + Number(*fault_) + " cleared");
    fault_.reset();
}

void Mechanism::UseInk(int ink, std::uint64_t thirds) {
    std::uint64_t& used = inkThirds_[static_cast<std::size_t>(ink)];
    used += thirds;
    if (used < kThirdsPerPercent) return;
    const int percent = static_cast<int>(used / kThirdsPerPercent);
    used %= kThirdsPerPercent;
    const int level = std::max(0, machine_.InkLevel(ink) - percent);
    machine_.SetInkLevel(ink, level);
    if (level == 0 && !fault_) SetFault(printer_error::kInkOut);
}

void Mechanism::CountPass() { AddCounter32(eeprom_address::kPasses, 1); }
void Mechanism::CountPage() { AddCounter32(eeprom_address::kPages, 1); }

// Counters stop at their largest value instead of wrapping to zero.
void Mechanism::AddCounter16(std::uint8_t address, unsigned amount) {
    const unsigned value = machine_.ReadEeprom(address) | (machine_.ReadEeprom(address + 1) << 8);
    const unsigned next = std::min(0xFFFFu, value + amount);
    machine_.WriteEeprom(address, static_cast<std::uint8_t>(next & 0xFF));
    machine_.WriteEeprom(address + 1, static_cast<std::uint8_t>(next >> 8));
}

void Mechanism::AddCounter32(std::uint8_t address, unsigned amount) {
    std::uint64_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | machine_.ReadEeprom(static_cast<std::uint8_t>(address + i));
    const std::uint64_t next = std::min<std::uint64_t>(0xFFFFFFFFu, value + amount);
    for (int i = 0; i < 4; ++i)
        machine_.WriteEeprom(static_cast<std::uint8_t>(address + i), static_cast<std::uint8_t>(next >> (8 * i)));
}

void Mechanism::LoadSettings() {
    for (int i = 0; i < 8; ++i)
        bid_[static_cast<std::size_t>(i)] =
            static_cast<std::int8_t>(machine_.ReadEeprom(static_cast<std::uint8_t>(eeprom_address::kBidBlack + i)));
    pf_ = static_cast<std::int8_t>(machine_.ReadEeprom(eeprom_address::kPf));
    if (pf_ < -4 || pf_ > 4) pf_ = 0;  // a value no valid write leaves: feed without correction
    const std::uint8_t firstDot = machine_.ReadEeprom(eeprom_address::kFirstDot);
    firstDot_ = static_cast<std::int8_t>(firstDot);
    for (int line = 0; line < 6; ++line)
        pixelShift_[static_cast<std::size_t>(line)] = static_cast<std::int8_t>(
            machine_.ReadEeprom(static_cast<std::uint8_t>(eeprom_address::kPixelShift + line)));
    for (int& shift : pixelShift_)
        if (shift < -5 || shift > 5) shift = 0;  // a value no valid write leaves: no correction
    temporaryPf_.reset();
}

void Mechanism::SetCutPosition(std::int8_t value) {
    cutPosition_ = value;
    machine_.Log("cut position set to " + Number(value));
}

int Mechanism::CutPositionInUse() const {
    return cutPosition_ ? *cutPosition_ : static_cast<std::int8_t>(machine_.ReadEeprom(eeprom_address::kCutPosition));
}

void Mechanism::SaveCutPosition() {
    if (!cutPosition_) {
        machine_.Log("refused cut position save: no value was set");
        return;
    }
    machine_.WriteEeprom(eeprom_address::kCutPosition, static_cast<std::uint8_t>(*cutPosition_));
    machine_.Log("cut position " + Number(*cutPosition_) + " saved");
}

}  // namespace vp
