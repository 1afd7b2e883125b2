#include "feed/FeedService.h"

#include "feed/FeedDocument.h"
#include "feed/Forecast.h"

#include <cstdio>

namespace feed {
namespace {

std::shared_ptr<const std::string> Text(const char* text) {
    return std::make_shared<const std::string>(text);
}

const std::shared_ptr<const std::string>& NotFound() {
    static const auto document = std::make_shared<const std::string>(NotFoundDocument());
    return document;
}

} // namespace

FeedService::FeedService(ServiceSettings settings, const ZipTable& zips)
    : m_settings(std::move(settings))
    , m_zips(zips)
    , m_upstream(m_settings.upstream, m_settings.upstreamTimeout)
    , m_cache(m_settings.cacheEntries, std::max(m_settings.freshFor, m_settings.staleFor))
    , m_limiter(m_settings.limits) {}

Reply FeedService::answer(std::string_view zip, std::string_view unit) {
    static const auto badUnit = Text("The unit u must be f or c.\n");
    static const auto failed = Text("The weather service did not answer.\n");
    static const auto limited = Text("Too many weather requests; try again later.\n");

    const std::optional<UnitSystem> units = UnitSystemFromLetter(unit);
    if (!units)
        return {400, badUnit, false};
    const std::optional<std::uint32_t> code = ParseZip(zip);
    const Place* place = code ? m_zips.find(*code) : nullptr;
    if (!place)
        return {200, NotFound(), true};

    const std::string key = place->zipText() + UnitLetter(*units);
    const auto now = DocumentCache::Clock::now();
    const std::optional<DocumentCache::Entry> cached = m_cache.find(key, now);
    if (cached && now - cached->stored < m_settings.freshFor)
        return {200, cached->document, true};

    const Fetch fetched = fetchShared(key, *place, *units);
    if (fetched.outcome == Outcome::Fetched)
        return {200, fetched.document, true};
    if (cached && now - cached->stored <= m_settings.staleFor)
        return {200, cached->document, true};
    if (fetched.outcome == Outcome::Limited)
        return {503, limited, false};
    return {502, failed, false};
}

FeedService::Fetch FeedService::fetchShared(const std::string& key, const Place& place,
                                            UnitSystem units) {
    std::promise<Fetch> promise;
    std::shared_future<Fetch> shared;
    bool leader = false;
    {
        const std::lock_guard lock(m_inFlightMutex);
        const auto it = m_inFlight.find(key);
        if (it != m_inFlight.end()) {
            shared = it->second;
        } else {
            shared = promise.get_future().share();
            m_inFlight.emplace(key, shared);
            leader = true;
        }
    }
    if (!leader)
        return shared.get();

    Fetch result;
    bool stored = false;
    try {
        // Another request may have stored a fresh answer since this one looked.
        const auto now = DocumentCache::Clock::now();
        const auto cached = m_cache.find(key, now);
        stored = cached && now - cached->stored < m_settings.freshFor;
        result = stored ? Fetch{Outcome::Fetched, cached->document} : fetch(place, units);
    } catch (...) {
        result = Fetch{}; // counts as a failed call; the waiting requests must not hang
    }
    if (result.outcome == Outcome::Fetched && !stored)
        m_cache.put(key, result.document, DocumentCache::Clock::now());
    promise.set_value(result);
    const std::lock_guard lock(m_inFlightMutex);
    m_inFlight.erase(key);
    return result;
}

FeedService::Fetch FeedService::fetch(const Place& place, UnitSystem units) {
    if (!m_limiter.tryAcquire(RateLimiter::Clock::now()))
        return {Outcome::Limited, nullptr};
    const std::string path = ForecastRequestPath(place.latitude, place.longitude, units);
    const std::optional<std::string> body = path.empty() ? std::nullopt : m_upstream.get(path);
    if (!body) {
        std::fprintf(stderr, "nimbrel-feed: no answer from %s for %s\n",
                     m_settings.upstream.c_str(), place.zipText().c_str());
        return {};
    }
    const ForecastResult forecast = ParseForecast(*body, units);
    if (!forecast.conditions) {
        std::fprintf(stderr, "nimbrel-feed: unusable answer for %s: %s\n", place.zipText().c_str(),
                     forecast.error.c_str());
        return {};
    }
    return {Outcome::Fetched,
            std::make_shared<const std::string>(FeedDocument(place, *forecast.conditions, units))};
}

} // namespace feed
