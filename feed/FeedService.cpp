#include "feed/FeedService.h"

#include "feed/FeedDocument.h"
#include "feed/LocalTime.h"
#include "feed/OpenMeteoTerms.h"

#include <QDateTime>

#include <cstdio>
#include <ctime>

#include <malloc.h>

namespace feed {
namespace {

using Clock = DocumentCache::Clock;

std::shared_ptr<const std::string> Text(const char* text) {
    return std::make_shared<const std::string>(text);
}

const std::shared_ptr<const std::string>& NotFound() {
    static const auto document = std::make_shared<const std::string>(NotFoundDocument());
    return document;
}

std::string UserAgent(const std::string& contact) {
    return std::string("nimbrel-feed/") + kVersion + " (" + contact + ')';
}

std::string_view SourceName(Source source) {
    return source == Source::OpenMeteo ? "Open-Meteo" : "National Weather Service";
}

long long Seconds(Clock::duration duration) {
    return std::max<long long>(0,
                               std::chrono::duration_cast<std::chrono::seconds>(duration).count());
}

std::int32_t DayNumber(int year, int month, int day) {
    return static_cast<std::int32_t>(LocalDateTime{year, month, day, 0, 0}.minutes() / 1440);
}

// The machine's calendar day: a place first asked yesterday evening is known this morning.
std::int32_t MachineDay(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    return DayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::int64_t UnixSeconds(std::chrono::system_clock::time_point time) {
    return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

// The day at the place now, on the calendar of the document's own offset from UTC.
std::int32_t PlaceDay(std::chrono::system_clock::time_point now, std::int32_t utcOffsetSeconds) {
    const LocalDateTime local = LocalFromUnix(UnixSeconds(now), utcOffsetSeconds);
    return DayNumber(local.year, local.month, local.day);
}

} // namespace

FeedService::FeedService(ServiceSettings settings, const ZipTable& zips)
    : m_settings(std::move(settings))
    , m_zips(zips)
    , m_upstream(m_settings.upstream, m_settings.upstreamTimeout,
                 {UserAgent(m_settings.contact), "application/json", false})
    , m_nws({m_settings.nwsUpstream, m_settings.upstreamTimeout, UserAgent(m_settings.contact),
             m_settings.nwsLimits, m_settings.cacheEntries})
    , m_cache(m_settings.cacheEntries,
              std::max({m_settings.freshFor, m_settings.staleFor, m_settings.limitedStaleFor}))
    , m_limiter(m_settings.limits)
    , m_firstAsked(new std::atomic<std::int32_t>[zips.size()]()) {}

FeedService::Wall FeedService::wallNow() const {
    return m_settings.wallClock ? m_settings.wallClock() : std::chrono::system_clock::now();
}

bool FeedService::knownPlace(const Place& place, Wall now) {
    std::atomic<std::int32_t>& first =
        m_firstAsked[static_cast<std::size_t>(&place - m_zips.places().data())];
    std::int32_t day = first.load(std::memory_order_relaxed);
    if (day == 0) {
        first.compare_exchange_strong(day, MachineDay(now), std::memory_order_relaxed);
        return false;
    }
    return day < MachineDay(now);
}

void FeedService::answer(std::string_view zip, std::string_view unit, const Answered& done) {
    static const auto badUnit = Text("The unit u must be f or c.\n");

    const std::optional<UnitSystem> units = UnitSystemFromLetter(unit);
    if (!units)
        return done({400, badUnit, false});
    const std::optional<std::uint32_t> code = ParseZip(zip);
    const Place* place = code ? m_zips.find(*code) : nullptr;
    if (!place)
        return done({200, NotFound(), true, Seconds(m_settings.freshFor)});

    const std::string key = place->zipText() + UnitLetter(*units);
    const auto freshAnswer = [this, &key](Clock::time_point now) -> std::optional<Reply> {
        const std::optional<DocumentCache::Entry> cached = m_cache.find(key, now);
        if (!cached || now - cached->stored >= m_settings.freshFor)
            return std::nullopt;
        return Reply{200, cached->document, true,
                     Seconds(m_settings.freshFor - (now - cached->stored))};
    };
    const auto now = Clock::now();
    const bool known = knownPlace(*place, wallNow());
    if (const std::optional<Reply> fresh = freshAnswer(now))
        return done(*fresh);
    {
        std::unique_lock lock(m_mutex);
        if (const auto waiting = m_waiting.find(key); waiting != m_waiting.end()) {
            waiting->second.push_back(done);
            return;
        }
        // A call for this key may have ended since the look above.
        std::optional<Reply> early = freshAnswer(now);
        if (!early && failedLately(key, now))
            early = fallback(key, Outcome::Failed);
        if (early) {
            lock.unlock();
            return done(*early);
        }
        m_waiting[key].push_back(done);
    }
    tryNext({key, place, *units, 0, {}, false, {}, known});
}

void FeedService::tryNext(Attempt attempt) {
    if (attempt.source == m_settings.sources.size())
        return finish(attempt, std::nullopt, {});
    const Source source = m_settings.sources[attempt.source];
    if (source == Source::Nws) {
        const Place& place = *attempt.place;
        return m_nws.fetch(place, [this, attempt](std::optional<NwsAnswers> answers,
                                                  const std::string& error) mutable {
            if (!answers)
                return failed(std::move(attempt), SourceName(Source::Nws), error);
            const ForecastResult result =
                NwsConditions(*answers, attempt.units, QDateTime::currentSecsSinceEpoch());
            if (!result.conditions)
                return failed(std::move(attempt), SourceName(Source::Nws), result.error);
            if (!result.warning.empty())
                std::fprintf(stderr, "nimbrel-feed: no pressure trend for %s: %s\n",
                             attempt.place->zipText().c_str(), result.warning.c_str());
            finish(attempt, result.conditions, kNwsCreditText);
        });
    }
    const std::string path =
        ForecastRequestPath(attempt.place->latitude, attempt.place->longitude, attempt.units);
    if (path.empty())
        return failed(std::move(attempt), SourceName(source), "no usable coordinates");
    {
        const std::lock_guard lock(m_mutex);
        if (wallNow() < m_backOffUntil) {
            attempt.limited = true;
            attempt.refusal = m_backOffReason;
        }
    }
    if (attempt.limited)
        return failed(std::move(attempt), SourceName(source),
                      std::string(kOverBudget) + " (waiting after its 429)");
    if (!m_limiter.tryAcquire(RateLimiter::Clock::now(), CallWeightTenths(path),
                              attempt.knownPlace)) {
        attempt.limited = true;
        return failed(std::move(attempt), SourceName(source), std::string(kOverBudget));
    }
    m_upstream.get(path, [this, attempt](const Upstream::Answer& answer) mutable {
        const std::optional<std::string> reason = RefusalReason(answer.body);
        if (answer.status == 0)
            return failed(std::move(attempt), SourceName(Source::OpenMeteo),
                          "no answer from " + m_settings.upstream);
        if (answer.status != 200 || reason) {
            const std::string why = reason ? *reason : "status " + std::to_string(answer.status);
            attempt.refusal = std::make_shared<const std::string>(
                "Open-Meteo refused the request: " + why + "\n");
            if (answer.status == 429) {
                // Every place waits: the limit is Open-Meteo's count for this whole address.
                const Wall until = BackOffEnd(why, wallNow());
                std::fprintf(stderr, "nimbrel-feed: asking Open-Meteo again from %s UTC\n",
                             IsoText(LocalFromUnix(UnixSeconds(until), 0)).c_str());
                const std::lock_guard lock(m_mutex);
                m_backOffUntil = std::max(m_backOffUntil, until);
                m_backOffReason = attempt.refusal;
            }
            return failed(std::move(attempt), SourceName(Source::OpenMeteo),
                          "refused the request (status " + std::to_string(answer.status) +
                              "): " + why);
        }
        const ForecastResult forecast = ParseForecast(answer.body, attempt.units);
        if (!forecast.conditions)
            return failed(std::move(attempt), SourceName(Source::OpenMeteo),
                          "unusable answer: " + forecast.error);
        if (!forecast.warning.empty())
            std::fprintf(stderr, "nimbrel-feed: no pressure trend for %s: %s\n",
                         attempt.place->zipText().c_str(), forecast.warning.c_str());
        finish(attempt, forecast.conditions, kCreditText);
    });
}

void FeedService::failed(Attempt attempt, std::string_view source, const std::string& reason) {
    // A spent budget is the limiter at work, not news; a flood would fill the log with it.
    if (!reason.starts_with(kOverBudget))
        std::fprintf(stderr, "nimbrel-feed: %.*s failed for %s: %s\n",
                     static_cast<int>(source.size()), source.data(),
                     attempt.place->zipText().c_str(), reason.c_str());
    if (!attempt.failures.empty())
        attempt.failures += "; ";
    attempt.failures += std::string(source) + ": " + reason;
    ++attempt.source;
    tryNext(std::move(attempt));
}

void FeedService::finish(const Attempt& attempt, const std::optional<Conditions>& conditions,
                         std::string_view credit) {
    const std::string& key = attempt.key;
    std::shared_ptr<const std::string> document;
    if (conditions) {
        std::string text = FeedDocument(*attempt.place, *conditions, attempt.units, credit);
        text.shrink_to_fit(); // kept for long, ten thousand of them: no spare room
        document = std::make_shared<const std::string>(std::move(text));
        const auto date = ParseLocalDateTime(conditions->date);
        m_cache.put(key, document, Clock::now(),
                    {date ? DayNumber(date->year, date->month, date->day) : 0,
                     conditions->utcOffsetSeconds});
        // Each answer parsed leaves freed pieces between the documents kept; now and then they
        // go back to the system, so that a full cache costs what it holds.
        if (m_stored.fetch_add(1, std::memory_order_relaxed) % 256 == 255)
            ::malloc_trim(0);
    } else if (attempt.source > 1 && !attempt.limited) {
        std::fprintf(stderr,
                     "nimbrel-feed: neither Open-Meteo nor the National Weather Service "
                     "answered for %s\n",
                     attempt.place->zipText().c_str());
    }
    std::vector<Answered> waiting;
    {
        const std::lock_guard lock(m_mutex);
        waiting.swap(m_waiting[key]);
        m_waiting.erase(key);
        if (document) {
            m_failedAt.erase(key);
        } else if (!attempt.limited) {
            // Kept small: the expired go first, and all of them if that is not enough.
            if (m_failedAt.size() >= m_settings.cacheEntries)
                std::erase_if(m_failedAt, [this, now = Clock::now()](const auto& failure) {
                    return now - failure.second >= m_settings.retryAfter;
                });
            if (m_failedAt.size() >= m_settings.cacheEntries)
                m_failedAt.clear();
            m_failedAt[key] = Clock::now();
        }
    }
    const Outcome outcome = attempt.limited ? Outcome::Limited : Outcome::Failed;
    Reply reply;
    if (document)
        reply = Reply{200, document, true, Seconds(m_settings.freshFor)};
    else if (attempt.source > 1)
        reply = fallback(key, outcome,
                         std::make_shared<const std::string>(
                             "No weather service answered: " + attempt.failures + ".\n"));
    else
        reply = fallback(key, outcome, attempt.refusal);
    for (const Answered& done : waiting)
        done(reply);
}

bool FeedService::failedLately(const std::string& key, Clock::time_point now) const {
    const auto it = m_failedAt.find(key);
    return it != m_failedAt.end() && now - it->second < m_settings.retryAfter;
}

Reply FeedService::fallback(const std::string& key, Outcome outcome,
                            std::shared_ptr<const std::string> refusal) {
    static const auto failed = Text("The weather service did not answer.\n");
    static const auto limited = Text("Too many weather requests; try again later.\n");
    const auto now = Clock::now();
    if (const std::optional<DocumentCache::Entry> cached = m_cache.find(key, now)) {
        const auto age = now - cached->stored;
        // The program cannot tell an older answer from a fresh one, so a spent budget never
        // brings yesterday's weather: only an answer of the same day there.
        const bool standsIn =
            outcome == Outcome::Failed
                ? age <= m_settings.staleFor
                : age <= m_settings.limitedStaleFor &&
                      cached->day.localDay == PlaceDay(wallNow(), cached->day.utcOffsetSeconds);
        if (standsIn)
            return {200, cached->document, true, 0};
    }
    if (outcome == Outcome::Limited)
        return {503, refusal ? std::move(refusal) : limited, false};
    return {502, refusal ? std::move(refusal) : failed, false};
}

} // namespace feed
