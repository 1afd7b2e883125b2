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
    ReportTime time;
};

// Everything a run touches outside itself, so it can run without a window.
struct ReportParts {
    QString feedHost; // host[:port]
    std::function<ReportInputs()> readInputs;
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
// times. A run that finds a value missing from the feed, or during which the fetch reported its
// error state (RequestRepeat), is followed by another; the repeats are a loop, not nested calls,
// so the stack stays flat whatever the feed does.
class ReportAnnouncement final {
public:
    static constexpr int kMaxRuns = 3;

    explicit ReportAnnouncement(ReportParts parts);

    // Never throws: every failure ends as a caption (or none, for codes that have no message).
    void Run();
    // Asks for one more run once the current one has ended (the fetch's error state).
    void RequestRepeat() { m_repeatRequested = true; }

private:
    enum class Outcome { Finished, MissingValue };

    Outcome runOnce();
    void handleError(int code, const QString& detail);

    ReportParts m_parts;
    int m_runs = 0;
    bool m_repeatRequested = false;
};
