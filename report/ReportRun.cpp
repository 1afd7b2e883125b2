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

QString ReportAnnouncement::Run() {
    for (;;) {
        ++m_runs;
        m_failure.clear();
        const Outcome outcome = runOnce();
        if (outcome == Outcome::Announced)
            return {};
        if (outcome == Outcome::Failed)
            return m_failure;
        if (m_runs >= kMaxRuns) {
            m_parts.showWeather(ReportMessages::incomplete);
            return ReportMessages::incomplete;
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
            m_failure = ReportMessages::enterZip;
            return Outcome::Failed;
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
                          inputs.greeting, m_parts.readTime());
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
        return Outcome::Announced;
    } catch (const NimbrelError& error) {
        handleError(error.code(), error.detail());
    } catch (const std::exception& error) {
        handleError(0, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        // No code, so no message; the run still ends normally.
    }
    return Outcome::Failed;
}

void ReportAnnouncement::handleError(int code, const QString& detail) {
    if (ErrorCode::isSpeechError(code))
        m_failure = ReportMessages::speechProblem;
    else if (ErrorCode::isFeedError(code))
        m_failure = ReportMessages::retrievalProblem;
    else if (code == ErrorCode::SettingsWriteFailed)
        m_failure = detail;
    if (!m_failure.isEmpty())
        m_parts.showWeather(m_failure);
}
