#include "feed/FeedServer.h"

#include <httplib.h>

namespace feed {
namespace {

constexpr std::size_t kMaxTarget = 256;
constexpr const char* kXml = "text/xml; charset=UTF-8";
constexpr const char* kText = "text/plain; charset=UTF-8";

} // namespace

FeedServer::FeedServer(const FeedOptions& options, const ZipTable& zips)
    : m_options(options)
    , m_service(options.service, zips)
    , m_server(std::make_unique<httplib::Server>()) {
    httplib::Server& server = *m_server;
    const std::size_t threads = m_options.threads;
    server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    server.set_payload_max_length(0); // GET carries no body
    server.set_read_timeout(5, 0);
    server.set_write_timeout(5, 0);
    server.set_keep_alive_timeout(5);
    server.set_keep_alive_max_count(100);
    server.set_tcp_nodelay(true);

    server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (req.target.size() > kMaxTarget) {
            res.status = 414;
            res.set_content("Request too long.\n", kText);
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.method != "GET" && req.method != "HEAD") {
            res.status = 405;
            res.set_header("Allow", "GET, HEAD");
            res.set_content("Only GET is served.\n", kText);
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.Get("/forecastrss", [this](const httplib::Request& req, httplib::Response& res) {
        const Reply reply = m_service.answer(req.get_param_value("p"), req.get_param_value("u"));
        res.status = reply.status;
        res.set_content(*reply.body, reply.xml ? kXml : kText);
    });
    const httplib::Server::HandlerWithResponse explainRefusal = [](const httplib::Request&,
                                                                   httplib::Response& res) {
        if (!res.body.empty())
            return httplib::Server::HandlerResponse::Unhandled;
        res.set_content("Only /forecastrss?p=ZIP&u=f or u=c is served here.\n", kText);
        return httplib::Server::HandlerResponse::Handled;
    };
    server.set_error_handler(explainRefusal);
}

FeedServer::~FeedServer() = default;

bool FeedServer::bind() {
    if (m_options.port == 0)
        m_port = m_server->bind_to_any_port(m_options.host);
    else
        m_port = m_server->bind_to_port(m_options.host, m_options.port) ? m_options.port : -1;
    return m_port > 0;
}

bool FeedServer::run() {
    return m_server->listen_after_bind();
}

bool FeedServer::isRunning() const {
    return m_server->is_running();
}

void FeedServer::stop() {
    m_server->stop();
}

} // namespace feed
