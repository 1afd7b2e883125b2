#include "app/Module2.h"

#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

namespace Module2 {
namespace {
// The one icon of the program, as the shell's single notify record was.
QPointer<QSystemTrayIcon> g_icon;
std::optional<bool> g_trayAvailableForTests;
} // namespace

void SetTrayAvailableForTests(std::optional<bool> available) {
    g_trayAvailableForTests = available;
}

bool AddTrayIcon(const QIcon& icon, const QString& tip, QWidget* window) {
    if (!g_icon) {
        // Created even without a notification area: Qt shows it if a tray host appears later.
        g_icon = new QSystemTrayIcon(icon, window);
        g_icon->setToolTip(tip);
        QObject::connect(g_icon, &QSystemTrayIcon::activated, window,
                         [window](QSystemTrayIcon::ActivationReason reason) {
                             if (DecodeTrayMessage(MessageForReason(reason)) != 0)
                                 ShowFromTray(window);
                         });
        g_icon->show();
    }
    if (!g_trayAvailableForTests.value_or(QSystemTrayIcon::isSystemTrayAvailable()))
        return false;
    window->hide();
    return true;
}

void RemoveTrayIcon() {
    if (g_icon) {
        g_icon->hide();
        delete g_icon;
    }
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
