#include "app/DisplayPlatform.h"
#include "app/MessageBox.h"
#include "app/Module2.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <optional>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(DisplayEnvironment)

namespace {

class StartupTest final : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;

    QString dataDir() const { return m_dir->path() + QStringLiteral("/Nimbrel"); }

    // The window on m_dir as its documents folder.
    std::unique_ptr<TestWindow> start(int voices = 3, std::optional<bool> notificationArea = {}) {
        TestWindowOptions options;
        options.notificationArea = notificationArea;
        options.voices = voices;
        options.voiceLanguages = {u"af"_s, u"en-gb"_s, u"en-us"_s, u"en-us"_s};
        options.documentsDir = m_dir->path();
        options.runtimeDir = m_dir->path();
        return std::make_unique<TestWindow>(options);
    }

private Q_SLOTS:
    void init() { m_dir.emplace(); }

    // Which platforms Qt is told to try, from the environment; nothing to try: what is missing.
    void choosesThePlatform_data() {
        QTest::addColumn<DisplayEnvironment>("env");
        QTest::addColumn<QByteArray>("platforms");
        QTest::addColumn<QString>("missing");
        const auto env = [](QByteArray wayland, QByteArray x11, bool plugin, QByteArray desktop) {
            return DisplayEnvironment{{}, wayland, x11, {}, desktop, plugin};
        };
        QTest::newRow("X11") << env({}, ":0", false, {}) << "xcb"_ba << QString();
        QTest::newRow("Wayland, X11 behind")
            << env("wayland-1", ":0", true, {}) << "wayland;xcb"_ba << QString();
        QTest::newRow("Wayland without its plug-in")
            << env("wayland-1", ":0", false, {}) << "xcb"_ba << QString();
        QTest::newRow("GNOME on Wayland")
            << env("wayland-0", ":0", true, "ubuntu:GNOME") << "xcb;wayland"_ba << QString();
        QTest::newRow("Wayland only, without its plug-in")
            << env("wayland-1", {}, false, {}) << QByteArray() << u"qt6-wayland"_s;
        QTest::newRow("no display") << env({}, {}, true, {}) << QByteArray() << u"no display"_s;
        DisplayEnvironment requested = env({}, {}, false, {});
        requested.requested = "offscreen";
        QTest::newRow("the user's choice") << requested << "offscreen"_ba << QString();
    }
    void choosesThePlatform() {
        QFETCH(DisplayEnvironment, env);
        QFETCH(QByteArray, platforms);
        QFETCH(QString, missing);
        const PlatformChoice choice = ChoosePlatform(env);
        QCOMPARE(choice.platforms, platforms);
        QVERIFY2(missing.isEmpty() ? choice.missing.isEmpty() : choice.missing.contains(missing),
                 qPrintable(choice.missing));
    }

    void firstStartShowsTheDefaults() {
        const auto w = start();
        QVERIFY(w->loaded);
        Form1* form = w->form.get();
        QVERIFY(form->isVisible());
        QCOMPARE(form->windowTitle(), QStringLiteral("Nimbrel 1.61"));
        QCOMPARE(form->windowIcon().availableSizes(), (QList<QSize>{QSize(32, 32), QSize(16, 16)}));
        const QRect screen = form->screen()->geometry();
        const QRect frame = form->frameGeometry();
        QCOMPARE(frame.left(), (screen.width() - frame.width()) / 2);
        QCOMPARE(frame.top(), (screen.height() - frame.height()) / 2);
        QCOMPARE(w->control<QLineEdit>("Location")->text(), QStringLiteral("90012"));
        QCOMPARE(w->control<QLineEdit>("Greeting")->text(), QStringLiteral("Hello"));
        QVERIFY(w->control<QRadioButton>("Option1")->isChecked());
        for (QCheckBox* box : {w->control<QCheckBox>("Check1"), w->control<QCheckBox>("Check2"),
                               w->control<QCheckBox>("Check3"), w->control<QCheckBox>("Check4"),
                               w->control<QCheckBox>("Check5")})
            QCOMPARE(box->checkState(), Qt::Checked);
        QCOMPARE(w->control<QComboBox>("Combo1")->currentText(), QStringLiteral("09"));
        QCOMPARE(w->control<QComboBox>("Combo2")->currentText(), QStringLiteral("00"));
        QCOMPARE(w->control<QComboBox>("Combo3")->currentText(), QStringLiteral("AM"));
        QCOMPARE(w->control<QComboBox>("Combo1")->count(), 12);
        QCOMPARE(w->control<QComboBox>("Combo1")->itemText(0), QStringLiteral("01"));
        QCOMPARE(w->control<QComboBox>("Combo1")->itemText(11), QStringLiteral("12"));
        QCOMPARE(w->control<QComboBox>("Combo2")->count(), 60);
        QCOMPARE(w->control<QComboBox>("Combo2")->itemText(7), QStringLiteral("07"));
        QCOMPARE(w->control<QComboBox>("Combo2")->itemText(59), QStringLiteral("59"));
        QCOMPARE(w->control<QComboBox>("Combo3")->count(), 2);
        QCOMPARE(w->control<QListView>("List1")->model()->rowCount(), 0);
        QVERIFY(w->control<QLabel>("CityFound")->text().isEmpty());
        QVERIFY(w->control<QLabel>("txtWeather")->text().isEmpty());
        QVERIFY(!form->findChild<QSystemTrayIcon*>());
        QCOMPARE(w->control<QComboBox>("VoiceCB")->count(), 3);
        // The first "en-us" voice, not espeak-ng's first (Afrikaans).
        QCOMPARE(w->control<QComboBox>("VoiceCB")->currentIndex(), 2);
        QCOMPARE(w->engine->currentVoice, QStringLiteral("voice-2"));
        QCOMPARE(readBytes(dataDir() + QStringLiteral("/voicedat.txt")), QByteArray("2\r\n"));
        QVERIFY(!QFile::exists(dataDir() + QStringLiteral("/unitdat.txt")));
    }

    // In the notification area the controls are made only when the window is first shown; the
    // settings are applied and written back all the same, and a report made meanwhile shows then.
    void storedSettingsAreApplied_data() {
        QTest::addColumn<bool>("inTray");
        QTest::newRow("no notification area: shown") << false;
        QTest::newRow("in the notification area") << true;
    }
    void storedSettingsAreApplied() {
        QFETCH(bool, inTray);
        QDir().mkpath(dataDir());
        writeBytes(dataDir() + QStringLiteral("/citydat.txt"), " 60601 \r\nsecond line\r\n");
        writeBytes(dataDir() + QStringLiteral("/greetdat.txt"), "Good morning, Chicago\r\n");
        writeBytes(dataDir() + QStringLiteral("/unitdat.txt"), "C\r\n");
        writeBytes(dataDir() + QStringLiteral("/winddat.txt"), " N \r\n");
        writeBytes(dataDir() + QStringLiteral("/forecdat.txt"), "n\r\n");
        // A stored position keeps its voice, English or not.
        writeBytes(dataDir() + QStringLiteral("/voicedat.txt"), "1\r\n");
        const auto w = start(3, inTray ? std::optional(true) : std::nullopt);
        QVERIFY(w->loaded);
        Form1* form = w->form.get();
        // Without a notification area the window stays reachable.
        QCOMPARE(form->isVisible(), !inTray);
        const auto* icon = form->findChild<QSystemTrayIcon*>();
        QVERIFY(icon);
        QCOMPARE(icon->toolTip(), QStringLiteral("Nimbrel 1.61"));
        QCOMPARE(form->findChildren<QWidget*>().isEmpty(), inTray);
        QCOMPARE(readBytes(dataDir() + QStringLiteral("/forecdat.txt")), QByteArray("Y\r\n"));
        QCOMPARE(readBytes(dataDir() + QStringLiteral("/unitdat.txt")), QByteArray("C\r\n"));
        QCOMPARE(w->engine->currentVoice, QStringLiteral("voice-1"));
        QCOMPARE(readBytes(dataDir() + QStringLiteral("/voicedat.txt")), QByteArray("1\r\n"));
        form->core().SpeakWeather();
        QCOMPARE(form->isVisible(), !inTray);
        Module2::ShowFromTray(form);
        QCOMPARE(w->control<QLabel>("CityFound")->text(), QStringLiteral("Los Angeles"));
        QVERIFY(w->control<QLabel>("txtWeather")->text().startsWith(u"Good morning, Chicago"_s));
        QCOMPARE(w->control<QComboBox>("Combo1")->currentText(), QStringLiteral("09"));
        QCOMPARE(w->control<QLineEdit>("Location")->text(), QStringLiteral("60601"));
        QCOMPARE(w->control<QLineEdit>("Greeting")->text(),
                 QStringLiteral("Good morning, Chicago"));
        QVERIFY(w->control<QRadioButton>("Option2")->isChecked());
        QCOMPARE(w->control<QCheckBox>("Check1")->checkState(), Qt::Unchecked);
        QCOMPARE(w->control<QCheckBox>("Check2")->checkState(), Qt::Checked);
        QCOMPARE(w->control<QComboBox>("VoiceCB")->currentIndex(), 1);
        QCOMPARE(w->control<QComboBox>("VoiceCB")->count(), 3);
        // Changes after the first show go through the handlers as always.
        w->control<QCheckBox>("Check1")->click();
        QCOMPARE(readBytes(dataDir() + QStringLiteral("/winddat.txt")), QByteArray("Y\r\n"));
    }

    // Keyboard design, on an active window: the first focus, and the whole tab cycle with the
    // metric option selected (the option group's one stop is the selected button).
    void tabCycleFollowsTheDesign() {
        QDir().mkpath(dataDir());
        writeBytes(dataDir() + QStringLiteral("/unitdat.txt"), "C\r\n");
        const auto w = start();
        QVERIFY(w->loaded);
        Form1* form = w->form.get();
        QVERIFY(QTest::qWaitForWindowActive(form));
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
        const auto w = start();
        QVERIFY(w->loaded);
        Form1* form = w->form.get();
        QVERIFY(QTest::qWaitForWindowActive(form));
        form->findChild<QWidget*>(focus)->setFocus();
        std::map<QString, std::unique_ptr<QSignalSpy>> clicks;
        for (QPushButton* button : form->findChildren<QPushButton*>())
            clicks[button->objectName()] =
                std::make_unique<QSignalSpy>(button, &QPushButton::clicked);
        // The notice or the exit question that some buttons open is answered No.
        MessageBox::setNextAnswer(QMessageBox::No);
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
        const auto w = start();
        QVERIFY(w->loaded);
        QCOMPARE(w->control<QComboBox>("VoiceCB")->count(), 3);
        QCOMPARE(w->control<QComboBox>("VoiceCB")->currentIndex(), -1);
        QCOMPARE(w->engine->setVoiceCalls, 0);
        QCOMPARE(readBytes(dataDir() + QStringLiteral("/voicedat.txt")), stored);
    }

    void noSpeechEngineLeavesTheVoiceListEmpty() {
        const auto w = start(-1);
        QVERIFY(w->loaded);
        Form1* form = w->form.get();
        QVERIFY(!form->core().speechEngine());
        QCOMPARE(w->control<QComboBox>("VoiceCB")->count(), 0);
        QVERIFY(!QFile::exists(dataDir() + QStringLiteral("/voicedat.txt")));
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(form->isVisible());
    }

    void dataFolderThatCannotBeCreatedGivesTheDefaults() {
        // The documents "folder" is a regular file, so nothing can be created beneath it.
        writeBytes(m_dir->path() + QStringLiteral("/Documents"), "not a folder");
        TestWindowOptions options;
        options.documentsDir = m_dir->path() + QStringLiteral("/Documents");
        const auto w = std::make_unique<TestWindow>(options);
        QVERIFY(w->loaded);
        QVERIFY(w->form->isVisible());
        QCOMPARE(w->control<QLineEdit>("Location")->text(), QStringLiteral("90012"));
        QCOMPARE(w->control<QLineEdit>("Greeting")->text(), QStringLiteral("Hello"));
        QCOMPARE(w->control<QCheckBox>("Check1")->checkState(), Qt::Checked);
        QCOMPARE(w->control<QComboBox>("VoiceCB")->currentIndex(), 0);
        QCOMPARE(w->control<QListView>("List1")->model()->rowCount(), 0);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void secondInstanceEndsAtOnce() {
        const auto first = start();
        QVERIFY(first->loaded);
        const auto second = start();
        QVERIFY(!second->loaded);
        QCOMPARE(second->enginesCreated, 0);
        QVERIFY(!second->form->isVisible());
        QVERIFY(first->form->isVisible());
    }
};

} // namespace

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
