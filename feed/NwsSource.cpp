#include "feed/NwsSource.h"

#include <QDateTime>
#include <QTimeZone>

#include <algorithm>
#include <cstdio>

namespace feed {
namespace {

constexpr auto kPlaceKeptFor = std::chrono::hours(24);
constexpr std::size_t kStationsKept = 3;

std::string Failed(const Upstream::Answer& answer) {
    if (answer.status == 0)
        return "no answer";
    const std::string problem = NwsProblem(answer.body);
    return "status " + std::to_string(answer.status) + (problem.empty() ? "" : ", " + problem);
}

// The observations since local midnight or four hours ago, whichever is earlier, in UTC.
std::string HistoryStart(const std::string& timeZone, std::int64_t now) {
    const QDateTime local =
        QDateTime::fromSecsSinceEpoch(now, QTimeZone(QByteArray::fromStdString(timeZone)));
    const std::int64_t midnight =
        QDateTime(local.date(), QTime(0, 0), local.timeZone()).toSecsSinceEpoch();
    const std::int64_t start = std::min(midnight, now - 4 * 3600);
    return QDateTime::fromSecsSinceEpoch(start, QTimeZone::utc())
        .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"))
        .toStdString();
}

} // namespace

struct NwsSource::Report {
    std::uint32_t zip = 0;
    double latitude = 0;
    double longitude = 0;
    Done done;
    Known known;
    std::int64_t now = 0;
    std::mutex mutex; // guards what the parallel calls fill in
    int pending = 0;
    std::string error;
    NwsAnswers answers;
    bool hourlyAsked = false;
    bool nextAsked = false;
};

NwsSource::NwsSource(Settings settings)
    : m_settings(std::move(settings))
    , m_upstream(m_settings.baseAddress, m_settings.timeout,
                 {m_settings.userAgent, "application/geo+json", true})
    , m_limiter(m_settings.limits) {}

void NwsSource::get(const std::string& path, Got got, bool again) {
    if (!m_limiter.tryAcquire(RateLimiter::Clock::now()))
        return got(std::nullopt,
                   "over this service's call budget for the National Weather Service");
    m_upstream.get(path, [this, path, got = std::move(got), again](Upstream::Answer answer) {
        if (answer.status == 200)
            return got(std::move(answer.body), {});
        // Its 500s are mostly momentary; a 503 (an expired forecast grid) is not.
        if (answer.status == 500 && !again)
            return get(path, got, true);
        got(std::nullopt, path.substr(0, path.find('?')) + ": " + Failed(answer));
    });
}

void NwsSource::fetch(const Place& place, Done done) {
    auto report = std::make_shared<Report>();
    report->zip = place.zip;
    report->latitude = place.latitude;
    report->longitude = place.longitude;
    report->done = std::move(done);
    {
        const std::lock_guard lock(m_mutex);
        const auto it = m_known.find(place.zip);
        if (it != m_known.end() && Clock::now() - it->second.at < kPlaceKeptFor) {
            report->known = it->second;
            return withPlace(report);
        }
    }
    char path[64];
    std::snprintf(path, sizeof path, "/points/%.4f,%.4f", place.latitude, place.longitude);
    get(path, [this, report](std::optional<std::string> body, const std::string& error) {
        if (!body) {
            // A place outside the grid stays outside it: not asked again for a day.
            if (error.find("InvalidPoint") != std::string::npos)
                remember(report->zip, {{}, {}, error, Clock::now()});
            return report->done(std::nullopt, error);
        }
        const NwsParsed<NwsPoint> point = ParseNwsPoint(*body);
        if (!point.value)
            return report->done(std::nullopt, "unusable point: " + point.error);
        report->known.point = *point.value;
        get(point.value->stations,
            [this, report](std::optional<std::string> list, const std::string& listError) {
                if (!list)
                    return report->done(std::nullopt, listError);
                NwsParsed<std::vector<std::string>> stations = ParseNwsStations(*list);
                if (!stations.value)
                    return report->done(std::nullopt, "unusable station list: " + stations.error);
                if (stations.value->size() > kStationsKept)
                    stations.value->resize(kStationsKept);
                report->known.stations = std::move(*stations.value);
                report->known.at = Clock::now();
                remember(report->zip, report->known);
                withPlace(report);
            });
    });
}

void NwsSource::remember(std::uint32_t zip, Known known) {
    const std::lock_guard lock(m_mutex);
    if (m_known.size() >= m_settings.places) {
        std::erase_if(m_known, [now = Clock::now()](const auto& entry) {
            return now - entry.second.at >= kPlaceKeptFor;
        });
        if (m_known.size() >= m_settings.places)
            m_known.clear();
    }
    m_known[zip] = std::move(known);
}

void NwsSource::withPlace(const std::shared_ptr<Report>& report) {
    if (!report->known.problem.empty())
        return report->done(std::nullopt, report->known.problem);
    const Known& known = report->known;
    report->now = QDateTime::currentSecsSinceEpoch();
    report->answers.latitude = report->latitude;
    report->answers.longitude = report->longitude;
    report->answers.timeZone = known.point.timeZone;
    report->pending = 3;
    const std::string station = "/stations/" + known.stations.front();
    const auto whenAll = [report]() {
        const std::lock_guard lock(report->mutex);
        return --report->pending == 0;
    };
    const auto finishPart = [this, report, whenAll]() {
        if (whenAll())
            ask(report);
    };
    get(station + "/observations/latest",
        [report, finishPart](std::optional<std::string> body, const std::string& error) {
            {
                const std::lock_guard lock(report->mutex);
                NwsParsed<NwsObservation> o =
                    body ? ParseNwsObservation(*body) : NwsParsed<NwsObservation>{{}, error};
                if (o.value)
                    report->answers.latest.insert(report->answers.latest.begin(), *o.value);
                else if (report->error.empty())
                    report->error = "latest observation: " + o.error;
            }
            finishPart();
        });
    get(known.point.forecast,
        [report, finishPart](std::optional<std::string> body, const std::string& error) {
            {
                const std::lock_guard lock(report->mutex);
                NwsParsed<NwsForecast> f =
                    body ? ParseNwsForecast(*body) : NwsParsed<NwsForecast>{{}, error};
                if (f.value)
                    report->answers.forecast = std::move(*f.value);
                else if (report->error.empty())
                    report->error = "forecast: " + f.error;
            }
            finishPart();
        });
    // Without them only the trend is unknown and the evening's high is the current temperature.
    get(station + "/observations?start=" + HistoryStart(known.point.timeZone, report->now),
        [report, finishPart](std::optional<std::string> body, const std::string&) {
            if (body) {
                NwsParsed<std::vector<NwsObservation>> list = ParseNwsObservations(*body);
                const std::lock_guard lock(report->mutex);
                if (list.value)
                    report->answers.history = std::move(*list.value);
            }
            finishPart();
        });
}

// After the first three calls, and after each call that fills a missing value.
void NwsSource::ask(const std::shared_ptr<Report>& report) {
    if (!report->error.empty())
        return report->done(std::nullopt, report->error);
    const std::vector<std::string> missing = NwsMissingValues(report->answers, report->now);
    const bool hourlyWouldHelp =
        std::any_of(missing.begin(), missing.end(), [](const std::string& name) {
            return name == "temperature" || name == "wind speed" || name == "humidity";
        });
    if (hourlyWouldHelp && !report->hourlyAsked) {
        report->hourlyAsked = true;
        return get(report->known.point.forecastHourly,
                   [this, report](std::optional<std::string> body, const std::string&) {
                       if (body) {
                           NwsParsed<NwsForecast> hourly = ParseNwsForecast(*body);
                           if (hourly.value)
                               report->answers.hourly = std::move(*hourly.value);
                       }
                       ask(report);
                   });
    }
    if (!missing.empty() && !report->nextAsked && report->known.stations.size() > 1) {
        report->nextAsked = true;
        return get("/stations/" + report->known.stations[1] + "/observations/latest",
                   [this, report](std::optional<std::string> body, const std::string&) {
                       if (body) {
                           NwsParsed<NwsObservation> o = ParseNwsObservation(*body);
                           if (o.value)
                               report->answers.latest.push_back(*o.value);
                       }
                       ask(report);
                   });
    }
    report->done(std::move(report->answers), {});
}

} // namespace feed
