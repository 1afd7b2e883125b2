#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace feed {

// A wall-clock time at the place the forecast is for.
struct LocalDateTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;

    // Minutes since 1970-01-01 00:00 on the same wall clock; for differences only.
    std::int64_t minutes() const;
    bool sameDay(const LocalDateTime& other) const {
        return year == other.year && month == other.month && day == other.day;
    }
};

// "2024-06-01T05:42" (seconds, if present, are ignored), or "2024-06-01" for a day.
std::optional<LocalDateTime> ParseLocalDateTime(std::string_view text);
// Seconds since the epoch, shifted by the place's offset from UTC.
LocalDateTime LocalFromUnix(std::int64_t unixSeconds, std::int64_t utcOffsetSeconds);

// "6:52 am", "12:05 pm", "12:30 am".
std::string ClockText(const LocalDateTime& time);
// "2024-06-01T05:42".
std::string IsoText(const LocalDateTime& time);

} // namespace feed
