#include "core/Error.h"
#include "report/FeedLauncher.h"
#include "report/NetworkFetch.h"
#include "tests/support/FeedDocuments.h"
#include "tests/support/LoopbackFeedServer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(LoopbackFeedServer::Answer)

namespace {

struct Outcome {
    QString body;
    int code = 0; // 0: the body arrived
};

Outcome fetch(Inet& inet, const QString& url) {
    try {
        return {inet.OpenURL(url), 0};
    } catch (const NimbrelError& error) {
        return {QString(), error.code()};
    }
}

LoopbackFeedServer::Answer chunked(LoopbackFeedServer::Answer answer) {
    answer.chunked = true;
    return answer;
}

} // namespace

class tst_Inet final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void answers_data();
    void answers();
    void unreachableHost_data();
    void unreachableHost();
    void timersRunWhileWaiting();
};

void tst_Inet::answers_data() {
    QTest::addColumn<LoopbackFeedServer::Answer>("answer");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("code");

    const QByteArray feed = FeedDocuments::document();
    const QString feedText = QString::fromUtf8(feed);
    FeedDocuments::Values saoPaulo;
    saoPaulo.city = QStringLiteral("São Paulo");
    const QByteArray mebibyte(Inet::kMaxBodyBytes, 'x');

    QTest::newRow("document") << LoopbackFeedServer::document(feed) << 2000 << feedText << 0;
    QTest::newRow("UTF-8 document")
        << LoopbackFeedServer::document(FeedDocuments::document(saoPaulo)) << 2000
        << QString::fromUtf8(FeedDocuments::document(saoPaulo)) << 0;
    QTest::newRow("chunked document")
        << chunked(LoopbackFeedServer::document(feed)) << 2000 << feedText << 0;
    QTest::newRow("empty body") << LoopbackFeedServer::document({}) << 2000 << QString() << 0;
    QTest::newRow("204") << LoopbackFeedServer::status(204, {}) << 2000 << QString() << 0;
    QTest::newRow("exactly 1 MiB")
        << LoopbackFeedServer::document(mebibyte) << 5000 << QString::fromLatin1(mebibyte) << 0;
    QTest::newRow("trickled") << LoopbackFeedServer::trickled(feed, 64, 10ms) << 5000 << feedText
                              << 0;

    QTest::newRow("404 page") << LoopbackFeedServer::status(404) << 2000 << QString()
                              << ErrorCode::FeedBadStatus;
    QTest::newRow("500 page") << LoopbackFeedServer::status(500) << 2000 << QString()
                              << ErrorCode::FeedBadStatus;
    QTest::newRow("500 with a feed")
        << LoopbackFeedServer::status(500, feed) << 2000 << QString() << ErrorCode::FeedBadStatus;
    QTest::newRow("redirect") << LoopbackFeedServer::status(302) << 2000 << QString()
                              << ErrorCode::FeedBadStatus;
    QTest::newRow("1 MiB and a byte") << LoopbackFeedServer::document(mebibyte + 'x') << 5000
                                      << QString() << ErrorCode::FeedTooLarge;
    QTest::newRow("2 MB") << LoopbackFeedServer::document(QByteArray(2'000'000, 'x')) << 5000
                          << QString() << ErrorCode::FeedTooLarge;
    QTest::newRow("2 MB without length")
        << chunked(LoopbackFeedServer::trickled(QByteArray(2'000'000, 'x'), 64 * 1024, 0ms)) << 5000
        << QString() << ErrorCode::FeedTooLarge;
    QTest::newRow("dropped mid-body")
        << LoopbackFeedServer::droppedMidBody(feed) << 2000 << QString() << ErrorCode::FeedDropped;
    QTest::newRow("dropped mid-chunk") << chunked(LoopbackFeedServer::droppedMidBody(feed)) << 2000
                                       << QString() << ErrorCode::FeedDropped;
    QTest::newRow("never answers")
        << LoopbackFeedServer::silent(30s) << 300 << QString() << ErrorCode::FeedTimeout;
    QTest::newRow("trickle past the time-out") << LoopbackFeedServer::trickled(feed, 16, 20ms)
                                               << 300 << QString() << ErrorCode::FeedTimeout;
}

void tst_Inet::answers() {
    QFETCH(LoopbackFeedServer::Answer, answer);
    QFETCH(int, timeoutMs);
    QFETCH(QString, body);
    QFETCH(int, code);

    LoopbackFeedServer server;
    server.serve(answer);
    Inet inet{&NetworkFetch, std::chrono::milliseconds(timeoutMs)};
    QSignalSpy states(&inet, &Inet::StateChanged);
    QElapsedTimer clock;
    clock.start();

    const QString target = QStringLiteral("/forecastrss?p=90012&u=f");
    const Outcome outcome = fetch(inet, QStringLiteral("http://") + server.host() + target);

    QCOMPARE(outcome.code, code);
    QCOMPARE(outcome.body, body);
    QCOMPARE(server.targets(), QStringList{target});
    QCOMPARE(states.size(), 1);
    QCOMPARE(states.at(0).at(0).toInt(), code ? Inet::icError : Inet::icResponseCompleted);
    // A refused answer is given up on at once, not read to its end or waited out.
    QVERIFY2(clock.elapsed() < timeoutMs + 1000, qPrintable(QString::number(clock.elapsed())));
}

void tst_Inet::unreachableHost_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("feed"); // the nimbrel-feed started for the host; empty: none
    QTest::addColumn<int>("code");

    // A port that was free a moment ago: nothing listens there.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const QString closedPort = QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
    probe.close();

    QTest::newRow("refused") << closedPort << QString() << ErrorCode::FeedRefused;
    // .invalid is reserved: no resolver may answer it.
    QTest::newRow("host not found")
        << QStringLiteral("feed.invalid") << QString() << ErrorCode::FeedHostNotFound;
    QTest::newRow("refused, no feed installed")
        << closedPort << QStringLiteral("/nonexistent/nimbrel-feed") << ErrorCode::FeedRefused;
    // The feed's answer, with no weather service reachable, shows it was started and asked.
    QTest::newRow("refused, the feed started")
        << closedPort << QStringLiteral(NIMBREL_FEED_PROGRAM) << ErrorCode::FeedBadStatus;
}

void tst_Inet::unreachableHost() {
    QFETCH(QString, host);
    QFETCH(QString, feed);
    QFETCH(int, code);

    const QString url = QStringLiteral("http://%1/forecastrss?p=90012&u=f").arg(host);
    // Where nothing listens, for a feed that is started.
    qputenv("NIMBREL_FEED_UPSTREAM", "http://127.0.0.1:1");
    qputenv("NIMBREL_FEED_NWS_UPSTREAM", "http://127.0.0.1:1");
    auto inet = std::make_unique<Inet>(
        feed.isEmpty()
            ? FeedFetch(&NetworkFetch)
            : FeedLauncher::Around(&NetworkFetch, std::make_shared<FeedLauncher>(feed, host)),
        5s);
    QSignalSpy states(inet.get(), &Inet::StateChanged);
    QElapsedTimer clock;
    clock.start();
    const Outcome outcome = fetch(*inet, url);
    QVERIFY(code != ErrorCode::FeedRefused || clock.elapsed() < 1000);
    if (outcome.code == ErrorCode::FeedTimeout && code == ErrorCode::FeedHostNotFound)
        QSKIP("The name resolver did not answer within the time-out");
    QCOMPARE(outcome.code, code);
    QCOMPARE(states.size(), 1);
    QCOMPARE(states.at(0).at(0).toInt(), int(Inet::icError));
    // The feed it started ends with it.
    inet.reset();
    if (!feed.isEmpty())
        QCOMPARE(NetworkFetch(url, 5s).code(), ErrorCode::FeedRefused);
}

void tst_Inet::timersRunWhileWaiting() {
    // The wait must keep the window's timers (and repaints) going.
    LoopbackFeedServer server;
    LoopbackFeedServer::Answer slow = LoopbackFeedServer::document(FeedDocuments::document());
    slow.delay = 300ms;
    server.serve(slow);
    Inet inet{&NetworkFetch, 5s};
    int ticks = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] { ++ticks; });
    tick.start(20ms);

    const Outcome outcome = fetch(inet, QStringLiteral("http://%1/").arg(server.host()));

    QCOMPARE(outcome.code, 0);
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
}

QTEST_GUILESS_MAIN(tst_Inet)
#include "tst_inet.moc"
