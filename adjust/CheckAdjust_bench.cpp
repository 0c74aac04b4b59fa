// How fast the A3+ check sheet (about 570 KB) is composed through the job
// stream into the recording channel, beside a memcpy of the same bytes in
// blocks of 1000 in the same run.
#include "adjust/VexCheckPattern.h"
#include "link/VexRaster.h"
#include "link/testing/FakeOutside.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

namespace fk = svc::fake;

svc::A3PSheetData SheetData() {
    svc::A3PSheetData d;
    d.wasteInk = 1830;
    d.headId = "13A7F12B4KR7M2PX9A4CHT11Y";
    d.usbId = "4100A1234536EAPA10";
    d.pfEs3 = 0x7C;
    d.pfEs5 = 0x81;
    return d;
}

std::size_t SheetBytes() {
    fk::Fake().Reset();
    svc::TPRaster stream;
    svc::TPCheckPattern::ComposeA3PSheet(stream, SheetData());
    return fk::Fake().AcceptedBytes().size();
}

void BM_ComposeA3PSheet(benchmark::State& state) {
    fk::ScriptedHost host;
    const svc::A3PSheetData data = SheetData();
    const std::size_t sheet = SheetBytes();
    fk::Fake().Reset();
    svc::TPRaster stream;
    for (auto _ : state) {
        if (svc::TPCheckPattern::ComposeA3PSheet(stream, data) != svc::rc::Ok) state.SkipWithError("send failed");
        // The channel's record of the blocks goes with each sheet (part of its cost).
        fk::Fake().ClearCalls();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(sheet) * state.iterations());
}

void BM_MemcpySheet(benchmark::State& state) {
    fk::ScriptedHost host;
    fk::Fake().Reset();
    svc::TPRaster stream;
    svc::TPCheckPattern::ComposeA3PSheet(stream, SheetData());
    const std::vector<std::uint8_t> source = fk::Fake().AcceptedBytes();
    std::vector<std::uint8_t> sink(source.size());
    for (auto _ : state) {
        for (std::size_t at = 0; at < source.size(); at += 1000)
            std::memcpy(sink.data() + at, source.data() + at, std::min<std::size_t>(1000, source.size() - at));
        benchmark::DoNotOptimize(sink.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(source.size()) * state.iterations());
    state.counters["sheet_bytes"] = static_cast<double>(source.size());
}

BENCHMARK(BM_ComposeA3PSheet)->Name("ComposeA3PSheet")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpySheet)->Name("MemcpyA3PSheet")->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
