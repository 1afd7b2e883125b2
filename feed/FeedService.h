#pragma once

#include "feed/DocumentCache.h"
#include "feed/RateLimiter.h"
#include "feed/Units.h"
#include "feed/Upstream.h"
#include "feed/ZipTable.h"

#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace feed {

struct ServiceSettings {
    std::string upstream = "https://api.open-meteo.com";
    std::chrono::milliseconds upstreamTimeout{10000};
    // An answer younger than this is served without asking upstream.
    std::chrono::milliseconds freshFor{10 * 60 * 1000};
    // When upstream fails, an answer up to this old is served instead.
    std::chrono::milliseconds staleFor{60 * 60 * 1000};
    std::size_t cacheEntries = 10000;
    CallLimits limits;
};

struct Reply {
    int status = 200;
    std::shared_ptr<const std::string> body;
    bool xml = true; // else plain text
};

// Answers feed requests: checks the unit and the ZIP code, serves cached documents, and asks
// Open-Meteo once per place and unit when the cached one is no longer fresh. Concurrent requests
// for the same place and unit share one upstream call. Safe to call from several threads.
class FeedService final {
public:
    FeedService(ServiceSettings settings, const ZipTable& zips);

    // zip and unit as the client sent them (already percent-decoded).
    Reply answer(std::string_view zip, std::string_view unit);

    std::size_t cachedDocuments() const { return m_cache.size(); }

private:
    enum class Outcome { Fetched, Failed, Limited };
    struct Fetch {
        Outcome outcome = Outcome::Failed;
        std::shared_ptr<const std::string> document;
    };

    Fetch fetch(const Place& place, UnitSystem units);
    Fetch fetchShared(const std::string& key, const Place& place, UnitSystem units);

    const ServiceSettings m_settings;
    const ZipTable& m_zips;
    const Upstream m_upstream;
    DocumentCache m_cache;
    RateLimiter m_limiter;
    std::mutex m_inFlightMutex;
    std::map<std::string, std::shared_future<Fetch>> m_inFlight;
};

} // namespace feed
