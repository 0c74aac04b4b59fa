// Factory command packets: short binary commands that make the printer's
// firmware carry out one mechanical or service action. Sent unbuffered with
// SendDataChannel; callers flush the job stream first when they mix the two.
#pragma once

#include "link/ResultCodes.h"

#include <array>
#include <cstdint>

namespace svc {

class TPFactory {
public:
    static constexpr int kMaxPacket = 27;

    TPFactory();  // writes the fixed header bytes 5 and 6 once

    Result SetBidValue(std::uint8_t black, std::uint8_t dotKind, int value);
    Result SetPFValue(std::int8_t value);
    Result ApplySettings();
    Result CarriageHome();
    Result StartExchangeSequence();
    Result StartCleaning(std::uint8_t kind);  // 3 head cleaning, 12 ink charge
    Result MoveCarriage(std::uint8_t mode, std::int16_t position, std::uint8_t flag);
    Result CommandC5(std::uint8_t mode, std::uint8_t selector, std::int16_t amount);
    Result MeasureCRDrive(std::uint8_t mode, std::uint8_t selector, std::int16_t distance);
    Result CommandD1(std::uint8_t value);
    Result CommandF1(std::uint8_t a, std::int16_t b, std::int16_t c, std::uint8_t d);
    Result CommandF2(std::uint8_t side);
    // MoveCarriage(20, -6, 0), then CommandC5(24, 0, 250).
    Result LeaveHome();

    // The shared packet buffer (bytes past the last packet's length are stale).
    const std::array<std::uint8_t, kMaxPacket>& Buffer() const { return packet_; }

private:
    Result Send(std::uint8_t code, int length);
    std::array<std::uint8_t, kMaxPacket> packet_{};
};

// The program-wide factory command object.
TPFactory& Factory();

}  // namespace svc
