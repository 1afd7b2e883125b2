#include "report/Announce.h"

#include "core/Error.h"

#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <memory>

void Announce(SpeechEngine* engine, const std::function<void()>& playChime,
              const ReportSections& sections) {
    playChime();
    if (!engine)
        throw NimbrelError(ErrorCode::SpeechNoEngine, QStringLiteral("no speech engine"));
    using Flags = SpeechEngine::SpeakFlags;
    engine->Speak(sections.opening, Flags::SVSFlagsAsync | Flags::SVSFPurgeBeforeSpeak);
    engine->Speak(sections.forecast, Flags::SVSFlagsAsync);
    engine->Speak(sections.atmosphere, Flags::SVSFlagsAsync);
    engine->Speak(sections.sun, Flags::SVSFlagsAsync);
}

void PlayChimeAndWait(SpeechEngine& engine, const QString& path) {
    auto heard = std::make_shared<std::atomic<bool>>(false);
    engine.Chime(path, [heard] { *heard = true; });
    if (*heard)
        return;
    // Polled: the engine calls from its own thread, which may outlive this wait when the
    // program quits in the middle of it.
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (*heard)
            loop.quit();
    });
    poll.start(5);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}
