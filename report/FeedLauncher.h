#pragma once

#include "report/Inet.h"

#include <QString>
#include <chrono>
#include <memory>
#include <string>

class QProcess;

// The nimbrel-feed of the program's own installation, started when the default feed host, on
// loopback, refuses the connection: no service listens there (a home install, a desktop without
// systemd, a build tree). The feed it started ends with it, that is with the program.
class FeedLauncher final {
public:
    // program: the nimbrel-feed to start; host: "HOST:PORT", where it is to listen. A host that
    // is not loopback is never started.
    FeedLauncher(QString program, QString host);
    ~FeedLauncher();
    FeedLauncher(const FeedLauncher&) = delete;
    FeedLauncher& operator=(const FeedLauncher&) = delete;

    // The nimbrel-feed installed with the program in programDir: <prefix>/bin beside
    // <prefix>/lib/nimbrel, or feed/ beside app/ in a build tree.
    static QString ProgramBeside(const QString& programDir);

    // fetch; when a fetch from the launcher's host is refused, the feed is started and, once it
    // listens (at most 2 s later), fetched from once more within what is left of the time-out.
    static FeedFetch Around(FeedFetch fetch, std::shared_ptr<FeedLauncher> launcher);

    // Starts the feed unless the one it started still runs, then waits until something listens
    // on the host, the feed ends or the patience runs out; timers and repaints go on meanwhile,
    // input waits. False when nothing could be started, so asking again is pointless.
    bool start(std::chrono::milliseconds patience);

private:
    bool running() const;
    bool listening() const;

    QString m_program;
    QString m_host;
    std::string m_address; // the host without the port or brackets
    std::string m_port;
    bool m_loopback = false;
    std::unique_ptr<QProcess> m_process;
};
