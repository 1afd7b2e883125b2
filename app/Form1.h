#pragma once

#include "app/Form1Deps.h"
#include "report/SpeechEngine.h"
#include "schedule/ScheduleClock.h"
#include "schedule/ScheduleModel.h"
#include "settings/SettingsStore.h"

#include <QTimer>
#include <QWidget>
#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QRadioButton;
class QLockFile;
class Inet;
class ReportAnnouncement;
struct SectionSwitches;

// The program's one window. It creates the controls and forwards each event to the code of its
// subsystem: the settings store, the schedule model, the report. Tests reach the controls by
// their design names (findChild).
class Form1 final : public QWidget {
    Q_OBJECT

public:
    explicit Form1(Form1Deps deps, QWidget* parent = nullptr);
    ~Form1() override;

    // The load step: runs once before the window is first shown. Returns false when another
    // instance is running, in which case the program must end at once.
    bool Form_Load();

    // Routines of the window.
    void SpeakWeather();
    void RefreshTimeList();

    const QString& dataDir() const { return DataDir; }
    ::SpeechEngine* speechEngine() const { return SpeechEngine.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    // The controls are built when the window is first shown: a start in the tray needs none.
    void setVisible(bool visible) override;
    void moveEvent(QMoveEvent* event) override;

private:
    // Which check box switches which report section, in the order the load step reads them: the
    // load step sets each box from the store, its handler stores it, and the report reads it.
    struct SectionBox {
        QCheckBox* Form1::*box;
        Settings::File file;
        bool SectionSwitches::*reportSwitch;
    };
    static const std::array<SectionBox, 5> kSectionBoxes;

    void designWindow();
    void createControls();
    // Builds the controls and shows in them what the load step and the report left.
    void buildControls();
    void centreOnScreen();
    void connectEvents();
    // The load step's own part of the voice list's handler.
    void selectVoice(int position);
    SectionSwitches sectionSwitches() const;

    // Event handlers, named after their control and event.
    void SectionBox_Click(Settings::File file, int state);
    void Option1_Click();
    void Option2_Click();
    void VoiceCB_Click();
    void cmdSave_Click();
    void SpeakItBtn_Click();
    void ExitBtn_Click();
    void Command1_Click();
    void Command2_Click();
    void Timer1_Timer();
    void Timer2_Timer();
    void Inet1_StateChanged(int state);
    void Form_QueryUnload();

    // The report routine; returns the message of a failure, empty when announced.
    QString announceReport();
    // An announcement of the clock: nobody watches the window then, so a failure is told by the
    // desktop's notification service, or by showing the window where none answers.
    void SpeakWeatherOnSchedule();
    // Arms the minute tick for the start of the next minute of the wall clock.
    void armTimer2();

    // Setting controls: tells the user when a change could not be stored, except while the load
    // step applies the stored settings. Returns whether it was stored.
    bool settingStored(Settings::File file, const Result<>& result);
    bool told(const Result<>& result);

    // Controls, named as in the window design.
    QLabel* Label1 = nullptr;
    QLineEdit* Location = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Greeting = nullptr;
    QComboBox* VoiceCB = nullptr;
    QListView* List1 = nullptr;
    QRadioButton* Option1 = nullptr;
    QRadioButton* Option2 = nullptr;
    QCheckBox* Check3 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check5 = nullptr;
    QCheckBox* Check4 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* Combo2 = nullptr;
    QComboBox* Combo3 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QLabel* CityFound = nullptr;
    QLabel* txtWeather = nullptr;
    QPushButton* SpeakItBtn = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* ExitBtn = nullptr;
    QTimer Timer1{this};
    QTimer Timer2{this};
    Inet* Inet1 = nullptr;

    Form1Deps m_deps;
    QString DataDir;
    Settings::Store m_settings;
    ScheduleModel m_schedule;
    std::unique_ptr<::SpeechEngine> SpeechEngine;
    ReportAnnouncement* m_announcement = nullptr; // the announcement under way, if any
    bool m_loading = false; // true while the load step applies stored settings
    // What the controls show once built.
    int m_voicePosition = -1;
    QString m_cityText;
    QString m_weatherText;
    // Centred when first shown, and again once the window manager's frame is known.
    enum class Centring {
        BeforeFirstShow,
        AwaitingFrame,
        Done
    } m_centring = Centring::BeforeFirstShow;
    std::unique_ptr<QLockFile> m_instanceLock;

    // Announcement schedule: what the minute tick keeps between ticks.
    ScheduleClockState m_scheduleClock;
};
