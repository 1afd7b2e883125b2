// The Open-Meteo stand-in as a program, for the measurements and the end-to-end run: the same
// weather for every place, in the units asked for. Usage: feed-upstream-double PORT
#include "OpenMeteoDouble.h"

#include "tests/support/StopSignals.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: feed-upstream-double PORT\n", stderr);
        return 2;
    }
    const StopSignals stopSignals;
    const OpenMeteoDouble upstream(std::stoi(argv[1]));
    if (!upstream.listening()) {
        std::fprintf(stderr, "feed-upstream-double: cannot listen on port %s\n", argv[1]);
        return 1;
    }
    stopSignals.wait();
    return 0;
}
