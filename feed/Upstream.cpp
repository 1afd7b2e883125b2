#include "feed/Upstream.h"

#include <httplib.h>

namespace feed {

Upstream::Upstream(std::string baseAddress, std::chrono::milliseconds timeout)
    : m_baseAddress(std::move(baseAddress))
    , m_timeout(timeout) {}

std::optional<std::string> Upstream::get(const std::string& pathAndQuery) const {
    httplib::Client client(m_baseAddress);
    if (!client.is_valid())
        return std::nullopt;
    client.set_connection_timeout(m_timeout);
    client.set_read_timeout(m_timeout);
    client.set_write_timeout(m_timeout);
    client.set_keep_alive(false);
    client.set_tcp_nodelay(true);
    client.set_follow_location(false);

    // The time-outs bound each wait; this bounds an answer that trickles in.
    const auto deadline = std::chrono::steady_clock::now() + 3 * m_timeout;
    std::string body;
    const httplib::Headers headers{{"User-Agent", "nimbrel-feed/1.61"},
                                   {"Accept", "application/json"}};
    const auto result = client.Get(pathAndQuery, headers, [&](const char* data, std::size_t size) {
        body.append(data, size);
        return body.size() <= kMaxAnswerBytes && std::chrono::steady_clock::now() < deadline;
    });
    if (!result || result->status != 200)
        return std::nullopt;
    return body;
}

} // namespace feed
