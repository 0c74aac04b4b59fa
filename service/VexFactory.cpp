#include "service/VexFactory.h"

#include "journal/Recorder.h"
#include "link/OutsideLibraries.h"

namespace svc {
namespace {

constexpr int kHeader = 5;  // bytes 0-4; the length field counts what follows them
constexpr int kParams = 10;

std::uint8_t RotateRight(std::uint8_t c) { return static_cast<std::uint8_t>((c >> 1) | (c << 7)); }

std::uint8_t Low(std::int32_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

std::uint8_t High(std::int32_t v) { return static_cast<std::uint8_t>((v >> 8) & 0xFF); }

}  // namespace

TPFactory::TPFactory() {
    // The same pair the channel was told about with SetD4CommandRCode.
    packet_[5] = 0x06;
    packet_[6] = 0x16;
}

Result TPFactory::Send(std::uint8_t code, int length) {
    packet_[0] = 0x1B;
    packet_[1] = 0x7C;
    packet_[2] = 0x00;
    packet_[3] = static_cast<std::uint8_t>(length - kHeader);
    packet_[4] = 0x00;
    packet_[7] = code;
    packet_[8] = static_cast<std::uint8_t>(code ^ 0xFF);
    packet_[9] = RotateRight(code);
    return SendDataChannel(packet_.data(), static_cast<std::uint32_t>(length));
}

Result TPFactory::SetBidValue(std::uint8_t black, std::uint8_t dotKind, int value) {
    std::uint8_t selector = 0;  // only dot kinds 10-13 are ever adjusted
    switch (dotKind) {
        case 10:
            selector = 1;
            break;
        case 11:
            selector = 2;
            break;
        case 12:
            selector = 4;
            break;
        case 13:
            selector = 3;
            break;
        default:
            break;
    }
    packet_[kParams] = selector;
    packet_[kParams + 1] = black == 1 ? 1 : 2;
    packet_[kParams + 2] = Low(value);
    packet_[kParams + 3] = value < 0 ? 0xFF : 0x00;
    // The printer keeps the value in its EEPROM (0x60-0x63 black, 0x64-0x67 colour, VSD1 first).
    static constexpr std::uint8_t kOffset[] = {0, 0, 1, 3, 2};  // by selector
    const auto address = static_cast<std::uint8_t>((black == 1 ? 0x60 : 0x64) + kOffset[selector]);
    if (selector != 0) journal::Journal().NoteWriting(address, Low(value), "Bi-D command");
    const Result r = Send(0x00, 14);
    if (selector != 0) journal::Journal().NoteWrite(address, Low(value), r, "Bi-D command");
    return r;
}

Result TPFactory::SetPFValue(std::int8_t value) {
    packet_[kParams] = static_cast<std::uint8_t>(value);
    return Send(0x04, 11);
}

Result TPFactory::ApplySettings() { return Send(0x50, 10); }

Result TPFactory::CarriageHome() { return Send(0x81, 10); }

Result TPFactory::StartExchangeSequence() {
    static constexpr std::uint8_t kBlock[] = {0x00, 0x00, 0xA6, 0x0C, 0x01, 0x00, 0x00, 0xA6, 0x0C,
                                              0x05, 0x00, 0x00, 0xA6, 0x0C, 0x05, 0xFF, 0x08};
    for (std::size_t i = 0; i < sizeof kBlock; ++i) packet_[kParams + i] = kBlock[i];
    return Send(0x82, 27);
}

Result TPFactory::StartCleaning(std::uint8_t kind) {
    packet_[kParams] = kind;
    return Send(0x84, 11);
}

Result TPFactory::MoveCarriage(std::uint8_t mode, std::int16_t position, std::uint8_t flag) {
    packet_[kParams] = mode;
    packet_[kParams + 1] = Low(position);
    packet_[kParams + 2] = High(position);
    packet_[kParams + 3] = flag == 1 ? 1 : 0;
    return Send(0xC4, 14);
}

Result TPFactory::CommandC5(std::uint8_t mode, std::uint8_t selector, std::int16_t amount) {
    packet_[kParams] = mode;
    packet_[kParams + 1] = selector;
    packet_[kParams + 2] = Low(amount);
    packet_[kParams + 3] = High(amount);
    return Send(0xC5, 14);
}

Result TPFactory::MeasureCRDrive(std::uint8_t mode, std::uint8_t selector, std::int16_t distance) {
    packet_[kParams] = mode;
    packet_[kParams + 1] = selector;
    packet_[kParams + 2] = Low(distance);
    packet_[kParams + 3] = High(distance);
    return Send(0xCF, 14);
}

Result TPFactory::CommandD1(std::uint8_t value) {
    packet_[kParams] = value;
    return Send(0xD1, 11);
}

Result TPFactory::CommandF1(std::uint8_t a, std::int16_t b, std::int16_t c, std::uint8_t d) {
    packet_[kParams] = a;
    packet_[kParams + 1] = Low(b);
    packet_[kParams + 2] = High(b);
    packet_[kParams + 3] = Low(c);
    packet_[kParams + 4] = High(c);
    packet_[kParams + 5] = d;
    return Send(0xF1, 16);
}

Result TPFactory::CommandF2(std::uint8_t side) {
    packet_[kParams] = side == 1 ? 0 : 1;
    return Send(0xF2, 11);
}

Result TPFactory::LeaveHome() {
    const Result r = MoveCarriage(20, -6, 0);
    return r == rc::Ok ? CommandC5(24, 0, 250) : r;
}

TPFactory& Factory() {
    static TPFactory factory;
    return factory;
}

}  // namespace svc
