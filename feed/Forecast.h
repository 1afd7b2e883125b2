#pragma once

#include "feed/Units.h"

#include <optional>
#include <string>
#include <string_view>

namespace feed {

// The values of one feed document, already in the units asked for and written as the document
// carries them.
struct Conditions {
    std::string condition;   // "Partly cloudy"
    std::string code;        // WMO code, "2"
    std::string temperature; // whole degrees
    std::string windSpeed;   // whole mph or km/h
    std::string humidity;    // whole percent
    std::string visibility;  // miles or kilometres
    std::string pressure;    // inHg or millibars
    std::string trend;       // "1" rising, "2" falling, "0" steady, empty when unknown
    std::string low;         // today's, whole degrees
    std::string high;
    std::string sunrise; // "6:52 am" local time, "none" when the sun does not rise
    std::string sunset;
    std::string observed;     // local time of the current values, "2024-06-01T14:45"
    std::string date;         // today's local date, "2024-06-01"
    int utcOffsetSeconds = 0; // the place's, to tell its local day later
};

struct ForecastResult {
    std::optional<Conditions> conditions;
    std::string error;   // why there are none
    std::string warning; // what the conditions lack (an unknown trend), for the log
};

// Path and query of the Open-Meteo forecast request for a place: built from numbers and fixed
// words only. Empty when the coordinates are not finite or out of range.
std::string ForecastRequestPath(double latitude, double longitude, UnitSystem units);

// Reads an Open-Meteo forecast answer, converting each value from the unit the answer names.
// A current value that is missing or null is taken from the hourly list at the current hour;
// one found in neither, or not a number, in an unknown unit or out of any plausible range makes
// the whole answer unusable. The trend is left empty, with a warning, when no hourly pressure
// lies within an hour of three hours ago.
ForecastResult ParseForecast(std::string_view json, UnitSystem units);

// The reason of an Open-Meteo refusal ({"error":true,"reason":"..."}), reduced to printable
// ASCII and a sensible length; none when the text is no such refusal.
std::optional<std::string> RefusalReason(std::string_view json);

} // namespace feed
