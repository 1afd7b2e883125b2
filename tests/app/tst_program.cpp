// The real program binary, started as a user would, with a private HOME and runtime folder.
#include "report/EspeakVoices.h"
#include "report/FliteVoices.h"
#include "tests/support/FileBytes.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <csignal>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

bool isRegular(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

// Puts an entry of the kind ("fifo", "socket", "folder", "dangling link") at path.
bool makeOddEntry(const QString& kind, const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (kind == u"fifo")
        return ::mkfifo(native.constData(), 0600) == 0;
    if (kind == u"folder")
        return QDir().mkdir(path);
    if (kind == u"dangling link")
        return QFile::link(path + QStringLiteral(".nowhere"), path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (native.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::copy(native.cbegin(), native.cend(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

const QStringList kSectionFiles = {QStringLiteral("winddat.txt"), QStringLiteral("locatdat.txt"),
                                   QStringLiteral("forecdat.txt"), QStringLiteral("sundat.txt"),
                                   QStringLiteral("atmodat.txt")};

class ProgramTest final : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_home;
    QList<QProcess*> m_started;

    QString dataDir() const { return m_home->path() + QStringLiteral("/Documents/Nimbrel"); }

    QProcess* launch(const QString& runtime = QStringLiteral("run"), const QStringList& unset = {},
                     const QString& display = {}) {
        auto* process = new QProcess(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_home->path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home->path() + u'/' + runtime);
        env.remove(QStringLiteral("XDG_CONFIG_HOME"));
        env.remove(QStringLiteral("XDG_DOCUMENTS_DIR"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const QString& name : unset)
            env.remove(name);
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
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
        for (const QString& runtime : {QStringLiteral("run"), QStringLiteral("run2")}) {
            QDir(m_home->path()).mkpath(runtime);
            QFile::setPermissions(m_home->path() + u'/' + runtime, QFileDevice::ReadOwner |
                                                                       QFileDevice::WriteOwner |
                                                                       QFileDevice::ExeOwner);
        }
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
        // The clearest English voice, not espeak-ng's first: the stored position names Flite's
        // slt.
        const QByteArray stored = readBytes(dataDir() + QStringLiteral("/voicedat.txt"));
        const VoiceTokens voices =
            InstalledVoices(EspeakVoices::DataDir(), FliteVoices::LibraryDirs());
        QCOMPARE(stored, QByteArray::number(DefaultVoicePosition(voices)) + "\r\n");
        QCOMPARE(voices.at(stored.trimmed().toULong()).id, QStringLiteral("flite:cmu_us_slt"));

        // A termination signal ends it cleanly.
        ::kill(static_cast<pid_t>(program->processId()), SIGTERM);
        QVERIFY(program->waitForFinished(5000));
        QCOMPARE(program->exitStatus(), QProcess::NormalExit);
        QCOMPARE(program->exitCode(), 0);
    }

    // One instance per data folder, whatever the runtime folder; the lock of an instance that
    // crashed, even one killed while making it (left empty), holds nothing back.
    void oneInstancePerDataFolder_data() {
        QTest::addColumn<QString>("firstRuntime"); // empty: no first instance
        QTest::addColumn<bool>("firstKilled");
        QTest::addColumn<QString>("emptyLock"); // empty: none
        QTest::addColumn<bool>("secondRuns");
        QTest::newRow("same runtime folder") << "run" << false << QString() << false;
        QTest::newRow("another runtime folder") << "run2" << false << QString() << false;
        QTest::newRow("first killed") << "run" << true << QString() << true;
        QTest::newRow("empty lock in the runtime folder")
            << QString() << false << "run/nimbrel.lock" << true;
        QTest::newRow("empty lock in the data folder")
            << QString() << false << "Documents/Nimbrel/.nimbrel.lock" << true;
    }
    void oneInstancePerDataFolder() {
        QFETCH(QString, firstRuntime);
        QFETCH(bool, firstKilled);
        QFETCH(QString, emptyLock);
        QFETCH(bool, secondRuns);
        const QString voiceFile = dataDir() + QStringLiteral("/voicedat.txt");
        QProcess* first = firstRuntime.isEmpty() ? nullptr : launch(firstRuntime);
        if (first)
            QVERIFY(waitForStartup(voiceFile));
        if (firstKilled) {
            first->kill();
            QVERIFY(first->waitForFinished(5000));
        }
        QFile::remove(voiceFile);
        if (!emptyLock.isEmpty()) {
            QDir().mkpath(dataDir());
            writeBytes(m_home->path() + u'/' + emptyLock, {});
        }
        QElapsedTimer started;
        started.start();
        QProcess* second = launch();
        if (secondRuns) {
            QVERIFY(waitForStartup(voiceFile));
            QVERIFY2(started.elapsed() < 5000, qPrintable(QString::number(started.elapsed())));
            QCOMPARE(second->state(), QProcess::Running);
        } else {
            QVERIFY(second->waitForFinished(5000));
            QCOMPARE(second->exitStatus(), QProcess::NormalExit);
            QCOMPARE(second->exitCode(), 0);
            QCOMPARE(first->state(), QProcess::Running);
        }
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

    // An entry that is no regular file, in place of a settings file or of the lock, never stops
    // start-up: it counts as missing, a file start-up writes replaces it, and no second instance
    // starts beside the first.
    void oddEntryNeverJamsStartUp_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QStringList names = {QStringLiteral("citydat.txt"), QStringLiteral("greetdat.txt"),
                             QStringLiteral("unitdat.txt"), QStringLiteral("voicedat.txt"),
                             QStringLiteral("run/nimbrel.lock")};
        names += kSectionFiles;
        for (const char* kind : {"fifo", "socket", "folder", "dangling link"}) {
            for (const QString& name : std::as_const(names))
                QTest::addRow("%s as %s", kind, qPrintable(name))
                    << QString::fromLatin1(kind) << name;
        }
    }
    void oddEntryNeverJamsStartUp() {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QDir().mkpath(dataDir());
        const bool isLock = name.endsWith(u".lock");
        const QString odd = isLock ? m_home->path() + u'/' + name : dataDir() + u'/' + name;
        QVERIFY(makeOddEntry(kind, odd));
        const bool replaced = kind != u"folder" && !isLock;
        QStringList written = kSectionFiles + QStringList{QStringLiteral("voicedat.txt")};
        if (!replaced)
            written.removeOne(name);

        QProcess* program = launch();
        QVERIFY(QTest::qWaitFor(
            [&] {
                return std::all_of(written.cbegin(), written.cend(), [&](const QString& file) {
                    return isRegular(dataDir() + u'/' + file);
                });
            },
            10000));
        if (kSectionFiles.contains(name) && replaced)
            QCOMPARE(readBytes(odd), QByteArray("Y\r\n"));
        if (isLock) {
            QProcess* second = launch();
            QVERIFY(second->waitForFinished(5000));
            QCOMPARE(second->exitCode(), 0);
            // Cleared while the first runs: the first still holds the place it took.
            QVERIFY(QDir().rmdir(odd) || QFile::remove(odd));
            QProcess* third = launch();
            QVERIFY(third->waitForFinished(5000));
        }
        QCOMPARE(program->state(), QProcess::Running);

        QElapsedTimer sinceSignal;
        sinceSignal.start();
        ::kill(static_cast<pid_t>(program->processId()), SIGTERM);
        QVERIFY(program->waitForFinished(5000));
        QVERIFY2(sinceSignal.elapsed() <= 1000, qPrintable(QString::number(sinceSignal.elapsed())));
        QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    }

    // What writes cut short by a crash left behind goes at the next start, and nothing else.
    void leftoverTemporaryFilesAreRemoved() {
        QDir().mkpath(dataDir());
        const QStringList leftovers = {
            QStringLiteral("winddat.txt.aNIWSX"), QStringLiteral("citydat.txt.0a9Z8b"),
            QStringLiteral("0730AM.tim.KyQuzN"), QStringLiteral("1259PM.spk.UORmwP")};
        const QStringList kept = {
            QStringLiteral("notes.txt.aNIWSX"), QStringLiteral("winddat.txt.aNIWS"),
            QStringLiteral("winddat.txt.aNI-SX"), QStringLiteral("1360PM.tim.KyQuzN")};
        for (const QString& name : leftovers + kept)
            writeBytes(dataDir() + u'/' + name, "Y\r\n");
        QVERIFY(QDir().mkdir(dataDir() + QStringLiteral("/sundat.txt.KyQuzN")));
        launch();
        QVERIFY(waitForStartup(dataDir() + QStringLiteral("/voicedat.txt")));
        for (const QString& name : leftovers)
            QVERIFY2(!QFileInfo::exists(dataDir() + u'/' + name), qPrintable(name));
        for (const QString& name : kept + QStringList{QStringLiteral("sundat.txt.KyQuzN")})
            QVERIFY2(QFileInfo::exists(dataDir() + u'/' + name), qPrintable(name));
    }

    // No abort and no dialog-less crash: one line that says what is missing, and a failure status.
    void withoutDisplayEndsWithOneLine_data() {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("line");
        QTest::newRow("none set") << QString()
                                  << u"no display is set (neither WAYLAND_DISPLAY nor DISPLAY)"_s;
        QTest::newRow("unreachable X11 display")
            << u":1023"_s << u"the X11 display (DISPLAY=:1023) cannot be reached"_s;
    }
    void withoutDisplayEndsWithOneLine() {
        QFETCH(QString, display);
        QFETCH(QString, line);
        QProcess* program = launch(
            u"run"_s,
            {u"QT_QPA_PLATFORM"_s, u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"XDG_SESSION_TYPE"_s},
            display);
        QVERIFY(program->waitForFinished(10000));
        QCOMPARE(program->exitStatus(), QProcess::NormalExit);
        QCOMPARE(program->exitCode(), 1);
        QCOMPARE(QString::fromUtf8(program->readAllStandardError()),
                 u"nimbrel: cannot open the window: "_s + line + u'\n');
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
