#include "support/FormatMilliseconds.h"

#include <gtest/gtest.h>

using Support::FormatMilliseconds;

namespace {

TEST(FormatMilliseconds, EveryStyleOfOneValue) {
    const std::vector<std::string> expected{
        "062'05.678", "62'05.6",    "01:02:05",    "1:02:05.6",    "62:05",        "3725.678", "3725.67",
        "62:05.678",  "01:02:05.6", "01:02:05.67", "01:02:05.678", "01時02分05秒", "010205"};
    for (int style = 0; style < 13; ++style)
        EXPECT_EQ(FormatMilliseconds(3725678, style), expected[std::size_t(style)]) << style;
    EXPECT_EQ(FormatMilliseconds(3725678, 13), "");
    EXPECT_EQ(FormatMilliseconds(3725678, -1), "");
}

TEST(FormatMilliseconds, NegativesBoundariesAndWideNumbers) {
    int allow = 0;
    EXPECT_EQ(FormatMilliseconds(-1500, 4, allow), "00:00");
    allow = 1;
    EXPECT_EQ(FormatMilliseconds(-1500, 4, allow), "-00:01");
    EXPECT_EQ(FormatMilliseconds(-3725678, 2, allow), "-01:02:05");
    EXPECT_EQ(FormatMilliseconds(59999, 0), "000'59.999");
    EXPECT_EQ(FormatMilliseconds(60000, 0), "001'00.000");
    // Hours are never taken modulo 24, and a field wider than its width is not cut.
    EXPECT_EQ(FormatMilliseconds(100 * 3600000 + 5, 2), "100:00:00");
    EXPECT_EQ(FormatMilliseconds(1000 * 60000, 0), "1000'00.000");
    EXPECT_EQ(FormatMilliseconds(2147483647, 12), "5963123");
    allow = 1;
    EXPECT_EQ(FormatMilliseconds(-2147483647 - 1, 5, allow), "-2147483.648");
}

} // namespace
