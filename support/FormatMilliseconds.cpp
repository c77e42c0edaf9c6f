#include "support/FormatMilliseconds.h"

#include <cstdio>

namespace Support {

namespace {
std::string Field(std::int64_t pValue, int pWidth) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld", pWidth, static_cast<long long>(pValue));
    return text;
}
} // namespace

std::string FormatMilliseconds(std::int32_t pMilliseconds, int pStyle, int& pAllowNegative) {
    std::int64_t t = pMilliseconds;
    std::string sign;
    if (t < 0) {
        if (pAllowNegative != 0) {
            sign = "-";
            t = -t;
        } else {
            t = 0;
        }
    }
    const std::int64_t minutes = t / 60000;
    const std::int64_t seconds = t / 1000;
    const std::int64_t hours = t / 3600000;
    const std::int64_t minuteOfHour = minutes % 60;
    const std::int64_t secondOfMinute = seconds % 60;
    const std::int64_t thousandths = t % 1000;
    const std::int64_t hundredths = (t / 10) % 100;
    const std::int64_t tenths = (t / 100) % 10;
    const std::string hms = Field(hours, 2) + ":" + Field(minuteOfHour, 2) + ":" + Field(secondOfMinute, 2);
    switch (pStyle) {
    case 0:
        return sign + Field(minutes, 3) + "'" + Field(secondOfMinute, 2) + "." + Field(thousandths, 3);
    case 1:
        return sign + Field(minutes, 2) + "'" + Field(secondOfMinute, 2) + "." + Field(tenths, 1);
    case 2:
        return sign + hms;
    case 3:
        return sign + Field(hours, 1) + ":" + Field(minuteOfHour, 2) + ":" + Field(secondOfMinute, 2) + "." +
               Field(tenths, 1);
    case 4:
        return sign + Field(minutes, 2) + ":" + Field(secondOfMinute, 2);
    case 5:
        return sign + Field(seconds, 3) + "." + Field(thousandths, 3);
    case 6:
        return sign + Field(seconds, 3) + "." + Field(hundredths, 2);
    case 7:
        return sign + Field(minutes, 2) + ":" + Field(secondOfMinute, 2) + "." + Field(thousandths, 3);
    case 8:
        return sign + hms + "." + Field(tenths, 1);
    case 9:
        return sign + hms + "." + Field(hundredths, 2);
    case 10:
        return sign + hms + "." + Field(thousandths, 3);
    case 11:
        return sign + Field(hours, 2) + "時" + Field(minuteOfHour, 2) + "分" + Field(secondOfMinute, 2) +
               "秒";
    case 12:
        return sign + Field(hours, 2) + Field(minuteOfHour, 2) + Field(secondOfMinute, 2);
    default:
        return {};
    }
}

std::string FormatMilliseconds(std::int32_t pMilliseconds, int pStyle) {
    int allowNegative = 0;
    return FormatMilliseconds(pMilliseconds, pStyle, allowNegative);
}

} // namespace Support
