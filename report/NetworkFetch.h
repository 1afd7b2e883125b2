#pragma once

#include "report/Inet.h"
#include "report/ModuleBuild.h"

// The feed's GET over Qt Network, on the calling thread; it makes its network manager at the
// first call, owned by the application.
Result<QString> NetworkFetch(const QString& url, std::chrono::milliseconds timeout);

// What the network module offers. The program loads it at its first fetch, so that Qt Network
// and its libraries (Kerberos, libproxy...) stay out of its start.
class NetworkModule {
public:
    virtual ~NetworkModule() = default;
    virtual Result<QString> fetch(const QString& url, std::chrono::milliseconds timeout) const = 0;
};

#define NIMBREL_NETWORK_MODULE_IID "org.example.Nimbrel.NetworkModule/" NIMBREL_MODULE_BUILD
Q_DECLARE_INTERFACE(NetworkModule, NIMBREL_NETWORK_MODULE_IID)

// The module's file name, in "modules" beside the program.
inline constexpr char kNetworkModuleFile[] = "nimbrel-network.so";
