#include "feed/FeedService.h"

#include "feed/FeedDocument.h"
#include "feed/Forecast.h"
#include "feed/LocalTime.h"
#include "feed/OpenMeteoTerms.h"

#include <cstdio>
#include <ctime>

namespace feed {
namespace {

using Clock = DocumentCache::Clock;

std::shared_ptr<const std::string> Text(const char* text) {
    return std::make_shared<const std::string>(text);
}

const std::shared_ptr<const std::string>& NoAnswer() {
    static const auto text = Text("The weather service did not answer.\n");
    return text;
}

const std::shared_ptr<const std::string>& NotFound() {
    static const auto document = std::make_shared<const std::string>(NotFoundDocument());
    return document;
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

// The day at the place now, on the calendar of the document's own offset from UTC.
std::int32_t PlaceDay(std::chrono::system_clock::time_point now, std::int32_t utcOffsetSeconds) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch());
    const LocalDateTime local = LocalFromUnix(seconds.count(), utcOffsetSeconds);
    return DayNumber(local.year, local.month, local.day);
}

std::string UtcText(std::chrono::system_clock::time_point time) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch());
    return IsoText(LocalFromUnix(seconds.count(), 0));
}

} // namespace

FeedService::FeedService(ServiceSettings settings, const ZipTable& zips)
    : m_settings(std::move(settings))
    , m_zips(zips)
    , m_upstream(m_settings.upstream, m_settings.upstreamTimeout)
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
    static const auto limited = Text("Too many weather requests; try again later.\n");

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
    const Wall wall = wallNow();
    const bool known = knownPlace(*place, wall);
    if (const std::optional<Reply> fresh = freshAnswer(now))
        return done(*fresh);
    const std::string path = ForecastRequestPath(place->latitude, place->longitude, *units);
    {
        std::unique_lock lock(m_mutex);
        if (const auto waiting = m_waiting.find(key); waiting != m_waiting.end()) {
            waiting->second.push_back(done);
            return;
        }
        // A call for this key may have ended since the look above.
        std::optional<Reply> early = freshAnswer(now);
        if (const auto failed = m_failedAt.find(key);
            !early && failed != m_failedAt.end() &&
            now - failed->second.first < m_settings.retryAfter)
            early = fallback(key, Outcome::Failed, {502, failed->second.second, false});
        if (!early && wall < m_backOffUntil)
            early = fallback(key, Outcome::Limited, {503, m_backOffReason, false});
        if (!early &&
            !m_limiter.tryAcquire(RateLimiter::Clock::now(), CallWeightTenths(path), known))
            early = fallback(key, Outcome::Limited, {503, limited, false});
        if (early) {
            lock.unlock();
            return done(*early);
        }
        m_waiting[key].push_back(done);
    }
    if (path.empty())
        return finish(key, *place, *units, {});
    const UnitSystem unitSystem = *units;
    m_upstream.get(path, [this, key, place, unitSystem](const Upstream::Answer& answer) {
        finish(key, *place, unitSystem, answer);
    });
}

void FeedService::finish(const std::string& key, const Place& place, UnitSystem units,
                         const Upstream::Answer& answer) {
    std::shared_ptr<const std::string> document;
    Reply otherwise{502, NoAnswer(), false};
    Outcome outcome = Outcome::Failed;
    const std::string zip = place.zipText();
    const std::optional<std::string> reason = RefusalReason(answer.body);
    if (answer.status == 0) {
        std::fprintf(stderr, "nimbrel-feed: no answer from %s for %s\n",
                     m_settings.upstream.c_str(), zip.c_str());
    } else if (answer.status != 200 || reason) {
        const std::string why = reason ? *reason : "status " + std::to_string(answer.status);
        std::fprintf(stderr,
                     "nimbrel-feed: Open-Meteo refused the request for %s (status %ld): %s\n",
                     zip.c_str(), answer.status, why.c_str());
        otherwise.body =
            std::make_shared<const std::string>("Open-Meteo refused the request: " + why + "\n");
        if (answer.status == 429) {
            // Every place waits: the limit is Open-Meteo's count for this whole address.
            const Wall until = BackOffEnd(why, wallNow());
            std::fprintf(stderr, "nimbrel-feed: asking Open-Meteo again from %s UTC\n",
                         UtcText(until).c_str());
            outcome = Outcome::Limited;
            const std::lock_guard lock(m_mutex);
            m_backOffUntil = std::max(m_backOffUntil, until);
            m_backOffReason = otherwise.body;
        }
    } else if (const ForecastResult forecast = ParseForecast(answer.body, units);
               !forecast.conditions) {
        std::fprintf(stderr, "nimbrel-feed: unusable answer for %s: %s\n", zip.c_str(),
                     forecast.error.c_str());
    } else {
        if (!forecast.warning.empty())
            std::fprintf(stderr, "nimbrel-feed: no pressure trend for %s: %s\n", zip.c_str(),
                         forecast.warning.c_str());
        const Conditions& c = *forecast.conditions;
        const auto date = ParseLocalDateTime(c.date);
        document = std::make_shared<const std::string>(FeedDocument(place, c, units));
        m_cache.put(key, document, Clock::now(),
                    {date ? DayNumber(date->year, date->month, date->day) : 0, c.utcOffsetSeconds});
    }
    std::vector<Answered> waiting;
    {
        const std::lock_guard lock(m_mutex);
        waiting.swap(m_waiting[key]);
        m_waiting.erase(key);
        if (document) {
            m_failedAt.erase(key);
        } else {
            // Kept small: the expired go first, and all of them if that is not enough.
            if (m_failedAt.size() >= m_settings.cacheEntries)
                std::erase_if(m_failedAt, [this, now = Clock::now()](const auto& failure) {
                    return now - failure.second.first >= m_settings.retryAfter;
                });
            if (m_failedAt.size() >= m_settings.cacheEntries)
                m_failedAt.clear();
            m_failedAt[key] = {Clock::now(), otherwise.body};
        }
    }
    const Reply reply = document ? Reply{200, document, true, Seconds(m_settings.freshFor)}
                                 : fallback(key, outcome, otherwise);
    for (const Answered& done : waiting)
        done(reply);
}

Reply FeedService::fallback(const std::string& key, Outcome outcome, Reply otherwise) {
    const auto now = Clock::now();
    const std::optional<DocumentCache::Entry> cached = m_cache.find(key, now);
    if (!cached)
        return otherwise;
    const auto age = now - cached->stored;
    // The program cannot tell an older answer from a fresh one, so a budget that is spent never
    // brings yesterday's weather: only an answer of the same day there.
    const bool standsIn =
        outcome == Outcome::Failed
            ? age <= m_settings.staleFor
            : age <= m_settings.limitedStaleFor &&
                  cached->day.localDay == PlaceDay(wallNow(), cached->day.utcOffsetSeconds);
    return standsIn ? Reply{200, cached->document, true, 0} : otherwise;
}

} // namespace feed
