// Reading a page against printing it: each adjustment page is printed once
// on an A3+ sheet by the in-process virtual printer (through svcadjust-cli,
// at the resolution the printer draws it by default), then read again and
// again. The counter `of_usb` is the time a reading takes over the time the
// page's job takes on a USB full-speed cable (12 Mbit/s, from the bytes the
// program sent for it): below 1, the page is read faster than it could be
// sent. Figures in docs/PERFORMANCE.md.
#include "pagereader/PageReader.h"
#include "integration/testing/Twin.h"
#include "vprinter/Printer.h"
#include "vprinter/engine/PagePlan.h"
#include "vprinter/engine/PrintEngine.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace {

namespace pr = svc::pagereader;

constexpr double kUsbFullSpeedBytesPerSecond = 12e6 / 8;

struct Sample {
    pr::Image page;
    pr::Context context;
    std::size_t jobBytes = 0;
};

const Sample& Printed(const std::string& operation, pr::Kind kind) {
    static std::map<std::string, Sample> samples;
    if (auto found = samples.find(operation); found != samples.end()) return found->second;
    Sample& s = samples[operation];
    vp::EngineOptions options;
    options.page.previewDpi = vp::kPagePlanned;
    options.rollPaper = kind == pr::Kind::Cut;
    std::unique_ptr<vp::PrintEngine> engine;
    svc::twin::Setup setup;
    setup.prepare = [&](vp::Printer& p) {
        engine = std::make_unique<vp::PrintEngine>(p, options);
        engine->SetPageHook([&](int, const vp::PageRenderer& r) {
            const vp::Image page = r.Compose();
            s.page.width = page.width;
            s.page.height = page.height;
            s.page.rgb = page.rgb;
            s.page.dpi = page.dpi;
        });
        p.SetEngine(engine.get());
    };
    setup.inspect = [&](vp::Printer& p) {
        static constexpr const char* kBid[8] = {"VSD1Bk", "VSD2Bk", "VSD2DBk", "VSD4Bk",
                                                "VSD1CL", "VSD2CL", "VSD2DCL", "VSD4CL"};
        for (int i = 0; i < 8; ++i)
            s.context.stored.emplace_back(kBid[i],
                                          static_cast<std::int8_t>(p.ReadEeprom(static_cast<std::uint8_t>(0x60 + i))));
        s.context.stored.emplace_back("", static_cast<std::int8_t>(p.ReadEeprom(0x68)));
        p.SetEngine(nullptr);
    };
    const svc::twin::Run run = svc::twin::RunCli(setup, {operation});
    for (const auto& packet : run.packets) s.jobBytes += packet.size();
    return s;
}

void BM_Read(benchmark::State& state, const std::string& operation, pr::Kind kind) {
    const Sample& s = Printed(operation, kind);
    if (s.page.Null()) {
        state.SkipWithError(("no page from " + operation).c_str());
        return;
    }
    for (auto _ : state) {
        const pr::Reading reading = pr::Read(kind, s.page, s.context);
        if (!reading.Complete()) {
            state.SkipWithError("the page did not read");
            return;
        }
        benchmark::DoNotOptimize(reading);
    }
    const double sendSeconds = static_cast<double>(s.jobBytes) / kUsbFullSpeedBytesPerSecond;
    state.counters["megapixels"] = static_cast<double>(s.page.width) * s.page.height / 1e6;
    state.counters["job_kB"] = static_cast<double>(s.jobBytes) / 1000.0;
    state.counters["usb_s"] = sendSeconds;
    // Seconds a reading over seconds of sending: below 1 keeps up with the cable.
    state.counters["of_usb"] = benchmark::Counter(sendSeconds * static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK_CAPTURE(BM_Read, bid, std::string("bid-print"), pr::Kind::Bid)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Read, pf, std::string("pf-print"), pr::Kind::Pf)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Read, head_angular, std::string("head-angular-print"), pr::Kind::HeadAngular)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Read, pw, std::string("pw-print"), pr::Kind::Pw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Read, pixel_shift, std::string("pixel-shift-print"), pr::Kind::PixelShift)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Read, first_dot, std::string("first-dot-print"), pr::Kind::FirstDot)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Read, cut, std::string("cut-print"), pr::Kind::Cut)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
