// One announcement driven directly, with every part it touches written down: what the window's
// whole stack cannot bring about (a failing greeting write, failures without a code, the message
// handed back) and the repeat bound counted run by run.
#include "report/ReportRun.h"

#include "core/Error.h"
#include "tests/support/FeedDocuments.h"

#include <QTest>
#include <algorithm>
#include <optional>
#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

const QString kReport = u"<the report>"_s; // stands for the report's whole text

} // namespace

class TestReportRun final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void outcomes_data();
    void outcomes();
};

void TestReportRun::outcomes_data() {
    // Each fetch: "good", "missing" (a value left out), "error" (a feed code), "unknown" (not
    // found), "bare" (an exception without a code). The last one repeats.
    QTest::addColumn<QStringList>("fetches");
    QTest::addColumn<bool>("greetingFails");
    QTest::addColumn<int>("speechCode"); // thrown by the announcement; 0 for none
    QTest::addColumn<int>("runs");
    QTest::addColumn<QString>("weather");
    QTest::addColumn<bool>("announced");
    QTest::addColumn<bool>("shown");

    const QString retrieval = ReportMessages::retrievalProblem;
    const QString incomplete = ReportMessages::incomplete;
    const QStringList good{u"good"_s};
    QTest::newRow("good") << good << false << 0 << 1 << kReport << true << false;
    QTest::newRow("missing, good")
        << QStringList{u"missing"_s, u"good"_s} << false << 0 << 2 << kReport << true << false;
    QTest::newRow("missing at every run")
        << QStringList{u"missing"_s} << false << 0 << 3 << incomplete << false << false;
    // A failed fetch is not run again.
    QTest::newRow("error, good") << QStringList{u"error"_s, u"good"_s} << false << 0 << 1
                                 << retrieval << false << false;
    QTest::newRow("missing, error, good") << QStringList{u"missing"_s, u"error"_s, u"good"_s}
                                          << false << 0 << 2 << retrieval << false << false;
    QTest::newRow("missing, missing, error at the bound")
        << QStringList{u"missing"_s, u"missing"_s, u"error"_s} << false << 0 << 3 << retrieval
        << false << false;
    QTest::newRow("unknown ZIP code") << QStringList{u"unknown"_s} << false << 0 << 1
                                      << ReportMessages::enterZip << false << true;
    QTest::newRow("greeting not stored")
        << good << true << 0 << 1 << u"There is a problem saving your greeting: disk full"_s
        << false << false;
    QTest::newRow("speech fails") << good << false << ErrorCode::SpeechNoAudioDevice << 1
                                  << ReportMessages::speechProblem << false << false;
    QTest::newRow("code 75 from the speech shows its words")
        << good << false << ErrorCode::SettingsWriteFailed << 1 << u"no words"_s << false << false;
    QTest::newRow("failure without a code")
        << QStringList{u"bare"_s} << false << 0 << 1 << QString() << false << false;
}

void TestReportRun::outcomes() {
    QFETCH(QStringList, fetches);
    QFETCH(bool, greetingFails);
    QFETCH(int, speechCode);
    QFETCH(int, runs);
    QFETCH(QString, weather);
    QFETCH(bool, announced);
    QFETCH(bool, shown);

    int fetched = 0;
    QString shownWeather;
    QString storedZip;
    std::optional<ReportSections> spoken;
    bool windowShown = false;

    ReportParts parts;
    parts.feedHost = u"feed.test"_s;
    parts.readInputs = [] { return ReportInputs{u" 90012 "_s, u"Hello"_s, u"f"_s, {}}; };
    parts.readTime = [] { return ReportTime{QTime(7, 30)}; };
    parts.fetch = [&](const QString& url) {
        [&] { QCOMPARE(url, u"http://feed.test/forecastrss?p=90012&u=f"_s); }();
        const QString what = fetches.at(std::min<qsizetype>(fetched++, fetches.size() - 1));
        if (what == u"error")
            throw NimbrelError(ErrorCode::FeedBadStatus, u"500"_s);
        if (what == u"bare")
            throw std::runtime_error("no code");
        if (what == u"unknown")
            return QString::fromUtf8(FeedDocuments::notFound());
        const QByteArray document = FeedDocuments::document();
        return QString::fromUtf8(what == u"missing" ? FeedDocuments::without(document, "temp=")
                                                    : document);
    };
    parts.storeZip = [&]() -> Result<> {
        storedZip = u"stored"_s;
        return {};
    };
    parts.storeGreeting = [&]() -> Result<> {
        if (greetingFails)
            return Failure{u"disk full"_s};
        return {};
    };
    parts.announce = [&](const ReportSections& sections) {
        if (speechCode)
            throw NimbrelError(speechCode, u"no words"_s);
        spoken = sections;
    };
    parts.showCity = [](const QString&) {};
    parts.showWeather = [&](const QString& text) { shownWeather = text; };
    parts.showWindow = [&] { windowShown = true; };

    const QString failure = ReportAnnouncement(std::move(parts)).Run();

    QCOMPARE(fetched, runs);
    QCOMPARE(shownWeather, weather == kReport && spoken ? spoken->displayed() : weather);
    QCOMPARE(spoken.has_value(), announced);
    QCOMPARE(windowShown, shown);
    QCOMPARE(failure, announced ? QString() : weather);
    if (announced)
        QCOMPARE(storedZip, u"stored"_s);
}

QTEST_GUILESS_MAIN(TestReportRun)
#include "tst_reportrun.moc"
