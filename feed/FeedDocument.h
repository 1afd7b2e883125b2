#pragma once

#include "core/FeedContract.h"
#include "feed/Forecast.h"
#include "feed/Units.h"
#include "feed/ZipTable.h"

#include <array>
#include <string>
#include <string_view>

namespace feed {

// The keys the program reads from a feed document.
inline constexpr const auto& kFeedKeys = FeedContract::kKeys;

// Whom the data comes from; carried by every document and repeated in the README. The weather
// part names the source that answered.
inline constexpr std::string_view kCreditText =
    "Weather data by Open-Meteo.com, licensed CC BY 4.0. ZIP code places from the zipcodes "
    "package, with coordinates from GeoNames, licensed CC BY 4.0.";
inline constexpr std::string_view kNwsCreditText =
    "Weather data by the US National Weather Service (api.weather.gov), public domain. ZIP code "
    "places from the zipcodes package, with coordinates from GeoNames, licensed CC BY 4.0.";

// The feed document for a place. The program searches it as text, so every attribute name and
// every text is chosen not to contain one key inside another (as "context=" would contain
// "text=").
std::string FeedDocument(const Place& place, const Conditions& conditions, UnitSystem units,
                         std::string_view credit = kCreditText);

// The document for a ZIP code that names no known place: it says "not found", which the program
// shows as "ZIP Not Found". No other document contains those words.
const std::string& NotFoundDocument();

} // namespace feed
