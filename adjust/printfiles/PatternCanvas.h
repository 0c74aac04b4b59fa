// A band of raster dots for one ink, drawn into memory and sent through the
// printer command primitives as one block: 2 bits per pixel, every dot at the
// largest value, lines run-length coded (runs of equal bytes as repeat units,
// other bytes as single units). Numbers and letters are drawn with a 5 x 7
// dot font, so labels read the same on paper and on the virtual printer's
// page images.
#pragma once

#include "link/VexRaster.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace svc::printfiles {

class Canvas {
public:
    Canvas(int dotsAcross, int lines)
        : bytesPerLine_((dotsAcross + 3) / 4),
          lines_(lines),
          bytes_(static_cast<std::size_t>(bytesPerLine_) * static_cast<std::size_t>(lines), 0) {}

    int DotsAcross() const { return bytesPerLine_ * 4; }
    int Lines() const { return lines_; }

    void Dot(int x, int y) {
        if (x < 0 || y < 0 || x >= DotsAcross() || y >= lines_) return;
        bytes_[static_cast<std::size_t>(y) * static_cast<std::size_t>(bytesPerLine_) +
               static_cast<std::size_t>(x / 4)] |= static_cast<std::uint8_t>(0x03 << ((3 - x % 4) * 2));
    }
    void Fill(int x, int y, int width, int height) {
        for (int j = y; j < y + height; ++j)
            for (int i = x; i < x + width; ++i) Dot(i, j);
    }
    // Text at (x, y), each font dot drawn as `scaleX` dots by `scaleY` lines.
    // Characters: digits, '-', '+' and the letters A to F; anything else is a gap.
    void Text(int x, int y, std::string_view text, int scaleX, int scaleY) {
        for (char c : text) {
            const std::array<std::uint8_t, 7>* glyph = Glyph(c);
            if (glyph)
                for (int row = 0; row < 7; ++row)
                    for (int col = 0; col < 5; ++col)
                        if ((*glyph)[static_cast<std::size_t>(row)] & (0x10 >> col))
                            Fill(x + col * scaleX, y + row * scaleY, scaleX, scaleY);
            x += 6 * scaleX;
        }
    }
    static int TextWidth(std::string_view text, int scaleX) {
        return text.empty() ? 0 : static_cast<int>(text.size()) * 6 * scaleX - scaleX;
    }

    // The raster header and the lines, for the ink of `colorIndex`.
    Result Send(TPRaster& s, std::uint8_t colorIndex) const {
        if (Result r = SendRasterHeader(s, colorIndex, 1, 2, static_cast<std::uint16_t>(bytesPerLine_),
                                        static_cast<std::uint16_t>(lines_));
            r != rc::Ok)
            return r;
        for (int y = 0; y < lines_; ++y) {
            const std::uint8_t* line = &bytes_[static_cast<std::size_t>(y) * static_cast<std::size_t>(bytesPerLine_)];
            int i = 0;
            while (i < bytesPerLine_) {
                int run = 1;
                while (i + run < bytesPerLine_ && line[i + run] == line[i]) ++run;
                if (Result r = RepeatSendLong(s, run, line[i]); r != rc::Ok) return r;
                i += run;
            }
        }
        return rc::Ok;
    }

private:
    static const std::array<std::uint8_t, 7>* Glyph(char c) {
        static const std::array<std::uint8_t, 7> digits[10] = {
            {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
            {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
            {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
            {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
            {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}};
        static const std::array<std::uint8_t, 7> letters[6] = {
            {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}, {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E},
            {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}, {0x1C, 0x12, 0x11, 0x11, 0x11, 0x12, 0x1C},
            {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}, {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}};
        static const std::array<std::uint8_t, 7> minus{0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00};
        static const std::array<std::uint8_t, 7> plus{0x00, 0x04, 0x04, 0x1F, 0x04, 0x04, 0x00};
        if (c >= '0' && c <= '9') return &digits[c - '0'];
        if (c >= 'A' && c <= 'F') return &letters[c - 'A'];
        if (c == '-') return &minus;
        if (c == '+') return &plus;
        return nullptr;
    }

    int bytesPerLine_;
    int lines_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace svc::printfiles
