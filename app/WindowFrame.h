#pragma once

class QWidget;

// Asks the window manager to give the window no taskbar button, each time before the window is
// mapped (the manager forgets the request when the window is withdrawn). On X11 this is
// _NET_WM_STATE_SKIP_TASKBAR, which Qt has no flag for; Wayland's xdg-shell has no such request.
void KeepOffTaskbar(QWidget* window);
