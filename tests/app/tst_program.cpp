// The real program binary, started as a user would, with a private HOME and runtime folder.
#include "report/EspeakEngine.h"
#include "tests/support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <optional>

namespace {

class ProgramTest final : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_home;
    QList<QProcess*> m_started;

    QString dataDir() const { return m_home->path() + QStringLiteral("/Documents/Nimbrel"); }

    QProcess* launch() {
        auto* process = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home->path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home->path() + QStringLiteral("/run"));
        env.remove(QStringLiteral("XDG_CONFIG_HOME"));
        env.remove(QStringLiteral("XDG_DOCUMENTS_DIR"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process->setProcessEnvironment(env);
        process->setProgram(qEnvironmentVariable("NIMBREL_BINARY_DIR") +
                            QStringLiteral("/app/nimbrel"));
        process->start();
        m_started.append(process);
        return process;
    }

    // Start-up has ended once the voice list's handler has stored the first voice.
    static bool waitForStartup(const QString& voiceFile) {
        return QTest::qWaitFor([&] { return QFile::exists(voiceFile); }, 10000);
    }

private Q_SLOTS:
    void init() {
        m_home.emplace();
        QDir(m_home->path()).mkpath(QStringLiteral("run"));
        QFile::setPermissions(m_home->path() + QStringLiteral("/run"), QFileDevice::ReadOwner |
                                                                           QFileDevice::WriteOwner |
                                                                           QFileDevice::ExeOwner);
    }
    void cleanup() {
        for (QProcess* process : std::as_const(m_started)) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
        qDeleteAll(m_started);
        m_started.clear();
    }

    void firstStartCreatesTheSectionFiles() {
        QProcess* program = launch();
        QVERIFY(program->waitForStarted());
        QVERIFY(waitForStartup(dataDir() + QStringLiteral("/voicedat.txt")));
        QCOMPARE(program->state(), QProcess::Running);
        const QStringList expected = {
            QStringLiteral("atmodat.txt"),  QStringLiteral("forecdat.txt"),
            QStringLiteral("locatdat.txt"), QStringLiteral("sundat.txt"),
            QStringLiteral("voicedat.txt"), QStringLiteral("winddat.txt")};
        QCOMPARE(QDir(dataDir()).entryList(QDir::Files, QDir::Name), expected);
        for (const QString& name : expected.mid(0, 4) + QStringList{expected[5]})
            QCOMPARE(readBytes(dataDir() + u'/' + name), QByteArray("Y\r\n"));
        // English, not espeak-ng's first voice: the stored position names its first "en-us" one.
        const QByteArray stored = readBytes(dataDir() + QStringLiteral("/voicedat.txt"));
        const VoiceTokens voices = EspeakEngine().GetVoices();
        QCOMPARE(stored, QByteArray::number(DefaultVoicePosition(voices)) + "\r\n");
        QCOMPARE(voices.at(stored.trimmed().toULong()).language, QStringLiteral("en-us"));

        // A termination signal ends it cleanly.
        ::kill(static_cast<pid_t>(program->processId()), SIGTERM);
        QVERIFY(program->waitForFinished(5000));
        QCOMPARE(program->exitStatus(), QProcess::NormalExit);
        QCOMPARE(program->exitCode(), 0);
    }

    void secondStartEndsAtOnceAndStaleLockDoesNotBlock() {
        QProcess* first = launch();
        QVERIFY(waitForStartup(dataDir() + QStringLiteral("/voicedat.txt")));

        QProcess* second = launch();
        QVERIFY(second->waitForFinished(5000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);

        // A crashed first instance leaves its lock behind; the next start must still work.
        first->kill();
        QVERIFY(first->waitForFinished(5000));
        QFile::remove(dataDir() + QStringLiteral("/voicedat.txt"));
        QProcess* third = launch();
        QVERIFY(waitForStartup(dataDir() + QStringLiteral("/voicedat.txt")));
        QCOMPARE(third->state(), QProcess::Running);
    }

    void storedVoiceIsKept() {
        QDir().mkpath(dataDir());
        QFile file(dataDir() + QStringLiteral("/voicedat.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(" 2 \r\n");
        file.close();
        QProcess* program = launch();
        // The handler rewrites the position it selected.
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(dataDir() + QStringLiteral("/voicedat.txt")),
                                  QByteArray("2\r\n"), 10000);
        QCOMPARE(program->state(), QProcess::Running);
    }

    void dataFolderThatCannotBeCreatedStillStarts() {
        QFile blocker(m_home->path() + QStringLiteral("/Documents"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QProcess* program = launch();
        QVERIFY(program->waitForStarted());
        QTest::qWait(2000);
        QCOMPARE(program->state(), QProcess::Running);
    }
};

} // namespace

QTEST_GUILESS_MAIN(ProgramTest)
#include "tst_program.moc"
