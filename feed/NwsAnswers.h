#pragma once

#include "feed/Forecast.h"
#include "feed/Units.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace feed {

// One value of an answer from api.weather.gov as it came, or T's empty state with the reason.
template <class T> struct NwsParsed {
    std::optional<T> value;
    std::string error;
};

// What /points/{lat},{lon} tells about a place: the addresses to ask next and its time zone.
struct NwsPoint {
    std::string forecast;
    std::string forecastHourly;
    std::string stations;
    std::string timeZone; // IANA, "America/New_York"
};

// One station observation in SI units; a null value stays empty.
struct NwsObservation {
    std::int64_t time = 0; // seconds since the epoch
    std::string text;      // "Mostly Cloudy"
    std::string icon;
    std::optional<double> temperatureC;
    std::optional<double> windKmh;
    std::optional<double> humidity;
    std::optional<double> visibilityM;
    std::optional<double> pressureHpa;
};

// A forecast period: a day or night of the forecast, or an hour of the hourly one.
struct NwsPeriod {
    std::int64_t start = 0;
    std::int64_t end = 0;
    bool daytime = true;
    std::optional<double> temperatureC;
    std::optional<double> windKmh; // the higher figure of "5 to 10 mph"
    std::optional<double> humidity;
    std::string text; // shortForecast
};

struct NwsForecast {
    std::int64_t generatedAt = 0;
    std::vector<NwsPeriod> periods;
};

NwsParsed<NwsPoint> ParseNwsPoint(std::string_view json);
// Station identifiers, nearest first, as the list gives them.
NwsParsed<std::vector<std::string>> ParseNwsStations(std::string_view json);
// A single observation (/stations/{id}/observations/latest).
NwsParsed<NwsObservation> ParseNwsObservation(std::string_view json);
// A collection of them (/stations/{id}/observations?start=…), in any order.
NwsParsed<std::vector<NwsObservation>> ParseNwsObservations(std::string_view json);
NwsParsed<NwsForecast> ParseNwsForecast(std::string_view json);
// The problem an error answer names: "InvalidPoint: Unable to provide data for requested
// point 18.3,64.9", or empty when the body names none.
std::string NwsProblem(std::string_view json);

// Older answers are a failure of the source: its heavy users are served stale data.
inline constexpr std::int64_t kNwsMaxAgeSeconds = 2 * 60 * 60;

// Everything asked of api.weather.gov for one report.
struct NwsAnswers {
    double latitude = 0;
    double longitude = 0;
    std::string timeZone;
    std::vector<NwsObservation> latest;  // each station's latest, nearest station first
    std::vector<NwsObservation> history; // the nearest station's since local midnight or 4 h ago
    NwsForecast forecast;
    std::optional<NwsForecast> hourly;
};

// The values that the report still lacks from the nearest station: the hourly forecast and the
// next station could supply them. Empty when none is missing.
std::vector<std::string> NwsMissingValues(const NwsAnswers& answers, std::int64_t now);

// The document's values from what api.weather.gov answered, `now` being seconds since the epoch:
// current values from the nearest station's latest observation (a null one from the hourly period
// that holds now, else from the next station), the high and low from the forecast's periods, the
// trend from the nearest station's observations, and sunrise and sunset computed here.
ForecastResult NwsConditions(const NwsAnswers& answers, UnitSystem units, std::int64_t now);

} // namespace feed
