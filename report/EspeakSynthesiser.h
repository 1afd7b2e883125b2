#pragma once

#include "report/Synthesiser.h"

#include <memory>

// espeak-ng, synthesising into memory: its own playback is not used, since it drops the sound
// without a word when no device can be opened. Throws NimbrelError(SpeechInitFailed) when
// espeak-ng cannot start.
std::unique_ptr<Synthesiser> CreateEspeakSynthesiser();

// espeak-ng's sample rate, the rate of the engine's stream.
inline constexpr int kSpeechRate = 22050;
