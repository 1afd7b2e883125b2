#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <curl/curl.h>

namespace feed {

// Fetches from the weather service at a base address such as "https://api.open-meteo.com", all
// calls on one thread of its own. Each call opens its own connection: calls are few (the cache and
// the limiter see to that).
class Upstream final {
public:
    static constexpr std::size_t kMaxAnswerBytes = 1 << 20;
    static constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
    // What came back: the status and body of a whole answer, or status 0 when none did.
    struct Answer {
        long status = 0;
        std::string body;
    };
    using Done = std::function<void(Answer)>;

    struct Options {
        std::string userAgent;
        std::string accept = "application/json";
        // Permanent redirects are followed (at most three, to http or https only).
        bool followRedirects = false;
    };

    Upstream(std::string baseAddress, std::chrono::milliseconds timeout, Options options);
    ~Upstream();
    Upstream(const Upstream&) = delete;
    Upstream& operator=(const Upstream&) = delete;

    // GET pathAndQuery. A call gets no answer when it cannot connect within the time-out, is not
    // complete (headers and body) within three times the time-out, or sends more than
    // kMaxHeaderBytes of headers or kMaxAnswerBytes of body; any whole answer, a refusal too, is
    // passed on with its status. done runs once, on the fetching thread (or at once, after
    // abandon()).
    void get(const std::string& pathAndQuery, Done done);

    // Fails every call in flight at once, and every later one.
    void abandon();

private:
    struct Call;
    void run();
    void finish(CURL* easy, long status);

    const std::string m_baseAddress;
    const std::chrono::milliseconds m_timeout;
    const Options m_options;
    CURLM* m_multi = nullptr;
    curl_slist* m_headers = nullptr;
    std::mutex m_mutex;
    bool m_abandoned = false;
    std::vector<std::unique_ptr<Call>> m_queued;
    std::map<CURL*, std::unique_ptr<Call>> m_running; // the fetching thread's alone
    std::thread m_thread;
};

} // namespace feed
