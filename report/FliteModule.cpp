#include "report/FliteSynthesiser.h"
#include "report/SoundModule.h"

namespace {

class FliteVoicesModule final : public QObject, public FliteModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID NIMBREL_FLITE_MODULE_IID)
    Q_INTERFACES(FliteModule)

public:
    std::unique_ptr<Synthesiser> createSynthesiser(int sampleRate, const QStringList& dirs,
                                                   QString* why) const override {
        return CreateFliteSynthesiser(sampleRate, dirs, why);
    }
};

} // namespace

#include "FliteModule.moc"
