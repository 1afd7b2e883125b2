#include "report/Announce.h"

#include "core/Error.h"

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
