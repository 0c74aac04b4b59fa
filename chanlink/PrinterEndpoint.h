// The printer side of the packet channel: a pure state machine that takes the
// bytes a host sends and returns the bytes the printer answers. The virtual
// printer owns one and supplies what only a printer knows through
// PrinterServices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace d4 {

class PrinterServices {
public:
    virtual ~PrinterServices() = default;
    // One EEPROM byte; false makes the reply an error.
    virtual bool ReadEeprom(std::uint8_t address, std::uint8_t& value) = 0;
    virtual bool WriteEeprom(std::uint8_t address, std::uint8_t value) = 0;
    // Fills the status record the host's InquireStatus receives (52 bytes, from byte 0).
    virtual void FillStatus(std::uint8_t* record, std::size_t size) = 0;
    // How many print-data bytes the printer can take now; credit is granted from this.
    virtual std::size_t DataSpace() const = 0;
    // Print data that arrived with credit, in order.
    virtual void AcceptData(const std::uint8_t* data, std::size_t n) = 0;
};

class PrinterEndpoint {
public:
    explicit PrinterEndpoint(PrinterServices& services);
    ~PrinterEndpoint();
    PrinterEndpoint(const PrinterEndpoint&) = delete;
    PrinterEndpoint& operator=(const PrinterEndpoint&) = delete;

    // Bytes from the host (any chunking); returns the printer's answer bytes.
    std::vector<std::uint8_t> Receive(const std::uint8_t* data, std::size_t n);
    // The port was reset or reconnected: back to the state before Init.
    void Reset();
    // Whether the conversation was ended by a protocol error (logged in LastError()).
    bool Failed() const;
    const char* LastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace d4
