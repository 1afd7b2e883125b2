#pragma once

#include "appcore/InstanceLock.h"
#include "core/Clock.h"
#include "core/Result.h"
#include "report/Inet.h"
#include "report/SpeechEngine.h"
#include "schedule/ScheduleClock.h"
#include "schedule/ScheduleModel.h"
#include "settings/SettingsStore.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>

class ReportAnnouncement;
struct SectionSwitches;

// What the application core takes from its creator. main passes the real parts; tests pass
// temporary ones.
struct AppCoreDeps {
    QString documentsDir; // DataDir is this folder followed by "/Nimbrel"
    QString runtimeDir;   // holds the single-instance lock
    QString feedHost;     // host[:port] of the weather feed service
    QString chimePath;    // the chime played before each announcement
    SpeechEngineFactory createSpeechEngine;
    FeedFetch fetch; // the feed's HTTP transfer
    std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>();
    std::chrono::milliseconds fetchTimeout{60000};
};

// The program's state and logic below the window: the settings store, the announcement list, the
// clock with both timers, the feed fetch, the speech engine, the instance lock, the load step and
// the announcement. It needs no window; the window binds its controls to it and shows what the
// signals tell.
class AppCore final : public QObject {
    Q_OBJECT

public:
    enum class Notice { Warning, Critical };

    explicit AppCore(AppCoreDeps deps, QObject* parent = nullptr);
    ~AppCore() override;

    // The load step: runs once. Returns false when another instance is running, in which case the
    // program must end at once.
    bool Form_Load();

    void SpeakWeather();
    void RefreshTimeList();

    // What the user changes; each change that stores a file tells a failure through noticeToShow.
    void setZip(const QString& typed) { m_settings.setZip(typed); }
    void setGreeting(const QString& typed) { m_settings.setGreeting(typed); }
    void SetSection(Settings::File file, bool on);
    void SetMetric(bool metric);
    void SelectVoice(int position);
    // Stores the ZIP code; returns whether it was stored.
    bool SaveZip();
    void AddTime(const QString& hour, const QString& minute, const QString& period);
    void RemoveTicked();

    const QString& dataDir() const { return DataDir; }
    const Settings::Store& settings() const { return m_settings; }
    ScheduleModel& schedule() { return m_schedule; }
    ::SpeechEngine* speechEngine() const { return SpeechEngine.get(); }
    int voicePosition() const { return m_voicePosition; }
    const QString& cityText() const { return m_cityText; }
    const QString& weatherText() const { return m_weatherText; }

Q_SIGNALS:
    void cityFound(const QString& text);
    void reportText(const QString& text);
    // The window is to come back from the tray.
    void showWindow();
    // An announcement of the clock failed; nobody watches the window then.
    void failedToReport(const QString& message);
    void noticeToShow(AppCore::Notice kind, const QString& text);

private:
    void Timer1_Timer();
    void Timer2_Timer();
    void Inet1_StateChanged(int state);
    // Arms the minute tick for the start of the next minute of the wall clock.
    void armTimer2();
    // The report routine; returns the message of a failure, empty when announced.
    QString announceReport();
    SectionSwitches sectionSwitches() const;
    // Tells the user when a change could not be stored, except while the load step applies the
    // stored settings. Returns whether it was stored.
    bool settingStored(Settings::File file, const Result<>& result);
    bool told(const Result<>& result);

    AppCoreDeps m_deps;
    QString DataDir;
    Settings::Store m_settings;
    ScheduleModel m_schedule;
    QTimer Timer1{this};
    QTimer Timer2{this};
    Inet* Inet1 = nullptr;
    std::unique_ptr<::SpeechEngine> SpeechEngine;
    InstanceLock m_instanceLock;
    ReportAnnouncement* m_announcement = nullptr; // the announcement under way, if any
    bool m_loading = false;                       // true while the load step applies settings
    int m_voicePosition = -1;
    QString m_cityText;
    QString m_weatherText;
    // What the minute tick keeps between ticks.
    ScheduleClockState m_scheduleClock;
};
