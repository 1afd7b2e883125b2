#include "feed/Upstream.h"

namespace feed {
namespace {

std::once_flag curlStarted;

} // namespace

struct Upstream::Call {
    CURL* easy = nullptr;
    Done done;
    std::string body;
    std::size_t headerBytes = 0;

    ~Call() { curl_easy_cleanup(easy); }

    static std::size_t OnBody(char* data, std::size_t, std::size_t size, void* self) {
        std::string& body = static_cast<Call*>(self)->body;
        if (body.size() + size > kMaxAnswerBytes)
            return 0; // ends the call with an error
        body.append(data, size);
        return size;
    }
    static std::size_t OnHeader(char*, std::size_t, std::size_t size, void* self) {
        std::size_t& bytes = static_cast<Call*>(self)->headerBytes;
        bytes += size;
        return bytes > kMaxHeaderBytes ? 0 : size;
    }
};

Upstream::Upstream(std::string baseAddress, std::chrono::milliseconds timeout, Options options)
    : m_baseAddress(std::move(baseAddress))
    , m_timeout(timeout)
    , m_options(std::move(options)) {
    std::call_once(curlStarted, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_multi = curl_multi_init();
    m_headers = curl_slist_append(m_headers, ("Accept: " + m_options.accept).c_str());
    m_thread = std::thread([this] { run(); });
}

Upstream::~Upstream() {
    abandon();
    m_thread.join();
    curl_multi_cleanup(m_multi);
    curl_slist_free_all(m_headers);
}

void Upstream::get(const std::string& pathAndQuery, Done done) {
    auto call = std::make_unique<Call>();
    call->done = std::move(done);
    call->easy = curl_easy_init();
    CURL* easy = call->easy;
    const std::string url = m_baseAddress + pathAndQuery;
    const long timeout = static_cast<long>(m_timeout.count());
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_USERAGENT, m_options.userAgent.c_str());
    if (m_options.followRedirects) {
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 3L);
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, m_headers);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(easy, CURLOPT_TCP_NODELAY, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, timeout);
    // The whole call, headers included: an answer that trickles in cannot hold a fetch longer.
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, 3 * timeout);
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxAnswerBytes));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Call::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, call.get());
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Call::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, call.get());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, call.get());
    {
        const std::lock_guard lock(m_mutex);
        if (!m_abandoned) {
            m_queued.push_back(std::move(call));
            curl_multi_wakeup(m_multi);
            return;
        }
    }
    call->done({});
}

void Upstream::abandon() {
    const std::lock_guard lock(m_mutex);
    m_abandoned = true;
    curl_multi_wakeup(m_multi);
}

void Upstream::finish(CURL* easy, long status) {
    curl_multi_remove_handle(m_multi, easy);
    const auto it = m_running.find(easy);
    std::unique_ptr<Call> call = std::move(it->second);
    m_running.erase(it);
    call->done(status > 0 ? Answer{status, std::move(call->body)} : Answer{});
}

void Upstream::run() {
    for (;;) {
        std::vector<std::unique_ptr<Call>> added;
        {
            const std::lock_guard lock(m_mutex);
            if (m_abandoned)
                break;
            added.swap(m_queued);
        }
        for (std::unique_ptr<Call>& call : added) {
            CURL* easy = call->easy;
            m_running.emplace(easy, std::move(call));
            curl_multi_add_handle(m_multi, easy);
        }
        int running = 0;
        curl_multi_perform(m_multi, &running);
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            long status = 0;
            curl_easy_getinfo(message->easy_handle, CURLINFO_RESPONSE_CODE, &status);
            finish(message->easy_handle, message->data.result == CURLE_OK ? status : 0);
        }
        curl_multi_poll(m_multi, nullptr, 0, 1000, nullptr);
    }
    while (!m_running.empty())
        finish(m_running.begin()->first, 0);
    std::vector<std::unique_ptr<Call>> queued;
    {
        const std::lock_guard lock(m_mutex);
        queued.swap(m_queued);
    }
    for (const std::unique_ptr<Call>& call : queued)
        call->done({});
}

} // namespace feed
