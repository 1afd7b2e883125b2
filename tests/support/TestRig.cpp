#include "tests/support/TestRig.h"

#include "report/NetworkFetch.h"
#include "tests/support/FeedDocuments.h"
#include "tests/support/FileBytes.h"

QString TestRig::chimePath() const {
    return documents.filePath(QStringLiteral("no-such-chime.wav"));
}

QByteArray TestRig::stored(const char* name) const {
    return readBytes(dataDir() + QLatin1Char('/') + QLatin1String(name));
}

AppCoreDeps TestRig::coreDeps(const TestRigOptions& options) {
    feed.serve(LoopbackFeedServer::document(FeedDocuments::document()));
    AppCoreDeps deps;
    deps.documentsDir = options.documentsDir.isEmpty() ? documents.path() : options.documentsDir;
    m_dataDir = deps.documentsDir + QStringLiteral("/Nimbrel");
    deps.runtimeDir = options.runtimeDir.isEmpty() ? runtime.path() : options.runtimeDir;
    deps.feedHost = options.feedHost.isEmpty() ? feed.host() : options.feedHost;
    deps.chimePath = chimePath();
    deps.createSpeechEngine = [this, voices = options.voices,
                               languages =
                                   options.voiceLanguages]() -> std::unique_ptr<SpeechEngine> {
        ++enginesCreated;
        if (voices < 0)
            return nullptr;
        auto made = std::make_unique<RecordingSpeechEngine>(voices, languages);
        engine = made.get();
        return made;
    };
    if (options.speechEngine)
        deps.createSpeechEngine = options.speechEngine;
    deps.fetch = options.fetch ? options.fetch : &NetworkFetch;
    deps.clock = options.clock ? options.clock : clock;
    deps.fetchTimeout = options.fetchTimeout;
    return deps;
}

TestCore::TestCore(TestRigOptions options)
    : core(std::make_unique<AppCore>(coreDeps(options))) {
    QObject::connect(core.get(), &AppCore::cityFound, [this](const QString& text) { city = text; });
    QObject::connect(core.get(), &AppCore::reportText,
                     [this](const QString& text) { weather = text; });
    QObject::connect(core.get(), &AppCore::showWindow, [this] { ++windowShown; });
    QObject::connect(core.get(), &AppCore::failedToReport,
                     [this](const QString& message) { failures.append(message); });
    QObject::connect(core.get(), &AppCore::noticeToShow,
                     [this](AppCore::Notice kind, const QString& text) {
                         notices.append({kind, text});
                     });
    if (options.load)
        loaded = core->Form_Load();
}
