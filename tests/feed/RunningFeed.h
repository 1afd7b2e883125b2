#pragma once

#include "OpenMeteoDouble.h"

#include "feed/FeedServer.h"
#include "feed/ZipTable.h"

#include <httplib.h>

#include <functional>
#include <memory>
#include <thread>

// The feed service on a free loopback port, asking an Open-Meteo double.
class RunningFeed final {
public:
    explicit RunningFeed(const std::function<void(feed::FeedOptions&)>& adjust = {}) {
        feed::FeedOptions options;
        options.port = 0;
        options.threads = 4;
        options.service.upstream = upstream.baseAddress();
        options.service.upstreamTimeout = std::chrono::milliseconds(2000);
        if (adjust)
            adjust(options);
        m_server = std::make_unique<feed::FeedServer>(options, feed::ZipTable::BuiltIn());
        if (m_server->bind()) {
            m_thread = std::thread([this] { m_server->run(); });
            while (!m_server->isRunning())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~RunningFeed() {
        if (m_thread.joinable()) {
            m_server->stop();
            m_thread.join();
        }
    }
    RunningFeed(const RunningFeed&) = delete;
    RunningFeed& operator=(const RunningFeed&) = delete;

    bool listening() const { return m_thread.joinable(); }

    httplib::Result get(const std::string& target) const {
        httplib::Client client("127.0.0.1", m_server->port());
        client.set_read_timeout(10, 0);
        return client.Get(target);
    }

    // The body of a 200 answer, else an empty string.
    std::string document(const std::string& zip, const std::string& unit) const {
        const auto result = get("/forecastrss?p=" + zip + "&u=" + unit);
        return result && result->status == 200 ? result->body : std::string();
    }

    int port() const { return m_server->port(); }

    OpenMeteoDouble upstream;

private:
    std::unique_ptr<feed::FeedServer> m_server;
    std::thread m_thread;
};
