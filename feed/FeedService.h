#pragma once

#include "feed/DocumentCache.h"
#include "feed/FeedBuild.h"
#include "feed/Forecast.h"
#include "feed/NwsSource.h"
#include "feed/RateLimiter.h"
#include "feed/Units.h"
#include "feed/Upstream.h"
#include "feed/ZipTable.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace feed {

// The weather services asked, in the order given: the next one when the one before fails.
enum class Source { OpenMeteo, Nws };

struct ServiceSettings {
    std::vector<Source> sources{Source::OpenMeteo, Source::Nws};
    std::string upstream = "https://api.open-meteo.com";
    std::string nwsUpstream = "https://api.weather.gov";
    // Named in the User-Agent, which the National Weather Service requires.
    std::string contact = kMaintainer;
    // The National Weather Service publishes no limit: a report takes three to five calls, and
    // a new place two more.
    CallLimits nwsLimits{30, 300, 2400};
    std::chrono::milliseconds upstreamTimeout{10000};
    // An answer younger than this is served without asking upstream.
    std::chrono::milliseconds freshFor{10 * 60 * 1000};
    // When upstream fails, an answer up to this old is served instead.
    std::chrono::milliseconds staleFor{60 * 60 * 1000};
    // When the call budget is spent (ours, or Open-Meteo's after a 429), an answer up to this old
    // is served instead, if it is of the same local day at the place.
    std::chrono::milliseconds limitedStaleFor{3 * 60 * 60 * 1000};
    // After a failed call, upstream is asked again for that place and unit only after this long,
    // so that a failing upstream and a busy client cannot spend the call budget.
    std::chrono::milliseconds retryAfter{60 * 1000};
    std::size_t cacheEntries = 10000;
    CallLimits limits;
    // The calendar, for local days and Open-Meteo's windows; the system clock when empty.
    std::function<std::chrono::system_clock::time_point()> wallClock;
};

struct Reply {
    int status = 200;
    std::shared_ptr<const std::string> body;
    bool xml = true; // else plain text
    // How long an HTTP cache in front may keep the answer; -1: not at all.
    long long maxAgeSeconds = -1;
};

// Answers feed requests: checks the unit and the ZIP code, serves cached documents, and asks
// the weather services in turn once per place and unit when the cached one is no longer fresh.
// Concurrent requests for the same place and unit share one upstream call, and a failed call is not
// repeated for a while. Open-Meteo's calls are budgeted as it weighs them, with a share kept for
// places asked for on an earlier day; after a 429 it is not asked until the window named ends.
// Safe to call from several threads.
class FeedService final {
public:
    using Answered = std::function<void(const Reply&)>;

    FeedService(ServiceSettings settings, const ZipTable& zips);

    // zip and unit as the client sent them (already percent-decoded). done runs once: at once when
    // no upstream call is needed, else on the upstream thread when the call ends.
    void answer(std::string_view zip, std::string_view unit, const Answered& done);

    // Ends the upstream calls in flight (their requests get the failure answer) and every later
    // one.
    void abandonCalls() {
        // The later source first, so that no call to it begins as the earlier one's fail.
        m_nws.abandon();
        m_upstream.abandon();
    }

private:
    enum class Outcome { Failed, Limited };
    // One request's way through the sources.
    struct Attempt {
        std::string key;
        const Place* place = nullptr;
        UnitSystem units = UnitSystem::Standard;
        std::size_t source = 0;
        std::string failures; // each source's, "Open-Meteo: no answer; …"
        bool limited = false;
        std::shared_ptr<const std::string> refusal; // Open-Meteo's, in its words
        bool knownPlace = false;                    // first asked for on an earlier day
    };
    using Wall = std::chrono::system_clock::time_point;

    Reply fallback(const std::string& key, Outcome outcome,
                   std::shared_ptr<const std::string> refusal = {});
    void tryNext(Attempt attempt);
    void failed(Attempt attempt, std::string_view source, const std::string& reason);
    void finish(const Attempt& attempt, const std::optional<Conditions>& conditions,
                std::string_view credit);
    bool failedLately(const std::string& key, DocumentCache::Clock::time_point now) const;
    Wall wallNow() const;
    // Notes the place as asked today if it never was; true when it was first asked on an
    // earlier day.
    bool knownPlace(const Place& place, Wall now);

    const ServiceSettings m_settings;
    const ZipTable& m_zips;
    Upstream m_upstream;
    NwsSource m_nws;
    DocumentCache m_cache;
    RateLimiter m_limiter;
    std::mutex m_mutex;                                               // guards the two maps below
    std::unordered_map<std::string, std::vector<Answered>> m_waiting; // by call in flight
    std::unordered_map<std::string, DocumentCache::Clock::time_point> m_failedAt;
    Wall m_backOffUntil;                                // after a 429, guarded by m_mutex
    std::shared_ptr<const std::string> m_backOffReason; // its words
    // The machine's local day each place of the table was first asked for, 0 for never.
    std::unique_ptr<std::atomic<std::int32_t>[]> m_firstAsked;
    std::atomic<std::size_t> m_stored{0}; // documents made
};

} // namespace feed
