// The reader's interface and its measuring on pages drawn here: the names,
// the input line, and the readers' refusal to guess.
#include "pagereader/PageReader.h"
#include "adjust/PatternGeometry.h"
#include "pagereader/Fitting.h"
#include "pagereader/Sheet.h"
#include "pagereader/FirstDot.h"
#include "pagereader/testing/Degrade.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

using namespace svc::pagereader;

TEST(PageReaderNames, EveryKindHasANameThatReadsBack) {
    for (Kind k : {Kind::Bid, Kind::Pf, Kind::HeadAngular, Kind::Pw, Kind::PixelShift, Kind::FirstDot, Kind::Cut})
        EXPECT_EQ(KindFromName(KindName(k)), k) << KindName(k);
    EXPECT_EQ(KindName(Kind::HeadAngular), "head-angular");
    EXPECT_FALSE(KindFromName("Bid").has_value());
    EXPECT_FALSE(KindFromName("").has_value());
}

}  // namespace

#include "pagereader/PageImage.h"
#include "pagereader/Readers.h"

#include <random>

namespace {

using namespace svc::pagereader;

Item Read(const std::string& name, int value) { return Item{name, value, 1.0, {}, ""}; }
Item Unread(const std::string& name) { return Item{name, std::nullopt, 0.0, {}, "smeared"}; }

TEST(PageReaderProposal, TheInputLineHoldsTheItemsReadAsAPersonTypesThem) {
    Reading bid;
    bid.kind = Kind::Bid;
    bid.items = {Read("VSD1Bk", 5), Unread("VSD1CL"), Read("VSD2DCL", -3)};
    EXPECT_EQ(bid.InputLine(), "bid-input VSD1Bk=5 VSD2DCL=-3");
    EXPECT_FALSE(bid.Complete());

    Reading pf;
    pf.kind = Kind::Pf;
    pf.items = {Read("", -2)};
    EXPECT_EQ(pf.InputLine(), "pf-input -2");
    EXPECT_TRUE(pf.Complete());

    Reading pw;
    pw.kind = Kind::Pw;
    pw.items = {Read("Top", 3), Read("Bottom", -1), Read("Left", 0), Read("Right", 24)};
    EXPECT_EQ(pw.InputLine(), "pw-input Top=3 Bottom=-1 Left=0 Right=24");

    Reading cut;
    cut.kind = Kind::Cut;
    cut.items = {Read("", 12)};
    EXPECT_EQ(cut.InputLine(), "cut-input 12");

    // The head angle has no input: the lever is turned by hand.
    Reading head;
    head.kind = Kind::HeadAngular;
    head.items = {Read("", 4)};
    EXPECT_EQ(head.InputLine(), "");
    EXPECT_TRUE(head.Complete());

    // Nothing read: no line at all, and a page-wide problem is never complete.
    Reading none;
    none.kind = Kind::PixelShift;
    none.items = {Unread("A")};
    EXPECT_EQ(none.InputLine(), "");
    none.items.clear();
    EXPECT_FALSE(none.Complete());
    none.items = {Read("A", 1)};
    none.problem = "cut off";
    EXPECT_FALSE(none.Complete());
}

Image Blank(int width, int height, double dpi) {
    Image image;
    image.width = width;
    image.height = height;
    image.dpi = dpi;
    image.rgb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 255);
    return image;
}

void Fill(Image& image, int left, int top, int right, int bottom, std::array<std::uint8_t, 3> colour) {
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            for (int c = 0; c < 3; ++c)
                image.Row(y)[static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(c)] =
                    colour[static_cast<std::size_t>(c)];
}

constexpr Kind kAllKinds[] = {Kind::Bid,        Kind::Pf,       Kind::HeadAngular, Kind::Pw,
                              Kind::PixelShift, Kind::FirstDot, Kind::Cut};

TEST(PageReaderRefusals, PagesWithoutThePatternGiveNoValueAndSayWhy) {
    Context context;
    context.stored = {{"", 0}, {"VSD1Bk", 0}};
    // No image, a blank sheet, and noise: nothing is guessed.
    std::mt19937 random(7);
    Image noise = Blank(600, 800, 360);
    for (auto& byte : noise.rgb) byte = static_cast<std::uint8_t>(random() & 0xFF);
    for (const Image& page : {Image{}, Blank(600, 800, 360), Blank(1, 1, 0), noise}) {
        for (Kind kind : kAllKinds) {
            const Reading r = svc::pagereader::Read(kind, page, context);
            EXPECT_FALSE(r.Complete()) << KindName(kind) << " on a " << page.width << " x " << page.height << " page";
            EXPECT_EQ(r.kind, kind);
            for (const Item& item : r.items) {
                EXPECT_TRUE(item.value || !item.problem.empty()) << KindName(kind);
            }
            if (r.items.empty()) {
                EXPECT_FALSE(r.problem.empty()) << KindName(kind);
            }
            EXPECT_EQ(r.InputLine(), "") << KindName(kind);
        }
    }
    // An image whose pixels are fewer than its size says is refused whole.
    Image shortData = Blank(100, 100, 360);
    shortData.rgb.resize(10);
    EXPECT_EQ(svc::pagereader::Read(Kind::Cut, shortData, context).problem, "the image is empty");
}

TEST(PageReaderInks, EachPrintedInkIsToldFromTheOthersAndFromPaper) {
    struct Case {
        Ink ink;
        std::array<std::uint8_t, 3> full;  // as the printer lays it down fully
    };
    const Case cases[] = {{Ink::Black, {20, 20, 20}},        {Ink::Cyan, {0, 160, 230}},
                          {Ink::Magenta, {230, 0, 126}},     {Ink::Yellow, {255, 230, 0}},
                          {Ink::LightCyan, {150, 215, 245}}, {Ink::LightMagenta, {245, 160, 205}},
                          {Ink::Gray, {120, 120, 120}}};
    for (const Case& pixel : cases)
        for (const Case& ink : cases) {
            const float w = InkWeight(ink.ink, pixel.full.data());
            if (&pixel == &ink)
                EXPECT_GE(w, 0.9f) << static_cast<int>(ink.ink);
            else
                EXPECT_LT(w, 0.5f) << static_cast<int>(ink.ink) << " on the colour of " << static_cast<int>(pixel.ink);
        }
    // A scan's paper (off-white, a little tinted) and its shading are no ink.
    for (std::array<std::uint8_t, 3> paper :
         {std::array<std::uint8_t, 3>{255, 255, 255}, {238, 236, 230}, {228, 232, 236}})
        for (const Case& ink : cases) EXPECT_LT(InkWeight(ink.ink, paper.data()), 0.5f);
    // A darker scan of an ink still reads as that ink.
    const std::array<std::uint8_t, 3> darkCyan{10, 140, 200};
    EXPECT_GE(InkWeight(Ink::Cyan, darkCyan.data()), 0.5f);
    EXPECT_LT(InkWeight(Ink::LightCyan, darkCyan.data()), 0.5f);
}

TEST(PageReaderFirstDot, TheLineIsMeasuredFromTheSheetsEdgeToAStepAgainstTheStoredValue) {
    // 2880 dpi: a pixel is a step; the line is one dot of 1/360 inch (8 steps).
    for (int at : {144, 100, 200, 72}) {
        Image page = Blank(600, 300, 2880);
        Fill(page, at, 20, at + 8, 260, {20, 20, 20});
        Context context;
        context.stored = {{"", -6}};
        const Reading r = svc::pagereader::Read(Kind::FirstDot, page, context);
        ASSERT_EQ(r.items.size(), 1u);
        EXPECT_EQ(r.items[0].value, -6 + 144 - at) << "line at " << at;
        ASSERT_FALSE(r.items[0].where.empty());
        EXPECT_EQ(r.items[0].where[0].x, at);
    }
    // Half-way between two steps (blurred to a grey column at each side): no value.
    Image page = Blank(600, 300, 1440);
    Fill(page, 72, 20, 76, 260, {20, 20, 20});
    Fill(page, 71, 20, 72, 260, {137, 137, 137});
    Fill(page, 76, 20, 77, 260, {137, 137, 137});
    Context context;
    context.stored = {{"", 0}};
    const Reading blurred = svc::pagereader::Read(Kind::FirstDot, page, context);
    ASSERT_EQ(blurred.items.size(), 1u);
    EXPECT_EQ(blurred.items[0].value, 0 + 144 - 143);  // 71.5 px at 1440 dpi: 143 steps
    // A leaning line (the head angle not yet adjusted) has no one place.
    Image leaning = Blank(600, 300, 2880);
    for (int y = 20; y < 260; ++y) Fill(leaning, 140 + y / 16, y, 148 + y / 16, y + 1, {20, 20, 20});
    const Reading leans = svc::pagereader::Read(Kind::FirstDot, leaning, context);
    ASSERT_EQ(leans.items.size(), 1u);
    EXPECT_FALSE(leans.items[0].value.has_value());
    EXPECT_NE(leans.items[0].problem.Written().find("head angle"), std::string::npos) << leans.items[0].problem;
    // A scan coarser than half a pixel a step is refused, not guessed from.
    Image coarse = Blank(300, 150, 720);
    Fill(coarse, 36, 10, 38, 130, {20, 20, 20});
    const Reading refused = svc::pagereader::Read(Kind::FirstDot, coarse, context);
    EXPECT_TRUE(refused.items.empty() || !refused.items[0].value.has_value());
    EXPECT_NE(refused.problem.Written().find("1440 dpi or more"), std::string::npos) << refused.problem;
    // Without the stored value the line's place is said, but nothing proposed.
    const Reading unknown = svc::pagereader::Read(Kind::FirstDot, page, Context{});
    ASSERT_EQ(unknown.items.size(), 1u);
    EXPECT_FALSE(unknown.items[0].value.has_value());
    EXPECT_NE(unknown.items[0].problem.Written().find("stored value is not known"), std::string::npos);
}

// The first dot page printed on A4 at 1440 dpi: only its top-left strip, the
// line `steps` steps in from the sheet's edge, 0.9 inch tall from the top.
Image FirstDotStrip(int steps) {
    Image page = Blank(720, 1800, 1440);
    Fill(page, steps / 2, 0, steps / 2 + 4, 1296, {20, 20, 20});
    return page;
}

TEST(PageReaderFirstDot, OnAScanTheLineIsMeasuredAgainstTheSheetsEdgeOrRefusedWhereTooCoarse) {
    namespace t = svc::pagereader::testing;
    Context context;
    context.stored = {{"", -6}};
    // 104 steps in: -6 + 144 - 104 = 34. A 600 dpi scan under a lid a little
    // darker than the paper, turned, blurred and noisy; a phone photo on a
    // dark table, upside down, that says no resolution.
    t::Degradation scan;
    scan.dpi = 600, scan.degrees = 1.3, scan.background = 215, scan.blur = 0.8, scan.noise = 2;
    scan.left = scan.top = scan.right = scan.bottom = 40;
    // (An A4 sheet at 600 dpi is 35 million pixels: under the sanitizers
    // only the coarse scan below, which is measured the same way.)
#if !defined(SVC_UNDER_SANITIZERS)
    t::Degradation photo = scan;
    photo.phone = true, photo.upsideDown = true, photo.degrees = -2.2, photo.background = 90, photo.noise = 4;
    photo.light = 0.2, photo.vignette = 0.4;
    photo.left = photo.top = photo.right = photo.bottom = 150;
    for (const t::Degradation& d : {scan, photo}) {
        SCOPED_TRACE(d.Describe());
        const Reading r = svc::pagereader::Read(Kind::FirstDot, t::Apply(FirstDotStrip(104), d, 210, 297), context);
        ASSERT_EQ(r.items.size(), 1u);
        EXPECT_EQ(r.items[0].value, 34) << r.items[0].problem;
    }
    // A JPEG of a sheet laid square under a lid 40 levels darker than the
    // paper: its blocks move the edge by up to a third of a pixel, the same
    // all down the sheet. Refused, or read right; never read wrong.
    {
        t::Degradation jpeg;
        jpeg.dpi = 600, jpeg.background = 215, jpeg.jpegQuality = 60;
        jpeg.left = 93, jpeg.top = 120, jpeg.right = 60, jpeg.bottom = 150;
        SCOPED_TRACE(jpeg.Describe());
        const Reading r = svc::pagereader::Read(Kind::FirstDot, t::Apply(FirstDotStrip(104), jpeg, 210, 297), context);
        ASSERT_EQ(r.items.size(), 1u);
        if (r.items[0].value) {
            EXPECT_EQ(*r.items[0].value, 34);
        }
    }
#endif
    // At 150 dpi the line is a fifth of a pixel wide: where it stands within
    // its pixel hardly shows, and the reason says so.
    t::Degradation coarse = scan;
    coarse.dpi = 150;
    const Reading refused =
        svc::pagereader::Read(Kind::FirstDot, t::Apply(FirstDotStrip(104), coarse, 80, 100), context);
    ASSERT_EQ(refused.items.size(), 1u);
    EXPECT_FALSE(refused.items[0].value.has_value());
    EXPECT_NE(refused.items[0].problem.Written().find("too little to tell one first dot step"), std::string::npos)
        << refused.items[0].problem;
}

TEST(PageReaderFirstDot, AScanWithoutTheLineSaysSoAndAPhotosResolutionComesFromTheSheetToAFraction) {
    namespace t = svc::pagereader::testing;
    Context context;
    context.stored = {{"", 0}};
    t::Degradation d;
    d.dpi = 300, d.background = 120, d.left = d.top = d.right = d.bottom = 60;
    // (A small sheet: the scan says its resolution.)
    Image blank = Blank(720, 1800, 1440);
    const Reading r = svc::pagereader::Read(Kind::FirstDot, t::Apply(blank, d, 80, 100), context);
    ASSERT_EQ(r.items.size(), 1u);
    EXPECT_FALSE(r.items[0].value.has_value());
    EXPECT_NE(r.items[0].problem.Written().find("no vertical line"), std::string::npos) << r.items[0].problem;
    // A line that leans (the head angle not adjusted: a lever step leans it
    // by 1/16 of its height) has no one place; the reason says what to do.
    Image leaning = Blank(720, 1800, 1440);
    for (int y = 0; y < 1296; ++y) Fill(leaning, 60 + y / 16, y, 64 + y / 16, y + 1, {20, 20, 20});
    const Reading leans = svc::pagereader::Read(Kind::FirstDot, t::Apply(leaning, d, 80, 100), context);
    ASSERT_EQ(leans.items.size(), 1u);
    EXPECT_FALSE(leans.items[0].value.has_value());
    EXPECT_NE(leans.items[0].problem.Written().find("head angle"), std::string::npos) << leans.items[0].problem;
    // A4 at 300 dpi measured to a fraction of a pixel: 300 dpi to a hundredth.
    EXPECT_NEAR(SheetDpiOf(210 / 25.4 * 300, 297 / 25.4 * 300), 300, 0.01);
    EXPECT_NEAR(SheetDpiOf(297 / 25.4 * 300, 210 / 25.4 * 300), 300, 0.01);  // lying on its side
    EXPECT_EQ(SheetDpiOf(1000, 1000), 0);                                    // no sheet of that shape
}

TEST(PageReaderFirstDot, ASharpLinesCentreIsOffByAtMostWhatItsPlaceOnThePixelsAllows) {
    // A line exactly a pixel wide shows its centre by the shares of the two
    // pixels it covers; a thin one only which pixel it darkens.
    EXPECT_NEAR(detail::SamplingBias(1.0), 0, 1e-9);
    EXPECT_NEAR(detail::SamplingBias(0.01), 0.495, 0.01);
    EXPECT_NEAR(detail::SamplingBias(8 * 300 / 2880.0), 0.0833, 0.002);
}
}  // namespace

namespace {

using namespace svc::pagereader;

// A cut page drawn as the pattern prints it: seventeen columns 1/3 inch
// apart, black to the cut in the first `mark`, then strips of cyan growing
// by 8/360 inch a column; the image ends at the cut.
Image CutPage(int mark) {
    Image page = Blank(17 * 160 + 200, 300, 360);
    for (int k = 1; k <= 17; ++k) {
        const int left = 58 + 160 * (k - 1);
        const int strip = k <= mark ? 0 : 8 * (k - mark);
        Fill(page, left, 100, left + 120, 300 - strip, {20, 20, 20});
        Fill(page, left, 300 - strip, left + 120, 300, {0, 160, 230});
    }
    return page;
}

Image UpsideDown(const Image& page) {
    Image turned = page;
    const std::size_t n = static_cast<std::size_t>(page.width) * static_cast<std::size_t>(page.height);
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t c = 0; c < 3; ++c) turned.rgb[i * 3 + c] = page.rgb[(n - 1 - i) * 3 + c];
    return turned;
}

TEST(PageReaderCut, TheMarkWhoseBlackReachesTheCutUprightOrUpsideDown) {
    for (int mark : {1, 9, 12, 16}) {
        const Reading r = svc::pagereader::Read(Kind::Cut, CutPage(mark), Context{});
        ASSERT_EQ(r.items.size(), 1u);
        EXPECT_EQ(r.items[0].value, mark);
        EXPECT_FALSE(r.upsideDown);
        EXPECT_EQ(r.InputLine(), "cut-input " + std::to_string(mark));
        // Scanned the other way round: the same mark, the place on the turned image.
        const Image turned = UpsideDown(CutPage(mark));
        const Reading t = svc::pagereader::Read(Kind::Cut, turned, Context{});
        ASSERT_EQ(t.items.size(), 1u);
        EXPECT_EQ(t.items[0].value, mark);
        EXPECT_TRUE(t.upsideDown);
        ASSERT_FALSE(t.items[0].where.empty());
        EXPECT_LT(t.items[0].where[0].y, 10);  // the cut edge is at the top of the turned image
    }
    // Every column black to the cut: the last mark, not sure the cut is not lower still.
    const Reading all = svc::pagereader::Read(Kind::Cut, CutPage(17), Context{});
    ASSERT_EQ(all.items.size(), 1u);
    EXPECT_EQ(all.items[0].value, 17);
    EXPECT_LT(all.items[0].confidence, 0.8);
    // A photo's background shades the sheet's outermost pixels by the cut:
    // no column of the pattern.
    Image shaded = CutPage(12);
    Fill(shaded, 0, 270, 1, 300, {60, 60, 60});
    Fill(shaded, shaded.width - 2, 270, shaded.width, 300, {60, 60, 60});
    const Reading sh = svc::pagereader::Read(Kind::Cut, shaded, Context{});
    ASSERT_EQ(sh.items.size(), 1u);
    EXPECT_EQ(sh.items[0].value, 12) << sh.items[0].problem.Written();
    // Columns out of order (a smear of cyan under a black one): no value.
    Image smeared = CutPage(9);
    Fill(smeared, 58 + 160 * 4, 280, 58 + 160 * 4 + 120, 300, {0, 160, 230});
    const Reading s = svc::pagereader::Read(Kind::Cut, smeared, Context{});
    ASSERT_EQ(s.items.size(), 1u);
    EXPECT_FALSE(s.items[0].value.has_value()) << s.items[0].confidence;
    EXPECT_FALSE(s.items[0].problem.empty());
}

TEST(PageReaderCut, ASheetCutOutWithTheTableBelowAndBesideIt) {
    // A photo's strip cut out by its edges where the columns' black meets a
    // dark table: the table below the cut and beside the sheet stays in.
    for (int mark : {5, 13}) {
        const Image strip = CutPage(mark);
        Image photo = Blank(strip.width + 80, strip.height + 40, 360);
        Fill(photo, 0, 0, photo.width, photo.height, {60, 60, 60});
        for (int y = 0; y < strip.height; ++y)
            std::copy_n(strip.Row(y), static_cast<std::size_t>(strip.width) * 3,
                        photo.rgb.begin() + (static_cast<std::ptrdiff_t>(y) * photo.width + 40) * 3);
        const Reading r = svc::pagereader::detail::ReadCut(photo, Context{});
        ASSERT_EQ(r.items.size(), 1u);
        EXPECT_EQ(r.items[0].value, mark) << r.items[0].problem.Written();
        ASSERT_FALSE(r.items[0].where.empty());
        EXPECT_NEAR(r.items[0].where[0].y, strip.height - 2, 3);  // just above the cut, not in the table
    }
}

}  // namespace

#include "pagereader/Sheet.h"

#include <cmath>

namespace {

using namespace svc::pagereader;

// A sheet `sw` x `sh` with a black square at (100, 60), laid turned by
// `degrees` at (ox, oy) on a darker table, lit brighter on the right.
Image OnTheTable(int sw, int sh, double degrees, double ox, double oy) {
    Image image = Blank(sw + 160, sh + 160, 300);
    const double a = degrees * M_PI / 180, c = std::cos(a), s = std::sin(a);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            // Back to the sheet's own coordinates.
            const double dx = x + 0.5 - ox, dy = y + 0.5 - oy;
            const double u = dx * c + dy * s, v = -dx * s + dy * c;
            std::uint8_t value = 110;  // the table
            if (u >= 0 && v >= 0 && u < sw && v < sh) {
                value = static_cast<std::uint8_t>(215 + 30 * x / image.width);  // paper, unevenly lit
                if (u >= 100 && u < 140 && v >= 60 && v < 100) value = 20;
            }
            std::uint8_t* p = image.Row(y) + static_cast<std::size_t>(x) * 3;
            p[0] = p[1] = p[2] = value;
        }
    return image;
}

TEST(PageReaderSheet, AScannedSheetIsFoundTurnedUprightAndEvenlyLit) {
    for (double degrees : {0.0, 1.5, -2.5}) {
        svc::Phrase note;
        Placement placed;
        const std::optional<Image> sheet = Straighten(OnTheTable(500, 300, degrees, 70, 60), &note, &placed);
        ASSERT_TRUE(sheet.has_value()) << degrees;
        EXPECT_NEAR(sheet->width, 500, 3) << note;
        EXPECT_NEAR(sheet->height, 300, 3) << note;
        EXPECT_NEAR(placed.angle * 180 / M_PI, degrees, 0.2) << note;
        EXPECT_EQ(sheet->dpi, 300);
        // The paper is white again, from its dim left to its bright right.
        for (int x : {20, 250, 480}) EXPECT_GE(sheet->Row(150)[x * 3], 240) << "x " << x << ", " << note;
        // The square stands where it was drawn on the sheet.
        EXPECT_LT(sheet->Row(80)[120 * 3], 60) << note;
        EXPECT_GE(sheet->Row(80)[160 * 3], 240) << note;
    }
    // A page file (paper to its edges) is read as it is.
    EXPECT_FALSE(Straighten(Blank(400, 300, 360), nullptr).has_value());
}

}  // namespace

#include "pagereader/testing/Degrade.h"

namespace {

using namespace svc::pagereader;
namespace t = svc::pagereader::testing;

constexpr double kDeg = M_PI / 180;

// Print in rows and columns as the patterns lay it down: rows of short
// blocks of uneven length (labels), and long vertical lines.
Image Printed() {
    Image page = Blank(900, 1200, 300);
    for (int row = 0; row < 18; ++row)
        for (int k = 0; k < 11; ++k) {
            const int left = 80 + 65 * k, length = 12 + (k * 7 + row * 11) % 30;
            Fill(page, left, 90 + 55 * row, left + length, 90 + 55 * row + 12, {20, 20, 20});
        }
    for (int k = 0; k < 6; ++k) Fill(page, 90 + 140 * k, 1100 - 400, 92 + 140 * k, 1100, {0, 160, 230});
    return page;
}

TEST(PageReaderSkew, ThePrintsOwnRowsAndColumnsTellHowFarItIsTurned) {
    // Upright: exactly no turn, so a page file is read untouched.
    const std::optional<double> none = InkSkew(Printed());
    ASSERT_TRUE(none.has_value());
    EXPECT_EQ(*none, 0.0);
    for (double degrees : {0.3, 1.0, -1.7, 3.0, -3.0}) {
        const std::optional<double> skew = InkSkew(t::Rotate(Printed(), degrees));
        ASSERT_TRUE(skew.has_value()) << degrees;
        EXPECT_NEAR(*skew / kDeg, degrees, 0.05);  // a pixel over the page
    }
    // Nothing straight to go by: no turn is claimed.
    EXPECT_FALSE(InkSkew(Blank(400, 300, 300)).has_value());
    std::mt19937 random(3);
    Image noise = Blank(500, 400, 300);
    for (auto& byte : noise.rgb) byte = static_cast<std::uint8_t>(random() & 0xFF);
    const std::optional<double> fromNoise = InkSkew(noise);
    EXPECT_TRUE(!fromNoise || std::abs(*fromNoise) < 0.05 * kDeg) << *fromNoise / kDeg;
    // Rows straight but every line leaning (a head not square to the paper):
    // the lean is not taken for a turn of the page.
    Image leaning = Printed();
    for (int k = 0; k < 6; ++k)
        for (int y = 1200 - 400; y < 1180; ++y) {
            const int x = 120 + 140 * k + (y - 800) / 28;
            Fill(leaning, x, y, x + 2, y + 1, {0, 160, 230});
        }
    const std::optional<double> lean = InkSkew(leaning);
    EXPECT_TRUE(!lean || std::abs(*lean) < 0.1 * kDeg) << *lean / kDeg;
}

TEST(PageReaderSkew, UprightUndoesATurnAndSaysWhereItsPixelsCameFrom) {
    const Image page = Printed();
    const Image turned = t::Rotate(page, 2.0);
    Placement placed;
    const Image upright = Upright(turned, 2.0 * kDeg, false, &placed);
    // The size of the page again (the turn's corners cut off), the print where it was.
    EXPECT_NEAR(upright.width, page.width, 1);
    EXPECT_NEAR(upright.height, page.height, 1);
    EXPECT_LT(upright.Row(96)[85 * 3], 80);   // in the first block
    EXPECT_GT(upright.Row(80)[85 * 3], 200);  // above it
    // A point of the upright page lies on the turned image where the turn put it.
    double x = 0, y = 0;
    t::RotatedPoint(page.width, page.height, 2.0, 700, 900, &x, &y);
    EXPECT_NEAR(placed.x0 + 700 * std::cos(placed.angle) - 900 * std::sin(placed.angle), x, 1.0);
    EXPECT_NEAR(placed.y0 + 700 * std::sin(placed.angle) + 900 * std::cos(placed.angle), y, 1.0);
    // Placements compose: a turn within a turn is their sum, about the outer origin.
    const Placement both = Compose({10, 20, 0.5 * kDeg}, {100, 0, 1.0 * kDeg});
    EXPECT_NEAR(both.angle, 1.5 * kDeg, 1e-12);
    EXPECT_NEAR(both.x0, 10 + 100 * std::cos(0.5 * kDeg), 1e-9);
    EXPECT_NEAR(both.y0, 20 + 100 * std::sin(0.5 * kDeg), 1e-9);
}

TEST(PageReaderSkew, ATurnedScanReadsAsTheUprightPageWithPlacesOnTheScan) {
    for (double degrees : {1.2, -2.5}) {
        const Image scan = t::Rotate(CutPage(9), degrees);
        const Reading r = svc::pagereader::Read(Kind::Cut, scan, Context{});
        ASSERT_EQ(r.items.size(), 1u) << r.problem;
        EXPECT_EQ(r.items[0].value, 9) << degrees << ": " << r.items[0].problem;
        EXPECT_NE(r.sheet.Written().find("turned"), std::string::npos) << r.sheet;
        // The cut edge's row, taken back onto the scan: near the turned page's bottom-left.
        ASSERT_FALSE(r.items[0].where.empty());
        double x = 0, y = 0;
        t::RotatedPoint(CutPage(9).width, CutPage(9).height, degrees, 0, 298, &x, &y);
        EXPECT_NEAR(r.items[0].where[0].x, x, 4) << degrees;
        EXPECT_NEAR(r.items[0].where[0].y, y, 4) << degrees;
    }
}

}  // namespace

namespace {

using namespace svc::pagereader;
namespace t = svc::pagereader::testing;

TEST(PageReaderSheet, PrintReachingTheSheetsEdgeIsPartOfTheSheet) {
    // A cut sheet on a darker table: its columns run to the cut edge, so the
    // bottom edge is where the print ends, not where the paper above it does.
    const Image page = CutPage(9);
    const Image scan = t::Margins(page, 40, 30, 50, 45, 120);
    svc::Phrase note;
    const std::optional<Image> sheet = Straighten(scan, &note);
    ASSERT_TRUE(sheet.has_value());
    EXPECT_NEAR(sheet->height, page.height, 2) << note;
    EXPECT_NEAR(sheet->width, page.width, 2) << note;
    const Reading r = svc::pagereader::Read(Kind::Cut, scan, Context{});
    ASSERT_EQ(r.items.size(), 1u);
    EXPECT_EQ(r.items[0].value, 9) << r.items[0].problem;
    // Print and noise to the image's border are no background: read as it is.
    std::mt19937 random(11);
    Image noisy = page;
    for (auto& byte : noisy.rgb) byte = static_cast<std::uint8_t>(random() & 0xFF);
    EXPECT_FALSE(Straighten(noisy, nullptr).has_value());
}

// ---- measuring where the pattern is known ----

// A profile of thin ticks as a coarse scan delivers them: each tick
// `width` pixels wide at a fractional place, its ink spread over the pixels
// it covers (area sampling), on paper with a little noise.
std::vector<double> TickProfile(int size, double first, double pitch, int count, double width, unsigned noiseSeed) {
    std::vector<double> profile(static_cast<std::size_t>(size), 0.0);
    for (int k = 0; k < count; ++k) {
        const double from = first + k * pitch - width / 2, to = from + width;
        for (int i = static_cast<int>(std::floor(from)); i <= static_cast<int>(std::floor(to)); ++i)
            if (i >= 0 && i < size)
                profile[static_cast<std::size_t>(i)] +=
                    std::max(0.0, std::min(to, i + 1.0) - std::max(from, static_cast<double>(i)));
    }
    unsigned state = noiseSeed;
    for (double& v : profile) {
        state = state * 1103515245u + 12345u;
        v += ((state >> 16) % 1000 / 1000.0 - 0.5) * 0.02;
    }
    return profile;
}

TEST(PageReaderFitting, ACombFindsFaintTicksToAFractionOfAPixelAndNoneOneOff) {
    // Bi-D ticks at 150 dpi: 1/720 inch wide (a fifth of a pixel), 1/9 inch apart.
    const double pitch = 150.0 / 9;
    const auto profile = TickProfile(500, 40.3, pitch, 24, 0.21, 7);
    const auto comb = svc::pagereader::detail::FitComb(profile, 100, 24, pitch, 4);
    ASSERT_TRUE(comb.has_value());
    // Each tick to a fraction of a pixel under the noise; their mean, which
    // the readers fit, far finer.
    double sum = 0;
    for (int k = 0; k < 24; ++k) {
        const double off = comb->centres[static_cast<std::size_t>(k)] - (100 + 40.3 + k * pitch);
        EXPECT_LT(std::abs(off), 0.35) << "tick " << k;
        sum += off;
    }
    EXPECT_LT(std::abs(sum / 24), 0.05);
    // A part with a tick more than the pattern has is not this pattern: no
    // comb of 24 leaves the 25th out quietly.
    EXPECT_FALSE(
        svc::pagereader::detail::FitComb(TickProfile(500, 20.0, pitch, 25, 0.21, 7), 0, 24, pitch, 4).has_value());
    // Nor is a part with fewer.
    EXPECT_FALSE(
        svc::pagereader::detail::FitComb(TickProfile(500, 40.3, pitch, 23, 0.21, 7), 0, 24, pitch, 4).has_value());
}

TEST(PageReaderFitting, ACombRestsOnSharpTicksMiddlesUnderLightFallingOffAcross) {
    namespace d = svc::pagereader::detail;
    // Pixel shift's black parts at 200 dpi: sharp ticks a pixel and a half
    // wide, 2/3 inch apart. A comb summing the ink flat over its reach is as
    // strong anywhere within it and may rest beside such ticks.
    const double pitch = 200.0 * 2 / 3;
    const auto sharp = TickProfile(1500, 70.6, pitch, 11, 1.5, 3);
    const auto comb = d::FitComb(sharp, 0, 11, pitch, 5);
    ASSERT_TRUE(comb.has_value());
    for (int k = 0; k < 11; ++k)
        EXPECT_NEAR(comb->centres[static_cast<std::size_t>(k)], 70.6 + k * pitch, 0.2) << "tick " << k;
    // Faint cyan ticks (Bi-D's return pass at 150 dpi) on paper lit from
    // the left: measured against the paper around each, by brightness.
    const double bidPitch = 150.0 / 9;
    Image row = Blank(500, 20, 150);
    for (int x = 0; x < row.width; ++x)
        for (int y = 0; y < row.height; ++y) {
            std::uint8_t* p = row.Row(y) + static_cast<std::size_t>(x) * 3;
            const double light = 1 - 0.25 * x / row.width;
            const double tick =
                std::max(0.0, 1 - std::abs(x + 0.5 - (40.3 + bidPitch * std::round((x - 40.3) / bidPitch))));
            const bool on = x > 30 && x < 40.3 + 23.5 * bidPitch;
            const double ink[3] = {0.5, 0.2, 0.05};  // cyan takes red light most
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<std::uint8_t>(std::lround(255 * light * (1 - (on ? tick * ink[c] : 0))));
        }
    const Box all{0, 0, row.width, row.height};
    const auto faint = d::FitComb(d::DarkColumns(row, all, true, static_cast<int>(bidPitch / 2)), 0, 24, bidPitch, 2.5);
    ASSERT_TRUE(faint.has_value());
    for (int k = 0; k < 24; ++k)
        EXPECT_NEAR(faint->centres[static_cast<std::size_t>(k)], 40.3 + k * bidPitch, 0.15) << "tick " << k;
    // What the ticks add to the paper tells their ink, faint as they are.
    const auto colour = d::CombColour(row, all, *faint, bidPitch);
    EXPECT_TRUE(d::ShowsInk(colour, Ink::Cyan, 2));
    EXPECT_FALSE(d::ShowsInk(colour, Ink::Magenta, 2));
    EXPECT_FALSE(d::ShowsInk(colour, Ink::Black, 2));
    // Paper alone adds nothing.
    Image paper = Blank(500, 20, 150);
    EXPECT_FALSE(d::CombColour(paper, all, *faint, bidPitch).any);
}

TEST(PageReaderRefusals, PixelShiftBelow140DpiSaysTheScanIsTooCoarse) {
    // A step is less than a tenth of a pixel at 120 dpi: every line refused with that reason.
    const Reading r = svc::pagereader::Read(Kind::PixelShift, Blank(992, 1403, 120), Context{});
    ASSERT_EQ(r.items.size(), 6u);
    for (const Item& item : r.items) {
        EXPECT_FALSE(item.value.has_value());
        const std::string why = item.problem.Written();
        EXPECT_NE(why.find("120 dpi"), std::string::npos) << why;
        EXPECT_NE(why.find("140 dpi"), std::string::npos) << why;
    }
}

TEST(PageReaderFitting, BandsArePartedFromTheTextAboveThem) {
    // Paper, a line of text (dark), a gap of a few rows, a band of ticks (light), paper.
    std::vector<double> rows(400, 0.0);
    for (int i = 50; i < 70; ++i) rows[static_cast<std::size_t>(i)] = 0.05;
    for (int i = 73; i < 173; ++i) rows[static_cast<std::size_t>(i)] = 0.015;
    for (int i = 250; i < 350; ++i) rows[static_cast<std::size_t>(i)] = 0.015;
    const auto bands = svc::pagereader::detail::DarkBands(rows, 10, 0.3, 2.2, 3, 70);
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_EQ(bands[0].begin, 10 + 73);  // not joined to the text's rows
    EXPECT_EQ(bands[0].end, 10 + 173);
    EXPECT_EQ(bands[1].begin, 10 + 250);
}

TEST(PageReaderFitting, BandsAreFoundWhereTheLightDriftsDownThePage) {
    // Six bands of 60 rows on a page whose paper rows wander slowly by more
    // than from one row to the next (light falling off, evened out unevenly).
    std::vector<double> rows(1750);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = 0.0025 * std::sin(static_cast<double>(i) / 150);
    for (int band = 0; band < 6; ++band)
        for (int i = 180 + 85 * band; i < 240 + 85 * band; ++i) rows[static_cast<std::size_t>(i)] += 0.02;
    const auto bands = svc::pagereader::detail::DarkBands(rows, 0, 0.3, 1e9, 2, 45, true);
    ASSERT_EQ(bands.size(), 6u);
    for (int band = 0; band < 6; ++band) {
        EXPECT_NEAR(bands[static_cast<std::size_t>(band)].begin, 180 + 85 * band, 1) << "band " << band;
        EXPECT_NEAR(bands[static_cast<std::size_t>(band)].end, 240 + 85 * band, 1) << "band " << band;
    }
}

TEST(PageReaderFitting, OutliersAreLeftOutAndTheRestKept) {
    std::vector<double> samples{2.0, 2.1, 1.9, 2.05, 1.95, 2.0, 9.0, 2.02};
    const auto kept = svc::pagereader::detail::WithoutOutliers(samples, 0.5);
    EXPECT_EQ(kept.size(), 7u);
    const auto m = svc::pagereader::detail::MeanOf(kept);
    EXPECT_NEAR(m.mean, 2.003, 0.01);
    EXPECT_GT(m.error, 0);
    EXPECT_LT(m.error, 0.05);
}

TEST(PageReaderSheet, APhotosResolutionFollowsFromTheSheetsKnownSize) {
    Image a4;
    a4.width = static_cast<int>(std::lround(210 / 25.4 * 173));
    a4.height = static_cast<int>(std::lround(297 / 25.4 * 173));
    EXPECT_NEAR(SheetDpi(a4), 173, 0.5);
    std::swap(a4.width, a4.height);  // lying on its side
    EXPECT_NEAR(SheetDpi(a4), 173, 0.5);
    Image a3plus;
    a3plus.width = static_cast<int>(std::lround(329 / 25.4 * 300));
    a3plus.height = static_cast<int>(std::lround(483 / 25.4 * 300));
    EXPECT_NEAR(SheetDpi(a3plus), 300, 0.5);
    Image square;
    square.width = square.height = 1000;
    EXPECT_EQ(SheetDpi(square), 0);  // no sheet this program prints on
}

// A Bi-D page as a coarse scan shows it: every tick a fraction of a pixel
// wide, so faint grey (or faint colour) that no tick counting sees; the
// return pass's ticks off by what the errors make them. At 300 dpi each row
// reads to its step, upright and upside down; at 150 dpi, where a step is a
// tenth of a pixel, a row reads right or not at all.
void ExpectBidScanReads(double kDpi, bool everyRow) {
    namespace pg = svc::pattern;
    Image page;
    page.width = static_cast<int>(210 / 25.4 * kDpi), page.height = static_cast<int>(297 / 25.4 * kDpi),
    page.dpi = kDpi;
    page.rgb.assign(static_cast<std::size_t>(page.width) * page.height * 3, 255);
    // One tick of 1/720 inch at x, rows [top, bottom), as the scanner's
    // optics spread it (a Gaussian of 0.7 pixel) over the pixels it falls on.
    auto tick = [&](double x, int top, int bottom, std::array<double, 3> ink) {
        const double width = kDpi / 720, sigma = 0.7;
        for (int px = static_cast<int>(x) - 3; px <= static_cast<int>(x) + 3; ++px) {
            const double cover =
                width * 0.5 *
                (std::erf((px + 1 - x) / (sigma * std::sqrt(2.0))) - std::erf((px - x) / (sigma * std::sqrt(2.0))));
            for (int y = top; y < bottom; ++y)
                for (int c = 0; c < 3; ++c) {
                    std::uint8_t& v = page.rgb[(static_cast<std::size_t>(y) * page.width + px) * 3 + c];
                    v = static_cast<std::uint8_t>(std::lround(v * (1 - cover * ink[static_cast<std::size_t>(c)])));
                }
        }
    };
    const int right[4][2] = {{5, -3}, {-12, 7}, {0, 22}, {-40, 1}};  // black, colour of each setting
    Context context;
    const char* names[4][2] = {
        {"VSD1Bk", "VSD1CL"}, {"VSD2Bk", "VSD2CL"}, {"VSD2DBk", "VSD2DCL"}, {"VSD4Bk", "VSD4CL"}};
    for (int s = 0; s < 4; ++s)
        for (int h = 0; h < 2; ++h) context.stored.emplace_back(names[s][h], 2);
    const int height = static_cast<int>(kDpi * 96 / 180);
    for (int s = 0; s < 4; ++s)
        for (int t = 0; t < 3; ++t) {
            const int top = static_cast<int>(kDpi * 0.8) + (s * 3 + t) * (height + height / 2),
                      middle = top + height / 2;
            for (int h = 0; h < 2; ++h) {
                // The return pass lands right of the forward pass by the error less the value tried.
                const double shift = (right[s][h] - 2 - pg::kBidTrialOffsets[t]) * kDpi / 1440;
                const double left = Pixels(h == 0 ? pg::kBidBlackLeft : pg::kBidColorLeft, kDpi);
                for (int i = 0; i < pg::kBidTicks; ++i) {
                    const double x = left + Pixels(i * pg::kBidTickPitch, kDpi) + 0.37;
                    tick(x, top, middle,
                         h == 0 ? std::array<double, 3>{0.9, 0.9, 0.9} : std::array<double, 3>{0.05, 0.85, 0.3});
                    tick(x + shift, middle, top + height,
                         h == 0 ? std::array<double, 3>{0.9, 0.9, 0.9} : std::array<double, 3>{0.85, 0.3, 0.05});
                }
            }
        }
    for (bool turned : {false, true}) {
        Image scan = page;
        if (turned)
            for (std::size_t i = 0, n = scan.rgb.size() / 3; i < n; ++i)
                for (std::size_t c = 0; c < 3; ++c) scan.rgb[i * 3 + c] = page.rgb[(n - 1 - i) * 3 + c];
        const Reading reading = Read(Kind::Bid, scan, context);
        ASSERT_EQ(reading.items.size(), 8u) << reading.problem;
        if (everyRow) {
            EXPECT_EQ(reading.upsideDown, turned);
        }
        for (int s = 0; s < 4; ++s)
            for (int h = 0; h < 2; ++h) {
                const Item& item = reading.items[static_cast<std::size_t>(s * 2 + h)];
                EXPECT_EQ(item.name, names[s][h]);
                if (!everyRow && !item.value) continue;
                ASSERT_TRUE(item.value.has_value()) << item.name << ": " << item.problem;
                EXPECT_EQ(*item.value, right[s][h])
                    << item.name << " at " << kDpi << " dpi" << (turned ? " upside down" : "");
                EXPECT_GE(item.confidence, 0.5) << item.name;
            }
    }
}

TEST(PageReaderFitting, BiDTicksAFractionOfAPixelWideReadToTheStepOrNotAtAll) {
    ExpectBidScanReads(300, true);
    ExpectBidScanReads(150, false);
}

}  // namespace

namespace {

using namespace svc::pagereader;

// ---- edges and leans measured to a fraction of a pixel ----

// A step from paper (0) to ink (`ink`) at `edge` (ink on the right when
// `inkRight`), area-sampled, then blurred by a few pixels either way.
std::vector<double> StepProfile(int size, double edge, bool inkRight, double ink, double blur) {
    std::vector<double> sharp(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) {
        const double inside = std::clamp(inkRight ? i + 1 - edge : edge - i, 0.0, 1.0);
        sharp[static_cast<std::size_t>(i)] = inside * ink;
    }
    if (blur <= 0) return sharp;
    std::vector<double> out(sharp.size(), 0.0);
    const int reach = static_cast<int>(std::ceil(3 * blur));
    for (int i = 0; i < size; ++i) {
        double sum = 0, weights = 0;
        for (int d = -reach; d <= reach; ++d) {
            const double w = std::exp(-0.5 * d * d / (blur * blur));
            const int j = std::clamp(i + d, 0, size - 1);
            sum += w * sharp[static_cast<std::size_t>(j)], weights += w;
        }
        out[static_cast<std::size_t>(i)] = sum / weights;
    }
    return out;
}

TEST(PageReaderFitting, AnEdgeKeepsItsPlaceThroughBlurByItsInksShare) {
    for (double edge : {20.0, 20.3, 20.75})
        for (double blur : {0.0, 0.8, 1.5})
            for (bool inkRight : {true, false}) {
                const std::vector<double> profile = StepProfile(40, edge, inkRight, 0.7, blur);
                // From well inside the ink to well out on the paper, either way round.
                const auto found = detail::EdgeBetween(profile, inkRight ? 30 : 10, inkRight ? 10 : 30, 0.7, 0.0);
                ASSERT_TRUE(found.has_value());
                EXPECT_NEAR(*found, edge, 0.02) << "edge " << edge << ", blur " << blur;
            }
    // Levels that do not stand apart, or a range off the profile, measure nothing.
    const std::vector<double> flat(40, 0.3);
    EXPECT_FALSE(detail::EdgeBetween(flat, 30, 10, 0.3, 0.3).has_value());
    EXPECT_FALSE(detail::EdgeBetween(flat, 30, 50, 0.7, 0.0).has_value());
}

// A sheet with edges at fractional places (area-sampled) on a darker lid,
// a black bar reaching its bottom edge, and a scrap of the lid's shade
// beyond one end of its left edge.
Image SheetAt(double left, double top, double width, double height) {
    Image image = Blank(static_cast<int>(left + width) + 60, static_cast<int>(top + height) + 60, 300);
    auto cover = [](double from, double to, int i) {
        return std::clamp(std::min(to, i + 1.0) - std::max(from, 1.0 * i), 0.0, 1.0);
    };
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const double paper = cover(left, left + width, x) * cover(top, top + height, y);
            double value = 200 + 50 * paper;
            if (x >= left + 100 && x < left + 140 && y >= top + height - 30 && y < top + height) value = 20;
            std::uint8_t* p = image.Row(y) + static_cast<std::size_t>(x) * 3;
            p[0] = p[1] = p[2] = static_cast<std::uint8_t>(std::lround(value));
        }
    return image;
}

TEST(PageReaderSheet, TheSheetsEdgesAreFoundToAFractionOfAPixel) {
    for (const double left : {40.0, 40.3, 40.7}) {
        const double top = 30.6, width = 600.4, height = 450.2;
        Image image = SheetAt(left, top, width, height);
        image = t::Blur(image, 1.0);
        Placement placed;
        const std::optional<Image> sheet = Straighten(image, nullptr, &placed);
        ASSERT_TRUE(sheet.has_value()) << left;
        EXPECT_NEAR(placed.x0, left, 0.05);
        EXPECT_NEAR(placed.y0, top, 0.05);
        EXPECT_NEAR(placed.width, width, 0.1);
        EXPECT_NEAR(placed.height, height, 0.1);
        EXPECT_NEAR(placed.angle, 0, 1e-4);
    }
}

// The head angular pattern's bars as its job lays them down, leaning `steps`
// lever steps, at `dpi`: every fourth raster line (1/180 inch apart) gray
// bars 0.8 inch long every 1.2 inch, the lines between them light magenta
// half a period on; each line's depth moves it steps / 16 of it to the right.
Image LeaningBars(double dpi, int steps) {
    const double inch = dpi;
    Image page = Blank(static_cast<int>(8.27 * inch), static_cast<int>(1.2 * inch), dpi);
    const double bandTop = 0.3 * inch, line = inch / 180;
    constexpr int kSamples = 4;
    for (int y = static_cast<int>(bandTop); y < static_cast<int>(bandTop + 97 * line) + 1; ++y)
        for (int x = 0; x < page.width; ++x) {
            double gray = 0, magenta = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const double py = y + (sy + 0.5) / kSamples, px = x + (sx + 0.5) / kSamples;
                    const int j = static_cast<int>(std::floor((py - bandTop) / line));
                    if (j < 0 || j >= 96 || (j % 2) != 0) continue;
                    const double along = (px - 0.05 * inch - steps * (j * line) / 16) / inch;
                    const double phase = along - 1.2 * std::floor(along / 1.2);
                    if (j % 4 == 0 && phase < 0.8) gray += 1.0 / (kSamples * kSamples);
                    if (j % 4 == 2 && phase >= 0.6 && phase < 1.4 - 0.0) magenta += 1.0 / (kSamples * kSamples);
                }
            std::uint8_t* p = page.Row(y) + static_cast<std::size_t>(x) * 3;
            // Gray leaves 120 of each channel, light magenta (245, 160, 205).
            p[0] = static_cast<std::uint8_t>(255 - 135 * gray - 10 * magenta);
            p[1] = static_cast<std::uint8_t>(255 - 135 * gray - 95 * magenta);
            p[2] = static_cast<std::uint8_t>(255 - 135 * gray - 50 * magenta);
        }
    return page;
}

TEST(PageReaderHeadAngle, TheBarsLeanIsReadAtAnyResolutionAndTurnedALittle) {
    Context context;
    for (const double dpi : {150.0, 300.0})
        for (const int steps : {-20, -7, 0, 3, 13}) {
            Image page = LeaningBars(dpi, steps);
            const Reading upright = Read(Kind::HeadAngular, page, context);
            ASSERT_EQ(upright.items.size(), 1u) << upright.problem;
            ASSERT_TRUE(upright.items[0].value.has_value()) << upright.items[0].problem;
            EXPECT_EQ(*upright.items[0].value, steps) << dpi << " dpi";
            EXPECT_GE(upright.items[0].confidence, 0.5);
            // Turned a degree on the glass, blurred: the same lean.
            const Reading turned = Read(Kind::HeadAngular, t::Blur(t::Rotate(page, 1.0), 1.0), context);
            ASSERT_EQ(turned.items.size(), 1u) << turned.problem;
            ASSERT_TRUE(turned.items[0].value.has_value()) << turned.items[0].problem;
            EXPECT_EQ(*turned.items[0].value, steps) << dpi << " dpi, turned";
        }
}

}  // namespace
