#include "report/ReportRun.h"

#include "core/Error.h"
#include "core/FeedContract.h"
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
    return QStringLiteral("http://") + feedHost + AsciiText(FeedContract::kPath) +
           QStringLiteral("?p=") + QString::fromLatin1(QUrl::toPercentEncoding(TrimSpaces(zip))) +
           QStringLiteral("&u=") + unitLetter;
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

        QString city = GetAttrValue(document, AsciiText(FeedContract::kKeys[FeedContract::City]));
        if (document.contains(AsciiText(FeedContract::kNotFound)))
            city.clear();
        if (city.isEmpty()) {
            m_parts.showCity(ReportMessages::zipNotFound);
            m_parts.showWeather(ReportMessages::enterZip);
            m_parts.showWindow();
            m_failure = ReportMessages::enterZip;
            return Outcome::Failed;
        }
        m_parts.showCity(city);

        const auto stored = [this](const std::function<Result<>()>& save, const QString& what) {
            const Result<> saved = save();
            if (!saved)
                handleError(ErrorCode::SettingsWriteFailed,
                            QStringLiteral("There is a problem saving your %1: %2")
                                .arg(what, saved.error()));
            return saved.ok();
        };
        if (!stored(m_parts.storeZip, QStringLiteral("ZIP code")) ||
            !stored(m_parts.storeGreeting, QStringLiteral("greeting")))
            return Outcome::Failed;

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
    if (ErrorCode::isModuleError(code))
        m_failure += QLatin1Char('\n') + detail;
    if (!m_failure.isEmpty())
        m_parts.showWeather(m_failure);
}
