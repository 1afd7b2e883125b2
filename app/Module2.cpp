#include "app/Module2.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

namespace Module2 {
namespace {
// The one icon of the program, as the shell's single notify record was.
QPointer<QSystemTrayIcon> g_icon;
QPointer<QMenu> g_menu;

// The question Qt asks to choose between a StatusNotifierItem and an XEmbed icon. Such hosts
// (waybar, lxqt-panel, GNOME's AppIndicator extension) show the item's menu on a right click,
// some even on a left one, instead of passing the click on; an XEmbed host passes every click.
bool statusNotifierHostPresent() {
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(watcher).value())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        watcher, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

} // namespace

bool AddTrayIcon(const QIcon& icon, const QString& tip, QWidget* window,
                 std::function<void()> askExit, std::optional<bool> areaExists) {
    if (!g_icon) {
        const bool menuHost = statusNotifierHostPresent();
        // By name such a host draws the theme's icon at its own size, sharp at any density.
        // Created even without a notification area: Qt shows it if a tray host appears later.
        g_icon = new QSystemTrayIcon(
            menuHost ? QIcon::fromTheme(QStringLiteral("nimbrel"), icon) : icon, window);
        g_icon->setToolTip(tip);
        QObject::connect(g_icon, &QSystemTrayIcon::activated, window,
                         [window](QSystemTrayIcon::ActivationReason reason) {
                             if (DecodeTrayMessage(MessageForReason(reason)) != 0)
                                 ShowFromTray(window);
                         });
        // Not on an XEmbed host, which would pop the menu up beside the window on a right click.
        if (menuHost) {
            g_menu = TrayMenu(window, std::move(askExit));
            g_icon->setContextMenu(g_menu);
        }
        g_icon->show();
    }
    if (!areaExists.value_or(QSystemTrayIcon::isSystemTrayAvailable()))
        return false;
    window->hide();
    return true;
}

void RemoveTrayIcon() {
    if (g_icon) {
        g_icon->hide();
        delete g_icon;
    }
    delete g_menu;
}

QMenu* TrayMenu(QWidget* window, std::function<void()> askExit) {
    auto* menu = new QMenu;
    QObject::connect(menu->addAction(QStringLiteral("Show Nimbrel")), &QAction::triggered, window,
                     [window] { ShowFromTray(window); });
    QObject::connect(menu->addAction(QStringLiteral("Exit")), &QAction::triggered, window,
                     std::move(askExit));
    return menu;
}

int DecodeTrayMessage(int message) {
    switch (message) {
    case WM_LBUTTONDOWN:
        return 3;
    case WM_LBUTTONDBLCLK:
        return 1;
    case WM_RBUTTONDOWN:
        return 2;
    default:
        return 0;
    }
}

void ShowFromTray(QWidget* window) {
    // Many window managers let the user minimise the window; with no taskbar button, only the icon
    // can bring it back.
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

int MessageForReason(int activationReason) {
    switch (activationReason) {
    case QSystemTrayIcon::Trigger:
        return WM_LBUTTONDOWN;
    case QSystemTrayIcon::DoubleClick:
        return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::Context:
        return WM_RBUTTONDOWN;
    default: // middle click, or anything Qt adds later
        return WM_MOUSEMOVE;
    }
}

} // namespace Module2
