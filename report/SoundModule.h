#pragma once

#include "report/SpeechEngine.h"

#include <QString>
#include <memory>

// What the sound module offers: the espeak-ng engine and the chime on its own. The program loads
// the module at its first announcement, so that espeak-ng, pcaudiolib and libsndfile with their
// libraries stay out of its start.
struct SoundModule {
    std::unique_ptr<SpeechEngine> (*createEngine)(); // null when espeak-ng cannot start
    void (*playChime)(const QString& path);          // returns when it has been played
};

// The module's file name, in "modules" beside the program, and its one entry point.
inline constexpr char kSoundModuleFile[] = "nimbrel-sound.so";
inline constexpr char kSoundModuleEntry[] = "NimbrelSoundModule";
using SoundModuleEntry = const SoundModule* (*)();
