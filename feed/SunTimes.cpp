#include "feed/SunTimes.h"

#include "feed/LocalTime.h"

#include <QDateTime>
#include <QTimeZone>

#include <cmath>
#include <numbers>

namespace feed {
namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;
constexpr double kRadians = std::numbers::pi / 180.0;
// The upper limb at a sea-level horizon: 16' of the sun's radius and 34' of refraction.
constexpr double kZenith = 90.833;

struct SolarState {
    double declination;    // radians
    double equationOfTime; // minutes
};

SolarState StateAt(double julianDay) {
    const double t = (julianDay - 2451545.0) / 36525.0;
    const double meanLongitude = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0);
    const double meanAnomaly = 357.52911 + t * (35999.05029 - 0.0001537 * t);
    const double eccentricity = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
    const double m = meanAnomaly * kRadians;
    const double centre = std::sin(m) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
                          std::sin(2 * m) * (0.019993 - 0.000101 * t) + std::sin(3 * m) * 0.000289;
    const double omega = (125.04 - 1934.136 * t) * kRadians;
    const double apparentLongitude = meanLongitude + centre - 0.00569 - 0.00478 * std::sin(omega);
    const double meanObliquity =
        23.0 + (26.0 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60.0) / 60.0;
    const double obliquity = (meanObliquity + 0.00256 * std::cos(omega)) * kRadians;
    const double declination =
        std::asin(std::sin(obliquity) * std::sin(apparentLongitude * kRadians));
    const double y = std::pow(std::tan(obliquity / 2), 2);
    const double l0 = meanLongitude * kRadians;
    const double equation = y * std::sin(2 * l0) - 2 * eccentricity * std::sin(m) +
                            4 * eccentricity * y * std::sin(m) * std::cos(2 * l0) -
                            0.5 * y * y * std::sin(4 * l0) -
                            1.25 * eccentricity * eccentricity * std::sin(2 * m);
    return {declination, 4 * equation * kDegrees};
}

// Minutes after 00:00 UTC of the date for sunrise (-1) or sunset (+1), refined once with the sun's
// position at the first estimate; none when the sun does not cross the horizon.
std::optional<double> EventMinutes(double julianMidnight, double latitude, double longitude,
                                   int direction) {
    double minutes = 720 - 4 * longitude;
    for (int pass = 0; pass < 2; ++pass) {
        const SolarState s = StateAt(julianMidnight + minutes / 1440.0);
        const double phi = latitude * kRadians;
        const double cosHourAngle =
            std::cos(kZenith * kRadians) / (std::cos(phi) * std::cos(s.declination)) -
            std::tan(phi) * std::tan(s.declination);
        if (!(cosHourAngle >= -1 && cosHourAngle <= 1))
            return std::nullopt;
        const double hourAngle = std::acos(cosHourAngle) * kDegrees;
        minutes = 720 - 4 * longitude - s.equationOfTime + direction * 4 * hourAngle;
    }
    return minutes;
}

} // namespace

SunTimes ComputeSunTimes(double latitude, double longitude, int year, int month, int day) {
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || std::fabs(latitude) > 90 ||
        std::fabs(longitude) > 180)
        return {};
    LocalDateTime date;
    date.year = year;
    date.month = month;
    date.day = day;
    const std::int64_t midnight = date.minutes() * 60; // 00:00 UTC of the date
    const double julianMidnight = static_cast<double>(midnight) / 86400.0 + 2440587.5;
    const auto at = [&](int direction) -> std::optional<std::int64_t> {
        const auto minutes = EventMinutes(julianMidnight, latitude, longitude, direction);
        if (!minutes)
            return std::nullopt;
        return midnight + std::llround(*minutes * 60);
    };
    return {at(-1), at(1)};
}

std::string SunClockText(const std::optional<std::int64_t>& when, const std::string& timeZone) {
    const QTimeZone zone(QByteArray::fromStdString(timeZone));
    if (!zone.isValid())
        return {};
    if (!when)
        return "none";
    // To the nearest minute, as almanacs print them.
    const QDateTime local = QDateTime::fromSecsSinceEpoch(*when + 30, zone);
    LocalDateTime t;
    t.hour = local.time().hour();
    t.minute = local.time().minute();
    return ClockText(t);
}

} // namespace feed
