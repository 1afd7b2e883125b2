// Each document of the feed service, read by the program's own extraction and report text,
// gives the sentences intended.
#include "RunningFeed.h"

#include "feed/FeedDocument.h"
#include "feed/WeatherCodes.h"
#include "report/GetAttrValue.h"
#include "report/ReportText.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTest>

Q_DECLARE_METATYPE(DoubleWeather)

namespace {

// An answer Open-Meteo gave, as tests/feed/data keeps it (see SOURCES.md there).
QJsonObject Recorded(const QString& name) {
    QFile file(qEnvironmentVariable("NIMBREL_SOURCE_DIR") + QStringLiteral("/tests/feed/data/") +
               name);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
}

} // namespace

class TestFeedRoundTrip final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void reportReadsAsIntended_data();
    void reportReadsAsIntended();
    void everyWeatherCodeReads_data();
    void everyWeatherCodeReads();
    void everyConditionTextIsSafe();
    void unknownZipSaysNotFound();
    void realAnswers_data();
    void realAnswers();
    void cleanup() { m_feed.upstream.setMode(OpenMeteoDouble::Mode::Answer); }

private:
    static ReportSections Report(const std::string& document, const QString& letter) {
        const FeedValues values = ExtractFeedValues(QString::fromStdString(document));
        return ComposeReport(values, letter, SectionSwitches(), QStringLiteral("Hello"),
                             ReportTime{QTime(7, 30)});
    }

    // Every request asks upstream, and nothing older stands in for a failed one.
    RunningFeed m_feed{[](feed::FeedOptions& o) {
        o.service.freshFor = std::chrono::milliseconds(0);
        o.service.staleFor = std::chrono::milliseconds(0);
        o.service.retryAfter = std::chrono::milliseconds(0);
    }};
};

void TestFeedRoundTrip::reportReadsAsIntended_data() {
    QTest::addColumn<QString>("zip");
    QTest::addColumn<QString>("letter");
    QTest::addColumn<DoubleWeather>("weather");
    QTest::addColumn<QStringList>("sections");

    const DoubleWeather fair;
    QTest::newRow("standard")
        << "90210"
        << "f" << fair
        << QStringList{QStringLiteral("Hello. At 7:30 AM in Beverly Hills, it's Clear sky and 58 "
                                      "degrees with wind at 5 miles per hour. "),
                       QStringLiteral(
                           "Today, Clear sky with a high of 68 degrees and a low of 50 degrees. "),
                       QStringLiteral("Current humidity is 72% with barometric pressure rising at "
                                      "29.92. Visibility is 10 miles. "),
                       QStringLiteral("Sunrise is at 6:52 am and sunset is at 5:03 pm. ")};
    QTest::newRow("metric")
        << "90210"
        << "c" << fair
        << QStringList{QStringLiteral("Hello. At 7:30 AM in Beverly Hills, it's Clear sky and 14 "
                                      "degrees with wind at 8 kilometers per hour. "),
                       QStringLiteral(
                           "Today, Clear sky with a high of 20 degrees and a low of 10 degrees. "),
                       QStringLiteral("Current humidity is 72% with barometric pressure rising at "
                                      "1013.2. Visibility is 16 kilometers. "),
                       QStringLiteral("Sunrise is at 6:52 am and sunset is at 5:03 pm. ")};

    DoubleWeather blizzard;
    blizzard.now = "2024-01-15T23:30";
    blizzard.temperatureC = -12.3;
    blizzard.weatherCode = 75;
    blizzard.windKmh = 41;
    blizzard.humidity = 93;
    blizzard.visibilityM = 300;
    blizzard.pressureHpa = 998.2;
    blizzard.pressureHpa3hAgo = 1003.9;
    blizzard.maxC = -8;
    blizzard.minC = -17.6;
    blizzard.sunrise = "2024-01-15T07:18";
    blizzard.sunset = "2024-01-15T16:42";
    QTest::newRow("metric blizzard at night")
        << "55401"
        << "c" << blizzard
        << QStringList{
               QStringLiteral("Hello. At 7:30 AM in Minneapolis, it's Heavy snow and -12 degrees "
                              "with wind at 41 kilometers per hour. "),
               QStringLiteral(
                   "Today, Heavy snow with a high of -8 degrees and a low of -18 degrees. "),
               QStringLiteral("Current humidity is 93% with barometric pressure falling at 998.2. "
                              "Visibility is 0.3 kilometers. "),
               QStringLiteral("Sunrise is at 7:18 am and sunset is at 4:42 pm. ")};
    QTest::newRow("standard blizzard at night")
        << "55401"
        << "f" << blizzard
        << QStringList{QStringLiteral("Hello. At 7:30 AM in Minneapolis, it's Heavy snow and 10 "
                                      "degrees with wind at 26 miles per hour. "),
                       QStringLiteral(
                           "Today, Heavy snow with a high of 18 degrees and a low of 0 degrees. "),
                       QStringLiteral("Current humidity is 93% with barometric pressure falling at "
                                      "29.48. Visibility is 0.2 miles. "),
                       QStringLiteral("Sunrise is at 7:18 am and sunset is at 4:42 pm. ")};

    DoubleWeather steadyNoon = fair;
    steadyNoon.pressureHpa3hAgo = 1013.0;
    steadyNoon.sunrise = "2024-06-01T00:04";
    steadyNoon.sunset = "2024-06-01T12:00";
    QTest::newRow("steady, sun at midnight and noon")
        << "99723"
        << "f" << steadyNoon
        << QStringList{QStringLiteral("Hello. At 7:30 AM in Barrow, it's Clear sky and 58 degrees "
                                      "with wind at 5 miles per hour. "),
                       QStringLiteral(
                           "Today, Clear sky with a high of 68 degrees and a low of 50 degrees. "),
                       QStringLiteral("Current humidity is 72% with barometric pressure steady at "
                                      "29.92. Visibility is 10 miles. "),
                       QStringLiteral("Sunrise is at 12:04 am and sunset is at 12:00 pm. ")};
}

void TestFeedRoundTrip::reportReadsAsIntended() {
    QFETCH(QString, zip);
    QFETCH(QString, letter);
    QFETCH(DoubleWeather, weather);
    QFETCH(QStringList, sections);
    m_feed.upstream.setWeather(weather);
    const std::string document = m_feed.document(zip.toStdString(), letter.toStdString());
    QVERIFY(!document.empty());
    QVERIFY(document.find("not found") == std::string::npos);
    const ReportSections report = Report(document, letter);
    QCOMPARE(report.opening, sections[0]);
    QCOMPARE(report.forecast, sections[1]);
    QCOMPARE(report.atmosphere, sections[2]);
    QCOMPARE(report.sun, sections[3]);
    QVERIFY(!report.displayed().contains(QStringLiteral("version")));
}

void TestFeedRoundTrip::everyWeatherCodeReads_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    // A few checked by hand against WMO 4677; the rest are held to the rules below.
    QTest::newRow("0") << 0 << QStringLiteral("Clear sky");
    QTest::newRow("48") << 48 << QStringLiteral("Freezing fog");
    QTest::newRow("61") << 61 << QStringLiteral("Light rain");
    QTest::newRow("86") << 86 << QStringLiteral("Heavy snow showers");
    QTest::newRow("99") << 99 << QStringLiteral("Thunderstorm with heavy hail");
    QTest::newRow("42, not a code") << 42 << QStringLiteral("Unknown conditions");
}

void TestFeedRoundTrip::everyWeatherCodeReads() {
    QFETCH(int, code);
    QFETCH(QString, name);
    DoubleWeather weather;
    weather.weatherCode = code;
    m_feed.upstream.setWeather(weather);
    for (const QString& letter : {QStringLiteral("f"), QStringLiteral("c")}) {
        const ReportSections report =
            Report(m_feed.document("02134", letter.toStdString()), letter);
        QVERIFY2(report.opening.startsWith(
                     QStringLiteral("Hello. At 7:30 AM in Allston, it's %1 and ").arg(name)),
                 qPrintable(report.opening));
        QVERIFY2(report.forecast.startsWith(QStringLiteral("Today, %1 with a high of ").arg(name)),
                 qPrintable(report.forecast));
    }
}

// Every code's words are read back whole by the program: none holds a key's "=", a quote that would
// end the value, or the words that make the program repeat or say "ZIP Not Found".
void TestFeedRoundTrip::everyConditionTextIsSafe() {
    QSet<QString> texts;
    for (int code = 0; code < 100; ++code) {
        const std::string_view text = feed::WeatherCodeText(code);
        QVERIFY(!text.empty() && text.find_first_of("\"=") == std::string_view::npos);
        QVERIFY(text.find("version") == std::string_view::npos);
        QVERIFY(text.find(FeedContract::kNotFound) == std::string_view::npos);
        texts.insert(QString::fromUtf8(text.data(), qsizetype(text.size())));
    }
    // The 28 codes a forecast model reports, each with words of its own, and the rest unknown.
    QCOMPARE(texts.size(), 29);
}

void TestFeedRoundTrip::unknownZipSaysNotFound() {
    for (const char* zip : {"00000", "1234", "ABCDE", "90210%20", ""}) {
        const QString document = QString::fromStdString(m_feed.document(zip, "f"));
        QVERIFY2(document.startsWith(QStringLiteral("<?xml version=\"1.0\"")), zip);
        // The program turns this into "ZIP Not Found".
        QVERIFY(document.contains(QStringLiteral("not found")));
        QVERIFY(!document.contains(QStringLiteral("city=")));
    }
}

// A real answer (Twente, 2026-10-03 12:30, in Celsius, km/h, metres and hectopascals), served
// through the stand-in; the twelve values the program reads are worked out here from the
// published numbers. The hourly list ends ten and a half hours before the current values, so the
// trend is unknown.
void TestFeedRoundTrip::realAnswers_data() {
    QTest::addColumn<QString>("letter");
    QTest::addColumn<Tweak>("tweak");
    QTest::addColumn<QString>("values"); // the twelve, in the program's order; empty: 502

    const auto n = [](double value, int decimals = 0) {
        return QString::number(decimals ? value : std::round(value), 'f', decimals);
    };
    const auto f = [](double celsius) { return celsius * 9 / 5 + 32; };
    const QString city = QStringLiteral("Beverly Hills|Partly cloudy|");
    const QString f1 =
        city +
        QStringLiteral("%1|%2|%3|%4|66|").arg(n(f(17.7)), n(3.6 / 1.609344), n(f(8.4)), n(f(20.6)));
    const QString c1 =
        city + QStringLiteral("%1|%2|%3|%4|66|").arg(n(17.7), n(3.6), n(8.4), n(20.6));
    const QString f2 = n(1030.4 / 33.8638866667, 2) + u'|';
    const QString sun = QStringLiteral("|7:36 am|7:05 pm");
    const QString polar = QStringLiteral("|none|none");
    QTest::newRow("as published, f")
        << "f" << Tweak() << f1 + n(36080 / 1609.344) + u'|' + f2 + sun;
    QTest::newRow("as published, c")
        << "c" << Tweak() << c1 + n(36.08) + QStringLiteral("|1030.4|") + sun;
    QTest::newRow("polar night") << "f"
                                 << Both(
                                        Set("daily", "sunrise", QStringLiteral("2026-10-03T00:00")),
                                        Set("daily", "sunset", QStringLiteral("2026-10-03T00:00")))
                                 << f1 + n(36080 / 1609.344) + u'|' + f2 + polar;
    QTest::newRow("polar day") << "c"
                               << Both(Set("daily", "sunrise", QStringLiteral("2026-10-03T00:00")),
                                       Set("daily", "sunset", QStringLiteral("2026-10-04T00:00")))
                               << c1 + n(36.08) + QStringLiteral("|1030.4|") + polar;
    // The hourly list moved to end at the current hour: visibility comes from its 12:00 value,
    // and three hours ago (9:30) is within an hour of its 10:00 value, 1031.5 hPa: falling.
    const Tweak recent =
        Both(Set("current", "visibility", QJsonValue()),
             Set("hourly", "time",
                 QJsonArray{QStringLiteral("2026-10-03T10:00"), QStringLiteral("2026-10-03T11:00"),
                            QStringLiteral("2026-10-03T12:00")}));
    QTest::newRow("null visibility, hourly to now, f")
        << "f" << recent << f1 + n(7260 / 1609.344, 1) + u'|' + f2 + u'2' + sun;
    QTest::newRow("null visibility, hourly to now, c")
        << "c" << recent << c1 + n(7.26, 1) + QStringLiteral("|1030.4|2") + sun;
    QTest::newRow("null visibility nowhere")
        << "f" << Set("current", "visibility", QJsonValue()) << QString();
}

void TestFeedRoundTrip::realAnswers() {
    QFETCH(QString, letter);
    QFETCH(Tweak, tweak);
    QFETCH(QString, values);
    QJsonObject answer = Recorded(QStringLiteral("twente-2026-10-03.json"));
    QVERIFY(!answer.isEmpty());
    if (tweak)
        tweak(answer);
    m_feed.upstream.serve(200, QJsonDocument(answer).toJson().toStdString());
    const auto result = m_feed.get("/forecastrss?p=90210&u=" + letter.toStdString());
    QVERIFY(result);
    QCOMPARE(result->status, values.isEmpty() ? 502 : 200);
    const FeedValues v = ExtractFeedValues(QString::fromStdString(result->body));
    if (!values.isEmpty())
        QCOMPARE((QStringList{v.city, v.condition, v.temperature, v.windSpeed, v.low, v.high,
                              v.humidity, v.visibility, v.pressure, v.trend, v.sunrise, v.sunset})
                     .join(u'|'),
                 values);
}

QTEST_GUILESS_MAIN(TestFeedRoundTrip)
#include "tst_feedroundtrip.moc"
