#include "report/NetworkFetch.h"

#include "core/Error.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
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

QNetworkAccessManager* manager() {
    static QPointer<QNetworkAccessManager> made;
    if (!made) {
        made = new QNetworkAccessManager(QCoreApplication::instance());
        // The feed is asked for directly, never through a proxy named by the environment.
        made->setProxy(QNetworkProxy::NoProxy);
    }
    return made;
}

Failure failed(int code, const QString& detail) {
    return {detail, code};
}

} // namespace

Result<QString> NetworkFetch(const QString& url, std::chrono::milliseconds timeout) {
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
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        bool known = false;
        const qint64 announced =
            reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known && announced > Inet::kMaxBodyBytes)
            refuseTooLarge();
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&] {
        body += reply->readAll();
        if (body.size() > Inet::kMaxBodyBytes)
            refuseTooLarge();
    });

    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        reply->abort();
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) {
        deadline.start(timeout);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    deadline.stop();
    QObject::disconnect(reply.get(), nullptr, &loop, nullptr);
    if (!reply->isFinished()) {
        // The application is quitting (QCoreApplication::exit ends every loop).
        reply->abort();
        return failed(ErrorCode::FeedInterrupted,
                      QStringLiteral("Fetch of %1 interrupted").arg(url));
    }
    if (!tooLarge && !timedOut) {
        body += reply->readAll();
        tooLarge = body.size() > Inet::kMaxBodyBytes;
    }

    if (timedOut)
        return failed(ErrorCode::FeedTimeout,
                      QStringLiteral("No complete answer from %1 within %2 ms")
                          .arg(url)
                          .arg(timeout.count()));
    if (tooLarge)
        return failed(ErrorCode::FeedTooLarge,
                      QStringLiteral("The answer from %1 is larger than %2 bytes")
                          .arg(url)
                          .arg(Inet::kMaxBodyBytes));

    const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int status = statusAttribute.toInt();
    if (statusAttribute.isValid() && (status < 200 || status > 299))
        return failed(ErrorCode::FeedBadStatus,
                      QStringLiteral("%1 answered with status %2").arg(url).arg(status));
    if (reply->error() != QNetworkReply::NoError)
        return failed(codeForNetworkError(reply->error()), reply->errorString());
    if (!statusAttribute.isValid())
        return failed(ErrorCode::FeedOther, QStringLiteral("%1 gave no HTTP answer").arg(url));
    return QString::fromUtf8(body);
}
