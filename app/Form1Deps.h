#pragma once

#include "appcore/AppCore.h"

#include <QDBusConnection>
#include <functional>
#include <optional>

// What the window takes from its creator besides what its core takes. main passes the real
// parts; tests pass temporary ones.
struct Form1Deps : AppCoreDeps {
    std::function<void()> quit; // ends the program; defaults to leaving the event loop
    // The bus where a failed announcement of the clock is told, opened only when one fails;
    // without one the window is shown instead.
    std::function<QDBusConnection()> notificationBus;
    // Whether a notification area exists; nothing: ask the platform.
    std::optional<bool> notificationArea;
};
