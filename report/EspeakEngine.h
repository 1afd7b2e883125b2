#pragma once

#include "core/Error.h"
#include "report/AudioOut.h"
#include "report/SpeechEngine.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Speaks with espeak-ng. Texts are synthesised on the engine's own thread and their samples go
// out through an AudioOut, the same path as the chime; espeak-ng's own playback is not used,
// since it drops the sound without a word when no device can be opened.
class EspeakEngine final : public SpeechEngine {
public:
    // Throws NimbrelError(ErrorCode::SpeechInitFailed) when espeak-ng cannot start.
    explicit EspeakEngine(AudioOpener openAudio = OpenSoundDevice);
    ~EspeakEngine() override;
    EspeakEngine(const EspeakEngine&) = delete;
    EspeakEngine& operator=(const EspeakEngine&) = delete;

    VoiceTokens GetVoices() const override;
    // Throws NimbrelError(SpeechSetVoiceFailed) for a voice the engine does not list.
    void SetVoice(const VoiceToken& voice) override;
    // Throws NimbrelError(SpeechNoAudioDevice) when the sound device cannot be opened, and
    // reports a synthesis failure of an earlier text (SpeechSynthesisFailed).
    void Speak(const QString& text, int flags) override;
    // Opens its stream and plays on the engine's chime thread; the stream then waits for the next
    // purging Speak, which speaks on right behind the chime.
    void Chime(const QString& path, std::function<void()> heard) override;

    // The samples the chosen voice gives for text, into memory instead of the device. Waits
    // while the engine is synthesising a text of its own.
    std::vector<short> Synthesise(const QString& text);

private:
    enum class Outcome { Spoken, Cancelled, DeviceFailed, VoiceFailed, SynthesisFailed };

    void run();
    Outcome speakOne(const QString& text, const QString& voiceId, std::uint64_t generation,
                     AudioOut* device);

    const AudioOpener m_openAudio;
    int m_sampleRate = 0;
    VoiceTokens m_voices;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<QString> m_queue;
    std::atomic<std::uint64_t> m_generation{0}; // moves on at every purge and at the end
    std::unique_ptr<AudioOut> m_device;         // opened by Speak, closed by the worker
    std::unique_ptr<AudioOut> m_chimeDevice;    // has just played the chime; waits for a purge
    std::unique_ptr<AudioOut> m_nextDevice;     // handed over by a purge, taken by the worker
    QString m_voiceId;
    std::optional<NimbrelError> m_failure; // of an earlier text, reported by the next Speak
    bool m_stop = false;
    std::atomic<bool> m_closing{false};
    std::thread m_chimer;
    std::thread m_worker;
};

// The engine the program speaks with, or null when espeak-ng cannot start.
std::unique_ptr<SpeechEngine> CreateEspeakEngine();
