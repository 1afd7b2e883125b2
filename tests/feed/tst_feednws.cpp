// The second weather source's plain parts: sunrise and sunset computed here against published
// times, and real api.weather.gov answers read into the document's values where the service test
// does not reach (the next station, the evening's high, the trend).
#include "NwsFixtures.h"

#include "feed/NwsAnswers.h"
#include "feed/SunTimes.h"

#include <QTest>

using namespace feed;

using NwsTweak = std::function<void(NwsAnswers&)>;
Q_DECLARE_METATYPE(NwsTweak)

namespace {

// Minutes after midnight of "4:20 am", or -1 for "none".
int Minutes(const QString& clock) {
    if (clock == QLatin1String("none"))
        return -1;
    const QTime t = QTime::fromString(clock.toUpper(), QStringLiteral("h:mm AP"));
    return t.isValid() ? t.hour() * 60 + t.minute() : -2;
}

// The fixtures' moment: the latest observation (2022-03-02T23:53Z) seven minutes old, the
// forecast made 30 minutes ago (its day period then starts at 17:47 and its night at 21:47), the
// nearest station's earlier observation an hour ago, the hourly forecast's first hour holding now.
const std::int64_t kNow = NwsTime("2022-03-03T00:00:00Z");

NwsAnswers Answers() {
    const auto moved = [](const char* name, const char* from, std::int64_t to) {
        return NwsShifted(NwsFixture(name), to - NwsTime(from));
    };
    NwsAnswers a{26.07, -80.15, "America/New_York", {}, {}, {}, {}};
    a.latest = {*ParseNwsObservation(NwsFixture("stations_observations_latest.json")).value};
    a.forecast =
        *ParseNwsForecast(moved("gridpoints_forecast_us.json", "2019-10-13T18:42:44Z", kNow - 1800))
             .value;
    a.history = *ParseNwsObservations(
                     moved("stations_observations.json", "2019-06-27T10:53:00Z", kNow - 3600))
                     .value;
    a.hourly = *ParseNwsForecast(
                    moved("gridpoints_forecast_hourly_us.json", "2019-10-15T00:00:00Z", kNow - 600))
                    .value;
    return a;
}

} // namespace

class TestFeedNws final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sunTimesAgainstPublished_data();
    void sunTimesAgainstPublished();
    void values_data();
    void values();
};

void TestFeedNws::sunTimesAgainstPublished_data() {
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<QString>("zone");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("expected"); // as printed, rounded to the minute

    const QString ny = QStringLiteral("America/New_York");
    const QString hawaii = QStringLiteral("Pacific/Honolulu");
    const QString alaska = QStringLiteral("America/Anchorage");
    QTest::newRow("New York, June (New York Times)")
        << 40.7829 << -73.9654 << ny << QDate(2016, 6, 20) << "5:25 am/8:31 pm";
    QTest::newRow("Honolulu, June (timeanddate)")
        << 21.3069 << -157.8583 << hawaii << QDate(2009, 6, 21) << "5:50 am/7:16 pm";
    QTest::newRow("Honolulu, December (timeanddate)")
        << 21.3069 << -157.8583 << hawaii << QDate(2009, 12, 21) << "7:05 am/5:55 pm";
    QTest::newRow("Anchorage, June (US Naval Observatory)")
        << 61.2181 << -149.9003 << alaska << QDate(2018, 6, 21) << "4:20 am/11:42 pm";
    QTest::newRow("Anchorage, December (National Weather Service)")
        << 61.2181 << -149.9003 << alaska << QDate(2022, 12, 21) << "10:14 am/3:42 pm";
    QTest::newRow("Fairbanks, December (Anchorage Daily News)")
        << 64.8378 << -147.7164 << alaska << QDate(2017, 12, 21) << "10:58 am/2:41 pm";
    QTest::newRow("Utqiagvik, polar night")
        << 71.2906 << -156.7886 << alaska << QDate(2017, 12, 21) << "none/none";
    QTest::newRow("Utqiagvik, polar day")
        << 71.2906 << -156.7886 << alaska << QDate(2018, 6, 21) << "none/none";
}

void TestFeedNws::sunTimesAgainstPublished() {
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(QString, zone);
    QFETCH(QDate, date);
    QFETCH(QString, expected);
    const SunTimes sun =
        ComputeSunTimes(latitude, longitude, date.year(), date.month(), date.day());
    const QString got = QString::fromStdString(SunClockText(sun.sunrise, zone.toStdString()) + '/' +
                                               SunClockText(sun.sunset, zone.toStdString()));
    // Almanacs differ by a minute with the coordinates they take for a city.
    for (int i : {0, 1}) {
        const int want = Minutes(expected.section(u'/', i, i));
        const int have = Minutes(got.section(u'/', i, i));
        QVERIFY2(std::abs(want - have) <= 1 && (want < 0) == (have < 0), qPrintable(got));
    }
}

void TestFeedNws::values_data() {
    QTest::addColumn<NwsTweak>("tweak");
    // text|temp|wind|humidity|visibility|pressure|trend|low|high in metric units, or the
    // failure's words.
    QTest::addColumn<QString>("expected");

    // The fixtures: 22.8 °C, 7.56 km/h, 75.77 %, 16090 m, 101860 Pa; 41 °F (5 °C) by day and
    // 68 °F (20 °C) by night; the hourly forecast 0 mph and 63 %.
    const auto row = [](const char* name, NwsTweak tweak, const char* expected) {
        QTest::newRow(name) << tweak << QString::fromUtf8(expected);
    };
    row(
        "as published", [](NwsAnswers&) {}, "Mostly Cloudy|23|8|76|16|1018.6||20|5");
    row(
        "null wind and humidity from the hourly period",
        [](NwsAnswers& a) {
            a.latest[0].windKmh.reset();
            a.latest[0].humidity.reset();
        },
        "Mostly Cloudy|23|0|63|16|1018.6||20|5");
    row(
        "hourly forecast stale: the next station's temperature",
        [](NwsAnswers& a) {
            a.hourly->generatedAt = kNow - 3 * 3600;
            a.latest.push_back(a.latest[0]);
            a.latest[0].temperatureC.reset();
            a.latest[1].temperatureC = 18.4;
        },
        "Mostly Cloudy|18|8|76|16|1018.6||20|5");
    row(
        "null visibility from the next station",
        [](NwsAnswers& a) {
            a.latest.push_back(a.latest[0]);
            a.latest[0].visibilityM.reset();
            a.latest[1].visibilityM = 8000;
        },
        "Mostly Cloudy|23|8|76|8|1018.6||20|5");
    row(
        "null visibility, the next station's observation stale",
        [](NwsAnswers& a) {
            a.latest.push_back(a.latest[0]);
            a.latest[0].visibilityM.reset();
            a.latest[1].time = kNow - 3 * 3600;
        },
        "no visibility");
    row(
        "null pressure, which no forecast holds",
        [](NwsAnswers& a) { a.latest[0].pressureHpa.reset(); }, "no pressure");
    row(
        "stale forecast", [](NwsAnswers& a) { a.forecast.generatedAt = kNow - 2 * 3600 - 60; },
        "forecast was made 121 minutes ago");
    row(
        "evening: the high observed so far",
        [](NwsAnswers& a) {
            a.forecast.periods.erase(a.forecast.periods.begin());
            a.history[0].temperatureC = 25.1;
        },
        "Mostly Cloudy|23|8|76|16|1018.6||20|25");
    row(
        "evening: yesterday's warmer afternoon does not count",
        [](NwsAnswers& a) {
            a.forecast.periods.erase(a.forecast.periods.begin());
            a.history[0].temperatureC = 25.1;
            a.history[0].time = kNow - 24 * 3600;
        },
        "Mostly Cloudy|23|8|76|16|1018.6||20|23");
    row(
        "evening: the current temperature the highest",
        [](NwsAnswers& a) { a.forecast.periods.erase(a.forecast.periods.begin()); },
        "Mostly Cloudy|23|8|76|16|1018.6||20|23");
    // The nearest station's pressure 10 minutes ago against one near three hours before.
    const auto trend = [](double earlier, std::int64_t ago) {
        return NwsTweak([=](NwsAnswers& a) {
            a.history = {a.history[0], a.history[0]};
            a.history[0].pressureHpa = 1016.0;
            a.history[0].time = kNow - 600;
            a.history[1].pressureHpa = earlier;
            a.history[1].time = kNow - 600 - ago;
        });
    };
    row("falling", trend(1017.0, 3 * 3600), "Mostly Cloudy|23|8|76|16|1018.6|2|20|5");
    row("rising, 50 minutes off", trend(1015.0, 230 * 60),
        "Mostly Cloudy|23|8|76|16|1018.6|1|20|5");
    row("unknown: nothing near three hours ago", trend(1010.0, 5 * 3600),
        "Mostly Cloudy|23|8|76|16|1018.6||20|5");
}

void TestFeedNws::values() {
    QFETCH(NwsTweak, tweak);
    QFETCH(QString, expected);
    NwsAnswers answers = Answers();
    tweak(answers);
    const ForecastResult r = NwsConditions(answers, UnitSystem::Metric, kNow);
    if (!r.conditions) {
        QVERIFY2(r.error.find(expected.toStdString()) != std::string::npos, r.error.c_str());
        return;
    }
    const Conditions& c = *r.conditions;
    QCOMPARE(QString::fromStdString(c.condition + '|' + c.temperature + '|' + c.windSpeed + '|' +
                                    c.humidity + '|' + c.visibility + '|' + c.pressure + '|' +
                                    c.trend + '|' + c.low + '|' + c.high),
             expected);
    // 23:53Z is 18:53 in Fort Lauderdale.
    QCOMPARE(QString::fromStdString(c.observed + ' ' + c.date),
             QStringLiteral("2022-03-02T18:53 2022-03-02"));
}

QTEST_GUILESS_MAIN(TestFeedNws)
#include "tst_feednws.moc"
