#pragma once

#include "report/SpeechEngine.h"

#include <QString>
#include <cstddef>
#include <functional>

// One speech synthesiser (espeak-ng, Flite) behind the engine: text in, samples out. Used from
// one thread at a time.
class Synthesiser {
public:
    enum class Outcome { Spoken, Stopped, VoiceFailed, SynthesisFailed };
    // Takes the next piece of samples, one channel at the engine's rate; false stops the
    // synthesis (Outcome::Stopped).
    using Sink = std::function<bool(const short* samples, size_t count)>;

    virtual ~Synthesiser() = default;

    // Its voices, in the same order every time.
    virtual VoiceTokens voices() const = 0;
    // Speaks text with the voice of that id, piece by piece, as it goes.
    virtual Outcome synthesise(const QString& text, const QString& voiceId, const Sink& sink) = 0;
};
