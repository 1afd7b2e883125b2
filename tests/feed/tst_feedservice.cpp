// The feed service over HTTP on loopback, asking an Open-Meteo double: what it serves, when it
// asks upstream, and what it answers when upstream fails.
#include "NwsFixtures.h"
#include "RunningFeed.h"

#include "feed/ListenSocket.h"
#include "feed/SunTimes.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimeZone>
#include <QUrlQuery>

#include <fstream>
#include <future>
#include <poll.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;
using Mode = OpenMeteoDouble::Mode;

namespace {

QUrlQuery QueryOf(const std::string& target) {
    const QString text = QString::fromStdString(target);
    return QUrlQuery(text.mid(text.indexOf(u'?') + 1));
}

// A port nothing listens on right now.
int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    sockaddr* generic = reinterpret_cast<sockaddr*>(&address);
    const bool ok = ::bind(fd, generic, length) == 0 && ::getsockname(fd, generic, &length) == 0;
    ::close(fd);
    return ok ? ntohs(address.sin_port) : -1;
}

QString Program() {
    return qEnvironmentVariable("NIMBREL_BINARY_DIR") + QStringLiteral("/feed/nimbrel-feed");
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string word;
    long kib = 0;
    while (status >> word)
        if (word == "VmRSS:" && status >> kib)
            break;
    return kib;
}

// An upstream that accepts, sends a status line and then one header line now and then, for ever.
class TricklingUpstream final {
public:
    TricklingUpstream() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        auto* generic = reinterpret_cast<sockaddr*>(&address);
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::bind(m_fd, generic, length);
        ::listen(m_fd, 16);
        ::getsockname(m_fd, generic, &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] {
            std::vector<int> clients;
            while (!m_stop) {
                pollfd ready{m_fd, POLLIN, 0};
                if (::poll(&ready, 1, 50) > 0) {
                    clients.push_back(::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC));
                    rawhttp::Send(clients.back(), "HTTP/1.1 200 OK\r\n");
                }
                for (const int client : clients)
                    rawhttp::Send(client, "X-Still: coming\r\n");
            }
            for (const int client : clients)
                ::close(client);
        });
    }
    ~TricklingUpstream() {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    std::string baseAddress() const { return "http://127.0.0.1:" + std::to_string(m_port); }

private:
    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

using Scenario = std::function<void()>;
using Setup = std::function<void(RunningFeed&)>;

OpenMeteoDouble::Route Route(int status, std::string body, std::string location = {},
                             int failFirst = 0) {
    return {status, std::move(body), std::move(location), failFirst};
}

// api.weather.gov as the fixtures show it, moved to today in New York: the latest observation
// ten minutes old, the day and night periods starting at 6:00 and 10:00, the forecast made half
// an hour ago, the hourly one's first hour holding now.
void ServeNws(OpenMeteoDouble& nws, const std::string& temperature = {}, std::int64_t age = 600,
              int forecastFailures = 0) {
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    const QTimeZone ny(QByteArrayLiteral("America/New_York"));
    const QDateTime six(QDateTime::currentDateTimeUtc().toTimeZone(ny).date(), QTime(6, 0), ny);
    const std::int64_t shift = six.toSecsSinceEpoch() - NwsTime("2019-10-13T14:00:00-04:00");
    nws.setRoute("/points/40.7500,-74.0000", Route(301, {}, "/points/30,-85")); // ZIP 10001
    nws.setRoute("/points/30,-85", Route(200, NwsFixture("points.json")));
    nws.setRoute("/gridpoints/TAE/58,65/stations",
                 Route(200, NwsFixture("gridpoints_stations.json")));
    std::string observed = NwsShifted(NwsFixture("stations_observations_latest.json"),
                                      now - age - NwsTime("2022-03-02T23:53:00Z"));
    if (!temperature.empty())
        NwsReplace(observed, "22.800000000000001", temperature);
    nws.setRoute("/stations/KCMH/observations/latest", Route(200, observed));
    nws.setRoute("/stations/KCMH/observations",
                 Route(200, NwsShifted(NwsFixture("stations_observations.json"),
                                       now - 3600 - NwsTime("2019-06-27T10:53:00Z"))));
    std::string forecast = NwsFixture("gridpoints_forecast_us.json");
    NwsReplace(forecast, "2019-10-13T18:42:44+00:00", // generatedAt
               QDateTime::fromSecsSinceEpoch(now - 1800 - shift, QTimeZone::utc())
                   .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss+00:00"))
                   .toStdString());
    forecast = NwsShifted(forecast, shift);
    nws.setRoute("/gridpoints/TAE/58,65/forecast", Route(200, forecast, {}, forecastFailures));
    nws.setRoute("/gridpoints/TAE/58,65/forecast/hourly",
                 Route(200, NwsShifted(NwsFixture("gridpoints_forecast_hourly_us.json"),
                                       now - 600 - NwsTime("2019-10-15T00:00:00Z"))));
}

std::string F(double c) {
    return std::to_string(std::lround(c * 9 / 5 + 32));
}

// A calendar that tests move on: it starts at 2024-06-01T21:00Z, 14:00 of the double's day at
// UTC-7, and every feed given it reads the same hours.
struct Calendar {
    std::shared_ptr<std::atomic<int>> hours = std::make_shared<std::atomic<int>>(0);
    std::chrono::system_clock::time_point operator()() const {
        return std::chrono::system_clock::time_point(std::chrono::seconds(1717275600)) +
               std::chrono::hours(hours->load());
    }
};

} // namespace

Q_DECLARE_METATYPE(Scenario)
Q_DECLARE_METATYPE(Setup)

class TestFeedService final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void servesDocumentAndAsksOncePerPlaceAndUnit();
    void refusals_data();
    void refusals();
    void upstreamFailure_data();
    void upstreamFailure();
    void openMeteoRefuses_data();
    void openMeteoRefuses();
    void upstreamTimeOut();
    void limiterKeepsToTheTerms();
    void limitedServesOnlyTodaysAnswer();
    void secondSource_data();
    void secondSource();
    void concurrentRequestsShareOneCall();
    void cacheIsBounded();
    void programRunsFromTheCommandLine_data();
    void programRunsFromTheCommandLine();
    void handedOverSocketServesTheNextStart();
    void hostile_data();
    void hostile();
};

void TestFeedService::servesDocumentAndAsksOncePerPlaceAndUnit() {
    RunningFeed feed;
    QVERIFY(feed.listening());
    const auto first = feed.get("/forecastrss?p=90210&u=f");
    QVERIFY(first);
    QCOMPARE(first->status, 200);
    QCOMPARE(QString::fromStdString(first->header("Content-Type")),
             QStringLiteral("text/xml; charset=UTF-8"));
    QCOMPARE(QString::fromStdString(first->header("Cache-Control")), QStringLiteral("max-age=600"));
    QVERIFY(first->body.rfind("<?xml version=\"1.0\"", 0) == 0);
    QVERIFY(first->body.find(" city=\"Beverly Hills\"") != std::string::npos);
    QVERIFY(first->body.find(" temp=\"58\"") != std::string::npos);

    QCOMPARE(feed.document("90210", "f"), first->body);
    QCOMPARE(feed.document("90210-0001", "f"), first->body);
    QCOMPARE(feed.upstream.requestCount(), std::size_t(1));
    QVERIFY(feed.document("90210", "c").find(" temp=\"14\"") != std::string::npos);

    const auto requests = feed.upstream.requests();
    QCOMPARE(requests.size(), std::size_t(2));
    const QUrlQuery standard = QueryOf(requests[0]);
    const QUrlQuery metric = QueryOf(requests[1]);
    QCOMPARE(standard.queryItemValue(QStringLiteral("latitude")), QStringLiteral("34.0900"));
    QCOMPARE(standard.queryItemValue(QStringLiteral("longitude")), QStringLiteral("-118.4100"));
    QCOMPARE(standard.queryItemValue(QStringLiteral("temperature_unit")),
             QStringLiteral("fahrenheit"));
    QCOMPARE(standard.queryItemValue(QStringLiteral("wind_speed_unit")), QStringLiteral("mph"));
    QCOMPARE(metric.queryItemValue(QStringLiteral("temperature_unit")), QStringLiteral("celsius"));
    QCOMPARE(metric.queryItemValue(QStringLiteral("wind_speed_unit")), QStringLiteral("kmh"));
}

void TestFeedService::refusals_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("notFound");

    QTest::newRow("no unit") << "/forecastrss?p=90210" << 400 << false;
    QTest::newRow("empty unit") << "/forecastrss?p=90210&u=" << 400 << false;
    QTest::newRow("kelvin") << "/forecastrss?p=90210&u=k" << 400 << false;
    QTest::newRow("unknown ZIP") << "/forecastrss?p=00000&u=f" << 200 << true;
    QTest::newRow("military ZIP without coordinates") << "/forecastrss?p=34001&u=f" << 200 << true;
    QTest::newRow("no ZIP") << "/forecastrss?u=c" << 200 << true;
    QTest::newRow("smuggled parameter") << "/forecastrss?p=90210%26u%3Dc&u=f" << 200 << true;
    QTest::newRow("line break") << "/forecastrss?p=90210%0D%0AX:%20y&u=f" << 400 << false;
    QTest::newRow("NUL") << "/forecastrss?p=90012%00junk&u=f" << 400 << false;
    QTest::newRow("other path") << "/forecastrss/more?p=90210&u=f" << 404 << false;
    QTest::newRow("long request") << QStringLiteral("/forecastrss?u=f&p=") + QString(300, u'9')
                                  << 414 << false;
}

void TestFeedService::refusals() {
    QFETCH(QString, target);
    QFETCH(int, status);
    QFETCH(bool, notFound);
    RunningFeed feed;
    const auto result = feed.get(target.toStdString());
    QVERIFY(result);
    QCOMPARE(result->status, status);
    QCOMPARE(result->body.find("not found") != std::string::npos, notFound);
    QCOMPARE(feed.upstream.requestCount(), std::size_t(0));
}

void TestFeedService::upstreamFailure_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("nullValue");
    QTest::addColumn<bool>("cached");
    QTest::addColumn<int>("status");

    const int error = static_cast<int>(Mode::ServerError);
    const int garbage = static_cast<int>(Mode::Garbage);
    const int answer = static_cast<int>(Mode::Answer);
    QTest::newRow("error status, cached") << error << false << true << 200;
    QTest::newRow("error status, nothing cached") << error << false << false << 502;
    QTest::newRow("not JSON, cached") << garbage << false << true << 200;
    QTest::newRow("not JSON, nothing cached") << garbage << false << false << 502;
    QTest::newRow("null temperature, cached") << answer << true << true << 200;
    QTest::newRow("null temperature, nothing cached") << answer << true << false << 502;
}

void TestFeedService::upstreamFailure() {
    QFETCH(int, mode);
    QFETCH(bool, nullValue);
    QFETCH(bool, cached);
    QFETCH(int, status);
    // Nothing is fresh, so every request asks upstream; an older answer may stand in.
    RunningFeed feed([](feed::FeedOptions& o) {
        o.service.freshFor = 0ms;
        o.service.retryAfter = 0ms;
    });
    std::string earlier;
    if (cached) {
        earlier = feed.document("10001", "c");
        QVERIFY(!earlier.empty());
    }
    feed.upstream.setMode(static_cast<Mode>(mode));
    if (nullValue)
        feed.upstream.setTweak([](QJsonObject& root) {
            QJsonObject current = root.value(QStringLiteral("current")).toObject();
            current[QStringLiteral("temperature_2m")] = QJsonValue();
            root[QStringLiteral("current")] = current;
        });
    const auto result = feed.get("/forecastrss?p=10001&u=c");
    QVERIFY(result);
    QCOMPARE(result->status, status);
    if (cached)
        QCOMPARE(result->body, earlier);
    QCOMPARE(feed.upstream.requestCount(), std::size_t(cached ? 2 : 1));

    // Once upstream answers again, the new answer is served.
    feed.upstream.setMode(Mode::Answer);
    feed.upstream.setTweak({});
    DoubleWeather warmer;
    warmer.temperatureC = 30;
    feed.upstream.setWeather(warmer);
    QVERIFY(feed.document("10001", "c").find(" temp=\"30\"") != std::string::npos);
}

// Open-Meteo's refusals carry a reason (see tests/feed/data/SOURCES.md); the log and the answer
// name it.
void TestFeedService::openMeteoRefuses_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("reason");

    const auto refusal = [](const char* reason) {
        return QStringLiteral("{\"error\":true,\"reason\":\"%1\"}").arg(QString::fromUtf8(reason));
    };
    const char* latitude = "Latitude must be in range of -90 to 90°. Given: 999.0.";
    QTest::newRow("400") << 400 << refusal(latitude)
                         << "Latitude must be in range of -90 to 90?. Given: 999.0.";
    for (const char* reason :
         {"Minutely API request limit exceeded. Please try again in one minute.",
          "Hourly API request limit exceeded. Please try again in the next hour.",
          "Daily API request limit exceeded. Please try again tomorrow."})
        QTest::addRow("429 %.6s", reason) << 429 << refusal(reason) << reason;
    QTest::newRow("503 from a proxy") << 503 << "<html>Service Unavailable</html>"
                                      << "status 503";
    QTest::newRow("200 with an error")
        << 200 << refusal("Cannot initialize") << "Cannot initialize";
    QTest::newRow("reason with a line break")
        << 400 << refusal("Bad\\r\\nX-Injected: 1") << "Bad??X-Injected: 1";
}

void TestFeedService::openMeteoRefuses() {
    QFETCH(int, status);
    QFETCH(QString, body);
    QFETCH(QString, reason);
    RunningFeed feed([](feed::FeedOptions& o) { o.service.sources = {feed::Source::OpenMeteo}; });
    feed.upstream.serve(status, body.toStdString());
    const auto answer = feed.get("/forecastrss?p=99723&u=f");
    QVERIFY(answer);
    QCOMPARE(answer->status, 502);
    QCOMPARE(QString::fromStdString(answer->body),
             QStringLiteral("Open-Meteo refused the request: %1\n").arg(reason));
}

void TestFeedService::upstreamTimeOut() {
    RunningFeed feed([](feed::FeedOptions& o) {
        o.service.freshFor = 0ms;
        o.service.staleFor = 800ms;
        o.service.upstreamTimeout = 100ms; // the whole call: 300 ms
    });
    const std::string earlier = feed.document("60601", "f");
    QVERIFY(!earlier.empty());
    feed.upstream.setDelay(3000ms);
    feed.upstream.setMode(Mode::Slow);

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(feed.document("60601", "f"), earlier); // within the stale lifetime
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));

    std::this_thread::sleep_for(900ms); // the cached answer is now too old to stand in
    const auto late = feed.get("/forecastrss?p=60601&u=f");
    QVERIFY(late);
    QCOMPARE(late->status, 502);
}

void TestFeedService::secondSource_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<bool>("nwsOnly");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("expected"); // parts of the body, between '|'

    // Fort Lauderdale's observation (22.8 °C, 7.56 km/h, 75.77 %, 16090 m, 101860 Pa), the
    // forecast's 41 °F by day and 68 °F by night, the hourly forecast's 78 °F.
    const auto row = [](const char* name, Setup setup, bool nwsOnly, int status,
                        const std::string& expected) {
        QTest::newRow(name) << setup << nwsOnly << status << QString::fromStdString(expected);
    };
    const auto down = [](const std::string& temperature = {}, std::int64_t age = 600,
                         int failures = 0) {
        return Setup([=](RunningFeed& r) {
            r.upstream.setMode(Mode::ServerError);
            ServeNws(r.nws, temperature, age, failures);
        });
    };
    const std::string rest = "\"|speed=\"" + std::to_string(std::lround(7.56 / 1.609344)) +
                             "\"|humidity=\"76\"  visibility=\"10\"  pressure=\"" +
                             QString::number(1018.6 / 33.8638866667, 'f', 2).toStdString() +
                             "\"  rising=\"\"|low=\"68\" high=\"41\"|National Weather Service";
    const std::string values = "text=\"Mostly Cloudy\" code=\"3\" temp=\"" + F(22.8) + rest;
    row("Open-Meteo down: the NWS answers", down(), false, 200, values);
    row(
        "the NWS alone", [](RunningFeed& r) { ServeNws(r.nws); }, true, 200, values);
    row("null temperature from the hourly period", down("null"), false, 200, "temp=\"78" + rest);
    row("a 500, asked once more", down({}, 600, 1), false, 200, values);
    row(
        "both down", [](RunningFeed& r) { r.upstream.setMode(Mode::ServerError); }, false, 502,
        "No weather service answered: Open-Meteo: refused the request (status 500): Internal "
        "error; National Weather Service: /points/40.7500,-74.0000: status 404.");
    row(
        "a place outside the grid",
        [down](RunningFeed& r) {
            down()(r);
            r.nws.setRoute("/points/30,-85", Route(404, NwsFixture("invalid_point_404.json")));
        },
        false, 502, "status 404, InvalidPoint: Unable to provide data for requested point");
    row(
        "forecast grid expired",
        [down](RunningFeed& r) {
            down()(r);
            r.nws.setRoute("/gridpoints/TAE/58,65/forecast",
                           Route(503, NwsFixture("forecast_grid_expired_503.json")));
        },
        false, 502, "status 503, ForecastGridExpired");
    row("stale observation", down({}, 2 * 3600 + 600), false, 502,
        "the latest observation is 130 minutes old");
}

void TestFeedService::secondSource() {
    QFETCH(Setup, setup);
    QFETCH(bool, nwsOnly);
    QFETCH(int, status);
    QFETCH(QString, expected);
    RunningFeed feed([nwsOnly](feed::FeedOptions& o) {
        if (nwsOnly)
            o.service.sources = {feed::Source::Nws};
    });
    setup(feed);
    const auto answer = feed.get("/forecastrss?p=10001&u=f");
    QVERIFY(answer);
    QCOMPARE(answer->status, status);
    for (const QString& part : expected.split(u'|'))
        QVERIFY2(answer->body.find(part.toStdString()) != std::string::npos, answer->body.c_str());
    if (status != 200)
        return;
    QCOMPARE(feed.upstream.requestCount(), std::size_t(nwsOnly ? 0 : 1));
    QCOMPARE(feed.nws.lastUserAgent(),
             std::string("nimbrel-feed/") + feed::kVersion + " (" + feed::kMaintainer + ')');
    // For New York's coordinates: the algorithm meets published times in tst_feednws.
    const std::string ny = "America/New_York";
    const QDate today =
        QDateTime::currentDateTimeUtc().toTimeZone(QTimeZone(QByteArray::fromStdString(ny))).date();
    const feed::SunTimes sun =
        feed::ComputeSunTimes(40.75, -74.0, today.year(), today.month(), today.day());
    QVERIFY(answer->body.find("sunrise=\"" + feed::SunClockText(sun.sunrise, ny) + "\" sunset=\"" +
                              feed::SunClockText(sun.sunset, ny)) != std::string::npos);
    // The point and its stations are asked once a day, not again for the other unit.
    QVERIFY(!feed.document("10001", "c").empty());
    const auto requests = feed.nws.requests();
    QCOMPARE(std::count_if(requests.begin(), requests.end(),
                           [](const std::string& r) { return r.starts_with("/points/"); }),
             2); // the redirect and the canonical point
}

void TestFeedService::limiterKeepsToTheTerms() {
    // Three calls a minute are two of our weight (1.2); places new today get 80% of it.
    RunningFeed feed([](feed::FeedOptions& o) { o.service.limits.perMinute = 3; });
    QVERIFY(!feed.document("90210", "f").empty());
    QVERIFY(!feed.document("10001", "f").empty());
    const auto third = feed.get("/forecastrss?p=60601&u=f");
    QVERIFY(third);
    QCOMPARE(third->status, 503);
    QVERIFY(!feed.document("90210", "f").empty()); // cached answers are still served
    QCOMPARE(feed.upstream.requestCount(), std::size_t(2));
}

// With the budget spent, an answer stands in only while it is of the same day at the place, so
// that no older weather is spoken as today's.
void TestFeedService::limitedServesOnlyTodaysAnswer() {
    const Calendar calendar;
    RunningFeed feed([&](feed::FeedOptions& o) {
        o.service.wallClock = calendar;
        o.service.freshFor = 0ms;
        o.service.limits.perDay = 2;
    });
    const std::string today = feed.document("90210", "f");
    QVERIFY(!today.empty());
    QCOMPARE(feed.document("90210", "f"), today); // not asked again: the budget is spent
    *calendar.hours = 10;                         // 00:00 of the next day in Beverly Hills
    QCOMPARE(feed.get("/forecastrss?p=90210&u=f")->status, 503);
    QCOMPARE(feed.upstream.requestCount(), std::size_t(1));
}

void TestFeedService::concurrentRequestsShareOneCall() {
    RunningFeed feed;
    feed.upstream.setDelay(300ms);
    feed.upstream.setMode(Mode::Slow);
    std::vector<std::future<std::string>> answers;
    for (int i = 0; i < 4; ++i)
        answers.push_back(
            std::async(std::launch::async, [&feed] { return feed.document("94103", "c"); }));
    const std::string first = answers[0].get();
    QVERIFY(first.find(" city=\"San Francisco\"") != std::string::npos);
    for (std::size_t i = 1; i < answers.size(); ++i)
        QCOMPARE(answers[i].get(), first);
    QCOMPARE(feed.upstream.requestCount(), std::size_t(1));
}

void TestFeedService::cacheIsBounded() {
    RunningFeed feed([](feed::FeedOptions& o) { o.service.cacheEntries = 2; });
    for (const char* zip : {"90210", "10001", "60601", "60601", "90210"})
        QVERIFY(!feed.document(zip, "f").empty());
    // 90210 had been dropped to make room for 60601.
    QCOMPARE(feed.upstream.requestCount(), std::size_t(4));
}

void TestFeedService::programRunsFromTheCommandLine_data() {
    QTest::addColumn<bool>("fromEnvironment"); // the upstream from NIMBREL_FEED_UPSTREAM
    // systemd-socket-activate holds the port and starts the service at the first connection,
    // handing the socket over as the system service's socket unit does.
    QTest::addColumn<bool>("activated");
    QTest::newRow("options") << false << false;
    QTest::newRow("environment") << true << false;
    QTest::newRow("socket activation") << true << true;
}

void TestFeedService::programRunsFromTheCommandLine() {
    QFETCH(bool, fromEnvironment);
    QFETCH(bool, activated);
    OpenMeteoDouble upstream;
    const QString program = Program();
    QVERIFY2(QFile::exists(program), qPrintable(program));

    QProcess refused;
    refused.start(program, {QStringLiteral("--listen"), QStringLiteral("nowhere")});
    QVERIFY(refused.waitForFinished(5000));
    QCOMPARE(refused.exitCode(), 2);

    const int port = FreePort();
    const QString address = QStringLiteral("127.0.0.1:%1").arg(port);
    const QString upstreamAddress = QString::fromStdString(upstream.baseAddress());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QStringList arguments{QStringLiteral("--nws-upstream"), upstreamAddress};
    if (fromEnvironment)
        environment.insert(QStringLiteral("NIMBREL_FEED_UPSTREAM"), upstreamAddress);
    else
        arguments << QStringLiteral("--upstream") << upstreamAddress;
    QProcess service;
    service.setProcessEnvironment(environment);
    if (activated) {
        // Nothing listens on the port the service would pick by itself.
        arguments << QStringLiteral("--listen") << QStringLiteral("127.0.0.1:%1").arg(FreePort());
        // It passes on only the variables it is told to.
        service.start(QStringLiteral("systemd-socket-activate"),
                      QStringList{QStringLiteral("-l"), address, QStringLiteral("-E"),
                                  QStringLiteral("NIMBREL_FEED_UPSTREAM"), program} +
                          arguments);
    } else {
        service.start(program, QStringList{QStringLiteral("--listen"), address} + arguments);
    }
    QVERIFY(service.waitForStarted(5000));
    const std::string request = rawhttp::Request("/forecastrss?p=96813&u=f");
    auto result = rawhttp::Exchange(port, request);
    for (int i = 0; i < 100 && !result; ++i) {
        std::this_thread::sleep_for(50ms);
        result = rawhttp::Exchange(port, request);
    }
    QVERIFY(result);
    QCOMPARE(result->status, 200);
    QVERIFY(result->body.find(" city=\"Honolulu\"") != std::string::npos);

    service.terminate();
    QVERIFY(service.waitForFinished(5000));
    QCOMPARE(service.exitStatus(), QProcess::NormalExit);
    QCOMPARE(service.exitCode(), 0);
}

// systemd keeps the socket it hands over and hands it to the next start of the service.
void TestFeedService::handedOverSocketServesTheNextStart() {
    const feed::ListenSocket unit = feed::OpenListenSocket("127.0.0.1", 0, 16);
    QVERIFY(unit.fd >= 0);
    for (int start = 0; start < 2; ++start) {
        RunningFeed feed([&](feed::FeedOptions& o) { o.listenFd = ::dup(unit.fd); });
        QVERIFY(feed.listening());
        QVERIFY2(!feed.document("90210", "f").empty(), qPrintable(QString::number(start)));
    }
    ::close(unit.fd);
}

// Each row attacks the real service on loopback and then checks that it still serves, within
// the seconds given.
void TestFeedService::hostile_data() {
    QTest::addColumn<Scenario>("scenario");
    QTest::addColumn<int>("seconds");

    QTest::newRow("header bomb") << Scenario([] {
        RunningFeed feed;
        const std::string line = "X-Filler: " + std::string(1000, 'a') + "\r\n";
        std::string bomb = "GET /forecastrss?p=90210&u=f HTTP/1.1\r\nHost: x\r\n";
        for (int i = 0; i < 2000; ++i)
            bomb += line;
        bomb += "\r\n";
        const long before = ResidentKiB();
        std::vector<std::future<std::optional<rawhttp::Answer>>> bombs;
        for (int i = 0; i < 6; ++i)
            bombs.push_back(std::async(std::launch::async,
                                       [&] { return rawhttp::Exchange(feed.port(), bomb, 5s); }));
        for (auto& answer : bombs) {
            const auto refused = answer.get();
            QVERIFY(!refused || refused->status == 431 || refused->status == 400);
        }
        QVERIFY2(ResidentKiB() - before < 8 * 1024, qPrintable(QString::number(before)));
        QVERIFY(!feed.document("90210", "f").empty());
    }) << 10;
    QTest::newRow("slow clients") << Scenario([] {
        RunningFeed feed([](feed::FeedOptions& o) { o.clientTimeout = 800ms; });
        std::vector<int> slow;
        for (int i = 0; i < 64; ++i) {
            slow.push_back(rawhttp::Connect(feed.port()));
            rawhttp::Send(slow.back(), "GET /forecastrss?p=90210&u=f HTTP/1.1\r\n");
        }
        QElapsedTimer plain;
        plain.start();
        QVERIFY(!feed.document("90210", "f").empty());
        QVERIFY2(plain.elapsed() < 500, qPrintable(QString::number(plain.elapsed())));
        // Still sending, a line now and then: dropped once the client time-out has passed.
        for (int round = 0; round < 6; ++round) {
            std::this_thread::sleep_for(300ms);
            for (const int fd : slow)
                rawhttp::Send(fd, "X-Slow: 1\r\n");
        }
        for (const int fd : slow) {
            pollfd ready{fd, POLLIN, 0};
            char byte = 0;
            QVERIFY(::poll(&ready, 1, 2000) == 1 && ::recv(fd, &byte, 1, 0) <= 0);
            ::close(fd);
        }
    }) << 10;
    QTest::newRow("trickling upstream") << Scenario([] {
        TricklingUpstream trickle;
        RunningFeed feed([&](feed::FeedOptions& o) {
            o.service.upstream = trickle.baseAddress();
            o.service.upstreamTimeout = 200ms;
        });
        QElapsedTimer timer;
        timer.start();
        const auto answer = feed.get("/forecastrss?p=90210&u=f");
        QVERIFY(answer);
        QCOMPARE(answer->status, 502);
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    }) << 5;
    QTest::newRow("failing upstream and the budget") << Scenario([] {
        RunningFeed feed([](feed::FeedOptions& o) { o.service.limits.perMinute = 3; });
        feed.upstream.setMode(Mode::ServerError);
        for (int i = 0; i < 20; ++i)
            QCOMPARE(feed.get("/forecastrss?p=90210&u=f")->status, 502);
        QCOMPARE(feed.upstream.requestCount(), std::size_t(1));
        feed.upstream.setMode(Mode::Answer);
        QVERIFY(!feed.document("10001", "f").empty());
    }) << 5;
    QTest::newRow("a 429 holds every place back") << Scenario([] {
        const Calendar calendar;
        RunningFeed feed([&](feed::FeedOptions& o) {
            o.service.sources = {feed::Source::OpenMeteo};
            o.service.wallClock = calendar;
            o.service.freshFor = 0ms;
        });
        const std::string earlier = feed.document("90210", "f");
        feed.upstream.serve(429, "{\"error\":true,\"reason\":\"Daily API request limit "
                                 "exceeded. Please try again tomorrow.\"}");
        QCOMPARE(feed.get("/forecastrss?p=10001&u=f")->status, 502);
        feed.upstream.setMode(Mode::Answer);
        const auto held = feed.get("/forecastrss?p=60601&u=f");
        QCOMPARE(held->status, 503);
        QVERIFY(held->body.find("Daily API request limit exceeded") != std::string::npos);
        QCOMPARE(feed.document("90210", "f"), earlier);
        QCOMPARE(feed.upstream.requestCount(), std::size_t(2));
        *calendar.hours = 3; // midnight UTC, when Open-Meteo's day ends
        QVERIFY(!feed.document("60601", "f").empty());
    }) << 5;
    QTest::newRow("a flood of new places") << Scenario([] {
        const Calendar calendar;
        RunningFeed feed([&](feed::FeedOptions& o) {
            o.service.sources = {feed::Source::OpenMeteo};
            o.service.wallClock = calendar;
            o.service.freshFor = 0ms;
        });
        QVERIFY(!feed.document("99723", "f").empty());
        *calendar.hours = 24; // the daily announcement's place was asked for yesterday
        std::atomic<int> refused{0};
        std::vector<std::thread> flood;
        const auto& places = feed::ZipTable::BuiltIn().places();
        for (std::size_t t = 0; t < 4; ++t)
            flood.emplace_back([&, t] {
                for (std::size_t i = t; i < 1000; i += 4)
                    refused +=
                        feed.get("/forecastrss?u=f&p=" + places[i * 40].zipText())->status != 200;
            });
        for (std::thread& thread : flood)
            thread.join();
        QVERIFY2(refused > 500, qPrintable(QString::number(refused)));
        const std::size_t before = feed.upstream.requestCount();
        QVERIFY(!feed.document("99723", "f").empty());
        QCOMPARE(feed.upstream.requestCount(), before + 1); // asked afresh, from the kept share
    }) << 30;
    // Each shape could frame the bytes after it as a second request; it gets 400 alone.
    QTest::newRow("smuggling shapes") << Scenario([] {
        RunningFeed feed;
        const std::string second = rawhttp::Request("/forecastrss?p=10001&u=f");
        const std::string length = "Content-Length: " + std::to_string(second.size());
        for (const std::string& head :
             {length + "\r\nContent-Length: 0", length + "\r\nTransfer-Encoding: chunked",
              "Content-Length : " + std::to_string(second.size()), length,
              std::string("Content-Length: 1e3"), std::string("Transfer-Encoding: chunked")}) {
            const auto answer = rawhttp::Exchange(
                feed.port(),
                "GET /forecastrss?p=90210&u=f HTTP/1.1\r\nHost: x\r\n" + head + "\r\n\r\n" + second,
                5s);
            QVERIFY2(answer && answer->status == 400 &&
                         answer->body.find("HTTP/1.1 200") == std::string::npos,
                     head.c_str());
        }
        QCOMPARE(feed.get("/forecastrss?u=f&p=" + std::string(9000, '9'))->status, 414);
        QCOMPARE(feed.upstream.requestCount(), std::size_t(0));
    }) << 10;
    QTest::newRow("second service on the port") << Scenario([] {
        RunningFeed first;
        QProcess second;
        second.start(Program(), {QStringLiteral("--listen"),
                                 QStringLiteral("127.0.0.1:%1").arg(first.port())});
        QVERIFY(second.waitForFinished(3000));
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(second.readAllStandardError().contains("is in use"));
        QVERIFY(!first.document("90210", "f").empty());
    }) << 5;
    QTest::newRow("SIGTERM with a stuck fetch") << Scenario([] {
        TricklingUpstream trickle;
        QProcess service;
        const int port = FreePort();
        service.start(Program(),
                      {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(port),
                       QStringLiteral("--upstream"), QString::fromStdString(trickle.baseAddress()),
                       QStringLiteral("--source"), QStringLiteral("open-meteo")});
        service.setReadChannel(QProcess::StandardError);
        while (!service.canReadLine() && service.waitForReadyRead(5000)) {
        }
        QVERIFY(service.readLine().contains("listening"));
        const int fd = rawhttp::Connect(port);
        QVERIFY(rawhttp::Send(fd, rawhttp::Request("/forecastrss?p=90210&u=f")));
        std::this_thread::sleep_for(300ms); // the fetch is under way and stuck
        QElapsedTimer timer;
        timer.start();
        service.terminate();
        QVERIFY(service.waitForFinished(3000));
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(service.exitStatus(), QProcess::NormalExit);
        QCOMPARE(service.exitCode(), 0);
        ::close(fd);
    }) << 5;
}

void TestFeedService::hostile() {
    QFETCH(Scenario, scenario);
    QFETCH(int, seconds);
    QElapsedTimer timer;
    timer.start();
    scenario();
    QVERIFY2(timer.elapsed() < seconds * 1000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_GUILESS_MAIN(TestFeedService)
#include "tst_feedservice.moc"
