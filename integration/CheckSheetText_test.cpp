// The A3+ check sheet read back as a technician reads it: the program's own
// check print, composed against the fake printer link (whose EEPROM holds
// the values), printed by the virtual printer's engine, and its text lines
// read by an independent reader (the tesseract program). SVC_PAGES_DIR=folder
// keeps the sheet and the lines handed to the reader.
#include "adjust/VexCheckPattern.h"
#include "eeprom/VexHeadId.h"
#include "link/VexRaster.h"
#include "link/testing/FakeOutside.h"
#include "vprinter/engine/PrintEngine.h"
#include "integration/testing/EngineTesting.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kHeadId = "1A0B17F22KLMNPQR34567801P";
constexpr const char* kUsbId = "K7WX3H9M2PC85ND2X0";  // serial number and time stamp
constexpr unsigned kWasteInk = 48213;
constexpr std::uint8_t kPfEs3 = 173;
constexpr std::uint8_t kPfEs5 = 96;

// Offers the job to the engine as the printer's input buffer would, letting
// virtual time pass while the engine takes nothing.
std::size_t Drive(vp::Engine& engine, const std::vector<std::uint8_t>& job) {
    std::size_t at = 0;
    for (int idle = 0; at < job.size() && idle <= 2000;) {
        const std::size_t taken = engine.Consume(job.data() + at, job.size() - at);
        at += taken;
        idle = taken > 0 ? 0 : idle + 1;
        if (taken == 0) engine.Advance(100);
    }
    return at;
}

bool Blank(const vp::Image& page, int y) {
    const std::uint8_t* row = page.Row(y);
    return std::all_of(row, row + static_cast<std::ptrdiff_t>(page.width) * 3, [](std::uint8_t v) { return v == 255; });
}

// The lines of the sheet that hold nothing but text: runs of inked rows no
// taller than a text line, with blank paper above and below. They are
// stacked with white space between them into one image, magnified to the
// size of a 360 dpi page where the page is coarser.
vp::Image TextLines(const vp::Image& page, int dpi, int* count) {
    const int scale = std::max(1, 360 / dpi);
    const int lineRows = dpi / 6;  // a text line is 1/6 inch
    std::vector<std::pair<int, int>> lines;
    for (int y = 0; y < page.height;) {
        if (Blank(page, y)) {
            ++y;
            continue;
        }
        int end = y;
        while (end < page.height && !Blank(page, end)) ++end;
        if (end - y <= lineRows) lines.emplace_back(y, end);
        y = end;
    }
    *count = static_cast<int>(lines.size());
    const int margin = lineRows / 2;
    int height = margin;
    for (const auto& [top, bottom] : lines) height += bottom - top + 2 * margin;
    vp::Image out(scale * page.width, scale * height);
    int at = margin;
    for (const auto& [top, bottom] : lines) {
        at += margin;
        for (int y = top; y < bottom; ++y, ++at)
            for (int dy = 0; dy < scale; ++dy) {
                const std::uint8_t* in = page.Row(y);
                std::uint8_t* row = out.Row(scale * at + dy);
                for (int x = 0; x < page.width; ++x)
                    for (int dx = 0; dx < scale; ++dx)
                        std::copy(in + 3 * x, in + 3 * x + 3, row + 3 * (scale * x + dx));
            }
        at += margin;
    }
    return out;
}

// What the tesseract program reads in a PNG, a line of text per printed line.
std::string Read(const std::string& png) {
    // One thread: its parallel parts only cost time on a busy machine.
    const std::string command =
        "OMP_THREAD_LIMIT=1 " + std::string(SVC_TESSERACT) + " '" + png + "' stdout --psm 6 -l eng 2>/dev/null";
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer{};
        while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe)) text.append(buffer.data(), n);
        ::pclose(pipe);
    }
    return text;
}

// Whether the reader found `line`; letter case is not held against it (it
// takes a capital for a small letter now and then).
bool Found(const std::string& text, const std::string& line) {
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return s;
    };
    return lower(text).find(lower(line)) != std::string::npos;
}

class CheckSheetText : public ::testing::Test {
protected:
    void SetUp() override {
        const char* keep = std::getenv("SVC_PAGES_DIR");
        dir = keep ? fs::path(keep) / "check-sheet-text"
                   : fs::temp_directory_path() / ("check-sheet-text-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        removeDir = keep == nullptr;
    }
    void TearDown() override {
        if (removeDir) fs::remove_all(dir);
    }

    // The program's A3+ check print of a printer whose EEPROM holds the values above.
    std::vector<std::uint8_t> CheckPrintJob() {
        auto& fake = svc::fake::Fake();
        fake.Reset();
        svc::fake::ScriptedHost host;
        EXPECT_EQ(svc::HeadID().Write(kHeadId), svc::rc::Ok);
        const std::string usb = kUsbId;
        for (std::size_t i = 0; i < usb.size(); ++i) fake.Eeprom()[0xC2 + i] = static_cast<std::uint8_t>(usb[i]);
        fake.Eeprom()[0x20] = kWasteInk & 0xFF;
        fake.Eeprom()[0x21] = kWasteInk >> 8;
        fake.Eeprom()[0xB9] = kPfEs3;
        fake.Eeprom()[0xBA] = kPfEs5;
        fake.Eeprom()[0xE0] = 1;
        fake.SetStatus(svc::fake::MakeStatus(4, 0, {87, 64, 52, 39, 71, 28, 95}));
        fake.ClearCalls();
        EXPECT_EQ(svc::TPCheckPattern::A3PCheckPrint(svc::JobStream()), svc::rc::Ok);
        svc::JobStream().Flush();
        return fake.AcceptedBytes();
    }

    // Prints the job at `dpi` and reads the sheet's text lines.
    std::string PrintAndRead(const std::vector<std::uint8_t>& job, int dpi, vp::EngineOptions options = {}) {
        options.page.previewDpi = dpi;
        options.pagesDir = (dir / std::to_string(dpi)).string();
        vp::PrintEngine engine(machine, options);
        EXPECT_EQ(Drive(engine, job), job.size()) << engine.RefusalReason();
        EXPECT_EQ(engine.PagesEjected(), 1);
        if (engine.PageFiles().empty()) return {};
        vp::Image page;
        std::string error;
        EXPECT_TRUE(vp::ReadPng(engine.PageFiles().front(), &page, &error)) << error;
        int count = 0;
        const vp::Image lines = TextLines(page, dpi, &count);
        EXPECT_GE(count, 8) << "text lines found on the sheet";
        const std::string path = (dir / ("lines-" + std::to_string(dpi) + ".png")).string();
        EXPECT_TRUE(vp::WritePng(path, lines, &error)) << error;
        return Read(path);
    }

    fs::path dir;
    bool removeDir = true;
    vp::testing::FakeMachine machine;
};

TEST_F(CheckSheetText, TheReaderFindsTheCountersAndIdsOnTheSheet) {
    if (std::string(SVC_TESSERACT).empty())
        GTEST_SKIP() << "tesseract-ocr is not installed (tools/deps.sh installs it)";
    const std::vector<std::uint8_t> job = CheckPrintJob();
    for (int dpi : {180, 360}) {
        SCOPED_TRACE("preview at " + std::to_string(dpi) + " dpi");
        const std::string text = PrintAndRead(job, dpi);
        EXPECT_TRUE(Found(text, "Waste Ink Pad counter value = " + std::to_string(kWasteInk))) << text;
        EXPECT_TRUE(Found(text, std::string("Head ID = ") + kHeadId)) << text;
        EXPECT_TRUE(Found(text, std::string("USB ID = ") + kUsbId)) << text;
        EXPECT_TRUE(Found(text, "PF Measurement ES3 Data = " + std::to_string(kPfEs3))) << text;
        EXPECT_TRUE(Found(text, "PF Measurement ES5 Data = " + std::to_string(kPfEs5))) << text;
        EXPECT_TRUE(Found(text, "Market Destination is Japan")) << text;
        EXPECT_TRUE(Found(text, "Magenta = 52%")) << text;
        EXPECT_TRUE(Found(text, "Light Magenta = 28%")) << text;
        // The labels of the patterns, as the system spells them.
        for (const char* label : {"Beta pattern(BK-C-M/G-LC-LM/Y)", "Head Angular(Gray-Light Magenta)",
                                  "Bi-D Variable4 DOT", "Inclined Carridge"})
            EXPECT_TRUE(Found(text, label)) << label << "\n" << text;
    }
}

// The reader is no pushover: with the text marked by bars (no font) it
// finds none of the values.
TEST_F(CheckSheetText, TextMarkedWithBarsGivesTheReaderNothing) {
    if (std::string(SVC_TESSERACT).empty())
        GTEST_SKIP() << "tesseract-ocr is not installed (tools/deps.sh installs it)";
    vp::EngineOptions options;
    options.fonts = {(dir / "no-such-font.ttf").string()};
    const std::string text = PrintAndRead(CheckPrintJob(), 180, options);
    EXPECT_FALSE(Found(text, kHeadId)) << text;
    EXPECT_FALSE(Found(text, "Head ID")) << text;
    EXPECT_FALSE(Found(text, std::to_string(kWasteInk))) << text;
}

}  // namespace
