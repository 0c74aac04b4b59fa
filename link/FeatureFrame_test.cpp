// The frame routines that do not depend on widgets.
#include "link/FeatureFrame.h"

#include <gtest/gtest.h>

#include <climits>

namespace svc {
namespace {

TEST(NumberFromText, OnlyAnOptionalSignAndDecimalDigitsAreANumber) {
    constexpr int kNaN = -999;
    EXPECT_EQ(NumberFromText("5", kNaN), 5);
    EXPECT_EQ(NumberFromText("-72", kNaN), -72);
    EXPECT_EQ(NumberFromText("+4", kNaN), 4);
    EXPECT_EQ(NumberFromText("007", kNaN), 7);
    for (const char* bad : {"", "-", "+", "+5 ", " 5", "0x10", "1e2", "5-", "--5", "+-5", "٣", "4.0"})
        EXPECT_EQ(NumberFromText(bad, kNaN), kNaN) << '"' << bad << '"';
    EXPECT_EQ(NumberFromText("2147483647", kNaN), INT_MAX);
    EXPECT_EQ(NumberFromText("2147483648", kNaN), kNaN);
    EXPECT_EQ(NumberFromText("-99999999999999999999", kNaN), kNaN);
}

}  // namespace
}  // namespace svc
