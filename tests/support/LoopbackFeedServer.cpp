#include "tests/support/LoopbackFeedServer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <microhttpd.h>
#include <netinet/in.h>

LoopbackFeedServer::Answer LoopbackFeedServer::document(QByteArray body) {
    Answer answer;
    answer.body = std::move(body);
    return answer;
}

LoopbackFeedServer::Answer LoopbackFeedServer::status(int status, QByteArray body) {
    Answer answer;
    answer.status = status;
    answer.body = std::move(body);
    answer.contentType = "text/html";
    return answer;
}

LoopbackFeedServer::Answer LoopbackFeedServer::silent(std::chrono::milliseconds delay) {
    Answer answer = document(QByteArray());
    answer.delay = delay;
    return answer;
}

LoopbackFeedServer::Answer LoopbackFeedServer::droppedMidBody(QByteArray body) {
    Answer answer = document(std::move(body));
    answer.dropAfter = static_cast<std::size_t>(answer.body.size() / 2);
    return answer;
}

LoopbackFeedServer::Answer LoopbackFeedServer::trickled(QByteArray body, std::size_t pieceBytes,
                                                        std::chrono::milliseconds pause) {
    Answer answer = document(std::move(body));
    answer.pieceBytes = pieceBytes;
    answer.piecePause = pause;
    return answer;
}

// The body of one answer, handed out by MHD in pieces.
struct LoopbackFeedServer::Sending {
    LoopbackFeedServer* server;
    Answer answer;
    std::size_t piece;
};

LoopbackFeedServer::LoopbackFeedServer() {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const MHD_AccessHandlerCallback handler = [](void* self, MHD_Connection* connection,
                                                 const char*, const char*, const char*, const char*,
                                                 std::size_t* uploadSize, void** target) {
        auto* raw = static_cast<QString*>(*target);
        // The first call brings the headers only; answering then would close the
        // connection, which a client may keep alive.
        if (raw->startsWith(u'\n') || *uploadSize != 0) {
            *uploadSize = 0;
            return MHD_YES;
        }
        raw->prepend(u'\n');
        return static_cast<LoopbackFeedServer*>(self)->respond(connection, raw->mid(1)) ? MHD_YES
                                                                                        : MHD_NO;
    };
    const auto keepTarget = [](void*, const char* uri, MHD_Connection*) -> void* {
        return new QString(QString::fromUtf8(uri));
    };
    const MHD_RequestCompletedCallback dropTarget = [](void*, MHD_Connection*, void** target,
                                                       MHD_RequestTerminationCode) {
        delete static_cast<QString*>(*target);
    };
    // A thread per connection, so that a delay or a pause may simply wait.
    m_daemon = MHD_start_daemon(
        MHD_USE_THREAD_PER_CONNECTION | MHD_USE_INTERNAL_POLLING_THREAD, 0, nullptr, nullptr,
        handler, this, MHD_OPTION_SOCK_ADDR, &address, MHD_OPTION_URI_LOG_CALLBACK,
        static_cast<void* (*)(void*, const char*, MHD_Connection*)>(keepTarget), nullptr,
        MHD_OPTION_NOTIFY_COMPLETED, dropTarget, nullptr, MHD_OPTION_END);
    if (!m_daemon)
        throw std::runtime_error("LoopbackFeedServer: no free port on 127.0.0.1");
    m_port = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT)->port;
}

LoopbackFeedServer::~LoopbackFeedServer() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_stopping.notify_all();
    MHD_stop_daemon(m_daemon);
}

bool LoopbackFeedServer::respond(MHD_Connection* connection, const QString& target) {
    const Answer answer = answerFor(target);
    if (!pause(answer.delay))
        return false;
    const auto size = static_cast<std::size_t>(answer.body.size());
    const bool plain = !answer.chunked && answer.pieceBytes == 0 && answer.dropAfter >= size;
    MHD_Response* response = nullptr;
    if (plain) {
        response = MHD_create_response_from_buffer(size, const_cast<char*>(answer.body.data()),
                                                   MHD_RESPMEM_MUST_COPY);
    } else {
        // Sends the next piece from offset, never past dropAfter; an error closes the connection.
        const MHD_ContentReaderCallback sendPiece = [](void* state, std::uint64_t position,
                                                       char* buffer, std::size_t room) {
            auto& sending = *static_cast<Sending*>(state);
            const Answer& a = sending.answer;
            const auto offset = static_cast<std::size_t>(position);
            const auto total = static_cast<std::size_t>(a.body.size());
            if (offset >= a.dropAfter)
                return static_cast<ssize_t>(MHD_CONTENT_READER_END_WITH_ERROR);
            if (offset >= total)
                return static_cast<ssize_t>(MHD_CONTENT_READER_END_OF_STREAM);
            if (offset > 0 && !sending.server->pause(a.piecePause))
                return static_cast<ssize_t>(MHD_CONTENT_READER_END_WITH_ERROR);
            const std::size_t end = std::min({offset + sending.piece, total, a.dropAfter});
            const std::size_t count = std::min(end - offset, room);
            std::memcpy(buffer, a.body.constData() + offset, count);
            return static_cast<ssize_t>(count);
        };
        auto* sending = new Sending{this, answer, answer.pieceBytes > 0 ? answer.pieceBytes : size};
        response = MHD_create_response_from_callback(
            answer.chunked ? MHD_SIZE_UNKNOWN : size, 64 * 1024, sendPiece, sending,
            [](void* state) { delete static_cast<Sending*>(state); });
    }
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.constData());
    const MHD_Result queued =
        MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
    MHD_destroy_response(response);
    return queued == MHD_YES;
}

QString LoopbackFeedServer::host() const {
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

void LoopbackFeedServer::serve(Answer answer) {
    serveInTurn({std::move(answer)});
}

void LoopbackFeedServer::serveInTurn(QList<Answer> answers) {
    const std::lock_guard lock(m_mutex);
    m_answers = std::move(answers);
}

QStringList LoopbackFeedServer::targets() const {
    const std::lock_guard lock(m_mutex);
    return m_targets;
}

int LoopbackFeedServer::requestCount() const {
    const std::lock_guard lock(m_mutex);
    return static_cast<int>(m_targets.size());
}

LoopbackFeedServer::Answer LoopbackFeedServer::answerFor(const QString& target) {
    const std::lock_guard lock(m_mutex);
    const qsizetype turn = std::min(m_targets.size(), m_answers.size() - 1);
    m_targets.append(target);
    return m_answers.value(turn);
}

bool LoopbackFeedServer::pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(m_mutex);
    return !m_stopping.wait_for(lock, duration, [this] { return m_stopped; });
}
