#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

// The feed fetch: one synchronous HTTP GET that returns the whole body as text. While it waits,
// the caller's thread keeps running timers and repaints, but user input waits until it returns.
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

    explicit Inet(std::chrono::milliseconds timeout = std::chrono::seconds(60),
                  QObject* parent = nullptr);

    // GETs url and returns its body decoded as UTF-8. Only a 2xx answer of at most kMaxBodyBytes,
    // complete within the time-out, counts; anything else emits StateChanged(icError) and then
    // throws NimbrelError with a feed code (ErrorCode::Feed*). Redirects are not followed. When the
    // application quits during the wait, it throws FeedOther without the error state.
    QString OpenURL(const QString& url);

Q_SIGNALS:
    void StateChanged(int state);

private:
    [[noreturn]] void fail(int code, const QString& detail);

    QNetworkAccessManager* manager();

    // Made at the first fetch: a start that never fetches need not pay for it.
    std::unique_ptr<QNetworkAccessManager> m_manager;
    std::chrono::milliseconds m_timeout;
};
