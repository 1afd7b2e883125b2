// A network module as another build of the program made it: the same interface under the id of
// that build.
#include <QObject>

class OtherBuildModule final : public QObject {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.example.Nimbrel.NetworkModule/0.9-000000000000")
};

#include "OtherBuildModule.moc"
