#include "feed/Forecast.h"

#include "feed/LocalTime.h"
#include "feed/PressureTrend.h"
#include "feed/WeatherCodes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <limits>

namespace feed {
namespace {

struct Failure {
    std::string reason;
};

// Reading stops at the first unusable value; the reason names it.
class Reader final {
public:
    explicit Reader(const QJsonObject& root)
        : m_root(root) {
        const QJsonValue offset = root.value(QStringLiteral("utc_offset_seconds"));
        if (offset.isDouble() && std::fabs(offset.toDouble()) <= 18 * 3600)
            m_utcOffset = static_cast<std::int64_t>(offset.toDouble());
    }

    QJsonObject section(const char* name) const {
        const QJsonValue v = m_root.value(QLatin1String(name));
        if (!v.isObject())
            throw Failure{std::string("no \"") + name + "\" object"};
        return v.toObject();
    }

    static std::string unit(const QJsonObject& units, const char* name) {
        const QJsonValue v = units.value(QLatin1String(name));
        if (!v.isString())
            throw Failure{std::string("no unit for ") + name};
        return v.toString().toStdString();
    }

    static double number(const QJsonValue& v, const char* name, double low, double high) {
        if (!v.isDouble())
            throw Failure{std::string(name) + (v.isNull() ? " is null" : " is not a number")};
        const double value = v.toDouble();
        if (!std::isfinite(value) || value < low || value > high)
            throw Failure{std::string(name) + " is out of range"};
        return value;
    }

    static double converted(std::optional<double> value, const std::string& unit,
                            const char* name) {
        if (!value)
            throw Failure{std::string("unknown unit \"") + unit + "\" for " + name};
        return *value;
    }

    std::optional<LocalDateTime> time(const QJsonValue& v) const {
        if (v.isString())
            return ParseLocalDateTime(v.toString().toStdString());
        if (v.isDouble() && std::isfinite(v.toDouble()) && std::fabs(v.toDouble()) < 1e11)
            return LocalFromUnix(static_cast<std::int64_t>(v.toDouble()), m_utcOffset);
        return std::nullopt;
    }

    LocalDateTime requiredTime(const QJsonValue& v, const char* name) const {
        const auto t = time(v);
        if (!t)
            throw Failure{std::string(name) + " is not a time"};
        return *t;
    }

    static QJsonArray array(const QJsonObject& section, const char* name) {
        const QJsonValue v = section.value(QLatin1String(name));
        if (!v.isArray())
            throw Failure{std::string("no ") + name + " list"};
        return v.toArray();
    }

private:
    QJsonObject m_root;
    std::int64_t m_utcOffset = 0;
};

// Index of today in the daily lists: the day of the current values, else the first day.
qsizetype TodayIndex(const Reader& reader, const QJsonArray& days, const LocalDateTime& now) {
    for (qsizetype i = 0; i < days.size(); ++i) {
        const auto day = reader.time(days.at(i));
        if (day && day->sameDay(now))
            return i;
    }
    if (days.isEmpty())
        throw Failure{"no daily values"};
    return 0;
}

// Sea-level pressure three hours before `now`, in hectopascals, interpolated between the hourly
// values around that moment (or the nearest one when the list does not reach back that far).
double PressureThreeHoursAgo(const Reader& reader, const LocalDateTime& now) {
    const QJsonObject hourly = reader.section("hourly");
    const std::string unit = Reader::unit(reader.section("hourly_units"), "pressure_msl");
    const QJsonArray times = Reader::array(hourly, "time");
    const QJsonArray values = Reader::array(hourly, "pressure_msl");
    const std::int64_t target = now.minutes() - 180;

    bool haveBefore = false, haveAfter = false;
    std::int64_t beforeT = 0, afterT = 0;
    double beforeV = 0, afterV = 0;
    for (qsizetype i = 0; i < times.size() && i < values.size(); ++i) {
        const auto t = reader.time(times.at(i));
        const QJsonValue v = values.at(i);
        if (!t || !v.isDouble() || t->minutes() > now.minutes())
            continue;
        const auto hpa = PressureInHectopascals(v.toDouble(), unit);
        if (!hpa)
            throw Failure{"unknown unit \"" + unit + "\" for hourly pressure_msl"};
        if (*hpa < 800 || *hpa > 1200)
            continue;
        const std::int64_t m = t->minutes();
        if (m <= target && (!haveBefore || m > beforeT)) {
            haveBefore = true;
            beforeT = m;
            beforeV = *hpa;
        }
        if (m >= target && (!haveAfter || m < afterT)) {
            haveAfter = true;
            afterT = m;
            afterV = *hpa;
        }
    }
    if (haveBefore && haveAfter && afterT > beforeT) {
        const double share =
            static_cast<double>(target - beforeT) / static_cast<double>(afterT - beforeT);
        return beforeV + (afterV - beforeV) * share;
    }
    if (haveBefore)
        return beforeV;
    if (haveAfter)
        return afterV;
    throw Failure{"no earlier sea-level pressure"};
}

std::string SunText(const Reader& reader, const QJsonArray& list, qsizetype index,
                    const char* name) {
    const QJsonValue v = index < list.size() ? list.at(index) : QJsonValue();
    if (v.isNull() || v.isUndefined())
        return "none"; // polar day or night
    return ClockText(reader.requiredTime(v, name));
}

Conditions Read(const QJsonObject& root, UnitSystem units) {
    const Reader reader(root);
    const QJsonObject current = reader.section("current");
    const QJsonObject currentUnits = reader.section("current_units");
    const auto value = [&](const char* name, double low, double high) {
        return Reader::number(current.value(QLatin1String(name)), name, low, high);
    };
    Conditions c;

    const LocalDateTime now =
        reader.requiredTime(current.value(QStringLiteral("time")), "current time");
    c.observed = IsoText(now);
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", now.year, now.month, now.day);
    c.date = date;

    const double code = value("weather_code", 0, 99);
    if (code != std::floor(code))
        throw Failure{"weather_code is not a whole number"};
    c.code = std::to_string(static_cast<int>(code));
    c.condition = std::string(WeatherCodeText(static_cast<int>(code)));

    std::string unit = Reader::unit(currentUnits, "temperature_2m");
    c.temperature = WholeNumber(
        Reader::converted(ConvertTemperature(value("temperature_2m", -200, 200), unit, units), unit,
                          "temperature_2m"));

    unit = Reader::unit(currentUnits, "relative_humidity_2m");
    if (unit != "%")
        throw Failure{"unknown unit \"" + unit + "\" for relative_humidity_2m"};
    c.humidity = WholeNumber(value("relative_humidity_2m", 0, 100));

    unit = Reader::unit(currentUnits, "wind_speed_10m");
    c.windSpeed = WholeNumber(Reader::converted(
        ConvertSpeed(value("wind_speed_10m", 0, 2000), unit, units), unit, "wind_speed_10m"));

    unit = Reader::unit(currentUnits, "visibility");
    c.visibility = VisibilityText(Reader::converted(
        ConvertDistance(value("visibility", 0, 1e7), unit, units), unit, "visibility"));

    unit = Reader::unit(currentUnits, "pressure_msl");
    const double pressure = value("pressure_msl", 0, 1e6);
    const double nowHpa =
        Reader::converted(PressureInHectopascals(pressure, unit), unit, "pressure_msl");
    if (nowHpa < 800 || nowHpa > 1200)
        throw Failure{"pressure_msl is out of range"};
    c.pressure = PressureText(*ConvertPressure(pressure, unit, units), units);
    c.trend = std::string(1, PressureTrend(nowHpa, PressureThreeHoursAgo(reader, now)));

    const QJsonObject daily = reader.section("daily");
    const QJsonObject dailyUnits = reader.section("daily_units");
    const qsizetype today = TodayIndex(reader, Reader::array(daily, "time"), now);
    const auto dayValue = [&](const char* name) {
        const QJsonArray list = Reader::array(daily, name);
        const std::string u = Reader::unit(dailyUnits, name);
        const double v =
            Reader::number(today < list.size() ? list.at(today) : QJsonValue(), name, -200, 200);
        return WholeNumber(Reader::converted(ConvertTemperature(v, u, units), u, name));
    };
    c.high = dayValue("temperature_2m_max");
    c.low = dayValue("temperature_2m_min");
    c.sunrise = SunText(reader, Reader::array(daily, "sunrise"), today, "sunrise");
    c.sunset = SunText(reader, Reader::array(daily, "sunset"), today, "sunset");
    return c;
}

} // namespace

std::string ForecastRequestPath(double latitude, double longitude, UnitSystem units) {
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || std::fabs(latitude) > 90 ||
        std::fabs(longitude) > 180)
        return {};
    char place[64];
    std::snprintf(place, sizeof place, "latitude=%.4f&longitude=%.4f", latitude, longitude);
    std::string path = "/v1/forecast?";
    path += place;
    path += "&current=temperature_2m,relative_humidity_2m,weather_code,wind_speed_10m,"
            "pressure_msl,visibility"
            "&daily=temperature_2m_max,temperature_2m_min,sunrise,sunset"
            "&hourly=pressure_msl&past_hours=3&forecast_hours=1&forecast_days=1"
            "&timezone=auto";
    path += units == UnitSystem::Standard
                ? "&temperature_unit=fahrenheit&wind_speed_unit=mph&precipitation_unit=inch"
                : "&temperature_unit=celsius&wind_speed_unit=kmh&precipitation_unit=mm";
    return path;
}

ForecastResult ParseForecast(std::string_view json, UnitSystem units) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return {std::nullopt, "not a JSON object"};
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("error")).toBool())
        return {std::nullopt,
                "upstream error: " + root.value(QStringLiteral("reason")).toString().toStdString()};
    try {
        return {Read(root, units), {}};
    } catch (const Failure& failure) {
        return {std::nullopt, failure.reason};
    }
}

} // namespace feed
