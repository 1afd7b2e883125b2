#include "report/Inet.h"

#include "core/Error.h"

Inet::Inet(FeedFetch fetch, std::chrono::milliseconds timeout, QObject* parent)
    : QObject(parent)
    , m_fetch(std::move(fetch))
    , m_timeout(timeout) {}

QString Inet::OpenURL(const QString& url) {
    FetchOutcome outcome = m_fetch ? m_fetch(url, m_timeout)
                                   : FetchOutcome{{},
                                                  ErrorCode::FeedOther,
                                                  QStringLiteral("No network library is available"),
                                                  false};
    if (outcome.interrupted)
        // Without the error state, so that nothing starts the fetch again while quitting.
        throw NimbrelError(ErrorCode::FeedOther,
                           QStringLiteral("Fetch of %1 interrupted").arg(url));
    if (outcome.code != 0) {
        Q_EMIT StateChanged(icError);
        throw NimbrelError(outcome.code, outcome.detail);
    }
    Q_EMIT StateChanged(icResponseCompleted);
    return outcome.body;
}
