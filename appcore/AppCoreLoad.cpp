// The load step: runs once, before the window is first shown. It never stops on an error and
// never reports one; a step that fails is skipped and the next one runs.
#include "appcore/AppCore.h"

#include "appcore/InstanceLock.h"
#include "core/AtomicFile.h"
#include "schedule/TimeKey.h"

#include <QDir>
#include <QFile>
#include <QLockFile>

namespace {

template <typename Step> void runStep(Step&& step) {
    try {
        step();
    } catch (...) {
        // Start-up reaches its end whatever a step throws.
    }
}

} // namespace

bool AppCore::Form_Load() {
    m_loading = true;
    runStep([&] { QDir().mkpath(DataDir); });

    // One instance per user and data folder, whatever the runtime folder says.
    InstanceLock lock = TakeInstanceLock(m_deps.runtimeDir.isEmpty()
                                             ? QString()
                                             : m_deps.runtimeDir + QStringLiteral("/nimbrel.lock"),
                                         DataDir + QStringLiteral("/.nimbrel.lock"));
    if (lock.anotherRuns)
        return false;
    m_instanceLock = std::move(lock);
    runStep([&] {
        RemoveLeftoverTemporaryFiles(DataDir, [](const QString& name) {
            return Settings::IsSettingsFileName(name) || ParseScheduleFileName(name).has_value();
        });
    });

    runStep([&] {
        if (m_deps.createSpeechEngine)
            SpeechEngine = m_deps.createSpeechEngine();
    });
    runStep([&] { RefreshTimeList(); });

    // The stored settings, applied as the controls' handlers would: each is written back. The
    // controls themselves show them once the window is first shown.
    runStep([&] { m_settings.Load(); });
    runStep([&] {
        if (m_settings.metric())
            SetMetric(true);
    });
    for (const Settings::File file : Settings::kSectionFiles)
        runStep([&] {
            if (m_settings.section(file))
                SetSection(file, true);
        });

    VoiceTokens voices;
    int firstStartVoice = 0;
    runStep([&] {
        if (!SpeechEngine)
            return;
        voices = SpeechEngine->GetVoices();
        // espeak-ng lists Afrikaans first: a first start would read the English report in it.
        firstStartVoice = DefaultVoicePosition(voices);
    });
    runStep([&] {
        if (const auto position =
                m_settings.voicePosition(static_cast<int>(voices.size()), firstStartVoice))
            SelectVoice(*position);
    });

    m_loading = false;
    return true;
}
