#include "feed/RateLimiter.h"

#include <algorithm>

namespace feed {

RateLimiter::RateLimiter(CallLimits limits)
    : m_limits(limits) {}

std::uint64_t RateLimiter::spentSince(Clock::time_point since) const {
    const auto first =
        std::upper_bound(m_calls.begin(), m_calls.end(), since,
                         [](Clock::time_point t, const Call& c) { return t < c.at; });
    if (first == m_calls.end())
        return 0;
    const std::uint64_t before = first == m_calls.begin() ? m_forgot : std::prev(first)->spent;
    return m_calls.back().spent - before;
}

bool RateLimiter::tryAcquire(Clock::time_point now, unsigned weightTenths, bool knownPlace) {
    using namespace std::chrono_literals;
    const std::lock_guard lock(m_mutex);
    // Callers read the clock before taking the lock; keep the record in order all the same.
    if (!m_calls.empty() && now < m_calls.back().at)
        now = m_calls.back().at;
    while (!m_calls.empty() && m_calls.front().at <= now - 24h) {
        m_forgot = m_calls.front().spent;
        m_calls.pop_front();
    }
    const std::uint64_t share = knownPlace ? 100 : 100 - kKeptForKnownPlacesPercent;
    const auto fits = [&](std::size_t limit, Clock::duration window) {
        return spentSince(now - window) + weightTenths <= limit * 10 * share / 100;
    };
    if (!fits(m_limits.perDay, 24h) || !fits(m_limits.perHour, 1h) ||
        !fits(m_limits.perMinute, 1min))
        return false;
    const std::uint64_t spent = m_calls.empty() ? m_forgot : m_calls.back().spent;
    m_calls.push_back({now, spent + weightTenths});
    return true;
}

} // namespace feed
