// Decoding and rendering a long job, the size of the A3+ check sheet, to a
// preview page. The job is composed with the program's own primitives,
// pattern by pattern as the check sheet lays them out, and sent into a
// channel sink.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#ifdef VENGINE_BENCH_LIBPNG
#include <png.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "link/VexRaster.h"
#include "vprinter/engine/JobDecoder.h"
#include "vprinter/engine/PngStream.h"
#include "vprinter/engine/PrintEngine.h"
#include "integration/testing/EngineTesting.h"

namespace {

using svc::TPRaster;

struct Job {
    std::vector<std::uint8_t> bytes;
    std::uint64_t deviceDots = 0;  // dot positions of all raster blocks
};

std::uint64_t g_dots = 0;

void Header(TPRaster& s, std::uint8_t color, std::uint8_t bpp, int bytes, int lines) {
    svc::SendRasterHeader(s, color, 1, bpp, static_cast<std::uint16_t>(bytes), static_cast<std::uint16_t>(lines));
    g_dots += static_cast<std::uint64_t>(bytes) * (8 / bpp) * lines;
}

void Label(TPRaster& s, const std::string& text) {
    s.Append(reinterpret_cast<const std::uint8_t*>(text.c_str()), static_cast<int>(text.size() + 1));
}

void Beta(TPRaster& s) {
    const std::uint8_t colors[3][3] = {{0, 2, 3}, {10, 12, 13}, {4, 4, 4}};
    for (int row = 0; row < 3; ++row) {
        for (int pass = 0; pass < 2; ++pass) {
            for (int col = 0; col < (row == 2 ? 1 : 3); ++col) {
                svc::SendJobHeader(s, 10, 1, 10, 1);
                if (col > 0) svc::SendHorizontalMove(s, col * 1520);
                svc::SendRasterResolution(s, 104, 1, 2, 1);
                Header(s, colors[row][col], 2, 380, 96);
                for (int l = 0; l < 96; ++l) {
                    for (int k = 0; k < 3; ++k) svc::RepeatSend(s, 125, 0xFF);
                    svc::RepeatSend(s, 5, 0x00);
                }
            }
            svc::SendVerticalMove(s, 1);
        }
        svc::SendVerticalMove(s, 200);
    }
    svc::SendInitialize(s);
}

void DotCheck(TPRaster& s) {
    const std::uint8_t colors[3][3] = {{0, 10, 2}, {3, 13, 12}, {4, 4, 4}};
    const std::uint8_t kinds[3] = {10, 11, 13};
    for (int row = 0; row < 3; ++row) {
        for (int pass = 0; pass < 2; ++pass) {
            for (int col = 0; col < (row == 2 ? 1 : 3); ++col) {
                svc::SendJobHeader(s, 10, 1, 10, 1);
                for (int step = 0; step < 3; ++step) {
                    svc::SendJobHeader(s, 10, 1, kinds[step], 1);
                    svc::SendHorizontalMove(s, col * 1520 + step * 500);
                    svc::SendRasterResolution(s, 208, 2, 4, 2);
                    Header(s, colors[row][col], 2, 125, 96);
                    const std::uint8_t d = kinds[step] == 13 ? 0x55 : 0xFF;
                    for (int l = 0; l < 96; ++l) {
                        if (l % 2 == 0) {
                            svc::RepeatSend(s, 62, d);
                            svc::RepeatSend(s, 63, 0);
                        } else {
                            svc::RepeatSend(s, 62, 0);
                            svc::RepeatSend(s, 62, d);
                            svc::RepeatSend(s, 1, 0);
                        }
                    }
                }
            }
            svc::SendVerticalMove(s, 192);
        }
        svc::SendVerticalMove(s, 8);
    }
    svc::SendInitialize(s);
}

void HeadAngular(TPRaster& s) {
    Label(s, "Head Angular(Gray-Light Magenta)");
    svc::SendLineFeeds(s, 1);
    svc::SendJobHeader(s, 10, 1, 10, 1);
    svc::SendRasterResolution(s, 104, 1, 2, 1);
    for (int part = 0; part < 2; ++part) {
        Header(s, part == 0 ? 10 : 13, 2, 1143, 96);
        for (int l = 0; l < 96; ++l) {
            if (l % 4 == part * 2) {
                if (part == 1) svc::RepeatSend(s, 54, 0);
                for (int k = 0; k < 10; ++k) {
                    svc::RepeatSend(s, 72, 0xFF);
                    svc::RepeatSend(s, 36, 0);
                }
                svc::RepeatSend(s, part == 0 ? 63 : 9, 0xFF);
            } else {
                for (int k = 0; k < 9; ++k) svc::RepeatSend(s, 127, 0);
            }
        }
        if (part == 0) svc::SendLineReturn(s);
    }
    svc::SendVerticalMove(s, 195);
    svc::SendInitialize(s);
}

void TickBlock(TPRaster& s, std::uint8_t color, std::uint8_t bpp, std::uint8_t tick, int first, int last) {
    Header(s, color, bpp, 1140, 96);
    for (int l = 0; l < 96; ++l) {
        if (l >= first && l <= last) {
            for (int k = 0; k < 114; ++k) {
                svc::RepeatSend(s, 1, tick);
                svc::RepeatSend(s, 9, 0);
            }
        } else {
            svc::RepeatSendLong(s, 1140, 0);
        }
    }
}

void Bid(TPRaster& s, std::uint8_t kind) {
    const bool vsd4 = kind == 13;
    const std::uint8_t pitch = vsd4 ? 2 : 4, bpp = vsd4 ? 1 : 2, tick = vsd4 ? 0x40 : 0xC0;
    Label(s, "Bi-D Variable DOT\r");
    for (int color = 0; color < 2; ++color) {
        for (int pass = 0; pass < (vsd4 ? 4 : 2); ++pass) {
            for (int half = 0; half < 2; ++half) {
                svc::SendJobHeader(s, 10, half == 0 ? 1 : 3, kind, static_cast<std::uint8_t>(color));
                if (vsd4) svc::SendUnitExtended(s);
                svc::SendRasterResolution(s, 160, 5, 8, pitch);
                const std::uint8_t ink = color == 0 ? 0 : (half == 0 ? 3 : 2);
                TickBlock(s, ink, bpp, tick, half == 0 ? 24 : 48, half == 0 ? 47 : 71);
                if (half == 0) svc::SendLineReturn(s);
            }
            svc::SendVerticalMove(s, 1);
        }
        svc::SendUnit(s, 10);
        svc::SendVerticalMove(s, color == 0 ? 97 : 160);
    }
    svc::SendInitialize(s);
}

void Inclined(TPRaster& s) {
    Label(s, "Inclined Carridge\r\n");
    svc::SendJobHeader(s, 10, 1, 10, 1);
    for (int row = 0; row < 3; ++row) {
        for (int pass = 0; pass < 2; ++pass) {
            svc::SendRasterResolution(s, 104, 1, 2, 1);
            Header(s, 0, 2, 1142, 96);
            for (int l = 0; l < 96; ++l) {
                for (int motif = 0; motif < 3; ++motif) {
                    for (int k = 0; k < 6; ++k) svc::RepeatSend(s, 8, (k + pass + row) % 2 ? 0xCC : 0x00);
                    if (motif < 2) {
                        svc::RepeatSend(s, 125, 0);
                        svc::RepeatSend(s, 125, 0);
                        svc::RepeatSend(s, 125, 0);
                        svc::RepeatSend(s, 124, 0);
                    }
                }
            }
            svc::SendLineReturn(s);
            svc::SendVerticalMove(s, 0);
            svc::SendDirection(s, 0);
        }
        svc::SendVerticalMove(s, 96);
    }
    svc::SendVerticalMove(s, 110);
    svc::SendInitialize(s);
}

const Job& CheckSheet() {
    static const Job job = [] {
        g_dots = 0;
        Job j;
        j.bytes = vp::testing::Wire([] {
            TPRaster& s = svc::JobStream();
            Label(s, "Waste Ink Pad counter value = ");
            svc::SendLineFeeds(s, 2);
            Label(s, "Beta pattern(BK-C-M/G-LC-LM/Y)");
            svc::SendLineFeeds(s, 1);
            Beta(s);
            Label(s, "Dot check pattern(BK-C-M/G-LC-LM/Y)");
            svc::SendLineFeeds(s, 1);
            DotCheck(s);
            HeadAngular(s);
            for (std::uint8_t kind : {10, 11, 12, 13}) Bid(s, kind);
            Inclined(s);
            Label(s, "Head ID = ");
            svc::SendLineFeeds(s, 2);
            svc::SendEndOfJob(s);
        });
        j.deviceDots = g_dots;
        return j;
    }();
    return job;
}

double PeakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void Report(benchmark::State& state, std::size_t coverageBytes) {
    const Job& job = CheckSheet();
    const double linkSeconds = static_cast<double>(job.bytes.size()) / 1.216e6;
    state.counters["job_bytes"] = static_cast<double>(job.bytes.size());
    state.counters["link_ms"] = linkSeconds * 1000.0;
    state.counters["device_dots_per_s"] =
        benchmark::Counter(static_cast<double>(job.deviceDots) * state.iterations(), benchmark::Counter::kIsRate);
    state.counters["s_per_page"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["coverage_MB"] = static_cast<double>(coverageBytes) / (1024.0 * 1024.0);
    state.counters["peak_rss_MB"] = PeakRssMb();
}

void BM_DecodeCheckSheet(benchmark::State& state) {
    const Job& job = CheckSheet();
    vp::JobVisitor nothing;
    for (auto _ : state) {
        vp::JobDecoder decoder;
        benchmark::DoNotOptimize(decoder.Feed(job.bytes.data(), job.bytes.size(), nothing));
    }
    Report(state, 0);
}
BENCHMARK(BM_DecodeCheckSheet)->Unit(benchmark::kMillisecond);

// Decoding and rendering to coverage; `withPng` also composes and writes the preview.
void RenderCheckSheet(benchmark::State& state, bool withPng) {
    const Job& job = CheckSheet();
    vp::testing::FakeMachine machine;
    vp::EngineOptions options;
    options.times.eject = 0;
    // Per process, so two runs at once do not write into or remove each other's pages.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vengine-bench-" + std::to_string(::getpid()));
    if (withPng) options.pagesDir = dir.string();
    std::size_t coverage = 0;
    int pages = 0;
    for (auto _ : state) {
        vp::PrintEngine engine(machine, options);
        engine.SetPageHook([&](int, const vp::PageRenderer& page) { coverage = page.MemoryBytes(); });
        const std::size_t taken = engine.Consume(job.bytes.data(), job.bytes.size());
        if (taken != job.bytes.size() || engine.PagesEjected() != 1) {
            state.SkipWithError(("the job was not printed: " + engine.RefusalReason()).c_str());
            break;
        }
        pages += engine.PagesEjected();
    }
    benchmark::DoNotOptimize(pages);
    Report(state, coverage);
    if (withPng) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(dir / "page-0001.png", ec);
        state.counters["file_KB"] = ec ? -1.0 : static_cast<double>(size) / 1024.0;
    }
    std::filesystem::remove_all(dir);
}

void BM_RenderCheckSheet(benchmark::State& state) { RenderCheckSheet(state, false); }
void BM_RenderCheckSheetToPng(benchmark::State& state) { RenderCheckSheet(state, true); }
BENCHMARK(BM_RenderCheckSheet)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderCheckSheetToPng)->Unit(benchmark::kMillisecond);

// Composing the preview alone, without encoding it.
void BM_ComposeCheckSheet(benchmark::State& state) {
    const Job& job = CheckSheet();
    vp::testing::FakeMachine machine;
    vp::EngineOptions options;
    vp::PrintEngine engine(machine, options);
    engine.SetPageHook([&](int, const vp::PageRenderer& page) {
        for (auto _ : state) benchmark::DoNotOptimize(page.Compose().rgb.data());
    });
    engine.Consume(job.bytes.data(), job.bytes.size());
}
BENCHMARK(BM_ComposeCheckSheet)->Unit(benchmark::kMillisecond);

// The composed check sheet, once.
const vp::Image& ComposedSheet() {
    static const vp::Image image = [] {
        vp::Image out;
        vp::testing::FakeMachine machine;
        vp::PrintEngine engine(machine, vp::EngineOptions{});
        engine.SetPageHook([&](int, const vp::PageRenderer& page) { out = page.Compose(); });
        const Job& job = CheckSheet();
        engine.Consume(job.bytes.data(), job.bytes.size());
        return out;
    }();
    return image;
}

std::string BenchFile(const char* name) {
    return (std::filesystem::temp_directory_path() / ("vengine-bench-" + std::to_string(::getpid()) + "-" + name))
        .string();
}

// Encoding the composed sheet row by row, as the printer writes it: PngStream
// (zlib level 1; a row like the one above coded as a run of its own) against
// libpng, unfiltered at zlib level 1.
void BM_EncodeSheetSpng(benchmark::State& state) {
    const vp::Image& image = ComposedSheet();
    const std::string path = BenchFile("spng.png");
    for (auto _ : state) {
        std::string error;
        if (!vp::WritePng(path, image, &error)) state.SkipWithError(error.c_str());
    }
    state.counters["file_KB"] = static_cast<double>(std::filesystem::file_size(path)) / 1024.0;
    if (!std::getenv("VENGINE_BENCH_KEEP")) std::filesystem::remove(path);
}
BENCHMARK(BM_EncodeSheetSpng)->Unit(benchmark::kMillisecond);

#ifdef VENGINE_BENCH_LIBPNG
bool WriteLibpng(const std::string& path, const vp::Image& image) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_filter(png, 0, PNG_FILTER_NONE);
        png_set_compression_level(png, 1);
        png_write_info(png, info);
        for (int y = 0; y < image.height; ++y) png_write_row(png, image.Row(y));
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return ok;
}

void BM_EncodeSheetLibpng(benchmark::State& state) {
    const vp::Image& image = ComposedSheet();
    const std::string path = BenchFile("libpng.png");
    for (auto _ : state)
        if (!WriteLibpng(path, image)) state.SkipWithError("libpng failed");
    state.counters["file_KB"] = static_cast<double>(std::filesystem::file_size(path)) / 1024.0;
    std::filesystem::remove(path);
}
BENCHMARK(BM_EncodeSheetLibpng)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
