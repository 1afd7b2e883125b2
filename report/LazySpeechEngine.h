#pragma once

#include "report/SpeechEngine.h"

#include <functional>
#include <memory>
#include <optional>

// Lists its voices when first asked and starts the real engine only when it first chimes or
// speaks, so that the synthesiser and the sound libraries cost a start nothing.
class LazySpeechEngine final : public SpeechEngine {
public:
    // listVoices gives the voice list (called once); createEngine gives the real engine, or null
    // or a NimbrelError when it cannot start; playChimeAlone plays a chime file to its end when
    // there is no real engine to play it.
    LazySpeechEngine(std::function<VoiceTokens()> listVoices, SpeechEngineFactory createEngine,
                     std::function<void(const QString& path)> playChimeAlone);
    ~LazySpeechEngine() override;
    LazySpeechEngine(const LazySpeechEngine&) = delete;
    LazySpeechEngine& operator=(const LazySpeechEngine&) = delete;

    VoiceTokens GetVoices() const override;
    // Throws NimbrelError(SpeechSetVoiceFailed) for a voice the list does not hold.
    void SetVoice(const VoiceToken& voice) override;
    // Throws the error that kept the real engine from starting (SpeechInitFailed when it gave
    // none); it is tried again at the next call.
    void Speak(const QString& text, int flags) override;
    void Chime(const QString& path, std::function<void()> heard) override;

private:
    SpeechEngine* engine();
    const VoiceTokens& voices() const;

    std::function<VoiceTokens()> m_listVoices;
    mutable std::optional<VoiceTokens> m_voices;
    SpeechEngineFactory m_createEngine;
    std::function<void(const QString& path)> m_playChimeAlone;
    std::unique_ptr<SpeechEngine> m_engine;
    std::optional<NimbrelError> m_whyNone; // why the last start of the real engine failed
    std::optional<VoiceToken> m_voice;
};
