#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string_view>

namespace feed {

// Calls allowed per minute, hour and day, counted as Open-Meteo weighs them (a call of 12
// variables counts 1.2). The defaults stay 10% below its terms for free use (600 a minute, 5,000
// an hour, 10,000 a day).
struct CallLimits {
    std::size_t perMinute = 540;
    std::size_t perHour = 4500;
    std::size_t perDay = 9000;
};

// The share of each limit kept for places asked for on an earlier day, the daily announcements:
// places new today, however many, spend only the rest.
inline constexpr std::size_t kKeptForKnownPlacesPercent = 20;

// The reason a source gives when its limiter refuses a call.
inline constexpr std::string_view kOverBudget = "over this service's call budget";

// Sliding-window limiter: a call is allowed only when it keeps every window within its limit.
// Safe to share between threads.
class RateLimiter final {
public:
    using Clock = std::chrono::steady_clock;

    explicit RateLimiter(CallLimits limits);

    // Records a call of the given weight (tenths of a call) and returns true, or returns false
    // and records nothing. A place new today may not spend the share kept for known ones.
    bool tryAcquire(Clock::time_point now, unsigned weightTenths = 10, bool knownPlace = true);

private:
    struct Call {
        Clock::time_point at;
        std::uint64_t spent; // tenths spent up to and including this call
    };
    std::uint64_t spentSince(Clock::time_point since) const;

    const CallLimits m_limits;
    std::mutex m_mutex;
    std::deque<Call> m_calls;   // the last day's, oldest first
    std::uint64_t m_forgot = 0; // `spent` of the last call dropped
};

} // namespace feed
