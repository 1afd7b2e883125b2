#include "tests/support/FeedServer.h"

#include <httplib.h>

#include <algorithm>
#include <stdexcept>

namespace {

std::string toStd(const QByteArray& bytes) {
    return bytes.toStdString();
}

} // namespace

FeedServer::Answer FeedServer::document(QByteArray body) {
    Answer answer;
    answer.body = std::move(body);
    return answer;
}

FeedServer::Answer FeedServer::status(int status, QByteArray body) {
    Answer answer;
    answer.status = status;
    answer.body = std::move(body);
    answer.contentType = "text/html";
    return answer;
}

FeedServer::Answer FeedServer::silent(std::chrono::milliseconds delay) {
    Answer answer = document(QByteArray());
    answer.delay = delay;
    return answer;
}

FeedServer::Answer FeedServer::droppedMidBody(QByteArray body) {
    Answer answer = document(std::move(body));
    answer.dropAfter = static_cast<std::size_t>(answer.body.size() / 2);
    return answer;
}

FeedServer::Answer FeedServer::trickled(QByteArray body, std::size_t pieceBytes,
                                        std::chrono::milliseconds pause) {
    Answer answer = document(std::move(body));
    answer.pieceBytes = pieceBytes;
    answer.piecePause = pause;
    return answer;
}

FeedServer::FeedServer()
    : m_server(std::make_unique<httplib::Server>()) {
    // Short keep-alive so that stopping never waits long for an idle connection.
    m_server->set_keep_alive_timeout(1);
    // The head and the body go out in separate writes; without this the body waits for the
    // client's delayed acknowledgement (some 40 ms) on every answer.
    m_server->set_tcp_nodelay(true);
    m_server->Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        const Answer answer = answerFor(QString::fromStdString(request.target));
        if (!pause(answer.delay))
            return;
        response.status = answer.status;
        const auto body = std::make_shared<std::string>(toStd(answer.body));
        const std::string contentType = toStd(answer.contentType);
        const std::size_t piece = answer.pieceBytes > 0 ? answer.pieceBytes : body->size();
        const bool plain =
            !answer.chunked && answer.pieceBytes == 0 && answer.dropAfter >= body->size();
        if (plain) {
            response.set_content(*body, contentType);
            return;
        }
        // Sends the next piece from offset, never past dropAfter; false closes the connection.
        auto sendPiece = [this, body, piece, answer](std::size_t offset, httplib::DataSink& sink) {
            if (offset >= answer.dropAfter)
                return false;
            const std::size_t end = std::min({offset + piece, body->size(), answer.dropAfter});
            if (offset > 0 && !pause(answer.piecePause))
                return false;
            sink.write(body->data() + offset, end - offset);
            return true;
        };
        if (answer.chunked) {
            response.set_chunked_content_provider(
                contentType, [body, sendPiece](std::size_t offset, httplib::DataSink& sink) {
                    if (offset >= body->size()) {
                        sink.done();
                        return true;
                    }
                    return sendPiece(offset, sink);
                });
        } else {
            response.set_content_provider(
                body->size(), contentType,
                [sendPiece](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                    return sendPiece(offset, sink);
                });
        }
    });
    // Bound and listening before the thread starts, so a request can be sent at once.
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("FeedServer: no free port on 127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // stop() is ignored until the server runs: without this wait, a quick destruction could
    // leave the thread listening for ever.
    while (!m_server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FeedServer::~FeedServer() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_stopping.notify_all();
    m_server->stop();
    m_thread.join();
}

QString FeedServer::host() const {
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

void FeedServer::serve(Answer answer) {
    serveInTurn({std::move(answer)});
}

void FeedServer::serveInTurn(QList<Answer> answers) {
    const std::lock_guard lock(m_mutex);
    m_answers = std::move(answers);
}

QStringList FeedServer::targets() const {
    const std::lock_guard lock(m_mutex);
    return m_targets;
}

int FeedServer::requestCount() const {
    const std::lock_guard lock(m_mutex);
    return static_cast<int>(m_targets.size());
}

FeedServer::Answer FeedServer::answerFor(const QString& target) {
    const std::lock_guard lock(m_mutex);
    const qsizetype turn = std::min(m_targets.size(), m_answers.size() - 1);
    m_targets.append(target);
    return m_answers.value(turn);
}

bool FeedServer::pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_mutex);
    return !m_stopping.wait_for(lock, duration, [this] { return m_stopped; });
}
