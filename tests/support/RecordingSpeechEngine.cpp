#include "tests/support/RecordingSpeechEngine.h"

#include "core/Error.h"

RecordingSpeechEngine::RecordingSpeechEngine(int voiceCount, QStringList languages)
    : m_voiceCount(voiceCount)
    , m_languages(std::move(languages)) {}

VoiceTokens RecordingSpeechEngine::GetVoices() const {
    VoiceTokens voices;
    for (int i = 0; i < m_voiceCount; ++i)
        voices.push_back({QStringLiteral("voice-%1").arg(i), QStringLiteral("Voice %1").arg(i),
                          m_languages.value(i)});
    return voices;
}

void RecordingSpeechEngine::SetVoice(const VoiceToken& voice) {
    ++setVoiceCalls;
    if (failSetVoiceWithCode)
        throw NimbrelError(*failSetVoiceWithCode, QStringLiteral("voice refused"));
    currentVoice = voice.id;
}

void RecordingSpeechEngine::Speak(const QString& text, int flags) {
    if (failSpeakWithCode && spoken.size() >= failSpeakAfter)
        throw NimbrelError(*failSpeakWithCode, QStringLiteral("speech failed"));
    spoken.append({text, flags});
}

void RecordingSpeechEngine::Chime(const QString& path, std::function<void()> heard) {
    chimes.append(path);
    heard();
}
