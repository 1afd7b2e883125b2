#pragma once

#include "OpenMeteoDouble.h"
#include "RawHttp.h"

#include "feed/FeedServer.h"
#include "feed/ZipTable.h"

#include <functional>
#include <memory>

// The feed service on a free loopback port, asking an Open-Meteo double and, when that fails, a
// second double in the National Weather Service's place (with no routes it answers 404).
class RunningFeed final {
public:
    explicit RunningFeed(const std::function<void(feed::FeedOptions&)>& adjust = {}) {
        feed::FeedOptions options;
        options.port = 0;
        options.threads = 2;
        options.service.upstream = upstream.baseAddress();
        options.service.nwsUpstream = nws.baseAddress();
        options.service.upstreamTimeout = std::chrono::milliseconds(2000);
        if (adjust)
            adjust(options);
        m_server = std::make_unique<feed::FeedServer>(options, feed::ZipTable::BuiltIn());
        m_listening = m_server->start();
    }
    RunningFeed(const RunningFeed&) = delete;
    RunningFeed& operator=(const RunningFeed&) = delete;

    bool listening() const { return m_listening; }

    std::optional<rawhttp::Answer> get(const std::string& target) const {
        return rawhttp::Exchange(port(), rawhttp::Request(target));
    }

    // The body of a 200 answer, else an empty string.
    std::string document(const std::string& zip, const std::string& unit) const {
        const auto result = get("/forecastrss?p=" + zip + "&u=" + unit);
        return result && result->status == 200 ? result->body : std::string();
    }

    int port() const { return m_server->port(); }

    OpenMeteoDouble upstream;
    OpenMeteoDouble nws;

private:
    std::unique_ptr<feed::FeedServer> m_server;
    bool m_listening = false;
};
