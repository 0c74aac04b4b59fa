#include "chanlink/HostSession.h"

#include <cstdio>

namespace d4 {

HostSession::HostSession(TransportSource source, HostTiming timing, GenerationSource generation)
    : source_(std::move(source)), timing_(timing), generation_(std::move(generation)) {}

bool HostSession::StillBound(const hb::Transport* transport) const {
    return transport == boundTo_ && (!generation_ || generation_() == boundGeneration_);
}

bool HostSession::StartCapture(const std::string& path, bool replace) {
    if (capture_.Open(path, replace)) return true;
    std::fprintf(stderr, "chanlink: %s; continuing without a capture\n", capture_.Error().c_str());
    return false;
}

// The pair (6, 22) names the printer family the factory commands are for.
// Nothing in the channel depends on it; it is kept so the library can say
// what the program asked for.
std::uint16_t HostSession::SetCommandRCode(std::uint8_t first, std::uint8_t second) {
    rcode_[0] = first;
    rcode_[1] = second;
    return kResultOk;
}

std::uint16_t HostSession::Track(std::uint16_t result) {
    if (result != kResultOk && channel_) detail_ = channel_->detail();
    return result;
}

HostChannel* HostSession::Usable() {
    hb::Transport* transport = source_();
    if (!transport) {
        detail_ = detail::NoPort;
        return nullptr;
    }
    if (!channel_ || !StillBound(transport) || !channel_->ready()) {
        detail_ = detail::NotNegotiated;
        return nullptr;
    }
    return channel_.get();
}

std::uint16_t HostSession::Negotiate() {
    // Whatever was negotiated before is dropped without a word to the old
    // port: it may be closed, and the new conversation begins with a reset.
    channel_.reset();
    boundTo_ = nullptr;
    hb::Transport* transport = source_();
    if (!transport) {
        detail_ = detail::NoPort;
        return kResultChannel;
    }
    channel_ = std::make_unique<HostChannel>(*transport, timing_, capture_.IsOpen() ? &capture_ : nullptr);
    boundTo_ = transport;
    boundGeneration_ = generation_ ? generation_() : 0;
    return Track(channel_->Negotiate());
}

std::uint16_t HostSession::Terminate() {
    hb::Transport* transport = source_();
    std::uint16_t r = kResultOk;
    // Only a channel on the port that is still open can be told goodbye.
    if (channel_ && transport && StillBound(transport)) r = Track(channel_->Terminate());
    channel_.reset();
    boundTo_ = nullptr;
    return r;
}

std::uint16_t HostSession::SendData(const std::uint8_t* data, std::uint32_t count) {
    HostChannel* c = Usable();
    return c ? Track(c->SendData(data, count)) : kResultChannel;
}

std::uint16_t HostSession::ReadEeprom(std::uint8_t address, std::uint8_t* value) {
    HostChannel* c = Usable();
    return c ? Track(c->ReadEeprom(address, value)) : kResultChannel;
}

std::uint16_t HostSession::WriteEeprom(std::uint8_t address, std::uint8_t value) {
    HostChannel* c = Usable();
    return c ? Track(c->WriteEeprom(address, value)) : kResultChannel;
}

std::uint16_t HostSession::InquireStatus(std::uint8_t* record52) {
    HostChannel* c = Usable();
    return c ? Track(c->InquireStatus(record52)) : kResultChannel;
}

}  // namespace d4
