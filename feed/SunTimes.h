#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace feed {

// Sunrise and sunset as seconds since the epoch; no value when the sun stays below the horizon
// all day (polar night) or above it (polar day).
struct SunTimes {
    std::optional<std::int64_t> sunrise;
    std::optional<std::int64_t> sunset;
};

// NOAA's solar position algorithm for the given civil date at a place, with the sun's upper limb
// on a sea-level horizon corrected for refraction (zenith 90.833°). The events are those around
// that date's solar noon, which is the local date's own noon wherever the clock follows the sun.
SunTimes ComputeSunTimes(double latitude, double longitude, int year, int month, int day);

// "6:52 am" on the clock of the IANA time zone named, or "none" for no value; empty when the
// zone is unknown.
std::string SunClockText(const std::optional<std::int64_t>& when, const std::string& timeZone);

} // namespace feed
