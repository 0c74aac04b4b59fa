// The generated clip.prn: a complete print job of its own that the A4 print
// can send ahead of its pattern. It starts with its own reset, prints a
// heading and one solid black bar at 38/360 inch from the paper's edge, does
// not eject the page, and ends outside raster data and remote mode.
#include "vprinter/engine/JobDecoder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

namespace {

struct Recorder : vp::JobVisitor {
    int resets = 0, formFeeds = 0, blocks = 0, remote = 0, lines = 0;
    int x = 0;
    int barLeft = -1;
    bool solid = true;
    std::string text, error;
    void OnReset() override { ++resets; }
    void OnFormFeed() override { ++formFeeds; }
    void OnCarriageReturn() override { x = 0; }
    void OnHorizontalMove(int amount) override { x += amount; }
    void OnRasterBegin(const vp::RasterHeader&) override {
        ++blocks;
        barLeft = x;
    }
    void OnRasterLine(int, const std::uint8_t* data, std::size_t n) override {
        ++lines;
        for (std::size_t i = 0; i < n; ++i) solid = solid && data[i] == 0xFF;
    }
    void OnRemoteEnter() override { ++remote; }
    void OnText(std::uint8_t b) override { text += static_cast<char>(b); }
    void OnError(const std::string& reason) override { error = reason; }
};

std::vector<std::uint8_t> ReadClip() {
    std::ifstream in(SVC_CLIP_FILE, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ClipFile, IsACompleteJobWithOneBarAndNoEject) {
    const auto bytes = ReadClip();
    ASSERT_FALSE(bytes.empty()) << SVC_CLIP_FILE;
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0x1B);
    EXPECT_EQ(bytes[1], 0x40);
    EXPECT_EQ(bytes[bytes.size() - 2], 0x1B);
    EXPECT_EQ(bytes[bytes.size() - 1], 0x40);

    vp::JobDecoder decoder;
    Recorder r;
    EXPECT_EQ(decoder.Feed(bytes.data(), bytes.size(), r), bytes.size());
    decoder.Finish(r);
    EXPECT_FALSE(decoder.Failed()) << decoder.Error();
    EXPECT_TRUE(r.error.empty()) << r.error;
    EXPECT_FALSE(decoder.InRaster());
    EXPECT_FALSE(decoder.InRemoteMode());
    EXPECT_EQ(r.formFeeds, 0);
    EXPECT_EQ(r.remote, 0);
    EXPECT_EQ(r.blocks, 1);
    EXPECT_EQ(r.lines, 64);
    EXPECT_TRUE(r.solid);
    EXPECT_EQ(r.barLeft, 38);  // 1/360 inch: 2.7 mm, inside 1.9 to 3.5 mm
    EXPECT_NE(r.text.find("PW sensor check pattern"), std::string::npos);
}

}  // namespace
