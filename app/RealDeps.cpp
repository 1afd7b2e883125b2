#include "app/RealDeps.h"

#include "app/Version.h"
#include "report/EspeakEngine.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>

Form1Deps PrepareRealApplication() {
    QApplication::setApplicationName(QStringLiteral("Nimbrel"));
    QApplication::setDesktopFileName(QStringLiteral("nimbrel"));
    // The window hides into the notification area; the program lives on without it.
    QApplication::setQuitOnLastWindowClosed(false);
    // The desktop's mixer lists the chime and the speech as Nimbrel with its icon. Read by the
    // sound server's client library when a stream opens, so set before the first one. No media
    // role: an event role could let do-not-disturb silence an announcement.
    if (!qEnvironmentVariableIsSet("PULSE_PROP_application.icon_name"))
        qputenv("PULSE_PROP_application.icon_name", "nimbrel");

    Form1Deps deps;
    deps.documentsDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (deps.documentsDir.isEmpty())
        deps.documentsDir = QDir::homePath() + QStringLiteral("/Documents");
    deps.runtimeDir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    deps.feedHost = QString::fromLatin1(kFeedHost);
    deps.chimePath = QCoreApplication::applicationDirPath() + QStringLiteral("/weather.wav");
    deps.createSpeechEngine = CreateEspeakEngine;
    deps.notificationBus = [] { return QDBusConnection::sessionBus(); };
    return deps;
}
