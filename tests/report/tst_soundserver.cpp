#include "report/Announce.h"
#include "report/Chime.h"
#include "report/FliteSynthesiser.h"
#include "report/FliteVoices.h"
#include "report/VoiceEngine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstring>
#include <mutex>

namespace {

constexpr int kRate = 22050;
constexpr short kLoud = 600; // louder than anything a silent sink lets through

using Samples = std::vector<short>;

QString chimePath() {
    return qEnvironmentVariable("NIMBREL_SOURCE_DIR") + QStringLiteral("/assets/weather.wav");
}

int ms(long long samples) {
    return static_cast<int>(samples * 1000 / kRate);
}

double rms(const Samples& s, size_t from, size_t to) {
    to = std::min(to, s.size());
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += static_cast<double>(s[i]) * s[i];
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

// Index of the first loud sample at or after from, or -1.
long long firstLoud(const Samples& s, size_t from = 0) {
    for (size_t i = from; i < s.size(); ++i)
        if (std::abs(s[i]) > kLoud)
            return static_cast<long long>(i);
    return -1;
}

// Flite's voices, loaded from the library as the program's module does.
SynthesiserLoader loadFlite() {
    return
        [](QString* why) { return CreateFliteSynthesiser(kRate, FliteVoices::LibraryDirs(), why); };
}

long long lastLoud(const Samples& s) {
    for (size_t i = s.size(); i-- > 0;)
        if (std::abs(s[i]) > kLoud)
            return static_cast<long long>(i);
    return -1;
}

// A PulseAudio server with one null sink, private to this test.
class PulseServer {
public:
    ~PulseServer() { stop(); }

    bool start(QString* why) {
        const QString home = m_dir.filePath(QStringLiteral("home"));
        const QString runtime = m_dir.filePath(QStringLiteral("run"));
        QDir().mkpath(home);
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_socket = runtime + QStringLiteral("/pulse.sock");
        m_log = m_dir.filePath(QStringLiteral("server.log"));
        const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (program.isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("parecord")).isEmpty()) {
            *why = QStringLiteral("pulseaudio or parecord is not installed");
            return false;
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        env.remove(QStringLiteral("PULSE_SERVER"));
        m_server.setProcessEnvironment(env);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(program,
                       {QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                        QStringLiteral("-n"), QStringLiteral("--disallow-exit"),
                        QStringLiteral("--use-pid-file=no"), QStringLiteral("--log-level=debug"),
                        QStringLiteral("--log-target=newfile:%1").arg(m_log),
                        QStringLiteral("--load=module-null-sink sink_name=nullsink"),
                        QStringLiteral("--load=module-native-protocol-unix socket=%1 "
                                       "auth-anonymous=1")
                            .arg(m_socket)});
        if (!m_server.waitForStarted(5000)) {
            *why = QStringLiteral("pulseaudio did not start: %1").arg(m_server.errorString());
            return false;
        }
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000) {
            if (m_server.state() != QProcess::Running) {
                *why = QStringLiteral("pulseaudio exited: %1")
                           .arg(QString::fromLocal8Bit(m_server.readAll()).right(400));
                return false;
            }
            QProcess info;
            info.setProcessEnvironment(clientEnvironment());
            info.start(QStringLiteral("pactl"), {QStringLiteral("info")});
            if (info.waitForFinished(2000) && info.exitCode() == 0)
                return true;
            QTest::qWait(100);
        }
        *why = QStringLiteral("pulseaudio did not answer within 10 s");
        return false;
    }

    void stop() {
        if (m_server.state() == QProcess::NotRunning)
            return;
        freeze(false);
        m_server.terminate();
        if (!m_server.waitForFinished(3000)) {
            m_server.kill();
            m_server.waitForFinished(3000);
        }
    }

    // Stops the server as SIGSTOP does, or lets it go on.
    void freeze(bool frozen) {
        ::kill(static_cast<pid_t>(m_server.processId()), frozen ? SIGSTOP : SIGCONT);
    }

    QString address() const { return QStringLiteral("unix:") + m_socket; }

    // The most sound the sink took back since the last call to let a stream that had run dry
    // go on: what it had rendered ahead in the meantime. A recorder (the sink's monitor) loses
    // that much.
    int longestRewindMs() {
        QFile log(m_log);
        if (!log.open(QIODevice::ReadOnly) || !log.seek(m_logRead))
            return -1;
        const QString fresh = QString::fromUtf8(log.readAll());
        m_logRead = log.pos();
        static const QRegularExpression rewind(
            QStringLiteral("end of underrun\\.\\n[^\\n]*Requested to rewind (\\d+) bytes"));
        long long longest = 0;
        for (const QRegularExpressionMatch& match : rewind.globalMatch(fresh))
            longest = std::max(longest, match.captured(1).toLongLong());
        return static_cast<int>(longest * 1000 / (44100 * 2 * 2)); // the null sink's format
    }

    QProcessEnvironment clientEnvironment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PULSE_SERVER"), address());
        return env;
    }

    // Records the null sink from now until stopRecording(), at the server's default latency
    // when latencyMs is 0. (That recorder misses whatever the sink takes back after rendering
    // it ahead, as a stream that runs dry makes it do.)
    bool startRecording(int latencyMs = 20) {
        m_recording = m_dir.filePath(QStringLiteral("recording.raw"));
        QFile::remove(m_recording);
        m_recorder.setProcessEnvironment(clientEnvironment());
        QStringList arguments{QStringLiteral("--raw"),
                              QStringLiteral("-d"),
                              QStringLiteral("nullsink.monitor"),
                              QStringLiteral("--format=s16le"),
                              QStringLiteral("--rate=%1").arg(kRate),
                              QStringLiteral("--channels=1"),
                              m_recording};
        if (latencyMs > 0)
            arguments.prepend(QStringLiteral("--latency-msec=%1").arg(latencyMs));
        m_recorder.start(QStringLiteral("parecord"), arguments);
        if (!m_recorder.waitForStarted(5000))
            return false;
        // Wait for the stream to run, so that the recording covers what follows.
        return QTest::qWaitFor([&] { return QFileInfo(m_recording).size() > kRate / 5; }, 5000);
    }

    Samples stopRecording() {
        ::kill(static_cast<pid_t>(m_recorder.processId()), SIGINT);
        if (!m_recorder.waitForFinished(3000)) {
            m_recorder.kill();
            m_recorder.waitForFinished(3000);
        }
        QFile file(m_recording);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray bytes = file.readAll();
        Samples samples(static_cast<size_t>(bytes.size()) / 2);
        std::memcpy(samples.data(), bytes.constData(), samples.size() * 2);
        return samples;
    }

private:
    QTemporaryDir m_dir;
    QString m_socket;
    QString m_recording;
    QString m_log;
    qint64 m_logRead = 0;
    QProcess m_server;
    QProcess m_recorder;
};

} // namespace

class TestSoundServer final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void chimeSound_data();
    void chimeSound();
    void withoutServerSpeakFailsAndChimeReturnsAtOnce();
    void announcementChimesThenSpeaks_data();
    void announcementChimesThenSpeaks();
    void missingChimeFilePlaysTheStandInTone();
    void purgeSilencesEarlierSpeech();
    void frozenServerHoldsNothingHostage_data();
    void frozenServerHoldsNothingHostage();
    void cleanupTestCase();

private:
    void needServer();

    std::unique_ptr<PulseServer> m_server;
    QString m_serverProblem;
    QTemporaryDir m_dir;
};

void TestSoundServer::initTestCase() {
    QVERIFY(m_dir.isValid());
}

void TestSoundServer::chimeSound_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("standIn");

    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile file(m_dir.filePath(QString::fromUtf8(name)));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    };
    QTest::newRow("the project's chime") << chimePath() << false;
    QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("none.wav")) << true;
    QTest::newRow("empty file") << write("empty.wav", {}) << true;
    QTest::newRow("not a sound") << write("text.wav", QByteArray("RIFF but not really", 19))
                                 << true;
    QTest::newRow("a folder") << m_dir.path() << true;
}

void TestSoundServer::chimeSound() {
    QFETCH(QString, path);
    QFETCH(bool, standIn);

    const Sound sound = LoadChimeSound(path);
    QVERIFY(sound.sampleRate > 0 && sound.channels > 0);
    QVERIFY(sound.durationMs() >= 300 && sound.durationMs() < 1500);
    const Sound tone = LoadChimeSound(QString());
    QCOMPARE(sound.samples == tone.samples, standIn);
    QVERIFY(rms(sound.samples, 0, sound.samples.size()) > 1000.0);
    if (!standIn) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(36).mid(34, 2), QByteArray("\x10\x00", 2)); // 16 bits a sample
    }
}

void TestSoundServer::withoutServerSpeakFailsAndChimeReturnsAtOnce() {
    qputenv("PULSE_SERVER", QStringLiteral("unix:%1/no-server").arg(m_dir.path()).toUtf8());

    QElapsedTimer timer;
    timer.start();
    PlayChime(chimePath());
    const qint64 chimeMs = timer.elapsed();
    qInfo("chime without a sound server returned after %lld ms", chimeMs);
    QVERIFY2(chimeMs < 500, qPrintable(QStringLiteral("%1 ms").arg(chimeMs)));

    std::unique_ptr<SpeechEngine> engine = CreateVoiceEngine({});
    QVERIFY(engine);
    timer.restart();
    try {
        engine->Speak(QStringLiteral("Hello."), SpeechEngine::SVSFlagsAsync);
        QFAIL("Speak reported success with no sound server or device");
    } catch (const NimbrelError& e) {
        QCOMPARE(e.code(), ErrorCode::SpeechNoAudioDevice);
    }
    QVERIFY2(timer.elapsed() < 500, qPrintable(QStringLiteral("%1 ms").arg(timer.elapsed())));
}

void TestSoundServer::needServer() {
    if (!m_server && m_serverProblem.isEmpty()) {
        m_server = std::make_unique<PulseServer>();
        if (!m_server->start(&m_serverProblem)) {
            m_server.reset();
            if (m_serverProblem.isEmpty())
                m_serverProblem = QStringLiteral("unknown failure");
        }
    }
    if (m_server)
        qputenv("PULSE_SERVER", m_server->address().toUtf8());
}

void TestSoundServer::announcementChimesThenSpeaks_data() {
    QTest::addColumn<QString>("voice"); // empty: espeak-ng's default
    QTest::addColumn<int>("recorderMs");

    QTest::newRow("espeak-ng") << QString() << 20;
    QTest::newRow("Flite slt") << QStringLiteral("flite:cmu_us_slt") << 20;
    QTest::newRow("Flite slt, recorder at the default latency")
        << QStringLiteral("flite:cmu_us_slt") << 0;
}

void TestSoundServer::announcementChimesThenSpeaks() {
    QFETCH(QString, voice);
    QFETCH(int, recorderMs);
    needServer();
    if (!m_server)
        QSKIP(qPrintable(QStringLiteral("no PulseAudio server here: ") + m_serverProblem));
    std::unique_ptr<SpeechEngine> engine = CreateVoiceEngine(loadFlite());
    QVERIFY(engine);
    if (!voice.isEmpty()) {
        const VoiceTokens voices = engine->GetVoices();
        if (std::none_of(voices.begin(), voices.end(),
                         [&](const VoiceToken& v) { return v.id == voice; }))
            QSKIP("Flite's slt is not installed here");
        engine->SetVoice({voice, {}});
    }

    const ReportSections report{QStringLiteral("Good morning. It is partly cloudy."),
                                {},
                                {},
                                QStringLiteral("Sunset is at six.")};
    const Sound chime = LoadChimeSound(chimePath());
    const long long chimeLength = static_cast<long long>(chime.samples.size());
    const long long chimeLastLoud = lastLoud(chime.samples);
    VoiceEngine reference(OpenSoundDevice,
                          {{FliteVoices::List(FliteVoices::LibraryDirs()), loadFlite()}});
    if (!voice.isEmpty())
        reference.SetVoice({voice, {}});
    const Samples opening = reference.Synthesise(report.opening);
    const long long speechLead = firstLoud(opening);
    QVERIFY(speechLead >= 0);

    std::vector<int> delays;
    for (int run = 0; run < 3; ++run) {
        QVERIFY(m_server->startRecording(recorderMs));
        m_server->longestRewindMs();
        Announce(
            engine.get(), [&] { PlayChimeAndWait(*engine, chimePath()); }, report);
        // Until slt, the slower voice, has spoken: the next run's recording must begin quiet.
        QTest::qWait(5500);
        const Samples heard = m_server->stopRecording();
        QCOMPARE_LE(m_server->longestRewindMs(), 50);

        const long long chimeStart = firstLoud(heard);
        QVERIFY2(chimeStart >= 0, "nothing was heard");
        const long long chimeEnd = chimeStart - firstLoud(chime.samples) + chimeLength;
        QVERIFY(rms(heard, size_t(chimeStart), size_t(chimeEnd)) >
                0.5 * rms(chime.samples, 0, chime.samples.size()));
        const long long speechStart = firstLoud(heard, size_t(chimeStart + chimeLastLoud + 1));
        QVERIFY2(speechStart >= 0, "no speech after the chime");
        // espeak-ng's lead-in varies by a few milliseconds from one text to the next, and the
        // recording sometimes misses the first 25 ms of a stream; speech mixed over the chime
        // would start hundreds of milliseconds early.
        QVERIFY2(speechStart >= chimeEnd - kRate * 30 / 1000,
                 qPrintable(QStringLiteral("speech began %1 ms before the chime ended")
                                .arg(ms(chimeEnd - speechStart))));
        QVERIFY(rms(heard, size_t(speechStart), size_t(speechStart + kRate)) > 1000.0);
        delays.push_back(ms(speechStart - speechLead - chimeEnd));
    }
    std::sort(delays.begin(), delays.end());
    QString all;
    for (int d : delays)
        all += QString::number(d) + QLatin1Char(' ');
    qInfo("chime end to first speech sample: median %d ms (runs: %s)", delays[delays.size() / 2],
          qPrintable(all.trimmed()));
    // The speech follows the chime on the same stream: only synthesis can come between them.
    QVERIFY(delays[delays.size() / 2] < 100);
}

void TestSoundServer::missingChimeFilePlaysTheStandInTone() {
    needServer();
    if (!m_server)
        QSKIP(qPrintable(QStringLiteral("no PulseAudio server here: ") + m_serverProblem));

    const Sound tone = LoadChimeSound(m_dir.filePath(QStringLiteral("none.wav")));
    QVERIFY(m_server->startRecording());
    QElapsedTimer timer;
    timer.start();
    PlayChime(m_dir.filePath(QStringLiteral("none.wav")));
    const qint64 playedMs = timer.elapsed();
    QTest::qWait(300);
    const Samples heard = m_server->stopRecording();

    // Synchronous: returns only once the tone has been played out.
    QVERIFY2(playedMs >= tone.durationMs() - 50, qPrintable(QString::number(playedMs)));
    const long long start = firstLoud(heard);
    QVERIFY2(start >= 0, "the stand-in tone was not heard");
    const long long heardLength = lastLoud(heard) - start;
    const long long toneLength = lastLoud(tone.samples) - firstLoud(tone.samples);
    QVERIFY2(
        std::abs(heardLength - toneLength) < kRate / 20,
        qPrintable(
            QStringLiteral("heard %1 ms, tone %2 ms").arg(ms(heardLength)).arg(ms(toneLength))));
}

void TestSoundServer::purgeSilencesEarlierSpeech() {
    needServer();
    if (!m_server)
        QSKIP(qPrintable(QStringLiteral("no PulseAudio server here: ") + m_serverProblem));

    const QString longText = QStringLiteral(
        "Today's forecast calls for scattered showers in the afternoon, clearing in the "
        "evening, with a low of thirty eight and a high of fifty two. Winds from the north "
        "west at twelve miles per hour, gusting to twenty.");
    const QString last = QStringLiteral("Good evening.");
    VoiceEngine reference;
    QVERIFY(reference.Synthesise(longText).size() > size_t(kRate) * 8);
    const auto lastLength = static_cast<long long>(reference.Synthesise(last).size());

    std::unique_ptr<SpeechEngine> engine = CreateVoiceEngine({});
    QVERIFY(engine);
    QVERIFY(m_server->startRecording());
    engine->Speak(longText, SpeechEngine::SVSFlagsAsync);
    engine->Speak(longText, SpeechEngine::SVSFlagsAsync);
    QTest::qWait(1500);
    engine->Speak(last, SpeechEngine::SVSFlagsAsync | SpeechEngine::SVSFPurgeBeforeSpeak);
    QTest::qWait(5000);
    const Samples heard = m_server->stopRecording();

    const long long first = firstLoud(heard);
    QVERIFY2(first >= 0, "nothing was heard");
    const long long span = lastLoud(heard) - first;
    // About 1.5 s of the long text, then the last one; never the rest of the queue.
    QVERIFY2(span < kRate * 2 + lastLength,
             qPrintable(QStringLiteral("speech lasted %1 ms").arg(ms(span))));
    QVERIFY2(span > kRate + lastLength / 2,
             qPrintable(QStringLiteral("speech lasted %1 ms").arg(ms(span))));
}

void TestSoundServer::frozenServerHoldsNothingHostage_data() {
    QTest::addColumn<int>("freezeAfterMs"); // into the second announcement; -1 before it
    QTest::addColumn<int>("code");          // the second announcement ends with

    // Its chime cannot connect: the speech message.
    QTest::newRow("frozen during the speech") << -1 << ErrorCode::SpeechNoAudioDevice;
    // The chime's stream stops taking sound: the speech is queued behind it.
    QTest::newRow("frozen during the chime") << 300 << 0;
}

void TestSoundServer::frozenServerHoldsNothingHostage() {
    QFETCH(int, freezeAfterMs);
    needServer();
    if (!m_server)
        QSKIP(qPrintable(QStringLiteral("no PulseAudio server here: ") + m_serverProblem));

    const ReportSections report{QStringLiteral("Good morning. It is partly cloudy, and the wind "
                                               "blows from the west at twelve miles per hour."),
                                QStringLiteral("Today, showers."),
                                {},
                                {}};
    const auto announce = [&](SpeechEngine& engine) {
        try {
            Announce(
                &engine, [&] { PlayChimeAndWait(engine, chimePath()); }, report);
            return 0;
        } catch (const NimbrelError& e) {
            return e.code();
        }
    };
    std::unique_ptr<SpeechEngine> engine = CreateVoiceEngine({});
    QVERIFY(engine);
    QCOMPARE(announce(*engine), 0);
    QTest::qWait(1000);
    if (freezeAfterMs < 0)
        m_server->freeze(true);
    else
        QTimer::singleShot(freezeAfterMs, [&] { m_server->freeze(true); });

    // The window waits for the chime at most its length plus 2 s.
    QElapsedTimer timer;
    timer.start();
    QTEST(announce(*engine), "code");
    const qint64 waited = timer.elapsed();
    QVERIFY2(waited < ChimeLengthMs(chimePath()) + 2100, qPrintable(QString::number(waited)));
    // Closing does not wait on the server either.
    timer.restart();
    engine.reset();
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));

    m_server->freeze(false);
    engine = CreateVoiceEngine({});
    QCOMPARE(announce(*engine), 0);
}

void TestSoundServer::cleanupTestCase() {
    m_server.reset();
}

QTEST_GUILESS_MAIN(TestSoundServer)
#include "tst_soundserver.moc"
