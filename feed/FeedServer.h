#pragma once

#include "feed/FeedOptions.h"
#include "feed/FeedService.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>

#include <microhttpd.h>

namespace feed {

// The HTTP side: one path, GET /forecastrss, on a few event loops (epoll) that serve many
// connections each. Requests and clients are bounded: the request line and headers must fit in a
// small per-connection buffer, a client must send its request within the client time-out, and
// connections beyond the limit are refused. A request that waits for an upstream call is set
// aside, so it holds no thread.
class FeedServer final {
public:
    FeedServer(const FeedOptions& options, const ZipTable& zips);
    ~FeedServer();
    FeedServer(const FeedServer&) = delete;
    FeedServer& operator=(const FeedServer&) = delete;

    // Takes the port (exclusively; port 0: any free one) and serves on threads of its own. False,
    // with error(), when it cannot.
    bool start();
    const std::string& error() const { return m_error; }
    int port() const { return m_port; }

    // Abandons the upstream calls in flight (their requests get the failure answer) and stops.
    void stop();

private:
    struct Watch;
    struct Request;

    static MHD_Result OnRequest(void* self, MHD_Connection* connection, const char* url,
                                const char* method, const char* version, const char* upload,
                                std::size_t* uploadSize, void** request);
    static void* OnRequestLine(void* self, const char* target, MHD_Connection* connection);
    static void OnRequestEnded(void* self, MHD_Connection* connection, void** request,
                               MHD_RequestTerminationCode code);
    static void OnConnection(void* self, MHD_Connection* connection, void** watch,
                             MHD_ConnectionNotificationCode code);
    void sweepSlowClients();
    void answered();

    const FeedOptions m_options;
    FeedService m_service;
    MHD_Daemon* m_daemon = nullptr;
    int m_port = -1;
    std::string m_error;

    std::mutex m_mutex;
    std::condition_variable m_stopping;
    bool m_stopped = false;
    // Requests handed to the service and not yet answered: the event loops must not end while
    // one is set aside.
    std::size_t m_answering = 0;
    std::condition_variable m_answered;
    std::unordered_set<Watch*> m_watches;
    std::thread m_sweeper;
};

} // namespace feed
