#include "integration/testing/EngineTesting.h"

#include "link/OutsideLibraries.h"
#include "link/VexRaster.h"

namespace {
std::vector<std::uint8_t>& Sent() {
    static std::vector<std::uint8_t> sent;
    return sent;
}
}  // namespace

// The channel as the program's job stream and factory object see it: every
// block is taken at once and kept.
extern "C" uint16_t SendDataChannel(const uint8_t* data, uint32_t count) {
    Sent().insert(Sent().end(), data, data + count);
    return 1;
}
extern "C" uint16_t GetD4ErrorCode(void) { return 0; }
extern "C" uint16_t InquireStatus(uint8_t* record52) {
    for (int i = 0; i < 52; ++i) record52[i] = 0;
    record52[0] = 4;
    return 1;
}

namespace vp::testing {

std::vector<std::uint8_t> Wire(const std::function<void()>& compose) {
    Sent().clear();
    compose();
    svc::JobStream().Flush();
    std::vector<std::uint8_t> out;
    out.swap(Sent());
    return out;
}

}  // namespace vp::testing

namespace vp::testing {

std::size_t Drive(Engine& engine, const std::vector<std::uint8_t>& job, std::uint64_t stepMs, std::uint64_t maxIdleMs) {
    std::size_t at = 0;
    std::uint64_t idle = 0;
    while (at < job.size() && idle <= maxIdleMs) {
        const std::size_t taken = engine.Consume(job.data() + at, job.size() - at);
        at += taken;
        if (taken > 0) {
            idle = 0;
            continue;
        }
        engine.Advance(stepMs);
        idle += stepMs;
    }
    return at;
}

}  // namespace vp::testing
