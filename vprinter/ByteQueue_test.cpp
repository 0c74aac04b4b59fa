#include "vprinter/ByteQueue.h"

#include <gtest/gtest.h>

#include <deque>

namespace vp {
namespace {

// Appends and takes in uneven steps, so the taken front is reclaimed at every
// kind of moment, and compares with a plain queue after each step.
TEST(ByteQueue, KeepsOrderWhileTheFrontIsReclaimed) {
    ByteQueue q;
    std::deque<std::uint8_t> expected;
    std::uint8_t next = 0;
    unsigned seed = 12345;
    for (int step = 0; step < 2000; ++step) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t n = (seed >> 16) % 700;
        if (step % 3 != 2) {
            std::vector<std::uint8_t> chunk(n);
            for (std::uint8_t& b : chunk) b = next++;
            q.Append(chunk.data(), chunk.size());
            expected.insert(expected.end(), chunk.begin(), chunk.end());
        } else {
            q.Drop(n);
            expected.erase(expected.begin(),
                           expected.begin() + static_cast<std::ptrdiff_t>(std::min(n, expected.size())));
        }
        ASSERT_EQ(q.size(), expected.size()) << "step " << step;
        ASSERT_TRUE(std::equal(expected.begin(), expected.end(), q.data())) << "step " << step;
    }
}

TEST(ByteQueue, TakingMoreThanWaitsEmptiesItAndItStaysUsable) {
    ByteQueue q;
    const std::uint8_t a[] = {1, 2, 3};
    q.Append(a, 3);
    q.Drop(10);
    EXPECT_TRUE(q.empty());
    q.Append(a + 1, 2);
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q.data()[0], 2);
    EXPECT_EQ(q.data()[1], 3);
    q.Clear();
    EXPECT_EQ(q.size(), 0u);
    q.Append(a, 0);
    EXPECT_TRUE(q.empty());
}

}  // namespace
}  // namespace vp
