// Scanning through SANE with the two scanners SANE itself ships for this:
// its file reader (pnm: a picture file served as a scan, also as a
// three-pass scanner and as a hand scanner that does not know the height)
// and its frontend tester (test: solid pages at every depth, slow reads).
#include "pagereader/Scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace svc::pagereader {
namespace {

namespace fs = std::filesystem;

class ScannerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ScanningAvailable()) GTEST_SKIP() << "built without SANE";
        folder_ = fs::path(::testing::TempDir()) / ("svc_scanner_" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        // SANE looks for its backends in this folder only: no real scanner is probed.
        std::ofstream(folder_ / "dll.conf") << "pnm\ntest\n";
        ::setenv("SANE_CONFIG_DIR", folder_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("SANE_CONFIG_DIR");
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    // A picture with a different colour in every pixel, as a binary PPM.
    std::string WritePicture(Image* picture) {
        picture->width = 37;
        picture->height = 23;
        picture->rgb.resize(37 * 23 * 3);
        for (int y = 0; y < picture->height; ++y)
            for (int x = 0; x < picture->width; ++x) {
                std::uint8_t* p = picture->Row(y) + x * 3;
                p[0] = static_cast<std::uint8_t>(x * 7), p[1] = static_cast<std::uint8_t>(y * 11);
                p[2] = static_cast<std::uint8_t>(x * y);
            }
        const fs::path path = folder_ / "page.ppm";
        std::ofstream out(path, std::ios::binary);
        out << "P6\n" << picture->width << " " << picture->height << "\n255\n";
        out.write(reinterpret_cast<const char*>(picture->rgb.data()),
                  static_cast<std::streamsize>(picture->rgb.size()));
        return path.string();
    }
    // Why the scan was refused (it must be).
    static std::string Refused(const ScanRequest& request) {
        std::string error;
        EXPECT_FALSE(ScanPage(request, &error));
        return error;
    }
    fs::path folder_;
};

TEST_F(ScannerTest, AFileServedAsAScanArrivesPixelForPixelInEveryWayAScannerSendsIt) {
    Image picture;
    const std::string file = WritePicture(&picture);
    for (const char* way : {"", "three-pass", "hand-scanner"}) {
        SCOPED_TRACE(way);
        ScanRequest request;
        request.device = "pnm:0";
        request.dpi = 150;
        request.options = {{"filename", file}};
        if (*way) request.options.emplace_back(way, "yes");
        std::string error;
        const std::optional<Image> scan = ScanPage(request, &error);
        ASSERT_TRUE(scan) << error;
        EXPECT_EQ(scan->width, picture.width);
        EXPECT_EQ(scan->height, picture.height);
        EXPECT_EQ(scan->rgb, picture.rgb);
        EXPECT_EQ(scan->dpi, 150);
    }
    // A grey scan fills all three channels.
    ScanRequest grey;
    grey.device = "pnm:0";
    grey.options = {{"filename", file}, {"grayify", "yes"}};
    std::string error;
    const std::optional<Image> scan = ScanPage(grey, &error);
    ASSERT_TRUE(scan) << error;
    ASSERT_EQ(scan->rgb.size(), picture.rgb.size());
    int differentChannels = 0;
    for (std::size_t i = 0; i < scan->rgb.size(); i += 3)
        differentChannels += scan->rgb[i] != scan->rgb[i + 1] || scan->rgb[i] != scan->rgb[i + 2];
    EXPECT_EQ(differentChannels, 0);
    EXPECT_NE(scan->rgb, picture.rgb);
}

// SANE's frontend tester leaks buffers of its own (in its reader thread, and
// when a read is cancelled), which the leak checker cannot tell from ours
// once sane_exit has unloaded it: the sanitizer build leaves it out.
#if defined(SVC_UNDER_SANITIZERS)
#define SVC_SKIP_FRONTEND_TESTER() GTEST_SKIP() << "SANE's frontend tester leaks buffers of its own"
#else
#define SVC_SKIP_FRONTEND_TESTER() (void)0
#endif

TEST_F(ScannerTest, EveryDepthAndFrameOrderBecomesEightBitColour) {
    SVC_SKIP_FRONTEND_TESTER();
    struct Case {
        const char* mode;
        const char* depth;
        const char* picture;
        std::uint8_t expected;
    };
    for (const Case& c : {Case{"Color", "16", "Solid white", 255}, Case{"Color", "8", "Solid black", 0},
                          Case{"Gray", "1", "Solid black", 0}, Case{"Gray", "1", "Solid white", 255},
                          Case{"Gray", "16", "Solid white", 255}}) {
        SCOPED_TRACE(std::string(c.mode) + " " + c.depth + " " + c.picture);
        ScanRequest request;
        request.device = "test:0";
        request.dpi = 50;
        request.options = {{"mode", c.mode}, {"depth", c.depth}, {"test-picture", c.picture}};
        std::string error;
        const std::optional<Image> scan = ScanPage(request, &error);
        ASSERT_TRUE(scan) << error;
        EXPECT_GT(scan->width, 100);
        EXPECT_GT(scan->height, 100);
        EXPECT_EQ(scan->dpi, 50);  // a resolution of fixed-point type, set and read back
        EXPECT_EQ(std::count(scan->rgb.begin(), scan->rgb.end(), c.expected),
                  static_cast<std::ptrdiff_t>(scan->rgb.size()));
    }
    // Three colour frames, in an order of the scanner's choosing.
    ScanRequest threePass;
    threePass.device = "test:0";
    threePass.dpi = 50;
    threePass.options = {{"test-picture", "Solid white"}, {"three-pass", "yes"}, {"three-pass-order", "GBR"}};
    std::string error;
    const std::optional<Image> scan = ScanPage(threePass, &error);
    ASSERT_TRUE(scan) << error;
    EXPECT_EQ(std::count(scan->rgb.begin(), scan->rgb.end(), 255), static_cast<std::ptrdiff_t>(scan->rgb.size()));
}

TEST_F(ScannerTest, WhatCannotBeScannedSaysWhy) {
    ScanRequest missing;
    missing.device = "pnm:7";
    EXPECT_EQ(Refused(missing).rfind("the scanner 'pnm:7' cannot be opened (", 0), 0u);

    ScanRequest option;
    option.device = "test:0";
    option.options = {{"lamp-colour", "green"}};
    EXPECT_EQ(Refused(option), "the scanner has no option 'lamp-colour'");
    option.options = {{"depth", "deep"}};
    EXPECT_EQ(Refused(option), "the scanner's option 'depth' takes one number, not 'deep'");
    option.options = {{"three-pass", "perhaps"}};
    EXPECT_EQ(Refused(option), "the scanner's option 'three-pass' takes yes or no, not 'perhaps'");

    // A file the file reader cannot serve.
    ScanRequest noFile;
    noFile.device = "pnm:0";
    noFile.options = {{"filename", (folder_ / "none.ppm").string()}};
    EXPECT_EQ(Refused(noFile).rfind("the scanner 'pnm:0' did not scan (", 0), 0u);
}

TEST_F(ScannerTest, AScannerThatStallsIsGivenUpAtTheDeadline) {
    SVC_SKIP_FRONTEND_TESTER();
    ScanRequest slow;
    slow.device = "test:0";
    slow.dpi = 100;
    slow.options = {
        {"read-limit", "yes"}, {"read-limit-size", "16"}, {"read-delay", "yes"}, {"read-delay-duration", "200000"}};
    slow.stall = std::chrono::milliseconds(50);
    EXPECT_EQ(Refused(slow), "the scanner sent nothing for 1 s; the scan was given up");
}

TEST(ScanOptions, AreNameEqualsValueWords) {
    std::vector<std::pair<std::string, std::string>> options;
    std::string error;
    ASSERT_TRUE(ParseScanOptions("  source=Flatbed  filename=/tmp/a=b.ppm ", &options, &error));
    ASSERT_EQ(options.size(), 2u);
    EXPECT_EQ(options[0], (std::pair<std::string, std::string>{"source", "Flatbed"}));
    EXPECT_EQ(options[1], (std::pair<std::string, std::string>{"filename", "/tmp/a=b.ppm"}));
    EXPECT_FALSE(ParseScanOptions("source", &options, &error));
    EXPECT_EQ(error, "'source' is not NAME=VALUE");
    EXPECT_FALSE(ParseScanOptions("=x", &options, &error));
}

}  // namespace
}  // namespace svc::pagereader
