// Test doubles for the print engine: a machine with an EEPROM array, ink
// levels and a log, the channel sink that catches what the program's own job
// stream and factory object send, and a driver that feeds a job through.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "vprinter/Engine.h"

namespace vp::testing {

class FakeMachine : public Machine {
public:
    FakeMachine() { inks.fill(100); }
    std::uint8_t ReadEeprom(std::uint8_t address) const override { return eeprom[address]; }
    void WriteEeprom(std::uint8_t address, std::uint8_t value) override { eeprom[address] = value; }
    int InkLevel(int ink) const override { return inks[static_cast<std::size_t>(ink)]; }
    void SetInkLevel(int ink, int percent) override { inks[static_cast<std::size_t>(ink)] = percent; }
    std::uint64_t NowMs() const override { return now; }
    void Log(const std::string& line) override { log.push_back(line); }

    unsigned Word(std::uint8_t address) const { return eeprom[address] | (eeprom[address + 1u] << 8); }
    unsigned Long(std::uint8_t address) const {
        return Word(address) | (static_cast<unsigned>(Word(static_cast<std::uint8_t>(address + 2))) << 16);
    }
    bool Logged(const std::string& part) const {
        for (const std::string& line : log)
            if (line.find(part) != std::string::npos) return true;
        return false;
    }

    std::array<std::uint8_t, 256> eeprom{};
    std::array<int, 7> inks{};
    std::uint64_t now = 0;
    std::vector<std::string> log;
};

// Everything the program sends with SendDataChannel while `compose` runs,
// the job stream flushed at the end.
std::vector<std::uint8_t> Wire(const std::function<void()>& compose);

// Offers the job to the engine as the printer's input buffer would, letting
// virtual time pass in steps of stepMs while the engine takes nothing.
// Returns the bytes taken; stops early when the engine takes nothing for
// maxIdleMs of virtual time (an error, a fault, or a cleaning without end).
std::size_t Drive(Engine& engine, const std::vector<std::uint8_t>& job, std::uint64_t stepMs = 100,
                  std::uint64_t maxIdleMs = 200000);

}  // namespace vp::testing
