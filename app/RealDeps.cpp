#include "app/RealDeps.h"

#include "app/Version.h"
#include "core/Error.h"
#include "report/EspeakSynthesiser.h"
#include "report/EspeakVoices.h"
#include "report/FliteVoices.h"
#include "report/LazySpeechEngine.h"
#include "report/NetworkFetch.h"
#include "report/SoundModule.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <dlfcn.h>

namespace {

// A module of the program's modules folder, loaded once, when first needed; null when it cannot be
// loaded (what needed it then fails with its own message).
template <typename Module> const Module* loadModule(const char* file, const char* entryName) {
    const QByteArray path = QFile::encodeName(QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/modules/") + QLatin1String(file));
    void* handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        qWarning("Nimbrel: cannot load %s: %s", file, dlerror());
        return nullptr;
    }
    using Entry = const Module* (*)();
    const auto entry = reinterpret_cast<Entry>(dlsym(handle, entryName));
    return entry ? entry() : nullptr;
}

// Loaded at the first announcement.
const SoundModule* soundModule() {
    static const SoundModule* const module =
        loadModule<SoundModule>(kSoundModuleFile, kSoundModuleEntry);
    return module;
}

// Loaded when a Flite voice first speaks.
std::unique_ptr<Synthesiser> loadFlite(QString* why) {
    static const FliteModule* const module =
        loadModule<FliteModule>(kFliteModuleFile, kFliteModuleEntry);
    if (!module) {
        *why = QStringLiteral("the module %1 could not be loaded")
                   .arg(QLatin1String(kFliteModuleFile));
        return nullptr;
    }
    return module->createSynthesiser(kSpeechRate, FliteVoices::LibraryDirs(), why);
}

// Loaded at the first fetch.
FetchOutcome fetchThroughModule(const QString& url, std::chrono::milliseconds timeout) {
    static const NetworkModule* const module =
        loadModule<NetworkModule>(kNetworkModuleFile, kNetworkModuleEntry);
    if (!module)
        return {{},
                ErrorCode::FeedOther,
                QStringLiteral("The network module %1 could not be loaded")
                    .arg(QLatin1String(kNetworkModuleFile)),
                false};
    return module->fetch(url, timeout);
}

std::unique_ptr<SpeechEngine> createSpeechEngine(std::shared_future<VoiceTokens> voices) {
    return std::make_unique<LazySpeechEngine>([voices] { return voices.get(); },
                                              []() -> std::unique_ptr<SpeechEngine> {
                                                  const SoundModule* module = soundModule();
                                                  return module ? module->createEngine(&loadFlite)
                                                                : nullptr;
                                              },
                                              [](const QString& path) {
                                                  if (const SoundModule* module = soundModule())
                                                      module->playChime(path);
                                              });
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
    deps.createSpeechEngine = [voices] { return createSpeechEngine(voices); };
    deps.fetch = fetchThroughModule;
    deps.notificationBus = [] { return QDBusConnection::sessionBus(); };
    return deps;
}
