#include "app/Form1.h"
#include "app/Module2.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RecordingSpeechEngine.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// Answers every message box that opens while it lives and keeps their texts.
class MessageBoxAnswerer final {
public:
    MessageBoxAnswerer() {
        m_timer.callOnTimeout([this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.append(box->text());
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start(5);
    }
    QStringList texts;

private:
    QTimer m_timer;
};

class SettingControlsTest final : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> m_dir;
    std::unique_ptr<Form1> m_form;
    RecordingSpeechEngine* m_engine = nullptr; // owned by the window

    QString file(const char* name) const {
        return m_form->dataDir() + u'/' + QString::fromLatin1(name);
    }

    std::unique_ptr<Form1> start(const QString& documentsDir) {
        Form1Deps deps;
        deps.documentsDir = documentsDir;
        deps.runtimeDir = m_dir->path();
        deps.createSpeechEngine = [this]() -> std::unique_ptr<SpeechEngine> {
            auto engine = std::make_unique<RecordingSpeechEngine>(4);
            m_engine = engine.get();
            return engine;
        };
        deps.quit = [] {};
        auto form = std::make_unique<Form1>(std::move(deps));
        if (!form->Form_Load())
            return nullptr;
        return form;
    }

    // Replaces the data folder with an ordinary file, so that no settings file can be written.
    void breakDataFolder() {
        QVERIFY(QDir(m_form->dataDir()).removeRecursively());
        QFile blocker(m_form->dataDir());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }

private Q_SLOTS:
    void init() {
        m_dir.emplace();
        m_form = start(m_dir->path());
        QVERIFY(m_form && m_form->isVisible());
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }
    void cleanup() {
        m_form.reset();
        Module2::RemoveTrayIcon();
    }

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
        const QString path = m_form->dataDir() + u'/' + fileName;
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
        m_form->Option2->click();
        QCOMPARE(readBytes(file("unitdat.txt")), QByteArray("C\r\n"));
        m_form->Option1->click();
        QCOMPARE(readBytes(file("unitdat.txt")), QByteArray("F\r\n"));
        m_form->Option1->setFocus();
        QTest::keyClick(m_form->Option1, Qt::Key_Down);
        QVERIFY(m_form->Option2->isChecked());
        QCOMPARE(readBytes(file("unitdat.txt")), QByteArray("C\r\n"));
    }

    // In code or with the arrow keys, every row reached switches the voice and is stored.
    void voiceChoice() {
        QCOMPARE(readBytes(file("voicedat.txt")), QByteArray("0\r\n"));
        m_form->VoiceCB->setCurrentIndex(3);
        QCOMPARE(m_engine->currentVoice, u"voice-3"_s);
        QCOMPARE(readBytes(file("voicedat.txt")), QByteArray("3\r\n"));
        const int before = m_engine->setVoiceCalls;
        m_form->VoiceCB->setFocus();
        QTest::keyClick(m_form->VoiceCB, Qt::Key_Up);
        QTest::keyClick(m_form->VoiceCB, Qt::Key_Up);
        QCOMPARE(m_engine->setVoiceCalls, before + 2);
        QCOMPARE(m_engine->currentVoice, u"voice-1"_s);
        QCOMPARE(readBytes(file("voicedat.txt")), QByteArray("1\r\n"));
        QVERIFY(m_engine->spoken.isEmpty());
    }

    void voiceRefused() {
        MessageBoxAnswerer answerer;
        m_engine->failSetVoiceWithCode = 403;
        m_form->VoiceCB->setCurrentIndex(2);
        QTRY_COMPARE(answerer.texts.size(), 1);
        QVERIFY(answerer.texts.first().contains(u"voice"_s));
        QCOMPARE(m_engine->currentVoice, u"voice-0"_s);
        QCOMPARE(m_form->VoiceCB->currentIndex(), 2);
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
        m_form->Location->setText(typed);
        m_form->Greeting->setText(u"Not stored here"_s);
        QTest::mouseClick(m_form->cmdSave, Qt::LeftButton);
        QTEST(readBytes(file("citydat.txt")), "stored");
        QVERIFY(!QFileInfo::exists(file("greetdat.txt")));
        QVERIFY(Module2::trayIcon());
        QCOMPARE(Module2::trayIcon()->toolTip(), m_form->windowTitle());
    }

    // A write that fails is reported with the file's name; the control keeps its new state.
    void writeFailure_data() {
        QTest::addColumn<QString>("control");
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
        QFETCH(QString, control);
        QFETCH(QString, fileName);
        breakDataFolder();
        MessageBoxAnswerer answerer;
        if (control == u"Check3")
            QTest::keyClick(m_form->Check3, Qt::Key_Space);
        else if (control == u"Option2")
            m_form->Option2->setChecked(true);
        else if (control == u"VoiceCB")
            m_form->VoiceCB->setCurrentIndex(1);
        else
            m_form->cmdSave->click();
        QTRY_COMPARE(answerer.texts.size(), 1);
        QVERIFY2(answerer.texts.first().contains(fileName), qPrintable(answerer.texts.first()));
        QVERIFY(!m_form->Check3->isChecked() || control != u"Check3");
        QVERIFY(m_form->Option2->isChecked() || control != u"Option2");
        QCOMPARE(m_engine->currentVoice, control == u"VoiceCB" ? u"voice-1"_s : u"voice-0"_s);
        QCOMPARE(Module2::trayIcon() == nullptr, true);
        QVERIFY(m_form->isVisible());
    }

    void loadStepIsSilent() {
        // A documents folder that runs through a file: nothing can be written while loading.
        QFile blocker(m_dir->path() + u"/blocker"_s);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        m_form.reset(); // one instance at a time
        MessageBoxAnswerer answerer;
        const auto form = start(blocker.fileName());
        QVERIFY(form);
        QTest::qWait(50);
        QCOMPARE(answerer.texts, QStringList());
        QCOMPARE(m_engine->currentVoice, u"voice-0"_s);
        QTest::keyClick(form->Check1, Qt::Key_Space);
        QTRY_COMPARE(answerer.texts.size(), 1);
    }
};

} // namespace

QTEST_MAIN(SettingControlsTest)
#include "tst_settingcontrols.moc"
