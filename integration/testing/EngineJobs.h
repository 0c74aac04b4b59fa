// The print engine alone, fed the jobs the program's operations send: for the
// page hash test and the page benchmark, which draw the same pages.
#pragma once

#include "cli/CliFrame.h"
#include "cli/Operations.h"
#include "link/testing/FakeOutside.h"
#include "vprinter/Eeprom.h"
#include "vprinter/Engine.h"
#include "vprinter/engine/PrintEngine.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vp::testing {

// A 4100 fresh from the factory, its inks full, its clock moved by the caller.
class FactoryMachine : public Machine {
public:
    FactoryMachine() : eeprom_(Eeprom::Factory(1).bytes()) {}
    std::uint8_t ReadEeprom(std::uint8_t address) const override { return eeprom_[address]; }
    void WriteEeprom(std::uint8_t address, std::uint8_t value) override { eeprom_[address] = value; }
    int InkLevel(int) const override { return 100; }
    void SetInkLevel(int, int) override {}
    std::uint64_t NowMs() const override { return now; }
    void Log(const std::string& line) override {
        if (line.rfind("page ", 0) == 0) lastPageLog = line;
    }
    std::uint64_t now = 0;
    std::string lastPageLog;  // the engine's last "page ..." line

private:
    std::array<std::uint8_t, 256> eeprom_{};
};

// The bytes an operation of the program hands to SendDataChannel, print
// files included, on a printer fresh from the factory.
inline std::vector<std::uint8_t> OperationJob(const std::string& operation, const svc::cli::Arguments& args = {}) {
    svc::fake::Fake().Reset();
    svc::fake::Fake().Eeprom() = Eeprom::Factory(1).bytes();
    svc::fake::ScriptedHost host;
    std::FILE* sink = std::fopen("/dev/null", "w");
    {
        svc::cli::CliFrame frame(sink, sink);
        if (const svc::cli::Operation* op = svc::cli::FindOperation(operation)) {
            if (op->chosen) op->chosen(frame);
            op->run(frame, args);
        }
    }
    std::fclose(sink);
    return svc::fake::Fake().AcceptedBytes();
}

// Offers the whole job to the engine, a second of the machine's time passing
// whenever it takes nothing (for at most 1000 seconds), then lets the last
// page finish. Returns the bytes taken.
inline std::size_t PrintJob(PrintEngine& engine, FactoryMachine& machine, const std::vector<std::uint8_t>& job) {
    std::size_t taken = 0;
    for (int stalls = 0; taken < job.size() && stalls < 1000;) {
        const std::size_t now = engine.Consume(job.data() + taken, job.size() - taken);
        taken += now;
        if (now == 0) {
            ++stalls;
            machine.now += 1000;
            engine.Advance(1000);
        }
    }
    engine.Advance(10000);
    return taken;
}

}  // namespace vp::testing
