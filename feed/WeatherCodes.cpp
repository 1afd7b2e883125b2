#include "feed/WeatherCodes.h"

#include <algorithm>
#include <array>
#include <utility>

namespace feed {
namespace {

// The codes a forecast model reports (WMO 4677, the subset used for present weather).
constexpr std::array<std::pair<int, std::string_view>, 28> kConditions{{
    {0, "Clear sky"},
    {1, "Mainly clear"},
    {2, "Partly cloudy"},
    {3, "Overcast"},
    {45, "Fog"},
    {48, "Freezing fog"},
    {51, "Light drizzle"},
    {53, "Moderate drizzle"},
    {55, "Dense drizzle"},
    {56, "Light freezing drizzle"},
    {57, "Dense freezing drizzle"},
    {61, "Light rain"},
    {63, "Moderate rain"},
    {65, "Heavy rain"},
    {66, "Light freezing rain"},
    {67, "Heavy freezing rain"},
    {71, "Light snow"},
    {73, "Moderate snow"},
    {75, "Heavy snow"},
    {77, "Snow grains"},
    {80, "Light rain showers"},
    {81, "Moderate rain showers"},
    {82, "Violent rain showers"},
    {85, "Light snow showers"},
    {86, "Heavy snow showers"},
    {95, "Thunderstorm"},
    {96, "Thunderstorm with light hail"},
    {99, "Thunderstorm with heavy hail"},
}};

} // namespace

std::string_view WeatherCodeText(int code) {
    const auto* found = std::find_if(kConditions.begin(), kConditions.end(),
                                     [code](const auto& entry) { return entry.first == code; });
    return found != kConditions.end() ? found->second : std::string_view("Unknown conditions");
}

} // namespace feed
