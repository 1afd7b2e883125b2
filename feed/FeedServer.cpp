#include "feed/FeedServer.h"

#include "core/FeedContract.h"
#include "feed/ListenSocket.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <utility>

#include <strings.h>

#include <sys/resource.h>
#include <sys/socket.h>

namespace feed {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxTarget = 256;
// Holds the request line and headers, and the answer's headers: a larger request gets 431.
constexpr std::size_t kConnectionMemory = 8 * 1024;
constexpr unsigned kListenBacklog = 1024;
constexpr const char* kXml = "text/xml; charset=UTF-8";
constexpr const char* kText = "text/plain; charset=UTF-8";

long long Ticks(Clock::time_point time) {
    return time.time_since_epoch().count();
}

// Every connection is a descriptor; the usual soft limit of 1024 would refuse clients first.
void RaiseOpenFileLimit(std::size_t connections) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    const rlim_t wanted = std::min<rlim_t>(limit.rlim_max, connections + 64);
    if (limit.rlim_cur < wanted) {
        limit.rlim_cur = wanted;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

MHD_Result Queue(MHD_Connection* connection, const Reply& reply, const char* allow = nullptr,
                 bool close = false) {
    auto* body = new std::shared_ptr<const std::string>(reply.body);
    MHD_Response* response = MHD_create_response_from_buffer_with_free_callback_cls(
        (*body)->size(), const_cast<char*>((*body)->data()),
        [](void* kept) { delete static_cast<std::shared_ptr<const std::string>*>(kept); }, body);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.xml ? kXml : kText);
    const std::string cacheControl = reply.maxAgeSeconds >= 0
                                         ? "max-age=" + std::to_string(reply.maxAgeSeconds)
                                         : std::string("no-store");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, cacheControl.c_str());
    if (allow)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, allow);
    if (close)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result queued =
        MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
    MHD_destroy_response(response);
    return queued;
}

Reply Refusal(int status, const char* text) {
    static std::mutex mutex;
    static std::unordered_map<std::string, std::shared_ptr<const std::string>> texts;
    const std::lock_guard lock(mutex);
    std::shared_ptr<const std::string>& body = texts[text];
    if (!body)
        body = std::make_shared<const std::string>(text);
    return {status, body, false};
}

// Why a request's framing is ambiguous, or nullptr: a proxy in front and this service could read
// different requests out of the same bytes, so such a request is refused and its connection
// closed.
const char* AmbiguousFraming(MHD_Connection* connection, std::string_view method) {
    struct Seen {
        int lengths = 0;
        std::string_view length;
        const char* why = nullptr;
    } seen;
    MHD_get_connection_values(
        connection, MHD_HEADER_KIND,
        [](void* cls, MHD_ValueKind, const char* key, const char* value) {
            auto& s = *static_cast<Seen*>(cls);
            const std::string_view name(key), text(value ? value : "");
            if (name.find_first_of(" \t") != std::string_view::npos)
                s.why = "A header name holds a blank.\n";
            else if (::strcasecmp(key, MHD_HTTP_HEADER_TRANSFER_ENCODING) == 0)
                s.why = "Transfer-Encoding is not accepted.\n";
            else if (::strcasecmp(key, MHD_HTTP_HEADER_CONTENT_LENGTH) != 0)
                return MHD_YES;
            else if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
                s.why = "Content-Length is not a number.\n";
            else if (s.lengths++ > 0 && text != s.length)
                s.why = "Content-Length is given twice, differently.\n";
            s.length = text;
            return s.why ? MHD_NO : MHD_YES;
        },
        &seen);
    if (!seen.why && (method == "GET" || method == "HEAD") &&
        seen.length.find_first_not_of('0') != std::string_view::npos)
        seen.why = "A GET or HEAD request carries no body.\n";
    return seen.why;
}

// A query value as sent (percent-decoded), NUL bytes included.
std::optional<std::string_view> Argument(MHD_Connection* connection, const char* name) {
    const char* value = nullptr;
    std::size_t size = 0;
    if (MHD_lookup_connection_value_n(connection, MHD_GET_ARGUMENT_KIND, name,
                                      std::char_traits<char>::length(name), &value,
                                      &size) != MHD_YES ||
        !value)
        return std::string_view();
    const std::string_view text(value, size);
    const bool control = std::any_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
    return control ? std::nullopt : std::optional(text);
}

} // namespace

struct FeedServer::Watch {
    int fd = -1;
    // Until when the client may take to send its next request; LLONG_MAX while it is answered.
    std::atomic<long long> deadline{LLONG_MAX};
};

struct FeedServer::Request {
    std::size_t targetLength = 0;
    // Headers in (the next call brings the end of any body), and then asked for the answer.
    bool headersIn = false;
    bool asked = false;
    bool owed = false; // counted in m_answering, and not yet answered
    std::mutex mutex;
    std::optional<Reply> reply;
    bool suspended = false;
};

FeedServer::FeedServer(const FeedOptions& options, const ZipTable& zips)
    : m_options(options)
    , m_service(options.service, zips) {}

FeedServer::~FeedServer() {
    stop();
}

bool FeedServer::start() {
    RaiseOpenFileLimit(m_options.connections);
    const ListenSocket socket =
        m_options.listenFd >= 0 ? DescribeListenSocket(m_options.listenFd)
                                : OpenListenSocket(m_options.host, m_options.port, kListenBacklog);
    if (socket.fd < 0) {
        m_error = socket.error;
        return false;
    }
    const auto timeout = std::chrono::ceil<std::chrono::seconds>(m_options.clientTimeout).count();
    m_daemon = MHD_start_daemon(
        MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ITC, 0, nullptr, nullptr,
        &OnRequest, this, MHD_OPTION_LISTEN_SOCKET, socket.fd, MHD_OPTION_THREAD_POOL_SIZE,
        static_cast<unsigned>(m_options.threads), MHD_OPTION_CONNECTION_LIMIT,
        static_cast<unsigned>(m_options.connections), MHD_OPTION_CONNECTION_TIMEOUT,
        static_cast<unsigned>(timeout), MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory,
        MHD_OPTION_URI_LOG_CALLBACK, &OnRequestLine, this, MHD_OPTION_NOTIFY_COMPLETED,
        &OnRequestEnded, this, MHD_OPTION_NOTIFY_CONNECTION, &OnConnection, this, MHD_OPTION_END);
    if (!m_daemon) {
        ::close(socket.fd);
        m_error = "cannot serve on " + m_options.host + ":" + std::to_string(socket.port);
        return false;
    }
    m_port = socket.port;
    m_sweeper = std::thread([this] { sweepSlowClients(); });
    return true;
}

void FeedServer::stop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_stopping.notify_all();
    m_service.abandonCalls();
    if (m_sweeper.joinable())
        m_sweeper.join();
    {
        // The abandoned calls answer at once; their connections then leave the waiting room,
        // which the event loops must see before they end.
        std::unique_lock lock(m_mutex);
        m_answered.wait_for(lock, std::chrono::seconds(1), [this] { return m_answering == 0; });
    }
    if (m_daemon) {
        // Taken out of the daemon and closed, never shut down: a socket from systemd is shared
        // with its socket unit, which would fail at a shut-down socket and serve nobody more.
        const MHD_socket listening = MHD_quiesce_daemon(m_daemon);
        MHD_stop_daemon(m_daemon);
        if (listening != MHD_INVALID_SOCKET)
            ::close(listening);
    }
    m_daemon = nullptr;
}

void FeedServer::answered() {
    const std::lock_guard lock(m_mutex);
    if (--m_answering == 0)
        m_answered.notify_all();
}

void FeedServer::sweepSlowClients() {
    const auto period = std::clamp<Clock::duration>(
        m_options.clientTimeout / 4, std::chrono::milliseconds(25), std::chrono::seconds(1));
    std::unique_lock lock(m_mutex);
    while (!m_stopping.wait_for(lock, period, [this] { return m_stopped; })) {
        const long long now = Ticks(Clock::now());
        for (Watch* watch : m_watches) {
            if (watch->deadline.load(std::memory_order_relaxed) < now) {
                watch->deadline = LLONG_MAX;
                // The event loop then sees the end of the stream and closes the connection.
                ::shutdown(watch->fd, SHUT_RDWR);
            }
        }
    }
}

void FeedServer::OnConnection(void* self, MHD_Connection* connection, void** watch,
                              MHD_ConnectionNotificationCode code) {
    auto* server = static_cast<FeedServer*>(self);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        auto* started = new Watch;
        started->fd =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD)->connect_fd;
        started->deadline = Ticks(Clock::now() + server->m_options.clientTimeout);
        *watch = started;
        const std::lock_guard lock(server->m_mutex);
        server->m_watches.insert(started);
    } else if (*watch) {
        auto* ended = static_cast<Watch*>(*watch);
        {
            const std::lock_guard lock(server->m_mutex);
            server->m_watches.erase(ended);
        }
        delete ended;
        *watch = nullptr;
    }
}

void* FeedServer::OnRequestLine(void*, const char* target, MHD_Connection*) {
    auto* request = new std::shared_ptr<Request>(std::make_shared<Request>());
    (*request)->targetLength = std::char_traits<char>::length(target);
    return request;
}

void FeedServer::OnRequestEnded(void* self, MHD_Connection* connection, void** request,
                                MHD_RequestTerminationCode) {
    auto* ended = static_cast<std::shared_ptr<Request>*>(*request);
    if (ended && std::exchange((*ended)->owed, false)) // the client left while it waited
        static_cast<FeedServer*>(self)->answered();
    delete ended;
    *request = nullptr;
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    if (info && info->socket_context) {
        const auto timeout = static_cast<FeedServer*>(self)->m_options.clientTimeout;
        static_cast<Watch*>(info->socket_context)->deadline = Ticks(Clock::now() + timeout);
    }
}

MHD_Result FeedServer::OnRequest(void* self, MHD_Connection* connection, const char* url,
                                 const char* method, const char*, const char*,
                                 std::size_t* uploadSize, void** state) {
    auto* server = static_cast<FeedServer*>(self);
    if (!*state)
        return MHD_NO;
    const std::shared_ptr<Request> request = *static_cast<std::shared_ptr<Request>*>(*state);
    if (!request->headersIn) {
        if (const char* why = AmbiguousFraming(connection, method))
            return Queue(connection, Refusal(400, why), nullptr, true);
    }
    // Answering before the whole request is read would cost the connection its keep-alive.
    if (!request->headersIn || *uploadSize != 0) {
        request->headersIn = true;
        *uploadSize = 0; // a body is read and dropped
        return MHD_YES;
    }
    if (request->asked) {
        const std::lock_guard lock(request->mutex);
        if (!request->reply)
            return MHD_YES;
        if (std::exchange(request->owed, false))
            server->answered();
        return Queue(connection, *request->reply);
    }
    request->asked = true;
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    if (info && info->socket_context)
        static_cast<Watch*>(info->socket_context)->deadline = LLONG_MAX;

    if (request->targetLength > kMaxTarget)
        return Queue(connection, Refusal(414, "Request too long.\n"));
    const std::string_view verb(method);
    if (verb != "GET" && verb != "HEAD")
        return Queue(connection, Refusal(405, "Only GET is served.\n"), "GET, HEAD");
    if (std::string_view(url) != FeedContract::kPath)
        return Queue(connection,
                     Refusal(404, "Only /forecastrss?p=ZIP&u=f or u=c is served here.\n"));

    const std::optional<std::string_view> zip = Argument(connection, "p");
    const std::optional<std::string_view> unit = Argument(connection, "u");
    if (!zip || !unit)
        return Queue(connection, Refusal(400, "p and u may not hold control characters.\n"));
    {
        const std::lock_guard lock(server->m_mutex);
        if (server->m_stopped)
            return Queue(connection, Refusal(503, "The service is stopping.\n"));
        ++server->m_answering;
        request->owed = true;
    }
    server->m_service.answer(*zip, *unit, [request, connection](const Reply& r) {
        const std::lock_guard lock(request->mutex);
        request->reply = r;
        if (request->suspended) {
            request->suspended = false;
            MHD_resume_connection(connection);
        }
    });
    const std::lock_guard lock(request->mutex);
    if (request->reply) {
        request->owed = false;
        server->answered();
        return Queue(connection, *request->reply);
    }
    // Waits for the upstream call without holding the event loop.
    MHD_suspend_connection(connection);
    request->suspended = true;
    return MHD_YES;
}

} // namespace feed
