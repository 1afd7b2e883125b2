#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string_view>

namespace feed {

// Calls allowed per minute, hour and day. The defaults stay below Open-Meteo's terms for free
// use (under 600 a minute, 5,000 an hour, 10,000 a day).
struct CallLimits {
    std::size_t perMinute = 500;
    std::size_t perHour = 4500;
    std::size_t perDay = 9000;
};

// The reason a source gives when its limiter refuses a call.
inline constexpr std::string_view kOverBudget = "over this service's call budget";

// Sliding-window limiter: a call is allowed only when it keeps every window within its limit.
// Safe to share between threads.
class RateLimiter final {
public:
    using Clock = std::chrono::steady_clock;

    explicit RateLimiter(CallLimits limits);

    // Records the call and returns true, or returns false and records nothing.
    bool tryAcquire(Clock::time_point now);

private:
    std::size_t countSince(Clock::time_point since) const;

    const CallLimits m_limits;
    std::mutex m_mutex;
    std::deque<Clock::time_point> m_calls; // the last day's, oldest first
};

} // namespace feed
