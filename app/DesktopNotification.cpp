#include "app/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QTimer>
#include <QVariantMap>

namespace {

// A service that takes longer than this is as good as none: the window is shown instead.
constexpr int kAnswerTimeoutMs = 5000;

} // namespace

void SendNotification(const QDBusConnection& bus, const QString& summary, const QString& body,
                      QObject* context, std::function<void()> whenUnanswered) {
    if (!bus.isConnected()) {
        QTimer::singleShot(0, context, std::move(whenUnanswered));
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("nimbrel")}};
    call << QStringLiteral("Nimbrel") << 0U << QStringLiteral("nimbrel") << summary << body
         << QStringList() << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerTimeoutMs), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, whenUnanswered = std::move(whenUnanswered)] {
                         watcher->deleteLater();
                         if (watcher->isError())
                             whenUnanswered();
                     });
}
