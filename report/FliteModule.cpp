#include "report/FliteSynthesiser.h"
#include "report/SoundModule.h"

extern "C" __attribute__((visibility("default"))) const FliteModule* NimbrelFliteModule() {
    static const FliteModule module{&CreateFliteSynthesiser};
    return &module;
}
