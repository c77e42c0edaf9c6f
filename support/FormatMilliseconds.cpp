#include "support/FormatMilliseconds.h"

#include "support/ErrorTrap.h"

#include <cstdio>

namespace Support {

namespace {

// Zero-padded to at least pWidth digits; a wider number keeps all its digits.
std::string Field(std::int64_t pValue, int pWidth) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld", pWidth, static_cast<long long>(pValue));
    return text;
}

} // namespace

std::string FormatMilliseconds(std::int32_t pMilliseconds, int pStyle, int& pAllowNegative) {
    std::string text;
    // A trapped error leaves whatever had been built by then.
    Trapped(0, [&] {
        // 64 bits so that the most negative 32-bit value can be negated.
        std::int64_t t = pMilliseconds;
        if (t < 0) {
            if (pAllowNegative != 0) {
                text = "-";
                t = -t;
            } else {
                t = 0;
            }
        }
        const std::int64_t minutes = t / 60000;
        const std::int64_t seconds = t / 1000;
        const std::int64_t hours = t / 3600000;
        const std::string minuteOfHour = Field(minutes % 60, 2);
        const std::string secondOfMinute = Field(seconds % 60, 2);
        const std::int64_t thousandths = t % 1000;
        const std::int64_t hundredths = (t / 10) % 100;
        const std::int64_t tenths = (t / 100) % 10;
        const std::string hms = Field(hours, 2) + ":" + minuteOfHour + ":" + secondOfMinute;
        switch (pStyle) {
        case 0:
            text += Field(minutes, 3) + "'" + secondOfMinute + "." + Field(thousandths, 3);
            break;
        case 1:
            text += Field(minutes, 2) + "'" + secondOfMinute + "." + Field(tenths, 1);
            break;
        case 2:
            text += hms;
            break;
        case 3:
            text += Field(hours, 1) + ":" + minuteOfHour + ":" + secondOfMinute + "." + Field(tenths, 1);
            break;
        case 4:
            text += Field(minutes, 2) + ":" + secondOfMinute;
            break;
        case 5:
            text += Field(seconds, 3) + "." + Field(thousandths, 3);
            break;
        case 6:
            text += Field(seconds, 3) + "." + Field(hundredths, 2);
            break;
        case 7:
            text += Field(minutes, 2) + ":" + secondOfMinute + "." + Field(thousandths, 3);
            break;
        case 8:
            text += hms + "." + Field(tenths, 1);
            break;
        case 9:
            text += hms + "." + Field(hundredths, 2);
            break;
        case 10:
            text += hms + "." + Field(thousandths, 3);
            break;
        case 11:
            text += Field(hours, 2) + "時" + minuteOfHour + "分" + secondOfMinute + "秒";
            break;
        case 12:
            text += Field(hours, 2) + minuteOfHour + secondOfMinute;
            break;
        default:
            // Not even the sign: an unknown style gives nothing at all.
            text.clear();
            break;
        }
        return 0;
    });
    return text;
}

std::string FormatMilliseconds(std::int32_t pMilliseconds, int pStyle) {
    int allowNegative = 0;
    return FormatMilliseconds(pMilliseconds, pStyle, allowNegative);
}

} // namespace Support
