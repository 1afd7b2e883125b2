#include "report/EspeakSynthesiser.h"

#include "core/Error.h"

#include <espeak-ng/speak_lib.h>

#include <QByteArray>
#include <mutex>
#include <optional>

namespace {

// Short pieces keep the first sound quick and let a purge cut in promptly.
constexpr int kPieceMs = 20;

// espeak-ng is one synthesiser per process: every call into it goes through this lock. Never
// destroyed: a thread left speaking at exit may still hold it.
std::mutex& espeakMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

// Where the synthesiser's callback sends its samples: set around each espeak_Synth call on the
// thread that makes it.
struct SynthTarget {
    const Synthesiser::Sink* sink;
    bool stopped = false;
};
thread_local SynthTarget* t_target = nullptr;

int onSynthesised(short* samples, int count, espeak_EVENT* /*events*/) {
    SynthTarget* target = t_target;
    if (!target || !samples)
        return 0;
    if (count > 0 && !(*target->sink)(samples, static_cast<size_t>(count))) {
        target->stopped = true;
        return 1;
    }
    return 0;
}

// Starts espeak-ng once for the whole process (it keeps no per-user state worth tearing down);
// returns its sample rate, or a value <= 0 when it cannot start. Call with espeakMutex held.
int startEspeak() {
    static const int sampleRate = [] {
        const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, kPieceMs, nullptr,
                                           espeakINITIALIZE_DONT_EXIT);
        if (rate > 0)
            espeak_SetSynthCallback(&onSynthesised);
        return rate;
    }();
    return sampleRate;
}

// Loads the voice (by its name, unique among espeak-ng's voices) unless it is already the
// synthesiser's; an empty id is espeak-ng's default English voice. Call with espeakMutex held.
bool useVoice(const QString& id) {
    static std::optional<QString> loaded;
    if (loaded && *loaded == id)
        return true;
    const QByteArray name = id.isEmpty() ? QByteArrayLiteral("en") : id.toUtf8();
    if (espeak_SetVoiceByName(name.constData()) != EE_OK) {
        loaded.reset();
        return false;
    }
    loaded = id;
    return true;
}

class EspeakSynthesiser final : public Synthesiser {
public:
    EspeakSynthesiser() {
        std::lock_guard lock(espeakMutex());
        if (startEspeak() != kSpeechRate)
            throw NimbrelError(ErrorCode::SpeechInitFailed,
                               QStringLiteral("espeak-ng could not be initialised"));
        for (const espeak_VOICE** voice = espeak_ListVoices(nullptr); voice && *voice; ++voice) {
            // languages: a priority byte, then the voice's first language tag.
            const char* languages = (*voice)->languages;
            m_voices.push_back(
                {QString::fromUtf8((*voice)->name), QString::fromUtf8((*voice)->name),
                 languages && *languages ? QString::fromUtf8(languages + 1) : QString()});
        }
    }

    VoiceTokens voices() const override { return m_voices; }

    Outcome synthesise(const QString& text, const QString& voiceId, const Sink& sink) override {
        std::lock_guard lock(espeakMutex());
        if (!useVoice(voiceId))
            return Outcome::VoiceFailed;
        SynthTarget target{&sink};
        t_target = &target;
        const QByteArray utf8 = text.toUtf8();
        const espeak_ERROR status =
            espeak_Synth(utf8.constData(), static_cast<size_t>(utf8.size()) + 1, 0, POS_CHARACTER,
                         0, espeakCHARS_UTF8, nullptr, nullptr);
        t_target = nullptr;
        if (target.stopped)
            return Outcome::Stopped;
        return status == EE_OK ? Outcome::Spoken : Outcome::SynthesisFailed;
    }

private:
    VoiceTokens m_voices;
};

} // namespace

std::unique_ptr<Synthesiser> CreateEspeakSynthesiser() {
    return std::make_unique<EspeakSynthesiser>();
}
