#include "appcore/AppCore.h"

#include "core/Error.h"
#include "report/ReportText.h"
#include "schedule/ScheduleEntries.h"
#include "schedule/TimeInput.h"

#include <QFile>
#include <QLockFile>

using Settings::File;

namespace {

// Which report section each section file switches.
struct SectionSwitch {
    File file;
    bool SectionSwitches::*reportSwitch;
};
constexpr SectionSwitch kSectionSwitches[] = {
    {File::WindSection, &SectionSwitches::wind},
    {File::CitySection, &SectionSwitches::city},
    {File::ForecastSection, &SectionSwitches::forecast},
    {File::SunSection, &SectionSwitches::sun},
    {File::AtmosphereSection, &SectionSwitches::atmosphere},
};

// Makes the voice at position the engine's voice; the engine keeps its voice when this fails.
Result<> chooseVoice(SpeechEngine* engine, int position) {
    const auto refused = [](const QString& why) {
        return Failure{QStringLiteral("The voice could not be changed; the previous voice "
                                      "stays.\n\n%1")
                           .arg(why)};
    };
    if (!engine)
        return refused(QStringLiteral("No speech engine is available."));
    try {
        engine->SetVoice(Item(engine->GetVoices(), position));
    } catch (const NimbrelError& error) {
        return refused(error.detail());
    } catch (const std::exception& error) {
        return refused(QString::fromLocal8Bit(error.what()));
    }
    return {};
}

} // namespace

AppCore::AppCore(AppCoreDeps deps, QObject* parent)
    : QObject(parent)
    , m_deps(std::move(deps))
    , DataDir(m_deps.documentsDir + QStringLiteral("/Nimbrel"))
    , m_settings(DataDir) {
    setObjectName(QStringLiteral("AppCore"));
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(65535);
    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer2.setTimerType(Qt::PreciseTimer);
    Timer2.setSingleShot(true); // re-armed for the next minute's start after every tick
    Inet1 = new Inet(m_deps.fetch, m_deps.fetchTimeout, this);
    Inet1->setObjectName(QStringLiteral("Inet1"));
    connect(&Timer1, &QTimer::timeout, this, &AppCore::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, this, &AppCore::Timer2_Timer);
    connect(Inet1, &Inet::StateChanged, this, &AppCore::Inet1_StateChanged);
    // Both timers run from the creation, window shown or hidden; the minute of the creation is
    // not examined.
    Timer1.start();
    m_scheduleClock.startAt(m_deps.clock->currentDateTime());
    armTimer2();
}

AppCore::~AppCore() = default;

void AppCore::RefreshTimeList() {
    m_schedule.setRows(RefreshEntries(DataDir));
}

void AppCore::AddTime(const QString& hour, const QString& minute, const QString& period) {
    const Result<ScheduleTime> input = ParseTimeInput(hour, minute, period);
    if (!input) {
        told(Failure{input.error()});
        return;
    }
    told(AddEntry(DataDir, input.value()));
    // Even a half-finished write may have left the entry file, which the list must show.
    RefreshTimeList();
}

void AppCore::RemoveTicked() {
    const QStringList ticked = m_schedule.tickedRows();
    if (ticked.isEmpty()) {
        Q_EMIT noticeToShow(Notice::Critical,
                            QStringLiteral("Please select the time(s) that you want to remove"));
        return;
    }
    told(RemoveEntries(DataDir, ticked));
    RefreshTimeList();
}

void AppCore::Timer1_Timer() {
    // Timer2 runs from the creation and re-arms itself; only a stopped one is armed.
    if (!Timer2.isActive())
        armTimer2();
    Timer1.stop();
}

void AppCore::Timer2_Timer() {
    RunTick(DataDir, m_deps.clock->currentDateTime(), m_schedule.rows(), m_scheduleClock, [this] {
        if (const QString failure = announceReport(); !failure.isEmpty())
            Q_EMIT failedToReport(failure);
    });
    // From the clock after every tick, however long its announcement took, so that the next tick
    // again falls at the start of a minute.
    armTimer2();
}

void AppCore::armTimer2() {
    Timer2.start(MsecsToNextMinute(m_deps.clock->currentDateTime()));
}

SectionSwitches AppCore::sectionSwitches() const {
    SectionSwitches switches;
    for (const SectionSwitch& row : kSectionSwitches)
        switches.*row.reportSwitch = m_settings.section(row.file);
    return switches;
}

void AppCore::SetSection(File file, bool on) {
    settingStored(file, m_settings.SetSection(file, on));
}

void AppCore::SetMetric(bool metric) {
    settingStored(File::Units, m_settings.SetMetric(metric));
}

void AppCore::SelectVoice(int position) {
    m_voicePosition = position;
    if (told(chooseVoice(SpeechEngine.get(), position)))
        settingStored(File::Voice, m_settings.SetVoicePosition(position));
}

bool AppCore::SaveZip() {
    return settingStored(File::Zip, m_settings.SaveZip());
}

bool AppCore::settingStored(File file, const Result<>& result) {
    if (result)
        return true;
    return told(Failure{QStringLiteral("The setting could not be saved to \"%1\".\n\n%2")
                            .arg(Settings::PathOf(DataDir, file), result.error())});
}

bool AppCore::told(const Result<>& result) {
    if (!result && !m_loading)
        Q_EMIT noticeToShow(Notice::Warning, result.error());
    return result.ok();
}
