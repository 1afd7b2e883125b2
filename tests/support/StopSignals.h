#pragma once

#include <csignal>

// For the small stand-in servers run as programs: SIGINT and SIGTERM are blocked in this thread
// and in every thread started after this, so that wait() alone sees them and returns.
class StopSignals final {
public:
    StopSignals() {
        sigemptyset(&m_signals);
        sigaddset(&m_signals, SIGINT);
        sigaddset(&m_signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
    }
    void wait() const {
        int signal = 0;
        sigwait(&m_signals, &signal);
    }

private:
    sigset_t m_signals;
};
