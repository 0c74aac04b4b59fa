// Makes the corpus of degraded pages kept in pagereader/testing/corpus/: a
// few pages printed by the in-process virtual printer with hidden errors,
// degraded as a scanner or a phone would, written as the files a person
// would give the program, each with a sidecar (NAME.expected) that says what
// the page is, what the session knew and what the reader should propose.
//
//     svc_pagereader_make_corpus DIR
//
// Everything comes from fixed seeds: the same build makes the same files.
#include "pagereader/PageReader.h"
#include "pagereader/testing/Degrade.h"
#include "pagereader/testing/ImageWrite.h"
#include "integration/testing/PrintedPages.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

namespace pr = svc::pagereader;
namespace t = svc::pagereader::testing;

struct Entry {
    const char* name;
    pr::Kind kind;
    int model;
    std::uint32_t printer;  // the hidden errors' seed
    std::uint32_t seed;     // the degradation's seed (the first from here that draws a scan or photo as `phone`)
    bool phone;
    double dpi;
    bool upsideDown;
    bool png;  // lossless (PNG), else JPEG at quality 60
};

// Kept small: JPEG at 150-200 dpi (pixel shift at both: at 150 dpi its
// candidates stand on whole pixels), one PNG upside down (noise-free, so it
// compresses), one phone photo.
constexpr Entry kEntries[] = {
    {"pf-scan-200dpi", pr::Kind::Pf, 1, 901, 11, false, 200, false, false},
    {"head-angular-scan-150dpi", pr::Kind::HeadAngular, 2, 902, 31, false, 150, false, false},
    {"cut-scan-150dpi-upside-down", pr::Kind::Cut, 1, 903, 51, false, 150, true, true},
    {"pw-phone-photo", pr::Kind::Pw, 2, 904, 71, true, 190, false, false},
    {"pixel-shift-scan-200dpi", pr::Kind::PixelShift, 1, 905, 91, false, 200, false, false},
    {"pixel-shift-scan-150dpi", pr::Kind::PixelShift, 2, 906, 111, false, 150, false, false},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    for (const Entry& entry : kEntries) {
        t::PrintedPage printed;
        std::string error;
        if (!t::PrintPage(entry.kind, entry.model, entry.printer, &printed, &error)) {
            std::fprintf(stderr, "%s: %s\n", entry.name, error.c_str());
            return 1;
        }
        // The first seed from the entry's on that draws a scan or a photo as wanted.
        std::uint32_t seed = entry.seed;
        while (t::Draw(seed).phone != entry.phone) ++seed;
        t::Degradation d = t::Draw(seed);
        // Margins stay the same on the glass at the corpus's resolution.
        const double k = entry.dpi / d.dpi;
        d.left = static_cast<int>(d.left * k), d.top = static_cast<int>(d.top * k);
        d.right = static_cast<int>(d.right * k), d.bottom = static_cast<int>(d.bottom * k);
        d.dpi = entry.dpi;
        d.upsideDown = entry.upsideDown;
        if (entry.png) d.noise = 0;
        d.jpegQuality = 0;  // the file itself is the JPEG
        pr::Image picture = t::Apply(printed.page, d, printed.sheetWidthMm, printed.sheetHeightMm);
        d.jpegQuality = entry.png ? 0 : 60;
        const std::string base = dir + "/" + entry.name;
        const bool written =
            entry.png ? t::WritePng(base + ".png", picture, &error) : t::WriteJpeg(base + ".jpg", picture, 60, &error);
        if (!written) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        pr::Reading right;
        right.kind = entry.kind;
        for (const auto& [name, value] : printed.right) {
            pr::Item item;
            item.name = name;
            item.value = value;
            right.items.push_back(item);
        }
        std::ofstream out(base + ".expected");
        out << "# " << pr::KindName(entry.kind) << " page, printer seed " << entry.printer << ", " << d.Describe()
            << "\n";
        out << "kind " << pr::KindName(entry.kind) << "\nmodel " << entry.model << "\n";
        for (const auto& [name, value] : printed.context.stored) out << "stored " << name << "=" << value << "\n";
        for (const auto& [name, value] : printed.right) out << "right " << name << "=" << value << "\n";
        out << "proposal " << right.InputLine() << "\n";
        if (!out) {
            std::fprintf(stderr, "cannot write %s.expected\n", base.c_str());
            return 1;
        }
        std::printf("%s: %s\n", entry.name, d.Describe().c_str());
    }
    return 0;
}
