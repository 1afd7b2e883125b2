#include "feed/Units.h"

#include <cmath>
#include <cstdio>

namespace feed {
namespace {

constexpr double kMetresPerMile = 1609.344;
constexpr double kMetresPerFoot = 0.3048;
constexpr double kHectopascalsPerInchHg = 33.8638866667;
constexpr double kKmhPerMph = 1.609344;

std::string Printed(int decimals, double value) {
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
}

// "%.1f" without a trailing ".0".
std::string OneDecimal(double value) {
    std::string text = Printed(1, value);
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0)
        text.resize(text.size() - 2);
    return text == "-0" ? std::string("0") : text;
}

} // namespace

std::optional<UnitSystem> UnitSystemFromLetter(std::string_view letter) {
    if (letter == "f")
        return UnitSystem::Standard;
    if (letter == "c")
        return UnitSystem::Metric;
    return std::nullopt;
}

char UnitLetter(UnitSystem units) {
    return units == UnitSystem::Standard ? 'f' : 'c';
}

std::optional<double> ConvertTemperature(double value, std::string_view unit, UnitSystem to) {
    const bool celsius = unit == "°C" || unit == "C" || unit == "celsius";
    const bool fahrenheit = unit == "°F" || unit == "F" || unit == "fahrenheit";
    if (!celsius && !fahrenheit)
        return std::nullopt;
    if (to == UnitSystem::Standard)
        return fahrenheit ? value : value * 9 / 5 + 32;
    return celsius ? value : (value - 32) * 5 / 9;
}

std::optional<double> ConvertSpeed(double value, std::string_view unit, UnitSystem to) {
    double kmh = 0;
    if (unit == "km/h" || unit == "kmh")
        kmh = value;
    else if (unit == "mph" || unit == "mp/h")
        return to == UnitSystem::Standard ? value : value * kKmhPerMph;
    else if (unit == "m/s" || unit == "ms")
        kmh = value * 3.6;
    else if (unit == "kn" || unit == "kt" || unit == "knots")
        kmh = value * 1.852;
    else
        return std::nullopt;
    return to == UnitSystem::Metric ? kmh : kmh / kKmhPerMph;
}

std::optional<double> ConvertDistance(double value, std::string_view unit, UnitSystem to) {
    double metres = 0;
    if (unit == "m")
        metres = value;
    else if (unit == "km")
        metres = value * 1000;
    else if (unit == "ft")
        metres = value * kMetresPerFoot;
    else if (unit == "mi")
        return to == UnitSystem::Standard ? value : value * kMetresPerMile / 1000;
    else
        return std::nullopt;
    return to == UnitSystem::Metric ? metres / 1000 : metres / kMetresPerMile;
}

std::optional<double> PressureInHectopascals(double value, std::string_view unit) {
    if (unit == "hPa" || unit == "mb" || unit == "mbar")
        return value;
    if (unit == "Pa")
        return value / 100;
    if (unit == "kPa")
        return value * 10;
    if (unit == "inHg")
        return value * kHectopascalsPerInchHg;
    return std::nullopt;
}

std::optional<double> ConvertPressure(double value, std::string_view unit, UnitSystem to) {
    if (to == UnitSystem::Standard && unit == "inHg")
        return value;
    const std::optional<double> hpa = PressureInHectopascals(value, unit);
    if (!hpa)
        return std::nullopt;
    return to == UnitSystem::Metric ? *hpa : *hpa / kHectopascalsPerInchHg;
}

std::string WholeNumber(double value) {
    const long rounded = std::lround(value);
    return std::to_string(rounded == 0 ? 0L : rounded);
}

std::string VisibilityText(double value) {
    return value < 9.95 ? OneDecimal(value) : WholeNumber(value);
}

std::string PressureText(double value, UnitSystem units) {
    return units == UnitSystem::Standard ? Printed(2, value) : OneDecimal(value);
}

} // namespace feed
