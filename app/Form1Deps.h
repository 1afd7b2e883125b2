#pragma once

#include "core/Clock.h"
#include "report/Inet.h"
#include "report/SpeechEngine.h"

#include <QDBusConnection>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

// What the window takes from its creator. main passes the real parts; tests pass temporary ones.
struct Form1Deps {
    QString documentsDir; // DataDir is this folder followed by "/Nimbrel"
    QString runtimeDir;   // holds the single-instance lock
    QString feedHost;     // host[:port] of the weather feed service
    QString chimePath;    // the chime played before each announcement
    SpeechEngineFactory createSpeechEngine;
    FeedFetch fetch; // the feed's HTTP transfer
    std::shared_ptr<const Clock> clock = std::make_shared<SystemClock>();
    std::chrono::milliseconds fetchTimeout{60000};
    std::function<void()> quit; // ends the program; defaults to leaving the event loop
    // The bus where a failed announcement of the clock is told, opened only when one fails;
    // without one the window is shown instead.
    std::function<QDBusConnection()> notificationBus;
};
