#include "app/MessageBox.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The texts of the message boxes answered since the test began.
QStringList answeredTexts() {
    QStringList texts;
    for (const MessageBox::Box& box : MessageBox::answered())
        texts.append(box.text);
    return texts;
}

class SettingControlsTest final : public QObject {
    Q_OBJECT

    std::unique_ptr<TestWindow> m_rig;
    Form1* m_form = nullptr;

    QString file(const char* name) const {
        return m_rig->dataDir() + u'/' + QString::fromLatin1(name);
    }
    template <typename T> T* control(const char* name) const { return m_rig->control<T>(name); }
    bool trayIconAdded() const { return m_form->findChild<QSystemTrayIcon*>() != nullptr; }

    // Replaces the data folder with an ordinary file, so that no settings file can be written.
    void breakDataFolder() {
        QVERIFY(QDir(m_rig->dataDir()).removeRecursively());
        QFile blocker(m_rig->dataDir());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }

private Q_SLOTS:
    void init() {
        TestWindowOptions options;
        options.voices = 4;
        m_rig = std::make_unique<TestWindow>(options);
        m_form = m_rig->form.get();
        QVERIFY(m_rig->loaded && m_form->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(m_form));
    }
    void cleanup() { m_rig.reset(); }

    // Each box, changed by mouse, by the space bar and in code, writes what it then shows.
    void sectionBoxes_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("how");
        const std::pair<const char*, const char*> boxes[] = {{"Check1", "winddat.txt"},
                                                             {"Check2", "forecdat.txt"},
                                                             {"Check3", "locatdat.txt"},
                                                             {"Check4", "sundat.txt"},
                                                             {"Check5", "atmodat.txt"}};
        for (const auto& [box, name] : boxes) {
            for (const char* how : {"mouse", "space", "code"})
                QTest::addRow("%s %s", box, how) << box << name << how;
        }
    }
    void sectionBoxes() {
        QFETCH(QString, box);
        QFETCH(QString, fileName);
        QFETCH(QString, how);
        auto* check = m_form->findChild<QCheckBox*>(box);
        QVERIFY(check && check->isChecked());
        const QString path = m_rig->dataDir() + u'/' + fileName;
        for (const QByteArray& expected : {QByteArray("N\r\n"), QByteArray("Y\r\n")}) {
            if (how == u"mouse")
                QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, check->height() / 2));
            else if (how == u"space")
                QTest::keyClick(check, Qt::Key_Space);
            else
                check->setChecked(!check->isChecked());
            QCOMPARE(readBytes(path), expected);
        }
        check->setCheckState(Qt::PartiallyChecked);
        QCOMPARE(readBytes(path), QByteArray("N\r\n"));
    }

    void units() {
        control<QRadioButton>("Option2")->click();
        QCOMPARE(readBytes(file("unitdat.txt")), QByteArray("C\r\n"));
        control<QRadioButton>("Option1")->click();
        QCOMPARE(readBytes(file("unitdat.txt")), QByteArray("F\r\n"));
        control<QRadioButton>("Option1")->setFocus();
        QTest::keyClick(control<QRadioButton>("Option1"), Qt::Key_Down);
        QVERIFY(control<QRadioButton>("Option2")->isChecked());
        QCOMPARE(readBytes(file("unitdat.txt")), QByteArray("C\r\n"));
    }

    // In code or with the arrow keys, every row reached switches the voice and is stored.
    void voiceChoice() {
        QCOMPARE(readBytes(file("voicedat.txt")), QByteArray("0\r\n"));
        control<QComboBox>("VoiceCB")->setCurrentIndex(3);
        QCOMPARE(m_rig->engine->currentVoice, u"voice-3"_s);
        QCOMPARE(readBytes(file("voicedat.txt")), QByteArray("3\r\n"));
        const int before = m_rig->engine->setVoiceCalls;
        control<QComboBox>("VoiceCB")->setFocus();
        QTest::keyClick(control<QComboBox>("VoiceCB"), Qt::Key_Up);
        QTest::keyClick(control<QComboBox>("VoiceCB"), Qt::Key_Up);
        QCOMPARE(m_rig->engine->setVoiceCalls, before + 2);
        QCOMPARE(m_rig->engine->currentVoice, u"voice-1"_s);
        QCOMPARE(readBytes(file("voicedat.txt")), QByteArray("1\r\n"));
        QVERIFY(m_rig->engine->spoken.isEmpty());
    }

    void voiceRefused() {
        MessageBox::setNextAnswer(QMessageBox::Ok);
        m_rig->engine->failSetVoiceWithCode = 403;
        control<QComboBox>("VoiceCB")->setCurrentIndex(2);
        QCOMPARE(answeredTexts().size(), 1);
        QVERIFY(answeredTexts().constFirst().contains(u"voice"_s));
        QCOMPARE(m_rig->engine->currentVoice, u"voice-0"_s);
        QCOMPARE(control<QComboBox>("VoiceCB")->currentIndex(), 2);
        QCOMPARE(readBytes(file("voicedat.txt")), QByteArray("0\r\n"));
    }

    void okay_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("blanks around") << "  90210  " << QByteArray("90210\r\n");
        QTest::newRow("empty") << "" << QByteArray("\r\n");
        QTest::newRow("only spaces trimmed") << " 90 210\t " << QByteArray("90 210\t\r\n");
    }
    void okay() {
        QFETCH(QString, typed);
        control<QLineEdit>("Location")->setText(typed);
        control<QLineEdit>("Greeting")->setText(u"Not stored here"_s);
        QTest::mouseClick(control<QPushButton>("cmdSave"), Qt::LeftButton);
        QTEST(readBytes(file("citydat.txt")), "stored");
        QVERIFY(!QFileInfo::exists(file("greetdat.txt")));
        QVERIFY(trayIconAdded());
        QCOMPARE(m_form->findChild<QSystemTrayIcon*>()->toolTip(), m_form->windowTitle());
    }

    // A write that fails is reported with the file's name; the control keeps its new state.
    void writeFailure_data() {
        QTest::addColumn<QString>("changed");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("Check3") << "Check3"
                                << "locatdat.txt";
        QTest::newRow("Option2") << "Option2"
                                 << "unitdat.txt";
        QTest::newRow("VoiceCB") << "VoiceCB"
                                 << "voicedat.txt";
        QTest::newRow("cmdSave") << "cmdSave"
                                 << "citydat.txt";
    }
    void writeFailure() {
        QFETCH(QString, changed);
        QFETCH(QString, fileName);
        breakDataFolder();
        MessageBox::setNextAnswer(QMessageBox::Ok);
        if (changed == u"Check3")
            QTest::keyClick(control<QCheckBox>("Check3"), Qt::Key_Space);
        else if (changed == u"Option2")
            control<QRadioButton>("Option2")->setChecked(true);
        else if (changed == u"VoiceCB")
            control<QComboBox>("VoiceCB")->setCurrentIndex(1);
        else
            control<QPushButton>("cmdSave")->click();
        QCOMPARE(answeredTexts().size(), 1);
        QVERIFY2(answeredTexts().constFirst().contains(fileName), qPrintable(answeredTexts()[0]));
        QVERIFY(!control<QCheckBox>("Check3")->isChecked() || changed != u"Check3");
        QVERIFY(control<QRadioButton>("Option2")->isChecked() || changed != u"Option2");
        QCOMPARE(m_rig->engine->currentVoice, changed == u"VoiceCB" ? u"voice-1"_s : u"voice-0"_s);
        QVERIFY(!trayIconAdded());
        QVERIFY(m_form->isVisible());
    }

    void loadStepIsSilent() {
        // A documents folder that runs through a file: nothing can be written while loading.
        QFile blocker(m_rig->documents.filePath(u"blocker"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TestWindowOptions options;
        options.documentsDir = blocker.fileName();
        // A box that opened would take this answer and show in answered().
        MessageBox::setNextAnswer(QMessageBox::Ok);
        TestWindow silent(options);
        QVERIFY(silent.loaded);
        QCOMPARE(answeredTexts(), QStringList());
        QCOMPARE(silent.engine->currentVoice, u"voice-0"_s);
        QTest::keyClick(silent.control<QCheckBox>("Check1"), Qt::Key_Space);
        QCOMPARE(answeredTexts().size(), 1);
    }
};

} // namespace

QTEST_MAIN(SettingControlsTest)
#include "tst_settingcontrols.moc"
