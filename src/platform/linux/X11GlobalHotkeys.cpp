#include "platform/linux/X11GlobalHotkeys.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>

namespace tarn {

namespace {

constexpr quint16 numLock = XCB_MOD_MASK_2;
constexpr xcb_timestamp_t repeatWithin = 1000; // ms: keyboards repeat after about half a second
constexpr quint16 capsLock = XCB_MOD_MASK_LOCK;
const quint16 lockStates[] = {0, numLock, capsLock, numLock | capsLock};

xcb_connection_t* connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// The preset table's keys (macOS virtual key codes) as X keysyms.
quint32 keysymOf(int keyCode) {
    switch (keyCode) {
    case 49: return 0x20; // space
    case 46: return 'm';
    case 31: return 'o';
    case 32: return 'u';
    default: return 0;
    }
}

quint16 modifiersOf(int carbon) {
    quint16 mask = 0;
    if (carbon & 0x100) mask |= XCB_MOD_MASK_4; // command: Super
    if (carbon & 0x200) mask |= XCB_MOD_MASK_SHIFT;
    if (carbon & 0x800) mask |= XCB_MOD_MASK_1; // option: Alt
    if (carbon & 0x1000) mask |= XCB_MOD_MASK_CONTROL;
    return mask;
}

quint8 keycodeOf(xcb_connection_t* x, quint32 keysym) {
    const xcb_setup_t* setup = xcb_get_setup(x);
    const quint8 first = setup->min_keycode, last = setup->max_keycode;
    xcb_get_keyboard_mapping_reply_t* mapping =
        xcb_get_keyboard_mapping_reply(x, xcb_get_keyboard_mapping(x, first, last - first + 1), nullptr);
    if (!mapping) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping);
    const int perCode = mapping->keysyms_per_keycode;
    quint8 found = 0;
    for (int code = first; code <= last && !found; ++code)
        for (int k = 0; k < perCode; ++k)
            if (syms[(code - first) * perCode + k] == keysym) {
                found = static_cast<quint8>(code);
                break;
            }
    std::free(mapping);
    return found;
}

xcb_window_t rootOf(xcb_connection_t* x) { return xcb_setup_roots_iterator(xcb_get_setup(x)).data->root; }

} // namespace

X11GlobalHotkeys::X11GlobalHotkeys() {
    holdLimit.setSingleShot(true);
    holdLimit.callOnTimeout([this] { releaseKeys(0); });
}

X11GlobalHotkeys::~X11GlobalHotkeys() {
    if (filtering && QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11GlobalHotkeys::grab(int id, int keyCode, int carbonModifiers) {
    release(id);
    xcb_connection_t* x = connection();
    const quint32 keysym = keysymOf(keyCode);
    if (!x || !keysym) return false;
    const quint8 keycode = keycodeOf(x, keysym);
    if (!keycode) return false;
    const quint16 modifiers = modifiersOf(carbonModifiers);
    const xcb_window_t root = rootOf(x);
    bool refused = false;
    for (const quint16 lock : lockStates) {
        xcb_generic_error_t* error = xcb_request_check(
            x, xcb_grab_key_checked(x, 1, root, modifiers | lock, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        if (error) {
            refused = true;
            std::free(error);
        }
    }
    if (refused) { // held by another application: take none of the variants
        for (const quint16 lock : lockStates) xcb_ungrab_key(x, keycode, root, modifiers | lock);
        xcb_flush(x);
        return false;
    }
    if (!filtering) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        filtering = true;
    }
    grabs.insert(id, {keycode, modifiers});
    return true;
}

void X11GlobalHotkeys::release(int id) {
    const auto found = grabs.constFind(id);
    if (found == grabs.constEnd()) return;
    if (xcb_connection_t* x = connection()) {
        for (const quint16 lock : lockStates) xcb_ungrab_key(x, found->keycode, rootOf(x), found->modifiers | lock);
        xcb_flush(x);
    }
    grabs.erase(found);
}

bool X11GlobalHotkeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const quint8 type = event->response_type & ~0x80;
    if (type == XCB_KEY_RELEASE) {
        const auto* release = reinterpret_cast<xcb_key_release_event_t*>(event);
        downSince.remove(release->detail);
        releasedAt.insert(release->detail, release->time);
        return false;
    }
    if (type != XCB_KEY_PRESS) return false;
    auto* press = reinterpret_cast<xcb_key_press_event_t*>(event);
    const quint16 state = press->state & ~(numLock | capsLock);
    for (auto it = grabs.constBegin(); it != grabs.constEnd(); ++it) {
        if (it->keycode != press->detail || it->modifiers != (state & 0xff)) continue;
        if (isRepeat(*press)) return true;
        const int id = it.key();
        if (holdingIds.contains(id)) hold(press->time);
        // Handed to the event loop: the handler may open menus and panels.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [this, id] { if (pressed) pressed(id); },
                                  Qt::QueuedConnection);
        // Not consumed: Qt takes the press's time stamp from it, which the window manager asks
        // of a window that wants the focus. Qt has no window for the root, so nothing else
        // happens with it.
        return false;
    }
    // A key typed while the keyboard is held comes to the root window: kept for the panel. One
    // that was on its way when the keyboard was let go follows the others.
    if (!connection() || press->event != rootOf(connection())) return false;
    if (holding) {
        held << *press;
        return true;
    }
    if (heldFor && sinceRelease.isValid() && sinceRelease.elapsed() < 1000) {
        sendTo(heldFor, *press);
        return true;
    }
    return false;
}

void X11GlobalHotkeys::sendTo(xcb_window_t window, xcb_key_press_event_t press) {
    press.event = window;
    press.child = XCB_NONE;
    press.same_screen = 1;
    xcb_send_event(connection(), 0, window, XCB_EVENT_MASK_KEY_PRESS, reinterpret_cast<const char*>(&press));
}

// The keyboard repeats a key held down either as presses with no release between them, or
// (where the server does not tell repeats apart, as for the root window's grabs) as a release
// and a press with the same time stamp. A release that never reached Tarn would leave the key
// down for good: a press more than a repeat's interval after the last one counts as new.
bool X11GlobalHotkeys::isRepeat(const xcb_key_press_event_t& press) {
    const auto down = downSince.constFind(press.detail);
    const bool repeat = (down != downSince.constEnd() && xcb_timestamp_t(press.time - *down) < repeatWithin) ||
                        releasedAt.value(press.detail) == press.time;
    downSince.insert(press.detail, press.time);
    sincePress.start();
    return repeat;
}

// A repeating key presses again every few dozen milliseconds, after a release that comes
// at the same time: a hotkey pressed within a repeat's interval counts as still down.
bool X11GlobalHotkeys::isHeld() const {
    return holding || (sincePress.isValid() && sincePress.elapsed() < qint64(repeatWithin) / 2);
}

// Extends the hotkey's passive grab, active while the hotkey is down, past its release: the
// keys typed next come to Tarn, not to the window the user was in, until releaseKeys.
void X11GlobalHotkeys::hold(xcb_timestamp_t time) {
    xcb_connection_t* x = connection();
    if (!x || holding) return;
    xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(
        x, xcb_grab_keyboard(x, 0, rootOf(x), time, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr);
    holding = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    if (!holding) return;
    held.clear();
    holdLimit.start(1500);
}

void X11GlobalHotkeys::releaseKeys(WId window) {
    holdLimit.stop();
    xcb_connection_t* x = connection();
    if (!holding || !x) return;
    holding = false;
    // Sent to the window before the keyboard is let go, so that they come before whatever is
    // typed after.
    heldFor = static_cast<xcb_window_t>(window);
    sinceRelease.start();
    if (heldFor)
        for (const xcb_key_press_event_t& press : std::as_const(held)) sendTo(heldFor, press);
    held.clear();
    xcb_ungrab_keyboard(x, XCB_CURRENT_TIME);
    xcb_flush(x);
}

} // namespace tarn
