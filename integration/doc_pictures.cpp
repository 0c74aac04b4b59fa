// Draws the pictures of docs/VPRINTER.md: adjustment patterns printed by a
// virtual printer with hidden errors, before and after the value read off
// the pattern is stored. Run: vprinter_doc_pictures docs/vprinter
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/VexRaster.h"
#include "link/VexRemoteComm.h"
#include "service/VexFactory.h"
#include "vprinter/engine/PrintEngine.h"
#include "integration/testing/EngineTesting.h"
#include "integration/testing/PageAnalysis.h"
#include "integration/testing/PatternJobs.h"

namespace {

using namespace vp::testing;

struct Printer {
    Printer(double w, double h, int dpi, const vp::Deviations& d, bool roll = false) {
        vp::EngineOptions options;
        options.page = vp::PageSetup{w, h, dpi};
        options.deviations = d;
        options.rollPaper = roll;
        engine = std::make_unique<vp::PrintEngine>(machine, options);
        engine->SetPageHook([this](int, const vp::PageRenderer& p) { page = p.Compose(); });
    }
    vp::Image Print(const std::function<void()>& compose) {
        Drive(*engine, Wire(compose));
        return page;
    }
    FakeMachine machine;
    std::unique_ptr<vp::PrintEngine> engine;
    vp::Image page;
};

// Parts of pages side by side (or one above the other), on white with a grey rule between.
vp::Image Join(const std::vector<std::pair<const vp::Image*, Box>>& parts, bool across) {
    int w = 0, h = 0;
    for (const auto& [img, b] : parts) {
        const int pw = b.right - b.left, ph = b.bottom - b.top;
        if (across) {
            w += pw + 4;
            h = std::max(h, ph);
        } else {
            h += ph + 4;
            w = std::max(w, pw);
        }
    }
    vp::Image out(w, h);
    int at = 0;
    for (const auto& [img, b] : parts) {
        const int pw = b.right - b.left, ph = b.bottom - b.top;
        for (int y = 0; y < ph; ++y)
            for (int x = 0; x < pw; ++x) {
                const int sx = b.left + x, sy = b.top + y;
                if (!img->Contains(sx, sy)) continue;
                const auto p = img->At(sx, sy);
                std::uint8_t* q = out.Row(across ? y : at + y) + static_cast<std::size_t>(across ? at + x : x) * 3;
                q[0] = p[0];
                q[1] = p[1];
                q[2] = p[2];
            }
        at += (across ? pw : ph) + 4;
        if (at - 4 < (across ? w : h))
            for (int k = 0; k < (across ? h : w); ++k) {
                std::uint8_t* q = across ? out.Row(k) + static_cast<std::size_t>(at - 2) * 3
                                         : out.Row(at - 2) + static_cast<std::size_t>(k) * 3;
                q[0] = q[1] = q[2] = 215;
            }
    }
    return out;
}

void Save(const vp::Image& image, const std::string& path, int zoom = 1) {
    std::string error;
    if (!WriteCrop(image, WholePage(image), zoom, path, &error))
        std::fprintf(stderr, "%s\n", error.c_str());
    else
        std::printf("%s %dx%d\n", path.c_str(), image.width * zoom, image.height * zoom);
}

int Px(double master, int dpi) { return static_cast<int>(Pixels(master, dpi)); }

// The printers here store 0 at 0x68 and have no first dot error: every
// print stands at the first dot's nominal place, this far right of its job's.
constexpr int kNominal = vp::kFirstDotNominal * 5;  // master units

// The three trials of a Bi-D pattern: around the middle of each band, the first ticks.
vp::Image BidTrials(const vp::Image& page, int dpi) {
    const int left = Px(kBidBlackLeft + kNominal, dpi) - 8, right = left + Px(3 * 1600, dpi) + 16;
    std::vector<std::pair<const vp::Image*, Box>> parts;
    for (const Span& band : RowSpans(page, {left, 0, right, page.height}, InkLike(vp::kBlack), 2))
        if (band.Size() > dpi / 6)  // not a line of text (the label, the values tried)
            parts.push_back({&page, {left, band.Middle() - 40, right, band.Middle() + 40}});
    return Join(parts, false);
}

// The joint of each PF candidate (or the one of the check pattern).
vp::Image PfJoints(const vp::Image& page, int dpi) {
    const Box upperOnly{Px(kPfUpperLeft + kNominal, dpi) + 2, 0, Px(kPfLowerLeft + kNominal, dpi) - 2, page.height};
    std::vector<std::pair<const vp::Image*, Box>> parts;
    for (const Span& band : RowSpans(page, upperOnly, InkLike(vp::kCyan, 60))) {
        const int joint = band.end;
        const int x = Px(kPfLowerLeft + kNominal, dpi);
        parts.push_back({&page, {x - 24, joint - 24, x + 40, joint + 24}});
    }
    return Join(parts, true);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];

    {  // Bi-D VSD1, black head off by +2: the third trial (value 2) is straight.
        vp::Deviations d;
        d.bid[0][0] = 2;
        Printer p(100, 70, 1440, d);
        const auto before = p.Print([] {
            ComposeBidPattern(10, 0, 0);
            svc::SendEndOfJob(svc::JobStream());
        });
        Save(BidTrials(before, 1440), dir + "/bid-before.png");
        p.Print([] { svc::Factory().SetBidValue(1, 10, 2); });
        const auto after = p.Print([] {
            ComposeBidPattern(10, 2, 0);
            svc::SendEndOfJob(svc::JobStream());
        });
        Save(BidTrials(after, 1440), dir + "/bid-after.png");
    }
    {  // PF off by +2: the joint of candidate 2 closes; stored, the check pattern closes.
        vp::Deviations d;
        d.pf = 2;
        Printer p(100, 160, 720, d);
        const auto pattern = p.Print([] {
            ComposePfPattern();
            svc::SendEndOfJob(svc::JobStream());
        });
        Save(PfJoints(pattern, 720), dir + "/pf-pattern.png", 2);
        p.engine->Reset();
        const auto before = p.Print([] {
            ComposePfCheckPattern();
            svc::SendEndOfJob(svc::JobStream());
        });
        p.machine.eeprom[0x77] = 2;
        p.engine->Reset();
        const auto after = p.Print([] {
            ComposePfCheckPattern();
            svc::SendEndOfJob(svc::JobStream());
        });
        const vp::Image b = PfJoints(before, 720), a = PfJoints(after, 720);
        Save(Join({{&b, WholePage(b)}, {&a, WholePage(a)}}, true), dir + "/pf-check-before-after.png", 2);
    }
    {  // First dot 36/2880 inch to the right of its place (144 steps in); the value -36 brings it back.
        vp::Deviations d;
        d.firstDot = 36;
        Printer p(20, 20, 1440, d);
        const auto before = p.Print([] { ComposeFirstDotPattern(); });
        p.machine.eeprom[0x68] = static_cast<std::uint8_t>(-36);
        p.Print([] { svc::Factory().ApplySettings(); });
        const auto after = p.Print([] { ComposeFirstDotPattern(); });
        const Box corner{0, 0, 100, 60};
        Save(Join({{&before, corner}, {&after, corner}}, true), dir + "/first-dot-before-after.png", 4);
    }
    {  // Head-angle lever at 4, then turned back to 0.
        vp::Deviations d;
        d.headAngle = 4;
        Printer p(120, 40, 360, d);
        const auto before = p.Print([] {
            ComposeHeadAngularPattern();
            svc::SendEndOfJob(svc::JobStream());
        });
        p.Print([] {
            svc::Factory().LeaveHome();
            svc::Factory().MoveCarriage(3, 2900, 0);
        });
        std::string error;
        p.engine->TurnHeadAngleLever(0, &error);
        const auto after = p.Print([] {
            ComposeHeadAngularPattern();
            svc::SendEndOfJob(svc::JobStream());
        });
        const auto rows = RowSpans(before, {0, 0, 60, before.height}, InkLike(vp::kGray, 60), 8);
        // (Close above the bars: the label's descenders end a few rows higher.)
        const Box box{0, rows.back().begin - 3, 420, rows.back().end + 10};
        Save(Join({{&before, box}, {&after, box}}, false), dir + "/head-angle-before-after.png");
    }
    {  // Cut: the cutter 24/360 inch low; the pattern is cut through mark 6 (value 24).
        vp::Deviations d;
        d.cut = 24;
        Printer p(130, 80, 180, d, true);
        const auto cut = p.Print([] { ComposeCutPattern(); });
        Save(Join({{&cut,
                    {Px(kCutMarkLeft + kNominal, 180) - 20, cut.height - 60,
                     Px(kCutMarkLeft + kNominal + 17 * kCutMarkPitch, 180), cut.height}}},
                  false),
             dir + "/cut-pattern.png", 2);
    }
    {  // Pixel shift: line A off by +2 (stored 0): candidate 2 is straight.
        vp::Deviations d;
        d.shift = {2, 0, 0, 0, 0, 0};
        Printer p(100, 80, 1440, d);
        const auto page = p.Print([] { ComposePixelShiftPattern(); });
        const int left = Px(kShiftFirstCandidate + kNominal, 1440) - 20,
                  right = Px(kShiftFirstCandidate + kNominal + 11 * kShiftCandidatePitch, 1440);
        const auto bands = RowSpans(page, {left, 0, right, page.height}, InkLike(vp::kBlack));
        const int top = bands.front().begin, bottom = bands.front().end + bands.front().Size();
        std::vector<std::pair<const vp::Image*, Box>> parts;
        for (int c = 0; c < 11; ++c) {
            const int x = Px(kShiftFirstCandidate + kNominal + c * kShiftCandidatePitch, 1440);
            parts.push_back({&page, {x - 16, top, x + 16, bottom}});
        }
        Save(Join(parts, true), dir + "/pixel-shift-line-a.png", 2);
    }
    return 0;
}
