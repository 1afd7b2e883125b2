#pragma once

#include "core/Result.h"

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>

// One synchronous GET of url within the time-out: the body of a 2xx answer that arrived whole,
// decoded as UTF-8, or a failure with an ErrorCode::Feed* code (FeedInterrupted when the
// application quit during the wait). While it waits, the caller's thread keeps running timers and
// repaints, but user input waits until it returns. Never throws.
using FeedFetch =
    std::function<Result<QString>(const QString& url, std::chrono::milliseconds timeout)>;

// The feed fetch: one synchronous HTTP GET that returns the whole body as text. The transfer
// itself is a FeedFetch, so that the network library loads at the first fetch, not at start.
class Inet final : public QObject {
    Q_OBJECT

public:
    // States reported through StateChanged, numbered as the transfer control numbered them.
    enum State : int {
        icError = 11,             // the request failed
        icResponseCompleted = 12, // the whole body has arrived
    };

    // A larger body is refused: a feed document is a few kilobytes.
    static constexpr qint64 kMaxBodyBytes = 1024 * 1024;

    explicit Inet(FeedFetch fetch, std::chrono::milliseconds timeout = std::chrono::seconds(60),
                  QObject* parent = nullptr);

    // GETs url and returns its body decoded as UTF-8. Only a 2xx answer of at most kMaxBodyBytes,
    // complete within the time-out, counts; anything else emits StateChanged(icError) and then
    // throws NimbrelError with a feed code (ErrorCode::Feed*). Redirects are not followed. When the
    // application quits during the wait, it throws FeedOther without the error state.
    QString OpenURL(const QString& url);

Q_SIGNALS:
    void StateChanged(int state);

private:
    FeedFetch m_fetch;
    std::chrono::milliseconds m_timeout;
};
