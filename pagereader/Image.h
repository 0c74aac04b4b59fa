// The reader's picture of a page: 8-bit RGB, with the resolution the file
// declares when it declares one. Loaded from PNG, JPEG, TIFF or PNM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace svc::pagereader {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // rows top to bottom, 3 bytes a pixel
    double dpi = 0;                 // pixels per inch the file declares; 0 when it declares none

    bool Null() const { return width <= 0 || height <= 0; }
    const std::uint8_t* Row(int y) const {
        return rgb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3;
    }
    std::uint8_t* Row(int y) { return rgb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3; }
};

// Reads an image file; std::nullopt with a reason a person can act on
// ("... is not an image this program can read") when it cannot, in the
// user's language.
std::optional<Image> LoadImage(const std::string& path, std::string* error);

}  // namespace svc::pagereader
