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
#include "vprinter/engine/testing/EngineTesting.h"
#include "vprinter/engine/testing/PageAnalysis.h"
#include "vprinter/engine/testing/PatternJobs.h"
#include "vprinter/engine/testing/PatternReading.h"

namespace vp {
namespace {

using namespace vp::testing;

// A printer that plans each page (as the vprinter program does), A3+ paper.
struct Planned {
    explicit Planned(const Deviations& d = {}, bool roll = false) {
        options.page.previewDpi = kPagePlanned;
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
    for (const Case c : {Case{"Bi-D", BidJob, false, 1440}, Case{"pixel shift", ShiftJob, false, 1440},
                         Case{"first dot", FirstDotJob, false, 2880}, Case{"PF", PfJob, false, 720},
                         Case{"cut", CutJob, true, 360}, Case{"PW", PwJob, false, 360},
                         Case{"full sheet", FullSheetJob, false, 360}}) {
        SCOPED_TRACE(c.what);
        Planned p(With("first-dot", 20), c.roll);
        const Image& page = p.Print(c.job);
        EXPECT_EQ(p.dpi, c.dpi);
        EXPECT_EQ(page.dpi, c.dpi);
        EXPECT_LE(static_cast<std::int64_t>(page.width) * page.height, kMaxPagePixels);
    }
}

}  // namespace
}  // namespace vp
