// Test helpers: a printer whose services are plain memory, and a transport
// that hands the host's bytes straight to a PrinterEndpoint. Nothing here
// waits: a read with nothing to deliver fails at once as a timeout, which is
// what a silent printer looks like at the end of a read deadline.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "chanlink/Packet.h"
#include "chanlink/PrinterEndpoint.h"
#include "hostbridge/Transport.h"

namespace d4::testing {

class MemoryPrinter : public PrinterServices {
public:
    std::array<std::uint8_t, 256> eeprom{};
    std::array<std::uint8_t, 52> status{};
    std::size_t space = 64 * 1024;
    std::vector<std::uint8_t> accepted;
    bool refuseEeprom = false;
    // A printer that prints as fast as data comes keeps all its space.
    bool drainsAtOnce = false;

    bool ReadEeprom(std::uint8_t address, std::uint8_t& value) override {
        if (refuseEeprom) return false;
        value = eeprom[address];
        return true;
    }
    bool WriteEeprom(std::uint8_t address, std::uint8_t value) override {
        if (refuseEeprom) return false;
        eeprom[address] = value;
        return true;
    }
    void FillStatus(std::uint8_t* record, std::size_t size) override {
        for (std::size_t i = 0; i < size && i < status.size(); ++i) record[i] = status[i];
    }
    std::size_t DataSpace() const override { return space; }
    void AcceptData(const std::uint8_t* data, std::size_t n) override {
        accepted.insert(accepted.end(), data, data + n);
        if (!drainsAtOnce) space = n > space ? 0 : space - n;
    }
};

// How the link fails once the fault is armed.
enum class Fault { None, Dropped, PoweredOff };

class LoopbackTransport : public hb::Transport {
public:
    explicit LoopbackTransport(PrinterEndpoint& printer) : printer_(printer) {}

    // The link fails after this many more packets have crossed it, counting
    // both directions: every boundary of an exchange can be hit.
    void ArmFault(Fault fault, int afterPackets) {
        fault_ = fault;
        packetsLeft_ = afterPackets;
    }
    int packetsCrossed() const { return crossed_; }
    int resets() const { return resets_; }
    // The deadlines the host passed last: a deadline of 0 or less would mean
    // "no wait" or "wait forever" to a real port.
    int lastReadTimeout() const { return lastReadTimeout_; }
    int lastWriteTimeout() const { return lastWriteTimeout_; }
    // Every packet the host wrote, in order.
    const std::vector<std::vector<std::uint8_t>>& written() const { return written_; }

    // Lets a test change the printer's answer to the host's n-th write
    // (counted from 0), to play a printer that answers wrongly.
    std::function<void(std::size_t write, std::vector<std::uint8_t>& answer)> tamper;

    hb::IoStatus Write(const std::uint8_t* data, std::size_t n, int timeoutMs) override {
        lastWriteTimeout_ = timeoutMs;
        if (Dead()) return fault_ == Fault::Dropped ? hb::IoStatus::Closed : hb::IoStatus::Ok;
        Cross();
        written_.emplace_back(data, data + n);
        std::vector<std::uint8_t> answer = printer_.Receive(data, n);
        if (tamper) tamper(written_.size() - 1, answer);
        // Split the answer into packets so each one crossing can be counted.
        std::size_t i = 0;
        while (i + kHeaderSize <= answer.size()) {
            std::size_t len = DecodeHeader(answer.data() + i).length;
            if (len < kHeaderSize || i + len > answer.size()) len = answer.size() - i;
            pending_.emplace_back(answer.begin() + static_cast<std::ptrdiff_t>(i),
                                  answer.begin() + static_cast<std::ptrdiff_t>(i + len));
            i += len;
        }
        if (i < answer.size()) pending_.emplace_back(answer.begin() + static_cast<std::ptrdiff_t>(i), answer.end());
        return hb::IoStatus::Ok;
    }

    hb::IoStatus Read(std::uint8_t* data, std::size_t n, int timeoutMs) override {
        lastReadTimeout_ = timeoutMs;
        // Like the library's transports, a read that cannot be completed
        // consumes nothing.
        std::size_t available = 0;
        for (const auto& packet : pending_) available += packet.size();
        if (available - offset_ < n && !Dead()) return hb::IoStatus::Timeout;
        for (std::size_t got = 0; got < n;) {
            if (pending_.empty() || (Dead() && offset_ == 0))
                return Dead() && fault_ == Fault::Dropped ? hb::IoStatus::Closed : hb::IoStatus::Timeout;
            std::vector<std::uint8_t>& front = pending_.front();
            std::size_t take = std::min(n - got, front.size() - offset_);
            std::copy_n(front.begin() + static_cast<std::ptrdiff_t>(offset_), take, data + got);
            got += take;
            offset_ += take;
            if (offset_ == front.size()) {
                pending_.pop_front();
                offset_ = 0;
                Cross();
            }
        }
        return hb::IoStatus::Ok;
    }

    hb::IoStatus ReadDeviceId(std::string& raw) override {
        raw.assign(
            "\0\x06"
            "A:B;",
            6);
        return hb::IoStatus::Ok;
    }

    hb::IoStatus Reset() override {
        if (Dead()) return fault_ == Fault::Dropped ? hb::IoStatus::Closed : hb::IoStatus::Ok;
        ++resets_;
        pending_.clear();
        offset_ = 0;
        printer_.Reset();
        return hb::IoStatus::Ok;
    }

private:
    bool Dead() const { return fault_ != Fault::None && packetsLeft_ <= 0; }
    void Cross() {
        ++crossed_;
        if (fault_ != Fault::None) --packetsLeft_;
    }

    PrinterEndpoint& printer_;
    std::deque<std::vector<std::uint8_t>> pending_;
    std::size_t offset_ = 0;
    Fault fault_ = Fault::None;
    int packetsLeft_ = 0;
    int crossed_ = 0;
    int resets_ = 0;
    int lastReadTimeout_ = 0;
    int lastWriteTimeout_ = 0;
    std::vector<std::vector<std::uint8_t>> written_;
};

}  // namespace d4::testing
