// Fuzz target for the packet codec and both ends of the channel. The input
// is used twice: as the host's byte stream into a printer end, and as the
// printer's byte stream into a host end. Neither may crash, hang or read
// out of bounds, whatever arrives.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>

#include "chanlink/HostChannel.h"
#include "chanlink/Messages.h"
#include "chanlink/Packet.h"
#include "chanlink/PrinterEndpoint.h"

namespace {

class FuzzPrinter : public d4::PrinterServices {
public:
    std::uint8_t eeprom[256] = {};
    std::size_t space = 8192;
    bool ReadEeprom(std::uint8_t a, std::uint8_t& v) override {
        v = eeprom[a];
        return a != 0xFF;
    }
    bool WriteEeprom(std::uint8_t a, std::uint8_t v) override {
        eeprom[a] = v;
        return true;
    }
    void FillStatus(std::uint8_t* record, std::size_t size) override { std::memset(record, 4, size); }
    std::size_t DataSpace() const override { return space; }
    void AcceptData(const std::uint8_t*, std::size_t n) override { space = n > space ? 0 : space - n; }
};

// A port whose printer says exactly the fuzz input, then nothing.
class ScriptedPort : public hb::Transport {
public:
    ScriptedPort(const std::uint8_t* data, std::size_t n) : data_(data), n_(n) {}
    hb::IoStatus Write(const std::uint8_t*, std::size_t, int) override { return hb::IoStatus::Ok; }
    hb::IoStatus Read(std::uint8_t* out, std::size_t n, int) override {
        if (n > n_ - pos_) return hb::IoStatus::Timeout;
        std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return hb::IoStatus::Ok;
    }
    hb::IoStatus ReadDeviceId(std::string&) override { return hb::IoStatus::Error; }
    hb::IoStatus Reset() override { return hb::IoStatus::Ok; }

private:
    const std::uint8_t* data_;
    std::size_t n_;
    std::size_t pos_ = 0;
};

void AsHostStream(const std::uint8_t* data, std::size_t size) {
    FuzzPrinter services;
    d4::PrinterEndpoint printer(services);
    const std::size_t half = size / 2;
    printer.Receive(data, half);
    printer.Receive(data + half, size - half);
    printer.Reset();
    printer.Receive(data, size);
}

void AsPrinterStream(const std::uint8_t* data, std::size_t size) {
    ScriptedPort port(data, size);
    d4::HostChannel host(port);
    if (host.Negotiate() != d4::kResultOk) return;
    std::uint8_t value = 0;
    std::uint8_t record[52];
    const std::uint8_t block[1000] = {};
    host.ReadEeprom(1, &value);
    host.WriteEeprom(2, 3);
    host.InquireStatus(record);
    host.SendData(block, sizeof block);
    host.Terminate();
}

void AsMessages(const std::uint8_t* data, std::size_t size) {
    d4::Transaction t;
    if (d4::DecodeTransaction(data, size, t) == d4::CodecError::None) {
        std::vector<std::uint8_t> again = d4::EncodeTransaction(t);
        if (again.size() != size || std::memcmp(again.data(), data, size) != 0) __builtin_trap();
    }
    d4::ControlMessage m;
    if (d4::DecodeControl(data, size, m) == d4::CodecError::None) {
        std::vector<std::uint8_t> again = d4::EncodeControl(m);
        if (again.size() != size || std::memcmp(again.data(), data, size) != 0) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    AsHostStream(data, size);
    AsPrinterStream(data, size);
    AsMessages(data, size);
    return 0;
}
