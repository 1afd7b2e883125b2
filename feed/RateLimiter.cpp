#include "feed/RateLimiter.h"

#include <algorithm>

namespace feed {

RateLimiter::RateLimiter(CallLimits limits)
    : m_limits(limits) {}

std::size_t RateLimiter::countSince(Clock::time_point since) const {
    const auto first = std::upper_bound(m_calls.begin(), m_calls.end(), since);
    return static_cast<std::size_t>(m_calls.end() - first);
}

bool RateLimiter::tryAcquire(Clock::time_point now) {
    using namespace std::chrono_literals;
    const std::lock_guard lock(m_mutex);
    // Callers read the clock before taking the lock; keep the record in order all the same.
    if (!m_calls.empty() && now < m_calls.back())
        now = m_calls.back();
    while (!m_calls.empty() && m_calls.front() <= now - 24h)
        m_calls.pop_front();
    if (m_calls.size() >= m_limits.perDay || countSince(now - 1h) >= m_limits.perHour ||
        countSince(now - 1min) >= m_limits.perMinute)
        return false;
    m_calls.push_back(now);
    return true;
}

} // namespace feed
