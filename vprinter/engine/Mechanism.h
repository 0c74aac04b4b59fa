// The printer's mechanism and firmware services: the carriage and its lock
// at the home position, cleaning cycles, the CR drive measurement, the
// transport-liquid exchange, the adjustment values in use, counters, paper
// and faults. Factory command packets act here. Time passes only through
// Advance(); while an action runs the mechanism is busy and the engine takes
// no further input.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "vprinter/Engine.h"
#include "vprinter/engine/JobDecoder.h"

namespace vp {

// Printer error codes of the status record that the engine raises.
namespace printer_error {
inline constexpr std::uint8_t kBadData = 1;    // "Communication error.": input the printer cannot read
inline constexpr std::uint8_t kCoverOpen = 2;  // no message of its own in the program
inline constexpr std::uint8_t kLever = 3;      // release lever position
inline constexpr std::uint8_t kPaperJam = 4;
inline constexpr std::uint8_t kInkOut = 5;
inline constexpr std::uint8_t kPaperOut = 6;
}  // namespace printer_error

// EEPROM addresses the engine keeps up to date.
namespace eeprom_address {
inline constexpr std::uint8_t kWasteInk = 0x20;    // 16-bit
inline constexpr std::uint8_t kCleaning1 = 0x2E;   // CL1 count, head cleaning
inline constexpr std::uint8_t kCleaning3 = 0x32;   // CL3/CL4 count, ink charge
inline constexpr std::uint8_t kExchangeCl = 0x36;  // exchange CL count
inline constexpr std::uint8_t kBidBlack = 0x60;    // VSD1, VSD2, VSD2', VSD4; colour at 0x64
inline constexpr std::uint8_t kFirstDot = 0x68;
inline constexpr std::uint8_t kCrMeasure = 0x6C;    // 16-bit, left by the CR drive measurement
inline constexpr std::uint8_t kCutCount = 0x6E;     // 16-bit
inline constexpr std::uint8_t kCutPosition = 0x70;  // saved by the remote SV command
inline constexpr std::uint8_t kPf = 0x77;
inline constexpr std::uint8_t kPixelShift = 0x97;  // lines A to F, 0x97-0x9C
inline constexpr std::uint8_t kPages = 0x78;       // 32-bit
inline constexpr std::uint8_t kPasses = 0x7C;      // 32-bit
inline constexpr std::uint8_t kCrDispersion = 0xAC;
}  // namespace eeprom_address

// Durations of the mechanism's actions, in virtual milliseconds.
struct MechanismTimes {
    std::uint64_t headCleaning = 60000;
    std::uint64_t inkCharge = 90000;
    std::uint64_t exchangeStep = 30000;  // each of the three steps after a switch press
    std::uint64_t crMeasurement = 3000;
    std::uint64_t eject = 1500;
    std::uint64_t moveBase = 150;  // plus the travel at kCarriageSpeed
};

class Mechanism {
public:
    enum class Activity { Idle, Moving, Measuring, Cleaning, InkCharge, Exchange, Ejecting };
    // Carriage travel per second, in position units.
    static constexpr int kCarriageSpeed = 7200;
    static constexpr int kCarriageMax = 3000;
    static constexpr int kExchangePosition = 2900;

    Mechanism(Machine& machine, const MechanismTimes& times = {});

    // A checked factory packet. A command the mechanism cannot carry out now
    // (a move out of the locked home position, a cleaning without ink, an
    // unknown parameter) is refused and logged; it changes nothing.
    void Execute(const FactoryPacket& packet);
    void Advance(std::uint64_t ms);

    bool Busy() const { return activity_ != Activity::Idle; }
    Activity Current() const { return activity_; }
    // State byte while no error is shown: 2 busy, 3 printing, 7 cleaning, 4 ready.
    std::uint8_t State() const;

    // ---- paper, buttons, faults ----
    void StartEject();
    // True when the press cleared a paper fault (so it does not also feed paper).
    bool PressPaperButton();
    void PressRollPaperSwitch();
    void SetFault(std::uint8_t code);
    std::optional<std::uint8_t> Fault() const { return fault_; }
    // The technician cleared the cause: faults go, empty cartridges are replaced.
    void ClearFault();

    // ---- ink and counters ----
    // Ink used by printing, in thirds of a largest dot; an empty cartridge raises ink out.
    void UseInk(int ink, std::uint64_t thirds);
    void CountPass();
    void CountPage();

    // ---- adjustment values in use ----
    // Bi-D value for the black or colour head and VSD index (0 VSD1, 1 VSD2, 2 VSD2', 3 VSD4).
    int Bid(bool black, int vsd) const { return bid_[(black ? 0 : 4) + vsd]; }
    int Pf() const { return temporaryPf_ ? *temporaryPf_ : pf_; }
    int FirstDot() const { return firstDot_; }
    // Pixel shift value of line 0-5 (A-F).
    int PixelShift(int line) const { return pixelShift_[static_cast<std::size_t>(line)]; }
    // Reloads every value from the EEPROM, as at power-on (the temporary PF value goes).
    void LoadSettings();
    std::optional<std::int8_t> CutPosition() const { return cutPosition_; }
    // The cut position the cutter uses: the value last set, else the saved one.
    int CutPositionInUse() const;
    void SetCutPosition(std::int8_t value);
    void SaveCutPosition();
    // The printer starts afresh: a cut position set but not saved is forgotten.
    void ForgetCutPosition() { cutPosition_.reset(); }
    // Sensor mode (CommandD1(0) until CommandD1 with another value).
    bool SensorMode() const { return sensorMode_; }

    // ---- carriage ----
    int CarriagePosition() const { return position_; }
    bool CarriageLocked() const { return locked_; }
    int ExchangeStepsDone() const { return exchangeSteps_; }
    // Head cleanings finished since the start, an ink charge counting three.
    int CleaningsDone() const { return cleaningsDone_; }

private:
    void Refuse(const std::string& what, const std::string& why);
    void Start(Activity activity, std::uint64_t duration);
    void Finish();
    void MoveTo(int position);
    void SetBid(const std::vector<std::uint8_t>& p);
    void Move(const std::vector<std::uint8_t>& p);
    void ReleaseLock(const std::vector<std::uint8_t>& p);
    void Measure(const std::vector<std::uint8_t>& p);
    void Clean(std::uint8_t kind);
    void StartExchange(const std::vector<std::uint8_t>& p);
    bool HasInk(int percent) const;
    void DrainInk(int percent);
    void AddCounter16(std::uint8_t address, unsigned amount);
    void AddCounter32(std::uint8_t address, unsigned amount);

    Machine& machine_;
    MechanismTimes times_;
    Activity activity_ = Activity::Idle;
    std::uint64_t remaining_ = 0;  // of the current activity

    int position_ = 0;
    bool locked_ = true;   // at home, held by the lock
    bool pushed_ = false;  // pushed into the home end: the next lock release works
    bool sensorMode_ = false;

    int exchangeSteps_ = 0;  // steps finished
    int cleaningsDone_ = 0;
    bool exchangeWaiting_ = false;       // waiting for the roll-paper switch
    bool exchangeTravel_ = false;        // on the way to the exchange position
    std::optional<int> pendingMeasure_;  // mode of a running CR measurement
    int measureDistance_ = 0;
    std::uint32_t jitterSeed_ = 0x2545F491u;

    std::optional<std::uint8_t> fault_;
    std::array<std::uint64_t, 7> inkThirds_{};

    std::array<int, 8> bid_{};
    int pf_ = 0;
    std::optional<int> temporaryPf_;
    int firstDot_ = 0;
    std::array<int, 6> pixelShift_{};
    std::optional<std::int8_t> cutPosition_;
};

}  // namespace vp
