#pragma once

#include "feed/NwsAnswers.h"
#include "feed/RateLimiter.h"
#include "feed/Upstream.h"
#include "feed/ZipTable.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace feed {

// Asks api.weather.gov for what one report needs: the point and its stations once a day per
// place, then the nearest station's latest observation and its observations since local midnight
// (or four hours back, whichever is longer), and the day and night forecast; the hourly forecast
// and the next station only when the observation lacks a value. Calls have a budget of their
// own; a 500 is asked once more.
class NwsSource final {
public:
    struct Settings {
        std::string baseAddress = "https://api.weather.gov";
        std::chrono::milliseconds timeout{10000};
        std::string userAgent;
        CallLimits limits;
        std::size_t places = 10000; // most points kept
    };
    // The answers, or the reason there are none. Runs once, on the fetching thread.
    using Done = std::function<void(std::optional<NwsAnswers>, const std::string& error)>;

    explicit NwsSource(Settings settings);

    void fetch(const Place& place, Done done);
    void abandon() { m_upstream.abandon(); }

private:
    using Clock = std::chrono::steady_clock;
    using Got = std::function<void(std::optional<std::string> body, const std::string& error)>;
    struct Report;
    struct Known {
        NwsPoint point;
        std::vector<std::string> stations; // the nearest three
        std::string problem;               // why the point has no forecast
        Clock::time_point at;
    };

    void get(const std::string& path, Got got, bool again = false);
    void withPlace(const std::shared_ptr<Report>& report);
    void ask(const std::shared_ptr<Report>& report);
    void remember(std::uint32_t zip, Known known);

    const Settings m_settings;
    Upstream m_upstream;
    RateLimiter m_limiter;
    std::mutex m_mutex; // guards m_known
    std::unordered_map<std::uint32_t, Known> m_known;
};

} // namespace feed
