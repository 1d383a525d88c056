#include "platform/linux/X11ServerTime.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace tarn::X11ServerTime {

std::optional<quint32> now() {
    if (!std::getenv("DISPLAY")) return std::nullopt;
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        xcb_disconnect(x);
        return std::nullopt;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const xcb_window_t window = xcb_generate_id(x);
    const quint32 events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(x, XCB_COPY_FROM_PARENT, window, screen->root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    // Appending nothing changes no value, but the server still reports the change, with its time.
    xcb_change_property(x, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(x);
    std::optional<quint32> time;
    while (xcb_generic_event_t* event = xcb_wait_for_event(x)) {
        const bool notice = (event->response_type & ~0x80) == XCB_PROPERTY_NOTIFY;
        if (notice) time = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
        std::free(event);
        if (notice) break;
    }
    xcb_destroy_window(x, window);
    xcb_disconnect(x);
    return time;
}

} // namespace tarn::X11ServerTime
