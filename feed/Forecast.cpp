#include "feed/Forecast.h"

#include "feed/LocalTime.h"
#include "feed/PressureTrend.h"
#include "feed/WeatherCodes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <tuple>

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

    const QJsonObject& root() const { return m_root; }
    std::int64_t utcOffset() const { return m_utcOffset; }

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

// The hourly value of name at the hour of `now`, with its unit; none when the answer has none.
std::optional<std::pair<QJsonValue, std::string>> HourlyNow(const Reader& reader, const char* name,
                                                            const LocalDateTime& now) {
    const QJsonObject hourly = reader.root().value(QStringLiteral("hourly")).toObject();
    const QJsonValue unit =
        reader.root().value(QStringLiteral("hourly_units")).toObject().value(QLatin1String(name));
    const QJsonArray times = hourly.value(QStringLiteral("time")).toArray();
    const QJsonArray values = hourly.value(QLatin1String(name)).toArray();
    const std::int64_t hour = now.minutes() - now.minute;
    for (qsizetype i = 0; i < times.size() && i < values.size() && unit.isString(); ++i) {
        const auto t = reader.time(times.at(i));
        if (t && t->minutes() == hour && values.at(i).isDouble())
            return std::pair(values.at(i), unit.toString().toStdString());
    }
    return std::nullopt;
}

// Sea-level pressure three hours before `now`, in hectopascals, from the hourly values within an
// hour of that moment: interpolated between the two around it, else the nearer one. None, with
// the reason in `why`, when there is no such value (the list may end hours before now).
std::optional<double> PressureThreeHoursAgo(const Reader& reader, const LocalDateTime& now,
                                            std::string& why) {
    constexpr std::int64_t kReach = 60;
    const QJsonObject hourly = reader.root().value(QStringLiteral("hourly")).toObject();
    const std::string unit = reader.root()
                                 .value(QStringLiteral("hourly_units"))
                                 .toObject()
                                 .value(QStringLiteral("pressure_msl"))
                                 .toString()
                                 .toStdString();
    const QJsonArray times = hourly.value(QStringLiteral("time")).toArray();
    const QJsonArray values = hourly.value(QStringLiteral("pressure_msl")).toArray();
    const std::int64_t target = now.minutes() - 180;

    bool haveBefore = false, haveAfter = false, unknownUnit = false;
    std::int64_t beforeT = 0, afterT = 0;
    double beforeV = 0, afterV = 0;
    for (qsizetype i = 0; i < times.size() && i < values.size(); ++i) {
        const auto t = reader.time(times.at(i));
        const QJsonValue v = values.at(i);
        if (!t || !v.isDouble() || std::llabs(t->minutes() - target) > kReach)
            continue;
        const auto hpa = PressureInHectopascals(v.toDouble(), unit);
        unknownUnit = unknownUnit || !hpa;
        if (!hpa || *hpa < 800 || *hpa > 1200)
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
    if (haveBefore || haveAfter)
        return haveBefore ? beforeV : afterV;
    why = unknownUnit ? "unknown unit \"" + unit + "\" for hourly pressure_msl"
                      : "no hourly sea-level pressure within an hour of " +
                            IsoText(LocalFromUnix(target * 60, 0));
    return std::nullopt;
}

// Sunrise and sunset as the document writes them. Open-Meteo gives polar night as a sunrise equal
// to the sunset (local midnight) and polar day as a sunset 24 hours after the sunrise; older
// answers gave null. Either way the sun does not rise and set that day.
std::pair<std::string, std::string> SunTimes(const Reader& reader, const QJsonObject& daily,
                                             qsizetype today) {
    const auto at = [&](const char* name) {
        const QJsonArray list = Reader::array(daily, name);
        const QJsonValue v = today < list.size() ? list.at(today) : QJsonValue();
        return v.isNull() || v.isUndefined() ? std::nullopt
                                             : std::optional(reader.requiredTime(v, name));
    };
    const std::optional<LocalDateTime> rise = at("sunrise");
    const std::optional<LocalDateTime> set = at("sunset");
    if (rise && set) {
        const std::int64_t span = set->minutes() - rise->minutes();
        if (span == 0 || span == 24 * 60)
            return {"none", "none"};
    }
    return {rise ? ClockText(*rise) : "none", set ? ClockText(*set) : "none"};
}

Conditions Read(const QJsonObject& root, UnitSystem units, std::string& warning) {
    const Reader reader(root);
    const QJsonObject current = reader.section("current");
    const QJsonObject currentUnits = reader.section("current_units");
    Conditions c;

    const LocalDateTime now =
        reader.requiredTime(current.value(QStringLiteral("time")), "current time");
    c.observed = IsoText(now);
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", now.year, now.month, now.day);
    c.date = date;
    c.utcOffsetSeconds = static_cast<int>(reader.utcOffset());

    // A current value with its unit; a null one (some models leave visibility out) is taken from
    // the hourly list at the current hour.
    const auto value = [&](const char* name, double low, double high, std::string* unit) {
        QJsonValue v = current.value(QLatin1String(name));
        if (v.isNull() || v.isUndefined()) {
            if (const auto hourly = HourlyNow(reader, name, now)) {
                if (unit)
                    *unit = hourly->second;
                return Reader::number(hourly->first, name, low, high);
            }
        }
        if (unit)
            *unit = Reader::unit(currentUnits, name);
        return Reader::number(v, name, low, high);
    };
    std::string unit;

    const double code = value("weather_code", 0, 99, nullptr);
    if (code != std::floor(code))
        throw Failure{"weather_code is not a whole number"};
    c.code = std::to_string(static_cast<int>(code));
    c.condition = std::string(WeatherCodeText(static_cast<int>(code)));

    const double temperature = value("temperature_2m", -200, 200, &unit);
    c.temperature = WholeNumber(
        Reader::converted(ConvertTemperature(temperature, unit, units), unit, "temperature_2m"));

    const double humidity = value("relative_humidity_2m", 0, 100, &unit);
    if (unit != "%")
        throw Failure{"unknown unit \"" + unit + "\" for relative_humidity_2m"};
    c.humidity = WholeNumber(humidity);

    const double wind = value("wind_speed_10m", 0, 2000, &unit);
    c.windSpeed =
        WholeNumber(Reader::converted(ConvertSpeed(wind, unit, units), unit, "wind_speed_10m"));

    const double visibility = value("visibility", 0, 1e7, &unit);
    c.visibility = VisibilityText(
        Reader::converted(ConvertDistance(visibility, unit, units), unit, "visibility"));

    const double pressure = value("pressure_msl", 0, 1e6, &unit);
    const double nowHpa =
        Reader::converted(PressureInHectopascals(pressure, unit), unit, "pressure_msl");
    if (nowHpa < 800 || nowHpa > 1200)
        throw Failure{"pressure_msl is out of range"};
    c.pressure = PressureText(*ConvertPressure(pressure, unit, units), units);
    if (const auto earlier = PressureThreeHoursAgo(reader, now, warning))
        c.trend = std::string(1, PressureTrend(nowHpa, *earlier));

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
    std::tie(c.sunrise, c.sunset) = SunTimes(reader, daily, today);
    return c;
}

// Printable ASCII only, at most `limit` characters: the text goes to the log and to clients.
std::string Printable(const QString& text, qsizetype limit) {
    std::string out;
    for (const QChar ch : text.left(limit))
        out += ch.unicode() >= 0x20 && ch.unicode() < 0x7f ? static_cast<char>(ch.unicode()) : '?';
    return out;
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
            "&hourly=pressure_msl,visibility&past_hours=3&forecast_hours=1&forecast_days=1"
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
        return {std::nullopt, "not a JSON object", {}};
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("error")).toBool())
        return {std::nullopt,
                "upstream error: " +
                    Printable(root.value(QStringLiteral("reason")).toString(), 300),
                {}};
    try {
        std::string warning;
        Conditions conditions = Read(root, units, warning);
        return {std::move(conditions), {}, std::move(warning)};
    } catch (const Failure& failure) {
        return {std::nullopt, failure.reason, {}};
    }
}

std::optional<std::string> RefusalReason(std::string_view json) {
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size())));
    const QJsonObject root = document.object();
    if (!root.value(QStringLiteral("error")).toBool())
        return std::nullopt;
    return Printable(root.value(QStringLiteral("reason")).toString(), 300);
}

} // namespace feed
