#include "report/NetworkFetch.h"

extern "C" __attribute__((visibility("default"))) const NetworkModule* NimbrelNetworkModule() {
    static const NetworkModule module{&NetworkFetch};
    return &module;
}
