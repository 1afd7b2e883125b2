#pragma once

#include "report/Inet.h"

// The feed's GET over Qt Network, on the calling thread; it makes its network manager at the
// first call, owned by the application.
FetchOutcome NetworkFetch(const QString& url, std::chrono::milliseconds timeout);

// What the network module offers. The program loads it at its first fetch, so that Qt Network
// and its libraries (Kerberos, libproxy...) stay out of its start.
struct NetworkModule {
    FetchOutcome (*fetch)(const QString& url, std::chrono::milliseconds timeout);
};

// The module's file name, in "modules" beside the program, and its one entry point.
inline constexpr char kNetworkModuleFile[] = "nimbrel-network.so";
inline constexpr char kNetworkModuleEntry[] = "NimbrelNetworkModule";
using NetworkModuleEntry = const NetworkModule* (*)();
