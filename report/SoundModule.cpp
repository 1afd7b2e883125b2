#include "report/SoundModule.h"

#include "report/Chime.h"
#include "report/EspeakEngine.h"

extern "C" __attribute__((visibility("default"))) const SoundModule* NimbrelSoundModule() {
    static const SoundModule module{&CreateEspeakEngine, &PlayChime};
    return &module;
}
