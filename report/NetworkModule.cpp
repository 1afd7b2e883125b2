#include "report/NetworkFetch.h"

namespace {

class QtNetworkModule final : public QObject, public NetworkModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID NIMBREL_NETWORK_MODULE_IID)
    Q_INTERFACES(NetworkModule)

public:
    Result<QString> fetch(const QString& url, std::chrono::milliseconds timeout) const override {
        return NetworkFetch(url, timeout);
    }
};

} // namespace

#include "NetworkModule.moc"
