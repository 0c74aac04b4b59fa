// Writes clip.prn, the PW sensor check pattern the A4 normal paper print
// sends ahead of its own pattern: a complete print job of its own (reset and
// settings, a heading, one solid black bar printed without margins whose
// left edge lies 38/360 inch = 2.7 mm from the paper's edge, the middle of
// the 1.9 to 3.5 mm a correctly adjusted paper-width sensor gives), ending
// with a reset outside raster data and without ejecting the page.
//
// The job is composed with the program's own command primitives on a job
// stream whose channel only records what it is given, and the recorded bytes
// are written to the file named on the command line: the same bytes on every
// build.
#include "link/VexRaster.h"
#include "link/testing/FakeOutside.h"

#include <cstdio>
#include <fstream>
#include <string_view>

namespace {

using svc::Result;
using svc::rc::Ok;

constexpr int kLeftMargin = 38;             // 1/360 inch: 2.68 mm
constexpr int kBarBytes = 354;              // 4 dots of 1/360 inch per byte: 99.9 mm
constexpr int kBarLines = 64;               // 1/180 inch each: 9.0 mm
constexpr int kBarAdvance = kBarLines * 2;  // the bar's height in 1/360 inch

Result Text(svc::TPRaster& s, std::string_view text) {
    return s.Append(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<int>(text.size()));
}

Result Compose(svc::TPRaster& s) {
    Result r = svc::SendJobHeader(s, 10, 1, 10, 1);
    if (r == Ok) r = Text(s, std::string_view("PW sensor check pattern\r\n\0", 26));
    if (r == Ok) r = svc::SendLineFeeds(s, 1);
    if (r == Ok) r = svc::SendHorizontalMove(s, kLeftMargin);
    if (r == Ok) r = svc::SendRasterResolution(s, 104, 1, 2, 1);
    if (r == Ok) r = svc::SendRasterHeader(s, svc::ink::Black, 1, 2, kBarBytes, kBarLines);
    for (int line = 0; line < kBarLines && r == Ok; ++line) r = svc::RepeatSendLong(s, kBarBytes, 0xFF);
    if (r == Ok) r = svc::SendVerticalMove(s, kBarAdvance);
    if (r == Ok) r = svc::SendInitialize(s);
    if (r == Ok) r = s.Flush();
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    svc::fake::Fake().Reset();
    svc::fake::ScriptedHost host;
    svc::TPRaster stream;
    if (Compose(stream) != Ok) {
        std::fprintf(stderr, "make_clip: composing the pattern failed\n");
        return 1;
    }
    const std::vector<std::uint8_t> bytes = svc::fake::Fake().AcceptedBytes();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_clip: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
