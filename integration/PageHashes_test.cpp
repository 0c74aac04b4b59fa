// Every page the program prints, drawn by the virtual printer's engine at
// the resolution each page chooses (as the vprinter program does by default)
// and written as PNG: the pixels of each file, read back row by row, against
// the hash they had when the drawing last changed on purpose. A change to how
// dots are placed, inks composited or rows written that alters a single
// pixel of any page fails here; a change in how the file is compressed does
// not (the hash is over the decoded pixels, the size and the resolution).
//
// SVC_PAGE_HASHES_PRINT=1 prints the table of hashes to paste below after a
// change to the pictures that is meant.
#include "integration/testing/EngineJobs.h"
#include "vprinter/engine/PagePlan.h"
#include "vprinter/engine/PrintEngine.h"

#include <gtest/gtest.h>
#include <spng.h>
#include <unistd.h>

#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace {

// FNV-1a, 64 bits.
struct Fnv {
    std::uint64_t value = 14695981039346656037ull;
    void Add(const std::uint8_t* data, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) value = (value ^ data[i]) * 1099511628211ull;
    }
    void Add(std::uint32_t word) {
        const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(word >> 24), static_cast<std::uint8_t>(word >> 16),
                                       static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)};
        Add(bytes, 4);
    }
};

struct PageHash {
    std::uint64_t hash = 0;
    std::uint32_t width = 0, height = 0, ppm = 0;
    std::string error;
};

// The page's size, resolution and RGB pixels, decoded a row at a time (a
// page at 1440 dpi holds over 150 million pixels).
PageHash HashPng(const std::string& path) {
    PageHash out;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        out.error = "cannot open " + path;
        return out;
    }
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_file(ctx, file);
    spng_set_image_limits(ctx, 1u << 20, 1u << 20);
    spng_set_chunk_limits(ctx, 1u << 30, 1u << 30);
    spng_ihdr ihdr{};
    int r = spng_get_ihdr(ctx, &ihdr);
    if (r == 0) r = spng_decode_image(ctx, nullptr, 0, SPNG_FMT_RGB8, SPNG_DECODE_PROGRESSIVE);
    Fnv fnv;
    if (r == 0) {
        out.width = ihdr.width;
        out.height = ihdr.height;
        spng_phys phys{};
        if (spng_get_phys(ctx, &phys) == 0) out.ppm = phys.ppu_x;
        fnv.Add(out.width);
        fnv.Add(out.height);
        fnv.Add(out.ppm);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(ihdr.width) * 3);
        do {
            r = spng_decode_row(ctx, row.data(), row.size());
            if (r == 0 || r == SPNG_EOI) fnv.Add(row.data(), row.size());
        } while (r == 0);
        if (r == SPNG_EOI) r = 0;
    }
    if (r != 0) out.error = path + ": " + spng_strerror(r);
    out.hash = fnv.value;
    spng_ctx_free(ctx);
    std::fclose(file);
    return out;
}

struct Expected {
    const char* operation;
    bool rollPaper;
    std::uint32_t width, height;
    std::uint64_t hash;
};

// Each operation's page: its size in pixels and the hash of its pixels.
const Expected kPages[] = {
    {"a3-check-print", false, 4663, 4663, 0xa28faa63d9ac8de1ull},
    {"a4-check-print", false, 1616, 772, 0x6e9eebc5991ef413ull},
    {"nozzle-check-print", false, 2673, 347, 0xf241c16e0b99ac63ull},
    {"head-check-print", false, 12290, 4702, 0x873a428bdd2cd52dull},
    {"head-angular-print", false, 4663, 395, 0x2c56d3b6b0b35460ull},
    {"bid-print", false, 10414, 15200, 0x91f8529c9b78cf49ull},
    {"pf-print", false, 3011, 3906, 0x318914c3dcbaf21bull},
    {"pw-print", false, 4663, 6846, 0x43412f873e529cccull},
    {"pixel-shift-print", false, 11585, 6941, 0xe07b32f3b39c75e4ull},
    {"first-dot-print", false, 1298, 2688, 0xcdfa8f0e1e9cc327ull},
    {"cut-print", true, 2882, 339, 0xab0d1783284c85aaull},
    {"pg-print", false, 4663, 590, 0x0b35fb8eeb9ef5ccull},
};

void PrintTo(const Expected& page, std::ostream* out) { *out << page.operation; }

// The job run through a fresh engine as the vprinter program runs it (each
// page at the resolution it chooses); the one page it ejects, hashed.
PageHash PrintedPage(const std::vector<std::uint8_t>& job, bool rollPaper, const std::string& name) {
    PageHash page;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("svc-page-hashes-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    vp::EngineOptions options;
    options.page.previewDpi = vp::kPagePlanned;
    options.pagesDir = dir.string();
    options.times = vp::MechanismTimes{0, 0, 0, 0, 0, 0};
    options.rollPaper = rollPaper;
    vp::testing::FactoryMachine machine;
    std::vector<std::string> files;
    {
        vp::PrintEngine engine(machine, options);
        const std::size_t taken = vp::testing::PrintJob(engine, machine, job);
        if (taken != job.size()) page.error = "the engine refused the job: " + engine.RefusalReason();
        files = engine.PageFiles();
    }
    if (page.error.empty() && files.size() != 1) page.error = std::to_string(files.size()) + " pages, not 1";
    if (page.error.empty()) page = HashPng(files[0]);
    std::filesystem::remove_all(dir);
    return page;
}

class PageHashes : public testing::TestWithParam<Expected> {};

TEST_P(PageHashes, EveryPixelAsBefore) {
    const Expected& expected = GetParam();
    const std::vector<std::uint8_t> job = vp::testing::OperationJob(expected.operation);
    ASSERT_FALSE(job.empty()) << "no job from " << expected.operation;
    const PageHash page = PrintedPage(job, expected.rollPaper, expected.operation);
    ASSERT_EQ(page.error, "");
    if (std::getenv("SVC_PAGE_HASHES_PRINT"))
        std::printf("    {\"%s\", %s, %" PRIu32 ", %" PRIu32 ", 0x%016" PRIx64 "ull},\n", expected.operation,
                    expected.rollPaper ? "true" : "false", page.width, page.height, page.hash);
    EXPECT_EQ(page.width, expected.width);
    EXPECT_EQ(page.height, expected.height);
    EXPECT_EQ(page.hash, expected.hash) << std::hex << "0x" << page.hash;
}

// A page depends on its own job alone, not on what the program or the
// printer did before: the PF pattern printed on its own, after the A4 check
// (whose PF check pattern draws on the same noise) and once more gives the
// same job and the same page each time.
TEST(PageOrder, PfPatternAloneAfterTheA4CheckAndAgain) {
    const std::vector<std::uint8_t> alone = vp::testing::OperationJob("pf-print");
    const PageHash first = PrintedPage(alone, false, "pf-alone");
    ASSERT_EQ(first.error, "");
    const std::vector<std::uint8_t> a4 = vp::testing::OperationJob("a4-check-print");
    ASSERT_FALSE(a4.empty());
    ASSERT_EQ(PrintedPage(a4, false, "a4").error, "");
    const std::vector<std::uint8_t> afterA4 = vp::testing::OperationJob("pf-print");
    EXPECT_TRUE(afterA4 == alone) << "the PF job differs after the A4 check";
    const PageHash second = PrintedPage(afterA4, false, "pf-after-a4");
    ASSERT_EQ(second.error, "");
    EXPECT_EQ(second.hash, first.hash) << std::hex << "0x" << second.hash << " after the A4 check, 0x" << first.hash
                                       << " alone";
    EXPECT_TRUE(vp::testing::OperationJob("pf-print") == alone) << "the PF job differs the second time";
}

std::string NameOf(const testing::TestParamInfo<Expected>& info) {
    std::string name;
    for (const char* c = info.param.operation; *c; ++c)
        if (*c != '-') name += *c;
    return name;
}

INSTANTIATE_TEST_SUITE_P(Program, PageHashes, testing::ValuesIn(kPages), NameOf);

}  // namespace
