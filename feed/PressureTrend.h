#pragma once

namespace feed {

// Changes of sea-level pressure within this many hectopascals (0.02 inHg) count as steady.
inline constexpr double kSteadyPressureBand = 0.02 * 33.8638866667;

// The feed's trend code from the pressure now and three hours ago, both in hectopascals:
// '1' rising, '2' falling, '0' steady.
char PressureTrend(double nowHpa, double earlierHpa);

} // namespace feed
