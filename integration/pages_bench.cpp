// Every page the program prints, rendered by the virtual printer's engine
// beside the time the same bytes take on a USB full-speed cable. Each page's
// job is made by the program's own print operation (the command-line one,
// which runs the window's handler) against the recording fake of the outside
// libraries; the engine then decodes it, draws the page at the resolution it
// chooses for it (as the vprinter program does by default) and writes the PNG.
//
// Goal: each page ready in at most its transmit time at 1216 KB/s (19 bulk
// packets of 64 bytes per millisecond). The counter `of_goal` is the time per
// page over that time: at most 1. `BM_Link...` runs the engine without writing
// the page: what the link waits for while the page is drawn beside it.
#include "integration/testing/EngineJobs.h"
#include "vprinter/engine/PagePlan.h"
#include "vprinter/engine/PrintEngine.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr double kUsbFullSpeedBytesPerSecond = 1216000.0;

// The bytes an operation hands to SendDataChannel, made once an operation.
const std::vector<std::uint8_t>& JobOf(const std::string& operation, const svc::cli::Arguments& args) {
    static std::map<std::string, std::vector<std::uint8_t>> jobs;
    auto found = jobs.find(operation);
    if (found != jobs.end()) return found->second;
    return jobs[operation] = vp::testing::OperationJob(operation, args);
}

void RenderPage(benchmark::State& state, const std::string& operation, const svc::cli::Arguments& args, bool rollPaper,
                bool write = true, bool textAsBars = false) {
    const std::vector<std::uint8_t>& job = JobOf(operation, args);
    if (job.empty()) {
        state.SkipWithError(("no job from " + operation).c_str());
        return;
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("svc-pages-bench-" + std::to_string(::getpid()));
    vp::EngineOptions options;
    options.page.previewDpi = vp::kPagePlanned;
    if (write) options.pagesDir = dir.string();
    options.times = vp::MechanismTimes{0, 0, 0, 0, 0, 0};
    options.rollPaper = rollPaper;
    // Without a font (a file that is not there) text is marked with bars.
    if (textAsBars) options.fonts = {(dir / "no-such-font.ttf").string()};
    int pages = 0;
    std::string lastLog;
    for (auto _ : state) {
        std::filesystem::remove_all(dir);  // every run writes page-0001.png
        vp::testing::FactoryMachine machine;
        vp::PrintEngine engine(machine, options);
        const std::size_t taken = vp::testing::PrintJob(engine, machine, job);
        if (taken != job.size()) {
            state.SkipWithError(("the engine refused the job: " + engine.RefusalReason()).c_str());
            break;
        }
        pages = engine.PagesEjected();
        lastLog = machine.lastPageLog;
    }
    if (write) {
        // "... (1440 dpi, 10500 x 3000)": the resolution and size of the last page.
        int dpi = 0, width = 0, height = 0;
        const std::size_t at = lastLog.rfind(" (");
        if (at != std::string::npos) std::sscanf(lastLog.c_str() + at, " (%d dpi, %d x %d)", &dpi, &width, &height);
        state.counters["dpi"] = dpi;
        state.counters["Mpx"] = static_cast<double>(width) * height / 1e6;
        std::error_code ec;
        const auto size = std::filesystem::file_size(dir / "page-0001.png", ec);
        state.counters["file_KB"] = ec ? -1.0 : static_cast<double>(size) / 1024.0;
        // SVC_PAGES_BENCH_KEEP=DIR keeps each page as DIR/OPERATION.png, to look at.
        if (const char* keep = std::getenv("SVC_PAGES_BENCH_KEEP"))
            std::filesystem::copy_file(dir / "page-0001.png", std::filesystem::path(keep) / (operation + ".png"),
                                       std::filesystem::copy_options::overwrite_existing, ec);
    }
    std::filesystem::remove_all(dir);
    const double transmitMs = static_cast<double>(job.size()) / kUsbFullSpeedBytesPerSecond * 1000.0;
    state.counters["job_KB"] = static_cast<double>(job.size()) / 1024.0;
    state.counters["pages"] = pages;
    state.counters["usb_fs_ms"] = transmitMs;
    // Seconds per iteration over the transmit time.
    state.counters["of_goal"] = benchmark::Counter(static_cast<double>(state.iterations()) * transmitMs / 1000.0,
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

#define PAGE(name, op, roll, ...)                                                                      \
    void BM_##name(benchmark::State& state) { RenderPage(state, op, {__VA_ARGS__}, roll); }            \
    BENCHMARK(BM_##name)->Unit(benchmark::kMillisecond);                                               \
    void BM_Link##name(benchmark::State& state) { RenderPage(state, op, {__VA_ARGS__}, roll, false); } \
    BENCHMARK(BM_Link##name)->Unit(benchmark::kMillisecond)

PAGE(A3CheckSheet, "a3-check-print", false);
PAGE(A4CheckSheet, "a4-check-print", false);
PAGE(NozzleCheck, "nozzle-check-print", false);
PAGE(HeadCheck, "head-check-print", false);
PAGE(HeadAngular, "head-angular-print", false);
PAGE(BidAllFour, "bid-print", false);
PAGE(Pf, "pf-print", false);
PAGE(PwSensor, "pw-print", false);
PAGE(PixelShift, "pixel-shift-print", false);
PAGE(FirstDot, "first-dot-print", false);
PAGE(CutPosition, "cut-print", true);
PAGE(PgPrint, "pg-print", false);

// The pages with the most text again, their text marked with bars instead of
// drawn in the font: the baseline for what drawing text costs.
#define PAGE_TEXT_AS_BARS(name, op)                                                                       \
    void BM_##name##TextAsBars(benchmark::State& state) { RenderPage(state, op, {}, false, true, true); } \
    BENCHMARK(BM_##name##TextAsBars)->Unit(benchmark::kMillisecond)

PAGE_TEXT_AS_BARS(A3CheckSheet, "a3-check-print");
PAGE_TEXT_AS_BARS(BidAllFour, "bid-print");
PAGE_TEXT_AS_BARS(Pf, "pf-print");

}  // namespace

BENCHMARK_MAIN();
