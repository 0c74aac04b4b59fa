// The contract between the virtual printer's core (link, EEPROM, status,
// input buffer) and its print engine (job decoding, rendering, mechanism).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vp {

// What the engine may see and change of the printer around it.
class Machine {
public:
    virtual ~Machine() = default;
    virtual std::uint8_t ReadEeprom(std::uint8_t address) const = 0;
    virtual void WriteEeprom(std::uint8_t address, std::uint8_t value) = 0;
    // Ink levels in percent, in status-record order: black, cyan, magenta,
    // yellow, light cyan, light magenta, gray.
    virtual int InkLevel(int ink) const = 0;
    virtual void SetInkLevel(int ink, int percent) = 0;
    // Virtual time in milliseconds since the printer was created.
    virtual std::uint64_t NowMs() const = 0;
    // One line of the printer's log (what it did, why it refused something).
    virtual void Log(const std::string& line) = 0;
};

// The engine's condition, as bytes 0 and 1 of the status record report it.
struct EngineStatus {
    std::uint8_t state = 4;  // 0 error, 2 busy, 3 printing, 4 ready, 7 cleaning, 8 before ink charge
    std::uint8_t error = 0;  // printer error code while state is 0
};

class Engine {
public:
    virtual ~Engine() = default;
    // Offers the next bytes of the input buffer, in order; returns how many
    // the engine took (fewer, even 0, while its mechanism is busy).
    virtual std::size_t Consume(const std::uint8_t* data, std::size_t n) = 0;
    // Virtual time passes.
    virtual void Advance(std::uint64_t ms) = 0;
    virtual EngineStatus Status() const = 0;
    // The printer's buttons and switches.
    virtual void PressPaperButton() = 0;
    virtual void PressRollPaperSwitch() = 0;
    // The port was reset or the printer switched on again: the job in progress is dropped.
    virtual void Reset() = 0;
};

}  // namespace vp
