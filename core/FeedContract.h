#pragma once

#include <array>
#include <string_view>

// What the program and its feed service agree on: the request's path, the keys the program reads
// from a document, and the words of the document for an unknown ZIP code.
namespace FeedContract {

// Asked as path "?p=" ZIP "&u=" unit letter ("f" or "c").
inline constexpr std::string_view kPath = "/forecastrss";

// The keys, each with its leading blanks. A document carries each exactly once, so that the first
// occurrence is always the intended value.
enum Key : std::size_t {
    City,
    Text,
    Temp,
    Speed,
    Low,
    High,
    Humidity,
    Visibility,
    Pressure,
    Rising,
    Sunrise,
    Sunset
};
inline constexpr std::array<std::string_view, 12> kKeys{
    "city=",      "text=",         "temp=",       "  speed=", "low=",     "high=",
    " humidity=", "  visibility=", "  pressure=", "rising=",  "sunrise=", "sunset="};

// Only the document for an unknown ZIP code holds these words; the program then shows
// "ZIP Not Found".
inline constexpr std::string_view kNotFound = "not found";

} // namespace FeedContract
