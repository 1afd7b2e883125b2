#pragma once

class QObject;

// Ends the event loop cleanly on SIGTERM, SIGINT or SIGHUP (logout, shutdown, Ctrl+C), so the
// tray icon is removed before the program ends. The signal handler only writes to a pipe; the
// quit happens on the window's thread.
void QuitOnTerminationSignals(QObject* parent);
