// Each document of the feed service, read by the program's own extraction and report text,
// gives the sentences intended.
#include "RunningFeed.h"

#include "feed/FeedDocument.h"
#include "feed/WeatherCodes.h"
#include "report/GetAttrValue.h"
#include "report/ReportText.h"

#include <QSet>
#include <QTest>

Q_DECLARE_METATYPE(DoubleWeather)

class TestFeedRoundTrip final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void reportReadsAsIntended_data();
    void reportReadsAsIntended();
    void everyWeatherCodeReads_data();
    void everyWeatherCodeReads();
    void everyConditionTextIsSafe();
    void unknownZipSaysNotFound();

private:
    static ReportSections Report(const std::string& document, const QString& letter) {
        const FeedValues values = ExtractFeedValues(QString::fromStdString(document));
        return ComposeReport(values, letter, SectionSwitches(), QStringLiteral("Hello"),
                             ReportTime{QTime(7, 30)});
    }

    RunningFeed m_feed{
        [](feed::FeedOptions& o) { o.service.freshFor = std::chrono::milliseconds(0); }};
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
    QTest::newRow("-1, not a code") << -1 << QStringLiteral("Unknown conditions");
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

QTEST_GUILESS_MAIN(TestFeedRoundTrip)
#include "tst_feedroundtrip.moc"
