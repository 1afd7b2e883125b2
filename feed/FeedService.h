#pragma once

#include "feed/DocumentCache.h"
#include "feed/RateLimiter.h"
#include "feed/Units.h"
#include "feed/Upstream.h"
#include "feed/ZipTable.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace feed {

struct ServiceSettings {
    std::string upstream = "https://api.open-meteo.com";
    std::chrono::milliseconds upstreamTimeout{10000};
    // An answer younger than this is served without asking upstream.
    std::chrono::milliseconds freshFor{10 * 60 * 1000};
    // When upstream fails, an answer up to this old is served instead.
    std::chrono::milliseconds staleFor{60 * 60 * 1000};
    // After a failed call, upstream is asked again for that place and unit only after this long,
    // so that a failing upstream and a busy client cannot spend the call budget.
    std::chrono::milliseconds retryAfter{60 * 1000};
    std::size_t cacheEntries = 10000;
    CallLimits limits;
};

struct Reply {
    int status = 200;
    std::shared_ptr<const std::string> body;
    bool xml = true; // else plain text
    // How long an HTTP cache in front may keep the answer; -1: not at all.
    long long maxAgeSeconds = -1;
};

// Answers feed requests: checks the unit and the ZIP code, serves cached documents, and asks
// Open-Meteo once per place and unit when the cached one is no longer fresh. Concurrent requests
// for the same place and unit share one upstream call, and a failed call is not repeated for a
// while. Safe to call from several threads.
class FeedService final {
public:
    using Answered = std::function<void(const Reply&)>;

    FeedService(ServiceSettings settings, const ZipTable& zips);

    // zip and unit as the client sent them (already percent-decoded). done runs once: at once when
    // no upstream call is needed, else on the upstream thread when the call ends.
    void answer(std::string_view zip, std::string_view unit, const Answered& done);

    // Ends the upstream calls in flight (their requests get the failure answer) and every later
    // one.
    void abandonCalls() { m_upstream.abandon(); }

private:
    enum class Outcome { Failed, Limited };

    Reply fallback(const std::string& key, Outcome outcome,
                   std::shared_ptr<const std::string> refusal = {});
    void finish(const std::string& key, const Place& place, UnitSystem units,
                const Upstream::Answer& answer);
    bool failedLately(const std::string& key, DocumentCache::Clock::time_point now) const;

    const ServiceSettings m_settings;
    const ZipTable& m_zips;
    Upstream m_upstream;
    DocumentCache m_cache;
    RateLimiter m_limiter;
    std::mutex m_mutex;                                               // guards the two maps below
    std::unordered_map<std::string, std::vector<Answered>> m_waiting; // by call in flight
    std::unordered_map<std::string, DocumentCache::Clock::time_point> m_failedAt;
};

} // namespace feed
