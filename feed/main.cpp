#include "feed/FeedOptions.h"
#include "feed/FeedServer.h"
#include "feed/ListenSocket.h"
#include "feed/ZipTable.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    // Blocked first, so that every thread inherits the mask, only the wait below sees them, and a
    // signal during start-up still ends the service cleanly.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    const feed::ParsedOptions parsed =
        feed::ParseFeedOptions(std::vector<std::string>(argv + 1, argv + argc),
                               [](const std::string& name) -> std::optional<std::string> {
                                   const char* value = std::getenv(name.c_str());
                                   return value ? std::optional<std::string>(value) : std::nullopt;
                               });
    if (!parsed.options) {
        std::fputs(parsed.message.c_str(), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }
    feed::FeedOptions options = *parsed.options;
    const std::optional<feed::ListenSocket> handedOver = feed::TakeHandedOverSocket();
    if (handedOver && handedOver->fd < 0) {
        std::fprintf(stderr, "nimbrel-feed: %s\n", handedOver->error.c_str());
        return 1;
    }
    if (handedOver)
        options.listenFd = handedOver->fd;
    const feed::ZipTable& zips = feed::ZipTable::BuiltIn();
    if (zips.size() == 0) {
        std::fputs("nimbrel-feed: the ZIP code table is missing\n", stderr);
        return 1;
    }

    feed::FeedServer server(options, zips);
    if (!server.start()) {
        std::fprintf(stderr, "nimbrel-feed: %s\n", server.error().c_str());
        return 1;
    }
    const feed::ServiceSettings& service = options.service;
    std::string sources;
    for (const feed::Source source : service.sources)
        sources += (sources.empty() ? "" : ", then ") +
                   (source == feed::Source::OpenMeteo ? service.upstream : service.nwsUpstream);
    const std::string where = handedOver ? "the socket from systemd, port " : options.host + ":";
    std::fprintf(stderr, "nimbrel-feed: listening on %s%d, weather from %s\n", where.c_str(),
                 server.port(), sources.c_str());
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    return 0;
}
