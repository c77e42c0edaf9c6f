#include "support/FormatMilliseconds.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using Support::FormatMilliseconds;

namespace {

TEST(FormatMilliseconds, EveryStyleOfOneValue) {
    const std::vector<std::string> expected{
        "062'05.678", "62'05.6",    "01:02:05",    "1:02:05.6",    "62:05",        "3725.678", "3725.67",
        "62:05.678",  "01:02:05.6", "01:02:05.67", "01:02:05.678", "01時02分05秒", "010205"};
    for (int style = 0; style < 13; ++style) {
        int allow = 0;
        EXPECT_EQ(FormatMilliseconds(3725678, style, allow), expected[std::size_t(style)]) << style;
        EXPECT_EQ(FormatMilliseconds(3725678, style), expected[std::size_t(style)]) << style;
    }
    // The separators of style 11 are UTF-8.
    EXPECT_EQ(FormatMilliseconds(3725678, 11), "01\xE6\x99\x82"
                                               "02\xE5\x88\x86"
                                               "05\xE7\xA7\x92");
}

TEST(FormatMilliseconds, ZeroAndSmallValuesArePadded) {
    const std::vector<std::string> expected{
        "000'00.000", "00'00.0",    "00:00:00",    "0:00:00.0",    "00:00",        "000.000", "000.00",
        "00:00.000",  "00:00:00.0", "00:00:00.00", "00:00:00.000", "00時00分00秒", "000000"};
    for (int style = 0; style < 13; ++style)
        EXPECT_EQ(FormatMilliseconds(0, style), expected[std::size_t(style)]) << style;
    EXPECT_EQ(FormatMilliseconds(7, 5), "000.007");
    EXPECT_EQ(FormatMilliseconds(99, 6), "000.09");
    EXPECT_EQ(FormatMilliseconds(199, 3), "0:00:00.1");
}

TEST(FormatMilliseconds, UnknownStylesGiveNothing) {
    for (int style : {13, 14, 100, -1, INT_MIN}) {
        int allow = 1;
        EXPECT_EQ(FormatMilliseconds(3725678, style), "") << style;
        EXPECT_EQ(FormatMilliseconds(-3725678, style, allow), "") << style;
    }
}

TEST(FormatMilliseconds, NegativesAndTheFlag) {
    int allow = 0;
    EXPECT_EQ(FormatMilliseconds(-1500, 4, allow), "00:00");
    EXPECT_EQ(FormatMilliseconds(-3725678, 0, allow), "000'00.000");
    allow = 1;
    EXPECT_EQ(FormatMilliseconds(-1500, 4, allow), "-00:01");
    EXPECT_EQ(FormatMilliseconds(-3725678, 2, allow), "-01:02:05");
    EXPECT_EQ(FormatMilliseconds(-3725678, 11, allow), "-01時02分05秒");
    EXPECT_EQ(allow, 1) << "the flag is only read";
    // A positive value never gets a sign.
    EXPECT_EQ(FormatMilliseconds(1500, 4, allow), "00:01");
    // The most negative value has no 32-bit positive counterpart and must not overflow.
    EXPECT_EQ(FormatMilliseconds(INT32_MIN, 5, allow), "-2147483.648");
}

TEST(FormatMilliseconds, BoundariesAndWideNumbers) {
    EXPECT_EQ(FormatMilliseconds(59999, 0), "000'59.999");
    EXPECT_EQ(FormatMilliseconds(60000, 0), "001'00.000");
    EXPECT_EQ(FormatMilliseconds(3599999, 10), "00:59:59.999");
    EXPECT_EQ(FormatMilliseconds(3600000, 10), "01:00:00.000");
    // Hours are never taken modulo 24, and a field wider than its width is not cut.
    EXPECT_EQ(FormatMilliseconds(25 * 3600000, 2), "25:00:00");
    EXPECT_EQ(FormatMilliseconds(100 * 3600000 + 5, 2), "100:00:00");
    EXPECT_EQ(FormatMilliseconds(12 * 3600000, 3), "12:00:00.0");
    EXPECT_EQ(FormatMilliseconds(1000 * 60000, 0), "1000'00.000");
    EXPECT_EQ(FormatMilliseconds(1000 * 60000, 4), "1000:00");
    EXPECT_EQ(FormatMilliseconds(INT32_MAX, 12), "5963123");
    EXPECT_EQ(FormatMilliseconds(INT32_MAX, 11), "596時31分23秒");
    EXPECT_EQ(FormatMilliseconds(INT32_MAX, 6), "2147483.64");
}

} // namespace
