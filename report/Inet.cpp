#include "report/Inet.h"

#include "core/Error.h"

Inet::Inet(FeedFetch fetch, std::chrono::milliseconds timeout, QObject* parent)
    : QObject(parent)
    , m_fetch(std::move(fetch))
    , m_timeout(timeout) {}

QString Inet::OpenURL(const QString& url) {
    const Result<QString> body =
        m_fetch ? m_fetch(url, m_timeout)
                : Failure{QStringLiteral("No network library is available"), ErrorCode::FeedOther};
    if (!body) {
        // Without the error state when quitting, so that nothing starts the fetch again.
        if (body.code() != ErrorCode::FeedInterrupted)
            Q_EMIT StateChanged(icError);
        throw NimbrelError(body.code(), body.error());
    }
    Q_EMIT StateChanged(icResponseCompleted);
    return body.value();
}
