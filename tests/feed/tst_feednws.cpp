// The second weather source's plain parts: sunrise and sunset computed here against published
// times, and real api.weather.gov answers read into the document's values.
#include "NwsFixtures.h"

#include "feed/NwsAnswers.h"
#include "feed/SunTimes.h"

#include <QTest>

#include <cmath>
#include <functional>

using namespace feed;
using namespace std::string_literals;

using NwsTweak = std::function<void(NwsAnswers&)>;
Q_DECLARE_METATYPE(NwsTweak)
Q_DECLARE_METATYPE(std::string)

namespace {

// Minutes after midnight of "4:20 am", or -1 for "none".
int Minutes(const QString& clock) {
    if (clock == QLatin1String("none"))
        return -1;
    const QTime t = QTime::fromString(clock.toUpper(), QStringLiteral("h:mm AP"));
    return t.isValid() ? t.hour() * 60 + t.minute() : -2;
}

// The expected figures, computed from the answer's SI values as a person would.
std::string F(double c) {
    return std::to_string(std::lround(c * 9 / 5 + 32));
}
std::string Whole(double x) {
    return std::to_string(std::lround(x));
}
std::string InHg(double hpa) {
    return QString::number(hpa / 33.8638866667, 'f', 2).toStdString();
}

// The fixtures' moment: the latest observation (KFLL, 2022-03-02T23:53Z) seven minutes old.
const std::int64_t kNow = NwsTime("2022-03-03T00:00:00Z");

// The fixtures, each moved so that it is as old as it would be at kNow.
NwsAnswers Answers() {
    NwsAnswers a;
    a.latitude = 26.07;
    a.longitude = -80.15;
    a.timeZone = "America/New_York";
    a.latest = {*ParseNwsObservation(NwsFixture("stations_observations_latest.json")).value};
    // The forecast made 30 minutes ago; its first period ("This Afternoon") then starts at 17:47
    // and "Tonight" at 21:47, both today.
    const std::int64_t made = NwsTime("2019-10-13T18:42:44Z");
    a.forecast =
        *ParseNwsForecast(NwsShifted(NwsFixture("gridpoints_forecast_us.json"), kNow - 1800 - made))
             .value;
    // The nearest station's earlier observation, an hour ago.
    const std::int64_t observed = NwsTime("2019-06-27T10:53:00Z");
    a.history = *ParseNwsObservations(
                     NwsShifted(NwsFixture("stations_observations.json"), kNow - 3600 - observed))
                     .value;
    return a;
}

// The hourly forecast made 20 minutes ago, its first hour holding now.
NwsForecast Hourly() {
    const std::int64_t firstHour = NwsTime("2019-10-14T20:00:00-04:00");
    NwsForecast hourly =
        *ParseNwsForecast(
             NwsShifted(NwsFixture("gridpoints_forecast_hourly_us.json"), kNow - 600 - firstHour))
             .value;
    hourly.generatedAt = kNow - 1200;
    return hourly;
}

} // namespace

class TestFeedNws final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void sunTimesAgainstPublished_data();
    void sunTimesAgainstPublished();
    void answersRead();
    void valuesFromRealAnswers_data();
    void valuesFromRealAnswers();
};

void TestFeedNws::initTestCase() {
    for (const char* name : {"points.json", "gridpoints_stations.json",
                             "stations_observations.json", "stations_observations_latest.json",
                             "gridpoints_forecast_us.json", "gridpoints_forecast_hourly_us.json",
                             "invalid_point_404.json", "forecast_grid_expired_503.json"})
        QVERIFY2(!NwsFixture(name).empty(), name);
}

void TestFeedNws::sunTimesAgainstPublished_data() {
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("sunrise");
    QTest::addColumn<QString>("sunset");

    // Times as newspapers printed them from the US Naval Observatory, the National Weather
    // Service and timeanddate.com; they round to the minute and take the city's centre.
    const QString ny = QStringLiteral("America/New_York");
    const QString hawaii = QStringLiteral("Pacific/Honolulu");
    const QString alaska = QStringLiteral("America/Anchorage");
    QTest::newRow("New York, June (New York Times)")
        << 40.7829 << -73.9654 << ny << QDate(2016, 6, 20) << "5:25 am"
        << "8:31 pm";
    QTest::newRow("Honolulu, June (timeanddate)")
        << 21.3069 << -157.8583 << hawaii << QDate(2009, 6, 21) << "5:50 am"
        << "7:16 pm";
    QTest::newRow("Honolulu, December (timeanddate)")
        << 21.3069 << -157.8583 << hawaii << QDate(2009, 12, 21) << "7:05 am"
        << "5:55 pm";
    QTest::newRow("Anchorage, June (USNO)")
        << 61.2181 << -149.9003 << alaska << QDate(2018, 6, 21) << "4:20 am"
        << "11:42 pm";
    QTest::newRow("Anchorage, December (NWS)")
        << 61.2181 << -149.9003 << alaska << QDate(2022, 12, 21) << "10:14 am"
        << "3:42 pm";
    QTest::newRow("Fairbanks, December (ADN)")
        << 64.8378 << -147.7164 << alaska << QDate(2017, 12, 21) << "10:58 am"
        << "2:41 pm";
    QTest::newRow("Utqiagvik, polar night")
        << 71.2906 << -156.7886 << alaska << QDate(2017, 12, 21) << "none"
        << "none";
    QTest::newRow("Utqiagvik, polar day")
        << 71.2906 << -156.7886 << alaska << QDate(2018, 6, 21) << "none"
        << "none";
}

void TestFeedNws::sunTimesAgainstPublished() {
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(QString, zone);
    QFETCH(QDate, date);
    QFETCH(QString, sunrise);
    QFETCH(QString, sunset);
    const SunTimes sun =
        ComputeSunTimes(latitude, longitude, date.year(), date.month(), date.day());
    const std::string tz = zone.toStdString();
    const QString rise = QString::fromStdString(SunClockText(sun.sunrise, tz));
    const QString set = QString::fromStdString(SunClockText(sun.sunset, tz));
    const QString both = rise + u'/' + set;
    QVERIFY2(std::abs(Minutes(rise) - Minutes(sunrise)) <= 1, qPrintable(both));
    QVERIFY2(std::abs(Minutes(set) - Minutes(sunset)) <= 1, qPrintable(both));
    QVERIFY2((Minutes(rise) < 0) == (Minutes(sunrise) < 0), qPrintable(both));
}

void TestFeedNws::answersRead() {
    const auto point = ParseNwsPoint(NwsFixture("points.json"));
    QVERIFY2(point.value, point.error.c_str());
    QCOMPARE(point.value->forecast, std::string("/gridpoints/TAE/58,65/forecast"));
    QCOMPARE(point.value->stations, std::string("/gridpoints/TAE/58,65/stations"));
    QCOMPARE(point.value->timeZone, std::string("America/New_York"));

    const auto stations = ParseNwsStations(NwsFixture("gridpoints_stations.json"));
    QVERIFY2(stations.value, stations.error.c_str());
    QCOMPARE(stations.value->size(), std::size_t(41));
    QCOMPARE(stations.value->front() + ' ' + stations.value->at(1), std::string("KCMH KOSU"));

    QCOMPARE(
        NwsProblem(NwsFixture("invalid_point_404.json")),
        std::string("InvalidPoint: Unable to provide data for requested point 90,120.5517605"));
    QVERIFY(NwsProblem(NwsFixture("forecast_grid_expired_503.json"))
                .starts_with("ForecastGridExpired: The requested forecast grid was issued"));
    QCOMPARE(NwsProblem("<html>Bad gateway</html>"), std::string());
    QVERIFY(!ParseNwsPoint(NwsFixture("invalid_point_404.json")).value);
    QVERIFY(!ParseNwsForecast("{\"properties\":{\"generatedAt\":\"soon\"}}").value);
}

void TestFeedNws::valuesFromRealAnswers_data() {
    QTest::addColumn<NwsTweak>("tweak");
    QTest::addColumn<bool>("metric");
    // text|temp|wind|humidity|visibility|pressure|trend|low|high, or the failure's words.
    QTest::addColumn<std::string>("expected");

    // KFLL: 22.8 °C, 7.56 km/h, 75.77 %, 16090 m, 101860 Pa; forecast 41 °F by day, 68 °F by
    // night; the hourly forecast 78 °F, 0 mph, 63 %.
    const std::string kmh = Whole(7.56 / 1.609344);
    const NwsTweak none = [](NwsAnswers&) {};
    QTest::newRow("as published, f")
        << none << false
        << "Mostly Cloudy|" + F(22.8) + '|' + kmh + "|76|10|" + InHg(1018.6) + "||68|41";
    QTest::newRow("as published, c")
        << none << true << "Mostly Cloudy|23|8|76|16|1018.6||20|" + Whole(5);
    QTest::newRow("null temperature from the hourly period") << NwsTweak([](NwsAnswers& a) {
        a.latest[0].temperatureC.reset();
        a.hourly = Hourly();
    }) << false << "Mostly Cloudy|78|" + kmh + "|76|10|" + InHg(1018.6) + "||68|41";
    QTest::newRow("null wind and humidity from the hourly period, c")
        << NwsTweak([](NwsAnswers& a) {
               a.latest[0].windKmh.reset();
               a.latest[0].humidity.reset();
               a.hourly = Hourly();
           })
        << true << "Mostly Cloudy|23|0|63|16|1018.6||20|5"s;
    QTest::newRow("stale hourly forecast: the next station's temperature")
        << NwsTweak([](NwsAnswers& a) {
               a.hourly = Hourly();
               a.hourly->generatedAt = kNow - 3 * 3600;
               a.latest.push_back(a.latest[0]);
               a.latest[0].temperatureC.reset();
               a.latest[1].temperatureC = 19.5;
           })
        << false << "Mostly Cloudy|" + F(19.5) + '|' + kmh + "|76|10|" + InHg(1018.6) + "||68|41";
    QTest::newRow("null visibility from the next station")
        << NwsTweak([](NwsAnswers& a) {
               a.latest.push_back(a.latest[0]);
               a.latest[0].visibilityM.reset();
               a.latest[1].visibilityM = 8000;
           })
        << false
        << "Mostly Cloudy|" + F(22.8) + '|' + kmh + "|76|5|" + InHg(1018.6) + "||68|41"; // 4.97 mi
    QTest::newRow("null visibility, next station stale") << NwsTweak([](NwsAnswers& a) {
        a.latest.push_back(a.latest[0]);
        a.latest[0].visibilityM.reset();
        a.latest[1].time = kNow - 3 * 3600;
    }) << false << "no visibility"s;
    QTest::newRow("null pressure nowhere") << NwsTweak([](NwsAnswers& a) {
        a.latest[0].pressureHpa.reset();
        a.hourly = Hourly();
    }) << false << "no pressure"s;
    QTest::newRow("stale observation")
        << NwsTweak([](NwsAnswers& a) { a.latest[0].time = kNow - 2 * 3600 - 60; }) << false
        << "121 minutes old"s;
    QTest::newRow("stale forecast")
        << NwsTweak([](NwsAnswers& a) { a.forecast.generatedAt = kNow - 2 * 3600 - 60; }) << false
        << "forecast was made 121 minutes ago"s;
    QTest::newRow("evening: the high observed so far") << NwsTweak([](NwsAnswers& a) {
        a.forecast.periods.erase(a.forecast.periods.begin());
        a.history[0].temperatureC = 25.1;
    }) << false << "Mostly Cloudy|73|" + kmh + "|76|10|" + InHg(1018.6) + "||68|" + F(25.1);
    QTest::newRow("evening: the current temperature the highest")
        << NwsTweak([](NwsAnswers& a) { a.forecast.periods.erase(a.forecast.periods.begin()); })
        << true << "Mostly Cloudy|23|8|76|16|1018.6||20|23"s;
    const auto trend = [](double earlier, std::int64_t ago) {
        return NwsTweak([=](NwsAnswers& a) {
            a.history.push_back(a.history[0]);
            a.history[0].pressureHpa = 1016.0;
            a.history[0].time = kNow - 600;
            a.history[1].pressureHpa = earlier;
            a.history[1].time = kNow - 600 - ago;
        });
    };
    QTest::newRow("falling over three hours")
        << trend(1017.0, 3 * 3600) << true << "Mostly Cloudy|23|8|76|16|1018.6|2|20|5"s;
    QTest::newRow("rising, the older value 50 minutes off")
        << trend(1015.0, 3 * 3600 + 50 * 60) << true << "Mostly Cloudy|23|8|76|16|1018.6|1|20|5"s;
    QTest::newRow("steady within 0.02 inHg")
        << trend(1015.5, 3 * 3600) << true << "Mostly Cloudy|23|8|76|16|1018.6|0|20|5"s;
    QTest::newRow("unknown: nothing near three hours ago")
        << trend(1010.0, 5 * 3600) << true << "Mostly Cloudy|23|8|76|16|1018.6||20|5"s;
    QTest::newRow("unknown time zone")
        << NwsTweak([](NwsAnswers& a) { a.timeZone = "Mars/Olympus"; }) << false
        << "unknown time zone"s;
}

void TestFeedNws::valuesFromRealAnswers() {
    QFETCH(NwsTweak, tweak);
    QFETCH(bool, metric);
    QFETCH(std::string, expected);
    NwsAnswers answers = Answers();
    tweak(answers);
    const ForecastResult r =
        NwsConditions(answers, metric ? UnitSystem::Metric : UnitSystem::Standard, kNow);
    if (!r.conditions) {
        QVERIFY2(r.error.find(expected) != std::string::npos, r.error.c_str());
        return;
    }
    const Conditions& c = *r.conditions;
    QCOMPARE(c.condition + '|' + c.temperature + '|' + c.windSpeed + '|' + c.humidity + '|' +
                 c.visibility + '|' + c.pressure + '|' + c.trend + '|' + c.low + '|' + c.high,
             expected);
    // 23:53Z is 18:53 in Fort Lauderdale; the sun was computed for that day.
    QCOMPARE(QString::fromStdString(c.observed + ' ' + c.date),
             QStringLiteral("2022-03-02T18:53 2022-03-02"));
    QVERIFY(Minutes(QString::fromStdString(c.sunrise)) > 6 * 60);
    QVERIFY(Minutes(QString::fromStdString(c.sunset)) > 18 * 60);
}

QTEST_GUILESS_MAIN(TestFeedNws)
#include "tst_feednws.moc"
