#pragma once

#include "core/Error.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

// One installed voice, as the engine lists it.
struct VoiceToken {
    QString id;          // what the engine needs to select the voice
    QString description; // display name shown in the voice list
    QString language{};  // its language tag, such as "en-us"

    QString GetDescription() const { return description; }
};

using VoiceTokens = std::vector<VoiceToken>;

// The speech engine the window speaks with. Every failing operation throws NimbrelError with a
// speech code (ErrorCode::Speech*).
class SpeechEngine {
public:
    enum SpeakFlags : int {
        SVSFlagsAsync = 1,        // queue after what is already queued
        SVSFPurgeBeforeSpeak = 2, // drop everything queued or playing first
    };

    virtual ~SpeechEngine() = default;

    // All installed voices, in the same order on every call.
    virtual VoiceTokens GetVoices() const = 0;
    // Makes the voice the one that later Speak calls use.
    virtual void SetVoice(const VoiceToken& voice) = 0;
    // Returns at once; the speech goes on apart from the caller's thread.
    virtual void Speak(const QString& text, int flags) = 0;
    // Plays the chime file (a stand-in tone when it is unreadable) apart from the caller's thread,
    // on the sound stream that the next purging Speak then speaks on, so that nothing falls
    // between them. Calls heard, from any thread, once the chime has been played, or at once
    // when nothing can play it. Earlier speech goes on meanwhile. Never throws.
    virtual void Chime(const QString& path, std::function<void()> heard) = 0;
};

// The token at a position of the collection; throws NimbrelError(SpeechNoVoice) when out of range.
inline VoiceToken Item(const VoiceTokens& voices, int position) {
    if (position < 0 || static_cast<size_t>(position) >= voices.size())
        throw NimbrelError(ErrorCode::SpeechNoVoice,
                           QStringLiteral("No voice at position %1").arg(position));
    return voices[static_cast<size_t>(position)];
}

// Throws NimbrelError(SpeechSetVoiceFailed) unless voices holds the voice.
inline void RequireListed(const VoiceTokens& voices, const VoiceToken& voice) {
    for (const VoiceToken& listed : voices)
        if (listed.id == voice.id)
            return;
    throw NimbrelError(ErrorCode::SpeechSetVoiceFailed,
                       QStringLiteral("There is no voice \"%1\"").arg(voice.id));
}

// The voice a first start selects: Flite's slt, else the first "en-us" voice, else the first
// English one ("en" or "en-*"), else position 0. Told by the language tag, never by the name: a
// name may mention English for a voice that speaks another language.
int DefaultVoicePosition(const VoiceTokens& voices);

// Every voice the program offers, in the voice list's order: espeak-ng's voices from its data
// folder, in espeak-ng's order, then Flite's found in fliteDirs. Loads no synthesiser.
VoiceTokens InstalledVoices(const QString& espeakDataDir, const QStringList& fliteDirs);

// Creates an engine; returns null when none can be created.
using SpeechEngineFactory = std::function<std::unique_ptr<SpeechEngine>()>;
