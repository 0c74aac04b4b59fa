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
    EXPECT_EQ(wire[3 + 65535], kFrameData);
    EXPECT_EQ(wire[3 + 65535 + 1], 0x11);  // 4465 = 0x1171
    EXPECT_EQ(wire[3 + 65535 + 2], 0x71);

    // The payloads, in order, are the data; the reset frame stays empty.
    std::vector<std::uint8_t> joined(wire.begin() + 3, wire.begin() + 3 + 65535);
    joined.insert(joined.end(), wire.begin() + 3 + 65535 + 3, wire.begin() + 3 + 65535 + 3 + 4465);
    EXPECT_EQ(joined, data);
    EXPECT_EQ(wire[wire.size() - 3], kFrameReset);
    EXPECT_EQ(wire[wire.size() - 2], 0x00);
    EXPECT_EQ(wire[wire.size() - 1], 0x00);
}

}  // namespace
}  // namespace vp
