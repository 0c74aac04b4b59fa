// A plain 8-bit RGB image in memory: the composited page preview, or a PNG
// read back for inspection.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vp {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // rows top to bottom, 3 bytes a pixel
    int dpi = 0;                    // pixels per inch, when known (a page's preview resolution)

    Image() = default;
    Image(int w, int h)
        : width(w), height(h), rgb(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3, 0xFF) {}
    bool Null() const { return width <= 0 || height <= 0; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    std::uint8_t* Row(int y) { return rgb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3; }
    const std::uint8_t* Row(int y) const {
        return rgb.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 3;
    }
    // The pixel at (x, y); the caller keeps within the image.
    std::array<std::uint8_t, 3> At(int x, int y) const {
        const std::uint8_t* p = Row(y) + static_cast<std::size_t>(x) * 3;
        return {p[0], p[1], p[2]};
    }
};

// Reads an 8-bit RGB (or any PNG the library converts to it); false with a reason.
bool ReadPng(const std::string& path, Image* image, std::string* error);
// Writes the whole image as PNG; false with a reason.
bool WritePng(const std::string& path, const Image& image, std::string* error);

}  // namespace vp
