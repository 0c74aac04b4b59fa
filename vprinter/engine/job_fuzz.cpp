// Fuzz target for the job decoder and the engine behind it. Besides not
// crashing, the decoder must read the same events whatever the chunking of
// its input, and the engine must never take more bytes than it is offered.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "vprinter/engine/JobDecoder.h"
#include "vprinter/engine/PrintEngine.h"

namespace {

class Counter : public vp::JobVisitor {
public:
    std::uint64_t events = 0;
    std::uint64_t sum = 0;
    void Note(std::uint64_t v) {
        ++events;
        sum = sum * 31 + v;
    }
    void OnReset() override { Note(1); }
    void OnVerticalMove(int a) override { Note(2 + static_cast<std::uint64_t>(a)); }
    void OnHorizontalMove(int a) override { Note(3 + static_cast<std::uint64_t>(a)); }
    void OnRasterBegin(const vp::RasterHeader& h) override { Note(4 + h.lines); }
    void OnRasterLine(int i, const std::uint8_t* d, std::size_t n) override {
        std::uint64_t v = static_cast<std::uint64_t>(i);
        for (std::size_t k = 0; k < n; ++k) v = v * 3 + d[k];
        Note(v);
    }
    void OnText(std::uint8_t b) override { Note(5 + b); }
    void OnFactory(const vp::FactoryPacket& p) override { Note(6 + p.code); }
    void OnRemoteCommand(const vp::RemoteCommand& c) override { Note(7 + static_cast<std::uint8_t>(c.name[0])); }
    void OnFormFeed() override { Note(8); }
    void OnError(const std::string&) override { Note(9); }
};

class Machine : public vp::Machine {
public:
    std::uint8_t ReadEeprom(std::uint8_t a) const override { return eeprom[a]; }
    void WriteEeprom(std::uint8_t a, std::uint8_t v) override { eeprom[a] = v; }
    int InkLevel(int ink) const override { return inks[ink]; }
    void SetInkLevel(int ink, int percent) override { inks[ink] = percent; }
    std::uint64_t NowMs() const override { return 0; }
    void Log(const std::string&) override {}
    std::uint8_t eeprom[256] = {};
    int inks[7] = {100, 100, 100, 100, 100, 100, 100};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t chunk = 1 + data[0] % 17;
    ++data;
    --size;

    Counter whole, parts;
    vp::JobDecoder a, b;
    a.Feed(data, size, whole);
    a.Finish(whole);
    for (std::size_t at = 0; at < size; at += chunk) b.Feed(data + at, std::min(chunk, size - at), parts);
    b.Finish(parts);
    if (whole.events != parts.events || whole.sum != parts.sum || a.Failed() != b.Failed()) std::abort();

    Machine machine;
    vp::EngineOptions options;
    options.page = vp::PageSetup{100, 100, 90};
    vp::PrintEngine engine(machine, options);
    std::size_t at = 0;
    for (int idle = 0; at < size && idle < 8;) {
        const std::size_t taken = engine.Consume(data + at, size - at);
        if (taken > size - at) std::abort();
        at += taken;
        if (taken == 0) {
            ++idle;
            engine.Advance(100000);
            engine.PressRollPaperSwitch();
        }
    }
    return 0;
}
