#include "app/DisplayPlatform.h"

#include <QByteArrayList>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QList>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

struct Watch {
    QString unreachable;
    QString first;
    QtMessageHandler previous = nullptr;
    QList<HeldMessage> held;
};
Watch* g_watch = nullptr;

void watchMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        // Qt's own words here end in "Reinstalling the application may fix this problem", which
        // is rarely the cure: say what is missing instead.
        PrintNoWindow(g_watch->unreachable);
        std::_Exit(1);
    }
    g_watch->held.append({type, context.category, text});
}

} // namespace

DisplayEnvironment DisplayEnvironment::Current() {
    DisplayEnvironment env;
    env.requested = qgetenv("QT_QPA_PLATFORM");
    env.waylandDisplay = qgetenv("WAYLAND_DISPLAY");
    env.x11Display = qgetenv("DISPLAY");
    env.sessionType = qgetenv("XDG_SESSION_TYPE");
    env.desktop = qgetenv("XDG_CURRENT_DESKTOP");
    if (!env.waylandDisplay.isEmpty() || env.sessionType == "wayland" ||
        env.requested.contains("wayland"))
        env.waylandPluginInstalled =
            QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                              QStringLiteral("/platforms/libqwayland-generic.so"));
    return env;
}

PlatformChoice ChoosePlatform(const DisplayEnvironment& env) {
    if (!env.requested.isEmpty())
        return {env.requested, {}};
    const bool waylandSession = !env.waylandDisplay.isEmpty() || env.sessionType == "wayland";
    const bool wayland = waylandSession && env.waylandPluginInstalled;
    // Qt itself prefers X11 (XWayland) on GNOME, whose Wayland session draws no client-side
    // frames for Qt.
    const bool x11First = env.desktop.toLower().contains("gnome");
    QByteArrayList platforms;
    if (wayland && !x11First)
        platforms << "wayland";
    if (!env.x11Display.isEmpty())
        platforms << "xcb";
    if (wayland && x11First)
        platforms << "wayland";
    if (!platforms.isEmpty())
        return {platforms.join(';'), {}};
    if (waylandSession)
        return {{},
                QStringLiteral("this Wayland session needs Qt's Wayland plug-in (package "
                               "qt6-wayland), and no X11 display is set (DISPLAY)")};
    return {{}, QStringLiteral("no display is set (neither WAYLAND_DISPLAY nor DISPLAY)")};
}

QString UnreachablePlatforms(const DisplayEnvironment& env, const QByteArray& platforms) {
    QStringList tried;
    for (const QByteArray& name : platforms.split(';')) {
        if (name == "wayland" && !env.waylandPluginInstalled)
            tried << QStringLiteral("Qt's Wayland plug-in is not installed (package qt6-wayland)");
        else if (name == "wayland")
            tried << QStringLiteral("the Wayland compositor (WAYLAND_DISPLAY=%1) cannot be reached")
                         .arg(QString::fromLocal8Bit(
                             env.waylandDisplay.isEmpty() ? "wayland-0" : env.waylandDisplay));
        else if (name == "xcb")
            tried << QStringLiteral("the X11 display (DISPLAY=%1) cannot be reached")
                         .arg(QString::fromLocal8Bit(env.x11Display));
        else
            tried << QStringLiteral("the platform \"%1\" cannot be opened")
                         .arg(QString::fromLocal8Bit(name));
    }
    return tried.join(QStringLiteral("; "));
}

void WatchPlatformStart(const DisplayEnvironment& env, const QByteArray& platforms) {
    g_watch = new Watch{UnreachablePlatforms(env, platforms),
                        QString::fromLocal8Bit(platforms.split(';').constFirst()),
                        nullptr,
                        {}};
    g_watch->previous = qInstallMessageHandler(&watchMessages);
}

void EndPlatformWatch(const QString& openedPlatform) {
    qInstallMessageHandler(g_watch->previous);
    if (openedPlatform != g_watch->first)
        g_watch->held.clear();
    for (const HeldMessage& message : std::as_const(g_watch->held)) {
        const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
        qt_message_output(message.type, context, message.text);
    }
    delete g_watch;
    g_watch = nullptr;
}

void PrintNoWindow(const QString& missing) {
    std::fprintf(stderr, "nimbrel: cannot open the window: %s\n", qUtf8Printable(missing));
    std::fflush(stderr);
}
