// The announcement: the core hands the settings to the report routine and tells the window what
// to show.
#include "appcore/AppCore.h"

#include "report/Announce.h"
#include "report/ReportRun.h"

#include <QLocale>
#include <QScopeGuard>

void AppCore::SpeakWeather() {
    announceReport();
}

QString AppCore::announceReport() {
    // A tick that falls inside a fetch joins the announcement already under way.
    if (m_announcement)
        return {};

    ReportParts parts;
    parts.feedHost = m_deps.feedHost;
    parts.readInputs = [this] {
        return ReportInputs{
            .zip = m_settings.zip(),
            .greeting = m_settings.greeting(),
            .unitLetter = m_settings.metric() ? QStringLiteral("c") : QStringLiteral("f"),
            .switches = sectionSwitches(),
        };
    };
    parts.readTime = [this] {
        const QLocale locale = QLocale::system();
        return ReportTime{m_deps.clock->currentDateTime().time(), locale.amText(), locale.pmText()};
    };
    parts.fetch = [this](const QString& url) { return Inet1->OpenURL(url); };
    parts.storeZip = [this] { return m_settings.SaveZip(); };
    parts.storeGreeting = [this] { return m_settings.SaveGreeting(); };
    parts.announce = [this](const ReportSections& sections) {
        ::SpeechEngine* engine = SpeechEngine.get();
        const QString chimePath = m_deps.chimePath;
        Announce(
            engine,
            [engine, &chimePath] {
                if (engine)
                    PlayChimeAndWait(*engine, chimePath);
            },
            sections);
    };
    parts.showCity = [this](const QString& text) {
        m_cityText = text;
        Q_EMIT cityFound(text);
    };
    parts.showWeather = [this](const QString& text) {
        m_weatherText = text;
        Q_EMIT reportText(text);
    };
    parts.showWindow = [this] { Q_EMIT showWindow(); };

    ReportAnnouncement announcement(std::move(parts));
    m_announcement = &announcement;
    const auto done = qScopeGuard([this] { m_announcement = nullptr; });
    return announcement.Run();
}

void AppCore::Inet1_StateChanged(int state) {
    // Inside an announcement this joins it: a fetch that failed is not run again, so the window
    // waits out one time-out, not three.
    if (state == Inet::icError)
        SpeakWeather();
}
