#pragma once

#include "report/SpeechEngine.h"
#include "report/VoiceEngine.h"

#include <QString>
#include <memory>

// What the sound module offers: the speech engine and the chime on its own. The program loads
// the module at its first announcement, so that espeak-ng, the sound server's client and
// libsndfile with their libraries stay out of its start.
struct SoundModule {
    // Null when espeak-ng cannot start; Flite's voices are loaded through loadFlite.
    std::unique_ptr<SpeechEngine> (*createEngine)(SynthesiserLoader loadFlite);
    void (*playChime)(const QString& path); // returns when it has been played
};

// The module's file name, in "modules" beside the program, and its one entry point.
inline constexpr char kSoundModuleFile[] = "nimbrel-sound.so";
inline constexpr char kSoundModuleEntry[] = "NimbrelSoundModule";
using SoundModuleEntry = const SoundModule* (*)();

// What the Flite module offers: Flite's synthesiser, loaded when a Flite voice first speaks.
struct FliteModule {
    std::unique_ptr<Synthesiser> (*createSynthesiser)(int sampleRate, const QStringList& dirs,
                                                      QString* why);
};

inline constexpr char kFliteModuleFile[] = "nimbrel-flite.so";
inline constexpr char kFliteModuleEntry[] = "NimbrelFliteModule";
