#include "vprinter/Framing.h"

#include <gtest/gtest.h>

#include <numeric>

namespace vp {
namespace {

TEST(Framing, SplitsLongDataAndKeepsEmptyFrames) {
    std::vector<std::uint8_t> data(70000);
    std::iota(data.begin(), data.end(), 0);
    std::vector<std::uint8_t> wire;
    AppendFrames(wire, kFrameData, data.data(), data.size());
    AppendFrames(wire, kFrameReset, nullptr, 0);
    ASSERT_EQ(wire.size(), 3 + 65535 + 3 + 4465 + 3u);
    EXPECT_EQ(wire[0], kFrameData);
    EXPECT_EQ(wire[1], 0xFF);
    EXPECT_EQ(wire[2], 0xFF);
    EXPECT_EQ(wire[3 + 65535 + 1], 0x11);  // 4465 = 0x1171
    EXPECT_EQ(wire[3 + 65535 + 2], 0x71);

    // Fed one byte at a time, the same frames come back.
    FrameReader reader;
    std::vector<Frame> frames;
    for (std::uint8_t b : wire) {
        reader.Feed(&b, 1);
        while (auto f = reader.Next()) frames.push_back(*f);
    }
    ASSERT_EQ(frames.size(), 3u);
    std::vector<std::uint8_t> joined = frames[0].payload;
    joined.insert(joined.end(), frames[1].payload.begin(), frames[1].payload.end());
    EXPECT_EQ(joined, data);
    EXPECT_EQ(frames[2].kind, kFrameReset);
    EXPECT_TRUE(frames[2].payload.empty());
    EXPECT_EQ(reader.Buffered(), 0u);
}

TEST(Framing, WaitsForTheWholeFrame) {
    const std::uint8_t partial[] = {0x82, 0x00, 0x05, 'a', 'b'};
    FrameReader reader;
    reader.Feed(partial, sizeof partial);
    EXPECT_FALSE(reader.Next());
    const std::uint8_t rest[] = {'c', 'd', 'e', 0x7F};
    reader.Feed(rest, sizeof rest);
    const auto f = reader.Next();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, 0x82);
    EXPECT_EQ(std::string(f->payload.begin(), f->payload.end()), "abcde");
    EXPECT_FALSE(reader.Next());
    EXPECT_EQ(reader.Buffered(), 1u);
}

}  // namespace
}  // namespace vp
