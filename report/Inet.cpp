#include "report/Inet.h"

#include "core/Error.h"

#include <QEventLoop>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScopedPointer>
#include <QTimer>
#include <QUrl>

namespace {

int codeForNetworkError(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return ErrorCode::FeedRefused;
    case QNetworkReply::HostNotFoundError:
        return ErrorCode::FeedHostNotFound;
    case QNetworkReply::TimeoutError:
        return ErrorCode::FeedTimeout;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ProxyConnectionClosedError:
        return ErrorCode::FeedDropped;
    default:
        return ErrorCode::FeedOther;
    }
}

} // namespace

Inet::Inet(std::chrono::milliseconds timeout, QObject* parent)
    : QObject(parent)
    , m_timeout(timeout) {}

QNetworkAccessManager* Inet::manager() {
    if (!m_manager) {
        m_manager = std::make_unique<QNetworkAccessManager>();
        // The feed is asked for directly, never through a proxy named by the environment.
        m_manager->setProxy(QNetworkProxy::NoProxy);
    }
    return m_manager.get();
}

QString Inet::OpenURL(const QString& url) {
    QNetworkRequest request{QUrl(url)};
    // A feed that moved is a fault of the feed host, not a document.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);

    QScopedPointer<QNetworkReply, QScopedPointerDeleteLater> reply(manager()->get(request));
    QByteArray body;
    bool timedOut = false;
    bool tooLarge = false;

    // Abort as soon as the limit is passed, so a huge answer is neither waited for nor kept.
    const auto refuseTooLarge = [&] {
        tooLarge = true;
        reply->abort();
    };
    connect(reply.get(), &QNetworkReply::metaDataChanged, this, [&] {
        bool known = false;
        const qint64 announced =
            reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && announced > kMaxBodyBytes)
            refuseTooLarge();
    });
    connect(reply.get(), &QNetworkReply::readyRead, this, [&] {
        body += reply->readAll();
        if (body.size() > kMaxBodyBytes)
            refuseTooLarge();
    });

    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, [&] {
        timedOut = true;
        reply->abort();
    });
    connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) {
        deadline.start(m_timeout);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    deadline.stop();
    QObject::disconnect(reply.get(), nullptr, this, nullptr);
    if (!reply->isFinished()) {
        // The application is quitting (QCoreApplication::exit ends every loop): give up without
        // the error state, so that nothing starts the fetch again.
        reply->abort();
        throw NimbrelError(ErrorCode::FeedOther,
                           QStringLiteral("Fetch of %1 interrupted").arg(url));
    }
    if (!tooLarge && !timedOut) {
        body += reply->readAll();
        tooLarge = body.size() > kMaxBodyBytes;
    }

    if (timedOut)
        fail(ErrorCode::FeedTimeout, QStringLiteral("No complete answer from %1 within %2 ms")
                                         .arg(url)
                                         .arg(m_timeout.count()));
    if (tooLarge)
        fail(ErrorCode::FeedTooLarge, QStringLiteral("The answer from %1 is larger than %2 bytes")
                                          .arg(url)
                                          .arg(kMaxBodyBytes));

    const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int status = statusAttribute.toInt();
    if (statusAttribute.isValid() && (status < 200 || status > 299))
        fail(ErrorCode::FeedBadStatus,
             QStringLiteral("%1 answered with status %2").arg(url).arg(status));
    if (reply->error() != QNetworkReply::NoError)
        fail(codeForNetworkError(reply->error()), reply->errorString());
    if (!statusAttribute.isValid())
        fail(ErrorCode::FeedOther, QStringLiteral("%1 gave no HTTP answer").arg(url));

    Q_EMIT StateChanged(icResponseCompleted);
    return QString::fromUtf8(body);
}

void Inet::fail(int code, const QString& detail) {
    Q_EMIT StateChanged(icError);
    throw NimbrelError(code, detail);
}
