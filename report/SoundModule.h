#pragma once

#include "report/ModuleBuild.h"
#include "report/SpeechEngine.h"
#include "report/VoiceEngine.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

// What the sound module offers: the speech engine and the chime on its own. The program loads
// the module at its first announcement, so that espeak-ng, the sound server's client and
// libsndfile with their libraries stay out of its start.
class SoundModule {
public:
    virtual ~SoundModule() = default;
    // Null when espeak-ng cannot start; Flite's voices are loaded through loadFlite.
    virtual std::unique_ptr<SpeechEngine> createEngine(SynthesiserLoader loadFlite) const = 0;
    // Returns when the chime has been played.
    virtual void playChime(const QString& path) const = 0;
};

#define NIMBREL_SOUND_MODULE_IID "org.example.Nimbrel.SoundModule/" NIMBREL_MODULE_BUILD
Q_DECLARE_INTERFACE(SoundModule, NIMBREL_SOUND_MODULE_IID)

// What the Flite module offers: Flite's synthesiser, loaded when a Flite voice first speaks.
class FliteModule {
public:
    virtual ~FliteModule() = default;
    virtual std::unique_ptr<Synthesiser> createSynthesiser(int sampleRate, const QStringList& dirs,
                                                           QString* why) const = 0;
};

#define NIMBREL_FLITE_MODULE_IID "org.example.Nimbrel.FliteModule/" NIMBREL_MODULE_BUILD
Q_DECLARE_INTERFACE(FliteModule, NIMBREL_FLITE_MODULE_IID)

// The modules' file names, in "modules" beside the program.
inline constexpr char kSoundModuleFile[] = "nimbrel-sound.so";
inline constexpr char kFliteModuleFile[] = "nimbrel-flite.so";
