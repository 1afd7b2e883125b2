#include "report/SoundModule.h"

#include "report/Chime.h"
#include "report/VoiceEngine.h"

namespace {

class VoiceSoundModule final : public QObject, public SoundModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID NIMBREL_SOUND_MODULE_IID)
    Q_INTERFACES(SoundModule)

public:
    std::unique_ptr<SpeechEngine> createEngine(SynthesiserLoader loadFlite) const override {
        return CreateVoiceEngine(std::move(loadFlite));
    }
    void playChime(const QString& path) const override { PlayChime(path); }
};

} // namespace

#include "SoundModule.moc"
