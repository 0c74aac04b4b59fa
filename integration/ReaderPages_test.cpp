// The reader on the virtual printer's own pages: printers with hidden errors
// drawn from a seed print each adjustment's pattern through svcadjust-cli
// (in-process, at the resolution each page is drawn at by default), and the
// reader must propose exactly the value each error needs.
//
// SVC_READER_SEEDS=N runs N seeds per model (default 2; the long run takes
// 200), SVC_READER_SEED=N that one seed, SVC_READER_KIND=pf that one kind,
// SVC_READER_DPI=N every page at N dpi instead of the printer's own choice;
// SVC_READER_PAGES=DIR keeps the pages that did not read.
#include "pagereader/PageReader.h"
#include "integration/testing/Twin.h"
#include "vprinter/Printer.h"
#include "vprinter/engine/Image.h"
#include "vprinter/engine/PagePlan.h"
#include "vprinter/engine/PrintEngine.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace pr = svc::pagereader;

struct Printed {
    std::vector<vp::Image> pages;
    std::array<std::uint8_t, 256> eeprom{};
    std::string memo;
};

// One session on a fresh printer with the errors, the pages at their planned resolution.
// SVC_READER_DPI=N draws every page at N dpi instead (a divisor of 14400 up to 1440).
int PreviewDpi() {
    const char* text = std::getenv("SVC_READER_DPI");
    return text ? std::atoi(text) : vp::kPagePlanned;
}

Printed Print(int model, const vp::Deviations& errors, const std::vector<std::string>& ops, bool roll = false) {
    vp::EngineOptions options;
    options.page.previewDpi = PreviewDpi();
    options.rollPaper = roll;
    options.deviations = errors;
    std::unique_ptr<vp::PrintEngine> engine;
    Printed printed;
    svc::twin::Setup setup;
    setup.model = model;
    setup.prepare = [&](vp::Printer& p) {
        engine = std::make_unique<vp::PrintEngine>(p, options);
        engine->SetPageHook([&](int, const vp::PageRenderer& r) { printed.pages.push_back(r.Compose()); });
        p.SetEngine(engine.get());
    };
    setup.inspect = [&](vp::Printer& p) {
        for (int a = 0; a < 256; ++a)
            printed.eeprom[static_cast<std::size_t>(a)] = p.ReadEeprom(static_cast<std::uint8_t>(a));
        p.SetEngine(nullptr);
    };
    const svc::twin::Run run = svc::twin::RunCli(setup, ops);
    EXPECT_EQ(run.status, 0) << run.memo;
    printed.memo = run.memo;
    return printed;
}

pr::Image ForReader(const vp::Image& page) {
    pr::Image image;
    image.width = page.width;
    image.height = page.height;
    image.rgb = page.rgb;
    image.dpi = page.dpi;
    return image;
}

int Signed(std::uint8_t byte) { return static_cast<std::int8_t>(byte); }

// A sanitizer build runs each seed several times slower: one seed there.
#if defined(SVC_UNDER_SANITIZERS)
constexpr int kDefaultSeeds = 1;
#else
constexpr int kDefaultSeeds = 2;
#endif

int Seeds() {
    const char* text = std::getenv("SVC_READER_SEEDS");
    const int n = text ? std::atoi(text) : kDefaultSeeds;
    return n > 0 ? n : kDefaultSeeds;
}

// Reads one page and checks every item against what the errors need.
void Expect(pr::Kind kind, const vp::Image& page, const pr::Context& context,
            const std::vector<std::pair<std::string, int>>& right) {
    const pr::Reading reading = pr::Read(kind, ForReader(page), context);
    const std::string what(pr::KindName(kind));
    // SVC_READER_PAGES=DIR keeps the pages of readings that failed, to look at.
    if (const char* dir = std::getenv("SVC_READER_PAGES");
        dir && (!reading.Complete() || std::getenv("SVC_READER_ALL")))
        vp::WritePng(std::string(dir) + "/" + what + ".png", page, nullptr);
    EXPECT_TRUE(reading.problem.empty()) << what << ": " << reading.problem;
    ASSERT_EQ(reading.items.size(), right.size()) << what;
    for (std::size_t i = 0; i < right.size(); ++i) {
        const pr::Item& item = reading.items[i];
        EXPECT_EQ(item.name, right[i].first) << what;
        EXPECT_TRUE(item.value.has_value()) << what << " " << item.name << ": " << item.problem;
        EXPECT_EQ(item.value.value_or(9999), right[i].second)
            << what << " " << item.name << " (confidence " << item.confidence << ")";
        EXPECT_FALSE(item.where.empty()) << what << " " << item.name;
        // Each place is a box on the page (the marked-page window draws it).
        for (const pr::Place& p : item.where) {
            EXPECT_TRUE(p.width > 0 && p.height > 0 && p.x >= 0 && p.y >= 0 && p.x + p.width <= page.width &&
                        p.y + p.height <= page.height)
                << what << " " << item.name << ": " << p.x << "," << p.y << " " << p.width << "x" << p.height;
        }
        // The printer's own pages show every value clearly (the last cut
        // mark, which stands for lower cuts too, is the one exception).
        if (!(kind == pr::Kind::Cut && right[i].second == 17)) {
            EXPECT_GE(item.confidence, 0.6) << what << " " << item.name;
        }
    }
}

constexpr const char* kBidRows[4][2] = {
    {"VSD1Bk", "VSD1CL"}, {"VSD2Bk", "VSD2CL"}, {"VSD2DBk", "VSD2DCL"}, {"VSD4Bk", "VSD4CL"}};

void ReadEveryKind(int model, std::uint32_t seed, const std::string& only) {
    SCOPED_TRACE("model " + std::to_string(model == 2 ? 4200 : 4100) + ", seed " + std::to_string(seed));
    const vp::Deviations withHeadAngle = vp::Deviations::Random(seed);
    // The head angle is adjusted first (it leans every deeper nozzle's
    // line): the other pages are printed with the head straight.
    vp::Deviations e = withHeadAngle;
    e.headAngle = 0;
    // PF comes before PW, pixel shift, first dot and cut: their pages are
    // printed with the feed adjusted (the PF error is the value stored).
    vp::Deviations fed = e;
    fed.pf = Signed(Print(model, e, {"pf-read"}).eeprom[0x77]);
    auto wanted = [&](const char* kind) { return only.empty() || only == kind; };

    if (wanted("bid")) {
        const Printed p = Print(model, e, {"bid-print"});
        ASSERT_EQ(p.pages.size(), 1u);
        pr::Context context;
        context.model = model;
        std::vector<std::pair<std::string, int>> right;
        for (int v = 0; v < 4; ++v)
            for (int head = 0; head < 2; ++head) {
                context.stored.emplace_back(kBidRows[v][head],
                                            Signed(p.eeprom[static_cast<std::size_t>(0x60 + 4 * head + v)]));
                right.emplace_back(kBidRows[v][head],
                                   e.bid[static_cast<std::size_t>(head)][static_cast<std::size_t>(v)]);
            }
        Expect(pr::Kind::Bid, p.pages[0], context, right);
    }
    if (wanted("pf")) {
        const Printed p = Print(model, e, {"pf-print"});
        ASSERT_EQ(p.pages.size(), 1u);
        Expect(pr::Kind::Pf, p.pages[0], {model, {}, {}}, {{"", e.pf}});
    }
    if (wanted("head-angular")) {
        const Printed p = Print(model, withHeadAngle, {"head-angular-print"});
        ASSERT_EQ(p.pages.size(), 1u);
        Expect(pr::Kind::HeadAngular, p.pages[0], {model, {}, {}}, {{"", withHeadAngle.headAngle}});
    }
    if (wanted("pw")) {
        const Printed p = Print(model, fed, {"pw-print"});
        ASSERT_EQ(p.pages.size(), 1u);
        Expect(pr::Kind::Pw, p.pages[0], {model, {}, {}},
               {{"Top", e.pwTop}, {"Bottom", e.pwBottom}, {"Left", e.pwLeft}, {"Right", e.pwRight}});
    }
    if (wanted("pixel-shift")) {
        const Printed p = Print(model, fed, {"pixel-shift-print"});
        ASSERT_EQ(p.pages.size(), 1u);
        std::vector<std::pair<std::string, int>> right;
        for (int line = 0; line < 6; ++line)
            right.emplace_back(std::string(1, static_cast<char>('A' + line)), e.shift[static_cast<std::size_t>(line)]);
        Expect(pr::Kind::PixelShift, p.pages[0], {model, {}, {}}, right);
    }
    if (wanted("first-dot")) {
        const Printed p = Print(model, fed, {"first-dot-print"});
        ASSERT_EQ(p.pages.size(), 1u);
        Expect(pr::Kind::FirstDot, p.pages[0], {model, {{"", Signed(p.eeprom[0x68])}}, {}}, {{"", -e.firstDot}});
    }
    if (wanted("cut")) {
        const Printed p = Print(model, fed, {"cut-print"}, true);
        ASSERT_EQ(p.pages.size(), 1u);
        Expect(pr::Kind::Cut, p.pages[0], {model, {}, {}}, {{"", (72 - e.cut) / 8}});
    }
}

// Failures so far in the running test.
int FailuresSoFar() {
    const ::testing::TestResult* result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    int failed = 0;
    for (int i = 0; i < result->total_part_count(); ++i) failed += result->GetTestPartResult(i).failed();
    return failed;
}

// SVC_READER_SEED=N runs that one seed; SVC_READER_KIND=pf reads only that kind.
void RunSeeds(int model) {
    const char* kind = std::getenv("SVC_READER_KIND");
    const std::string only = kind ? kind : "";
    if (const char* one = std::getenv("SVC_READER_SEED"))
        return ReadEveryKind(model, static_cast<std::uint32_t>(std::atoi(one) + (model == 2 ? 1000 : 0)), only);
    for (int seed = 1; seed <= Seeds(); ++seed) {
        const int before = FailuresSoFar();
        ReadEveryKind(model, static_cast<std::uint32_t>(seed + (model == 2 ? 1000 : 0)), only);
        std::printf("Lumen %d, seed %d: %s\n", model == 2 ? 4200 : 4100, seed,
                    FailuresSoFar() > before ? "NOT read right" : "read right");
        std::fflush(stdout);
    }
}

TEST(ReaderPages, ProposesWhatEveryHiddenErrorNeedsOnLumen4100Pages) { RunSeeds(1); }

// ---- the closed loop through the command line: print, read-page, input
// the line it prints, print again, and read-page proposes no change ----

// One printer over several sessions: its EEPROM carries from one to the next.
class Bench {
public:
    Bench(int model, const vp::Deviations& hidden) : model_(model), hidden_(hidden) {}
    Printed Run(const std::vector<std::string>& ops, bool roll = false) {
        vp::EngineOptions options;
        options.page.previewDpi = vp::kPagePlanned;
        options.rollPaper = roll;
        options.deviations = hidden_;
        std::unique_ptr<vp::PrintEngine> engine;
        Printed printed;
        svc::twin::Setup setup;
        setup.model = model_;
        setup.prepare = [&](vp::Printer& p) {
            if (eeprom_)
                for (int a = 0; a < 256; ++a)
                    p.WriteEeprom(static_cast<std::uint8_t>(a), (*eeprom_)[static_cast<std::size_t>(a)]);
            engine = std::make_unique<vp::PrintEngine>(p, options);
            engine->SetPageHook([&](int, const vp::PageRenderer& r) { printed.pages.push_back(r.Compose()); });
            p.SetEngine(engine.get());
        };
        setup.inspect = [&](vp::Printer& p) {
            for (int a = 0; a < 256; ++a)
                printed.eeprom[static_cast<std::size_t>(a)] = p.ReadEeprom(static_cast<std::uint8_t>(a));
            eeprom_ = printed.eeprom;
            p.SetEngine(nullptr);
        };
        const svc::twin::Run run = svc::twin::RunCli(setup, ops);
        printed.memo = run.memo;
        status_ = run.status;
        return printed;
    }
    int Status() const { return status_; }

private:
    int model_;
    vp::Deviations hidden_;
    std::optional<std::array<std::uint8_t, 256>> eeprom_;
    int status_ = 0;
};

// The line of the memo that begins with `operation` (what read-page printed
// on standard output), split into words; empty when there is none.
std::vector<std::string> InputWords(const std::string& memo, const std::string& operation) {
    std::istringstream in(memo);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(operation + " ", 0) != 0) continue;
        std::istringstream words(line);
        std::vector<std::string> out;
        for (std::string w; words >> w;) out.push_back(w);
        return out;
    }
    return {};
}

// Named by the process too: another build's run of the same test may be
// writing its pages at the same time.
std::string SavePage(const vp::Image& page, const std::string& name) {
    const std::string path = ::testing::TempDir() + "svc_reader_" + std::to_string(::getpid()) + "_" + name + ".png";
    std::string error;
    EXPECT_TRUE(vp::WritePng(path, page, &error)) << error;
    return path;
}

struct Loop {
    const char* kind;
    std::vector<std::string> print;
    const char* input;
    bool roll = false;
};

void CloseTheLoop(int model, std::uint32_t seed, const Loop& loop) {
    SCOPED_TRACE(std::string(loop.kind) + ", model " + std::to_string(model) + ", seed " + std::to_string(seed));
    vp::Deviations e = vp::Deviations::Random(seed);
    e.headAngle = 0;
    e.pf = Signed(Print(model, e, {"pf-read"}).eeprom[0x77]);
    if (std::string(loop.kind) == "pf") e.pf = vp::Deviations::Random(seed).pf;
    Bench bench(model, e);
    const std::string name = std::string(loop.kind) + "-" + std::to_string(model);
    // The first print, read in a session of its own (the stored values it needs come from the printer).
    Printed first = bench.Run(loop.print, loop.roll);
    ASSERT_EQ(first.pages.size(), 1u) << first.memo;
    const std::string path = SavePage(first.pages[0], name);
    Printed read = bench.Run({"read-page", loop.kind, path});
    ASSERT_EQ(bench.Status(), 0) << read.memo;
    std::vector<std::string> input = InputWords(read.memo, loop.input);
    ASSERT_FALSE(input.empty()) << read.memo;
    // The cut value is taken only after a print in the same session.
    if (loop.roll) input.insert(input.begin(), loop.print.begin(), loop.print.end());
    bench.Run(input, loop.roll);
    ASSERT_EQ(bench.Status(), 0) << "input: " << input.back();
    // Print again: the proposal is what is stored now.
    Printed second = bench.Run(loop.print, loop.roll);
    ASSERT_EQ(second.pages.size(), 1u);
    const std::string again = SavePage(second.pages[0], name + "-again");
    Printed reread = bench.Run({"read-page", loop.kind, again});
    ASSERT_EQ(bench.Status(), 0) << reread.memo;
    std::vector<std::string> proposal = InputWords(reread.memo, loop.input);
    if (loop.roll) proposal.insert(proposal.begin(), loop.print.begin(), loop.print.end());
    EXPECT_EQ(proposal, input) << reread.memo;
    // The values stored are the ones the errors need.
    const std::string kind = loop.kind;
    if (kind == "pf") {
        EXPECT_EQ(Signed(second.eeprom[0x77]), e.pf);
    } else if (kind == "first-dot") {
        EXPECT_EQ(Signed(second.eeprom[0x68]), -e.firstDot);
    } else if (kind == "bid") {
        for (int v = 0; v < 4; ++v)
            for (int head = 0; head < 2; ++head)
                EXPECT_EQ(Signed(second.eeprom[static_cast<std::size_t>(0x60 + 4 * head + v)]),
                          e.bid[static_cast<std::size_t>(head)][static_cast<std::size_t>(v)]);
    }
    std::remove(path.c_str());
    std::remove(again.c_str());
}

TEST(ReaderClosedLoop, PrintReadInputPrintReadProposesNoChange) {
    const Loop loops[] = {
        {"bid", {"bid-print"}, "bid-input"},
        {"pf", {"pf-print"}, "pf-input"},
        {"pw", {"pw-print"}, "pw-input"},
        {"pixel-shift", {"pixel-shift-print"}, "pixel-shift-input"},
        {"first-dot", {"first-dot-print"}, "first-dot-input"},
        {"cut", {"cut-print"}, "cut-input", true},
    };
    for (int model = 1; model <= 2; ++model)
        for (std::size_t i = 0; i < std::size(loops); ++i) {
#if defined(SVC_UNDER_SANITIZERS)
            // Each kind on one model, the models taking turns.
            if ((i + static_cast<std::size_t>(model)) % 2 != 0) continue;
#endif
            CloseTheLoop(model, 77 + static_cast<std::uint32_t>(model), loops[i]);
        }
}

TEST(ReaderClosedLoop, HeadAngleIsACommentAndAnUnreadablePageFails) {
    vp::Deviations e;
    e.headAngle = 3;
    Bench bench(1, e);
    Printed printed = bench.Run({"head-angular-print"});
    ASSERT_EQ(printed.pages.size(), 1u);
    const std::string path = SavePage(printed.pages[0], "head-angular");
    Printed read = bench.Run({"read-page", "head-angular", path});
    EXPECT_EQ(bench.Status(), 0) << read.memo;
    EXPECT_NE(read.memo.find("# head-angular: the bars lean 3 lever steps right; turn the lever 3 steps back"),
              std::string::npos)
        << read.memo;
    // The head angular page is no PF page: nothing proposed, exit 1, and why.
    Printed wrong = bench.Run({"read-page", "pf", path});
    EXPECT_EQ(bench.Status(), 1);
    EXPECT_TRUE(InputWords(wrong.memo, "pf-input").empty()) << wrong.memo;
    EXPECT_NE(wrong.memo.find("read-page: pf"), std::string::npos) << wrong.memo;
    std::remove(path.c_str());
}
TEST(ReaderPages, ProposesWhatEveryHiddenErrorNeedsOnLumen4200Pages) { RunSeeds(2); }

}  // namespace
