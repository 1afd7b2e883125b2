#include "app/Form1.h"
#include "core/Error.h"
#include "report/Inet.h"
#include "tests/support/FeedDocuments.h"
#include "tests/support/TestWindow.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <optional>

#include <sys/stat.h>

using namespace std::chrono_literals;
using Spoken = RecordingSpeechEngine::Spoken;

Q_DECLARE_METATYPE(LoopbackFeedServer::Answer)
Q_DECLARE_METATYPE(QList<LoopbackFeedServer::Answer>)
Q_DECLARE_METATYPE(QList<RecordingSpeechEngine::Spoken>)

namespace {

const QString kSpeechMessage = QStringLiteral(
    "There is a problem using the speech engine that you've selected. Please choose a different "
    "speaker or reinstall the speech engine that you are having trouble with.");
const QString kRetrievalMessage =
    QStringLiteral("There is a problem retrieving the weather data. Please make sure your "
                   "Internet connection is working properly.");
const QString kIncompleteMessage =
    QStringLiteral("The weather data is incomplete. Please try again later.");

// The report for the default feed document, in the morning, with every section on.
const QList<Spoken> kFullReport = {
    {QStringLiteral("Hello. At 7:30 AM in Los Angeles, it's Fair and 58 degrees with wind at 5 "
                    "miles per hour. "),
     3},
    {QStringLiteral("Today, Fair with a high of 68 degrees and a low of 50 degrees. "), 1},
    {QStringLiteral("Current humidity is 72% with barometric pressure rising at 30.1. "
                    "Visibility is 10 miles. "),
     1},
    {QStringLiteral("Sunrise is at 6:52 am and sunset is at 5:03 pm. "), 1},
};

QString joined(const QList<Spoken>& sections) {
    QString text;
    for (const Spoken& section : sections)
        text += section.text;
    return text;
}

QByteArray withoutTemperature() {
    return FeedDocuments::without(FeedDocuments::document(), "temp=");
}

// A session bus of the test's own, in its temporary folder, with nothing that could be started
// on demand: a dbus-daemon stopped with the test.
class PrivateBus final {
public:
    PrivateBus() {
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (file.open(QIODevice::WriteOnly))
            file.write(QStringLiteral("<busconfig><type>session</type><listen>unix:path=%1</listen>"
                                      "<auth>EXTERNAL</auth><policy context=\"default\">"
                                      "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                      "<allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                                      "</policy></busconfig>")
                           .arg(m_dir.filePath(QStringLiteral("bus")))
                           .toUtf8());
        file.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                        QStringLiteral("--config-file=") + config});
        if (m_daemon.waitForReadyRead(10000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        for (const QString& name : m_names)
            QDBusConnection::disconnectFromBus(name);
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }
    bool running() const { return !m_address.isEmpty(); }
    // A new connection to the bus, as a process of its own would open.
    QDBusConnection connect() {
        static int count = 0;
        m_names.append(QStringLiteral("private-bus-%1").arg(++count));
        return QDBusConnection::connectToBus(m_address, m_names.last());
    }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QStringList m_names;
};

// Stands in for the desktop's notification service and keeps what it was sent.
class StandInNotifications final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QList<QStringList> received; // application, icon, summary, body

public Q_SLOTS:
    uint Notify(const QString& application, uint, const QString& icon, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int) {
        received.append({application, icon, summary, body});
        return uint(received.size());
    }
};

// A port that was free a moment ago: nothing listens there.
QString closedPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return {};
    return QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
}

QString shownWeather(const TestWindow& rig) {
    return rig.control<QLabel>("txtWeather")->text();
}

QList<Spoken> spoken(const TestWindow& rig) {
    return rig.engine ? rig.engine->spoken : QList<Spoken>();
}

} // namespace

class tst_SpeakWeather final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void goodDocument_data();
    void goodDocument();
    void zipInRequest_data();
    void zipInRequest();
    void outcomes_data();
    void outcomes();
    void speechFailures_data();
    void speechFailures();
    void settingsWriteFailure();
    void unchangedSettingsKeepTheirFiles();
    void errorStateStartsAnnouncement_data();
    void errorStateStartsAnnouncement();
    void testButtonDisabledDuringRun();
    void timeIsReadAfterTheFetch();
    void scheduledFailureIsTold_data();
    void scheduledFailureIsTold();
    void clickToQueuedTime();
};

void tst_SpeakWeather::goodDocument_data() {
    QTest::addColumn<LoopbackFeedServer::Answer>("answer");
    QTest::addColumn<bool>("metric");
    QTest::addColumn<QString>("greeting");
    QTest::addColumn<QList<bool>>("checks"); // Check1 to Check5
    QTest::addColumn<QString>("target");
    QTest::addColumn<QList<Spoken>>("sections");

    const QList<bool> allOn{true, true, true, true, true};
    QTest::newRow("standard, every section")
        << LoopbackFeedServer::document(FeedDocuments::document()) << false
        << QStringLiteral("Hello") << allOn << QStringLiteral("/forecastrss?p=90012&u=f")
        << kFullReport;
    QTest::newRow("trickled slowly")
        << LoopbackFeedServer::trickled(FeedDocuments::document(), 48, 15ms) << false
        << QStringLiteral("Hello") << allOn << QStringLiteral("/forecastrss?p=90012&u=f")
        << kFullReport;
    QTest::newRow("metric, wind and atmosphere only")
        << LoopbackFeedServer::document(FeedDocuments::document(FeedDocuments::metricValues()))
        << true << QString() << QList<bool>{true, false, false, false, true}
        << QStringLiteral("/forecastrss?p=90012&u=c")
        << QList<Spoken>{
               {QStringLiteral(" At 7:30 AM , it's Fair and 14 degrees with wind at 8 kilometers "
                               "per hour. "),
                3},
               {QString(), 1},
               {QStringLiteral("Current humidity is 72% with barometric pressure steady at 998.2. "
                               "Visibility is 16 kilometers. "),
                1},
               {QString(), 1},
           };
}

void tst_SpeakWeather::goodDocument() {
    QFETCH(LoopbackFeedServer::Answer, answer);
    QFETCH(bool, metric);
    QFETCH(QString, greeting);
    QFETCH(QList<bool>, checks);
    QFETCH(QString, target);
    QFETCH(QList<Spoken>, sections);

    TestWindow rig;
    QVERIFY(rig.loaded);
    rig.feed.serve(answer);
    (metric ? rig.control<QRadioButton>("Option2") : rig.control<QRadioButton>("Option1"))
        ->setChecked(true);
    rig.control<QLineEdit>("Greeting")->setText(greeting);
    const QList<QCheckBox*> boxes{
        rig.control<QCheckBox>("Check1"), rig.control<QCheckBox>("Check2"),
        rig.control<QCheckBox>("Check3"), rig.control<QCheckBox>("Check4"),
        rig.control<QCheckBox>("Check5")};
    for (qsizetype i = 0; i < boxes.size(); ++i)
        boxes[i]->setChecked(checks[i]);

    QTest::mouseClick(rig.control<QPushButton>("SpeakItBtn"), Qt::LeftButton);

    QCOMPARE(rig.feed.targets(), QStringList{target});
    QCOMPARE(rig.control<QLabel>("CityFound")->text(), QStringLiteral("Los Angeles"));
    QCOMPARE(shownWeather(rig), joined(sections));
    QCOMPARE(spoken(rig), sections);
    QCOMPARE(rig.stored("citydat.txt"), QByteArray("90012\r\n"));
    QCOMPARE(rig.stored("greetdat.txt"), greeting.toUtf8() + "\r\n");
}

void tst_SpeakWeather::zipInRequest_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QByteArray>("stored");

    QTest::newRow("blanks around")
        << QStringLiteral("  90012  ") << QStringLiteral("p=90012&u=f") << QByteArray("90012");
    QTest::newRow("a second unit")
        << QStringLiteral("90012&u=c") << QStringLiteral("p=90012%26u%3Dc&u=f")
        << QByteArray("90012&u=c");
    QTest::newRow("fragment mark")
        << QStringLiteral("90012#top") << QStringLiteral("p=90012%23top&u=f")
        << QByteArray("90012#top");
    QTest::newRow("percent") << QStringLiteral("90%2012") << QStringLiteral("p=90%252012&u=f")
                             << QByteArray("90%2012");
    QTest::newRow("inner blank") << QStringLiteral("900 12") << QStringLiteral("p=900%2012&u=f")
                                 << QByteArray("900 12");
    QTest::newRow("tab is no blank")
        << QStringLiteral("\t90012 ") << QStringLiteral("p=%0990012&u=f") << QByteArray("\t90012");
}

void tst_SpeakWeather::zipInRequest() {
    QFETCH(QString, typed);
    QFETCH(QString, query);
    QFETCH(QByteArray, stored);

    TestWindow rig;
    rig.feed.serve(LoopbackFeedServer::document(FeedDocuments::document()));
    rig.control<QLineEdit>("Location")->setText(typed);

    rig.control<QPushButton>("SpeakItBtn")->click();

    QCOMPARE(rig.feed.targets(), QStringList{QStringLiteral("/forecastrss?") + query});
    QCOMPARE(rig.stored("citydat.txt"), stored + "\r\n");
    QCOMPARE(spoken(rig).size(), 4);
}

void tst_SpeakWeather::outcomes_data() {
    QTest::addColumn<QList<LoopbackFeedServer::Answer>>("answers");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QString>("city");
    QTest::addColumn<QString>("weather");
    QTest::addColumn<bool>("announced");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("shown");

    const QByteArray feed = FeedDocuments::document();
    const LoopbackFeedServer::Answer good = LoopbackFeedServer::document(feed);
    const LoopbackFeedServer::Answer missing = LoopbackFeedServer::document(withoutTemperature());
    const LoopbackFeedServer::Answer failing = LoopbackFeedServer::status(500);
    const QString report = joined(kFullReport);
    const QString la = QStringLiteral("Los Angeles");
    const QString earlier = QStringLiteral("Pasadena"); // the previous run's city
    const QString notFound = QStringLiteral("ZIP Not Found");
    const QString enterZip = QStringLiteral("Please enter your ZIP code.");
    FeedDocuments::Values noCity;
    noCity.city.clear();
    QByteArray mentionsNotFound = feed;
    mentionsNotFound.replace("<ttl>", "<!-- radar station not found -->\n<ttl>");

    QTest::newRow("unknown ZIP") << QList{LoopbackFeedServer::document(FeedDocuments::notFound())}
                                 << false << 1 << notFound << enterZip << false << false << true;
    QTest::newRow("not found inside a good document")
        << QList{LoopbackFeedServer::document(mentionsNotFound)} << false << 1 << notFound
        << enterZip << false << false << true;
    QTest::newRow("empty city") << QList{LoopbackFeedServer::document(
                                       FeedDocuments::document(noCity))}
                                << false << 1 << notFound << enterZip << false << false << true;
    QTest::newRow("empty body") << QList{LoopbackFeedServer::document({})} << false << 1 << notFound
                                << enterZip << false << false << true;

    QTest::newRow("value always missing")
        << QList{missing} << false << 3 << la << kIncompleteMessage << false << true << false;
    QTest::newRow("missing once") << QList{missing, good} << false << 2 << la << report << true
                                  << true << false;
    // A fetch that failed is not tried again: one wait per failure.
    QTest::newRow("missing, failing, good") << QList{missing, failing, good} << false << 2 << la
                                            << kRetrievalMessage << false << true << false;
    QTest::newRow("missing, then failing at the bound")
        << QList{missing, missing, failing, good} << false << 3 << la << kRetrievalMessage << false
        << true << false;
    QTest::newRow("failing, then missing") << QList{failing, missing, good} << false << 1 << earlier
                                           << kRetrievalMessage << false << false << false;

    QTest::newRow("500") << QList{failing} << false << 1 << earlier << kRetrievalMessage << false
                         << false << false;
    QTest::newRow("404 with a feed inside")
        << QList{LoopbackFeedServer::status(404, feed)} << false << 1 << earlier
        << kRetrievalMessage << false << false << false;
    QTest::newRow("never answers") << QList{LoopbackFeedServer::silent(30s)} << false << 1
                                   << earlier << kRetrievalMessage << false << false << false;
    QTest::newRow("connection refused")
        << QList{good} << true << 0 << earlier << kRetrievalMessage << false << false << false;
}

void tst_SpeakWeather::outcomes() {
    QFETCH(QList<LoopbackFeedServer::Answer>, answers);
    QFETCH(bool, refused);
    QFETCH(int, requests);
    QFETCH(QString, city);
    QFETCH(QString, weather);
    QFETCH(bool, announced);
    QFETCH(bool, stored);
    QFETCH(bool, shown);

    TestWindowOptions options;
    options.fetchTimeout = 300ms;
    if (refused)
        options.feedHost = closedPort();
    TestWindow rig(options);
    rig.feed.serveInTurn(answers);
    rig.control<QLabel>("CityFound")->setText(QStringLiteral("Pasadena"));
    rig.form->hide();

    rig.control<QPushButton>("SpeakItBtn")->click();

    // Repeats stop at three runs in all, whatever the feed does, and a failed fetch ends them.
    QCOMPARE(rig.feed.requestCount(), requests);
    QCOMPARE(rig.control<QLabel>("CityFound")->text(), city);
    QCOMPARE(shownWeather(rig), weather);
    QCOMPARE(spoken(rig), announced ? kFullReport : QList<Spoken>());
    QCOMPARE(rig.stored("citydat.txt"), stored ? QByteArray("90012\r\n") : "<missing>");
    QCOMPARE(rig.stored("greetdat.txt"), stored ? QByteArray("Hello\r\n") : "<missing>");
    QCOMPARE(rig.form->isVisible(), shown);
    QVERIFY(rig.control<QPushButton>("SpeakItBtn")->isEnabled());
}

void tst_SpeakWeather::speechFailures_data() {
    QTest::addColumn<bool>("withEngine");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("failAfter");
    QTest::addColumn<QString>("weather");

    const QString report = joined(kFullReport);
    QTest::newRow("no engine") << false << 0 << 0 << kSpeechMessage;
    QTest::newRow("first section fails")
        << true << ErrorCode::SpeechSynthesisFailed << 0 << kSpeechMessage;
    QTest::newRow("third section fails")
        << true << ErrorCode::SpeechNoAudioDevice << 2 << kSpeechMessage;
    QTest::newRow("code 400 leaves the text") << true << 400 << 0 << report;
    QTest::newRow("code 30000 leaves the text") << true << 30000 << 0 << report;
    QTest::newRow("negative code leaves the text") << true << -2147221164 << 0 << report;
    QTest::newRow("feed code") << true << 30001 << 1 << kRetrievalMessage;
}

void tst_SpeakWeather::speechFailures() {
    QFETCH(bool, withEngine);
    QFETCH(int, code);
    QFETCH(int, failAfter);
    QFETCH(QString, weather);

    TestWindowOptions options;
    options.voices = withEngine ? 3 : -1;
    TestWindow rig(options);
    rig.feed.serve(LoopbackFeedServer::document(FeedDocuments::document()));
    if (rig.engine) {
        rig.engine->failSpeakWithCode = code;
        rig.engine->failSpeakAfter = failAfter;
    }

    rig.control<QPushButton>("SpeakItBtn")->click();

    QCOMPARE(shownWeather(rig), weather);
    // The sections queued before the failure stay queued; nothing is tried again.
    QCOMPARE(spoken(rig), kFullReport.first(withEngine ? failAfter : 0));
    QCOMPARE(rig.feed.requestCount(), 1);
    QCOMPARE(rig.stored("citydat.txt"), QByteArray("90012\r\n"));
}

void tst_SpeakWeather::settingsWriteFailure() {
    TestWindow rig;
    rig.feed.serve(LoopbackFeedServer::document(FeedDocuments::document()));
    // A folder where the file should be: it can never be replaced.
    QVERIFY(QDir(rig.dataDir()).mkdir(QStringLiteral("citydat.txt")));

    rig.control<QPushButton>("SpeakItBtn")->click();

    QVERIFY2(
        shownWeather(rig).startsWith(QStringLiteral("There is a problem saving your ZIP code: ")),
        qPrintable(shownWeather(rig)));
    QCOMPARE(rig.control<QLabel>("CityFound")->text(), QStringLiteral("Los Angeles"));
    QCOMPARE(rig.stored("greetdat.txt"), QByteArray("<missing>"));
    QCOMPARE(spoken(rig), QList<Spoken>());
    QCOMPARE(rig.feed.requestCount(), 1);
}

void tst_SpeakWeather::unchangedSettingsKeepTheirFiles() {
    TestWindow rig;
    rig.feed.serve(LoopbackFeedServer::document(FeedDocuments::document()));
    const auto inode = [&](const char* name) {
        struct stat info {};
        const QByteArray path =
            QFile::encodeName(rig.dataDir() + QLatin1Char('/') + QLatin1String(name));
        return ::stat(path.constData(), &info) == 0 ? info.st_ino : ino_t{0};
    };
    rig.control<QPushButton>("SpeakItBtn")->click();
    const ino_t city = inode("citydat.txt");
    const ino_t greeting = inode("greetdat.txt");
    QVERIFY(city != 0 && greeting != 0);

    rig.control<QLineEdit>("Greeting")->setText(QStringLiteral("Good morning"));
    rig.control<QPushButton>("SpeakItBtn")->click();

    QCOMPARE(inode("citydat.txt"), city); // same line: not replaced
    QVERIFY(inode("greetdat.txt") != greeting);
    QCOMPARE(rig.stored("greetdat.txt"), QByteArray("Good morning\r\n"));
}

void tst_SpeakWeather::errorStateStartsAnnouncement_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("requests");

    QTest::newRow("error state") << 11 << 1;
    QTest::newRow("connecting") << 4 << 0;
    QTest::newRow("response completed") << 12 << 0;
    QTest::newRow("none") << 0 << 0;
}

void tst_SpeakWeather::errorStateStartsAnnouncement() {
    QFETCH(int, state);
    QFETCH(int, requests);

    TestWindow rig;
    rig.feed.serve(LoopbackFeedServer::document(FeedDocuments::document()));

    Q_EMIT rig.control<Inet>("Inet1")->StateChanged(state);

    QCOMPARE(rig.feed.requestCount(), requests);
    QCOMPARE(spoken(rig), requests ? kFullReport : QList<Spoken>());
}

void tst_SpeakWeather::testButtonDisabledDuringRun() {
    TestWindow rig;
    LoopbackFeedServer::Answer slow = LoopbackFeedServer::document(FeedDocuments::document());
    slow.delay = 300ms;
    rig.feed.serve(slow);
    std::optional<bool> enabledDuringFetch;
    // Timers still run while the fetch waits; this one looks at the button meanwhile.
    QTimer::singleShot(100ms, rig.form.get(), [&] {
        enabledDuringFetch = rig.control<QPushButton>("SpeakItBtn")->isEnabled();
    });

    QTest::mouseClick(rig.control<QPushButton>("SpeakItBtn"), Qt::LeftButton);

    QCOMPARE(enabledDuringFetch, std::optional<bool>(false));
    QVERIFY(rig.control<QPushButton>("SpeakItBtn")->isEnabled());
    QCOMPARE(spoken(rig), kFullReport);
}

void tst_SpeakWeather::timeIsReadAfterTheFetch() {
    TestWindow rig;
    LoopbackFeedServer::Answer slow = LoopbackFeedServer::document(FeedDocuments::document());
    slow.delay = 300ms;
    rig.feed.serve(slow);
    QTimer::singleShot(100ms, rig.form.get(), [&] { rig.clock->set(QTime(7, 31, 2)); });
    rig.control<QPushButton>("SpeakItBtn")->click();
    QVERIFY2(shownWeather(rig).startsWith(QStringLiteral("Hello. At 7:31 AM in Los Angeles")),
             qPrintable(shownWeather(rig)));
}

void tst_SpeakWeather::scheduledFailureIsTold_data() {
    QTest::addColumn<bool>("bus");
    QTest::addColumn<bool>("service");
    QTest::addColumn<QList<LoopbackFeedServer::Answer>>("answers");
    QTest::addColumn<QString>("weather");

    const QList failing{LoopbackFeedServer::status(500)};
    const QList notFound{LoopbackFeedServer::document(FeedDocuments::notFound())};
    const QList missing{LoopbackFeedServer::document(withoutTemperature())};
    QTest::newRow("retrieval, told") << true << true << failing << kRetrievalMessage;
    QTest::newRow("incomplete, told") << true << true << missing << kIncompleteMessage;
    QTest::newRow("ZIP not found, told")
        << true << true << notFound << QStringLiteral("Please enter your ZIP code.");
    QTest::newRow("no service: shown") << true << false << failing << kRetrievalMessage;
    QTest::newRow("no bus: shown") << false << false << failing << kRetrievalMessage;
}

void tst_SpeakWeather::scheduledFailureIsTold() {
    QFETCH(bool, bus);
    QFETCH(bool, service);
    QFETCH(QList<LoopbackFeedServer::Answer>, answers);
    QFETCH(QString, weather);

    PrivateBus privateBus;
    QVERIFY(privateBus.running());
    StandInNotifications notifications;
    if (service) {
        QDBusConnection serviceSide = privateBus.connect();
        QVERIFY(serviceSide.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                           &notifications, QDBusConnection::ExportAllSlots));
        QVERIFY(serviceSide.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }
    TestWindowOptions options;
    if (bus)
        options.notificationBus = [&privateBus] { return privateBus.connect(); };
    TestWindow rig(options);
    rig.feed.serveInTurn(answers);
    QVERIFY(QDir(rig.dataDir()).mkpath(QStringLiteral(".")));
    QFile(rig.dataDir() + QStringLiteral("/0731AM.tim")).open(QIODevice::WriteOnly);
    rig.form->RefreshTimeList();
    rig.form->hide();

    rig.clock->set(QTime(7, 31, 0, 5));
    QMetaObject::invokeMethod(rig.control<QTimer>("Timer2"), "timeout");

    QCOMPARE(shownWeather(rig), weather);
    if (service) {
        QTRY_COMPARE(notifications.received.size(), 1);
        QCOMPARE(notifications.received[0],
                 (QStringList{QStringLiteral("Nimbrel"), QStringLiteral("nimbrel"),
                              rig.form->windowTitle(), weather}));
        // "&Test" tells nothing: the window is in front then.
        rig.control<QPushButton>("SpeakItBtn")->click();
        QTest::qWait(300);
        QCOMPARE(notifications.received.size(), 1);
    } else {
        QTRY_VERIFY(rig.form->isVisible());
    }
}

void tst_SpeakWeather::clickToQueuedTime() {
    // Click to sections queued on the engine, against a loopback feed; the recording engine's
    // chime is heard at once, so the chime's own time is left out.
    TestWindow rig;
    rig.feed.serve(LoopbackFeedServer::document(FeedDocuments::document()));
    constexpr int kRounds = 41;
    QList<qint64> clicks;
    QElapsedTimer clock;
    for (int i = 0; i < kRounds; ++i) {
        rig.engine->spoken.clear();
        clock.start();
        rig.control<QPushButton>("SpeakItBtn")->click();
        clicks.append(clock.nsecsElapsed());
        QCOMPARE(spoken(rig).size(), 4);
    }
    QCOMPARE(rig.engine->chimes, QStringList(kRounds, rig.chimePath()));
    std::sort(clicks.begin(), clicks.end());
    const double clickMs = double(clicks.at(clicks.size() / 2)) / 1e6;
    qInfo("click to queued: median %.3f ms", clickMs);
    // Far above the 5 ms aim: only catches a run that waits on something it should not.
    QVERIFY2(clickMs < 100.0, qPrintable(QString::number(clickMs)));
}

QTEST_MAIN(tst_SpeakWeather)
#include "tst_speakweather.moc"
