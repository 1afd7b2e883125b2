#include "app/WindowFrame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name) {
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

void askSkipTaskbar(xcb_connection_t* connection, xcb_window_t window) {
    static const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    static const xcb_atom_t skip = internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_ATOM_NONE || skip == XCB_ATOM_NONE)
        return;
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, window, state, XCB_ATOM_ATOM, 0, 64),
                               nullptr),
        &std::free);
    if (reply && reply->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        const int count = xcb_get_property_value_length(reply.get()) / int(sizeof(xcb_atom_t));
        for (int i = 0; i < count; ++i)
            if (atoms[i] == skip)
                return;
    }
    // Before the map, the property itself is the request; Qt adds its own states to it.
    xcb_change_property(connection, XCB_PROP_MODE_APPEND, window, state, XCB_ATOM_ATOM, 32, 1,
                        &skip);
}

class SkipTaskbarFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Sent before the window is mapped. The offscreen platform offers the X11 interface too,
        // without a connection.
        if (event->type() == QEvent::Show && QGuiApplication::platformName() == u"xcb") {
            auto* window = static_cast<QWidget*>(watched);
            if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
                x11 && x11->connection()) {
                askSkipTaskbar(x11->connection(), static_cast<xcb_window_t>(window->winId()));
                // Window managers such as openbox give no focus to a window that skips the
                // taskbar when it maps; Qt asks for it once the window is mapped.
                window->activateWindow();
            }
        }
        return false;
    }
};

} // namespace

void KeepOffTaskbar(QWidget* window) {
    window->installEventFilter(new SkipTaskbarFilter(window));
}
