#pragma once

#include <chrono>
#include <string_view>

namespace feed {

// How Open-Meteo weighs a forecast request against its limits: one call per ten variables asked
// for (current, hourly and daily together), at least one call; in tenths of a call.
unsigned CallWeightTenths(std::string_view pathAndQuery);

// When to ask Open-Meteo again after it refused with status 429 and `reason`: at the end of the
// window the reason names, as its rate limiter counts them (whole minutes, hours and days in UTC);
// after a minute when the reason names none.
std::chrono::system_clock::time_point BackOffEnd(std::string_view reason,
                                                 std::chrono::system_clock::time_point now);

} // namespace feed
