// The Open-Meteo stand-in as a program, for the measurements and the end-to-end run: the same
// weather for every place, in the units asked for. Usage: feed-upstream-double PORT
#include "OpenMeteoDouble.h"

#include <csignal>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: feed-upstream-double PORT\n", stderr);
        return 2;
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    const OpenMeteoDouble upstream(std::stoi(argv[1]));
    if (!upstream.listening()) {
        std::fprintf(stderr, "feed-upstream-double: cannot listen on port %s\n", argv[1]);
        return 1;
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
    return 0;
}
