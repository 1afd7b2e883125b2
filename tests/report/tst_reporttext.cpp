#include "report/ReportText.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

QString s(const char* text) {
    return QString::fromUtf8(text);
}

FeedValues losAngeles() {
    return {s("Los Angeles"), s("Fair"), s("58"),   s("5"), s("50"),      s("68"),
            s("72"),          s("10"),   s("30.1"), s("1"), s("6:52 am"), s("5:03 pm")};
}

FeedValues losAngelesMetric() {
    FeedValues v = losAngeles();
    v.temperature = s("14");
    v.windSpeed = s("8");
    v.visibility = s("16");
    v.pressure = s("998.2");
    v.trend = s("0");
    return v;
}

constexpr SectionSwitches allOn{};
constexpr SectionSwitches allOff{false, false, false, false, false};
const ReportTime halfPastSeven{QTime(7, 30)};

// A feed document laid out as the weather service writes it: the units line carries " speed=" and
// " pressure=" with one blank before the wind and atmosphere lines that carry them with two.
QString feedDocument() {
    QFile file(qEnvironmentVariable("NIMBREL_SOURCE_DIR") +
               QStringLiteral("/tests/report/data/weather-feed.xml"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return QString::fromUtf8(file.readAll());
}

} // namespace

Q_DECLARE_METATYPE(FeedValues)
Q_DECLARE_METATYPE(SectionSwitches)
Q_DECLARE_METATYPE(ReportTime)

class TestReportText final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void extractsTheTwelveValues();
    void missingValuesLeaveTheVersionTrace();
    void composes_data();
    void composes();
    void greeting_data();
    void greeting();
    void time_data();
    void time();
    void trendWord_data();
    void trendWord();
    void conditionTrimmedOnlyInTheOpening();
};

void TestReportText::extractsTheTwelveValues() {
    const FeedValues v = ExtractFeedValues(feedDocument());
    const FeedValues expected = losAngeles();
    QCOMPARE(v.city, expected.city);
    QCOMPARE(v.condition, expected.condition);
    QCOMPARE(v.temperature, expected.temperature);
    QCOMPARE(v.windSpeed, expected.windSpeed);
    QCOMPARE(v.low, expected.low);
    QCOMPARE(v.high, expected.high);
    QCOMPARE(v.humidity, expected.humidity);
    QCOMPARE(v.visibility, expected.visibility);
    QCOMPARE(v.pressure, expected.pressure);
    QCOMPARE(v.trend, expected.trend);
    QCOMPARE(v.sunrise, expected.sunrise);
    QCOMPARE(v.sunset, expected.sunset);
}

void TestReportText::missingValuesLeaveTheVersionTrace() {
    const QString withoutForecast =
        feedDocument().remove(QRegularExpression(QStringLiteral(R"( (low|high)="\d+")")));
    const ReportSections r =
        ComposeReport(ExtractFeedValues(withoutForecast), s("f"), allOn, QString(), halfPastSeven);
    QVERIFY(r.forecast.contains(s("version")));
    QVERIFY(!r.opening.contains(s("version")));
}

void TestReportText::composes_data() {
    QTest::addColumn<FeedValues>("values");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<SectionSwitches>("switches");
    QTest::addColumn<QString>("greeting");
    QTest::addColumn<QString>("opening");
    QTest::addColumn<QString>("forecast");
    QTest::addColumn<QString>("atmosphere");
    QTest::addColumn<QString>("sun");

    QTest::newRow("all sections")
        << losAngeles() << s("f") << allOn << s("Hello")
        << s("Hello. At 7:30 AM in Los Angeles, it's Fair and 58 degrees with wind at 5 miles per "
             "hour. ")
        << s("Today, Fair with a high of 68 degrees and a low of 50 degrees. ")
        << s("Current humidity is 72% with barometric pressure rising at 30.1. Visibility is 10 "
             "miles. ")
        << s("Sunrise is at 6:52 am and sunset is at 5:03 pm. ");
    QTest::newRow("no sections, no greeting")
        << losAngeles() << s("f") << allOff << QString()
        << s(" At 7:30 AM , it's Fair and 58 degrees . ") << QString() << QString() << QString();
    QTest::newRow("metric, wind and atmosphere")
        << losAngelesMetric() << s("c") << SectionSwitches{true, false, false, false, true}
        << QString()
        << s(" At 7:30 AM , it's Fair and 14 degrees with wind at 8 kilometers per hour. ")
        << QString()
        << s("Current humidity is 72% with barometric pressure steady at 998.2. Visibility is 16 "
             "kilometers. ")
        << QString();
    QTest::newRow("metric keeps degrees")
        << losAngelesMetric() << s("c") << SectionSwitches{false, true, false, false, false}
        << QString() << s(" At 7:30 AM , it's Fair and 14 degrees . ")
        << s("Today, Fair with a high of 68 degrees and a low of 50 degrees. ") << QString()
        << QString();

    FeedValues empty;
    QTest::newRow("empty values")
        << empty << s("f") << allOn << QString()
        << s(" At 7:30 AM in , it's  and  degrees with wind at  miles per hour. ")
        << s("Today,  with a high of  degrees and a low of  degrees. ")
        << s("Current humidity is % with barometric pressure  at . Visibility is  miles. ")
        << s("Sunrise is at  and sunset is at . ");
    FeedValues odd = losAngeles();
    odd.city = s(R"(x" & <y>)");
    odd.sunrise = QString::fromUtf16(u"a\u0000b", 3);
    QTest::newRow("values taken as text")
        << odd << s("f") << SectionSwitches{false, false, true, true, false} << QString()
        << s(R"( At 7:30 AM in x" & <y>, it's Fair and 58 degrees . )") << QString() << QString()
        << s("Sunrise is at ") + odd.sunrise + s(" and sunset is at 5:03 pm. ");
}

void TestReportText::composes() {
    QFETCH(FeedValues, values);
    QFETCH(QString, unit);
    QFETCH(SectionSwitches, switches);
    QFETCH(QString, greeting);
    QFETCH(QString, opening);
    QFETCH(QString, forecast);
    QFETCH(QString, atmosphere);
    QFETCH(QString, sun);

    const ReportSections r = ComposeReport(values, unit, switches, greeting, halfPastSeven);
    QCOMPARE(r.opening, opening);
    QCOMPARE(r.forecast, forecast);
    QCOMPARE(r.atmosphere, atmosphere);
    QCOMPARE(r.sun, sun);
    QCOMPARE(r.displayed(), opening + forecast + atmosphere + sun);
}

void TestReportText::greeting_data() {
    QTest::addColumn<QString>("greeting");
    QTest::addColumn<QString>("start");

    QTest::newRow("empty") << QString() << s(" At 7:30");
    QTest::newRow("blanks only") << s("   ") << s(" At 7:30");
    QTest::newRow("trailing blanks kept") << s("Hi  ") << s("Hi  . At 7:30");
    QTest::newRow("leading blanks removed") << s("  Hi") << s("Hi. At 7:30");
    QTest::newRow("tab is not a blank") << s("\t") << s("\t. At 7:30");
    QTest::newRow("line break kept") << s("Hi\n ") << s("Hi\n . At 7:30");
}

void TestReportText::greeting() {
    QFETCH(QString, greeting);
    QFETCH(QString, start);
    const QString opening =
        ComposeReport(losAngeles(), s("f"), allOff, greeting, halfPastSeven).opening;
    QVERIFY2(opening.startsWith(start), qPrintable(opening));
}

void TestReportText::time_data() {
    QTest::addColumn<ReportTime>("time");
    QTest::addColumn<QString>("text");

    QTest::newRow("five past midnight") << ReportTime{QTime(0, 5)} << s("12:05 AM");
    QTest::newRow("before noon") << ReportTime{QTime(11, 59, 59)} << s("11:59 AM");
    QTest::newRow("noon") << ReportTime{QTime(12, 0)} << s("12:00 PM");
    QTest::newRow("one in the afternoon") << ReportTime{QTime(13, 0)} << s("1:00 PM");
    QTest::newRow("last minute") << ReportTime{QTime(23, 59)} << s("11:59 PM");
    QTest::newRow("locale designators")
        << ReportTime{QTime(21, 7), s("vorm."), s("nachm.")} << s("9:07 nachm.");
    QTest::newRow("empty designator") << ReportTime{QTime(9, 7), QString(), s("PM")} << s("9:07 ");
    QTest::newRow("no time reads midnight") << ReportTime{QTime()} << s("12:00 AM");
}

void TestReportText::time() {
    QFETCH(ReportTime, time);
    QFETCH(QString, text);
    QCOMPARE(ComposeReport(losAngeles(), s("f"), allOff, QString(), time).opening,
             s(" At ") + text + s(" , it's Fair and 58 degrees . "));
}

void TestReportText::trendWord_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("phrase");

    QTest::newRow("0") << s("0") << s("pressure steady at");
    QTest::newRow("1") << s("1") << s("pressure rising at");
    QTest::newRow("2") << s("2") << s("pressure falling at");
    QTest::newRow("empty") << QString() << s("pressure  at");
    QTest::newRow("3") << s("3") << s("pressure  at");
    QTest::newRow("padded") << s(" 1") << s("pressure  at");
    QTest::newRow("leading zero") << s("01") << s("pressure  at");
}

void TestReportText::trendWord() {
    QFETCH(QString, code);
    QFETCH(QString, phrase);
    FeedValues v = losAngeles();
    v.trend = code;
    const QString atmosphere =
        ComposeReport(v, s("f"), SectionSwitches{false, false, false, false, true}, QString(),
                      halfPastSeven)
            .atmosphere;
    QVERIFY2(atmosphere.contains(phrase), qPrintable(atmosphere));
}

void TestReportText::conditionTrimmedOnlyInTheOpening() {
    FeedValues v = losAngeles();
    v.condition = s("  Partly Cloudy\t ");
    const ReportSections r = ComposeReport(v, s("f"), allOn, QString(), halfPastSeven);
    QVERIFY2(r.opening.contains(s(", it's Partly Cloudy\t and 58")), qPrintable(r.opening));
    QVERIFY2(r.forecast.startsWith(s("Today,   Partly Cloudy\t  with")), qPrintable(r.forecast));
}

QTEST_GUILESS_MAIN(TestReportText)
#include "tst_reporttext.moc"
