#include "feed/NwsAnswers.h"

#include "feed/LocalTime.h"
#include "feed/PressureTrend.h"
#include "feed/SunTimes.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <tuple>

namespace feed {
namespace {

struct Failure {
    std::string reason;
};

QJsonObject Root(std::string_view json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(json.data(), static_cast<qsizetype>(json.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        throw Failure{"not a JSON object"};
    return document.object();
}

QJsonObject Properties(const QJsonObject& feature) {
    const QJsonValue v = feature.value(QStringLiteral("properties"));
    if (!v.isObject())
        throw Failure{"no \"properties\" object"};
    return v.toObject();
}

std::string Text(const QJsonObject& o, const char* name) {
    return o.value(QLatin1String(name)).toString().toStdString();
}

std::optional<std::int64_t> Time(const QJsonValue& v) {
    const QDateTime t = QDateTime::fromString(v.toString(), Qt::ISODate);
    if (!t.isValid())
        return std::nullopt;
    return t.toSecsSinceEpoch();
}

std::int64_t RequiredTime(const QJsonObject& o, const char* name) {
    const auto t = Time(o.value(QLatin1String(name)));
    if (!t)
        throw Failure{std::string(name) + " is not a time"};
    return *t;
}

// The path of an address the API gives ("https://api.weather.gov/gridpoints/TAE/58,65"), asked
// of whatever base address is configured. Only characters such paths hold are passed on.
std::string PathOf(const std::string& url) {
    const std::size_t scheme = url.find("://");
    const std::size_t path = scheme == std::string::npos ? scheme : url.find('/', scheme + 3);
    if (path == std::string::npos || url.size() - path > 200)
        return {};
    for (std::size_t i = path; i < url.size(); ++i) {
        const char c = url[i];
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '/' && c != ',' && c != '.' &&
            c != '_' && c != '-')
            return {};
    }
    return url.substr(path);
}

// The unit names Units.h knows, from WMO codes ("wmoUnit:km_h-1").
std::string UnitName(const QJsonValue& code) {
    QString unit = code.toString();
    unit = unit.mid(unit.indexOf(QLatin1Char(':')) + 1);
    static const std::pair<const char*, const char*> kUnits[] = {
        {"degC", "C"},  {"degF", "F"},     {"km_h-1", "km/h"}, {"m_s-1", "m/s"},
        {"kt", "kn"},   {"mi_h-1", "mph"}, {"percent", "%"},   {"Pa", "Pa"},
        {"hPa", "hPa"}, {"m", "m"},        {"km", "km"}};
    for (const auto& [wmo, name] : kUnits) {
        if (unit == QLatin1String(wmo))
            return name;
    }
    return {};
}

// A quantitative value in the base unit given by `convert`, or empty when null, rejected by
// quality control, in an unknown unit or out of `low`..`high`.
template <class Convert>
std::optional<double> Quantity(const QJsonValue& v, Convert convert, double low, double high) {
    const QJsonObject q = v.toObject();
    const QJsonValue value = q.value(QStringLiteral("value"));
    if (!value.isDouble() || q.value(QStringLiteral("qualityControl")).toString().endsWith(u'X'))
        return std::nullopt;
    const std::optional<double> converted =
        convert(value.toDouble(), UnitName(q.value(QStringLiteral("unitCode"))));
    if (!converted || !std::isfinite(*converted) || *converted < low || *converted > high)
        return std::nullopt;
    return converted;
}

std::optional<double> Celsius(const QJsonValue& v) {
    return Quantity(
        v,
        [](double x, const std::string& u) { return ConvertTemperature(x, u, UnitSystem::Metric); },
        -90, 70);
}

std::optional<double> Kmh(double x, const std::string& u) {
    return ConvertSpeed(x, u, UnitSystem::Metric);
}

std::optional<double> Percent(double x, const std::string& u) {
    return u == "%" ? std::optional<double>(x) : std::nullopt;
}

// "10 mph", "5 to 10 mph", "16 km/h": the highest figure.
std::optional<double> WindText(const std::string& text) {
    std::optional<double> highest;
    std::string unit;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find(' ', at), text.size());
        const std::string word = text.substr(at, end - at);
        char* stop = nullptr;
        const double n = std::strtod(word.c_str(), &stop);
        if (!word.empty() && stop == word.c_str() + word.size())
            highest = std::max(highest.value_or(n), n);
        else
            unit = word;
        at = end + 1;
    }
    if (!highest)
        return std::nullopt;
    const auto kmh = Kmh(*highest, unit == "knots" ? "kn" : unit);
    return kmh && *kmh >= 0 && *kmh < 500 ? kmh : std::nullopt;
}

NwsObservation Observation(const QJsonObject& feature) {
    const QJsonObject p = Properties(feature);
    const auto at = [&p](const char* name) { return p.value(QLatin1String(name)); };
    NwsObservation o;
    o.time = RequiredTime(p, "timestamp");
    o.text = Text(p, "textDescription");
    o.icon = Text(p, "icon");
    o.temperatureC = Celsius(at("temperature"));
    o.windKmh = Quantity(at("windSpeed"), Kmh, 0, 500);
    o.humidity = Quantity(at("relativeHumidity"), Percent, 0, 100);
    o.visibilityM = Quantity(
        at("visibility"),
        [](double x, const std::string& u) { return ConvertDistance(x, u, UnitSystem::Metric); }, 0,
        1000);
    if (o.visibilityM)
        *o.visibilityM *= 1000;
    // The altimeter setting is the barometer reading US reports quote; sea-level pressure is
    // often missing at automated stations.
    const auto hpa = [](const QJsonValue& v) {
        return Quantity(
            v, [](double x, const std::string& u) { return PressureInHectopascals(x, u); }, 800,
            1200);
    };
    o.pressureHpa = hpa(at("barometricPressure"));
    if (!o.pressureHpa)
        o.pressureHpa = hpa(at("seaLevelPressure"));
    return o;
}

NwsPeriod Period(const QJsonObject& p) {
    NwsPeriod period;
    period.start = RequiredTime(p, "startTime");
    period.end = RequiredTime(p, "endTime");
    period.daytime = p.value(QStringLiteral("isDaytime")).toBool();
    period.text = Text(p, "shortForecast");
    const QJsonValue temperature = p.value(QStringLiteral("temperature"));
    if (temperature.isDouble()) {
        const auto c = ConvertTemperature(temperature.toDouble(), Text(p, "temperatureUnit"),
                                          UnitSystem::Metric);
        if (c && *c >= -90 && *c <= 70)
            period.temperatureC = c;
    } else {
        period.temperatureC = Celsius(temperature);
    }
    const QJsonValue wind = p.value(QStringLiteral("windSpeed"));
    if (wind.isString()) {
        period.windKmh = WindText(wind.toString().toStdString());
    } else {
        QJsonObject q = wind.toObject();
        if (!q.value(QStringLiteral("value")).isDouble())
            q[QStringLiteral("value")] = q.value(QStringLiteral("maxValue"));
        period.windKmh = Quantity(q, Kmh, 0, 500);
    }
    period.humidity = Quantity(p.value(QStringLiteral("relativeHumidity")), Percent, 0, 100);
    return period;
}

template <class T, class Read> NwsParsed<T> Parsed(std::string_view json, Read read) {
    try {
        return {read(Root(json)), {}};
    } catch (const Failure& failure) {
        return {std::nullopt, failure.reason};
    }
}

// Local wall-clock time at the place.
LocalDateTime LocalAt(std::int64_t t, const QTimeZone& zone) {
    const QDateTime local = QDateTime::fromSecsSinceEpoch(t, zone);
    LocalDateTime l;
    l.year = local.date().year();
    l.month = local.date().month();
    l.day = local.date().day();
    l.hour = local.time().hour();
    l.minute = local.time().minute();
    return l;
}

const NwsPeriod* HourHolding(const NwsAnswers& a, std::int64_t now) {
    if (!a.hourly || now - a.hourly->generatedAt > kNwsMaxAgeSeconds)
        return nullptr;
    for (const NwsPeriod& p : a.hourly->periods) {
        if (p.start <= now && now < p.end)
            return &p;
    }
    return nullptr;
}

using ObservedValue = std::optional<double> NwsObservation::*;
using PeriodValue = std::optional<double> NwsPeriod::*;

struct CurrentValue {
    const char* name;
    ObservedValue observed;
    PeriodValue hourly; // none where the hourly forecast has no such value
};

constexpr CurrentValue kCurrentValues[] = {
    {"temperature", &NwsObservation::temperatureC, &NwsPeriod::temperatureC},
    {"wind speed", &NwsObservation::windKmh, &NwsPeriod::windKmh},
    {"humidity", &NwsObservation::humidity, &NwsPeriod::humidity},
    {"visibility", &NwsObservation::visibilityM, nullptr},
    {"pressure", &NwsObservation::pressureHpa, nullptr},
};

// The nearest station first, then the hourly period, then the other stations; stale
// observations of other stations do not count.
std::optional<double> Current(const NwsAnswers& a, std::int64_t now, const CurrentValue& v) {
    if (!a.latest.empty() && a.latest.front().*v.observed)
        return a.latest.front().*v.observed;
    if (const NwsPeriod* hour = HourHolding(a, now); hour && v.hourly && hour->*v.hourly)
        return hour->*v.hourly;
    for (std::size_t i = 1; i < a.latest.size(); ++i) {
        if (now - a.latest[i].time <= kNwsMaxAgeSeconds && a.latest[i].*v.observed)
            return a.latest[i].*v.observed;
    }
    return std::nullopt;
}

// The WMO code closest to the condition an NWS icon names ("…/icons/land/day/tsra,40/ovc").
std::string IconCode(const std::string& icon) {
    static const std::pair<const char*, int> kIcons[] = {
        {"/tsra", 95},    {"/blizzard", 75},     {"/snow", 73},    {"/fzra", 67},
        {"/sleet", 67},   {"/rain_showers", 80}, {"/rain", 63},    {"/fog", 45},
        {"/ovc", 3},      {"/bkn", 3},           {"/sct", 2},      {"/few", 1},
        {"/skc", 0},      {"/wind_ovc", 3},      {"/wind_bkn", 3}, {"/wind_sct", 2},
        {"/wind_few", 1}, {"/wind_skc", 0}};
    for (const auto& [name, code] : kIcons) {
        if (icon.find(name) != std::string::npos)
            return std::to_string(code);
    }
    return {};
}

// The document carries the text inside an attribute, and the program speaks it: letters, digits
// and plain punctuation only.
std::string PlainText(const std::string& text) {
    std::string plain;
    for (const char c : text.substr(0, 80)) {
        if (c == '&')
            plain += "and";
        else if (std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == ',' || c == '.' ||
                 c == '-' || c == '/' || c == '(' || c == ')')
            plain += c;
    }
    return plain;
}

std::string DateText(const LocalDateTime& t) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
    return text;
}

Conditions Read(const NwsAnswers& a, UnitSystem units, std::int64_t now) {
    const QTimeZone zone(QByteArray::fromStdString(a.timeZone));
    if (!zone.isValid())
        throw Failure{"unknown time zone \"" + a.timeZone + "\""};
    if (a.latest.empty())
        throw Failure{"no observation"};
    const NwsObservation& observation = a.latest.front();
    if (now - observation.time > kNwsMaxAgeSeconds)
        throw Failure{"the latest observation is " + std::to_string((now - observation.time) / 60) +
                      " minutes old"};
    if (now - a.forecast.generatedAt > kNwsMaxAgeSeconds)
        throw Failure{"the forecast was made " +
                      std::to_string((now - a.forecast.generatedAt) / 60) + " minutes ago"};

    std::optional<double> values[std::size(kCurrentValues)];
    for (std::size_t i = 0; i < std::size(kCurrentValues); ++i) {
        values[i] = Current(a, now, kCurrentValues[i]);
        if (!values[i])
            throw Failure{std::string("no ") + kCurrentValues[i].name +
                          " from the station, the hourly forecast or the next station"};
    }
    const auto [temperature, wind, humidity, visibility, pressure] =
        std::tuple{*values[0], *values[1], *values[2], *values[3], *values[4]};
    const auto degrees = [units](double c) {
        return WholeNumber(*ConvertTemperature(c, "C", units));
    };

    Conditions c;
    const LocalDateTime today = LocalAt(now, zone);
    c.date = DateText(today);
    c.utcOffsetSeconds = QDateTime::fromSecsSinceEpoch(now, zone).offsetFromUtc();
    c.observed = IsoText(LocalAt(observation.time, zone));
    c.condition = observation.text;
    if (c.condition.empty()) {
        const NwsPeriod* hour = HourHolding(a, now);
        c.condition = hour ? hour->text : std::string();
    }
    if (c.condition.empty() && !a.forecast.periods.empty())
        c.condition = a.forecast.periods.front().text;
    c.condition = PlainText(c.condition);
    c.code = IconCode(observation.icon);
    c.temperature = degrees(temperature);
    c.windSpeed = WholeNumber(*ConvertSpeed(wind, "km/h", units));
    c.humidity = WholeNumber(humidity);
    c.visibility = VisibilityText(*ConvertDistance(visibility, "m", units));
    c.pressure = PressureText(*ConvertPressure(pressure, "hPa", units), units);

    // Today's day period gives the high and the first night period starting today the low;
    // in the evening, when the next day period is tomorrow's, the high is the highest
    // temperature observed today.
    const auto startsToday = [&](const NwsPeriod& p) {
        return LocalAt(p.start, zone).sameDay(today) && p.temperatureC;
    };
    const auto& periods = a.forecast.periods;
    const auto day = std::find_if(periods.begin(), periods.end(),
                                  [&](const NwsPeriod& p) { return p.daytime && startsToday(p); });
    const auto night = std::find_if(periods.begin(), periods.end(), [&](const NwsPeriod& p) {
        return !p.daytime && startsToday(p);
    });
    if (night == periods.end())
        throw Failure{"no night period starting today"};
    double high = temperature;
    if (day != periods.end()) {
        high = *day->temperatureC;
    } else {
        for (const NwsObservation& o : a.history) {
            if (o.temperatureC && o.time <= now && LocalAt(o.time, zone).sameDay(today))
                high = std::max(high, *o.temperatureC);
        }
    }
    c.high = degrees(high);
    c.low = degrees(*night->temperatureC);

    // Both pressures from the nearest station's own list: the newest within the hour, and one
    // within an hour of three hours before it.
    const NwsObservation* newest = nullptr;
    for (const NwsObservation& o : a.history) {
        if (o.pressureHpa && o.time <= now && now - o.time <= 3600 &&
            (!newest || o.time > newest->time))
            newest = &o;
    }
    const NwsObservation* earlier = nullptr;
    for (const NwsObservation& o : a.history) {
        const auto off = [&](const NwsObservation& x) {
            return std::llabs(x.time - (newest->time - 3 * 3600));
        };
        if (newest && o.pressureHpa && off(o) <= 3600 && (!earlier || off(o) < off(*earlier)))
            earlier = &o;
    }
    if (newest && earlier)
        c.trend = std::string(1, PressureTrend(*newest->pressureHpa, *earlier->pressureHpa));

    const SunTimes sun =
        ComputeSunTimes(a.latitude, a.longitude, today.year, today.month, today.day);
    c.sunrise = SunClockText(sun.sunrise, a.timeZone);
    c.sunset = SunClockText(sun.sunset, a.timeZone);
    return c;
}

} // namespace

NwsParsed<NwsPoint> ParseNwsPoint(std::string_view json) {
    return Parsed<NwsPoint>(json, [](const QJsonObject& root) {
        const QJsonObject p = Properties(root);
        NwsPoint point{PathOf(Text(p, "forecast")), PathOf(Text(p, "forecastHourly")),
                       PathOf(Text(p, "observationStations")), Text(p, "timeZone")};
        if (point.forecast.empty() || point.forecastHourly.empty() || point.stations.empty() ||
            point.timeZone.empty())
            throw Failure{"the point lacks its forecast, stations or time zone"};
        return point;
    });
}

NwsParsed<std::vector<std::string>> ParseNwsStations(std::string_view json) {
    return Parsed<std::vector<std::string>>(json, [](const QJsonObject& root) {
        std::vector<std::string> stations;
        for (const QJsonValue& feature : root.value(QStringLiteral("features")).toArray()) {
            const std::string id = Text(Properties(feature.toObject()), "stationIdentifier");
            if (!id.empty() && id.size() <= 12 && std::all_of(id.begin(), id.end(), [](char c) {
                    return std::isalnum(static_cast<unsigned char>(c)) != 0;
                }))
                stations.push_back(id);
        }
        if (stations.empty())
            throw Failure{"no observation station"};
        return stations;
    });
}

NwsParsed<NwsObservation> ParseNwsObservation(std::string_view json) {
    return Parsed<NwsObservation>(json, Observation);
}

NwsParsed<std::vector<NwsObservation>> ParseNwsObservations(std::string_view json) {
    return Parsed<std::vector<NwsObservation>>(json, [](const QJsonObject& root) {
        std::vector<NwsObservation> list;
        for (const QJsonValue& feature : root.value(QStringLiteral("features")).toArray()) {
            try {
                list.push_back(Observation(feature.toObject()));
            } catch (const Failure&) {
                // One broken entry does not spoil the others.
            }
        }
        return list;
    });
}

NwsParsed<NwsForecast> ParseNwsForecast(std::string_view json) {
    return Parsed<NwsForecast>(json, [](const QJsonObject& root) {
        const QJsonObject p = Properties(root);
        NwsForecast forecast;
        forecast.generatedAt = RequiredTime(p, "generatedAt");
        for (const QJsonValue& period : p.value(QStringLiteral("periods")).toArray())
            forecast.periods.push_back(Period(period.toObject()));
        if (forecast.periods.empty())
            throw Failure{"no forecast periods"};
        return forecast;
    });
}

std::string NwsProblem(std::string_view json) {
    try {
        const QJsonObject root = Root(json);
        QString type = root.value(QStringLiteral("type")).toString();
        type = type.mid(type.lastIndexOf(QLatin1Char('/')) + 1);
        QString detail = root.value(QStringLiteral("detail")).toString();
        if (detail.isEmpty())
            detail = root.value(QStringLiteral("title")).toString();
        QString problem = type.isEmpty() ? detail : type + QStringLiteral(": ") + detail;
        problem = problem.left(200).simplified();
        for (QChar& ch : problem) {
            if (!ch.isPrint())
                ch = QLatin1Char(' ');
        }
        return problem.toStdString();
    } catch (const Failure&) {
        return {};
    }
}

std::vector<std::string> NwsMissingValues(const NwsAnswers& answers, std::int64_t now) {
    std::vector<std::string> missing;
    for (const CurrentValue& v : kCurrentValues) {
        if (!Current(answers, now, v))
            missing.emplace_back(v.name);
    }
    return missing;
}

ForecastResult NwsConditions(const NwsAnswers& answers, UnitSystem units, std::int64_t now) {
    try {
        Conditions c = Read(answers, units, now);
        std::string warning;
        if (c.trend.empty())
            warning = "no pressure from the nearest station within an hour of three hours ago";
        return {std::move(c), {}, std::move(warning)};
    } catch (const Failure& failure) {
        return {std::nullopt, failure.reason, {}};
    }
}

} // namespace feed
