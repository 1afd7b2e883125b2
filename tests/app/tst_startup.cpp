#include "app/Form1.h"
#include "app/Module2.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RecordingSpeechEngine.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

class StartupTest final : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    RecordingSpeechEngine* m_engine = nullptr; // owned by the window
    int m_voices = 3;
    bool m_noEngine = false;

    QString dataDir() const { return m_dir->path() + QStringLiteral("/Nimbrel"); }

    std::unique_ptr<Form1> start() {
        Form1Deps deps;
        deps.documentsDir = m_dir->path();
        deps.runtimeDir = m_dir->path();
        deps.feedHost = QStringLiteral("127.0.0.1:9");
        deps.createSpeechEngine = [this]() -> std::unique_ptr<SpeechEngine> {
            if (m_noEngine)
                return nullptr;
            auto engine = std::make_unique<RecordingSpeechEngine>(
                m_voices, QStringList{u"af"_s, u"en-gb"_s, u"en-us"_s, u"en-us"_s});
            m_engine = engine.get();
            return engine;
        };
        deps.quit = [] {};
        auto form = std::make_unique<Form1>(std::move(deps));
        if (!form->Form_Load())
            return nullptr;
        return form;
    }

private Q_SLOTS:
    void init() {
        m_dir.emplace();
        m_voices = 3;
        m_noEngine = false;
        m_engine = nullptr;
    }
    void cleanup() { Module2::RemoveTrayIcon(); }

    void firstStartShowsTheDefaults() {
        auto form = start();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        QCOMPARE(form->windowTitle(), QStringLiteral("Nimbrel 1.61"));
        QCOMPARE(form->windowIcon().availableSizes(), (QList<QSize>{QSize(32, 32), QSize(16, 16)}));
        const QRect screen = form->screen()->geometry();
        const QRect frame = form->frameGeometry();
        QCOMPARE(frame.left(), (screen.width() - frame.width()) / 2);
        QCOMPARE(frame.top(), (screen.height() - frame.height()) / 2);
        QCOMPARE(form->Location->text(), QStringLiteral("90012"));
        QCOMPARE(form->Greeting->text(), QStringLiteral("Hello"));
        QVERIFY(form->Option1->isChecked());
        for (QCheckBox* box :
             {form->Check1, form->Check2, form->Check3, form->Check4, form->Check5})
            QCOMPARE(box->checkState(), Qt::Checked);
        QCOMPARE(form->Combo1->currentText(), QStringLiteral("09"));
        QCOMPARE(form->Combo2->currentText(), QStringLiteral("00"));
        QCOMPARE(form->Combo3->currentText(), QStringLiteral("AM"));
        QCOMPARE(form->Combo1->count(), 12);
        QCOMPARE(form->Combo1->itemText(0), QStringLiteral("01"));
        QCOMPARE(form->Combo1->itemText(11), QStringLiteral("12"));
        QCOMPARE(form->Combo2->count(), 60);
        QCOMPARE(form->Combo2->itemText(7), QStringLiteral("07"));
        QCOMPARE(form->Combo2->itemText(59), QStringLiteral("59"));
        QCOMPARE(form->Combo3->count(), 2);
        QCOMPARE(form->List1->count(), 0);
        QVERIFY(form->CityFound->text().isEmpty());
        QVERIFY(form->txtWeather->text().isEmpty());
        QVERIFY(!Module2::trayIcon());
        QCOMPARE(form->VoiceCB->count(), 3);
        // The first "en-us" voice, not espeak-ng's first (Afrikaans).
        QCOMPARE(form->VoiceCB->currentIndex(), 2);
        QCOMPARE(m_engine->currentVoice, QStringLiteral("voice-2"));
        QCOMPARE(readBytes(dataDir() + QStringLiteral("/voicedat.txt")), QByteArray("2\r\n"));
        QVERIFY(!QFile::exists(dataDir() + QStringLiteral("/unitdat.txt")));
    }

    void storedSettingsAreApplied() {
        QDir().mkpath(dataDir());
        writeBytes(dataDir() + QStringLiteral("/citydat.txt"), " 60601 \r\nsecond line\r\n");
        writeBytes(dataDir() + QStringLiteral("/greetdat.txt"), "Good morning, Chicago\r\n");
        writeBytes(dataDir() + QStringLiteral("/unitdat.txt"), "C\r\n");
        writeBytes(dataDir() + QStringLiteral("/winddat.txt"), " N \r\n");
        writeBytes(dataDir() + QStringLiteral("/forecdat.txt"), "n\r\n");
        // A stored position keeps its voice, English or not.
        writeBytes(dataDir() + QStringLiteral("/voicedat.txt"), "1\r\n");
        auto form = start();
        QVERIFY(form);
        // No notification area here, so the window stays reachable.
        QVERIFY(form->isVisible());
        QVERIFY(Module2::trayIcon());
        QCOMPARE(Module2::trayIcon()->toolTip(), QStringLiteral("Nimbrel 1.61"));
        QCOMPARE(form->Location->text(), QStringLiteral("60601"));
        QCOMPARE(form->Greeting->text(), QStringLiteral("Good morning, Chicago"));
        QVERIFY(form->Option2->isChecked());
        QCOMPARE(form->Check1->checkState(), Qt::Unchecked);
        QCOMPARE(form->Check2->checkState(), Qt::Checked);
        QCOMPARE(readBytes(dataDir() + QStringLiteral("/forecdat.txt")), QByteArray("Y\r\n"));
        QCOMPARE(readBytes(dataDir() + QStringLiteral("/unitdat.txt")), QByteArray("C\r\n"));
        QCOMPARE(form->VoiceCB->currentIndex(), 1);
        QCOMPARE(m_engine->currentVoice, QStringLiteral("voice-1"));
        QCOMPARE(readBytes(dataDir() + QStringLiteral("/voicedat.txt")), QByteArray("1\r\n"));
    }

    void voicePositionThatNamesNoVoiceSelectsNothing_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("past the end") << QByteArray("7\r\n");
        QTest::newRow("negative") << QByteArray("-1\r\n");
        QTest::newRow("not a number") << QByteArray("abc\r\n");
        QTest::newRow("empty") << QByteArray("\r\n");
    }
    void voicePositionThatNamesNoVoiceSelectsNothing() {
        QFETCH(QByteArray, stored);
        QDir().mkpath(dataDir());
        writeBytes(dataDir() + QStringLiteral("/voicedat.txt"), stored);
        auto form = start();
        QVERIFY(form);
        QCOMPARE(form->VoiceCB->count(), 3);
        QCOMPARE(form->VoiceCB->currentIndex(), -1);
        QCOMPARE(m_engine->setVoiceCalls, 0);
        QCOMPARE(readBytes(dataDir() + QStringLiteral("/voicedat.txt")), stored);
    }

    void noSpeechEngineLeavesTheVoiceListEmpty() {
        m_noEngine = true;
        auto form = start();
        QVERIFY(form);
        QVERIFY(!form->speechEngine());
        QCOMPARE(form->VoiceCB->count(), 0);
        QVERIFY(!QFile::exists(dataDir() + QStringLiteral("/voicedat.txt")));
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(form->isVisible());
    }

    void dataFolderThatCannotBeCreatedGivesTheDefaults() {
        // The documents "folder" is a regular file, so nothing can be created beneath it.
        writeBytes(m_dir->path() + QStringLiteral("/Documents"), "not a folder");
        Form1Deps deps;
        deps.documentsDir = m_dir->path() + QStringLiteral("/Documents");
        deps.runtimeDir = m_dir->path();
        deps.createSpeechEngine = [] { return std::make_unique<RecordingSpeechEngine>(); };
        deps.quit = [] {};
        Form1 form(std::move(deps));
        QVERIFY(form.Form_Load());
        QVERIFY(form.isVisible());
        QCOMPARE(form.Location->text(), QStringLiteral("90012"));
        QCOMPARE(form.Greeting->text(), QStringLiteral("Hello"));
        QCOMPARE(form.Check1->checkState(), Qt::Checked);
        QCOMPARE(form.VoiceCB->currentIndex(), 0);
        QCOMPARE(form.List1->count(), 0);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void secondInstanceEndsAtOnce() {
        auto first = start();
        QVERIFY(first);
        Form1Deps deps;
        deps.documentsDir = m_dir->path();
        deps.runtimeDir = m_dir->path();
        bool engineCreated = false;
        deps.createSpeechEngine = [&] {
            engineCreated = true;
            return std::make_unique<RecordingSpeechEngine>();
        };
        Form1 second(std::move(deps));
        QVERIFY(!second.Form_Load());
        QVERIFY(!engineCreated);
        QVERIFY(!second.isVisible());
        QVERIFY(first->isVisible());
    }
};

} // namespace

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
