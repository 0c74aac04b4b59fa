// The readers of each page kind. Each finds its pattern by what the job
// draws (bands of ticks, rows of lines, columns) inside a search window
// around where the job puts it, measures centres to a fraction of a pixel
// and fits the value to every candidate the page shows, so that one smeared
// tick does not decide the answer. Whatever does not look as the job draws
// it is reported, with no value.
#include "pagereader/Readers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "adjust/PatternGeometry.h"
#include "pagereader/Fitting.h"
#include "pagereader/PageImage.h"

namespace svc::pagereader::detail {

namespace pg = svc::pattern;

namespace {

// How far across a printer may put a pattern from where its job says, in
// master units: the first dot's place (0 to 288 steps of 1/2880 inch in) and
// a return pass off by up to 146 Bi-D steps.
constexpr int kSlack = 3000;

std::string Text(double value, int decimals = 1) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

Place PlaceOf(const Box& box) {
    return {static_cast<double>(box.left), static_cast<double>(box.top), static_cast<double>(box.Width()),
            static_cast<double>(box.Height())};
}

std::optional<int> Stored(const Context& context, const std::string& name) {
    for (const auto& [n, v] : context.stored)
        if (n == name) return v;
    return std::nullopt;
}

// The page's resolution as the file declares it; 0 when it does not.
double DeclaredDpi(const Image& page) { return page.dpi > 0 && std::isfinite(page.dpi) ? page.dpi : 0; }

const char* kNoDpi = SVC_N("the image does not say its resolution (save it with its dpi)");
// From these resolutions up (the virtual printer draws these pages at 720
// and 2880 dpi) the PF joints' rows are counted, and the first dot is read
// at all.
constexpr int kPfLeastDpi = 720;
constexpr int kFirstDotLeastDpi = 1440;

// From this resolution up, the printer's own pages, thin ticks stand apart
// and are counted (as fast as the page is large); coarser scans are fitted.
constexpr double kCountFromDpi = 720;
// Pixel shift is fitted from this resolution up (a step is a seventh of a
// pixel at 200 dpi, a tenth at 150); below kShiftMeanLeastDpi with the
// error the pixels make of its ticks' centres (FitOverPixels).
constexpr double kShiftLeastDpi = 140;
constexpr double kShiftMeanLeastDpi = 200;
// How much ink (in levels below white, averaged over a comb's ticks) tells
// a part's ink: a tick of small dots on a coarse scan adds little.
constexpr double kFaintInk = 2;

// Mean and largest deviation of samples.
struct Stats {
    double mean = 0, spread = 0;
};
Stats Of(const std::vector<double>& samples) {
    Stats s;
    if (samples.empty()) return s;
    for (double v : samples) s.mean += v;
    s.mean /= static_cast<double>(samples.size());
    for (double v : samples) s.spread = std::max(s.spread, std::abs(v - s.mean));
    return s;
}

// Fills an item from an estimate in steps; checks the range the input takes.
void Propose(Item* item, double estimate, double spread, int low, int high) {
    const Rounded r = RoundEstimate(estimate, spread);
    item->confidence = r.confidence;
    if (r.confidence < kMinConfidence) {
        item->problem = Phrase(SVC_N("ambiguous: reads %1 (samples spread %2)"), {Text(estimate), Text(spread)});
        return;
    }
    if (r.value < low || r.value > high) {
        item->problem = Phrase(SVC_N("reads %1, outside %2 to %3: is this the right page?"),
                               {std::to_string(r.value), std::to_string(low), std::to_string(high)});
        return;
    }
    item->value = r.value;
}

// The value from samples in groups (a trial's ticks): their mean, and how
// far it may be off: the larger of the samples' standard error and the
// groups' disagreement (a trial measured off as a whole). A tick far from
// its group's others (a speck of dust on it, a scratch; `least` is how far
// is never too far) is left out; a group
// that loses more than a quarter of its ticks so makes the value unsure.
//
// Ticks `pitch` pixels apart stand on the pixels differently, and a tick's
// centre is measured a little off by where it stands (blur and resampling
// keep its ink, not quite its shape): the error repeats tick by tick as the
// pixels do, and evens out over a few. The samples' error is then taken
// over blocks of consecutive ticks that stand on the pixels in every way
// once (`pitch` 0: each tick alone).
MeanError TrialsFit(const std::vector<double>& samples, int perGroup, double least, double pitch = 0) {
    // Ticks to a block: the fewest (up to 8) that end nearest a whole pixel on.
    std::size_t block = 1;
    if (pitch > 0) {
        double nearest = 1;
        for (int b = 1; b <= 8; ++b) {
            const double off = std::abs(b * pitch - std::round(b * pitch));
            if (off < nearest - 0.05) nearest = off, block = static_cast<std::size_t>(b);
        }
    }
    std::vector<double> kept, groups, blocks;
    bool unsure = false;
    for (std::size_t g = 0; g + static_cast<std::size_t>(perGroup) <= samples.size();
         g += static_cast<std::size_t>(perGroup)) {
        const std::vector<double> group(samples.begin() + static_cast<long>(g),
                                        samples.begin() + static_cast<long>(g) + perGroup);
        // Each tick against its neighbours that stand on the pixels as it
        // does (every `block`-th, the nearest two either side: the ticks'
        // places drift across the pixels a little along a row): what is far
        // off them is a speck or a scratch, not where the tick stands.
        // (Each tick alone: against the group's median.)
        std::vector<double> residuals;
        const long n = static_cast<long>(group.size()), step = static_cast<long>(block);
        const double median = MedianOf(group);
        for (long i = 0; i < n; ++i) {
            std::vector<double> alike;
            for (long m = -2; m <= 2 && block > 1; ++m)
                if (m != 0 && i + m * step >= 0 && i + m * step < n)
                    alike.push_back(group[static_cast<std::size_t>(i + m * step)]);
            residuals.push_back(group[static_cast<std::size_t>(i)] - (alike.empty() ? median : MedianOf(alike)));
        }
        const double middle = MedianOf(residuals);
        std::vector<double> deviations;
        for (double r : residuals) deviations.push_back(std::abs(r - middle));
        const double reach = std::max(least, 4 * 1.4826 * MedianOf(deviations));
        std::vector<double> inliers;
        std::vector<double> sums(block, 0.0), counts(block, 0.0);
        for (std::size_t i = 0; i < group.size(); ++i) {
            if (std::abs(residuals[i] - middle) > reach) continue;
            inliers.push_back(group[i]);
            // (Blocks of consecutive ticks; one left out leaves its block shorter.)
            const std::size_t k = i / block;
            if (k >= sums.size()) sums.resize(k + 1, 0.0), counts.resize(k + 1, 0.0);
            sums[k] += group[i], counts[k] += 1;
        }
        if (inliers.size() * 4 < group.size() * 3) unsure = true;
        groups.push_back(MeanOf(inliers).mean);
        kept.insert(kept.end(), inliers.begin(), inliers.end());
        for (std::size_t k = 0; k < sums.size() && block > 1; ++k)
            if (counts[k] > block / 2.0) blocks.push_back(sums[k] / counts[k]);
    }
    MeanError all = MeanOf(kept);
    if (block > 1 && blocks.size() >= 6) all.error = MeanOf(blocks).error;
    if (groups.size() >= 2) all.error = std::max(all.error, MeanOf(groups).error);
    if (unsure || kept.size() < 2) all.error = 1e9;
    return all;
}

// Fills an item from a fitted estimate (in steps, added to `base`): three
// standard errors count as the samples' spread, so that a value is given only
// where the fit is sure of it to well within half a step.
void ProposeFitted(Item* item, double base, const MeanError& fit, int low, int high) {
    Propose(item, base + fit.mean, 3 * fit.error, low, high);
}

// Pairs the ticks of two parts in order (the counts must match the job's)
// and gives each pair's offset, lower minus upper, in pixels.
std::optional<std::vector<double>> PairOffsets(const std::vector<Run>& upper, const std::vector<Run>& lower,
                                               std::size_t expected) {
    if (upper.size() != expected || lower.size() != expected) return std::nullopt;
    std::vector<double> offsets;
    for (std::size_t i = 0; i < expected; ++i) offsets.push_back(lower[i].centre - upper[i].centre);
    return offsets;
}

// The median spacing of runs' centres.
double MedianPitch(const std::vector<Run>& runs) {
    std::vector<double> gaps;
    for (std::size_t i = 1; i < runs.size(); ++i) gaps.push_back(runs[i].centre - runs[i - 1].centre);
    if (gaps.empty()) return 0;
    std::nth_element(gaps.begin(), gaps.begin() + static_cast<long>(gaps.size() / 2), gaps.end());
    return gaps[gaps.size() / 2];
}

}  // namespace

// ---- Bi-D ----

namespace {

constexpr const char* kBidSettingNames[4] = {"VSD1", "VSD2", "VSD2'", "VSD4"};
constexpr const char* kBidRowNames[4][2] = {
    {"VSD1Bk", "VSD1CL"}, {"VSD2Bk", "VSD2CL"}, {"VSD2DBk", "VSD2DCL"}, {"VSD4Bk", "VSD4CL"}};

// One trial band of one head: how far the return pass's ticks stand right of
// the forward pass's, in pixels (each tick pair a sample).
struct Trial {
    Box box;
    std::vector<double> offsets;
    Phrase problem;
};

std::vector<Trial> BidTrials(const Image& page, double dpi, bool black) {
    const Box window =
        Clip(page, {static_cast<int>(Pixels((black ? pg::kBidBlackLeft : pg::kBidColorLeft) - kSlack, dpi)), 0,
                    static_cast<int>(Pixels((black ? pg::kBidBlackRight : pg::kBidColorRight) + kSlack, dpi)) + 1,
                    page.height});
    const Ink forward = black ? Ink::Black : Ink::Magenta;
    const Ink back = black ? Ink::Black : Ink::Cyan;
    std::vector<Trial> trials;
    const int join = std::max(2, static_cast<int>(dpi / 720));
    for (const Run& band : InkRows(page, window, Ink::Any, join)) {
        if (band.Size() <= dpi / 6) continue;  // a line of text (labels, the values tried)
        Trial t;
        t.box = {window.left, band.begin, window.right, band.end};
        // The forward ticks in the band's upper part, the return pass's in its lower part.
        const int part = band.Size() * 2 / 5;
        const auto upper = InkColumns(page, {window.left, band.begin, window.right, band.begin + part}, forward, 0.3);
        const auto lower = InkColumns(page, {window.left, band.end - part, window.right, band.end}, back, 0.3);
        if (auto offsets = PairOffsets(upper, lower, pg::kBidTicks))
            t.offsets = *offsets;
        else
            t.problem =
                Phrase(SVC_N("a trial shows %1 forward and %2 return ticks where the pattern has %3"),
                       {std::to_string(upper.size()), std::to_string(lower.size()), std::to_string(pg::kBidTicks)});
        trials.push_back(std::move(t));
    }
    return trials;
}

// The trials measured where the job puts their ticks: each band's forward
// and return ticks found by a comb of 24 teeth 1/9 inch apart and measured
// by their centroids over the part's whole height, so that faint, blurred or
// merged ticks still count. std::nullopt when a band does not show both
// combs in the head's inks (not this page, or upside down).
std::optional<std::vector<Trial>> BidTrialsFitted(const Image& page, double dpi, bool black) {
    const Box window =
        Clip(page, {static_cast<int>(Pixels((black ? pg::kBidBlackLeft : pg::kBidColorLeft) - kSlack, dpi)), 0,
                    static_cast<int>(Pixels((black ? pg::kBidBlackRight : pg::kBidColorRight) + kSlack, dpi)) + 1,
                    page.height});
    if (window.Width() <= 0 || window.Height() <= 0) return std::nullopt;
    const Ink forward = black ? Ink::Black : Ink::Magenta;
    const Ink back = black ? Ink::Black : Ink::Cyan;
    const double pitch = Pixels(pg::kBidTickPitch, dpi);
    // A tick's centroid over a little more than blur spreads it: more would
    // measure the paper's noise.
    const double half = std::clamp(dpi / 66, 2.5, pitch / 4);
    const std::vector<double> rows = DarkRows(page, window, static_cast<int>(dpi / 180));
    std::vector<Trial> trials;
    // A trial's band is 96 lines of 1/180 inch: the forward ticks in its upper
    // half, the return pass's in its lower half.
    const double height = dpi * 96 / 180;
    for (const Run& band :
         DarkBands(rows, window.top, 0.15, 2.2, std::max(2, static_cast<int>(dpi / 100)), 0.7 * height)) {
        // (A band a little higher than the job's is read where its rows hold the most ink.)
        if (band.Size() > 1.8 * height) return std::nullopt;
        const double middle = BandMiddle(rows, window.top, band, height);
        const Box upper{window.left, static_cast<int>(middle - 0.4 * height), window.right,
                        static_cast<int>(middle - 0.1 * height)};
        const Box lower{window.left, static_cast<int>(middle + 0.1 * height), window.right,
                        static_cast<int>(middle + 0.4 * height)};
        // (The colour head's ticks by their brightness: see DarkColumns.)
        // (Each column against the paper within half a pitch: light may fall off across the row.)
        const int paper = static_cast<int>(pitch / 2);
        const auto up = FitComb(DarkColumns(page, upper, !black, paper), upper.left, pg::kBidTicks, pitch, half);
        const auto down = FitComb(DarkColumns(page, lower, !black, paper), lower.left, pg::kBidTicks, pitch, half);
        if (!up || !down || std::abs(down->first - up->first) > pitch / 2) return std::nullopt;
        // Each part in its pass's ink, told by what its ticks add to the
        // paper (however faint the small dots' ticks come out).
        const Colour cu = CombColour(page, upper, *up, pitch), cl = CombColour(page, lower, *down, pitch);
        if (!ShowsInk(cu, forward, kFaintInk) || !ShowsInk(cl, back, kFaintInk)) return std::nullopt;
        Trial t;
        t.box = {window.left, band.begin, window.right, band.end};
        for (int i = 0; i < pg::kBidTicks; ++i)
            t.offsets.push_back(down->centres[static_cast<std::size_t>(i)] - up->centres[static_cast<std::size_t>(i)]);
        trials.push_back(std::move(t));
    }
    if (trials.empty()) return std::nullopt;
    return trials;
}

// The resolution from the ticks themselves (1/9 inch apart) when the file does not say it.
double BidDpiFromTicks(const Image& page) {
    // The black ticks lie in the left part of the page: try the widest band of ink.
    const Box left{0, 0, page.width / 2, page.height};
    for (const Run& band : InkRows(page, left, Ink::Black, 2)) {
        const int part = band.Size() * 2 / 5;
        if (part < 4) continue;
        const auto ticks = InkColumns(page, {0, band.begin, page.width / 2, band.begin + part}, Ink::Black, 0.3);
        if (ticks.size() < 12) continue;
        return MedianPitch(ticks) * 9.0;
    }
    return 0;
}

}  // namespace

Reading ReadBid(const Image& page, const Context& context) {
    Reading reading;
    reading.kind = Kind::Bid;
    double dpi = DeclaredDpi(page);
    if (dpi <= 0) dpi = BidDpiFromTicks(page);
    if (dpi <= 0) {
        reading.problem =
            SVC_N("the image does not say its resolution (save it with its dpi), and no row of Bi-D ticks shows it");
        return reading;
    }
    // Fine pages (the printer's own, 720 dpi and up) show every tick apart
    // and are counted; coarser ones are fitted.
    std::optional<std::vector<Trial>> fittedBlack =
        dpi < kCountFromDpi ? BidTrialsFitted(page, dpi, true) : std::nullopt;
    std::optional<std::vector<Trial>> fittedColor = fittedBlack ? BidTrialsFitted(page, dpi, false) : std::nullopt;
    // The fitted trials where they show what the job prints (three bands a
    // setting of each head), else the ticks counted.
    const bool fitted = fittedBlack && fittedColor && fittedBlack->size() == fittedColor->size() &&
                        fittedBlack->size() % 3 == 0 &&
                        (context.bidSettings.empty() ? fittedBlack->size() == 12
                                                     : fittedBlack->size() == 3 * context.bidSettings.size());
    const std::vector<Trial> black = fitted ? std::move(*fittedBlack) : BidTrials(page, dpi, true);
    const std::vector<Trial> color = fitted ? std::move(*fittedColor) : BidTrials(page, dpi, false);
    if (black.empty() && color.empty()) {
        reading.problem = SVC_N("no Bi-D trial found on the page");
        return reading;
    }
    if (black.size() % 3 != 0 || color.size() != black.size()) {
        reading.problem =
            Phrase(SVC_N("the page shows %1 black and %2 colour trial bands; each setting prints three of each "
                         "(is part of the pattern cut off?)"),
                   {std::to_string(black.size()), std::to_string(color.size())});
        return reading;
    }
    // Which settings the page shows: the ones printed, in print order.
    std::vector<int> settings;
    if (!context.bidSettings.empty()) {
        for (int s = 0; s < 4; ++s)
            for (const std::string& name : context.bidSettings)
                if (name == kBidSettingNames[s]) settings.push_back(s);
    } else if (black.size() == 12) {
        settings = {0, 1, 2, 3};
    }
    if (settings.size() * 3 != black.size()) {
        reading.problem = context.bidSettings.empty()
                              ? Phrase(SVC_N("the page shows %1 settings; say which were printed (not given)"),
                                       {std::to_string(black.size() / 3)})
                              : Phrase(SVC_N("the page shows %1 settings; say which were printed (%2 given)"),
                                       {std::to_string(black.size() / 3), std::to_string(settings.size())});
        return reading;
    }
    const double stepsPerPixel = 1440.0 / dpi;
    for (std::size_t s = 0; s < settings.size(); ++s)
        for (int head = 0; head < 2; ++head) {
            Item item;
            item.name = kBidRowNames[settings[s]][head];
            const std::vector<Trial>& trials = head == 0 ? black : color;
            const std::optional<int> stored = Stored(context, item.name);
            std::vector<double> estimates;
            for (int t = 0; t < 3; ++t) {
                const Trial& trial = trials[s * 3 + static_cast<std::size_t>(t)];
                item.where.push_back(PlaceOf(trial.box));
                if (!trial.problem.empty()) {
                    item.problem = trial.problem;
                    continue;
                }
                // The return pass lands (value used - error) left: the error is
                // the value used plus how far right the return pass stands.
                for (double offset : trial.offsets)
                    estimates.push_back(pg::kBidTrialOffsets[t] + offset * stepsPerPixel);
            }
            if (!item.problem.empty()) {
                reading.items.push_back(std::move(item));
                continue;
            }
            if (!stored) {
                item.problem = SVC_N("the stored value the trials were printed around is not known");
                reading.items.push_back(std::move(item));
                continue;
            }
            const Stats st = Of(estimates);
            if (fitted)
                ProposeFitted(&item, *stored,
                              TrialsFit(estimates, pg::kBidTicks, std::max(0.5, 0.3 * stepsPerPixel),
                                        Pixels(pg::kBidTickPitch, dpi)),
                              -72, 72);
            else
                Propose(&item, *stored + st.mean, st.spread, -72, 72);
            reading.items.push_back(std::move(item));
        }
    return reading;
}

// ---- PF ----

namespace {

// Where a profile steps between paper and ink near `rough` (a sample index
// on the step): the levels taken a little way out on either side, the place
// by the ink's share over the samples between. `inkAfter`: the ink lies at
// higher indices. Profile index coordinates.
std::optional<double> StepNear(const std::vector<double>& profile, int rough, bool inkAfter, int reach) {
    const int n = static_cast<int>(profile.size());
    const int inkFrom = inkAfter ? rough + reach : rough - 2 * reach,
              paperFrom = inkAfter ? rough - 2 * reach : rough + reach;
    if (std::min(inkFrom, paperFrom) < 0 || std::max(inkFrom, paperFrom) + reach > n) return std::nullopt;
    const double ink = MedianOf({profile.begin() + inkFrom, profile.begin() + inkFrom + reach});
    const double paper = MedianOf({profile.begin() + paperFrom, profile.begin() + paperFrom + reach});
    if (!(ink - paper > 0.05)) return std::nullopt;
    return EdgeBetween(profile, inkAfter ? rough + reach : rough - reach, inkAfter ? rough - reach : rough + reach, ink,
                       paper);
}

// The first (or last) index whose value reaches `level`; -1 when none does.
int FirstAbove(const std::vector<double>& profile, double level, bool last = false) {
    const int n = static_cast<int>(profile.size());
    for (int k = 0; k < n; ++k) {
        const int i = last ? n - 1 - k : k;
        if (profile[static_cast<std::size_t>(i)] >= level) return i;
    }
    return -1;
}

// The nine candidates measured where the job puts their blocks, on a scan
// too coarse to count the joints' rows: each candidate's band found in a
// profile of the rows, placed across by its outer edges; block A's lower
// edge where only A lies and block B's upper edge where only B lies, each
// from a profile averaged along the whole block, to a fraction of a pixel;
// the value fitted over the nine joints. std::nullopt when the page does not
// show the nine bands as the job prints them (A above and left of B).
//
// The blocks' edge lines are printed by one of the two passes (1/360 inch
// each) and hold about 0.81 of the ink of the blocks' inside, so measured by
// their ink A ends and B begins that share of a line nearer the joint: the
// closed joint seen so. (Measured by ink, the edges keep their place through
// rescaling, blur and JPEG, which keep the ink where it is.)
constexpr double kPfEdgeLineInk = 0.81;
constexpr double kPfClosedGapByInk = pg::kPfClosedGap + 2 * (pg::kMasterPerInch / 360.0) * (1 - kPfEdgeLineInk);

std::optional<Reading> ReadPfFitted(const Image& page, double dpi) {
    auto px = [dpi](double master) { return Pixels(master, dpi); };
    const double origin = pg::kFirstDotNominal;
    const Box window = Clip(page, {static_cast<int>(px(origin + pg::kPfUpperLeft - kSlack)), 0,
                                   static_cast<int>(px(origin + pg::kPfLowerRight + kSlack)) + 1, page.height});
    if (window.Width() <= 0 || window.Height() <= 0) return std::nullopt;
    // The rows' darkness over the pattern's columns, less the paper's own
    // (the lightest rows within a third of an inch: light may fall off).
    const std::vector<double> rows = AbovePaper(MeanDarkRows(page, window), static_cast<int>(dpi / 3));
    // A candidate's band: blocks A and B, 64 lines of 1/180 inch in all.
    const double height = dpi * 64 / 180;
    const double level = QuantileOf(rows, 0.9);
    if (!(level > 0.05)) return std::nullopt;
    std::vector<Run> bands;
    // (A joint open by 8 steps leaves 1/47 inch of paper.)
    for (const Run& run : Runs(rows, window.top, 0.4 * level, static_cast<int>(dpi / 25)))
        if (run.Size() >= 0.7 * height) bands.push_back(run);
    if (bands.size() != pg::kPfCandidates) return std::nullopt;
    const int reach = std::max(4, static_cast<int>(std::lround(dpi / 60)));
    std::vector<double> estimates;
    Reading reading;
    reading.kind = Kind::Pf;
    Item item;
    for (int k = 0; k < pg::kPfCandidates; ++k) {
        const Run& band = bands[static_cast<std::size_t>(k)];
        if (band.Size() > 1.3 * height) return std::nullopt;
        // Across: the band's left edge is A's, its right edge B's.
        const Box rowsOf{window.left, band.begin, window.right, band.end};
        const std::vector<double> across = MeanDarkColumns(page, rowsOf);
        const double top = QuantileOf(across, 0.95);
        const int l = FirstAbove(across, 0.25 * top), r = FirstAbove(across, 0.25 * top, true);
        if (l < 0 || r < 0) return std::nullopt;
        const auto left = StepNear(across, l, true, reach), right = StepNear(across, r, false, reach);
        if (!left || !right) return std::nullopt;
        const double shiftLeft = window.left + *left - px(origin + pg::kPfUpperLeft);
        const double shiftRight = window.left + *right - px(origin + pg::kPfLowerRight);
        if (std::abs(shiftLeft - shiftRight) > std::max(3.0, 0.02 * px(pg::kPfLowerRight - pg::kPfUpperLeft)))
            return std::nullopt;
        const double shift = (shiftLeft + shiftRight) / 2;
        // Down: A's lower edge where only A lies, B's upper edge where only B lies.
        const int margin = 2 * reach;
        const Box onlyA{static_cast<int>(px(origin + pg::kPfUpperLeft) + shift) + reach, band.begin - margin,
                        static_cast<int>(px(origin + pg::kPfLowerLeft) + shift) - reach, band.end + margin};
        const Box onlyB{static_cast<int>(px(origin + pg::kPfUpperRight) + shift) + reach, band.begin - margin,
                        static_cast<int>(px(origin + pg::kPfLowerRight) + shift) - reach, band.end + margin};
        if (onlyA.Width() < 4 || onlyB.Width() < 4 || onlyA.top < 0 || onlyA.bottom > page.height) return std::nullopt;
        const std::vector<double> a = MeanDarkRows(page, onlyA), b = MeanDarkRows(page, onlyB);
        const double aTop = QuantileOf(a, 0.9), bTop = QuantileOf(b, 0.9);
        const int aFirst = FirstAbove(a, 0.5 * aTop), aLast = FirstAbove(a, 0.5 * aTop, true);
        const int bFirst = FirstAbove(b, 0.5 * bTop), bLast = FirstAbove(b, 0.5 * bTop, true);
        // A in the band's upper half, B in its lower half: else not this
        // pattern, or upside down.
        const double middle = (band.begin + band.end) / 2.0 - onlyA.top;
        if (aFirst < 0 || bFirst < 0 || (aFirst + aLast) / 2.0 >= middle || (bFirst + bLast) / 2.0 <= middle)
            return std::nullopt;
        const auto aEnd = StepNear(a, aLast, false, reach), bBegin = StepNear(b, bFirst, true, reach);
        if (!aEnd || !bBegin) return std::nullopt;
        const double gap = *bBegin - *aEnd;
        // Candidate v feeds (v - error) steps of 1/375 inch more than the closed joint needs.
        estimates.push_back((k - 4) - (gap - px(kPfClosedGapByInk)) / px(pg::kPfStep));
        item.where.push_back(PlaceOf({onlyA.left, band.begin, onlyB.right, band.end}));
    }
    ProposeFitted(&item, 0, TrialsFit(estimates, pg::kPfCandidates, 0.5), -4, 4);
    reading.items.push_back(std::move(item));
    return reading;
}

}  // namespace

Reading ReadPf(const Image& page, const Context&) {
    Reading reading;
    reading.kind = Kind::Pf;
    const double dpi = DeclaredDpi(page);
    if (dpi <= 0) {
        reading.problem = kNoDpi;
        return reading;
    }
    // A step moves the joint 1/375 inch. Below 720 dpi that is less than two
    // pixels, and blur or JPEG moves a band's edge by about one: the joints'
    // rows are not counted there but measured by their ink and fitted, and a
    // page where that fails is refused as too coarse to count.
    if (dpi < kPfLeastDpi - 0.5) {
        if (std::optional<Reading> fitted = ReadPfFitted(page, dpi)) return std::move(*fitted);
        reading.problem =
            Phrase(SVC_N("the page is %1 dpi; one PF step needs %2 dpi or more to be read safely (scan it finer)"),
                   {std::to_string(std::lround(dpi)), std::to_string(kPfLeastDpi)});
        return reading;
    }
    Item item;
    auto px = [dpi](double master) { return static_cast<int>(std::lround(Pixels(master, dpi))); };
    // Where the printer put the print across: block A's left edge.
    const Box search = Clip(page, {px(pg::kPfUpperLeft - kSlack), 0, px(pg::kPfLowerLeft), page.height});
    const auto columns = InkColumns(page, search, Ink::Cyan, 0.02);
    if (columns.empty()) {
        reading.problem = SVC_N("no PF pattern found on the page");
        return reading;
    }
    const int shift = columns.front().begin - px(pg::kPfUpperLeft);
    const Box upperOnly =
        Clip(page, {px(pg::kPfUpperLeft) + shift + 2, 0, px(pg::kPfLowerLeft) + shift - 2, page.height});
    const Box lowerOnly =
        Clip(page, {px(pg::kPfUpperRight) + shift + 2, 0, px(pg::kPfLowerRight) + shift - 2, page.height});
    std::vector<double> gaps;
    for (const Run& band : InkRows(page, upperOnly, Ink::Cyan, 0, 0.3)) {
        // The band below the joint, seen where only block B lies.
        const auto lower = InkRows(page, {lowerOnly.left, band.begin, lowerOnly.right, page.height}, Ink::Cyan, 0, 0.3);
        if (lower.empty()) continue;
        gaps.push_back(lower.front().begin - band.end);
        item.where.push_back(PlaceOf({upperOnly.left, band.begin, lowerOnly.right, lower.front().end}));
    }
    if (gaps.size() != pg::kPfCandidates) {
        item.problem = Phrase(SVC_N("the page shows %1 candidate joints where the pattern has %2"),
                              {std::to_string(gaps.size()), std::to_string(pg::kPfCandidates)});
        reading.items.push_back(std::move(item));
        return reading;
    }
    // The joint opens by one step a candidate: fit a line through the nine
    // and find where it meets the closed joint.
    const double n = static_cast<double>(gaps.size());
    double si = 0, sg = 0, sii = 0, sig = 0;
    for (std::size_t i = 0; i < gaps.size(); ++i) {
        const double x = static_cast<double>(i);
        si += x, sg += gaps[i], sii += x * x, sig += x * gaps[i];
    }
    const double slope = (n * sig - si * sg) / (n * sii - si * si);
    const double intercept = (sg - slope * si) / n;
    const double expected = Pixels(pg::kPfStep, dpi);
    if (!(std::abs(slope - expected) < 0.4 * expected)) {
        item.problem = Phrase(SVC_N("the candidates' joints do not open evenly (%1 pixels a step, expected %2)"),
                              {Text(slope, 2), Text(expected, 2)});
        reading.items.push_back(std::move(item));
        return reading;
    }
    double residual = 0;
    for (std::size_t i = 0; i < gaps.size(); ++i)
        residual = std::max(residual, std::abs(gaps[i] - (intercept + slope * static_cast<double>(i))) / slope);
    const double at = (Pixels(pg::kPfClosedGap, dpi) - intercept) / slope;
    Propose(&item, at - 4, residual, -4, 4);
    reading.items.push_back(std::move(item));
    return reading;
}

// ---- head angular ----

namespace {

// The slope (rows down per column right) of the top edge of the bars in `band`.
std::optional<double> TopEdgeSlope(const Image& page, const Run& band, int right) {
    // The bars are drawn in lines across: the first row that crosses three
    // of them lies on the top line.
    int probe = -1;
    std::vector<Run> bars;
    for (int y = band.begin; y < band.end && probe < 0; ++y) {
        bars = InkColumns(page, {0, y, right, y + 1}, Ink::Gray);
        if (bars.size() >= 3) probe = y;
    }
    if (probe < 0) return std::nullopt;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int n = 0;
    const int from = std::max(0, band.begin - band.Size() / 10);
    for (const Run& bar : bars) {
        // The middle half of each bar: its sides lean with the head.
        for (int x = bar.begin + bar.Size() / 4; x < bar.end - bar.Size() / 4; ++x) {
            for (int y = from; y <= probe; ++y) {
                const float w = InkWeight(Ink::Gray, page.Row(y) + static_cast<std::size_t>(x) * 3);
                if (w < 0.5f) continue;
                const double above =
                    y > 0 ? InkWeight(Ink::Gray, page.Row(y - 1) + static_cast<std::size_t>(x) * 3) : 0.0;
                const double edge = y - above;
                sx += x, sy += edge, sxx += static_cast<double>(x) * x, sxy += static_cast<double>(x) * edge;
                ++n;
                break;
            }
        }
    }
    if (n < 10) return std::nullopt;
    const double den = n * sxx - sx * sx;
    if (den <= 0) return std::nullopt;
    return (n * sxy - sx * sy) / den;
}

// The head angular pattern, as its job draws it: one band of 96 raster
// lines 1/180 inch apart; on every fourth line gray bars 288 dots of 1/360
// inch long every 432 dots, on the lines between them light magenta bars,
// half a period on. A lever step leans raster line j by j/16 of its depth.
constexpr double kLeanBandLines = 96, kLeanLinePitch = 1.0 / 180;  // inch
constexpr double kLeanPeriod = 432.0 / 360;                        // inch
constexpr double kLeanLeast = 300;  // dpi from which the bars' lines are told apart (the counting)

// The lean measured where the bars are, on a page of any resolution: the
// bars' band found in a profile of the rows; in each of its rows the phase
// of the gray bars' period (1.2 inch) across whole periods of the row, which
// holds every bar's ink and moves with the bars as they lean; the lean is the
// straight line fitted through the rows' places, less how far the band's own
// rows slope (a page turned a little). std::nullopt when no such band shows.
std::optional<Reading> ReadHeadAngularFitted(const Image& page, double dpi) {
    if (!(dpi >= 100)) return std::nullopt;
    const double period = kLeanPeriod * dpi, height = kLeanBandLines * kLeanLinePitch * dpi;
    if (page.width < 3 * period) return std::nullopt;
    // The rows' darkness less the paper's (the lightest rows within 0.6 inch).
    const std::vector<double> rows =
        AbovePaper(MeanDarkRows(page, {0, 0, page.width, page.height}), static_cast<int>(0.6 * dpi));
    const double top = *std::max_element(rows.begin(), rows.end());
    if (!(top > 0.05)) return std::nullopt;
    std::vector<Run> bands;
    for (const Run& run : Runs(rows, 0, 0.4 * top, static_cast<int>(dpi / 30)))
        if (run.Size() >= 0.8 * height && run.Size() <= 1.25 * height) bands.push_back(run);
    if (bands.size() != 1) return std::nullopt;
    const Run band = bands.front();
    // Across: whole periods that lie inside the bars on every row, however
    // far they lean (20 steps lean the band's last line by 2/3 inch).
    const std::vector<double> across = MeanDarkColumns(page, {0, band.begin, page.width, band.end});
    const double full = QuantileOf(across, 0.9);
    const int first = FirstAbove(across, 0.25 * full), last = FirstAbove(across, 0.25 * full, true);
    if (first < 0) return std::nullopt;
    const double most = 20.0 / 16 * height + 0.1 * dpi;
    const int from = static_cast<int>(first + most);
    const int periods = static_cast<int>((last - most - from) / period);
    if (periods < 2) return std::nullopt;
    const int to = from + static_cast<int>(std::lround(periods * period));
    // How far the band's rows slope (a page turned a little): its lower
    // edge (the text lies above it) in each period across, each of which
    // holds the same bars, by the ink's share over the step; measured again
    // in windows that follow the slope found.
    double turned = 0, turnedError = 0;
    const double bandMiddle = (band.begin + band.end) / 2.0, bandCentre = (from + to) / 2.0;
    const int margin = std::max(3, static_cast<int>(dpi / 60));
    for (int round = 0; round < 3; ++round) {
        std::vector<double> xs, middles;
        for (int k = 0; k < periods; ++k) {
            const int left = from + static_cast<int>(k * period), right = from + static_cast<int>((k + 1) * period);
            const double expected = bandMiddle + turned * ((left + right) / 2.0 - bandCentre);
            const Box chunk{left, static_cast<int>(expected), right,
                            static_cast<int>(expected + 0.75 * height) + margin};
            if (chunk.top < 0 || chunk.bottom > page.height) return std::nullopt;
            const std::vector<double> down = MeanDarkRows(page, chunk);
            const int inside = static_cast<int>(height / 4), count = static_cast<int>(down.size());
            double ink = 0;
            for (int i = 0; i < inside; ++i) ink += down[static_cast<std::size_t>(i)] / inside;
            const double paper = MedianOf({down.end() - margin, down.end()});
            const std::optional<double> edge = EdgeBetween(down, inside, count - margin, ink, paper);
            if (!edge) return std::nullopt;
            xs.push_back((left + right) / 2.0);
            middles.push_back(chunk.top + *edge);
        }
        if (periods >= 3) {
            const std::optional<LineFit> slope = FitLine(xs, middles);
            if (!slope) return std::nullopt;
            turned = slope->b;
            double mx = 0, sxx = 0;
            for (double x : xs) mx += x / static_cast<double>(xs.size());
            for (double x : xs) sxx += (x - mx) * (x - mx);
            turnedError = slope->residual / std::sqrt(sxx);
        } else {
            turned = (middles[1] - middles[0]) / (xs[1] - xs[0]);
        }
    }
    // Along each of the sheet's rows (sloping as the band does), the phase of
    // the gray bars' period: where the bars stand on that row. Gray takes red
    // light, light magenta hardly: the gray in the red channel.
    std::vector<double> cosines, sines;
    for (int x = from; x < to; ++x) {
        cosines.push_back(std::cos(2 * M_PI * x / period));
        sines.push_back(std::sin(2 * M_PI * x / period));
    }
    struct Phase {
        double y, shift, weight;
    };
    std::vector<Phase> phases;
    double strongest = 0;
    const int inset = std::max(1, static_cast<int>(dpi / 180));
    std::vector<double> line(static_cast<std::size_t>(to - from));
    for (int y = band.begin + inset; y < band.end - inset; ++y) {
        double mean = 0;
        for (int x = from; x < to; ++x) {
            // The red channel between the two pixels the sloping row passes.
            const double at = std::clamp(y + turned * (x + 0.5 - bandCentre), 0.0, page.height - 1.001);
            const int y0 = static_cast<int>(at);
            const double f = at - y0;
            const double red = page.Row(y0)[static_cast<std::size_t>(x) * 3] * (1 - f) +
                               page.Row(y0 + 1)[static_cast<std::size_t>(x) * 3] * f;
            line[static_cast<std::size_t>(x - from)] = 255 - red;
            mean += 255 - red;
        }
        mean /= (to - from);
        double c = 0, s = 0;
        for (std::size_t i = 0; i < line.size(); ++i) {
            c += (line[i] - mean) * cosines[i];
            s += (line[i] - mean) * sines[i];
        }
        const double amplitude = std::hypot(c, s);
        strongest = std::max(strongest, amplitude);
        phases.push_back({y + 0.5, std::atan2(s, c) / (2 * M_PI) * period, amplitude});
    }
    // Rows between the gray lines (light magenta alone, half a period on) are left out.
    std::vector<double> ys, shifts;
    double previous = 0;
    bool any = false;
    for (const Phase& p : phases) {
        if (p.weight < 0.4 * strongest) continue;
        double shift = p.shift;
        if (any) shift += period * std::round((previous - shift) / period);
        previous = shift, any = true;
        ys.push_back(p.y);
        shifts.push_back(shift);
    }
    const std::optional<LineFit> lean = FitLine(ys, shifts);
    if (!lean || lean->n < 8) return std::nullopt;
    // The rows are not independent (blur, and a gray line every fourth
    // raster line): the slope's error is taken over the gray lines, not the rows.
    double my = 0, syy = 0;
    for (double y : ys) my += y / static_cast<double>(ys.size());
    for (double y : ys) syy += (y - my) * (y - my);
    double leanError =
        lean->residual / std::sqrt(syy) * std::sqrt(std::max(1.0, static_cast<double>(lean->n) / (kLeanBandLines / 4)));
    // Where the gray lines stand apart (rows between them left out), each
    // line's rows stand alike, a stair the rows' scatter would count as
    // error: the lines' own means tell it.
    std::vector<double> lineYs, lineShifts;
    for (std::size_t i = 0, start = 0; i <= ys.size(); ++i) {
        if (i < ys.size() && (i == start || ys[i] - ys[i - 1] < 1.5)) continue;
        double y = 0, shift = 0;
        for (std::size_t k = start; k < i; ++k) y += ys[k], shift += shifts[k];
        lineYs.push_back(y / static_cast<double>(i - start));
        lineShifts.push_back(shift / static_cast<double>(i - start));
        start = i;
    }
    if (lineYs.size() >= kLeanBandLines / 8) {
        if (const std::optional<LineFit> lines = FitLine(lineYs, lineShifts)) {
            double mean = 0, sum = 0;
            for (double y : lineYs) mean += y / static_cast<double>(lineYs.size());
            for (double y : lineYs) sum += (y - mean) * (y - mean);
            leanError = lines->residual / std::sqrt(sum);
        }
    }
    Reading reading;
    reading.kind = Kind::HeadAngular;
    Item item;
    item.where.push_back(PlaceOf({from, band.begin, to, band.end}));
    // On a turned page the sheet's upright lines lean by the turn too. A
    // lever step leans a line 1/16 of its depth.
    Propose(&item, (lean->b + turned) * 16, 3 * 16 * std::hypot(leanError, turnedError), -20, 20);
    reading.items.push_back(std::move(item));
    return reading;
}

}  // namespace

Reading ReadHeadAngular(const Image& page, const Context&) {
    Reading reading;
    reading.kind = Kind::HeadAngular;
    if (std::optional<Reading> fitted = ReadHeadAngularFitted(page, DeclaredDpi(page))) return std::move(*fitted);
    Item item;
    const Box half{0, 0, page.width / 2, page.height};
    // The bars' band is the last gray one at the left.
    const auto bands = InkRows(page, half, Ink::Gray, 8, 0.01);
    if (bands.empty()) {
        reading.problem = SVC_N("no gray bars found on the page");
        return reading;
    }
    const Run& band = bands.back();
    item.where.push_back(PlaceOf({0, band.begin, half.right, band.end}));
    // The bars are lines across, 1/360 inch apart on the sheet: a page too
    // coarse (or too blurred) to show them apart cannot show the lean either.
    const double dpi = DeclaredDpi(page);
    if (dpi > 0 && dpi < kLeanLeast) {
        item.problem = Phrase(SVC_N("the page is %1 dpi: the bars' lines need 300 dpi or more"), {Text(dpi, 0)});
        reading.items.push_back(std::move(item));
        return reading;
    }
    std::vector<std::pair<double, double>> edges;  // (row, x of the second bar's left edge)
    for (int y = band.begin; y < band.end; ++y) {
        const Box row{0, y, half.right, y + 1};
        // Black text above the bars has soft gray edges: a row with black is not a bar row.
        if (!InkColumns(page, row, Ink::Black).empty()) continue;
        const auto bars = InkColumns(page, row, Ink::Gray);
        if (bars.size() < 3) continue;
        // The second bar's left edge (the first may lean off the sheet), to a
        // fraction of a pixel: the share of gray in the pixel before it.
        const int x = bars[1].begin;
        const double before = x > 0 ? InkWeight(Ink::Gray, page.Row(y) + static_cast<std::size_t>(x - 1) * 3) : 0.0;
        edges.emplace_back(y, x - before);
    }
    const int n = static_cast<int>(edges.size());
    if (n < 10) {
        item.problem = Phrase(SVC_N("the bars show too few rows to measure (%1)"), {std::to_string(n)});
        reading.items.push_back(std::move(item));
        return reading;
    }
    double sy = 0, sx = 0, syy = 0, sxy = 0;
    for (const auto& [y, x] : edges) sy += y, sx += x, syy += y * y, sxy += y * x;
    const double den = n * syy - sy * sy;
    if (den <= 0) {
        item.problem = SVC_N("the bars show no height to measure");
        reading.items.push_back(std::move(item));
        return reading;
    }
    const double slant = (n * sxy - sx * sy) / den;
    // How well the edge is a straight line: the slope's standard error. A
    // ragged edge (text, a smear, lines not resolved) is no measurement.
    const double intercept = (sx - slant * sy) / n;
    double squares = 0;
    for (const auto& [y, x] : edges) squares += (x - intercept - slant * y) * (x - intercept - slant * y);
    const double slopeError = std::sqrt(squares / std::max(1, n - 2) / (den / n));
    // A page scanned turned makes every vertical edge lean as much as its
    // horizontal edges slope; the bars' top edge is horizontal on the sheet
    // whatever the head does (the lever moves the deeper lines across).
    const std::optional<double> turned = TopEdgeSlope(page, band, half.right);
    if (!turned) {
        item.problem = SVC_N("the bars' top edge cannot be measured: how the page lies is unknown");
        reading.items.push_back(std::move(item));
        return reading;
    }
    // A lever step leans a line 1/16 of its depth.
    Propose(&item, (slant + *turned) * 16, 3 * 16 * slopeError, -20, 20);
    reading.items.push_back(std::move(item));
    return reading;
}

// ---- PW sensor ----

namespace {

// The PW print as its job draws it: the frames' 17 bars, 1/180 inch high,
// one every 0.4667 inch across (each 0.444 inch long), from 1/30 inch in;
// the sides' 17 lines, 1/360 inch wide, one row every 0.4517 inch down.
// Bar k and row r stand 2 value steps (1/90 inch) further down or across
// than the one before.
constexpr double kPwBarPitch = 168.0 / 360, kPwBarsFrom = 12.0 / 360;  // inch
constexpr double kPwRowPitch = 162.625 / 360;                          // inch
constexpr int kPwCount = 17;
// How far from its edge a bar or line may lie (3 to 67 steps of 1/180
// inch), and a little more.
constexpr double kPwReach = 0.42;  // inch

// One sample of a staircase of thin lines: at `along` (a row for the
// sides, a column for the frames), the line's centre `at` across the strip.
struct StairSample {
    double along = 0, at = 0;
};

// Along each row (or column) of the strip, the centroid of the first line
// from the sheet's edge (at the strip's end `fromEnd`, else its start),
// where it stands well clear of the paper's noise: the labels lie beyond
// the lines, further from the edge.
std::vector<StairSample> StairSamples(const Image& page, const Box& strip, bool rows, bool fromEnd, double dpi) {
    std::vector<StairSample> samples;
    const int half = std::max(3, static_cast<int>(std::lround(dpi / 60)));
    const int outer = rows ? strip.Height() : strip.Width();
    const int inner = rows ? strip.Width() : strip.Height();
    if (inner < 4 * half) return samples;
    std::vector<double> line(static_cast<std::size_t>(inner)), smooth(static_cast<std::size_t>(inner), 0.0);
    for (int k = 0; k < outer; ++k) {
        for (int i = 0; i < inner; ++i) {
            const int x = rows ? strip.left + i : strip.left + k, y = rows ? strip.top + k : strip.top + i;
            line[static_cast<std::size_t>(i)] = Darkness(page.Row(y) + static_cast<std::size_t>(x) * 3);
        }
        const double paper = MedianOf(line);
        std::vector<double> deviations;
        for (double v : line) deviations.push_back(std::abs(v - paper));
        const double noise = std::max(0.004, 1.4826 * MedianOf(deviations));
        for (int i = 1; i + 1 < inner; ++i)
            smooth[static_cast<std::size_t>(i)] = line[static_cast<std::size_t>(i - 1)] +
                                                  line[static_cast<std::size_t>(i)] +
                                                  line[static_cast<std::size_t>(i + 1)] - 3 * paper;
        // Clear of the noise, and of the JPEG's ripples beside the sheet's
        // edge: a good share of the darkest place's ink.
        const double threshold =
            std::max(6 * noise * std::sqrt(3.0), 0.3 * *std::max_element(smooth.begin() + 1, smooth.end() - 1));
        int found = -1;
        for (int j = 1; j + 1 < inner && found < 0; ++j) {
            const int i = fromEnd ? inner - 1 - j : j;
            if (smooth[static_cast<std::size_t>(i)] > threshold) found = i;
        }
        if (found < 0) continue;
        // The line's top: the highest point within a few pixels on.
        int best = found;
        for (int j = 0; j <= 2 * half; ++j) {
            const int i = fromEnd ? found - j : found + j;
            if (i < 1 || i + 1 >= inner) break;
            if (smooth[static_cast<std::size_t>(i)] > smooth[static_cast<std::size_t>(best)]) best = i;
        }
        double mass = 0, moment = 0;
        for (int i = std::max(0, best - half); i <= std::min(inner - 1, best + half); ++i) {
            const double w = std::max(0.0, line[static_cast<std::size_t>(i)] - paper);
            mass += w;
            moment += w * (i + 0.5);
        }
        if (!(mass > 0)) continue;
        samples.push_back({(rows ? strip.top : strip.left) + k + 0.5, (rows ? strip.left : strip.top) + moment / mass});
    }
    return samples;
}

// The staircase the samples lie on: `count` treads `pitch` apart along,
// each `rise` further across than the one before. Where the first tread
// begins is searched for around where the lines begin; samples near a
// tread's ends, and those far off their tread (a label beside the line),
// are left out. The centre of each tread's line, or std::nullopt when the
// samples do not show the staircase (a tread missing, lines beyond its
// ends, or rising the other way).
std::optional<std::vector<double>> FitStaircase(const std::vector<StairSample>& samples, double pitch, double rise,
                                                int count, double* start) {
    if (samples.size() < static_cast<std::size_t>(4 * count)) return std::nullopt;
    // Where the lines begin: the first place with a line followed by many.
    std::vector<double> alongs;
    for (const StairSample& s : samples) alongs.push_back(s.along);
    std::sort(alongs.begin(), alongs.end());
    double begin = alongs.front();
    for (std::size_t i = 0; i + 4 < alongs.size(); ++i)
        if (alongs[i + 4] - alongs[i] < 0.1 * pitch) {
            begin = alongs[i];
            break;
        }
    // The start that leaves fewest samples off their tread's line (those
    // put on the wrong tread), then the tightest.
    struct Try {
        double misfits = 1e18, spread = 1e18, start = 0;
    } best;
    for (double start = begin - pitch / 2; start <= begin + pitch / 2; start += pitch / 128) {
        std::vector<double> residuals;
        for (const StairSample& s : samples) {
            const double k = (s.along - start) / pitch;
            const double tread = std::floor(k);
            if (tread < 0 || tread >= count || k - tread < 0.1 || k - tread > 0.9) continue;
            residuals.push_back(s.at - rise * tread);
        }
        if (residuals.size() < static_cast<std::size_t>(2 * count)) continue;
        const double median = MedianOf(residuals);
        std::vector<double> deviations;
        double misfits = 0;
        for (double r : residuals) {
            deviations.push_back(std::abs(r - median));
            if (std::abs(r - median) > 0.5 * std::abs(rise)) ++misfits;
        }
        misfits /= static_cast<double>(residuals.size());
        const double spread = MedianOf(deviations);
        if (misfits < best.misfits - 1e-3 || (misfits < best.misfits + 1e-3 && spread < best.spread))
            best = {misfits, spread, start};
    }
    if (best.spread > 1e17) return std::nullopt;
    std::vector<std::vector<double>> treads(static_cast<std::size_t>(count));
    std::vector<std::pair<double, double>> outside;  // (tread, residual) just beyond the ends
    int inside = 0;
    std::vector<double> residuals;
    for (const StairSample& s : samples) {
        const double k = (s.along - best.start) / pitch;
        const double tread = std::floor(k);
        if (k - tread < 0.1 || k - tread > 0.9) continue;
        if (tread < 0 || tread >= count) {
            if (tread >= -1 && tread <= count) outside.emplace_back(tread, s.at - rise * tread);
            continue;
        }
        ++inside;
        residuals.push_back(s.at - rise * tread);
        treads[static_cast<std::size_t>(tread)].push_back(s.at - rise * tread);
    }
    // Lines just beyond the ends that carry the staircase on: it is one
    // tread off. (Other lines there, as the next staircase's first, do not.)
    const double median = MedianOf(residuals);
    int beyond = 0;
    for (const auto& [tread, residual] : outside)
        if (std::abs(residual - median) < 0.5 * std::abs(rise)) ++beyond;
    if (beyond * count > inside / 4) return std::nullopt;
    std::vector<double> centres;
    for (int k = 0; k < count; ++k) {
        const std::vector<double> kept =
            WithoutOutliers(treads[static_cast<std::size_t>(k)], 0.5 + 0.2 * std::abs(rise));
        if (kept.size() * 3 < treads[static_cast<std::size_t>(k)].size() || kept.size() < 3) return std::nullopt;
        centres.push_back(MeanOf(kept).mean + rise * k);
    }
    // Rising as the job prints it: a page read the wrong way round does not.
    std::vector<double> index;
    for (int k = 0; k < count; ++k) index.push_back(k);
    const std::optional<LineFit> slope = FitLine(index, centres);
    if (!slope || std::abs(slope->b - rise) > 0.25 * std::abs(rise)) return std::nullopt;
    *start = best.start;
    return centres;
}

// The four PW items measured where the job puts them, on a scan: each
// side's (or frame's) lines followed row by row (column by column) within
// the strip by its edge, fitted as the staircase they form, and the value
// fitted over all 17 against the sheet's edge. std::nullopt for an item
// whose staircase is not found.
std::optional<Item> PwFitted(const Image& page, double dpi, const SheetEdges& edges, const char* name, bool side,
                             bool first) {
    const double step = dpi / 180;  // a value step, in pixels
    const double reach = kPwReach * dpi;
    // Clear of the edge's own shade (the background blurred into the sheet).
    const double clear = std::max(2.0, 0.012 * dpi);
    Box strip;
    if (side)
        // Below the top frame's labels (the rows begin 0.53 to 0.71 inch down).
        strip = first ? Box{static_cast<int>(std::ceil(edges.left + clear)), static_cast<int>(edges.top + 0.7 * dpi),
                            static_cast<int>(edges.left + reach), static_cast<int>(edges.bottom - 0.5 * dpi)}
                      : Box{static_cast<int>(edges.right - reach), static_cast<int>(edges.top + 0.7 * dpi),
                            static_cast<int>(edges.right - clear), static_cast<int>(edges.bottom - 0.5 * dpi)};
    else
        strip =
            first ? Box{0, static_cast<int>(std::ceil(edges.top + clear)), page.width,
                        static_cast<int>(edges.top + reach)}
                  : Box{0, static_cast<int>(edges.bottom - reach), page.width, static_cast<int>(edges.bottom - clear)};
    strip = Clip(page, strip);
    if (strip.Width() <= 0 || strip.Height() <= 0) return std::nullopt;
    const std::vector<StairSample> samples = StairSamples(page, strip, side, !first, dpi);
    double start = 0;
    const std::optional<std::vector<double>> centres =
        FitStaircase(samples, (side ? kPwRowPitch : kPwBarPitch) * dpi, 2 * step, kPwCount, &start);
    if (!centres) return std::nullopt;
    // Where the job starts them: the rows 0.53 to 0.71 inch below the top
    // edge, the bars about 1/30 inch in from the left. A page the wrong way
    // up shows staircases that rise the same way, elsewhere.
    if (side ? start < edges.top + 0.45 * dpi || start > edges.top + 0.8 * dpi
             : std::abs(start - (edges.left + kPwBarsFrom * dpi)) > 0.1 * dpi)
        return std::nullopt;
    Item item;
    item.name = name;
    item.where.push_back(PlaceOf(strip));
    std::vector<double> estimates;
    for (int k = 0; k < kPwCount; ++k) {
        const double at = (*centres)[static_cast<std::size_t>(k)];
        if (side) {
            // Row k's line stands for -8 + 2k on both sides, each step 1/180
            // inch further from the left edge, or nearer the right one.
            const double value = -8 + 2.0 * k;
            estimates.push_back(first ? value - ((at - edges.left) / step - pg::kPwLeftLine)
                                      : value + ((edges.right - at) / step - pg::kPwRightLine));
        } else {
            // Bar k stands for -16 + 2k at the top and 16 - 2k at the bottom.
            estimates.push_back(first ? -16 + 2.0 * k - ((at - edges.top) / step - pg::kPwTopBar)
                                      : 16 - 2.0 * k - ((edges.bottom - at) / step - pg::kPwBottomBar));
        }
    }
    ProposeFitted(&item, 0, TrialsFit(estimates, kPwCount, 0.5), side ? -8 : -16, side ? 24 : 16);
    return item;
}

}  // namespace

Reading ReadPw(const Image& page, const Context&, const SheetEdges& found) {
    Reading reading;
    reading.kind = Kind::Pw;
    const double dpi = DeclaredDpi(page);
    if (dpi <= 0) {
        reading.problem = kNoDpi;
        return reading;
    }
    // A scan's sheet (its edges found to a fraction of a pixel, or its
    // borders): the lines are followed and fitted. The printer's own page is
    // the whole sheet, its lines stand apart and are counted.
    // Items not fitted so are counted. (The printer's own page, 360 dpi and
    // read as it came, is counted: its lines stand apart.)
    std::vector<std::optional<Item>> fitted;
    if (found.found && (found.cutOut || std::abs(dpi - 360) > 0.5)) {
        const struct {
            const char* name;
            bool side, first;
        } kItems[] = {{"Top", false, true}, {"Bottom", false, false}, {"Left", true, true}, {"Right", true, false}};
        bool any = false;
        for (const auto& k : kItems) {
            fitted.push_back(PwFitted(page, dpi, found, k.name, k.side, k.first));
            any = any || fitted.back().has_value();
        }
        if (!any) fitted.clear();
    }
    auto px = [dpi](double master) { return static_cast<int>(std::lround(Pixels(master, dpi))); };
    const double stepsPerPixel = 180.0 / dpi;  // a value step is 1/180 inch
    // Sides: one line per row, each 1/90 inch further in (values -8, -6 ..
    // 24); the rows lie between the frames, whose bars stay within 0.4 inch
    // of the top and the bottom edge.
    const int rowsTop = px(pg::kMasterPerInch) / 2, rowsBottom = page.height - px(pg::kMasterPerInch) / 2;
    const int textLine = px(pg::kMasterPerInch / 6);
    auto side = [&](const char* name, bool left) {
        Item item;
        item.name = name;
        const Box box = left ? Box{0, rowsTop, page.width / 4, rowsBottom}
                             : Box{page.width * 3 / 4, rowsTop, page.width, rowsBottom};
        item.where.push_back(PlaceOf(box));
        auto lines = LineColumns(page, box, Ink::Black, textLine);
        if (lines.size() != 17) {
            item.problem = Phrase(left ? SVC_N("the left side shows %1 lines where the pattern has 17")
                                       : SVC_N("the right side shows %1 lines where the pattern has 17"),
                                  {std::to_string(lines.size())});
            return item;
        }
        // Row r's line stands for -8 + 2r, the rows counted from the left on
        // both sides: the line of the value the sensor needs stands at the
        // nominal distance from its edge, each step 1/180 inch nearer the
        // edge on the right and further from it on the left.
        std::vector<double> estimates;
        for (std::size_t r = 0; r < lines.size(); ++r) {
            const double value = -8 + 2.0 * static_cast<double>(r);
            if (left)
                estimates.push_back(value - (lines[r].centre - pg::kPwLeftLine * dpi / 180.0) * stepsPerPixel);
            else
                estimates.push_back(value +
                                    (page.width - lines[r].centre - pg::kPwRightLine * dpi / 180.0) * stepsPerPixel);
        }
        const Stats st = Of(estimates);
        Propose(&item, st.mean, st.spread, -8, 24);
        return item;
    };
    auto frame = [&](const char* name, bool top) {
        Item item;
        item.name = name;
        const int from = top ? 0 : page.height - px(pg::kMasterPerInch) / 2,
                  to = top ? px(pg::kMasterPerInch) / 2 : page.height;
        const Box box = Clip(page, {0, from, px(8 * pg::kMasterPerInch), to});
        item.where.push_back(PlaceOf(box));
        std::vector<double> centres;
        for (const Run& bar : InkColumns(page, box, Ink::Black)) {
            const auto rows = InkRows(page, {bar.begin, from, bar.end, to}, Ink::Black);
            if (!rows.empty()) centres.push_back(rows.front().centre);
        }
        if (centres.size() != 17) {
            item.problem = Phrase(top ? SVC_N("the top frame shows %1 bars where the pattern has 17")
                                      : SVC_N("the bottom frame shows %1 bars where the pattern has 17"),
                                  {std::to_string(centres.size())});
            return item;
        }
        // Bar k stands for -16 + 2k at the top and 16 - 2k at the bottom.
        std::vector<double> estimates;
        for (std::size_t k = 0; k < centres.size(); ++k) {
            const double fromEdge = top ? centres[k] : page.height - centres[k];
            const double value = top ? -16 + 2.0 * static_cast<double>(k) : 16 - 2.0 * static_cast<double>(k);
            estimates.push_back(value -
                                (fromEdge - (top ? pg::kPwTopBar : pg::kPwBottomBar) * dpi / 180.0) * stepsPerPixel);
        }
        const Stats st = Of(estimates);
        Propose(&item, st.mean, st.spread, -16, 16);
        return item;
    };
    if (fitted.size() == 4) {
        reading.items.push_back(fitted[0] ? std::move(*fitted[0]) : frame("Top", true));
        reading.items.push_back(fitted[1] ? std::move(*fitted[1]) : frame("Bottom", false));
        reading.items.push_back(fitted[2] ? std::move(*fitted[2]) : side("Left", true));
        reading.items.push_back(fitted[3] ? std::move(*fitted[3]) : side("Right", false));
        return reading;
    }
    reading.items.push_back(frame("Top", true));
    reading.items.push_back(frame("Bottom", false));
    reading.items.push_back(side("Left", true));
    reading.items.push_back(side("Right", false));
    return reading;
}

// ---- pixel shift ----

namespace {

// A tick's centre as its pixels give it is off by up to a twentieth of a
// pixel, by where on the pixels its edges fall: an error that repeats pixel
// by pixel, alike for every tick of a page (each is one dot wide, black and
// the lines' inks alike), and that evens out over a pixel. Where the
// candidates stand 2/3 inch apart on a whole number of pixels (100 at 150
// dpi) every black tick is off alike, and the mean of a line's estimates
// keeps that error: up to half a step at 150 dpi (a step is a tenth of a
// pixel there; from 200 dpi up the mean has read within a fifth of a step).
// So below 200 dpi the lines' shifts are fitted together with that error, as
// three harmonics of where a centre falls on the pixels (nothing on
// average): the lines' own ticks, which stand on the pixels every way, show
// its shape.
struct LineTicks {
    std::vector<double> black, own;  // each candidate's centres, in pixels
};
constexpr int kPixelHarmonics = 3;

// Solves the normal equations `a` x = `b` (symmetric, n x n); false when singular.
bool SolveNormal(std::vector<double> a, std::vector<double> b, std::vector<double>* x) {
    const std::size_t n = b.size();
    for (std::size_t col = 0; col < n; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < n; ++r)
            if (std::abs(a[r * n + col]) > std::abs(a[pivot * n + col])) pivot = r;
        if (!(std::abs(a[pivot * n + col]) > 1e-12)) return false;
        for (std::size_t c = 0; c < n; ++c) std::swap(a[col * n + c], a[pivot * n + c]);
        std::swap(b[col], b[pivot]);
        for (std::size_t r = 0; r < n; ++r) {
            if (r == col) continue;
            const double f = a[r * n + col] / a[col * n + col];
            for (std::size_t c = col; c < n; ++c) a[r * n + c] -= f * a[col * n + c];
            b[r] -= f * b[col];
        }
    }
    x->resize(n);
    for (std::size_t i = 0; i < n; ++i) (*x)[i] = b[i] / a[i * n + i];
    return true;
}

// Each line's shift in steps with its standard error (1e9: not sure), the
// pixels' error fitted over all of them; `stepPixels` is a step in pixels.
std::vector<MeanError> FitOverPixels(const std::vector<LineTicks>& lines, double stepPixels) {
    const std::size_t nl = lines.size(), np = nl + 2 * kPixelHarmonics;
    std::vector<MeanError> fits(nl);
    for (MeanError& f : fits) f.error = 1e9;
    struct Row {
        std::size_t line;
        double y, black, own;  // the estimate in steps; where each tick stands, in pixels
        bool kept = true;
    };
    std::vector<Row> rows;
    for (std::size_t l = 0; l < nl; ++l)
        for (std::size_t c = 0; c < lines[l].black.size() && c < lines[l].own.size(); ++c) {
            const double k = static_cast<double>(c) - (static_cast<double>(lines[l].black.size()) - 1) / 2;
            rows.push_back(
                {l, k + (lines[l].own[c] - lines[l].black[c]) / stepPixels, lines[l].black[c], lines[l].own[c]});
        }
    std::vector<double> x(np, 0.0), coefficients(2 * kPixelHarmonics, 0.0);
    // The pixels' error in pixels where a centre was measured at `at`.
    auto error = [&](double at) {
        double e = 0;
        for (int j = 1; j <= kPixelHarmonics; ++j)
            e += coefficients[2 * (j - 1)] * std::cos(2 * M_PI * j * at) +
                 coefficients[2 * (j - 1) + 1] * std::sin(2 * M_PI * j * at);
        return e * stepPixels;
    };
    auto design = [&](const Row& r, std::vector<double>* d) {
        d->assign(np, 0.0);
        (*d)[r.line] = 1;
        // (Where a tick truly stands: its centre less the error fitted so far.)
        const double own = r.own - error(r.own), black = r.black - error(r.black);
        for (int j = 1; j <= kPixelHarmonics; ++j) {
            (*d)[nl + 2 * (j - 1)] = std::cos(2 * M_PI * j * own) - std::cos(2 * M_PI * j * black);
            (*d)[nl + 2 * (j - 1) + 1] = std::sin(2 * M_PI * j * own) - std::sin(2 * M_PI * j * black);
        }
    };
    std::vector<double> d, normal, right;
    double sigma = 0;
    for (int round = 0; round < 3; ++round) {
        normal.assign(np * np, 0.0);
        right.assign(np, 0.0);
        std::size_t used = 0;
        for (const Row& r : rows) {
            if (!r.kept) continue;
            design(r, &d);
            for (std::size_t i = 0; i < np; ++i) {
                right[i] += d[i] * r.y;
                for (std::size_t k = 0; k < np; ++k) normal[i * np + k] += d[i] * d[k];
            }
            ++used;
        }
        if (used <= np + 2 || !SolveNormal(normal, right, &x)) return fits;
        // What the fit leaves: the samples' own error; a tick far off it
        // (a speck, a scratch) is left out of the next round.
        std::vector<double> residuals, deviations;
        double squares = 0;
        for (const Row& r : rows) {
            design(r, &d);
            double model = 0;
            for (std::size_t i = 0; i < np; ++i) model += d[i] * x[i];
            residuals.push_back(r.y - model);
            if (r.kept) squares += (r.y - model) * (r.y - model);
        }
        sigma = std::sqrt(squares / static_cast<double>(used - np));
        for (double v : residuals) deviations.push_back(std::abs(v));
        const double reach = std::max(0.5, 4 * 1.4826 * MedianOf(deviations));
        for (std::size_t i = 0; i < rows.size(); ++i) rows[i].kept = std::abs(residuals[i]) <= reach;
        coefficients.assign(x.begin() + static_cast<long>(nl), x.end());
    }
    // The last round's normal equations give each shift's error.
    for (std::size_t l = 0; l < nl; ++l) {
        std::vector<double> unit(np, 0.0), column;
        unit[l] = 1;
        const std::size_t candidates = lines[l].black.size();
        const std::size_t kept = static_cast<std::size_t>(
            std::count_if(rows.begin(), rows.end(), [&](const Row& r) { return r.line == l && r.kept; }));
        if (!SolveNormal(normal, unit, &column) || kept * 4 < candidates * 3) continue;
        fits[l].mean = x[l];
        fits[l].error = sigma * std::sqrt(std::max(0.0, column[l]));
        fits[l].n = static_cast<int>(kept);
    }
    return fits;
}

// The six lines measured where the job puts their candidates: the bands
// found in a profile of the page's rows, each candidate's black part and
// its own ink's part found by a comb of eleven teeth 2/3 inch apart and
// measured by their centroids over the part's height; the line's shift is
// fitted over every candidate; a line whose candidates the comb does not
// find gets no value. std::nullopt when the page does not show the six
// bands as the job prints them, black over the lines' inks (then the
// candidates are counted, or the page is tried upside down).
std::optional<Reading> ReadPixelShiftFitted(const Image& page, double dpi, const Ink (&inks)[6]) {
    if (!(dpi >= kShiftLeastDpi) || dpi >= kCountFromDpi) return std::nullopt;
    const Box window = Clip(
        page,
        {static_cast<int>(Pixels(pg::kFirstDotNominal + pg::kShiftFirstCentre - pg::kShiftPitch / 2, dpi)), 0,
         static_cast<int>(Pixels(pg::kFirstDotNominal + pg::kShiftFirstCentre + 10.5 * pg::kShiftPitch + kSlack, dpi)),
         page.height});
    if (window.Width() <= 0 || window.Height() <= 0) return std::nullopt;
    // A line's band: 12 lines of 1/30 inch, the black parts in its upper half.
    const double height = dpi * 12 / 30;
    // (Shade far higher than a line's band, as a sheet's darker edge or a
    // table beyond it, is no line.)
    std::vector<Run> bands;
    for (const Run& band : DarkBands(DarkRows(page, window, static_cast<int>(dpi / 120)), window.top, 0.3, 1e9,
                                     std::max(2, static_cast<int>(dpi / 100)), 0.75 * height, true))
        if (band.Size() <= 1.6 * height) bands.push_back(band);
    // More than six: the six lines are those evenly spaced one after the
    // other (a shade of the sheet's edge beside them is not), when only
    // one run of six is.
    if (bands.size() > 6) {
        std::vector<std::size_t> runs;
        for (std::size_t i = 0; i + 6 <= bands.size(); ++i) {
            std::vector<double> gaps;
            for (std::size_t k = i + 1; k < i + 6; ++k) gaps.push_back(bands[k].begin - bands[k - 1].begin);
            const double typical = MedianOf(gaps);
            if (std::all_of(gaps.begin(), gaps.end(), [&](double g) { return std::abs(g - typical) < 0.1 * typical; }))
                runs.push_back(i);
        }
        if (runs.size() != 1) return std::nullopt;
        bands = std::vector<Run>(bands.begin() + static_cast<long>(runs.front()),
                                 bands.begin() + static_cast<long>(runs.front()) + 6);
    }
    if (bands.size() != 6) return std::nullopt;
    const double pitch = Pixels(pg::kShiftPitch, dpi);
    const double half = Pixels(24 * pg::kFineStep, dpi) * 0.6 + 3;
    Reading reading;
    reading.kind = Kind::PixelShift;
    std::vector<std::size_t> measured;  // the items measured, and their ticks
    std::vector<LineTicks> measuredTicks;
    for (int line = 0; line < 6; ++line) {
        const Run& band = bands[static_cast<std::size_t>(line)];
        if (band.Size() > 1.25 * height) return std::nullopt;
        const double middle = (band.begin + band.end) / 2.0;
        const Box refs{window.left, static_cast<int>(middle - 0.45 * height), window.right,
                       static_cast<int>(middle - 0.08 * height)};
        const Box ticks{window.left, static_cast<int>(middle + 0.08 * height), window.right,
                        static_cast<int>(middle + 0.45 * height)};
        const auto upper = FitComb(DarkColumns(page, refs, true), refs.left, pg::kShiftCandidates, pitch, half);
        // (The line's ticks by their brightness: a JPEG keeps the colour of
        // thin ticks at half resolution, a yellow's all but lost.)
        const auto lower = FitComb(DarkColumns(page, ticks, true), ticks.left, pg::kShiftCandidates, pitch, half);
        Item item;
        item.name = std::string(1, static_cast<char>('A' + line));
        item.where.push_back(PlaceOf({window.left, band.begin, window.right, band.end}));
        if (!upper || !lower || std::abs(lower->first - upper->first) > pitch / 4) {
            // Not read here; the line's ticks are counted instead.
            reading.items.push_back(std::move(item));
            continue;
        }
        // Black over the line's ink, told by what the parts add to the paper
        // (a light ink's part comes out faint): else not this page, or upside down.
        const Colour cu = CombColour(page, refs, *upper, pitch), cl = CombColour(page, ticks, *lower, pitch);
        if (!ShowsInk(cu, Ink::Black, kFaintInk) || !ShowsInk(cl, inks[line], kFaintInk)) return std::nullopt;
        // Candidate v's own part was printed v steps left of its black part:
        // the line's shift is v plus how far right its part stands.
        std::vector<double> estimates;
        for (int c = 0; c < pg::kShiftCandidates; ++c)
            estimates.push_back(
                (c - 5) + (lower->centres[static_cast<std::size_t>(c)] - upper->centres[static_cast<std::size_t>(c)]) *
                              1440.0 / dpi);
        if (dpi >= kShiftMeanLeastDpi) {
            ProposeFitted(&item, 0, TrialsFit(estimates, pg::kShiftCandidates, std::max(0.5, 0.3 * 1440.0 / dpi)), -5,
                          5);
        } else {
            measured.push_back(reading.items.size());
            measuredTicks.push_back({upper->centres, lower->centres});
        }
        reading.items.push_back(std::move(item));
    }
    // Coarser, with the error the pixels make of the ticks' centres, fitted
    // over the page's lines together (three at least, so that what is left
    // tells how sure the fit is; else the lines are counted).
    if (measured.size() >= 3) {
        const std::vector<MeanError> fits = FitOverPixels(measuredTicks, dpi / 1440.0);
        for (std::size_t i = 0; i < measured.size(); ++i) ProposeFitted(&reading.items[measured[i]], 0, fits[i], -5, 5);
    }
    return reading;
}

}  // namespace

Reading ReadPixelShift(const Image& page, const Context&) {
    Reading reading;
    reading.kind = Kind::PixelShift;
    static constexpr Ink kInks[6] = {Ink::Cyan,      Ink::Magenta,      Ink::Yellow,
                                     Ink::LightCyan, Ink::LightMagenta, Ink::Gray};
    // TRANSLATORS: the inks' names, put into "no %1 candidates found" and "the %1 band shows ...".
    static constexpr const char* kInkNames[6] = {SVC_N("cyan"),       SVC_N("magenta"),       SVC_N("yellow"),
                                                 SVC_N("light cyan"), SVC_N("light magenta"), SVC_N("gray")};
    double dpi = DeclaredDpi(page);
    // The lines fitted where the page shows its six bands in order; those a
    // comb did not find there, and every line of a page that does not, counted.
    std::optional<Reading> fitted = ReadPixelShiftFitted(page, dpi, kInks);
    if (fitted && fitted->Complete()) return std::move(*fitted);
    const int from0 = dpi > 0 ? static_cast<int>(Pixels(pg::kShiftLetterRight + pg::kFirstDotNominal, dpi)) : 0;
    const Box search = Clip(page, {from0, 0, page.width, page.height});
    const std::vector<std::vector<Run>> bandsOf =
        InkRowsEach(page, search, std::vector<Ink>(std::begin(kInks), std::end(kInks)), 2, 0.002);
    for (int line = 0; line < 6; ++line) {
        Item item;
        item.name = std::string(1, static_cast<char>('A' + line));
        // The line's band: the one with the most of its ink.
        const std::vector<Run>& bands = bandsOf[static_cast<std::size_t>(line)];
        const Run* band = nullptr;
        for (const Run& b : bands)
            if (!band || b.mass > band->mass) band = &b;
        if (!band) {
            item.problem = Phrase(SVC_N("no %1 candidates found"), {Phrase::Word(kInkNames[line])});
            reading.items.push_back(std::move(item));
            continue;
        }
        const Box ticksBox{search.left, band->begin, search.right, band->end};
        const Box refsBox{search.left, band->begin - band->Size(), search.right, band->begin};
        item.where.push_back(PlaceOf({search.left, refsBox.top, search.right, ticksBox.bottom}));
        const auto ticks = InkColumns(page, ticksBox, kInks[line], 0.3);
        const auto refs = InkColumns(page, refsBox, Ink::Black, 0.3);
        const auto offsets = PairOffsets(refs, ticks, pg::kShiftCandidates);
        if (!offsets) {
            item.problem = Phrase(SVC_N("the %1 band shows %2 ticks under %3 references where the pattern has %4"),
                                  {Phrase::Word(kInkNames[line]), std::to_string(ticks.size()),
                                   std::to_string(refs.size()), std::to_string(pg::kShiftCandidates)});
            reading.items.push_back(std::move(item));
            continue;
        }
        const double lineDpi = dpi > 0 ? dpi : MedianPitch(refs) * pg::kMasterPerInch / pg::kShiftPitch;
        // Candidate v's own tick was printed v steps left of its reference:
        // the line's shift is v plus how far right the tick stands.
        std::vector<double> estimates;
        for (int c = 0; c < pg::kShiftCandidates; ++c)
            estimates.push_back((c - 5) + (*offsets)[static_cast<std::size_t>(c)] * 1440.0 / lineDpi);
        const Stats st = Of(estimates);
        Propose(&item, st.mean, st.spread, -5, 5);
        reading.items.push_back(std::move(item));
    }
    if (fitted)
        for (std::size_t line = 0; line < 6 && line < fitted->items.size(); ++line)
            if (fitted->items[line].value) reading.items[line] = std::move(fitted->items[line]);
    // A scan this coarse shows a step as less than a tenth of a pixel,
    // which its ticks' places do not hold safely: said so for a line not read.
    if (dpi > 0 && dpi < kShiftLeastDpi)
        for (Item& item : reading.items)
            if (!item.value)
                item.problem = Phrase(
                    SVC_N("the page is %1 dpi; one pixel shift step needs %2 dpi or more to be read safely (scan it "
                          "finer)"),
                    {std::to_string(std::lround(dpi)), std::to_string(std::lround(kShiftLeastDpi))});
    return reading;
}

// ---- first dot ----

namespace {

// The line measured on the page against its left border (a page file, or a
// scan with no background around the sheet).
Reading ReadFirstDotOnPage(const Image& page, const Context& context) {
    Reading reading;
    reading.kind = Kind::FirstDot;
    const double dpi = DeclaredDpi(page);
    if (dpi <= 0) {
        reading.problem = kNoDpi;
        return reading;
    }
    // A step is 1/2880 inch: half a pixel at 1440 dpi, which the grey of the
    // line's edges still shows; coarser, blur or JPEG moves the edge by
    // several steps.
    if (dpi < kFirstDotLeastDpi - 0.5) {
        reading.problem = Phrase(SVC_N("the page is %1 dpi; one first dot step needs %2 dpi or more to be read safely"),
                                 {std::to_string(std::lround(dpi)), std::to_string(kFirstDotLeastDpi)});
        return reading;
    }
    Item item;
    const Box whole{0, 0, page.width, page.height};
    const auto rows = InkRows(page, whole, Ink::Any);
    if (rows.empty()) {
        reading.problem = SVC_N("the page is blank: no first dot line");
        return reading;
    }
    // The line: the first column of ink, over the rows it runs down.
    const Run& lineRows = rows.front();
    const auto columns = InkColumns(page, {0, lineRows.begin, page.width, lineRows.end}, Ink::Any, 0.5);
    if (columns.empty()) {
        item.problem = SVC_N("no vertical line found");
        reading.items.push_back(std::move(item));
        return reading;
    }
    const Run& line = columns.front();
    item.where.push_back(PlaceOf({line.begin, lineRows.begin, line.end, lineRows.end}));
    // A head that is not square to the paper leans the line (the head angle
    // comes first): its top and bottom stand apart, and neither is the place.
    const int quarter = std::max(1, lineRows.Size() / 4);
    const auto top = InkColumns(page, {0, lineRows.begin, page.width, lineRows.begin + quarter}, Ink::Any, 0.5);
    const auto bottom = InkColumns(page, {0, lineRows.end - quarter, page.width, lineRows.end}, Ink::Any, 0.5);
    if (top.empty() || bottom.empty() || std::abs(top.front().centre - bottom.front().centre) * 2880.0 / dpi > 1.5) {
        item.problem = SVC_N("the line leans (its top and bottom stand apart): adjust the head angle first");
        reading.items.push_back(std::move(item));
        return reading;
    }
    // Its left edge to a fraction of a pixel: the centre less half its width
    // (its ink over the ink of a full column).
    const auto profile = ColumnProfile(page, {line.begin - 1, lineRows.begin, line.end + 1, lineRows.end}, Ink::Dark);
    const double full = *std::max_element(profile.begin(), profile.end());
    double mass = 0, moment = 0;
    for (std::size_t i = 0; i < profile.size(); ++i) {
        mass += profile[i];
        moment += profile[i] * (line.begin - 1 + static_cast<double>(i) + 0.5);
    }
    const double width = full > 0 ? mass / full : line.Size();
    const double edge = (mass > 0 ? moment / mass : line.begin + line.Size() / 2.0) - width / 2;
    const double steps = edge * 2880.0 / dpi;
    const std::optional<int> stored = Stored(context, "");
    if (!stored) {
        item.problem = Phrase(SVC_N("the line stands %1 steps in; the stored value is not known"), {Text(steps)});
        reading.items.push_back(std::move(item));
        return reading;
    }
    // It belongs 144 steps in: the value moves it by its difference.
    Propose(&item, *stored + pg::kFirstDotStepsIn - steps, 0, -72, 72);
    reading.items.push_back(std::move(item));
    return reading;
}

// The line measured on the scan it came in, against the sheet's edge there.
Reading ReadFirstDotOnScan(const Image& page, const Context& context, const ScanOrigin& origin) {
    Reading reading;
    reading.kind = Kind::FirstDot;
    Item item;
    Phrase problem;
    const std::optional<ScanMeasure> measured = MeasureFirstDotOnScan(page, origin, &problem);
    // (A scan fine enough is read against the cut-out's border where the
    // sheet's edge does not show beside the line.)
    if (!measured && DeclaredDpi(page) >= kFirstDotLeastDpi - 0.5) return ReadFirstDotOnPage(page, context);
    if (!measured) {
        item.problem = std::move(problem);
        reading.items.push_back(std::move(item));
        return reading;
    }
    item.where.push_back(measured->where);
    reading.upsideDown = measured->upsideDown;
    // The line's centre stands half its width (4 steps) beyond its place.
    const double perPixel = 2880.0 / origin.dpi;
    const double steps = measured->pixels * perPixel - 4;
    const double error = measured->error * perPixel;
    // (The sheet's size tells a photo's resolution to about half a pixel of it.)
    const double scale = origin.scan->dpi > 0 ? 0 : steps * 0.5 / std::max(1.0, origin.sheet.width);
    const double bias = (measured->sampling + measured->unseen) * perPixel + scale;
    const std::optional<int> stored = Stored(context, "");
    if (!stored) {
        item.problem = Phrase(SVC_N("the line stands %1 steps in; the stored value is not known"), {Text(steps)});
        reading.items.push_back(std::move(item));
        return reading;
    }
    // It belongs 144 steps in: the value moves it by its difference. The
    // spread is three standard errors and, in full, what the line's place on
    // the pixels and the photo's scale may add: with confidence only where
    // all of it lies well inside half a step.
    const double spread = 3 * error + bias;
    Propose(&item, *stored + pg::kFirstDotStepsIn - steps, spread, -72, 72);
    if (!item.value && spread >= 0.5)
        item.problem = Phrase(SVC_N("the line stands %1 steps in, known only to %2 steps on this %3 dpi page: too "
                                    "little to tell one first dot step (scan it finer)"),
                              {Text(steps), Text(spread), std::to_string(std::lround(origin.dpi))});
    reading.items.push_back(std::move(item));
    return reading;
}

}  // namespace

Reading ReadFirstDot(const Image& page, const Context& context, const ScanOrigin* origin) {
    if (origin && origin->scan && origin->dpi > 0) return ReadFirstDotOnScan(page, context, *origin);
    return ReadFirstDotOnPage(page, context);
}

// ---- cut position ----

Reading ReadCut(const Image& page, const Context&) {
    Reading reading;
    reading.kind = Kind::Cut;
    Item item;
    // Just above the cut edge (the image ends at the cut; on a scan the
    // last rows may be the edge's shadow or blur): the lowest row near the
    // bottom that crosses the columns.
    if (page.height < 4) {
        reading.problem = SVC_N("the image is too small");
        return reading;
    }
    // The columns a row crosses; nothing that reaches the image's side,
    // where a photo's background shades the sheet's edge or lies beside a
    // sheet cut out too wide (the pattern's first and last columns stand
    // well inside).
    auto columnsAt = [&page](int row) {
        std::vector<Run> found = InkColumns(page, {0, row, page.width, row + 1}, Ink::Any);
        found.erase(std::remove_if(found.begin(), found.end(),
                                   [&](const Run& r) { return r.begin <= 1 || r.end >= page.width - 1; }),
                    found.end());
        return found;
    };
    // Below the cut, a photo's sheet cut out by its edges may keep a band of
    // the dark table where the columns' black meets it (no paper between
    // them there to show the edge): rows dark all across are not the sheet.
    int cut = page.height;
    while (cut > page.height / 2) {
        const std::vector<Run> across = InkColumns(page, {0, cut - 1, page.width, cut}, Ink::Any);
        if (across.size() != 1 || across.front().Size() < page.width * 9 / 10) break;
        --cut;
    }
    int y = cut - 2;
    std::vector<Run> columns = columnsAt(y);
    // (Up to a fiftieth of the page, or of an inch on a page that says its
    // resolution: a strip cut from the roll is short, and a scan's cut edge blurred.)
    const int reach = std::max(page.height / 50, static_cast<int>(DeclaredDpi(page) / 50));
    // The lowest row that shows the pattern's columns; else the one that
    // shows most short of them (a row of the edge's own shade, broken up by
    // JPEG and light, may show more).
    auto better = [](std::size_t found, std::size_t best) {
        if (best == pg::kCutColumns) return false;
        if (found == pg::kCutColumns) return true;
        if (best > pg::kCutColumns) return found < best;
        return found > best && found < pg::kCutColumns;
    };
    for (int up = cut - 3; up >= std::max(0, cut - 2 - reach) && columns.size() != pg::kCutColumns; --up) {
        auto found = columnsAt(up);
        if (better(found.size(), columns.size())) {
            columns = std::move(found);
            y = up;
        }
    }
    const Box edgeRow{0, y, page.width, y + 1};
    item.where.push_back(PlaceOf(edgeRow));
    if (columns.size() != pg::kCutColumns) {
        item.problem = Phrase(
            SVC_N(
                "the cut edge shows %1 columns where the pattern has %2 (is this the cut pattern, cut at the bottom?)"),
            {std::to_string(columns.size()), std::to_string(pg::kCutColumns)});
        reading.items.push_back(std::move(item));
        return reading;
    }
    // The resolution: the file's, else the columns' own pitch.
    const double dpi =
        DeclaredDpi(page) > 0 ? DeclaredDpi(page) : MedianPitch(columns) * pg::kMasterPerInch / pg::kCutColumnPitch;
    const double stepsPerPixel = 360.0 / dpi;
    // Each column's strip of cyan above the cut, in steps of 1/360 inch: it
    // grows by 8 steps a column from the column of the cut's place, whose
    // black reaches the cut. Each column with a strip tells where that one
    // is; a feed that is off moves the cut by a few steps, less than half a
    // column.
    std::vector<double> estimates;
    bool ordered = true;
    double lastStrip = -1;
    for (std::size_t k = 0; k < columns.size(); ++k) {
        const Run& column = columns[k];
        // Over the middle half of the column, upwards from the cut to the black.
        double strip = 0;
        int samples = 0;
        for (int x = column.begin + column.Size() / 4; x < column.end - column.Size() / 4; ++x, ++samples) {
            int rows = 0;
            for (int yy = cut - 1; yy >= 0; --yy) {
                const std::uint8_t* p = page.Row(yy) + static_cast<std::size_t>(x) * 3;
                const float cyan = InkWeight(Ink::Cyan, p);
                if (InkWeight(Ink::Black, p) >= 0.5f) break;
                if (cyan < 0.5f && rows > 0) break;
                if (cyan >= 0.5f) ++rows;
            }
            strip += rows;
        }
        if (samples == 0) continue;
        strip = strip / samples * stepsPerPixel;
        if (strip + 2 < lastStrip) ordered = false;
        lastStrip = strip;
        if (strip > 0.5)
            estimates.push_back(static_cast<double>(k) + 1 + (pg::kCutStripAtMark - strip) / pg::kCutStepsPerColumn);
    }
    if (!ordered) {
        item.problem =
            SVC_N("the columns' strips at the cut do not grow from left to right as the pattern prints them");
    } else if (estimates.empty()) {
        // Every column's black reaches the cut: the last mark, or a cut
        // lower still, which no entry of the list puts right.
        item.value = pg::kCutColumns;
        item.confidence = 0.5;
    } else {
        const Stats st = Of(estimates);
        Propose(&item, st.mean, st.spread, 1, pg::kCutColumns);
    }
    reading.items.push_back(std::move(item));
    return reading;
}

}  // namespace svc::pagereader::detail
