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
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <map>
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

    // Keyboard design, on an active window: the first focus, and the whole tab cycle with the
    // metric option selected (the option group's one stop is the selected button).
    void tabCycleFollowsTheDesign() {
        QDir().mkpath(dataDir());
        writeBytes(dataDir() + QStringLiteral("/unitdat.txt"), "C\r\n");
        auto form = start();
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        const QStringList cycle = {
            QStringLiteral("SpeakItBtn"), QStringLiteral("cmdSave"),  QStringLiteral("Location"),
            QStringLiteral("Greeting"),   QStringLiteral("VoiceCB"),  QStringLiteral("Option2"),
            QStringLiteral("Combo1"),     QStringLiteral("Combo2"),   QStringLiteral("Combo3"),
            QStringLiteral("Command1"),   QStringLiteral("Command2"), QStringLiteral("List1"),
            QStringLiteral("ExitBtn"),    QStringLiteral("Check1"),   QStringLiteral("Check2"),
            QStringLiteral("Check3"),     QStringLiteral("Check4"),   QStringLiteral("Check5"),
            QStringLiteral("SpeakItBtn")};
        QCOMPARE(QApplication::focusWidget()->objectName(), cycle.first());
        for (qsizetype i = 1; i < cycle.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), cycle[i]);
        }
        for (qsizetype i = cycle.size() - 2; i >= 0; --i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            QCOMPARE(QApplication::focusWidget()->objectName(), cycle[i]);
        }
    }

    void keysPressTheirButtons_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("pressed"); // empty: no button
        const QString test = QStringLiteral("SpeakItBtn");
        QTest::newRow("Alt+A") << test << int(Qt::Key_A) << int(Qt::AltModifier) << "Command1";
        QTest::newRow("Alt+R") << test << int(Qt::Key_R) << int(Qt::AltModifier) << "Command2";
        QTest::newRow("Alt+T") << "Location" << int(Qt::Key_T) << int(Qt::AltModifier) << test;
        QTest::newRow("Alt+O") << test << int(Qt::Key_O) << int(Qt::AltModifier) << "cmdSave";
        QTest::newRow("Alt+X") << test << int(Qt::Key_X) << int(Qt::AltModifier) << "ExitBtn";
        QTest::newRow("Enter in a text box") << "Location" << int(Qt::Key_Return) << 0 << test;
        QTest::newRow("Enter in a time box") << "Combo2" << int(Qt::Key_Enter) << 0 << test;
        QTest::newRow("Enter on a button") << "Command1" << int(Qt::Key_Return) << 0 << "Command1";
        QTest::newRow("Esc") << "Location" << int(Qt::Key_Escape) << 0 << QString();
    }
    void keysPressTheirButtons() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, pressed);
        auto form = start();
        QVERIFY(form);
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->findChild<QWidget*>(focus)->setFocus();
        std::map<QString, std::unique_ptr<QSignalSpy>> clicks;
        for (QPushButton* button : form->findChildren<QPushButton*>())
            clicks[button->objectName()] =
                std::make_unique<QSignalSpy>(button, &QPushButton::clicked);
        // The notices and the exit question that some buttons open are answered No.
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        answerer.start(20);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key),
                        Qt::KeyboardModifiers(modifiers));
        if (pressed.isEmpty())
            QTest::qWait(300); // longer than a click's animation
        else
            QTRY_COMPARE(clicks.at(pressed)->count(), 1);
        for (const auto& [name, spy] : clicks)
            QCOMPARE(spy->count(), name == pressed ? 1 : 0);
        QVERIFY(form->isVisible());
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
