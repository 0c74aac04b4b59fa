// The program-wide state behind the C functions: which port the channel was
// negotiated on, the channel itself, the detail of the last failure and the
// optional capture. The C functions are a thin layer over one HostSession.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "chanlink/Capture.h"
#include "chanlink/HostChannel.h"
#include "hostbridge/Transport.h"

namespace d4 {

class HostSession {
public:
    // Where the open port's transport comes from (the port switch in the
    // library; a test's own transport in tests). nullptr = no port open.
    using TransportSource = std::function<hb::Transport*()>;
    // Changes whenever a port is opened (anew); a channel is bound to the
    // generation it was negotiated in. Without one, only the address counts.
    using GenerationSource = std::function<std::uint64_t()>;

    explicit HostSession(TransportSource source, HostTiming timing = {}, GenerationSource generation = {});

    // Starts capturing every packet to the file; false (and a message on
    // stderr) when the file cannot be created. A file that exists already
    // is kept as it is unless `replace` is set (CaptureWriter::Open).
    bool StartCapture(const std::string& path, bool replace = false);
    // Closes the capture file; a channel negotiated meanwhile records nothing more.
    void StopCapture() { capture_.Close(); }

    std::uint16_t SetCommandRCode(std::uint8_t first, std::uint8_t second);
    std::uint16_t Negotiate();
    std::uint16_t Terminate();
    std::uint16_t SendData(const std::uint8_t* data, std::uint32_t count);
    std::uint16_t ReadEeprom(std::uint8_t address, std::uint8_t* value);
    std::uint16_t WriteEeprom(std::uint8_t address, std::uint8_t value);
    std::uint16_t InquireStatus(std::uint8_t* record52);
    // The detail of the most recent failure (0 before any).
    std::uint16_t ErrorCode() const { return detail_; }

    std::uint8_t commandFirst() const { return rcode_[0]; }
    std::uint8_t commandSecond() const { return rcode_[1]; }

private:
    // The channel when it was negotiated on the port that is open now;
    // nullptr with the detail recorded otherwise.
    HostChannel* Usable();
    std::uint16_t Track(std::uint16_t result);

    TransportSource source_;
    HostTiming timing_;
    CaptureWriter capture_;
    std::unique_ptr<HostChannel> channel_;
    // Whether the open port is still the one the channel was negotiated on.
    bool StillBound(const hb::Transport* transport) const;

    GenerationSource generation_;
    // Identity of the transport the channel was negotiated on, and the port
    // generation at the time. Only compared, never dereferenced: once the port
    // is closed the object behind it is gone, and a port opened again may get
    // a transport at the same address; the generation tells the two apart.
    const hb::Transport* boundTo_ = nullptr;
    std::uint64_t boundGeneration_ = 0;
    std::uint16_t detail_ = detail::None;
    std::uint8_t rcode_[2] = {0, 0};
};

}  // namespace d4
