#include "report/SoundModule.h"

#include "report/Chime.h"
#include "report/VoiceEngine.h"

extern "C" __attribute__((visibility("default"))) const SoundModule* NimbrelSoundModule() {
    static const SoundModule module{&CreateVoiceEngine, &PlayChime};
    return &module;
}
