#include "report/Modules.h"

#include "core/Error.h"
#include "report/LazySpeechEngine.h"
#include "report/ModuleLoader.h"
#include "report/NetworkFetch.h"
#include "report/SoundModule.h"

SynthesiserLoader FliteThroughModule(const QString& modulePath, int sampleRate, QStringList dirs) {
    auto loader =
        std::make_shared<ModuleLoader>(modulePath, QStringLiteral(NIMBREL_FLITE_MODULE_IID));
    return [loader, sampleRate, dirs](QString* why) -> std::unique_ptr<Synthesiser> {
        const Result<FliteModule*> module = loader->loadAs<FliteModule>();
        if (!module) {
            *why = module.error();
            return nullptr;
        }
        return module.value()->createSynthesiser(sampleRate, dirs, why);
    };
}

FeedFetch FetchThroughModule(const QString& modulePath) {
    auto loader =
        std::make_shared<ModuleLoader>(modulePath, QStringLiteral(NIMBREL_NETWORK_MODULE_IID));
    return [loader](const QString& url, std::chrono::milliseconds timeout) -> Result<QString> {
        const Result<NetworkModule*> module = loader->loadAs<NetworkModule>();
        if (!module)
            return Failure{module.error(), ErrorCode::FeedModuleFailed};
        return module.value()->fetch(url, timeout);
    };
}

std::unique_ptr<SpeechEngine> SpeechThroughModule(const QString& modulePath,
                                                  std::function<VoiceTokens()> listVoices,
                                                  SynthesiserLoader loadFlite) {
    auto loader =
        std::make_shared<ModuleLoader>(modulePath, QStringLiteral(NIMBREL_SOUND_MODULE_IID));
    const auto module = [loader] {
        const Result<SoundModule*> loaded = loader->loadAs<SoundModule>();
        if (!loaded)
            throw NimbrelError(ErrorCode::SpeechModuleFailed, loaded.error());
        return loaded.value();
    };
    return std::make_unique<LazySpeechEngine>(
        std::move(listVoices), [module, loadFlite] { return module()->createEngine(loadFlite); },
        [module](const QString& path) {
            try {
                module()->playChime(path);
            } catch (const NimbrelError&) {
                // The chime never fails an announcement; the speech tells why.
            }
        });
}
