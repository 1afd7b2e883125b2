#pragma once

#include "core/Result.h"
#include "report/ReportText.h"

#include <QString>
#include <functional>

// What one run of the report routine reads from the settings when it starts.
struct ReportInputs {
    QString zip;        // the ZIP code as typed
    QString greeting;   // the greeting as typed
    QString unitLetter; // "f" or "c"
    SectionSwitches switches;
};

// Everything a run touches outside itself, so it can run without a window.
struct ReportParts {
    QString feedHost; // host[:port]
    std::function<ReportInputs()> readInputs;
    // The time of day the report tells, read when its text is composed: after a slow fetch, not
    // when the run started.
    std::function<ReportTime()> readTime;
    // Returns the whole feed document; throws NimbrelError with a feed code.
    std::function<QString(const QString& url)> fetch;
    // Store the ZIP code and the greeting once the feed has found the city; a failure gives the
    // system's reason.
    std::function<Result<>()> storeZip;
    std::function<Result<>()> storeGreeting;
    // The chime and the speech; throws NimbrelError with a speech code.
    std::function<void(const ReportSections& sections)> announce;
    std::function<void(const QString& text)> showCity;
    std::function<void(const QString& text)> showWeather;
    std::function<void()> showWindow; // brings the window back from the tray
};

namespace ReportMessages {
inline const QString zipNotFound = QStringLiteral("ZIP Not Found");
inline const QString enterZip = QStringLiteral("Please enter your ZIP code.");
inline const QString speechProblem = QStringLiteral(
    "There is a problem using the speech engine that you've selected. Please choose a different "
    "speaker or reinstall the speech engine that you are having trouble with.");
inline const QString retrievalProblem =
    QStringLiteral("There is a problem retrieving the weather data. Please make sure your "
                   "Internet connection is working properly.");
inline const QString incomplete =
    QStringLiteral("The weather data is incomplete. Please try again later.");
} // namespace ReportMessages

// "http://" host "/forecastrss?p=" ZIP "&u=" unit letter. The trimmed ZIP code is
// percent-encoded, so nothing typed into it can add to or cut the query.
QString FeedRequestUrl(const QString& feedHost, const QString& zip, const QString& unitLetter);

// One announcement: the report routine run until it announces, fails, or has run kMaxRuns
// times. Only a run that finds a value missing from the feed is followed by another; a fetch that
// failed is not tried again, so the window waits out at most one time-out. The repeats are a
// loop, not nested calls, so the stack stays flat whatever the feed does.
class ReportAnnouncement final {
public:
    static constexpr int kMaxRuns = 3;

    explicit ReportAnnouncement(ReportParts parts);

    // Never throws: every failure ends as a caption (or none, for codes that have no message).
    // Returns the caption of a failure, the "ZIP Not Found" one included; empty when the report
    // was announced or the failure has no message.
    QString Run();

private:
    enum class Outcome { Announced, Failed, MissingValue };

    Outcome runOnce();
    void handleError(int code, const QString& detail);

    ReportParts m_parts;
    int m_runs = 0;
    QString m_failure; // the message of the run that failed
};
