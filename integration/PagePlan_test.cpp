// Pages at the resolution they need: each adjustment pattern is drawn fine
// enough that one step of its value changes the page; the background writer
// writes the same files as the engine itself; page files are numbered on
// from those already in the folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "link/VexRaster.h"
#include "link/VexRemoteComm.h"
#include "service/VexFactory.h"
#include "vprinter/engine/PagePlan.h"
#include "vprinter/engine/PageWriter.h"
#include "vprinter/engine/PrintEngine.h"
#include "integration/testing/EngineTesting.h"
#include "integration/testing/PageAnalysis.h"
#include "integration/testing/PatternJobs.h"
#include "integration/testing/PatternReading.h"

namespace vp {
namespace {

using namespace vp::testing;

// A printer that plans each page (as the vprinter program does), A3+ paper.
struct Planned {
    explicit Planned(const Deviations& d = {}, bool roll = false, int firstDotNominal = kFirstDotNominal) {
        options.page.previewDpi = kPagePlanned;
        options.firstDotNominal = firstDotNominal;
        options.deviations = d;
        options.rollPaper = roll;
        engine = std::make_unique<PrintEngine>(machine, options);
        engine->SetPageHook([this](int, const PageRenderer& p) {
            page = p.Compose();
            dpi = p.Setup().previewDpi;
        });
    }
    const Image& Print(const std::function<void()>& compose) {
        page = Image();
        const auto job = Wire(compose);
        EXPECT_EQ(Drive(*engine, job), job.size()) << engine->RefusalReason();
        EXPECT_FALSE(page.Null());
        return page;
    }
    int Px(double master) const { return static_cast<int>(std::lround(Pixels(master, dpi))); }

    FakeMachine machine;
    EngineOptions options;
    std::unique_ptr<PrintEngine> engine;
    Image page;
    int dpi = 0;
};

Deviations With(const char* name, int value) {
    Deviations d;
    std::string error;
    EXPECT_TRUE(d.Set(std::string(name) + "=" + std::to_string(value), &error)) << error;
    return d;
}

void BidJob() {
    ComposeBidPattern(10, 0, 0);
    svc::SendEndOfJob(svc::JobStream());
}
void PfJob() {
    ComposePfPattern();
    svc::SendEndOfJob(svc::JobStream());
}
void FirstDotJob() { ComposeFirstDotPattern(); }
void ShiftJob() { ComposePixelShiftPattern(); }
void CutJob() { ComposeCutPattern(); }
void PwJob() { ComposePwPrint(); }

// Ink in every corner of the sheet: the whole sheet, as the A3+ check sheet covers it.
void FullSheetJob() {
    auto& s = svc::JobStream();
    svc::SendJobHeader(s, 10, 1, 10, 1);
    for (int corner = 0; corner < 2; ++corner) {
        svc::SendRasterResolution(s, 104, 1, 2, 1);
        svc::SendRasterHeader(s, svc::ink::Black, 1, 2, 10, 4);
        for (int i = 0; i < 4; ++i) svc::RepeatSendLong(s, 10, 0xFF);
        svc::SendHorizontalMove(s, 4500);  // to the right edge
        svc::SendRasterHeader(s, svc::ink::Cyan, 1, 2, 10, 4);
        for (int i = 0; i < 4; ++i) svc::RepeatSendLong(s, 10, 0xFF);
        svc::SendLineReturn(s);
        svc::SendVerticalMove(s, 6800);  // to the bottom edge
    }
    svc::SendEndOfJob(s);
}

TEST(PagePlan, EachPageKindGetsTheResolutionItsFinestStepNeeds) {
    struct Case {
        const char* what;
        void (*job)();
        bool roll;
        int dpi;
    };
    for (const Case c :
         {Case{"Bi-D", BidJob, false, 1440}, Case{"pixel shift", ShiftJob, false, 1440},
          Case{"first dot", FirstDotJob, false, 2880}, Case{"PF", PfJob, false, 720}, Case{"cut", CutJob, true, 360},
          Case{"PW", PwJob, false, 360}, Case{"full sheet", FullSheetJob, false, 360}}) {
        SCOPED_TRACE(c.what);
        Planned p(With("first-dot", 20), c.roll);
        const Image& page = p.Print(c.job);
        EXPECT_EQ(p.dpi, c.dpi);
        EXPECT_EQ(page.dpi, c.dpi);
        EXPECT_LE(static_cast<std::int64_t>(page.width) * page.height, kMaxPagePixels);
    }
}

// One step of each adjustment, at the resolution the page gets, changes the
// page where a technician reads it.
TEST(PagePlan, OneStepOfEachAdjustmentShowsOnThePlannedPage) {
    {
        SCOPED_TRACE("Bi-D: the return pass moves one pixel");
        Planned a(With("bid.vsd1.black", 0)), b(With("bid.vsd1.black", 1));
        a.Print(BidJob);
        b.Print(BidJob);
        const auto before = BidTrialOffsets(a.page, true, a.dpi);
        const auto after = BidTrialOffsets(b.page, true, b.dpi);
        ASSERT_EQ(before.size(), 3u);
        ASSERT_EQ(after.size(), 3u);
        for (std::size_t t = 0; t < 3; ++t) EXPECT_DOUBLE_EQ(after[t] - before[t], 1.0) << t;
    }
    {
        SCOPED_TRACE("pixel shift: line A's ticks move one pixel");
        Planned a(With("shift.a", 0)), b(With("shift.a", 1));
        const Image& pa = a.Print(ShiftJob);
        const Image& pb = b.Print(ShiftJob);
        const auto ta = ColumnSpans(pa, WholePage(pa), InkLike(kCyan));
        const auto tb = ColumnSpans(pb, WholePage(pb), InkLike(kCyan));
        ASSERT_EQ(ta.size(), 11u);
        ASSERT_EQ(tb.size(), 11u);
        for (std::size_t k = 0; k < 11; ++k) EXPECT_EQ(tb[k].begin - ta[k].begin, 1) << k;
    }
    {
        SCOPED_TRACE("first dot: the line moves one pixel from the sheet's edge");
        Planned a(With("first-dot", 20)), b(With("first-dot", 21));
        const Image& pa = a.Print(FirstDotJob);
        const Image& pb = b.Print(FirstDotJob);
        EXPECT_EQ(LeftMargin(pa, WholePage(pa), InkLike(kBlack)), kFirstDotNominal + 20);
        EXPECT_EQ(LeftMargin(pb, WholePage(pb), InkLike(kBlack)), kFirstDotNominal + 21);
    }
    {
        SCOPED_TRACE("PF: every candidate's joint changes");
        Planned a(With("pf", 0)), b(With("pf", 1));
        a.Print(PfJob);
        b.Print(PfJob);
        const auto ja = PfJoints(a.page, a.dpi);
        const auto jb = PfJoints(b.page, b.dpi);
        ASSERT_EQ(ja.size(), 9u);
        ASSERT_EQ(jb.size(), 9u);
        for (std::size_t k = 0; k < 9; ++k) EXPECT_NE(ja[k], jb[k]) << k;
    }
    {
        SCOPED_TRACE("cut: one step of the list (8/360 inch) ends the sheet eight rows lower");
        Planned a(With("cut", 24), true), b(With("cut", 32), true);
        const Image& pa = a.Print(CutJob);
        const Image& pb = b.Print(CutJob);
        EXPECT_EQ(pb.height - pa.height, 8);
    }
    {
        SCOPED_TRACE("PW: the left side's lines move");
        Planned a(With("pw.left", 0)), b(With("pw.left", 1));
        const Image& pa = a.Print(PwJob);
        const Image& pb = b.Print(PwJob);
        ASSERT_EQ(pa.width, pb.width);
        ASSERT_EQ(pa.height, pb.height);
        EXPECT_NE(pa.rgb, pb.rgb);
    }
}

// The page keeps the sheet's edges a measurement needs: the left edge always
// (pixel 0 is the edge), all four where the print comes close to them.
TEST(PagePlan, PagesShowTheSheetFromItsCornerAndTheEdgesThePrintComesCloseTo) {
    Planned first(With("first-dot", 20));
    first.Print(FirstDotJob);
    EXPECT_LT(first.page.width, 2000);  // a small corner of the sheet ...
    EXPECT_LT(first.page.height, 4000);
    // A line left of the edge (a printer whose first dot belongs at the very
    // edge) prints nothing: a blank sheet, whole at 180 dpi.
    Planned clipped(With("first-dot", -6), false, 0);
    clipped.Print(FirstDotJob);
    EXPECT_EQ(clipped.dpi, 180);
    EXPECT_EQ(clipped.page.width, 2332);
    EXPECT_EQ(clipped.page.height, 3423);
    Planned pw;
    const Image& whole = pw.Print(PwJob);  // ... the PW print all of it
    EXPECT_EQ(whole.width, pw.Px(pw.engine->Page().WidthMaster()));
    EXPECT_EQ(whole.height, pw.Px(pw.engine->Page().HeightMaster()));
}

// A sheet whose data outgrows what it may hold is drawn as the print goes,
// and comes out the same.
TEST(SheetRecord, ASheetThatOutgrowsItsMemoryIsDrawnAsItGoesAndComesOutTheSame) {
    const PageSetup setup{100, 60, 360};
    SheetRecord kept(setup), small(setup, 64);
    std::vector<std::uint8_t> line(40);
    for (int y = 0; y < 40; ++y) {
        for (std::size_t i = 0; i < line.size(); ++i) line[i] = static_cast<std::uint8_t>((i * 37 + y * 11) & 0xFF);
        // Some lines start left of the sheet, the last ones lie below it.
        const std::int64_t x = -200 + y * 7, top = y * 900;
        EXPECT_EQ(kept.PlaceLine(kCyan, x, top, 20, 40, 2, line.data(), line.size()),
                  small.PlaceLine(kCyan, x, top, 20, 40, 2, line.data(), line.size()));
    }
    for (SheetRecord* r : {&kept, &small}) r->FillRect(kBlack, 1000, 2000, 5000, 300, 0.6);
    EXPECT_GT(kept.ClippedDots(), 0u);
    EXPECT_EQ(small.ClippedDots(), kept.ClippedDots());
    ASSERT_EQ(kept.Drawn(), nullptr);
    ASSERT_NE(small.Drawn(), nullptr);
    // Many small marks count too.
    SheetRecord marks(setup, 4096);
    for (int k = 0; k < 100; ++k) marks.FillRect(kBlack, k * 100, 0, 50, 50, 1.0);
    EXPECT_NE(marks.Drawn(), nullptr);
    const Image a = DrawPage(kept, PlanPage(kept))->Compose();
    const Image b = small.Drawn()->Compose();
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.rgb, b.rgb);
}

// The pages of a run of jobs, written by the background writer with room for
// one page at a time, are the files the engine writes itself.
TEST(PageWriter, TheBackgroundWriterWritesTheSameFilesAsTheEngine) {
    const auto base = std::filesystem::temp_directory_path() / ("vengine-writer-" + std::to_string(::getpid()));
    std::filesystem::remove_all(base);
    std::vector<std::uint8_t> job;
    for (void (*part)() : {BidJob, FirstDotJob, PfJob, FullSheetJob, ShiftJob}) {
        const auto bytes = Wire(part);
        job.insert(job.end(), bytes.begin(), bytes.end());
    }
    std::vector<std::vector<std::string>> files;
    for (const bool background : {false, true}) {
        FakeMachine machine;
        EngineOptions options;
        options.page.previewDpi = kPagePlanned;
        options.deviations = With("first-dot", 20);
        options.pagesDir = (base / (background ? "background" : "engine")).string();
        options.writeInBackground = background;
        options.pageQueue = 1;
        PrintEngine engine(machine, options);
        // The writer works in real time, the driver in virtual time: while
        // the engine waits for the writer, so does the driver.
        std::size_t at = 0;
        for (int idle = 0; at < job.size() && idle < 1000;) {
            const std::size_t taken = engine.Consume(job.data() + at, job.size() - at);
            at += taken;
            idle = taken > 0 ? 0 : idle + 1;
            if (taken == 0) engine.WaitForPages();
            engine.Advance(10);
        }
        EXPECT_EQ(at, job.size()) << engine.RefusalReason();
        EXPECT_TRUE(engine.WaitForPages());
        EXPECT_EQ(engine.PagesEjected(), 5);
        files.push_back(engine.PageFiles());
    }
    ASSERT_EQ(files[0].size(), 5u);
    ASSERT_EQ(files[1].size(), 5u);
    const auto bytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    };
    for (std::size_t k = 0; k < 5; ++k) {
        EXPECT_EQ(std::filesystem::path(files[0][k]).filename(), std::filesystem::path(files[1][k]).filename());
        EXPECT_EQ(bytes(files[0][k]), bytes(files[1][k])) << files[0][k];
    }
    std::filesystem::remove_all(base);
}

// While the writer holds as many pages as it may, the printer takes no data
// and says it is printing; once the page is written it goes on, and no page
// is lost.
TEST(PageWriter, AFullWriterHoldsThePrinterUntilAPageIsWritten) {
    const auto dir = std::filesystem::temp_directory_path() / ("vengine-full-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::vector<std::uint8_t> job = Wire(BidJob);  // a page that takes a while to draw
    const std::size_t first = job.size();
    const auto second = Wire(FullSheetJob);
    job.insert(job.end(), second.begin(), second.end());
    FakeMachine machine;
    EngineOptions options;
    options.page.previewDpi = kPagePlanned;
    options.times.eject = 0;
    options.pagesDir = dir.string();
    options.writeInBackground = true;
    options.pageQueue = 1;
    PrintEngine engine(machine, options);
    std::size_t taken = engine.Consume(job.data(), job.size());
    EXPECT_LE(taken, first);
    EXPECT_EQ(engine.PagesEjected(), 1);
    EXPECT_EQ(engine.Status().state, 3);
    EXPECT_EQ(engine.Consume(job.data() + taken, job.size() - taken), 0u);
    ASSERT_TRUE(engine.WaitForPages());
    EXPECT_EQ(engine.Status().state, 4);
    taken += engine.Consume(job.data() + taken, job.size() - taken);
    EXPECT_EQ(taken, job.size());
    ASSERT_TRUE(engine.WaitForPages());
    EXPECT_EQ(engine.PageFiles().size(), 2u);
    EXPECT_TRUE(machine.Logged("page 1 ejected: " + (dir / "page-0001.png").string() + " (1440 dpi"));
    Image written;
    std::string error;
    ASSERT_TRUE(ReadPng((dir / "page-0001.png").string(), &written, &error)) << error;
    EXPECT_EQ(written.dpi, 1440);  // the file says its resolution
    std::filesystem::remove_all(dir);
}

// A new run of the printer numbers its pages on from the highest page file
// in the folder and never writes over one.
TEST(PageFiles, ARunNumbersOnFromThePagesAlreadyInTheFolder) {
    const auto dir = std::filesystem::temp_directory_path() / ("vengine-numbers-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    for (const char* name :
         {"page-0003.png", "page-0007.png", "page-0050.png.bak", "page-x.png", "page-.png", "page--9.png", "notes.txt"})
        std::ofstream(dir / name) << "earlier";
    const auto content = [&](const char* name) {
        std::ifstream in(dir / name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const auto job = Wire(FullSheetJob);
    {
        FakeMachine machine;
        EngineOptions options;
        options.pagesDir = dir.string();
        PrintEngine engine(machine, options);
        EXPECT_EQ(engine.NextPageNumber(), 8);
        Drive(engine, job);
        // A file that appeared meanwhile is not written over either.
        std::ofstream(dir / "page-0009.png") << "meanwhile";
        Drive(engine, job);
        EXPECT_EQ(engine.PageFiles(),
                  (std::vector<std::string>{(dir / "page-0008.png").string(), (dir / "page-0010.png").string()}));
    }
    {
        FakeMachine machine;
        EngineOptions options;
        options.pagesDir = dir.string();
        options.writeInBackground = true;
        PrintEngine engine(machine, options);
        Drive(engine, job);
        EXPECT_TRUE(engine.WaitForPages());
        EXPECT_EQ(engine.PageFiles(), (std::vector<std::string>{(dir / "page-0011.png").string()}));
        EXPECT_EQ(engine.PagesEjected(), 1);
    }
    EXPECT_EQ(content("page-0007.png"), "earlier");
    EXPECT_EQ(content("page-0009.png"), "meanwhile");
    std::string error;
    Image page;
    ASSERT_TRUE(ReadPng((dir / "page-0011.png").string(), &page, &error)) << error;
    EXPECT_EQ(page.dpi, 180);  // stored with the page
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vp
