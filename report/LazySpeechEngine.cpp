#include "report/LazySpeechEngine.h"

#include <thread>

LazySpeechEngine::LazySpeechEngine(std::function<VoiceTokens()> listVoices,
                                   SpeechEngineFactory createEngine,
                                   std::function<void(const QString& path)> playChimeAlone)
    : m_listVoices(std::move(listVoices))
    , m_createEngine(std::move(createEngine))
    , m_playChimeAlone(std::move(playChimeAlone)) {}

LazySpeechEngine::~LazySpeechEngine() = default;

const VoiceTokens& LazySpeechEngine::voices() const {
    if (!m_voices)
        m_voices = m_listVoices ? m_listVoices() : VoiceTokens();
    return *m_voices;
}

VoiceTokens LazySpeechEngine::GetVoices() const {
    return voices();
}

void LazySpeechEngine::SetVoice(const VoiceToken& voice) {
    RequireListed(voices(), voice);
    if (m_engine)
        m_engine->SetVoice(voice);
    m_voice = voice;
}

void LazySpeechEngine::Speak(const QString& text, int flags) {
    SpeechEngine* real = engine();
    if (!real)
        throw m_whyNone.value_or(NimbrelError(
            ErrorCode::SpeechInitFailed, QStringLiteral("espeak-ng could not be initialised")));
    real->Speak(text, flags);
}

void LazySpeechEngine::Chime(const QString& path, std::function<void()> heard) {
    if (SpeechEngine* real = engine()) {
        real->Chime(path, std::move(heard));
        return;
    }
    if (!m_playChimeAlone) {
        heard();
        return;
    }
    std::thread([play = m_playChimeAlone, path, heard = std::move(heard)] {
        play(path);
        heard();
    }).detach();
}

SpeechEngine* LazySpeechEngine::engine() {
    if (m_engine || !m_createEngine)
        return m_engine.get();
    // Tried at every announcement until it starts: a module that could not be loaded may be back.
    m_whyNone.reset();
    try {
        m_engine = m_createEngine();
    } catch (const NimbrelError& error) {
        m_whyNone = error;
    }
    // The voice chosen so far becomes the real engine's; a voice it refuses leaves its default,
    // as the voice list's handler would have been told at the time.
    if (m_engine && m_voice) {
        try {
            m_engine->SetVoice(*m_voice);
        } catch (const NimbrelError&) {
        }
    }
    return m_engine.get();
}
