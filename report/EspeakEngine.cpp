#include "report/EspeakEngine.h"

#include "report/Chime.h"

#include <espeak-ng/speak_lib.h>

#include <QByteArray>
#include <algorithm>
#include <utility>
#include <vector>

namespace {

// Short pieces keep the first sound quick and let a purge cut in promptly.
constexpr int kPieceMs = 20;

// espeak-ng is one synthesiser per process: every call into it goes through this lock.
std::mutex& espeakMutex() {
    static std::mutex mutex;
    return mutex;
}

// Where the synthesiser's callback sends its samples: set around each espeak_Synth call on
// the thread that makes it.
struct SynthTarget {
    const std::atomic<std::uint64_t>* generation;
    std::uint64_t startedAt;
    AudioOut* device;
    bool cancelled = false;
    bool deviceFailed = false;
};
thread_local SynthTarget* t_target = nullptr;

int onSynthesised(short* samples, int count, espeak_EVENT* /*events*/) {
    SynthTarget* target = t_target;
    if (!target || !samples)
        return 0;
    if (target->generation->load() != target->startedAt) {
        target->cancelled = true;
        return 1;
    }
    if (count > 0 && !target->device->write(samples, static_cast<size_t>(count))) {
        target->deviceFailed = true;
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
    const espeak_ERROR status = espeak_SetVoiceByName(name.constData());
    if (status != EE_OK) {
        loaded.reset();
        return false;
    }
    loaded = id;
    return true;
}

} // namespace

EspeakEngine::EspeakEngine(AudioOpener openAudio)
    : m_openAudio(std::move(openAudio)) {
    {
        std::lock_guard lock(espeakMutex());
        m_sampleRate = startEspeak();
        if (m_sampleRate <= 0 || !m_openAudio)
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
    m_worker = std::thread(&EspeakEngine::run, this);
}

EspeakEngine::~EspeakEngine() {
    m_closing = true;
    if (m_chimer.joinable())
        m_chimer.join();
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_queue.clear();
        ++m_generation;
    }
    m_wake.notify_all();
    m_worker.join();
}

VoiceTokens EspeakEngine::GetVoices() const {
    return m_voices;
}

void EspeakEngine::SetVoice(const VoiceToken& voice) {
    RequireListed(m_voices, voice);
    std::lock_guard lock(m_mutex);
    m_voiceId = voice.id;
}

void EspeakEngine::Speak(const QString& text, int flags) {
    std::lock_guard lock(m_mutex);
    if (m_failure) {
        const NimbrelError failure = *m_failure;
        m_failure.reset();
        throw failure;
    }
    if (flags & SVSFPurgeBeforeSpeak) {
        m_queue.clear();
        ++m_generation;
        if (m_chimeDevice)
            m_nextDevice = std::move(m_chimeDevice);
        m_wake.notify_one();
    }
    if (text.isEmpty())
        return;
    // Opened here rather than on the worker so that a missing device fails this call.
    if (!m_device && !m_nextDevice) {
        Result<std::unique_ptr<AudioOut>> opened = m_openAudio(m_sampleRate, 1);
        if (!opened)
            throw NimbrelError(ErrorCode::SpeechNoAudioDevice, opened.error());
        m_device = std::move(opened.value());
    }
    m_queue.push_back(text);
    m_wake.notify_one();
}

void EspeakEngine::Chime(const QString& path, std::function<void()> heard) {
    if (m_chimer.joinable())
        m_chimer.join();
    m_chimer = std::thread([this, path, heard = std::move(heard)] {
        const Sound sound = ToMono(LoadChimeSound(path), m_sampleRate);
        Result<std::unique_ptr<AudioOut>> opened = m_openAudio(m_sampleRate, 1);
        std::unique_ptr<AudioOut> device = opened ? std::move(opened.value()) : nullptr;
        // Small pieces, so that closing the engine need not wait for the whole chime.
        const auto piece = static_cast<size_t>(m_sampleRate * kPieceMs / 1000);
        for (size_t at = 0; device && at < sound.samples.size() && !m_closing; at += piece) {
            if (!device->write(sound.samples.data() + at,
                               std::min(piece, sound.samples.size() - at)))
                device.reset();
        }
        {
            std::lock_guard lock(m_mutex);
            m_chimeDevice = std::move(device);
        }
        heard();
    });
}

std::vector<short> EspeakEngine::Synthesise(const QString& text) {
    struct Memory final : AudioOut {
        std::vector<short> samples;
        bool write(const short* data, size_t count) override {
            samples.insert(samples.end(), data, data + count);
            return true;
        }
        bool drain() override { return true; }
        void flush() override {}
        int bufferMs() const override { return 0; }
    } memory;
    QString voiceId;
    {
        std::lock_guard lock(m_mutex);
        voiceId = m_voiceId;
    }
    if (speakOne(text, voiceId, m_generation, &memory) != Outcome::Spoken)
        throw NimbrelError(ErrorCode::SpeechSynthesisFailed,
                           QStringLiteral("espeak-ng could not synthesise the text"));
    return memory.samples;
}

EspeakEngine::Outcome EspeakEngine::speakOne(const QString& text, const QString& voiceId,
                                             std::uint64_t generation, AudioOut* device) {
    std::lock_guard lock(espeakMutex());
    if (!useVoice(voiceId))
        return Outcome::VoiceFailed;
    SynthTarget target{&m_generation, generation, device};
    t_target = &target;
    const QByteArray utf8 = text.toUtf8();
    const espeak_ERROR status =
        espeak_Synth(utf8.constData(), static_cast<size_t>(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                     espeakCHARS_UTF8, nullptr, nullptr);
    t_target = nullptr;
    if (target.deviceFailed)
        return Outcome::DeviceFailed;
    if (target.cancelled)
        return Outcome::Cancelled;
    return status == EE_OK ? Outcome::Spoken : Outcome::SynthesisFailed;
}

// The worker: speaks the queue in order; on a purge drops what the device still holds; when
// the queue runs dry it plays silence until the device can hold nothing else, then closes it.
// (pcaudiolib's drain cannot be interrupted, and a purge must be heard at once.)
void EspeakEngine::run() {
    const std::vector<short> silence(static_cast<size_t>(m_sampleRate * kPieceMs / 1000));
    std::unique_lock lock(m_mutex);
    std::uint64_t seen = m_generation;
    int silenceMs = 0;
    while (!m_stop) {
        if (m_generation != seen) {
            seen = m_generation;
            if (m_device) {
                AudioOut* device = m_device.get();
                lock.unlock();
                device->flush();
                lock.lock();
                silenceMs = device->bufferMs();
            }
            if (m_nextDevice) {
                // The purged speech's stream goes; the chime's stream speaks on.
                std::unique_ptr<AudioOut> purged = std::exchange(m_device, std::move(m_nextDevice));
                silenceMs = 0;
                lock.unlock();
                purged.reset();
                lock.lock();
            }
            continue;
        }
        if (!m_queue.empty() && m_device) {
            const QString text = m_queue.front();
            m_queue.pop_front();
            const QString voiceId = m_voiceId;
            AudioOut* device = m_device.get();
            lock.unlock();
            const Outcome outcome = speakOne(text, voiceId, seen, device);
            lock.lock();
            silenceMs = 0;
            switch (outcome) {
            case Outcome::Spoken:
            case Outcome::Cancelled:
                break;
            case Outcome::DeviceFailed:
                // The next Speak opens the device anew and says so if it still fails.
                m_device.reset();
                m_queue.clear();
                break;
            case Outcome::VoiceFailed:
                m_failure.emplace(
                    ErrorCode::SpeechSetVoiceFailed,
                    QStringLiteral("espeak-ng could not load voice \"%1\"").arg(voiceId));
                break;
            case Outcome::SynthesisFailed:
                m_failure.emplace(ErrorCode::SpeechSynthesisFailed,
                                  QStringLiteral("espeak-ng could not synthesise the text"));
                break;
            }
            continue;
        }
        if (m_device) {
            if (silenceMs >= m_device->bufferMs()) {
                m_device.reset();
                continue;
            }
            AudioOut* device = m_device.get();
            lock.unlock();
            const bool written = device->write(silence.data(), silence.size());
            lock.lock();
            silenceMs += kPieceMs;
            if (!written)
                m_device.reset();
            continue;
        }
        m_wake.wait(lock);
    }
    if (m_device) {
        m_device->flush();
        m_device.reset();
    }
}

std::unique_ptr<SpeechEngine> CreateEspeakEngine() {
    try {
        return std::make_unique<EspeakEngine>();
    } catch (const NimbrelError&) {
        return nullptr;
    }
}
