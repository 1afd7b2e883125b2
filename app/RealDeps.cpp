#include "app/RealDeps.h"

#include "app/Version.h"
#include "report/EspeakSynthesiser.h"
#include "report/EspeakVoices.h"
#include "report/FeedLauncher.h"
#include "report/FliteVoices.h"
#include "report/Modules.h"
#include "report/NetworkFetch.h"
#include "report/SoundModule.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

QString modulePath(const char* file) {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/modules/") +
           QLatin1String(file);
}

// Read by the sound server's client library when a stream opens, so set before the first one.
void describeSoundStreams() {
    // The desktop's mixer shows the chime and the speech as Nimbrel, with its icon. No media
    // role: an event role could let do-not-disturb silence an announcement.
    if (!qEnvironmentVariableIsSet("PULSE_PROP_application.icon_name"))
        qputenv("PULSE_PROP_application.icon_name", "nimbrel");
}

} // namespace

std::shared_future<VoiceTokens> StartReadingVoices() {
    // Read on the window's thread when no thread can be started.
    return std::async(
               std::launch::async | std::launch::deferred,
               [] { return InstalledVoices(EspeakVoices::DataDir(), FliteVoices::LibraryDirs()); })
        .share();
}

Form1Deps PrepareRealApplication(std::shared_future<VoiceTokens> voices) {
    QApplication::setApplicationName(QStringLiteral("Nimbrel"));
    QApplication::setDesktopFileName(QStringLiteral("nimbrel"));
    // The window hides into the notification area; the program lives on without it.
    QApplication::setQuitOnLastWindowClosed(false);
    describeSoundStreams();

    Form1Deps deps;
    deps.documentsDir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (deps.documentsDir.isEmpty())
        deps.documentsDir = QDir::homePath() + QStringLiteral("/Documents");
    deps.runtimeDir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    deps.feedHost = QString::fromLatin1(kFeedHost);
    // Installed as data in <prefix>/share/nimbrel (the program is <prefix>/lib/nimbrel/nimbrel);
    // a build tree keeps it beside the program.
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString installedChime =
        QDir::cleanPath(programDir + QStringLiteral("/../../share/nimbrel/weather.wav"));
    deps.chimePath = QFile::exists(installedChime) ? installedChime
                                                   : programDir + QStringLiteral("/weather.wav");
    deps.createSpeechEngine = [voices]() -> std::unique_ptr<SpeechEngine> {
        return SpeechThroughModule(
            modulePath(kSoundModuleFile), [voices] { return voices.get(); },
            FliteThroughModule(modulePath(kFliteModuleFile), kSpeechRate,
                               FliteVoices::LibraryDirs()));
    };
    // Where no service answers on the default host, the installation's own feed does.
    deps.fetch = FeedLauncher::Around(
        FetchThroughModule(modulePath(kNetworkModuleFile)),
        std::make_shared<FeedLauncher>(FeedLauncher::ProgramBeside(programDir), deps.feedHost));
    deps.notificationBus = [] { return QDBusConnection::sessionBus(); };
    return deps;
}
