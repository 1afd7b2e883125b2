// The report routine's events: the window only hands the settings and its labels to the
// announcement.
#include "app/Form1.h"

#include "app/DesktopNotification.h"
#include "app/Module2.h"
#include "report/Announce.h"
#include "report/Inet.h"
#include "report/ReportRun.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScopeGuard>

void Form1::SpeakWeather() {
    announceReport();
}

void Form1::SpeakWeatherOnSchedule() {
    const QString failure = announceReport();
    if (failure.isEmpty())
        return;
    const auto showWindow = [this] { Module2::ShowFromTray(this); };
    if (!m_deps.notificationBus) {
        showWindow();
        return;
    }
    SendNotification(m_deps.notificationBus(), windowTitle(), failure, this, showWindow);
}

QString Form1::announceReport() {
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
        if (CityFound)
            CityFound->setText(text);
    };
    parts.showWeather = [this](const QString& text) {
        m_weatherText = text;
        if (txtWeather)
            txtWeather->setText(text);
    };
    parts.showWindow = [this] { Module2::ShowFromTray(this); };

    ReportAnnouncement announcement(std::move(parts));
    m_announcement = &announcement;
    const auto done = qScopeGuard([this] { m_announcement = nullptr; });
    return announcement.Run();
}

void Form1::SpeakItBtn_Click() {
    SpeakItBtn->setEnabled(false);
    SpeakWeather();
    SpeakItBtn->setEnabled(true);
}

void Form1::Inet1_StateChanged(int state) {
    // Inside an announcement this joins it: a fetch that failed is not run again, so the window
    // waits out one time-out, not three.
    if (state == Inet::icError)
        SpeakWeather();
}
