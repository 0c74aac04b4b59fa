// The PW, pixel shift, first dot and cut position prints on the virtual
// printer's engine: each is taken whole, without a refusal, and puts its
// marks where a technician reads them. SVC_PAGES_DIR=folder keeps the pages
// as PNG files to look at.
#include "adjust/FirstDotAdjust.h"
#include "adjust/PwAdjust.h"
#include "link/VexRaster.h"
#include "link/VexRemoteComm.h"
#include "service/VexFactory.h"
#include "vprinter/engine/PrintEngine.h"
#include "link/testing/FakeOutside.h"
#include "integration/testing/EngineTesting.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// What the program sends while `compose` runs, the job stream flushed at the end.
std::vector<std::uint8_t> Wire(const std::function<void()>& compose) {
    svc::fake::Fake().Reset();
    svc::fake::ScriptedHost host;
    compose();
    svc::JobStream().Flush();
    return svc::fake::Fake().AcceptedBytes();
}

// Offers the job to the engine as the printer's input buffer would, letting
// virtual time pass while the engine takes nothing.
std::size_t Drive(vp::Engine& engine, const std::vector<std::uint8_t>& job) {
    std::size_t at = 0;
    for (int idle = 0; at < job.size() && idle <= 2000;) {
        const std::size_t taken = engine.Consume(job.data() + at, job.size() - at);
        at += taken;
        if (taken > 0) {
            idle = 0;
            continue;
        }
        engine.Advance(100);
        ++idle;
    }
    return at;
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string PagesDir(const std::string& name) {
    const char* dir = std::getenv("SVC_PAGES_DIR");
    if (!dir) return {};
    const std::string path = std::string(dir) + "/" + name;
    std::filesystem::create_directories(path);
    return path;
}

struct Printed {
    vp::testing::FakeMachine machine;
    std::unique_ptr<vp::PrintEngine> engine;
    std::size_t taken = 0;
};

// Drives the job through a fresh engine; `look` sees each page before it is ejected.
std::unique_ptr<Printed> Print(const std::string& name, const std::vector<std::uint8_t>& job,
                               const vp::PrintEngine::PageHook& look = nullptr, std::uint8_t firstDot = 0) {
    auto p = std::make_unique<Printed>();
    p->machine.eeprom[0x68] = firstDot;
    vp::EngineOptions options;
    options.pagesDir = PagesDir(name);
    p->engine = std::make_unique<vp::PrintEngine>(p->machine, options);
    p->engine->Reset();
    if (look) p->engine->SetPageHook(look);
    p->taken = Drive(*p->engine, job);
    return p;
}

// The first preview column (180 dpi) from the left where the ink lies on row py; -1 for none.
int FirstColumn(const vp::PageRenderer& page, int ink, int py) {
    for (int px = 0; px < page.PreviewWidth(); ++px)
        if (page.Coverage(ink, px, py) > 0) return px;
    return -1;
}

int FirstRow(const vp::PageRenderer& page, int ink) {
    for (int py = 0; py < page.PreviewHeight(); ++py)
        if (FirstColumn(page, ink, py) >= 0) return py;
    return -1;
}

std::vector<std::uint8_t> WithFormFeed(std::vector<std::uint8_t> job) {
    job.push_back(0x0C);
    return job;
}

TEST(PositionPages, PwPatternIsTakenWholeOnOnePage) {
    const auto job = Wire([] {
        ASSERT_EQ(svc::PWAdjust().PrintPattern(svc::JobStream(), svc::RemoteComm(), svc::Factory()), svc::rc::Ok);
    });
    auto p = Print("pw", job);
    EXPECT_EQ(p->taken, job.size());
    EXPECT_EQ(p->engine->RefusalReason(), "");
    EXPECT_EQ(p->engine->PagesEjected(), 1);
}

TEST(PositionPages, FirstDotLineMovesWithTheStoredValue) {
    const auto job = Wire([] { ASSERT_EQ(svc::FirstDotPattern(svc::JobStream()), svc::rc::Ok); });
    int column[2] = {-1, -1};
    const std::uint8_t values[2] = {0, 72};
    for (int i = 0; i < 2; ++i) {
        auto p = Print(
            i ? "first-dot-72" : "first-dot-0", job,
            [&column, i](int, const vp::PageRenderer& page) { column[i] = FirstColumn(page, 0, FirstRow(page, 0)); },
            values[i]);
        // The pattern sends all 96 one-byte lines as one repeat unit.
        EXPECT_EQ(p->engine->RefusalReason(), "");
        EXPECT_EQ(p->engine->PagesEjected(), 1);
    }
    // The line belongs 144 steps of 1/2880 inch (1/20 inch, 9 columns at 180
    // dpi) in from the edge; 72 steps more are 1/40 inch: 4.5 columns.
    EXPECT_EQ(column[0], 9);
    EXPECT_EQ(column[1], 13);
}

TEST(PositionPages, PixelShiftFileIsOneWholePageOnceTheProgramEjectsIt) {
    const auto file = ReadFile(std::string(SVC_DATA_OUTPUT_DIR) + "/gzksen2.tmp");
    ASSERT_FALSE(file.empty());
    // Without the program's form feed nothing is ejected.
    EXPECT_EQ(Print("", file)->engine->PagesEjected(), 0);
    const int colours[6] = {
        1, 2, 3, 4, 5, 6};  // engine inks of the lines A to F: cyan, magenta, yellow, light cyan, light magenta, gray
    int rows[6] = {};
    auto p = Print("pixel-shift", WithFormFeed(file), [&](int, const vp::PageRenderer& page) {
        for (int i = 0; i < 6; ++i) rows[i] = FirstRow(page, colours[i]);
    });
    EXPECT_EQ(p->engine->RefusalReason(), "");
    EXPECT_EQ(p->engine->PagesEjected(), 1);
    for (int i = 1; i < 6; ++i) EXPECT_GT(rows[i], rows[i - 1]) << "line " << char('A' + i);
    EXPECT_LT(rows[5], 270 * 180 / 25);  // inside the printable height of Letter
}

TEST(PositionPages, CutPositionFileEjectsItsOwnPage) {
    const auto file = ReadFile(std::string(SVC_DATA_OUTPUT_DIR) + "/cutpos.prn");
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(file.back(), 0x0C);
    auto p = Print("cutpos", file);
    EXPECT_EQ(p->engine->RefusalReason(), "");
    EXPECT_EQ(p->engine->PagesEjected(), 1);
}

}  // namespace
