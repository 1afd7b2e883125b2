#include "feed/FeedService.h"

#include "feed/FeedDocument.h"
#include "feed/Forecast.h"

#include <cstdio>

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

long long Seconds(Clock::duration duration) {
    return std::max<long long>(0,
                               std::chrono::duration_cast<std::chrono::seconds>(duration).count());
}

} // namespace

FeedService::FeedService(ServiceSettings settings, const ZipTable& zips)
    : m_settings(std::move(settings))
    , m_zips(zips)
    , m_upstream(m_settings.upstream, m_settings.upstreamTimeout)
    , m_cache(m_settings.cacheEntries, std::max(m_settings.freshFor, m_settings.staleFor))
    , m_limiter(m_settings.limits) {}

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
        if (!early && !m_limiter.tryAcquire(RateLimiter::Clock::now()))
            early = fallback(key, Outcome::Limited);
        if (early) {
            lock.unlock();
            return done(*early);
        }
        m_waiting[key].push_back(done);
    }
    const std::string path = ForecastRequestPath(place->latitude, place->longitude, *units);
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
    std::shared_ptr<const std::string> refusal;
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
        refusal =
            std::make_shared<const std::string>("Open-Meteo refused the request: " + why + "\n");
    } else if (const ForecastResult forecast = ParseForecast(answer.body, units);
               !forecast.conditions) {
        std::fprintf(stderr, "nimbrel-feed: unusable answer for %s: %s\n", zip.c_str(),
                     forecast.error.c_str());
    } else {
        if (!forecast.warning.empty())
            std::fprintf(stderr, "nimbrel-feed: no pressure trend for %s: %s\n", zip.c_str(),
                         forecast.warning.c_str());
        document =
            std::make_shared<const std::string>(FeedDocument(place, *forecast.conditions, units));
        m_cache.put(key, document, Clock::now());
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
                    return now - failure.second >= m_settings.retryAfter;
                });
            if (m_failedAt.size() >= m_settings.cacheEntries)
                m_failedAt.clear();
            m_failedAt[key] = Clock::now();
        }
    }
    const Reply reply = document ? Reply{200, document, true, Seconds(m_settings.freshFor)}
                                 : fallback(key, Outcome::Failed, refusal);
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
    const std::optional<DocumentCache::Entry> cached = m_cache.find(key, now);
    if (cached && now - cached->stored <= m_settings.staleFor)
        return {200, cached->document, true, 0};
    if (outcome == Outcome::Limited)
        return {503, limited, false};
    return {502, refusal ? std::move(refusal) : failed, false};
}

} // namespace feed
