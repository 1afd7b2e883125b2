#include "settings/ReadRules.h"
#include "settings/SettingsStore.h"
#include "tests/support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <QTest>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

using Settings::File;
using namespace Qt::StringLiterals;

namespace {

// A replaced file is a new file: its inode changes.
ino_t inodeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

const QByteArray kTenMegabytes(10 * 1024 * 1024, 'x');

class SettingsFilesTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_data;
    int m_runs = 0;

    // The store after the load step on dir.
    static Settings::Store loaded(const QString& dir) {
        Settings::Store store(dir);
        store.Load();
        return store;
    }

    // Stores content in the file, or makes a folder of that name for the "<folder>" marker.
    void store(File file, const QByteArray& content) {
        if (content == "<folder>")
            QVERIFY(QDir().mkpath(Settings::PathOf(m_data, file) + u"/inside"_s));
        else if (content != "<missing>")
            writeBytes(Settings::PathOf(m_data, file), content);
    }

private Q_SLOTS:
    void init() {
        m_data = m_dir.path() + u"/data"_s + QString::number(++m_runs);
        QVERIFY(QDir().mkpath(m_data));
    }

    void firstField_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << "N"
                               << "N";
        QTest::newRow("ends at comma") << "N,Y"
                                       << "N";
        QTest::newRow("leading spaces skipped") << "   N ,Y"
                                                << "N ";
        QTest::newRow("quoted keeps comma") << "\"a,b\",c"
                                            << "a,b";
        QTest::newRow("quoted after spaces") << "  \" N \""
                                             << " N ";
        QTest::newRow("rest after quote ignored") << "\"N\"Y"
                                                  << "N";
        QTest::newRow("unclosed quote runs to end") << "\"N,Y"
                                                    << "N,Y";
        QTest::newRow("empty first field") << ",N"
                                           << "";
        QTest::newRow("tab is not skipped") << "\tN"
                                            << "\tN";
    }
    void firstField() {
        QFETCH(QString, line);
        QTEST(Settings::FirstField(line), "field");
    }

    // Every start-up reading case of a report-section box, through the real file.
    void loadCheckBox_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("checked");
        QTest::newRow("N") << QByteArray("N\r\n") << false;
        QTest::newRow("N with blanks") << QByteArray("   N   \r\n") << false;
        QTest::newRow("lower-case n") << QByteArray("n\r\n") << true;
        QTest::newRow("No") << QByteArray("No\r\n") << true;
        QTest::newRow("first field only") << QByteArray("N,Y\r\n") << false;
        QTest::newRow("quoted N") << QByteArray("\" N \",Y\r\n") << false;
        QTest::newRow("tab is not a blank") << QByteArray("\tN\r\n") << true;
        QTest::newRow("no line end") << QByteArray("N") << false;
        QTest::newRow("LF line end") << QByteArray("N\nY\n") << false;
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("empty first line") << QByteArray("\r\nN\r\n") << true;
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe\x80N\r\n", 8) << true;
        QTest::newRow("10 MB line") << kTenMegabytes << true;
        QTest::newRow("N then 10 MB") << QByteArray("N," + kTenMegabytes) << false;
        QTest::newRow("folder of that name") << QByteArray("<folder>") << true;
    }
    void loadCheckBox() {
        QFETCH(QByteArray, content);
        store(File::WindSection, content);
        QTEST(loaded(m_data).section(File::WindSection), "checked");
        if (content == "<folder>") // still the folder: nothing replaced it
            QVERIFY(QFileInfo::exists(Settings::PathOf(m_data, File::WindSection) + u"/inside"_s));
        else
            QCOMPARE(readBytes(Settings::PathOf(m_data, File::WindSection)), content);
    }

    void missingCheckBoxFileIsCreated() {
        QVERIFY(loaded(m_data).section(File::CitySection));
        QCOMPARE(readBytes(Settings::PathOf(m_data, File::CitySection)), QByteArray("Y\r\n"));
    }

    void loadUnits_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("metric");
        QTest::newRow("C") << QByteArray("C\r\n") << true;
        QTest::newRow("c") << QByteArray("c\r\n") << false;
        QTest::newRow("F") << QByteArray("F\r\n") << false;
        QTest::newRow("C with blanks and more") << QByteArray("  C  ,F\r\n") << true;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("missing") << QByteArray("<missing>") << false;
    }
    void loadUnits() {
        QFETCH(QByteArray, content);
        store(File::Units, content);
        QTEST(loaded(m_data).metric(), "metric");
        QCOMPARE(Settings::IsPresent(m_data, File::Units), content != "<missing>");
    }

    void loadZip_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<std::optional<QString>>("zip");
        QTest::newRow("missing") << QByteArray("<missing>") << std::optional<QString>();
        QTest::newRow("folder") << QByteArray("<folder>") << std::optional<QString>();
        QTest::newRow("blanks and second line")
            << QByteArray("  90210  \r\n12345\r\n") << std::optional(QStringLiteral("90210"));
        QTest::newRow("comma kept") << QByteArray("902,10\r\n") << std::optional(u"902,10"_s);
        QTest::newRow("empty") << QByteArray() << std::optional(QString());
        QTest::newRow("10 MB cut to the cap")
            << kTenMegabytes << std::optional(QString(Settings::kMaxLineBytes, u'x'));
    }
    void loadZip() {
        QFETCH(QByteArray, content);
        store(File::Zip, content);
        const Settings::Store store = loaded(m_data);
        QTEST(store.zipStored() ? std::optional(store.zip()) : std::nullopt, "zip");
    }

    void loadGreeting_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("greeting");
        QTest::newRow("missing") << QByteArray("<missing>") << "Hello";
        QTest::newRow("comma comes back whole")
            << QByteArray("Good morning, Chicago\r\n") << "Good morning, Chicago";
        QTest::newRow("quotes kept") << QByteArray("\"Hi\", there\r\n") << "\"Hi\", there";
        QTest::newRow("UTF-8") << QByteArray("Gr\xc3\xbc\xc3\x9f Gott\r\n") << "Grüß Gott";
        QTest::newRow("empty") << QByteArray() << "";
    }
    void loadGreeting() {
        QFETCH(QByteArray, content);
        store(File::Greeting, content);
        QTEST(loaded(m_data).greeting(), "greeting");
    }

    void loadVoicePosition_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("voices");
        QTest::addColumn<std::optional<int>>("position");
        const std::optional<int> none;
        QTest::newRow("missing") << QByteArray("<missing>") << 3 << std::optional(0);
        QTest::newRow("missing, no voices") << QByteArray("<missing>") << 0 << none;
        QTest::newRow("folder") << QByteArray("<folder>") << 3 << std::optional(0);
        QTest::newRow("2 of 3") << QByteArray("2\r\n") << 3 << std::optional(2);
        QTest::newRow("blanks") << QByteArray(" 1 \r\n") << 3 << std::optional(1);
        QTest::newRow("7 of 3") << QByteArray("7\r\n") << 3 << none;
        QTest::newRow("-1") << QByteArray("-1\r\n") << 3 << none;
        QTest::newRow("abc") << QByteArray("abc\r\n") << 3 << none;
        QTest::newRow("empty line") << QByteArray("\r\n") << 3 << none;
        QTest::newRow("whole line, not a field") << QByteArray("1,2\r\n") << 3 << none;
        QTest::newRow("too big for a number") << QByteArray("99999999999\r\n") << 3 << none;
        QTest::newRow("binary") << QByteArray("\x01\x00\xff", 3) << 3 << none;
    }
    void loadVoicePosition() {
        QFETCH(QByteArray, content);
        QFETCH(int, voices);
        store(File::Voice, content);
        QTEST(loaded(m_data).voicePosition(voices, 0), "position");
    }

    void writeBytesExactly_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Y") << "Y" << QByteArray("\x59\x0d\x0a");
        QTest::newRow("empty") << "" << QByteArray("\r\n");
        QTest::newRow("UTF-8") << "Grüß, Gott" << QByteArray("Gr\xc3\xbc\xc3\x9f, Gott\r\n");
    }
    void writeBytesExactly() {
        QFETCH(QString, value);
        writeBytes(Settings::PathOf(m_data, File::Greeting), "a much longer old line\r\nmore\r\n");
        QVERIFY(Settings::Write(m_data, File::Greeting, value));
        QTEST(readBytes(Settings::PathOf(m_data, File::Greeting)), "bytes");
        QCOMPARE(QDir(m_data).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{u"greetdat.txt"_s});
    }

    // Storing what the file already holds leaves it alone (no replacement, no sync); a file that
    // differs only in its line end is replaced.
    void unchangedValueIsNotRewritten_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("same bytes") << QByteArray("Y\r\n") << false;
        QTest::newRow("LF only") << QByteArray("Y\n") << true;
        QTest::newRow("other value") << QByteArray("N\r\n") << true;
    }
    void unchangedValueIsNotRewritten() {
        QFETCH(QByteArray, stored);
        QFETCH(bool, replaced);
        const QString path = Settings::PathOf(m_data, File::WindSection);
        writeBytes(path, stored);
        const ino_t inode = inodeOf(path);
        QVERIFY(Settings::Write(m_data, File::WindSection, u"Y"_s));
        QCOMPARE(readBytes(path), QByteArray("Y\r\n"));
        QCOMPARE(inodeOf(path) != inode, replaced);
    }

    // A data folder that cannot be used: nothing counts as present, nothing is created, and a write
    // says why it failed.
    void unusableDataFolder_data() {
        QTest::addColumn<QString>("dataDir");
        QTest::newRow("does not exist") << m_dir.path() + u"/gone/Nimbrel"_s;
        QTest::newRow("runs through a file") << m_dir.path() + u"/plain.txt/Nimbrel"_s;
        QTest::newRow("unknown") << QString();
    }
    void unusableDataFolder() {
        QFETCH(QString, dataDir);
        writeBytes(m_dir.path() + u"/plain.txt"_s, "x");
        QVERIFY(loaded(dataDir).section(File::SunSection));
        QVERIFY(!Settings::IsPresent(dataDir, File::SunSection));
        QCOMPARE(loaded(dataDir).greeting(), u"Hello"_s);
        const Result<> result = Settings::Write(dataDir, File::SunSection, u"N"_s);
        QVERIFY(!result);
        QVERIFY(!result.error().isEmpty());
        QVERIFY(!QFileInfo::exists(m_dir.path() + u"/gone"_s));
    }

    void failedReplacementKeepsOldFile() {
        // The target is a folder with content: the rename at the end cannot happen.
        const QString target = Settings::PathOf(m_data, File::AtmosphereSection);
        QVERIFY(QDir().mkpath(target));
        writeBytes(target + u"/keep"_s, "kept");
        QVERIFY(!Settings::Write(m_data, File::AtmosphereSection, u"N"_s));
        QCOMPARE(readBytes(target + u"/keep"_s), QByteArray("kept"));
        QCOMPARE(QDir(m_data).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{u"atmodat.txt"_s});
    }

    void fullDiskKeepsOldFile() {
        // A file size limit of two bytes makes the write fail midway, as a full disk would.
        const QString path = Settings::PathOf(m_data, File::WindSection);
        writeBytes(path, "N\r\n");
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit tight = old;
        tight.rlim_cur = 2;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
        const Result<> result = Settings::Write(m_data, File::WindSection, u"Y"_s);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
        QVERIFY(!result);
        QCOMPARE(result.error(), QString::fromLocal8Bit(strerror(EFBIG)));
        QCOMPARE(readBytes(path), QByteArray("N\r\n"));
        QCOMPARE(QDir(m_data).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{u"winddat.txt"_s});
    }
};

} // namespace

QTEST_GUILESS_MAIN(SettingsFilesTest)
#include "tst_settingsfiles.moc"
