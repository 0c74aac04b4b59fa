// Writing and encoding the reader's images, for tests and the corpus: PNG
// (with its resolution) and JPEG (with its density), and a JPEG round trip in
// memory.
#pragma once

#include "pagereader/Image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace svc::pagereader::testing {

// PNG, 8-bit RGB; pHYs when image.dpi > 0. False with a reason.
bool WritePng(const std::string& path, const Image& image, std::string* error);

// JPEG at `quality` (1-100), 4:2:0 as cameras and scanners write it; JFIF
// density in dots per inch when image.dpi > 0, none otherwise.
std::vector<std::uint8_t> EncodeJpeg(const Image& image, int quality);
bool WriteJpeg(const std::string& path, const Image& image, int quality, std::string* error);

// Encodes at `quality` and decodes again: what a JPEG file of the image holds.
Image JpegRoundTrip(const Image& image, int quality);

// Writes bytes to a file; false with a reason.
bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error);

}  // namespace svc::pagereader::testing
