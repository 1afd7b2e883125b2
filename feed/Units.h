#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace feed {

// The two unit systems a client may ask for: "f" is Fahrenheit, mph, miles and inches of
// mercury; "c" is Celsius, km/h, kilometres and millibars.
enum class UnitSystem { Standard, Metric };

std::optional<UnitSystem> UnitSystemFromLetter(std::string_view letter);
char UnitLetter(UnitSystem units);

// Each converts a value given in the unit that the upstream answer names into the unit system
// asked for (degrees, speed, distance, pressure). An unknown unit name gives no value, so a
// figure is never passed on in a unit we cannot vouch for.
std::optional<double> ConvertTemperature(double value, std::string_view unit, UnitSystem to);
std::optional<double> ConvertSpeed(double value, std::string_view unit, UnitSystem to);
std::optional<double> ConvertDistance(double value, std::string_view unit, UnitSystem to);
std::optional<double> ConvertPressure(double value, std::string_view unit, UnitSystem to);

// Pressure in hectopascals, whatever unit it came in; for the trend.
std::optional<double> PressureInHectopascals(double value, std::string_view unit);

// Rounded to a whole number, never "-0".
std::string WholeNumber(double value);
// Below 10 with one decimal ("0.5", "2"), from 10 on whole ("15").
std::string VisibilityText(double value);
// Inches of mercury with two decimals ("30.12"), millibars with one ("1013.2").
std::string PressureText(double value, UnitSystem units);

} // namespace feed
