#pragma once

#include "feed/FeedOptions.h"
#include "feed/FeedService.h"

#include <memory>
#include <string>

namespace httplib {
class Server;
}

namespace feed {

// The HTTP side: one path, GET /forecastrss, with small request limits; everything else is
// refused.
class FeedServer final {
public:
    FeedServer(const FeedOptions& options, const ZipTable& zips);
    ~FeedServer();
    FeedServer(const FeedServer&) = delete;
    FeedServer& operator=(const FeedServer&) = delete;

    // Binds to options' host and port (port 0: any free port); false when it cannot.
    bool bind();
    int port() const { return m_port; }
    // Serves until stop(); returns false when serving failed.
    bool run();
    void stop();
    bool isRunning() const;

    FeedService& service() { return m_service; }

private:
    FeedOptions m_options;
    FeedService m_service;
    std::unique_ptr<httplib::Server> m_server;
    int m_port = -1;
};

} // namespace feed
