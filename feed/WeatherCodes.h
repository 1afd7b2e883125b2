#pragma once

#include <string_view>

namespace feed {

// The condition named by a WMO weather interpretation code, in plain English ("Clear sky",
// "Light drizzle"). A code outside the table gives "Unknown conditions".
std::string_view WeatherCodeText(int code);

} // namespace feed
