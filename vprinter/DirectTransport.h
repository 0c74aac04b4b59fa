// Connecting the port switch to a virtual printer in the same process: no
// socket, no thread, no wall time. What the host writes goes straight into
// the printer, and its answer waits in a queue for the host's reads.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "hostbridge/Transport.h"

namespace vp {

class Printer;

// How virtual time passes for a printer attached in-process.
enum class ClockMode {
    Manual,           // only when the test calls Printer::Advance()
    FollowWallClock,  // before each port operation, by the wall time gone by since the last
};

// Passes the wall time that went by since the last call on to a printer.
class WallClockFeed {
public:
    void CatchUp(Printer& printer);

private:
    std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

class DirectTransport : public hb::Transport {
public:
    // Connects to the printer (a fresh channel); the destructor disconnects.
    // Without a clock feed, virtual time is the test's business.
    explicit DirectTransport(Printer& printer, std::shared_ptr<WallClockFeed> clock = nullptr);
    ~DirectTransport() override;
    DirectTransport(const DirectTransport&) = delete;
    DirectTransport& operator=(const DirectTransport&) = delete;

    // Bytes written to a powered-off printer vanish, as on a real cable.
    hb::IoStatus Write(const std::uint8_t* data, std::size_t n, int timeoutMs) override;
    // Never waits: the printer has answered everything it will answer by the
    // time the write returns, so a read that finds too few bytes is a
    // Timeout at once (nothing is consumed). A dropped link reads Closed.
    hb::IoStatus Read(std::uint8_t* data, std::size_t n, int timeoutMs) override;
    hb::IoStatus ReadDeviceId(std::string& raw) override;
    hb::IoStatus Reset() override;

    std::size_t Pending() const { return replies_.size(); }
    const Printer& AttachedPrinter() const { return printer_; }

private:
    void CatchUpClock();

    Printer& printer_;
    std::shared_ptr<WallClockFeed> clock_;
    std::deque<std::uint8_t> replies_;
};

// Maps all six port codes (1025-1030) to one in-process printer while it
// exists; the destructor unplugs it (a port still open on it is closed) and
// restores the port switch's own mapping. Only one may exist at a time.
class InProcessPorts {
public:
    explicit InProcessPorts(Printer& printer, ClockMode clock = ClockMode::Manual);
    ~InProcessPorts();
    InProcessPorts(const InProcessPorts&) = delete;
    InProcessPorts& operator=(const InProcessPorts&) = delete;

    static bool IsPrinterPort(std::uint16_t portCode) { return portCode >= 1025 && portCode <= 1030; }

private:
    Printer& printer_;
};

}  // namespace vp
