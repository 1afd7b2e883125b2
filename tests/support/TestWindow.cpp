#include "tests/support/TestWindow.h"

#include "app/MessageBox.h"
#include "app/Module2.h"
#include "report/NetworkFetch.h"
#include "tests/support/FeedDocuments.h"
#include "tests/support/FileBytes.h"

#include <QComboBox>
#include <QPushButton>

TestWindow::TestWindow(TestWindowOptions options) {
    feed.serve(LoopbackFeedServer::document(FeedDocuments::document()));
    Form1Deps deps;
    deps.documentsDir = options.documentsDir.isEmpty() ? documents.path() : options.documentsDir;
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
    deps.fetch = &NetworkFetch;
    deps.clock = options.clock ? std::move(options.clock) : clock;
    deps.fetchTimeout = options.fetchTimeout;
    deps.notificationBus = std::move(options.notificationBus);
    deps.quit = [this] { ++quits; };
    form = std::make_unique<Form1>(std::move(deps));
    if (options.load)
        loaded = form->Form_Load();
}

TestWindow::~TestWindow() {
    form.reset();
    Module2::RemoveTrayIcon();
    Module2::SetTrayAvailableForTests(std::nullopt);
    MessageBox::resetAnswers();
}

QString TestWindow::chimePath() const {
    return documents.filePath(QStringLiteral("no-such-chime.wav"));
}

QByteArray TestWindow::stored(const char* name) const {
    return readBytes(dataDir() + QLatin1Char('/') + QLatin1String(name));
}

void TestWindow::setTimeBoxes(const QString& hour, const QString& minute, const QString& period) {
    control<QComboBox>("Combo1")->setEditText(hour);
    control<QComboBox>("Combo2")->setEditText(minute);
    control<QComboBox>("Combo3")->setEditText(period);
}

void TestWindow::addTime(const QString& hour, const QString& minute, const QString& period) {
    setTimeBoxes(hour, minute, period);
    control<QPushButton>("Command1")->click();
}
