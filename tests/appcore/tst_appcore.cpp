// The application core with no window: the announcement (what is fetched, shown, spoken and
// stored, whatever the feed, the speech engine and the modules do), the announcement list and the
// minute tick.
#include "core/Error.h"
#include "report/Inet.h"
#include "report/Modules.h"
#include "report/NetworkFetch.h"
#include "report/SoundModule.h"
#include "tests/schedule/FolderFiles.h"
#include "tests/support/FeedDocuments.h"
#include "tests/support/TestRig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;
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

// The section files in the order of the window's boxes Check1 to Check5.
const QList<Settings::File> kBoxFiles{Settings::File::WindSection, Settings::File::ForecastSection,
                                      Settings::File::CitySection, Settings::File::SunSection,
                                      Settings::File::AtmosphereSection};

// A port that was free a moment ago: nothing listens there.
QString closedPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return {};
    return QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
}

QList<Spoken> spoken(const TestCore& rig) {
    return rig.engine ? rig.engine->spoken : QList<Spoken>();
}

} // namespace

class tst_AppCore final : public QObject {
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
    void timeIsReadAfterTheFetch();
    void moduleThatCannotBeLoaded_data();
    void moduleThatCannotBeLoaded();
    void addTwiceListsOneRow();
    void refusedAddWritesNothing_data();
    void refusedAddWritesNothing();
    void removeTwoTickedRows();
    void ticksAnnounceOncePerMinute();
    void timer1LeavesTimer2Running();
};

void tst_AppCore::goodDocument_data() {
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

void tst_AppCore::goodDocument() {
    QFETCH(LoopbackFeedServer::Answer, answer);
    QFETCH(bool, metric);
    QFETCH(QString, greeting);
    QFETCH(QList<bool>, checks);
    QFETCH(QString, target);
    QFETCH(QList<Spoken>, sections);

    TestCore rig;
    QVERIFY(rig.loaded);
    rig.feed.serve(answer);
    rig.core->SetMetric(metric);
    rig.core->setGreeting(greeting);
    for (qsizetype i = 0; i < kBoxFiles.size(); ++i)
        rig.core->SetSection(kBoxFiles[i], checks[i]);

    rig.core->SpeakWeather();

    QCOMPARE(rig.feed.targets(), QStringList{target});
    QCOMPARE(rig.city, QStringLiteral("Los Angeles"));
    QCOMPARE(rig.weather, joined(sections));
    QCOMPARE(spoken(rig), sections);
    QCOMPARE(rig.stored("citydat.txt"), QByteArray("90012\r\n"));
    QCOMPARE(rig.stored("greetdat.txt"), greeting.toUtf8() + "\r\n");
}

void tst_AppCore::zipInRequest_data() {
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

void tst_AppCore::zipInRequest() {
    QFETCH(QString, typed);
    QFETCH(QString, query);
    QFETCH(QByteArray, stored);

    TestCore rig;
    rig.feed.serve(LoopbackFeedServer::document(FeedDocuments::document()));
    rig.core->setZip(typed);

    rig.core->SpeakWeather();

    QCOMPARE(rig.feed.targets(), QStringList{QStringLiteral("/forecastrss?") + query});
    QCOMPARE(rig.stored("citydat.txt"), stored + "\r\n");
    QCOMPARE(spoken(rig).size(), 4);
}

void tst_AppCore::outcomes_data() {
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
    // A fetch that failed is not tried again: one wait per failure.
    QTest::newRow("missing, failing, good") << QList{missing, failing, good} << false << 2 << la
                                            << kRetrievalMessage << false << true << false;
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

void tst_AppCore::outcomes() {
    QFETCH(QList<LoopbackFeedServer::Answer>, answers);
    QFETCH(bool, refused);
    QFETCH(int, requests);
    QFETCH(QString, city);
    QFETCH(QString, weather);
    QFETCH(bool, announced);
    QFETCH(bool, stored);
    QFETCH(bool, shown);

    TestRigOptions options;
    options.fetchTimeout = 300ms;
    if (refused)
        options.feedHost = closedPort();
    TestCore rig(options);
    rig.feed.serveInTurn(answers);
    rig.city = QStringLiteral("Pasadena");

    rig.core->SpeakWeather();

    // Repeats stop at three runs in all, whatever the feed does, and a failed fetch ends them.
    QCOMPARE(rig.feed.requestCount(), requests);
    QCOMPARE(rig.city, city);
    QCOMPARE(rig.weather, weather);
    QCOMPARE(spoken(rig), announced ? kFullReport : QList<Spoken>());
    QCOMPARE(rig.stored("citydat.txt"), stored ? QByteArray("90012\r\n") : "<missing>");
    QCOMPARE(rig.stored("greetdat.txt"), stored ? QByteArray("Hello\r\n") : "<missing>");
    QCOMPARE(rig.windowShown > 0, shown);
}

void tst_AppCore::speechFailures_data() {
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

void tst_AppCore::speechFailures() {
    QFETCH(bool, withEngine);
    QFETCH(int, code);
    QFETCH(int, failAfter);
    QFETCH(QString, weather);

    TestRigOptions options;
    options.voices = withEngine ? 3 : -1;
    TestCore rig(options);
    rig.feed.serve(LoopbackFeedServer::document(FeedDocuments::document()));
    if (rig.engine) {
        rig.engine->failSpeakWithCode = code;
        rig.engine->failSpeakAfter = failAfter;
    }

    rig.core->SpeakWeather();

    QCOMPARE(rig.weather, weather);
    // The sections queued before the failure stay queued; nothing is tried again.
    QCOMPARE(spoken(rig), kFullReport.first(withEngine ? failAfter : 0));
    QCOMPARE(rig.feed.requestCount(), 1);
    QCOMPARE(rig.stored("citydat.txt"), QByteArray("90012\r\n"));
}

void tst_AppCore::settingsWriteFailure() {
    TestCore rig;
    rig.feed.serve(LoopbackFeedServer::document(FeedDocuments::document()));
    // A folder where the file should be: it can never be replaced.
    QVERIFY(QDir(rig.dataDir()).mkdir(QStringLiteral("citydat.txt")));

    rig.core->SpeakWeather();

    QVERIFY2(rig.weather.startsWith(QStringLiteral("There is a problem saving your ZIP code: ")),
             qPrintable(rig.weather));
    QCOMPARE(rig.city, QStringLiteral("Los Angeles"));
    QCOMPARE(rig.stored("greetdat.txt"), QByteArray("<missing>"));
    QCOMPARE(spoken(rig), QList<Spoken>());
    QCOMPARE(rig.feed.requestCount(), 1);
}

void tst_AppCore::unchangedSettingsKeepTheirFiles() {
    TestCore rig;
    rig.feed.serve(LoopbackFeedServer::document(FeedDocuments::document()));
    const auto inode = [&](const char* name) {
        struct stat info {};
        const QByteArray path =
            QFile::encodeName(rig.dataDir() + QLatin1Char('/') + QLatin1String(name));
        return ::stat(path.constData(), &info) == 0 ? info.st_ino : ino_t{0};
    };
    rig.core->SpeakWeather();
    const ino_t city = inode("citydat.txt");
    const ino_t greeting = inode("greetdat.txt");
    QVERIFY(city != 0 && greeting != 0);

    rig.core->setGreeting(QStringLiteral("Good morning"));
    rig.core->SpeakWeather();

    QCOMPARE(inode("citydat.txt"), city); // same line: not replaced
    QVERIFY(inode("greetdat.txt") != greeting);
    QCOMPARE(rig.stored("greetdat.txt"), QByteArray("Good morning\r\n"));
}

void tst_AppCore::errorStateStartsAnnouncement_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("requests");

    QTest::newRow("error state") << 11 << 1;
    QTest::newRow("connecting") << 4 << 0;
    QTest::newRow("response completed") << 12 << 0;
    QTest::newRow("none") << 0 << 0;
}

void tst_AppCore::errorStateStartsAnnouncement() {
    QFETCH(int, state);
    QFETCH(int, requests);

    TestCore rig;
    rig.feed.serve(LoopbackFeedServer::document(FeedDocuments::document()));

    Q_EMIT rig.core->findChild<Inet*>(QStringLiteral("Inet1"))->StateChanged(state);

    QCOMPARE(rig.feed.requestCount(), requests);
    QCOMPARE(spoken(rig), requests ? kFullReport : QList<Spoken>());
}

void tst_AppCore::timeIsReadAfterTheFetch() {
    TestCore rig;
    LoopbackFeedServer::Answer slow = LoopbackFeedServer::document(FeedDocuments::document());
    slow.delay = 300ms;
    rig.feed.serve(slow);
    QTimer::singleShot(100ms, rig.core.get(), [&] { rig.clock->set(QTime(7, 31, 2)); });
    rig.core->SpeakWeather();
    QVERIFY2(rig.weather.startsWith(QStringLiteral("Hello. At 7:31 AM in Los Angeles")),
             qPrintable(rig.weather));
}

void tst_AppCore::moduleThatCannotBeLoaded_data() {
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("message"); // for what the module serves
    QTest::newRow("network") << QString::fromLatin1(kNetworkModuleFile) << kRetrievalMessage;
    QTest::newRow("sound") << QString::fromLatin1(kSoundModuleFile) << kSpeechMessage;
}

void tst_AppCore::moduleThatCannotBeLoaded() {
    QFETCH(QString, module);
    QFETCH(QString, message);
    QTemporaryDir modules;
    const QString path = modules.filePath(module);
    TestRigOptions options;
    if (module == QLatin1String(kNetworkModuleFile))
        options.fetch = FetchThroughModule(path);
    else
        options.speechEngine = [path] {
            return SpeechThroughModule(path, [] { return VoiceTokens(); });
        };
    TestCore rig(options);

    rig.core->SpeakWeather();
    QCOMPARE(rig.weather,
             message + QStringLiteral("\n") + module + QStringLiteral(": the file is missing"));

    // Put back while the program runs, it is loaded at the next announcement.
    QVERIFY(QFile::copy(qEnvironmentVariable("NIMBREL_BINARY_DIR") +
                            QStringLiteral("/app/modules/") + module,
                        path));
    rig.core->SpeakWeather();
    QVERIFY2(!rig.weather.contains(module), qPrintable(rig.weather));
}

void tst_AppCore::addTwiceListsOneRow() {
    TestCore rig;
    rig.core->AddTime(u"1"_s, u"00"_s, u"pm"_s);
    rig.core->AddTime(u"12"_s, u"00"_s, u"AM"_s);
    rig.core->AddTime(u"12"_s, u"0"_s, u"am"_s);
    QCOMPARE(rig.core->schedule().rows(), (QStringList{u"12:00 AM"_s, u"01:00 PM"_s}));
    QCOMPARE(FolderFiles::schedule(rig.dataDir()), (QStringList{u"0100PM.tim"_s, u"1200AM.tim"_s}));
}

void tst_AppCore::refusedAddWritesNothing_data() {
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("named"); // what the message must name
    QTest::newRow("path as hour") << QStringList{u"../x"_s, u"00"_s, u"AM"_s} << u"../x"_s;
    QTest::newRow("period with a blank") << QStringList{u"07"_s, u"30"_s, u"AM "_s} << u"AM"_s;
    QTest::newRow("entry name taken by a folder")
        << QStringList{u"07"_s, u"30"_s, u"AM"_s} << u"0730AM.tim"_s;
}

void tst_AppCore::refusedAddWritesNothing() {
    QFETCH(QStringList, boxes);
    QFETCH(QString, named);
    TestCore rig;
    FolderFiles::make(rig.dataDir(), {u"0730AM.tim/"_s});
    rig.core->AddTime(u"08"_s, u"15"_s, u"AM"_s);
    const QStringList documents = FolderFiles::list(rig.documents.path());
    const QStringList files = FolderFiles::schedule(rig.dataDir());

    rig.core->AddTime(boxes[0], boxes[1], boxes[2]);
    QCOMPARE(rig.notices.size(), 1);
    QCOMPARE(rig.notices[0].first, AppCore::Notice::Warning);
    QVERIFY2(rig.notices[0].second.contains(named), qPrintable(rig.notices[0].second));
    QCOMPARE(FolderFiles::list(rig.documents.path()), documents);
    QCOMPARE(FolderFiles::schedule(rig.dataDir()), files);
    QCOMPARE(rig.core->schedule().rows(), QStringList{u"08:15 AM"_s});
}

void tst_AppCore::removeTwoTickedRows() {
    TestCore rig;
    FolderFiles::make(rig.dataDir(), {u"0730AM.tim"_s, u"0800AM.tim"_s, u"1200PM.tim"_s});
    rig.core->RefreshTimeList();
    FolderFiles::make(rig.dataDir(), {u"0730AM.spk"_s});
    ScheduleModel& list = rig.core->schedule();
    QVERIFY(list.setData(list.index(0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(list.setData(list.index(2), Qt::Checked, Qt::CheckStateRole));
    rig.core->RemoveTicked();
    QCOMPARE(list.rows(), QStringList{u"08:00 AM"_s});
    QCOMPARE(list.index(0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(FolderFiles::schedule(rig.dataDir()), QStringList{u"0800AM.tim"_s});
}

void tst_AppCore::ticksAnnounceOncePerMinute() {
    TestCore rig; // created at 07:30 by its clock
    rig.core->AddTime(u"07"_s, u"30"_s, u"AM"_s);
    rig.core->AddTime(u"07"_s, u"31"_s, u"AM"_s);
    rig.core->AddTime(u"08"_s, u"00"_s, u"AM"_s);
    const QString marker0731 = rig.dataDir() + u"/0731AM.spk"_s;
    QTimer& timer2 = *rig.core->findChild<QTimer*>(QStringLiteral("Timer2"));
    const auto tickAt = [&](QTime time) {
        rig.clock->set(time);
        QMetaObject::invokeMethod(&timer2, "timeout");
        // Re-armed from the clock for the next minute's start.
        QCOMPARE((timer2.remainingTime() + 500) / 1000, 60 - time.second());
    };

    tickAt(QTime(7, 30, 20)); // the start-up minute is not examined
    QCOMPARE(rig.feed.requestCount(), 0);
    tickAt(QTime(7, 31, 0, 5));
    tickAt(QTime(7, 31, 40));
    QCOMPARE(rig.feed.requestCount(), 1);
    QVERIFY(QFileInfo::exists(marker0731));

    tickAt(QTime(7, 32, 0));
    QVERIFY(!QFileInfo::exists(marker0731));
    tickAt(QTime(8, 0, 0));
    QCOMPARE(rig.feed.requestCount(), 2);
}

void tst_AppCore::timer1LeavesTimer2Running() {
    TestCore rig; // created at 07:30 by its clock
    QTimer& timer1 = *rig.core->findChild<QTimer*>(QStringLiteral("Timer1"));
    QTimer& timer2 = *rig.core->findChild<QTimer*>(QStringLiteral("Timer2"));
    QVERIFY(timer2.isSingleShot());
    rig.clock->set(QTime(7, 30, 40));
    timer1.start(0);
    QTRY_VERIFY(!timer1.isActive());
    // Not re-armed: it still counts to the minute from the window's creation.
    QVERIFY(timer2.isActive() && timer2.remainingTime() > 40000);

    timer2.stop();
    timer1.start(0);
    QTRY_VERIFY(!timer1.isActive());
    QVERIFY(timer2.isActive() && timer2.remainingTime() <= 20005);
}

QTEST_MAIN(tst_AppCore)
#include "tst_appcore.moc"
