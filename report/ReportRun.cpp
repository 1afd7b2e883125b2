#include "report/ReportRun.h"

#include "core/Error.h"
#include "core/Text.h"
#include "report/GetAttrValue.h"

#include <QFile>
#include <QUrl>

namespace {

bool missesValue(const ReportSections& sections) {
    const QString trace = QStringLiteral("version");
    return sections.opening.contains(trace) || sections.forecast.contains(trace) ||
           sections.atmosphere.contains(trace) || sections.sun.contains(trace);
}

} // namespace

QString FeedRequestUrl(const QString& feedHost, const QString& zip, const QString& unitLetter) {
    return QStringLiteral("http://") + feedHost + QStringLiteral("/forecastrss?p=") +
           QString::fromLatin1(QUrl::toPercentEncoding(TrimSpaces(zip))) + QStringLiteral("&u=") +
           unitLetter;
}

ReportAnnouncement::ReportAnnouncement(ReportParts parts)
    : m_parts(std::move(parts)) {}

void ReportAnnouncement::Run() {
    for (;;) {
        ++m_runs;
        m_repeatRequested = false;
        const Outcome outcome = runOnce();
        if (outcome == Outcome::Finished && !m_repeatRequested)
            return;
        if (m_runs >= kMaxRuns) {
            // A failed fetch already shows the retrieval message.
            if (outcome == Outcome::MissingValue)
                m_parts.showWeather(ReportMessages::incomplete);
            return;
        }
    }
}

ReportAnnouncement::Outcome ReportAnnouncement::runOnce() {
    try {
        m_parts.showWeather(QString());
        const ReportInputs inputs = m_parts.readInputs();
        const QString document =
            m_parts.fetch(FeedRequestUrl(m_parts.feedHost, inputs.zip, inputs.unitLetter));

        QString city = GetAttrValue(document, QStringLiteral("city="));
        if (document.contains(QStringLiteral("not found")))
            city.clear();
        if (city.isEmpty()) {
            m_parts.showCity(ReportMessages::zipNotFound);
            m_parts.showWeather(ReportMessages::enterZip);
            m_parts.showWindow();
            return Outcome::Finished;
        }
        m_parts.showCity(city);

        const auto store = [](const std::function<Result<>()>& save, const QString& what) {
            if (const Result<> saved = save(); !saved)
                throw NimbrelError(ErrorCode::SettingsWriteFailed,
                                   QStringLiteral("There is a problem saving your %1: %2")
                                       .arg(what, saved.error()));
        };
        store(m_parts.storeZip, QStringLiteral("ZIP code"));
        store(m_parts.storeGreeting, QStringLiteral("greeting"));

        const ReportSections sections =
            ComposeReport(ExtractFeedValues(document), inputs.unitLetter, inputs.switches,
                          inputs.greeting, inputs.time);
        QString shown = sections.opening;
        m_parts.showWeather(shown);
        if (inputs.switches.forecast) {
            shown += sections.forecast;
            m_parts.showWeather(shown);
        }
        shown += sections.atmosphere;
        m_parts.showWeather(shown);
        shown += sections.sun;
        m_parts.showWeather(shown);

        if (missesValue(sections))
            return Outcome::MissingValue;
        m_parts.announce(sections);
    } catch (const NimbrelError& error) {
        handleError(error.code(), error.detail());
    } catch (const std::exception& error) {
        handleError(0, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        // No code, so no message; the run still ends normally.
    }
    return Outcome::Finished;
}

void ReportAnnouncement::handleError(int code, const QString& detail) {
    if (ErrorCode::isSpeechError(code))
        m_parts.showWeather(ReportMessages::speechProblem);
    else if (ErrorCode::isFeedError(code))
        m_parts.showWeather(ReportMessages::retrievalProblem);
    else if (code == ErrorCode::SettingsWriteFailed)
        m_parts.showWeather(detail);
}
