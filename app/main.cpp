#include "app/Form1.h"
#include "app/Module2.h"
#include "app/QuitOnSignal.h"
#include "app/Version.h"
#include "report/EspeakEngine.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Nimbrel"));
    QApplication::setDesktopFileName(QStringLiteral("nimbrel"));
    // The window hides into the notification area; the program lives on without it.
    QApplication::setQuitOnLastWindowClosed(false);

    Form1Deps deps;
    deps.documentsDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (deps.documentsDir.isEmpty())
        deps.documentsDir = QDir::homePath() + QStringLiteral("/Documents");
    deps.runtimeDir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    deps.feedHost = QString::fromLatin1(kFeedHost);
    deps.chimePath = QCoreApplication::applicationDirPath() + QStringLiteral("/weather.wav");
    deps.createSpeechEngine = CreateEspeakEngine;

    Form1 form(std::move(deps));
    if (!form.Form_Load())
        return 0;
    QuitOnTerminationSignals(&app);
    // Logout and shutdown end the program too; the icon goes with it.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &Module2::RemoveTrayIcon);
    return QApplication::exec();
}
