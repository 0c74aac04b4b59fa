// Degraded copies of a printed page, as a flatbed scanner or a phone camera
// would deliver it: rescaled to the scan's resolution, turned a few degrees,
// shifted on the glass, blurred, noisy, unevenly lit, JPEG-compressed, or the
// whole sheet upside down. Every parameter comes from a seed, so a copy is
// made again exactly from (page, seed).
//
// Each step works on its own and is tested on its own; DegradeAll combines
// them in the order light takes from the sheet to the file: the sheet on the
// glass (rescaled to the scan's resolution first, where every later step is
// cheaper), turned and shifted, seen through optics (blur) and uneven light,
// sensed (noise), stored (JPEG).
#pragma once

#include "pagereader/Image.h"

#include <cstdint>
#include <string>

namespace svc::pagereader::testing {

// Rescales from the image's dpi to `toDpi` with area filtering (each output
// pixel the mean of the input area it covers, partial pixels weighted), so
// thin lines keep their ink. The physical size is kept (rounded to whole
// pixels, the picture stretched to them); the result declares `toDpi`. The
// image must declare its dpi.
Image Rescale(const Image& image, double toDpi);

// Turns the picture by `degrees` clockwise (as seen, x right and y down)
// about its centre, with bilinear resampling, on a canvas large enough for
// all of it; what lies outside the picture is `background` grey.
Image Rotate(const Image& image, double degrees, std::uint8_t background = 255);

// Where Rotate puts the point (x, y) of an image of width x height (pixel
// centres at half-integers).
void RotatedPoint(int width, int height, double degrees, double x, double y, double* outX, double* outY);

// The picture turned by 180 degrees (a sheet scanned upside down).
Image UpsideDown(const Image& image);

// Adds margins of `background` grey on each side (a negative margin crops).
Image Margins(const Image& image, int left, int top, int right, int bottom, std::uint8_t background);

// Gaussian blur of standard deviation `sigma` pixels (0: unchanged).
Image Blur(const Image& image, double sigma);

// Adds Gaussian noise of standard deviation `sigma` grey levels, per sample.
void AddNoise(Image& image, double sigma, std::uint32_t seed);

// Uneven lighting: each pixel multiplied by a smooth factor, 1 at the
// brightest and 1 - `depth` at the darkest, a gradient across the picture at
// `angleDegrees` combined with a vignette darker towards the corners
// (`vignette` of the depth).
void UnevenLight(Image& image, double depth, double angleDegrees, double vignette);

// What the file of a JPEG at `quality` holds.
Image Jpeg(const Image& image, int quality);

// The parameters of one degraded copy.
struct Degradation {
    bool phone = false;       // a phone photo: the file declares no dpi
    double dpi = 300;         // the scan's (or photo's) resolution of the sheet
    double degrees = 0;       // clockwise turn
    bool upsideDown = false;  // the sheet was put down the other way round
    int left = 0, top = 0;    // where the sheet lies on the glass (pixels of background)
    int right = 0, bottom = 0;
    std::uint8_t background = 255;  // around the sheet: the scanner's lid, the table
    double blur = 0;                // sigma in pixels of the scan
    double noise = 0;               // sigma in grey levels
    double light = 0;               // depth of the uneven lighting
    double lightAngle = 0;
    double vignette = 0;
    int jpegQuality = 0;  // 0: kept lossless (PNG)
    std::uint32_t noiseSeed = 0;

    std::string Describe() const;
};

// The parameters seed `seed` gives: half flatbed scans (150-600 dpi as
// scanners offer them, declared), half phone photos (an undeclared 150-600
// dpi, a darker surface around the sheet, more noise and uneven light); every
// copy turned up to 3 degrees either way, blurred up to 1.5 px, noisy, one
// in four upside down, most JPEG at quality 60.
Degradation Draw(std::uint32_t seed);

// Applies `d` to a page printed on a sheet of sheetWidthMm x sheetHeightMm
// (the page shows the sheet from its top-left corner; what it leaves out on
// the right and below is blank paper, filled in before the sheet is put on
// the glass; a page narrower than a quarter of the sheet, a strip of it, is
// kept at its exact scale and the sheet's right and bottom edges where the
// sheet ends, to a fraction of a pixel). 0 for either: the page is the
// whole sheet.
Image Apply(const Image& page, const Degradation& d, double sheetWidthMm = 0, double sheetHeightMm = 0);

// Draw(seed) applied.
Image DegradeAll(const Image& page, std::uint32_t seed, double sheetWidthMm = 0, double sheetHeightMm = 0);

}  // namespace svc::pagereader::testing
