#include "platform/FloatingWindow.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>

namespace tarn::FloatingWindow {

namespace {

xcb_atom_t atom(xcb_connection_t* x, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, static_cast<quint16>(qstrlen(name)), name), nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return found;
}
} // namespace

void prepare(QWidget& window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* x = x11 ? x11->connection() : nullptr;
    if (!x) return;
    const auto id = static_cast<xcb_window_t>(window.winId());
    // Qt keeps the states it finds on the window when it adds its own at mapping.
    const xcb_atom_t states[] = {atom(x, "_NET_WM_STATE_SKIP_TASKBAR"), atom(x, "_NET_WM_STATE_SKIP_PAGER"),
                                 atom(x, "_NET_WM_STATE_STICKY")};
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, id, atom(x, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 3, states);
    const quint32 allDesktops = 0xffffffff;
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, id, atom(x, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1,
                        &allDesktops);
    xcb_flush(x);
}

int focusLossGrace() { return QGuiApplication::platformName() == QLatin1String("wayland") ? 300 : 0; }

bool placedByCompositorAlone() {
    if (QGuiApplication::platformName() != QLatin1String("wayland")) return false;
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(':');
    return desktops.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive) ||
           desktops.contains(QStringLiteral("KDE"), Qt::CaseInsensitive);
}

bool gainsFocus(const QByteArray& eventType, void* message) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_focus_in_event_t*>(message);
    // The pointer's passing over a window brings it no focus.
    return (event->response_type & ~0x80) == XCB_FOCUS_IN && event->detail != XCB_NOTIFY_DETAIL_POINTER;
}

void sendNow() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (xcb_connection_t* x = x11 ? x11->connection() : nullptr) xcb_flush(x);
}

} // namespace tarn::FloatingWindow
