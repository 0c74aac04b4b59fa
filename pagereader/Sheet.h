// A scan or photo shows the sheet on the scanner's lid or a table, turned a
// little and lit unevenly. Straighten() finds the sheet by its paper (the
// brightest large area), turns it upright (to the nearest quarter turn
// left as it is) and cuts it out, and evens the light so that the paper is
// white again: the page as the printer's own page file shows it.
#pragma once

#include <optional>
#include <string>

#include "pagereader/Image.h"

namespace svc::pagereader {

// The straightened sheet; std::nullopt when the image shows no background
// around the sheet (a page file, or a scan cropped to the paper): then it is
// read as it is. `*note` says what was done.
// `*placed` gets where the sheet's top-left corner lies on the image and
// how far it is turned, to take places on the sheet back to the image.
struct Placement {
    double x0 = 0, y0 = 0, angle = 0;  // radians, clockwise on the image
};
std::optional<Image> Straighten(const Image& image, std::string* note, Placement* placed = nullptr);

}  // namespace svc::pagereader
