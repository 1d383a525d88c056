#include "platform/linux/X11StartupNotification.h"

#include <QList>
#include <QPair>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace tarn::X11StartupNotification {

namespace {

xcb_atom_t atom(xcb_connection_t* x, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return found;
}

// The message, its closing NUL included, in client messages of 20 bytes from a window of the
// sender's: the first of type _NET_STARTUP_INFO_BEGIN, the others _NET_STARTUP_INFO.
void send(const QByteArray& text) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return;
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        xcb_disconnect(x);
        return;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const xcb_window_t window = xcb_generate_id(x);
    xcb_create_window(x, XCB_COPY_FROM_PARENT, window, screen->root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t first = atom(x, "_NET_STARTUP_INFO_BEGIN"), more = atom(x, "_NET_STARTUP_INFO");
    const QByteArray bytes = text + '\0';
    for (qsizetype at = 0; at < bytes.size(); at += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = window;
        event.type = at == 0 ? first : more;
        std::memcpy(event.data.data8, bytes.constData() + at, std::min<qsizetype>(20, bytes.size() - at));
        xcb_send_event(x, 0, screen->root, XCB_EVENT_MASK_PROPERTY_CHANGE, reinterpret_cast<const char*>(&event));
    }
    // Answered only once every message before it was handled.
    std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
    xcb_destroy_window(x, window);
    xcb_disconnect(x);
}

} // namespace

QByteArray message(const QByteArray& kind, const QList<QPair<QByteArray, QByteArray>>& fields) {
    QByteArray text = kind;
    for (const auto& [key, value] : fields) {
        QByteArray escaped = value;
        escaped.replace('\\', "\\\\").replace('"', "\\\"");
        text += ' ' + key + "=\"" + escaped + '"';
    }
    return text;
}

void begin(const QByteArray& id, const QString& name, quint32 time) {
    send(message("new:", {{"ID", id}, {"NAME", name.toUtf8()}, {"SCREEN", "0"}, {"TIMESTAMP", QByteArray::number(time)}}));
}

void end(const QByteArray& id) { send(message("remove:", {{"ID", id}})); }

} // namespace tarn::X11StartupNotification
