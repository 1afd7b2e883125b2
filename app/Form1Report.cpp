// The report routine's events: the window only hands its controls to the announcement.
#include "app/Form1.h"

#include "app/Module2.h"
#include "report/Announce.h"
#include "report/Inet.h"
#include "report/ReportRun.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>

namespace {

bool isChecked(const QCheckBox* box) {
    return box->checkState() == Qt::Checked; // a greyed box counts as unchecked
}

} // namespace

void Form1::SpeakWeather() {
    // A tick that falls inside a fetch joins the announcement already under way.
    if (m_announcement)
        return;

    ReportParts parts;
    parts.feedHost = m_deps.feedHost;
    parts.readInputs = [this] {
        const QLocale locale = QLocale::system();
        return ReportInputs{
            .zip = Location->text(),
            .greeting = Greeting->text(),
            .unitLetter = Option1->isChecked() ? QStringLiteral("f") : QStringLiteral("c"),
            .switches = {.wind = isChecked(Check1),
                         .forecast = isChecked(Check2),
                         .city = isChecked(Check3),
                         .sun = isChecked(Check4),
                         .atmosphere = isChecked(Check5)},
            .time = {m_deps.clock->currentDateTime().time(), locale.amText(), locale.pmText()},
        };
    };
    parts.fetch = [this](const QString& url) { return Inet1->OpenURL(url); };
    parts.writeSetting = [this](Settings::File file, const QString& value) {
        return Settings::Write(DataDir, file, value);
    };
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
    parts.showCity = [this](const QString& text) { CityFound->setText(text); };
    parts.showWeather = [this](const QString& text) { txtWeather->setText(text); };
    parts.showWindow = [this] { Module2::ShowFromTray(this); };

    ReportAnnouncement announcement(std::move(parts));
    m_announcement = &announcement;
    const auto done = qScopeGuard([this] { m_announcement = nullptr; });
    announcement.Run();
}

void Form1::SpeakItBtn_Click() {
    SpeakItBtn->setEnabled(false);
    SpeakWeather();
    SpeakItBtn->setEnabled(true);
}

void Form1::Inet1_StateChanged(int state) {
    if (state != Inet::icError)
        return;
    // The error state of a fetch inside an announcement counts towards that announcement's runs.
    if (m_announcement)
        m_announcement->RequestRepeat();
    else
        SpeakWeather();
}
