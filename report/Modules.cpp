#include "report/Modules.h"

#include "core/Error.h"
#include "report/LazySpeechEngine.h"
#include "report/ModuleLoader.h"
#include "report/NetworkFetch.h"
#include "report/SoundModule.h"

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
                                                  std::function<VoiceTokens()> listVoices) {
    auto loader =
        std::make_shared<ModuleLoader>(modulePath, QStringLiteral(NIMBREL_SOUND_MODULE_IID));
    const auto module = [loader] {
        const Result<SoundModule*> loaded = loader->loadAs<SoundModule>();
        if (!loaded)
            throw NimbrelError(ErrorCode::SpeechModuleFailed, loaded.error());
        return loaded.value();
    };
    return std::make_unique<LazySpeechEngine>(
        std::move(listVoices), [module] { return module()->createEngine(); },
        [module](const QString& path) {
            try {
                module()->playChime(path);
            } catch (const NimbrelError&) {
                // The chime never fails an announcement; the speech tells why.
            }
        });
}
