// A scan or photo shows the sheet on the scanner's lid or a table, turned a
// little and lit unevenly. Straighten() finds the sheet by its paper (the
// brightest large area), turns it upright (to the nearest quarter turn
// left as it is) and cuts it out, and evens the light so that the paper is
// white again: the page as the printer's own page file shows it.
#pragma once

#include <optional>
#include <string>

#include "i18n/Translate.h"
#include "pagereader/Image.h"

namespace svc::pagereader {

// The straightened sheet; std::nullopt when the image shows no background
// around the sheet (a page file, or a scan cropped to the paper): then it is
// read as it is. `*note` says what was done.
// `*placed` gets where the sheet's top-left corner lies on the image and
// how far it is turned, to take places on the sheet back to the image.
struct Placement {
    double x0 = 0, y0 = 0, angle = 0;  // radians, clockwise on the image
    // The sheet's own width and height in the straightened image's pixels,
    // to a fraction of a pixel (its edges lie at 0 and there); 0 when not known.
    double width = 0, height = 0;
};
std::optional<Image> Straighten(const Image& image, svc::Phrase* note, Placement* placed = nullptr);

// The resolution of a sheet cut out of a photo that declares none, from the
// sheet's known size: A4 (210 x 297 mm), A3+ (329 x 483 mm) or Letter
// (8.5 x 11 inch), told apart by its shape. 0 when the shape is none of them.
double SheetDpi(const Image& sheet);
// The same for a sheet measured to a fraction of a pixel (`Placement`'s width and height).
double SheetDpiOf(double width, double height);

// How far the print on a page is turned (radians, clockwise on the image, at
// most 4 degrees either way), from its own straight rows and columns of ink:
// the turn at which the ink piles up most sharply into rows and columns.
// std::nullopt when the page shows too little ink to tell.
std::optional<double> InkSkew(const Image& page);

// The page turned back by `angle` (as InkSkew gives it) about its centre,
// bilinear, paper white where nothing was. `sameSize` keeps the page's size
// (a sheet already cut out); otherwise the result is the size of the upright
// picture a turn by `angle` made the page of (the turn's white corners cut
// off again). `*placed` gets where the result's top-left corner lies on the
// page and the turn, as Straighten gives them.
Image Upright(const Image& page, double angle, bool sameSize, Placement* placed);

// Places on an image placed by `inner` on an image placed by `outer`: where
// the innermost one lies on the outermost.
Placement Compose(const Placement& outer, const Placement& inner);

}  // namespace svc::pagereader
