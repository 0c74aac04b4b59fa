#include "pagereader/testing/Degrade.h"

#include "pagereader/testing/ImageWrite.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <vector>

namespace svc::pagereader::testing {

namespace {

constexpr double kPi = 3.14159265358979323846;

Image Blank(int width, int height, std::uint8_t grey, double dpi) {
    Image image;
    image.width = width;
    image.height = height;
    image.dpi = dpi;
    image.rgb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, grey);
    return image;
}

inline std::uint8_t Clamp8(float v) {
    const int i = static_cast<int>(v + 0.5f);
    return static_cast<std::uint8_t>(i < 0 ? 0 : i > 255 ? 255 : i);
}

// The input pixels an output pixel covers along one axis and their shares:
// output pixel i covers [i * scale, (i + 1) * scale) of the input.
struct Taps {
    std::vector<int> first;  // per output pixel: index into index/weight
    std::vector<int> index;
    std::vector<float> weight;
};

Taps AreaTaps(int from, int to) {
    Taps t;
    const double scale = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        t.first.push_back(static_cast<int>(t.index.size()));
        const double a = i * scale, b = (i + 1) * scale;
        for (int k = static_cast<int>(std::floor(a)); k < std::min<double>(from, std::ceil(b)); ++k) {
            const double share = std::min<double>(b, k + 1) - std::max<double>(a, k);
            if (share <= 1e-9) continue;
            t.index.push_back(k);
            t.weight.push_back(static_cast<float>(share / scale));
        }
    }
    t.first.push_back(static_cast<int>(t.index.size()));
    return t;
}

std::vector<float> GaussianKernel(double sigma) {
    const int radius = std::max(1, static_cast<int>(std::ceil(3 * sigma)));
    std::vector<float> k(static_cast<std::size_t>(2 * radius + 1));
    double sum = 0;
    for (int i = -radius; i <= radius; ++i)
        sum += k[static_cast<std::size_t>(i + radius)] = static_cast<float>(std::exp(-0.5 * i * i / (sigma * sigma)));
    for (float& v : k) v = static_cast<float>(v / sum);
    return k;
}

}  // namespace

Image Rescale(const Image& image, double toDpi) {
    if (image.dpi <= 0 || toDpi <= 0) throw std::invalid_argument("Rescale needs the image's resolution and a target");
    const double factor = toDpi / image.dpi;
    const int w = std::max(1, static_cast<int>(std::lround(image.width * factor)));
    const int h = std::max(1, static_cast<int>(std::lround(image.height * factor)));
    const Taps across = AreaTaps(image.width, w), down = AreaTaps(image.height, h);
    Image out = Blank(w, h, 255, toDpi);
    // Down first, one output row at a time from the input rows it covers, then across.
    std::vector<float> row(static_cast<std::size_t>(image.width) * 3);
    for (int y = 0; y < h; ++y) {
        std::fill(row.begin(), row.end(), 0.0f);
        for (int t = down.first[static_cast<std::size_t>(y)]; t < down.first[static_cast<std::size_t>(y) + 1]; ++t) {
            const std::uint8_t* in = image.Row(down.index[static_cast<std::size_t>(t)]);
            const float weight = down.weight[static_cast<std::size_t>(t)];
            for (std::size_t i = 0; i < row.size(); ++i) row[i] += weight * in[i];
        }
        std::uint8_t* o = out.Row(y);
        for (int x = 0; x < w; ++x) {
            float sum[3] = {0, 0, 0};
            for (int t = across.first[static_cast<std::size_t>(x)]; t < across.first[static_cast<std::size_t>(x) + 1];
                 ++t) {
                const float* p = row.data() + static_cast<std::size_t>(across.index[static_cast<std::size_t>(t)]) * 3;
                const float weight = across.weight[static_cast<std::size_t>(t)];
                for (int c = 0; c < 3; ++c) sum[c] += weight * p[c];
            }
            for (int c = 0; c < 3; ++c)
                o[static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(c)] = Clamp8(sum[c]);
        }
    }
    return out;
}

namespace {

struct RotationFrame {
    int width, height;
    double cos, sin;
};

RotationFrame Frame(int width, int height, double degrees) {
    const double a = degrees * kPi / 180;
    const double c = std::cos(a), s = std::sin(a);
    // A whole turn by a right angle is exact; otherwise the canvas holds every corner.
    const int w = static_cast<int>(std::ceil(std::abs(width * c) + std::abs(height * s) - 1e-9));
    const int h = static_cast<int>(std::ceil(std::abs(width * s) + std::abs(height * c) - 1e-9));
    return {w, h, c, s};
}

}  // namespace

void RotatedPoint(int width, int height, double degrees, double x, double y, double* outX, double* outY) {
    const RotationFrame f = Frame(width, height, degrees);
    const double dx = x - width / 2.0, dy = y - height / 2.0;
    *outX = f.width / 2.0 + dx * f.cos - dy * f.sin;
    *outY = f.height / 2.0 + dx * f.sin + dy * f.cos;
}

Image Rotate(const Image& image, double degrees, std::uint8_t background) {
    const RotationFrame f = Frame(image.width, image.height, degrees);
    Image out = Blank(f.width, f.height, background, image.dpi);
    const double cx = image.width / 2.0, cy = image.height / 2.0;
    auto sample = [&](int x, int y, int c) -> float {
        if (x < 0 || y < 0 || x >= image.width || y >= image.height) return background;
        return image.Row(y)[static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(c)];
    };
    const std::size_t stride = static_cast<std::size_t>(image.width) * 3;
    for (int Y = 0; Y < f.height; ++Y) {
        std::uint8_t* o = out.Row(Y);
        const double dy = Y + 0.5 - f.height / 2.0;
        // The point of the input each pixel's centre came from, in pixel-centre coordinates.
        const double dx0 = 0.5 - f.width / 2.0;
        const double u0 = cx + dx0 * f.cos + dy * f.sin - 0.5, v0 = cy - dx0 * f.sin + dy * f.cos - 0.5;
        for (int X = 0; X < f.width; ++X) {
            const double u = u0 + X * f.cos, v = v0 - X * f.sin;
            if (u < -1 || v < -1 || u > image.width || v > image.height) continue;
            // (u, v >= -1: truncating u + 1 floors it.)
            const int x0 = static_cast<int>(u + 1) - 1, y0 = static_cast<int>(v + 1) - 1;
            const float fx = static_cast<float>(u - x0), fy = static_cast<float>(v - y0);
            std::uint8_t* q = o + static_cast<std::size_t>(X) * 3;
            if (x0 >= 0 && y0 >= 0 && x0 + 1 < image.width && y0 + 1 < image.height) {
                // Inside the picture: its four pixels.
                const std::uint8_t* a = image.Row(y0) + static_cast<std::size_t>(x0) * 3;
                const std::uint8_t* b = a + stride;
                for (int c = 0; c < 3; ++c) {
                    const float top = a[c] + (a[c + 3] - a[c]) * fx;
                    const float bottom = b[c] + (b[c + 3] - b[c]) * fx;
                    q[c] = Clamp8(top + (bottom - top) * fy);
                }
                continue;
            }
            for (int c = 0; c < 3; ++c) {
                const float top = sample(x0, y0, c) * (1 - fx) + sample(x0 + 1, y0, c) * fx;
                const float bottom = sample(x0, y0 + 1, c) * (1 - fx) + sample(x0 + 1, y0 + 1, c) * fx;
                q[c] = Clamp8(top * (1 - fy) + bottom * fy);
            }
        }
    }
    return out;
}

Image UpsideDown(const Image& image) {
    Image out = image;
    const std::size_t n = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
    for (std::size_t i = 0; i < n; ++i) std::copy_n(image.rgb.data() + (n - 1 - i) * 3, 3, out.rgb.data() + i * 3);
    return out;
}

Image Margins(const Image& image, int left, int top, int right, int bottom, std::uint8_t background) {
    const int w = std::max(1, image.width + left + right), h = std::max(1, image.height + top + bottom);
    Image out = Blank(w, h, background, image.dpi);
    for (int y = 0; y < h; ++y) {
        const int sy = y - top;
        if (sy < 0 || sy >= image.height) continue;
        const int x0 = std::max(0, left), x1 = std::min(w, left + image.width);
        if (x1 <= x0) continue;
        std::copy_n(image.Row(sy) + static_cast<std::size_t>(x0 - left) * 3, static_cast<std::size_t>(x1 - x0) * 3,
                    out.Row(y) + static_cast<std::size_t>(x0) * 3);
    }
    return out;
}

Image Blur(const Image& image, double sigma) {
    if (sigma <= 0) return image;
    const std::vector<float> k = GaussianKernel(sigma);
    const int r = static_cast<int>(k.size() / 2);
    const int w = image.width, h = image.height;
    // Across into float rows, kept for the 2r + 1 rows an output row needs, then down; the edges repeat their pixels.
    const std::size_t slots = k.size(), rowSize = static_cast<std::size_t>(w) * 3;
    std::vector<float> across(slots * rowSize);
    std::vector<int> held(slots, -1);
    std::vector<float> padded((static_cast<std::size_t>(w) + 2 * static_cast<std::size_t>(r)) * 3);
    auto acrossRow = [&](int y) -> const float* {
        float* o = across.data() + static_cast<std::size_t>(y) % slots * rowSize;
        if (held[static_cast<std::size_t>(y) % slots] == y) return o;
        held[static_cast<std::size_t>(y) % slots] = y;
        // The row with its edge pixels repeated r times on each side.
        const std::uint8_t* in = image.Row(y);
        for (int x = -r; x < w + r; ++x)
            for (std::size_t c = 0; c < 3; ++c)
                padded[static_cast<std::size_t>(x + r) * 3 + c] =
                    in[static_cast<std::size_t>(std::clamp(x, 0, w - 1)) * 3 + c];
        std::fill_n(o, rowSize, 0.0f);
        for (std::size_t j = 0; j < slots; ++j) {
            const float weight = k[j];
            const float* from = padded.data() + j * 3;
            for (std::size_t i = 0; i < rowSize; ++i) o[i] += weight * from[i];
        }
        return o;
    };
    Image out = Blank(w, h, 255, image.dpi);
    std::vector<float> row(rowSize);
    for (int y = 0; y < h; ++y) {
        std::fill(row.begin(), row.end(), 0.0f);
        for (int j = -r; j <= r; ++j) {
            // Rows clamped at the edges repeat; distinct rows within reach never share a slot.
            const float* in = acrossRow(std::clamp(y + j, 0, h - 1));
            const float weight = k[static_cast<std::size_t>(j + r)];
            for (std::size_t i = 0; i < rowSize; ++i) row[i] += weight * in[i];
        }
        std::uint8_t* o = out.Row(y);
        for (std::size_t i = 0; i < rowSize; ++i) o[i] = Clamp8(row[i]);
    }
    return out;
}

void AddNoise(Image& image, double sigma, std::uint32_t seed) {
    if (sigma <= 0) return;
    // A table of normal deviates, indexed by a fast generator: a page has a
    // hundred million samples.
    std::mt19937 random(seed);
    std::normal_distribution<float> normal(0.0f, static_cast<float>(sigma));
    // Rounded: a whole level plus the noise rounds as the noise alone does.
    std::vector<int> table(1 << 16);
    for (int& v : table) v = static_cast<int>(std::lround(normal(random)));
    std::uint64_t state = (static_cast<std::uint64_t>(seed) << 32) ^ 0x9E3779B97F4A7C15ull;
    for (std::uint8_t& s : image.rgb) {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        const int v = s + table[static_cast<std::size_t>(state >> 48)];
        s = static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
}

void UnevenLight(Image& image, double depth, double angleDegrees, double vignette) {
    if (depth <= 0) return;
    const double a = angleDegrees * kPi / 180, ux = std::cos(a), uy = std::sin(a);
    const double cx = image.width / 2.0, cy = image.height / 2.0;
    const double half = std::abs(cx * ux) + std::abs(cy * uy) + 1e-9;  // the gradient's reach from the centre
    const double corner = cx * cx + cy * cy + 1e-9;
    for (int y = 0; y < image.height; ++y) {
        std::uint8_t* row = image.Row(y);
        const double dy = y + 0.5 - cy;
        for (int x = 0; x < image.width; ++x) {
            const double dx = x + 0.5 - cx;
            const double gradient = 0.5 + 0.5 * (dx * ux + dy * uy) / half;  // 0 .. 1
            const double dark = (1 - vignette) * gradient + vignette * (dx * dx + dy * dy) / corner;
            const float factor = static_cast<float>(1 - depth * std::clamp(dark, 0.0, 1.0));
            for (int c = 0; c < 3; ++c) row[x * 3 + c] = Clamp8(row[x * 3 + c] * factor);
        }
    }
}

Image Jpeg(const Image& image, int quality) { return JpegRoundTrip(image, quality); }

std::string Degradation::Describe() const {
    char text[400];
    std::snprintf(
        text, sizeof text,
        "%s %.0f dpi, %+.2f deg%s, margins %d/%d/%d/%d on %d, blur %.2f px, noise %.1f, light %.2f at %.0f deg "
        "(vignette %.2f), %s",
        phone ? "phone photo" : "flatbed scan", dpi, degrees, upsideDown ? ", upside down" : "", left, top, right,
        bottom, background, blur, noise, light, lightAngle, vignette,
        jpegQuality > 0 ? ("JPEG q" + std::to_string(jpegQuality)).c_str() : "lossless");
    return text;
}

Degradation Draw(std::uint32_t seed) {
    std::mt19937 random(seed * 2654435761u + 12345u);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    auto chance = [&](double p) { return uniform(0, 1) < p; };
    Degradation d;
    d.phone = chance(0.5);
    static constexpr std::array<double, 5> kScannerDpi = {150, 200, 300, 400, 600};
    d.dpi =
        d.phone ? std::round(uniform(150, 600)) : kScannerDpi[std::uniform_int_distribution<std::size_t>(0, 4)(random)];
    d.degrees = uniform(-3, 3);
    d.upsideDown = chance(0.25);
    const double inch = d.dpi;
    if (d.phone) {
        // The sheet on a table, the camera held above it.
        d.left = static_cast<int>(uniform(0.2, 0.8) * inch), d.top = static_cast<int>(uniform(0.2, 0.8) * inch);
        d.right = static_cast<int>(uniform(0.2, 0.8) * inch), d.bottom = static_cast<int>(uniform(0.2, 0.8) * inch);
        d.background = static_cast<std::uint8_t>(uniform(60, 150));
        d.noise = uniform(3, 8);
        d.light = uniform(0.1, 0.35);
        d.vignette = uniform(0.2, 0.7);
    } else {
        // On the glass near its corner, under the lid, which is a little darker than paper.
        d.left = static_cast<int>(uniform(0, 0.3) * inch), d.top = static_cast<int>(uniform(0, 0.3) * inch);
        d.right = static_cast<int>(uniform(0, 0.3) * inch), d.bottom = static_cast<int>(uniform(0, 0.3) * inch);
        d.background = static_cast<std::uint8_t>(uniform(200, 235));
        d.noise = uniform(1, 4);
        d.light = uniform(0, 0.12);
        d.vignette = uniform(0, 0.3);
    }
    d.lightAngle = uniform(0, 360);
    d.blur = uniform(0, 1.5);
    d.jpegQuality = chance(0.75) ? 60 : 0;
    d.noiseSeed = static_cast<std::uint32_t>(random());
    return d;
}

Image Apply(const Image& page, const Degradation& d, double sheetWidthMm, double sheetHeightMm) {
    // Rescaling rounds the width to whole pixels and stretches the page to
    // it, by up to half a pixel over its width, and the sheet filled out to
    // a whole number of pixels moves its right and bottom edges by as much:
    // nothing to the pages as wide as the sheet, but a strip half an inch
    // wide (the first dot page, whose line is measured against the sheet's
    // edge to a fraction of a pixel) stretched by 0.8 % at 150 dpi. Such a
    // strip is filled out across with paper first, to a width that comes out
    // a whole number of pixels, and the sheet's right and bottom edges lie
    // where the sheet ends, a last column or row it covers in part showing
    // the background for the rest.
    const double factor = page.dpi > 0 ? d.dpi / page.dpi : 0;
    const bool strip = sheetWidthMm > 0 && factor > 0 && page.width < sheetWidthMm / 25.4 * page.dpi / 4;
    Image sheet;
    if (strip) {
        int width = page.width;
        while (std::abs(width * factor - std::round(width * factor)) > 1e-6 && width < 4 * page.width + 20000) ++width;
        sheet = Rescale(Margins(page, 0, 0, width - page.width, 0, 255), d.dpi);
    } else {
        sheet = Rescale(page, d.dpi);
    }
    // The blank paper right of and below what the page shows.
    if (!strip) {
        const int wholeW = sheetWidthMm > 0 ? static_cast<int>(std::lround(sheetWidthMm / 25.4 * d.dpi)) : 0;
        const int wholeH = sheetHeightMm > 0 ? static_cast<int>(std::lround(sheetHeightMm / 25.4 * d.dpi)) : 0;
        if (wholeW > sheet.width || wholeH > sheet.height)
            sheet = Margins(sheet, 0, 0, std::max(0, wholeW - sheet.width), std::max(0, wholeH - sheet.height), 255);
    } else {
        const double exactW = sheetWidthMm / 25.4 * d.dpi;
        const double exactH = std::max(sheetHeightMm / 25.4 * d.dpi, page.height * factor);
        const int wholeW = static_cast<int>(std::ceil(exactW - 1e-6));
        const int wholeH = sheetHeightMm > 0 ? static_cast<int>(std::ceil(exactH - 1e-6)) : sheet.height;
        sheet = Margins(sheet, 0, 0, wholeW - sheet.width, std::max(0, wholeH - sheet.height), 255);
        auto blend = [&](std::uint8_t* p, double share) {
            for (int c = 0; c < 3; ++c) p[c] = Clamp8(static_cast<float>(p[c] * share + d.background * (1 - share)));
        };
        if (exactW - (wholeW - 1) < 1)
            for (int y = 0; y < sheet.height; ++y)
                blend(sheet.Row(y) + static_cast<std::size_t>(wholeW - 1) * 3, exactW - (wholeW - 1));
        if (sheetHeightMm > 0 && sheet.height == wholeH && exactH - (wholeH - 1) < 1)
            for (int x = 0; x < sheet.width; ++x)
                blend(sheet.Row(wholeH - 1) + static_cast<std::size_t>(x) * 3, exactH - (wholeH - 1));
    }
    if (d.upsideDown) sheet = UpsideDown(sheet);
    Image scan = Rotate(sheet, d.degrees, d.background);
    sheet = Image();
    scan = Margins(scan, d.left, d.top, d.right, d.bottom, d.background);
    scan = Blur(scan, d.blur);
    UnevenLight(scan, d.light, d.lightAngle, d.vignette);
    AddNoise(scan, d.noise, d.noiseSeed);
    if (d.jpegQuality > 0) scan = Jpeg(scan, d.jpegQuality);
    scan.dpi = d.phone ? 0 : d.dpi;
    return scan;
}

Image DegradeAll(const Image& page, std::uint32_t seed, double sheetWidthMm, double sheetHeightMm) {
    return Apply(page, Draw(seed), sheetWidthMm, sheetHeightMm);
}

}  // namespace svc::pagereader::testing
