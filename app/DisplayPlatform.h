#pragma once

#include <QByteArray>
#include <QString>

// What the environment says about the displays the window could be opened on.
struct DisplayEnvironment {
    QByteArray requested;      // QT_QPA_PLATFORM: the user's own choice, followed as it is
    QByteArray waylandDisplay; // WAYLAND_DISPLAY
    QByteArray x11Display;     // DISPLAY
    QByteArray sessionType;    // XDG_SESSION_TYPE
    QByteArray desktop;        // XDG_CURRENT_DESKTOP
    bool waylandPluginInstalled = false;

    // Reads the environment; looks for Qt's Wayland plug-in only in a Wayland session.
    static DisplayEnvironment Current();
};

struct PlatformChoice {
    QByteArray platforms; // Qt's platform names in the order to try; empty when none can work
    QString missing;      // what is missing, when none can work
};

PlatformChoice ChoosePlatform(const DisplayEnvironment& env);

// What is missing when none of the platforms (as ChoosePlatform gives them) could be opened.
QString UnreachablePlatforms(const DisplayEnvironment& env, const QByteArray& platforms);

// Until EndPlatformWatch, Qt's failure to open every platform ends the program with one line on
// standard error (exit status 1) instead of an abort, and Qt's messages are held back. Call right
// before constructing the QApplication.
void WatchPlatformStart(const DisplayEnvironment& env, const QByteArray& platforms);
// Puts the previous message handler back and passes the held-back messages on, unless the
// platform opened is not the first one tried: the first one's complaints are then expected.
void EndPlatformWatch(const QString& openedPlatform);

// The one line the program prints when it cannot open its window.
void PrintNoWindow(const QString& missing);
