#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace feed {

// Fetches from the weather service at a base address such as "https://api.open-meteo.com".
// Each call opens its own connection: calls are few (the cache and the limiter see to that) and
// may come from several threads at once.
class Upstream final {
public:
    static constexpr std::size_t kMaxAnswerBytes = 1 << 20;

    Upstream(std::string baseAddress, std::chrono::milliseconds timeout);

    // The body of a 200 answer to GET pathAndQuery, or no value for any failure: no connection,
    // time-out, another status, or an answer larger than kMaxAnswerBytes.
    std::optional<std::string> get(const std::string& pathAndQuery) const;

private:
    std::string m_baseAddress;
    std::chrono::milliseconds m_timeout;
};

} // namespace feed
