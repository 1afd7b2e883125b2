#pragma once

#include "report/ModuleBuild.h"
#include "report/SpeechEngine.h"

#include <QObject>
#include <QString>
#include <memory>

// What the sound module offers: the espeak-ng engine and the chime on its own. The program loads
// the module at its first announcement, so that espeak-ng, pcaudiolib and libsndfile with their
// libraries stay out of its start.
class SoundModule {
public:
    virtual ~SoundModule() = default;
    // Null when espeak-ng cannot start.
    virtual std::unique_ptr<SpeechEngine> createEngine() const = 0;
    // Returns when the chime has been played.
    virtual void playChime(const QString& path) const = 0;
};

#define NIMBREL_SOUND_MODULE_IID "org.example.Nimbrel.SoundModule/" NIMBREL_MODULE_BUILD
Q_DECLARE_INTERFACE(SoundModule, NIMBREL_SOUND_MODULE_IID)

// The module's file name, in "modules" beside the program.
inline constexpr char kSoundModuleFile[] = "nimbrel-sound.so";
