#include "feed/LocalTime.h"

#include <charconv>
#include <cstdio>

namespace feed {
namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

LocalDateTime CivilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    LocalDateTime result;
    result.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0));
    result.month = static_cast<int>(m);
    result.day = static_cast<int>(d);
    return result;
}

bool Digits(std::string_view text, std::size_t at, std::size_t count, int& out) {
    if (at + count > text.size())
        return false;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    std::from_chars(text.data() + at, text.data() + at + count, out);
    return true;
}

} // namespace

std::int64_t LocalDateTime::minutes() const {
    const std::int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return days * 1440 + hour * 60 + minute;
}

std::optional<LocalDateTime> ParseLocalDateTime(std::string_view text) {
    LocalDateTime t;
    if (!Digits(text, 0, 4, t.year) || text.size() < 10 || text[4] != '-' ||
        !Digits(text, 5, 2, t.month) || text[7] != '-' || !Digits(text, 8, 2, t.day))
        return std::nullopt;
    if (text.size() > 10) {
        if (text.size() < 16 || text[10] != 'T' || !Digits(text, 11, 2, t.hour) ||
            text[13] != ':' || !Digits(text, 14, 2, t.minute))
            return std::nullopt;
    }
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59)
        return std::nullopt;
    return t;
}

LocalDateTime LocalFromUnix(std::int64_t unixSeconds, std::int64_t utcOffsetSeconds) {
    const std::int64_t local = unixSeconds + utcOffsetSeconds;
    std::int64_t days = local / 86400;
    std::int64_t rest = local % 86400;
    if (rest < 0) {
        rest += 86400;
        days -= 1;
    }
    LocalDateTime t = CivilFromDays(days);
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest % 3600 / 60);
    return t;
}

std::string ClockText(const LocalDateTime& time) {
    const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
    char text[16];
    std::snprintf(text, sizeof text, "%d:%02d %s", hour12, time.minute,
                  time.hour < 12 ? "am" : "pm");
    return text;
}

std::string IsoText(const LocalDateTime& time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d", time.year, time.month, time.day,
                  time.hour, time.minute);
    return text;
}

} // namespace feed
