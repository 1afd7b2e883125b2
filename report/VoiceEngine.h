#pragma once

#include "report/AudioOut.h"
#include "report/SpeechEngine.h"
#include "report/Synthesiser.h"

#include <functional>
#include <memory>
#include <vector>

// Loads a synthesiser when one of its voices first speaks; null, with the reason in why, when it
// cannot.
using SynthesiserLoader = std::function<std::unique_ptr<Synthesiser>(QString* why)>;

// Voices listed after espeak-ng's, and the synthesiser that speaks them.
struct VoiceFamily {
    VoiceTokens voices;
    SynthesiserLoader load;
};

// Speaks with espeak-ng's voices, and with those of further families (Flite): the voice chosen
// decides which synthesiser speaks. Texts are synthesised on the engine's own thread and their
// samples go out through an AudioOut, the stream the chime played on.
//
// No thread that may wait on the sound server is ever joined: the engine's threads share its
// state and finish on their own, so a frozen sound server holds neither the caller nor exit.
class VoiceEngine final : public SpeechEngine {
public:
    // Throws NimbrelError(ErrorCode::SpeechInitFailed) when espeak-ng cannot start.
    explicit VoiceEngine(AudioOpener openAudio = OpenSoundDevice,
                         std::vector<VoiceFamily> families = {});
    ~VoiceEngine() override;
    VoiceEngine(const VoiceEngine&) = delete;
    VoiceEngine& operator=(const VoiceEngine&) = delete;

    VoiceTokens GetVoices() const override;
    // Throws NimbrelError(SpeechSetVoiceFailed) for a voice the engine does not list.
    void SetVoice(const VoiceToken& voice) override;
    // Throws NimbrelError(SpeechNoAudioDevice) when the sound device cannot be opened,
    // SpeechInitFailed when the voice's synthesiser cannot be loaded, and reports a failure of
    // an earlier text or of the chime's stream.
    void Speak(const QString& text, int flags) override;
    // Opens its stream and plays on a thread of its own; the stream then waits for the next
    // purging Speak, which speaks on right behind the chime.
    void Chime(const QString& path, std::function<void()> heard) override;

    // The samples the chosen voice gives for text, into memory instead of the device.
    std::vector<short> Synthesise(const QString& text);

    struct State;

private:
    std::shared_ptr<State> m_state;
};

// The engine the program speaks with (Flite's voices loaded by loadFlite), or null when
// espeak-ng cannot start.
std::unique_ptr<SpeechEngine> CreateVoiceEngine(SynthesiserLoader loadFlite);
