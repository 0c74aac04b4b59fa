#include "vprinter/DirectTransport.h"

#include <algorithm>
#include <memory>

#include "hostbridge/PortSwitch.h"
#include "vprinter/Printer.h"

namespace vp {

void WallClockFeed::CatchUp(Printer& printer) {
    const auto now = std::chrono::steady_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - last_).count();
    if (ms <= 0) return;
    last_ += std::chrono::milliseconds(ms);
    printer.Advance(static_cast<std::uint64_t>(ms));
}

DirectTransport::DirectTransport(Printer& printer, std::shared_ptr<WallClockFeed> clock)
    : printer_(printer), clock_(std::move(clock)) {
    CatchUpClock();
    printer_.Connect();
}

DirectTransport::~DirectTransport() { printer_.Disconnect(); }

void DirectTransport::CatchUpClock() {
    if (clock_) clock_->CatchUp(printer_);
}

hb::IoStatus DirectTransport::Write(const std::uint8_t* data, std::size_t n, int /*timeoutMs*/) {
    CatchUpClock();
    if (printer_.LinkDropped()) return hb::IoStatus::Closed;
    const std::vector<std::uint8_t> reply = printer_.HostBytes(data, n);
    replies_.insert(replies_.end(), reply.begin(), reply.end());
    return hb::IoStatus::Ok;
}

hb::IoStatus DirectTransport::Read(std::uint8_t* data, std::size_t n, int /*timeoutMs*/) {
    CatchUpClock();
    if (printer_.LinkDropped()) {
        replies_.clear();
        return hb::IoStatus::Closed;
    }
    if (replies_.size() < n) return hb::IoStatus::Timeout;
    std::copy_n(replies_.begin(), n, data);
    replies_.erase(replies_.begin(), replies_.begin() + static_cast<std::ptrdiff_t>(n));
    return hb::IoStatus::Ok;
}

hb::IoStatus DirectTransport::ReadDeviceId(std::string& raw) {
    CatchUpClock();
    if (printer_.LinkDropped()) return hb::IoStatus::Closed;
    if (!printer_.PoweredOn()) return hb::IoStatus::Timeout;
    raw = printer_.DeviceId();
    return hb::IoStatus::Ok;
}

hb::IoStatus DirectTransport::Reset() {
    CatchUpClock();
    if (printer_.LinkDropped()) return hb::IoStatus::Closed;
    // Answers still queued belong to the conversation the reset ends.
    replies_.clear();
    printer_.PortReset();
    return hb::IoStatus::Ok;
}

InProcessPorts::InProcessPorts(Printer& printer, ClockMode clock) : printer_(printer) {
    std::shared_ptr<WallClockFeed> feed;
    if (clock == ClockMode::FollowWallClock) feed = std::make_shared<WallClockFeed>();
    hb::SetTransportFactory([&printer, feed](std::uint16_t portCode) -> std::unique_ptr<hb::Transport> {
        if (!IsPrinterPort(portCode)) return nullptr;
        return std::make_unique<DirectTransport>(printer, feed);
    });
}

InProcessPorts::~InProcessPorts() {
    // A port left open on this printer would keep a transport that outlives it.
    const auto* open = dynamic_cast<const DirectTransport*>(hb::CurrentTransport());
    if (open && &open->AttachedPrinter() == &printer_) PortCloseByOsSw();
    hb::SetTransportFactory({});
}

}  // namespace vp
