// How fast patterns can be composed through the job stream: run-length rows
// appended with the command primitives and sent in blocks to a channel that
// only copies the bytes away, beside a plain memcpy of the same bytes.
#include "link/OutsideLibraries.h"
#include "link/VexRaster.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

// The channel: a preallocated sink the blocks are copied into, wrapping round.
constexpr std::size_t kSinkSize = 1 << 20;
std::vector<std::uint8_t> sink(kSinkSize);
std::size_t sinkAt = 0;
std::int64_t sent = 0;  // every byte the channel took

void CopyToSink(const std::uint8_t* data, std::size_t count) {
    if (sinkAt + count > kSinkSize) sinkAt = 0;
    std::memcpy(sink.data() + sinkAt, data, count);
    sinkAt += count;
}

constexpr int kRows = 1000;

// A row of long runs, as the solid bands of the check patterns are built.
svc::Result LongRunRow(svc::TPRaster& s, int row) {
    return svc::RepeatSendLong(s, 48000 + row % 7, static_cast<std::uint8_t>(row));
}

// A row of short units between long runs, as the ruled and stepped patterns are built.
svc::Result MixedRow(svc::TPRaster& s, int row) {
    svc::Result r = svc::RepeatSendLong(s, 4000, 0xFF);
    for (int i = 0; i < 40 && r == svc::rc::Ok; ++i) {
        r = svc::RepeatSend(s, 1, static_cast<std::uint8_t>(row + i));
        if (r == svc::rc::Ok) r = svc::RepeatSend(s, 9 + i % 50, 0x55);
    }
    if (r == svc::rc::Ok) r = svc::RepeatSendLong(s, 2000, 0xC0);
    return r;
}

template <svc::Result (*Row)(svc::TPRaster&, int)>
void BM_Compose(benchmark::State& state) {
    svc::TPRaster stream;
    const std::int64_t before = sent;
    for (auto _ : state) {
        for (int row = 0; row < kRows; ++row)
            if (Row(stream, row) != svc::rc::Ok) state.SkipWithError("send failed");
        stream.Flush();
        benchmark::DoNotOptimize(sink.data());
    }
    state.SetBytesProcessed(sent - before);
}

// The same number of bytes moved by memcpy in blocks of 1000: the ceiling.
template <svc::Result (*Row)(svc::TPRaster&, int)>
void BM_Memcpy(benchmark::State& state) {
    // Compose once to learn the bytes.
    sinkAt = 0;
    {
        svc::TPRaster stream;
        for (int row = 0; row < kRows; ++row) Row(stream, row);
        stream.Flush();
    }
    const std::size_t total = sinkAt;  // below the sink size, so nothing wrapped
    const std::vector<std::uint8_t> source(sink.begin(), sink.begin() + static_cast<std::ptrdiff_t>(total));
    for (auto _ : state) {
        for (std::size_t at = 0; at < total; at += 1000)
            CopyToSink(source.data() + at, std::min<std::size_t>(1000, total - at));
        benchmark::DoNotOptimize(sink.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(total) * state.iterations());
}

BENCHMARK(BM_Compose<LongRunRow>)->Name("Compose/LongRuns");
BENCHMARK(BM_Memcpy<LongRunRow>)->Name("Memcpy/LongRuns");
BENCHMARK(BM_Compose<MixedRow>)->Name("Compose/MixedRows");
BENCHMARK(BM_Memcpy<MixedRow>)->Name("Memcpy/MixedRows");

}  // namespace

// The few outside-library functions the job stream calls: the printer takes every block.
extern "C" {
uint16_t SendDataChannel(const uint8_t* data, uint32_t count) {
    CopyToSink(data, count);
    sent += count;
    return 1;
}
uint16_t GetD4ErrorCode(void) { return 0; }
uint16_t InquireStatus(uint8_t*) { return 1; }
}
