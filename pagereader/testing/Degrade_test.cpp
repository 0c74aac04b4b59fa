// Each degradation does what it says: rescaling keeps the sheet's size and
// its ink, a turn moves a point where the turn takes it, blur spreads a dot
// by its sigma, noise and light stay within their bounds, and a seed makes
// the same copy again.
#include "pagereader/testing/Degrade.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

using svc::pagereader::Image;
namespace t = svc::pagereader::testing;

Image White(int w, int h, double dpi = 0) {
    Image image;
    image.width = w, image.height = h, image.dpi = dpi;
    image.rgb.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3, 255);
    return image;
}

void Ink(Image& image, int x, int y) {
    std::uint8_t* p = image.Row(y) + x * 3;
    p[0] = p[1] = p[2] = 0;
}

// The ink of the green channel: its total, centroid and spread.
struct Moments {
    double ink = 0, x = 0, y = 0, varX = 0, varY = 0;
};
Moments Measure(const Image& image, int background = 255) {
    Moments m;
    double sx = 0, sy = 0, sxx = 0, syy = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const double w = std::max(0, background - image.Row(y)[x * 3 + 1]);
            m.ink += w, sx += w * (x + 0.5), sy += w * (y + 0.5), sxx += w * (x + 0.5) * (x + 0.5),
                syy += w * (y + 0.5) * (y + 0.5);
        }
    if (m.ink > 0) {
        m.x = sx / m.ink, m.y = sy / m.ink;
        m.varX = sxx / m.ink - m.x * m.x, m.varY = syy / m.ink - m.y * m.y;
    }
    return m;
}

TEST(Degrade, RescaleKeepsTheSheetsSizeItsInkAndWhereTheInkIs) {
    // One inch by half an inch at 1440 dpi, a bar 1/30 inch wide.
    Image page = White(1440, 720, 1440);
    for (int y = 100; y < 600; ++y)
        for (int x = 700; x < 748; ++x) Ink(page, x, y);
    const Moments before = Measure(page);
    for (double dpi : {150.0, 300.0, 600.0, 2880.0}) {
        SCOPED_TRACE(dpi);
        const Image scan = t::Rescale(page, dpi);
        EXPECT_EQ(scan.width, static_cast<int>(std::lround(dpi)));
        EXPECT_EQ(scan.height, static_cast<int>(std::lround(dpi / 2)));
        EXPECT_EQ(scan.dpi, dpi);
        const double k = dpi / 1440;
        const Moments after = Measure(scan);
        // Area filtering keeps the ink and where it is, to a tenth of a pixel of the scan.
        EXPECT_NEAR(after.ink / (k * k), before.ink, before.ink * 0.01);
        EXPECT_NEAR(after.x, before.x * k, 0.1);
        EXPECT_NEAR(after.y, before.y * k, 0.1);
    }
    // A thin line is not dropped between samples: its ink is spread over the pixel it falls in.
    Image line = White(1440, 720, 1440);
    for (int y = 0; y < 720; ++y) Ink(line, 723, y);
    const Image thin = t::Rescale(line, 200);
    EXPECT_NEAR(thin.Row(50)[100 * 3], 255 - 255 * 200 / 1440, 1);
    Image undeclared = page;
    undeclared.dpi = 0;
    EXPECT_THROW(t::Rescale(undeclared, 300), std::invalid_argument);
}

TEST(Degrade, AStripOfTheSheetKeepsItsScaleAndTheSheetsEdgesLieWhereItEnds) {
    // A strip of the sheet's top-left corner at 2880 dpi (1260 pixels wide:
    // 262.5 at 600 dpi, 65.6 at 150), an edge of ink 1000 pixels in, filled
    // out to A4 (8.2677 x 11.6929 inch): the edge stays 1000/2880 inch in,
    // and the sheet ends at 1240.16 x 1753.94 pixels at 150 dpi, the last
    // column and row covered in part. Each told by the share over the step.
    Image strip = White(1260, 600, 2880);
    for (int y = 0; y < 600; ++y)
        for (int x = 1000; x < 1260; ++x) Ink(strip, x, y);
    t::Degradation d;
    d.background = 100;
    for (double dpi : {600.0, 150.0}) {
        SCOPED_TRACE(dpi);
        d.dpi = dpi;
        const Image scan = t::Apply(strip, d, 210, 297);
        const int row = static_cast<int>(dpi / 10);
        double white = 0;
        for (int x = 0; x < static_cast<int>(dpi * 0.4); ++x) white += scan.Row(row)[x * 3] / 255.0;
        EXPECT_NEAR(white, 1000 * dpi / 2880, 0.01);
        if (dpi != 150) continue;
        auto share = [&](const std::uint8_t* p) { return (p[0] - 100) / 155.0; };
        double across = 0, down = 0;
        for (int x = 1230; x < scan.width; ++x) across += share(scan.Row(900) + x * 3);
        for (int y = 1740; y < scan.height; ++y) down += share(scan.Row(y) + 600 * 3);
        EXPECT_NEAR(1230 + across, 210 / 25.4 * 150, 0.01);
        EXPECT_NEAR(1740 + down, 297 / 25.4 * 150, 0.01);
    }
}

TEST(Degrade, RotationMovesAPointWhereTheTurnTakesItOnABackground) {
    // A right angle is exact: clockwise, the top-left corner goes to the top right.
    Image corner = White(40, 20);
    Ink(corner, 0, 0);
    const Image quarter = t::Rotate(corner, 90);
    ASSERT_EQ(quarter.width, 20);
    ASSERT_EQ(quarter.height, 40);
    EXPECT_EQ(quarter.Row(0)[19 * 3], 0);
    EXPECT_EQ(Measure(quarter).ink, 255);

    // 3 degrees clockwise: a dot 60 px right of and 20 px above the centre
    // goes 60 sin 3 deg down and 20 sin 3 deg right, as the turn carries it.
    Image page = White(200, 100);
    for (int y = 29; y <= 31; ++y)
        for (int x = 159; x <= 161; ++x) Ink(page, x, y);
    const Image turned = t::Rotate(page, 3, 200);
    const double a = 3 * M_PI / 180;
    const int w = static_cast<int>(std::ceil(200 * std::cos(a) + 100 * std::sin(a)));
    const int h = static_cast<int>(std::ceil(200 * std::sin(a) + 100 * std::cos(a)));
    ASSERT_EQ(turned.width, w);
    ASSERT_EQ(turned.height, h);
    const double dx = 160.5 - 100, dy = 30.5 - 50;
    const double ex = w / 2.0 + dx * std::cos(a) - dy * std::sin(a), ey = h / 2.0 + dx * std::sin(a) + dy * std::cos(a);
    // The dot, measured inside the sheet's part (the corners are background).
    Image inside = turned;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (std::hypot(x - ex, y - ey) > 8) std::fill_n(inside.Row(y) + x * 3, 3, 255);
    const Moments m = Measure(inside);
    EXPECT_NEAR(m.x, ex, 0.05);
    EXPECT_NEAR(m.y, ey, 0.05);
    EXPECT_NEAR(m.ink, 9 * 255, 9 * 255 * 0.02);
    double rx = 0, ry = 0;
    t::RotatedPoint(200, 100, 3, 160.5, 30.5, &rx, &ry);
    EXPECT_NEAR(rx, ex, 1e-9);
    EXPECT_NEAR(ry, ey, 1e-9);
    // The corners of the canvas are outside the sheet: background.
    EXPECT_EQ(turned.Row(0)[0], 200);
    EXPECT_EQ(turned.Row(h - 1)[(w - 1) * 3], 200);
}

TEST(Degrade, UpsideDownMarginsBlurNoiseAndLightDoWhatTheySay) {
    Image page = White(30, 20);
    Ink(page, 2, 3);
    const Image flipped = t::UpsideDown(page);
    EXPECT_EQ(flipped.Row(16)[27 * 3], 0);
    EXPECT_EQ(t::UpsideDown(flipped).rgb, page.rgb);

    const Image framed = t::Margins(page, 5, 7, 1, 2, 90);
    EXPECT_EQ(framed.width, 36);
    EXPECT_EQ(framed.height, 29);
    EXPECT_EQ(framed.Row(0)[0], 90);
    EXPECT_EQ(framed.Row(10)[7 * 3], 0);
    EXPECT_EQ(framed.Row(28)[35 * 3], 90);
    const Image cropped = t::Margins(page, -2, -3, 0, 0, 90);
    EXPECT_EQ(cropped.Row(0)[0], 0);

    // A dot blurred by sigma spreads by sigma squared, keeping its ink.
    // (A 5 x 5 block, whose own spread is 2 px squared: a single pixel's ink would drown in rounding.)
    Image dot = White(41, 41);
    for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 41; ++x) std::fill_n(dot.Row(y) + x * 3, 3, 235);
    for (int y = 18; y < 23; ++y)
        for (int x = 18; x < 23; ++x) std::fill_n(dot.Row(y) + x * 3, 3, 0);
    const Moments sharp = Measure(dot, 235);
    const Moments blurred = Measure(t::Blur(dot, 1.5), 235);
    EXPECT_NEAR(sharp.varX, 2, 1e-9);
    EXPECT_NEAR(blurred.ink, sharp.ink, sharp.ink * 0.01);
    EXPECT_NEAR(blurred.varX, 2 + 1.5 * 1.5, 0.1);
    EXPECT_NEAR(blurred.varY, 2 + 1.5 * 1.5, 0.1);
    EXPECT_NEAR(blurred.x, 20.5, 0.01);
    EXPECT_EQ(t::Blur(dot, 0).rgb, dot.rgb);

    // Noise on mid grey: its mean kept, its spread sigma, the same for the same seed.
    Image grey = White(200, 200);
    std::fill(grey.rgb.begin(), grey.rgb.end(), 128);
    Image noisy = grey;
    t::AddNoise(noisy, 5, 42);
    double sum = 0, sq = 0;
    for (std::uint8_t v : noisy.rgb) sum += v, sq += (v - 128.0) * (v - 128.0);
    EXPECT_NEAR(sum / noisy.rgb.size(), 128, 0.2);
    EXPECT_NEAR(std::sqrt(sq / noisy.rgb.size()), 5, 0.3);
    Image again = grey, other = grey;
    t::AddNoise(again, 5, 42);
    t::AddNoise(other, 5, 43);
    EXPECT_EQ(again.rgb, noisy.rgb);
    EXPECT_NE(other.rgb, noisy.rgb);

    // Light: within 1 - depth of white, darkest where the gradient points, smooth.
    Image lit = White(300, 200);
    t::UnevenLight(lit, 0.3, 0, 0);  // pointing right: darker to the right
    int lowest = 255, highest = 0, jump = 0;
    for (int y = 0; y < lit.height; ++y)
        for (int x = 0; x < lit.width; ++x) {
            const int v = lit.Row(y)[x * 3];
            lowest = std::min(lowest, v), highest = std::max(highest, v);
            if (x > 0) jump = std::max(jump, std::abs(v - lit.Row(y)[(x - 1) * 3]));
        }
    EXPECT_GE(lowest, static_cast<int>(255 * 0.7) - 1);
    EXPECT_LE(lowest, static_cast<int>(255 * 0.7) + 2);
    EXPECT_GE(highest, 253);
    EXPECT_LE(jump, 2);
    EXPECT_GT(lit.Row(100)[10 * 3], lit.Row(100)[290 * 3]);

    // JPEG at quality 60: close to the picture, not the same.
    Image sharpEdge = White(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 30; x < 34; ++x) Ink(sharpEdge, x, y);
    const Image jpeg = t::Jpeg(sharpEdge, 60);
    ASSERT_EQ(jpeg.rgb.size(), sharpEdge.rgb.size());
    EXPECT_NE(jpeg.rgb, sharpEdge.rgb);
    EXPECT_NEAR(Measure(jpeg).x, Measure(sharpEdge).x, 0.2);
}

TEST(Degrade, ASeedDrawsAScanOrAPhotoWithinTheRangesAndMakesItAgain) {
    std::set<double> scannerDpi;
    int phones = 0, upside = 0, jpegs = 0;
    for (std::uint32_t seed = 1; seed <= 400; ++seed) {
        const t::Degradation d = t::Draw(seed);
        EXPECT_EQ(d.Describe(), t::Draw(seed).Describe());
        EXPECT_GE(d.dpi, 150);
        EXPECT_LE(d.dpi, 600);
        EXPECT_LE(std::abs(d.degrees), 3);
        EXPECT_LE(d.blur, 1.5);
        EXPECT_LT(d.light, 0.36);
        EXPECT_TRUE(d.jpegQuality == 0 || d.jpegQuality == 60);
        if (!d.phone) scannerDpi.insert(d.dpi);
        phones += d.phone, upside += d.upsideDown, jpegs += d.jpegQuality > 0;
    }
    EXPECT_EQ(scannerDpi, (std::set<double>{150, 200, 300, 400, 600}));
    EXPECT_GT(phones, 150);
    EXPECT_LT(phones, 250);
    EXPECT_GT(upside, 60);
    EXPECT_GT(jpegs, 250);

    // A page showing the top-left 1 x 0.5 inches of a 2 x 1.5 inch sheet at 720 dpi.
    Image page = White(720, 360, 720);
    for (int y = 100; y < 200; ++y) Ink(page, 300, y);
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE(seed);
        const t::Degradation d = t::Draw(seed);
        const Image copy = t::Apply(page, d, 2 * 25.4, 1.5 * 25.4);
        EXPECT_EQ(copy.dpi, d.phone ? 0 : d.dpi);
        // The whole sheet, turned, within its margins.
        const double a = std::abs(d.degrees) * M_PI / 180, w = 2 * d.dpi, h = 1.5 * d.dpi;
        EXPECT_NEAR(copy.width, w * std::cos(a) + h * std::sin(a) + d.left + d.right, 2);
        EXPECT_NEAR(copy.height, w * std::sin(a) + h * std::cos(a) + d.top + d.bottom, 2);
        EXPECT_EQ(t::Apply(page, d, 2 * 25.4, 1.5 * 25.4).rgb, copy.rgb);
    }
    EXPECT_EQ(t::DegradeAll(page, 3).rgb, t::Apply(page, t::Draw(3)).rgb);
}

}  // namespace
