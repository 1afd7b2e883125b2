#include "report/Announce.h"

#include "core/Error.h"
#include "report/LazySpeechEngine.h"
#include "tests/support/RecordingSpeechEngine.h"

#include <QTest>

namespace {

using Spoken = RecordingSpeechEngine::Spoken;

ReportSections sections(const QString& forecast, const QString& atmosphere, const QString& sun) {
    return {QStringLiteral("Good morning. It is partly cloudy and 45 degrees. "), forecast,
            atmosphere, sun};
}

} // namespace

class TestAnnounce final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void chimesThenQueuesTheSections_data();
    void chimesThenQueuesTheSections();
    void failingSpeakEndsTheAnnouncement_data();
    void failingSpeakEndsTheAnnouncement();
    void withoutEngineChimesThenFails();
    void lazyEngineStartsWhenFirstNeeded_data();
    void lazyEngineStartsWhenFirstNeeded();
};

void TestAnnounce::chimesThenQueuesTheSections_data() {
    QTest::addColumn<ReportSections>("report");

    const QString forecast = QStringLiteral("Today's forecast is rain. ");
    const QString atmosphere = QStringLiteral("Humidity is 80 percent. ");
    const QString sun = QStringLiteral("Sunset is at 5:40 PM. ");
    QTest::newRow("all sections") << sections(forecast, atmosphere, sun);
    QTest::newRow("only the opening") << sections({}, {}, {});
    QTest::newRow("forecast off") << sections({}, atmosphere, sun);
    QTest::newRow("sun only") << sections({}, {}, sun);
}

void TestAnnounce::chimesThenQueuesTheSections() {
    QFETCH(ReportSections, report);

    RecordingSpeechEngine engine;
    engine.spoken.append({QStringLiteral("left over"), 1});
    QList<qsizetype> queuedAtChime;
    Announce(
        &engine, [&] { queuedAtChime.append(engine.spoken.size()); }, report);

    QCOMPARE(queuedAtChime, QList<qsizetype>{1});
    const QList<Spoken> expected{{QStringLiteral("left over"), 1},
                                 {report.opening, 3},
                                 {report.forecast, 1},
                                 {report.atmosphere, 1},
                                 {report.sun, 1}};
    QCOMPARE(engine.spoken, expected);
}

void TestAnnounce::failingSpeakEndsTheAnnouncement_data() {
    QTest::addColumn<int>("failingCall");
    QTest::addColumn<int>("code");

    QTest::newRow("the opening") << 0 << ErrorCode::SpeechNoAudioDevice;
    QTest::newRow("the forecast") << 1 << ErrorCode::SpeechSynthesisFailed;
    QTest::newRow("the sun") << 3 << ErrorCode::SpeechNoAudioDevice;
}

void TestAnnounce::failingSpeakEndsTheAnnouncement() {
    QFETCH(int, failingCall);
    QFETCH(int, code);

    RecordingSpeechEngine engine;
    engine.failSpeakWithCode = code;
    engine.failSpeakAfter = failingCall;
    int chimes = 0;
    const ReportSections report =
        sections(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"));
    try {
        Announce(
            &engine, [&] { ++chimes; }, report);
        QFAIL("the failure was not passed on");
    } catch (const NimbrelError& e) {
        QCOMPARE(e.code(), code);
    }
    QCOMPARE(chimes, 1);
    QCOMPARE(engine.spoken.size(), failingCall);
}

void TestAnnounce::withoutEngineChimesThenFails() {
    int chimes = 0;
    try {
        Announce(
            nullptr, [&] { ++chimes; }, sections({}, {}, {}));
        QFAIL("an announcement without an engine reported success");
    } catch (const NimbrelError& e) {
        QCOMPARE(e.code(), ErrorCode::SpeechNoEngine);
    }
    QCOMPARE(chimes, 1);
}

void TestAnnounce::lazyEngineStartsWhenFirstNeeded_data() {
    QTest::addColumn<bool>("engineStarts");
    QTest::addColumn<bool>("chimeFirst");

    QTest::newRow("chime, then speech") << true << true;
    QTest::newRow("speech alone") << true << false;
    QTest::newRow("no engine: the chime alone, then the speech error") << false << true;
}

void TestAnnounce::lazyEngineStartsWhenFirstNeeded() {
    QFETCH(bool, engineStarts);
    QFETCH(bool, chimeFirst);

    RecordingSpeechEngine* real = nullptr;
    int created = 0;
    QStringList chimedAlone;
    const VoiceTokens voices = RecordingSpeechEngine().GetVoices();
    LazySpeechEngine lazy([&voices] { return voices; },
                          [&]() -> std::unique_ptr<SpeechEngine> {
                              ++created;
                              if (!engineStarts)
                                  return nullptr;
                              auto engine = std::make_unique<RecordingSpeechEngine>();
                              real = engine.get();
                              return engine;
                          },
                          [&](const QString& path) { chimedAlone.append(path); });

    QCOMPARE(lazy.GetVoices().size(), voices.size());
    lazy.SetVoice(voices.at(1));
    QVERIFY_THROWS_EXCEPTION(NimbrelError, lazy.SetVoice({QStringLiteral("none"), {}}));
    QCOMPARE(created, 0);

    if (chimeFirst) {
        bool heard = false;
        lazy.Chime(QStringLiteral("chime.wav"), [&] { heard = true; });
        QTRY_VERIFY(heard);
    }
    try {
        lazy.Speak(QStringLiteral("Hello."), SpeechEngine::SVSFlagsAsync);
        QVERIFY(engineStarts);
    } catch (const NimbrelError& e) {
        QVERIFY(!engineStarts);
        QCOMPARE(e.code(), ErrorCode::SpeechInitFailed);
    }
    // Started once; an engine that failed to start is tried again at each call that needs it.
    QCOMPARE(created, engineStarts || !chimeFirst ? 1 : 2);
    if (engineStarts) {
        QCOMPARE(real->currentVoice, voices.at(1).id);
        QCOMPARE(real->spoken, (QList<Spoken>{{QStringLiteral("Hello."), 1}}));
        QCOMPARE(real->chimes,
                 chimeFirst ? QStringList{QStringLiteral("chime.wav")} : QStringList{});
    } else {
        QCOMPARE(chimedAlone, QStringList{QStringLiteral("chime.wav")});
    }
}

QTEST_GUILESS_MAIN(TestAnnounce)
#include "tst_announce.moc"
