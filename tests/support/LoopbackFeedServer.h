#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <limits>
#include <memory>
#include <mutex>

struct MHD_Connection;
struct MHD_Daemon;

// A real HTTP server on 127.0.0.1, on a free port, answering every GET on its own thread with
// what the test scripted. Typical use:
//
//     LoopbackFeedServer server;                         // listening once constructed
//     server.serve(LoopbackFeedServer::document(body));  // every request gets this answer
//     form deps: feedHost = server.host();            // "127.0.0.1:<port>"
//     ... QCOMPARE(server.targets(), {"/forecastrss?p=90012&u=f"});
//
// serveInTurn() scripts a sequence: the n-th request gets the n-th answer, and the last answer
// repeats. Waits inside an answer (delay, trickle) end early when the server is destroyed.
class LoopbackFeedServer final {
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/xml;charset=UTF-8";
        std::chrono::milliseconds delay{0}; // wait before the status line is sent
        bool chunked = false;               // no Content-Length; the body goes out in chunks
        // Close the connection after this many body bytes, although Content-Length promised all.
        std::size_t dropAfter = std::numeric_limits<std::size_t>::max();
        // When set, the body goes out in pieces of this many bytes, with a pause between them.
        std::size_t pieceBytes = 0;
        std::chrono::milliseconds piecePause{0};
    };

    static Answer document(QByteArray body);
    static Answer status(int status, QByteArray body = "<html><body>Error</body></html>");
    static Answer silent(std::chrono::milliseconds delay); // answers nothing for this long
    static Answer droppedMidBody(QByteArray body);         // half the body, then the close
    static Answer trickled(QByteArray body, std::size_t pieceBytes,
                           std::chrono::milliseconds pause);

    LoopbackFeedServer();
    ~LoopbackFeedServer();
    LoopbackFeedServer(const LoopbackFeedServer&) = delete;
    LoopbackFeedServer& operator=(const LoopbackFeedServer&) = delete;

    int port() const { return m_port; }
    QString host() const; // "127.0.0.1:<port>", as the window's feed host

    void serve(Answer answer);
    void serveInTurn(QList<Answer> answers);

    // Path and raw query of every request so far, in arrival order, exactly as sent.
    QStringList targets() const;
    int requestCount() const;

private:
    struct Sending;
    bool respond(MHD_Connection* connection, const QString& target);
    Answer answerFor(const QString& target);
    bool pause(std::chrono::milliseconds duration); // false when the server is stopping

    MHD_Daemon* m_daemon = nullptr;
    int m_port = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_stopping;
    bool m_stopped = false;
    QList<Answer> m_answers{document({})};
    QStringList m_targets;
};
