#pragma once

#include "report/SpeechEngine.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// A speech engine that records what it was asked, for tests of the window and the announcement.
// Voices are "Voice 0", "Voice 1"..., with the given language tags (none by default). A call can be
// made to fail with a speech error code.
class RecordingSpeechEngine final : public SpeechEngine {
public:
    struct Spoken {
        QString text;
        int flags;
        bool operator==(const Spoken&) const = default;
    };

    explicit RecordingSpeechEngine(int voiceCount = 3, QStringList languages = {});

    VoiceTokens GetVoices() const override;
    void SetVoice(const VoiceToken& voice) override;
    void Speak(const QString& text, int flags) override;

    QList<Spoken> spoken;
    QString currentVoice;
    int setVoiceCalls = 0;
    std::optional<int> failSpeakWithCode; // throw this code from Speak
    int failSpeakAfter = 0;               // ...after this many successful calls
    std::optional<int> failSetVoiceWithCode;

private:
    int m_voiceCount;
    QStringList m_languages;
};
