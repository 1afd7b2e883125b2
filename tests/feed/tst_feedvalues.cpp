// The feed service's plain parts: the Open-Meteo answer read in the units asked, times, trend,
// ZIP codes, the document, the cache, the limiter and the command line.
#include "OpenMeteoDouble.h"

#include "feed/DocumentCache.h"
#include "feed/FeedDocument.h"
#include "feed/FeedOptions.h"
#include "feed/Forecast.h"
#include "feed/LocalTime.h"
#include "feed/OpenMeteoTerms.h"
#include "feed/RateLimiter.h"
#include "feed/WeatherCodes.h"
#include "feed/ZipTable.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>

#include <map>

using namespace feed;
using namespace std::chrono_literals;

namespace {

ForecastResult Parse(const DoubleWeather& weather, UnitSystem units, const Tweak& tweak = {}) {
    QJsonObject answer = OpenMeteoAnswer(weather, ForecastRequestPath(34.09, -118.41, units));
    if (tweak)
        tweak(answer);
    return ParseForecast(QJsonDocument(answer).toJson().toStdString(), units);
}

QString Summary(const Conditions& c) {
    return QString::fromStdString(c.temperature + ' ' + c.windSpeed + ' ' + c.humidity + ' ' +
                                  c.visibility + ' ' + c.pressure + ' ' + c.low + ' ' + c.high);
}

QString OptionsSummary(const FeedOptions& o) {
    const ServiceSettings& s = o.service;
    return QStringLiteral("%1:%2 %3 %4 %5 %6 %7 %8/%9/%10 %11 %12 %13 %14")
        .arg(QString::fromStdString(o.host))
        .arg(o.port)
        .arg(QString::fromStdString(s.upstream))
        .arg(s.upstreamTimeout.count())
        .arg(s.freshFor.count())
        .arg(s.staleFor.count())
        .arg(s.cacheEntries)
        .arg(s.limits.perMinute)
        .arg(s.limits.perHour)
        .arg(s.limits.perDay)
        .arg(o.threads)
        .arg(s.retryAfter.count())
        .arg(o.connections)
        .arg(o.clientTimeout.count());
}

} // namespace

class TestFeedValues final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void valuesInTheUnitsAsked_data();
    void valuesInTheUnitsAsked();
    void unusableAnswers_data();
    void unusableAnswers();
    void pressureTrend_data();
    void pressureTrend();
    void sunTimes_data();
    void sunTimes();
    void anotherTimeZoneInUnixTime();
    void roundingAndFormats();
    void requestPathHoldsOnlyNumbersAndFixedWords();
    void zipCodes_data();
    void zipCodes();
    void zipTableSkipsWhatItCannotUse();
    void everyPlaceDocumentCarriesEachKeyOnce();
    void cacheDropsLeastRecentlyUsedAndExpired();
    void limiterKeepsEveryWindow();
    void backOffEndsWithTheWindowNamed_data();
    void backOffEndsWithTheWindowNamed();
    void options_data();
    void options();
};

void TestFeedValues::valuesInTheUnitsAsked_data() {
    QTest::addColumn<QString>("letter");
    QTest::addColumn<Tweak>("tweak");
    // temperature wind humidity visibility pressure low high
    QTest::addColumn<QString>("expected");

    const QString standard = QStringLiteral("58 5 72 10 29.92 50 68");
    const QString metric = QStringLiteral("14 8 72 16 1013.2 10 20");
    const Tweak metricAnswer = [](QJsonObject& root) {
        root = OpenMeteoAnswer(DoubleWeather(), "temperature_unit=celsius&wind_speed_unit=kmh");
    };
    const Tweak imperialAnswer = [](QJsonObject& root) {
        root = OpenMeteoAnswer(DoubleWeather(), "temperature_unit=fahrenheit&wind_speed_unit=mph");
    };
    QTest::newRow("f as asked") << "f" << Tweak() << standard;
    QTest::newRow("c as asked") << "c" << Tweak() << metric;
    // When the answer states other units than were asked, the stated ones count.
    QTest::newRow("f from a metric answer") << "f" << metricAnswer << standard;
    QTest::newRow("c from an imperial answer") << "c" << imperialAnswer << metric;
    QTest::newRow("wind in m/s") << "c"
                                 << Both(Set("current", "wind_speed_10m", 10.0),
                                         Set("current_units", "wind_speed_10m",
                                             QStringLiteral("m/s")))
                                 << "14 36 72 16 1013.2 10 20";
    QTest::newRow("wind in knots")
        << "f"
        << Both(Set("current", "wind_speed_10m", 10.0),
                Set("current_units", "wind_speed_10m", QStringLiteral("kn")))
        << "58 12 72 10 29.92 50 68";
    QTest::newRow("visibility in km, pressure in Pa")
        << "f"
        << Both(Both(Set("current", "visibility", 0.8),
                     Set("current_units", "visibility", QStringLiteral("km"))),
                Both(Set("current", "pressure_msl", 101320.0),
                     Set("current_units", "pressure_msl", QStringLiteral("Pa"))))
        << "58 5 72 0.5 29.92 50 68";
    QTest::newRow("below freezing rounds away from zero")
        << "c"
        << Both(Set("current", "temperature_2m", -0.5), Set("daily", "temperature_2m_min", -12.5))
        << "-1 8 72 16 1013.2 -13 20";
    QTest::newRow("just below zero reads 0")
        << "c" << Set("current", "temperature_2m", -0.4) << "0 8 72 16 1013.2 10 20";
}

void TestFeedValues::valuesInTheUnitsAsked() {
    QFETCH(QString, letter);
    QFETCH(Tweak, tweak);
    QFETCH(QString, expected);
    const ForecastResult result =
        Parse(DoubleWeather(), *UnitSystemFromLetter(letter.toStdString()), tweak);
    QVERIFY2(result.conditions, result.error.c_str());
    QCOMPARE(Summary(*result.conditions), expected);
}

void TestFeedValues::unusableAnswers_data() {
    QTest::addColumn<Tweak>("tweak");
    QTest::addColumn<QString>("reason");

    QTest::newRow("null temperature")
        << Set("current", "temperature_2m", QJsonValue()) << "temperature_2m is null";
    QTest::newRow("text humidity") << Set("current", "relative_humidity_2m", QStringLiteral("72"))
                                   << "relative_humidity_2m is not a number";
    QTest::newRow("null weather code")
        << Set("current", "weather_code", QJsonValue()) << "weather_code is null";
    QTest::newRow("fractional weather code")
        << Set("current", "weather_code", 2.5) << "weather_code is not a whole number";
    QTest::newRow("no current values") << Remove("current") << "no \"current\" object";
    QTest::newRow("no units") << Remove("current_units") << "no \"current_units\" object";
    QTest::newRow("temperature in kelvin")
        << Set("current_units", "temperature_2m", QStringLiteral("K"))
        << "unknown unit \"K\" for temperature_2m";
    QTest::newRow("humidity as a ratio")
        << Set("current_units", "relative_humidity_2m", QStringLiteral("g/kg"))
        << "unknown unit \"g/kg\" for relative_humidity_2m";
    QTest::newRow("impossible pressure")
        << Set("current", "pressure_msl", 5.0) << "pressure_msl is out of range";
    QTest::newRow("humidity above 100")
        << Set("current", "relative_humidity_2m", 140.0) << "relative_humidity_2m is out of range";
    QTest::newRow("null high") << Set("daily", "temperature_2m_max", QJsonValue())
                               << "temperature_2m_max is null";
    QTest::newRow("no daily") << Remove("daily") << "no \"daily\" object";
    QTest::newRow("current time garbled")
        << Set("current", "time", QStringLiteral("yesterday")) << "current time is not a time";
    QTest::newRow("sunrise garbled")
        << Set("daily", "sunrise", QStringLiteral("06:52")) << "sunrise is not a time";
    QTest::newRow("an error answer") << Tweak([](QJsonObject& root) {
        root = QJsonObject{{QStringLiteral("error"), true},
                           {QStringLiteral("reason"), QStringLiteral("Latitude must be in range")}};
    }) << "upstream error: Latitude must be in range";
    QTest::newRow("not an object")
        << Tweak([](QJsonObject& root) { root = QJsonObject(); }) << "no \"current\" object";
}

void TestFeedValues::unusableAnswers() {
    QFETCH(Tweak, tweak);
    QFETCH(QString, reason);
    const ForecastResult result = Parse(DoubleWeather(), UnitSystem::Standard, tweak);
    QVERIFY(!result.conditions);
    QCOMPARE(QString::fromStdString(result.error), reason);
    QVERIFY(!ParseForecast("<html>Bad gateway</html>", UnitSystem::Metric).conditions);
    QVERIFY(!ParseForecast("", UnitSystem::Metric).conditions);
}

void TestFeedValues::pressureTrend_data() {
    QTest::addColumn<QString>("now");
    QTest::addColumn<double>("earlier");
    QTest::addColumn<double>("current");
    QTest::addColumn<Tweak>("history"); // else the hourly values run evenly
    QTest::addColumn<QString>("trend");

    // 0.02 inHg is 0.677 hPa.
    const QString at14 = QStringLiteral("2024-06-01T14:00");
    QTest::newRow("unchanged") << at14 << 1013.2 << 1013.2 << Tweak() << "0";
    QTest::newRow("up 0.6 hPa is steady") << at14 << 1012.6 << 1013.2 << Tweak() << "0";
    QTest::newRow("up 0.8 hPa rises") << at14 << 1012.4 << 1013.2 << Tweak() << "1";
    QTest::newRow("down 0.6 hPa is steady") << at14 << 1013.8 << 1013.2 << Tweak() << "0";
    QTest::newRow("down 0.8 hPa falls") << at14 << 1014.0 << 1013.2 << Tweak() << "2";
    QTest::newRow("up 3 hPa rises") << at14 << 1010.2 << 1013.2 << Tweak() << "1";
    // At 14:45, three hours ago lies between 11:00 (1014.2) and 12:00 (1012.2): 1012.7, up 0.5.
    // Either hourly value alone would give a trend.
    QTest::newRow("between hourly values")
        << "2024-06-01T14:45" << 0.0 << 1013.2
        << Set("hourly", "pressure_msl", QJsonArray{1014.2, 1012.2, 1013.0, 1013.2}) << "0";
    QTest::newRow("history reaching back two hours")
        << at14 << 0.0 << 1013.2
        << Set("hourly", "pressure_msl", QJsonArray{QJsonValue(), 1014.2, 1013.5, 1013.2}) << "2";
    // No value within an hour of three hours ago: the trend is unknown, not a guess.
    QTest::newRow("history all null")
        << at14 << 0.0 << 1013.2
        << Set("hourly", "pressure_msl",
               QJsonArray{QJsonValue(), QJsonValue(), QJsonValue(), QJsonValue()})
        << "";
    QTest::newRow("nearest value 70 minutes off")
        << at14 << 0.0 << 1013.2
        << Set("hourly", "time",
               QJsonArray{QStringLiteral("2024-06-01T09:50"), QStringLiteral("2024-06-01T12:10"),
                          QStringLiteral("2024-06-01T13:00"), QStringLiteral("2024-06-01T14:00")})
        << "";
}

void TestFeedValues::pressureTrend() {
    QFETCH(QString, now);
    QFETCH(double, earlier);
    QFETCH(double, current);
    QFETCH(Tweak, history);
    QFETCH(QString, trend);
    DoubleWeather weather;
    weather.now = now.toStdString();
    weather.pressureHpa3hAgo = earlier;
    weather.pressureHpa = current;
    const ForecastResult result = Parse(weather, UnitSystem::Standard, history);
    QVERIFY2(result.conditions, result.error.c_str());
    QCOMPARE(QString::fromStdString(result.conditions->trend), trend);
    QCOMPARE(result.warning.empty(), !trend.isEmpty()); // an unknown trend is logged
}

void TestFeedValues::sunTimes_data() {
    QTest::addColumn<QString>("sunrise");
    QTest::addColumn<QString>("sunset");
    QTest::addColumn<QString>("expected");

    QTest::newRow("morning and evening") << "2024-06-01T06:52"
                                         << "2024-06-01T17:03"
                                         << "6:52 am/5:03 pm";
    QTest::newRow("just after midnight") << "2024-06-01T00:05"
                                         << "2024-06-01T23:59"
                                         << "12:05 am/11:59 pm";
    QTest::newRow("around noon") << "2024-06-01T11:59"
                                 << "2024-06-01T12:00"
                                 << "11:59 am/12:00 pm";
    QTest::newRow("midnight and half past noon") << "2024-06-01T00:00"
                                                 << "2024-06-01T12:30"
                                                 << "12:00 am/12:30 pm";
    QTest::newRow("with seconds") << "2024-06-01T05:07:59"
                                  << "2024-06-01T21:10:00"
                                  << "5:07 am/9:10 pm";
    QTest::newRow("polar night") << ""
                                 << ""
                                 << "none/none";
}

void TestFeedValues::sunTimes() {
    QFETCH(QString, sunrise);
    QFETCH(QString, sunset);
    QFETCH(QString, expected);
    const auto time = [](const QString& text) {
        return text.isEmpty() ? QJsonValue() : QJsonValue(text);
    };
    const ForecastResult result =
        Parse(DoubleWeather(), UnitSystem::Metric,
              Both(Set("daily", "sunrise", time(sunrise)), Set("daily", "sunset", time(sunset))));
    QVERIFY2(result.conditions, result.error.c_str());
    QCOMPARE(QString::fromStdString(result.conditions->sunrise + '/' + result.conditions->sunset),
             expected);
}

void TestFeedValues::anotherTimeZoneInUnixTime() {
    // Honolulu (UTC-10) late in the evening of 1 June, when it is already 2 June in UTC; the
    // times come as seconds since the epoch and daily lists start at local midnight.
    const Tweak honolulu = [](QJsonObject& root) {
        root[QStringLiteral("utc_offset_seconds")] = -36000;
        Set("current", "time", 1717317000)(root); // 2024-06-02T08:30Z
        root[QStringLiteral("hourly")] = QJsonObject{
            {QStringLiteral("time"), QJsonArray{1717304400, 1717308000, 1717311600, 1717315200}},
            {QStringLiteral("pressure_msl"), QJsonArray{1015.0, 1014.5, 1014.0, 1013.4}}};
        root[QStringLiteral("daily")] =
            QJsonObject{{QStringLiteral("time"), QJsonArray{1717236000, 1717322400}},
                        {QStringLiteral("temperature_2m_max"), QJsonArray{30.0, 99.0}},
                        {QStringLiteral("temperature_2m_min"), QJsonArray{22.0, 99.0}},
                        {QStringLiteral("sunrise"), QJsonArray{1717257000, 1717343400}},
                        {QStringLiteral("sunset"), QJsonArray{1717305000, 1717391400}}};
    };
    const ForecastResult result = Parse(DoubleWeather(), UnitSystem::Metric, honolulu);
    QVERIFY2(result.conditions, result.error.c_str());
    const Conditions& c = *result.conditions;
    QCOMPARE(QString::fromStdString(c.observed), QStringLiteral("2024-06-01T22:30"));
    QCOMPARE(QString::fromStdString(c.high + '/' + c.low), QStringLiteral("30/22"));
    QCOMPARE(QString::fromStdString(c.sunrise + '/' + c.sunset), QStringLiteral("5:50 am/7:10 pm"));
    QCOMPARE(QString::fromStdString(c.trend), QStringLiteral("2"));

    // Lists that start the day before (as with past_days) still give today's values.
    const Tweak fromYesterday = [](QJsonObject& root) {
        root[QStringLiteral("daily")] = QJsonObject{
            {QStringLiteral("time"),
             QJsonArray{QStringLiteral("2024-05-31"), QStringLiteral("2024-06-01")}},
            {QStringLiteral("temperature_2m_max"), QJsonArray{99.0, 21.0}},
            {QStringLiteral("temperature_2m_min"), QJsonArray{99.0, 11.0}},
            {QStringLiteral("sunrise"),
             QJsonArray{QStringLiteral("2024-05-31T06:53"), QStringLiteral("2024-06-01T06:52")}},
            {QStringLiteral("sunset"),
             QJsonArray{QStringLiteral("2024-05-31T17:02"), QStringLiteral("2024-06-01T17:03")}}};
    };
    const ForecastResult later = Parse(DoubleWeather(), UnitSystem::Metric, fromYesterday);
    QVERIFY2(later.conditions, later.error.c_str());
    QCOMPARE(QString::fromStdString(later.conditions->high + '/' + later.conditions->low + ' ' +
                                    later.conditions->sunrise),
             QStringLiteral("21/11 6:52 am"));
}

void TestFeedValues::roundingAndFormats() {
    QCOMPARE(VisibilityText(9.96) + ' ' + VisibilityText(24.1), std::string("10 24"));
    QCOMPARE(PressureText(1013.04, UnitSystem::Metric), std::string("1013"));
    QCOMPARE(IsoText(LocalFromUnix(-60, 0)), std::string("1969-12-31T23:59"));
    QVERIFY(!ParseLocalDateTime("2024-13-01T00:00"));
    QVERIFY(!ParseLocalDateTime("2024-06-01 06:52"));
}

void TestFeedValues::requestPathHoldsOnlyNumbersAndFixedWords() {
    const QString path =
        QString::fromStdString(ForecastRequestPath(34.09, -118.41, UnitSystem::Standard));
    QVERIFY(path.startsWith(QStringLiteral("/v1/forecast?latitude=34.0900&longitude=-118.4100&")));
    const QRegularExpression parameter(
        QStringLiteral("^[a-z_]+=(-?[0-9]+\\.[0-9]+|[0-9]+|[a-z_0-9,]+)$"));
    const QStringList parameters = path.mid(path.indexOf(u'?') + 1).split(u'&');
    for (const QString& p : parameters)
        QVERIFY2(parameter.match(p).hasMatch(), qPrintable(p));
    QVERIFY(ForecastRequestPath(91, 0, UnitSystem::Metric).empty());
    QVERIFY(ForecastRequestPath(0, std::nan(""), UnitSystem::Metric).empty());
}

void TestFeedValues::zipCodes_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("zip"); // -1: none

    QTest::newRow("five digits") << "90210" << 90210;
    QTest::newRow("leading zero") << "00501" << 501;
    QTest::newRow("ZIP+4") << "90210-1234" << 90210;
    QTest::newRow("four digits") << "9021" << -1;
    QTest::newRow("six digits") << "902100" << -1;
    QTest::newRow("letter in +4") << "90210-12a4" << -1;
    QTest::newRow("blank before") << " 90210" << -1;
    QTest::newRow("query text") << "90210&u=c" << -1;
    QTest::newRow("full-width digits") << QStringLiteral("９０２１０") << -1;
    QTest::newRow("empty") << "" << -1;
}

void TestFeedValues::zipCodes() {
    QFETCH(QString, typed);
    QFETCH(int, zip);
    const auto parsed = ParseZip(typed.toStdString());
    QCOMPARE(parsed ? static_cast<int>(*parsed) : -1, zip);
}

void TestFeedValues::zipTableSkipsWhatItCannotUse() {
    const ZipTable table = ZipTable::FromText("# comment\n"
                                              "90210\tBeverly Hills\tCA\t34.09\t-118.41\r\n"
                                              "10001\tNew York\tNY\t40.75\t-73.99\n"
                                              "10002\tNew \"York\tNY\t40.72\t-73.99\n"
                                              "10003\tNew York\tNY\t95.00\t-73.99\n"
                                              "1004\tShort\tNY\t40.00\t-73.00\n"
                                              "10005\tNo coordinates\tNY\n"
                                              "10001\tDuplicate\tNY\t1.00\t1.00");
    QCOMPARE(table.size(), std::size_t(2));
    QCOMPARE(table.find(90210)->city, std::string("Beverly Hills"));
    QCOMPARE(table.find(10001)->city, std::string("New York"));
    QVERIFY(!table.find(10002));
    QVERIFY(!table.find(10003));

    const ZipTable& builtIn = ZipTable::BuiltIn();
    QVERIFY(builtIn.size() > 40000);
    const Place* honolulu = builtIn.find(96813);
    QVERIFY(honolulu);
    QCOMPARE(honolulu->city + ", " + honolulu->state, std::string("Honolulu, HI"));
    QCOMPARE(builtIn.find(501)->zipText(), std::string("00501"));
    QVERIFY(!builtIn.find(0));
}

void TestFeedValues::everyPlaceDocumentCarriesEachKeyOnce() {
    Conditions c = *Parse(DoubleWeather(), UnitSystem::Standard).conditions;
    for (const Place& place : ZipTable::BuiltIn().places()) {
        c.condition = std::string(WeatherCodeText(static_cast<int>(place.zip % 100)));
        const std::string document = FeedDocument(place, c, UnitSystem::Standard);
        for (std::string_view key : kFeedKeys) {
            const std::size_t first = document.find(key);
            if (first == std::string::npos || document.find(key, first + 1) != std::string::npos)
                QFAIL(qPrintable(
                    QStringLiteral("%1 in the document for %2")
                        .arg(QLatin1String(key.data(), static_cast<qsizetype>(key.size())),
                             QString::fromStdString(place.zipText()))));
        }
        if (document.find("not found") != std::string::npos || document.find("version") != 6)
            QFAIL(qPrintable(QString::fromStdString(document)));
    }
    QVERIFY(NotFoundDocument().find("not found") != std::string::npos);
    QVERIFY(NotFoundDocument().rfind("<?xml version=\"1.0\"", 0) == 0);
}

void TestFeedValues::cacheDropsLeastRecentlyUsedAndExpired() {
    const auto t0 = DocumentCache::Clock::time_point(1h);
    const auto doc = [](const char* text) { return std::make_shared<const std::string>(text); };
    DocumentCache cache(2, 60min);
    cache.put("a", doc("A"), t0);
    cache.put("b", doc("B"), t0);
    QVERIFY(cache.find("a", t0)); // a is now the most recent
    cache.put("c", doc("C"), t0);
    QVERIFY(!cache.find("b", t0));
    QCOMPARE(*cache.find("a", t0)->document, std::string("A"));
    QCOMPARE(cache.size(), std::size_t(2));

    cache.put("a", doc("A2"), t0 + 30min); // replaced, not added
    QCOMPARE(cache.size(), std::size_t(2));
    QCOMPARE(cache.find("a", t0 + 90min)->stored, t0 + 30min);
    QVERIFY(!cache.find("c", t0 + 61min));
    QCOMPARE(cache.size(), std::size_t(1));
}

void TestFeedValues::limiterKeepsEveryWindow() {
    const auto t0 = RateLimiter::Clock::time_point(48h);
    RateLimiter minute(CallLimits{3, 100, 100});
    for (int i = 0; i < 3; ++i)
        QVERIFY(minute.tryAcquire(t0 + i * 1s));
    QVERIFY(!minute.tryAcquire(t0 + 59s));
    QVERIFY(minute.tryAcquire(t0 + 61s)); // the first call has left the minute

    RateLimiter hour(CallLimits{100, 4, 100});
    for (int i = 0; i < 4; ++i)
        QVERIFY(hour.tryAcquire(t0 + i * 10min));
    QVERIFY(!hour.tryAcquire(t0 + 59min));
    QVERIFY(hour.tryAcquire(t0 + 61min));

    RateLimiter day(CallLimits{100, 100, 5});
    for (int i = 0; i < 5; ++i)
        QVERIFY(day.tryAcquire(t0 + i * 2h));
    QVERIFY(!day.tryAcquire(t0 + 23h));
    QVERIFY(day.tryAcquire(t0 + 24h + 1s));

    // Refused calls do not count.
    RateLimiter strict(CallLimits{1, 100, 100});
    QVERIFY(strict.tryAcquire(t0));
    for (int i = 1; i < 50; ++i)
        QVERIFY(!strict.tryAcquire(t0 + i * 1s));
    QVERIFY(strict.tryAcquire(t0 + 61s));

    // Our request weighs 1.2 calls (12 variables): two fit in 3, a place new today spends at most
    // 80% of it and a place known from an earlier day the rest.
    QCOMPARE(CallWeightTenths(ForecastRequestPath(34.09, -118.41, UnitSystem::Metric)), 12u);
    QCOMPARE(CallWeightTenths("/v1/forecast?current=a,b&daily=c&timezone=auto"), 10u);
    RateLimiter shared(CallLimits{3, 100, 100});
    QVERIFY(shared.tryAcquire(t0, 12, false) && shared.tryAcquire(t0, 12, false));
    QVERIFY(!shared.tryAcquire(t0, 1, false));
    QVERIFY(shared.tryAcquire(t0, 6, true) && !shared.tryAcquire(t0, 1, true));
}

void TestFeedValues::backOffEndsWithTheWindowNamed_data() {
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("now"); // UTC
    QTest::addColumn<QString>("until");

    const QString now = QStringLiteral("2024-06-01T12:34:56Z");
    QTest::newRow("minute") << "Minutely API request limit exceeded. Please try again in one "
                               "minute."
                            << now << "2024-06-01T12:35:00Z";
    QTest::newRow("hour") << "Hourly API request limit exceeded. Please try again in the next "
                             "hour."
                          << now << "2024-06-01T13:00:00Z";
    QTest::newRow("day") << "Daily API request limit exceeded. Please try again tomorrow." << now
                         << "2024-06-02T00:00:00Z";
    QTest::newRow("no window named") << "Too many requests" << now << "2024-06-01T12:35:56Z";
}

void TestFeedValues::backOffEndsWithTheWindowNamed() {
    QFETCH(QString, reason);
    QFETCH(QString, now);
    QFETCH(QString, until);
    const auto at = std::chrono::system_clock::time_point(
        std::chrono::seconds(QDateTime::fromString(now, Qt::ISODate).toSecsSinceEpoch()));
    const auto end = BackOffEnd(reason.toStdString(), at);
    QCOMPARE(QDateTime::fromSecsSinceEpoch(
                 std::chrono::duration_cast<std::chrono::seconds>(end.time_since_epoch()).count(),
                 Qt::UTC)
                 .toString(Qt::ISODate),
             until);
}

void TestFeedValues::options_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode"); // -1: runs
    QTest::addColumn<QString>("summary");

    QTest::newRow("defaults") << QStringList() << -1
                              << QStringLiteral("%1:%2 https://api.open-meteo.com 10000 600000 "
                                                "3600000 10000 540/4500/9000 2 60000 4096 5000")
                                     .arg(QLatin1String(kDefaultHost))
                                     .arg(kDefaultPort);
    QTest::newRow("all set") << QStringList{QStringLiteral("--listen"),
                                            QStringLiteral("[::1]:9000"),
                                            QStringLiteral("--upstream"),
                                            QStringLiteral("http://127.0.0.1:1234"),
                                            QStringLiteral("--upstream-timeout"),
                                            QStringLiteral("250"),
                                            QStringLiteral("--fresh"),
                                            QStringLiteral("0"),
                                            QStringLiteral("--stale"),
                                            QStringLiteral("7200"),
                                            QStringLiteral("--cache-entries"),
                                            QStringLiteral("20"),
                                            QStringLiteral("--per-minute"),
                                            QStringLiteral("1"),
                                            QStringLiteral("--per-hour"),
                                            QStringLiteral("2"),
                                            QStringLiteral("--per-day"),
                                            QStringLiteral("3"),
                                            QStringLiteral("--threads"),
                                            QStringLiteral("4"),
                                            QStringLiteral("--retry-after"),
                                            QStringLiteral("5"),
                                            QStringLiteral("--connections"),
                                            QStringLiteral("1024"),
                                            QStringLiteral("--client-timeout"),
                                            QStringLiteral("300")}
                             << -1
                             << "::1:9000 http://127.0.0.1:1234 250 0 7200000 20 1/2/3 4 5000 1024 "
                                "300";
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0 << "Usage: nimbrel-feed";
    QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                             << QStringLiteral("nimbrel-feed %1\n").arg(QLatin1String(kVersion));
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("--port"), QStringLiteral("1")} << 2 << "";
    QTest::newRow("port too big") << QStringList{QStringLiteral("--listen"),
                                                 QStringLiteral("127.0.0.1:70000")}
                                  << 2 << "";
    QTest::newRow("not a web address")
        << QStringList{QStringLiteral("--upstream"), QStringLiteral("ftp://x")} << 2 << "";
    QTest::newRow("missing value") << QStringList{QStringLiteral("--per-day")} << 2 << "";
    // "$NAME=value" sets an environment variable.
    QTest::newRow("environment") << QStringList{QStringLiteral("$NIMBREL_FEED_UPSTREAM=http://u"),
                                                QStringLiteral("$NIMBREL_FEED_PER_DAY=7"),
                                                QStringLiteral("$NIMBREL_FEED_THREADS=")}
                                 << -1
                                 << QStringLiteral("%1:%2 http://u 10000 600000 3600000 10000 "
                                                   "540/4500/7 2 60000 4096 5000")
                                        .arg(QLatin1String(kDefaultHost))
                                        .arg(kDefaultPort);
    QTest::newRow("bad environment value")
        << QStringList{QStringLiteral("$NIMBREL_FEED_UPSTREAM=ftp://x"),
                       QStringLiteral("$NIMBREL_FEED_LISTEN=[::1]:9"), QStringLiteral("--listen"),
                       QStringLiteral("127.0.0.1:8")}
        << 2 << "nimbrel-feed: bad value for NIMBREL_FEED_UPSTREAM: ftp://x\n";
    QTest::newRow("command line wins")
        << QStringList{QStringLiteral("$NIMBREL_FEED_LISTEN=[::1]:9"), QStringLiteral("--listen"),
                       QStringLiteral("127.0.0.1:8")}
        << -1
        << "127.0.0.1:8 https://api.open-meteo.com 10000 600000 3600000 10000 540/4500/9000 2 "
           "60000 4096 5000";
    const auto bad = [](const char* option, const char* value) {
        return QStringList{QLatin1String(option), QLatin1String(value)};
    };
    QTest::newRow("unknown source") << bad("--source", "open-meteo,yahoo") << 2 << "";
    QTest::newRow("a source twice") << bad("--source", "nws,nws") << 2 << "";
    QTest::newRow("a line break in the contact") << bad("--contact", "me\r\nX: y") << 2 << "";
}

void TestFeedValues::options() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, summary);
    std::vector<std::string> args;
    std::map<std::string, std::string> environment;
    for (const QString& a : arguments) {
        if (a.startsWith(u'$'))
            environment[a.section(u'=', 0, 0).mid(1).toStdString()] =
                a.section(u'=', 1).toStdString();
        else
            args.push_back(a.toStdString());
    }
    const ParsedOptions parsed =
        ParseFeedOptions(args, [&](const std::string& name) -> std::optional<std::string> {
            const auto found = environment.find(name);
            return found == environment.end() ? std::nullopt : std::optional(found->second);
        });
    if (exitCode >= 0) {
        QVERIFY(!parsed.options);
        QCOMPARE(parsed.exitCode, exitCode);
        // An error names itself before the usage; help and the version stand alone.
        if (summary.isEmpty())
            QVERIFY(parsed.message.find("\nUsage: nimbrel-feed") != std::string::npos);
        else
            QVERIFY(QString::fromStdString(parsed.message).startsWith(summary));
        return;
    }
    QVERIFY2(parsed.options, parsed.message.c_str());
    QCOMPARE(OptionsSummary(*parsed.options), summary);
}

QTEST_GUILESS_MAIN(TestFeedValues)
#include "tst_feedvalues.moc"
