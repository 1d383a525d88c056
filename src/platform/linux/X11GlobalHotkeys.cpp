#include "platform/linux/X11GlobalHotkeys.h"

#include "platform/linux/GnomeKeybindings.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace tarn {

namespace {

constexpr quint16 numLock = XCB_MOD_MASK_2;
constexpr xcb_timestamp_t repeatWithin = 1000; // ms: keyboards repeat after about half a second
constexpr quint16 capsLock = XCB_MOD_MASK_LOCK;
const quint16 lockStates[] = {0, numLock, capsLock, numLock | capsLock};

constexpr qint64 holdLimit = 5000;   // ms
constexpr qint64 strayWithin = 1000; // ms after the keyboard was let go

bool onX11() { return qGuiApp && qGuiApp->nativeInterface<QNativeInterface::QX11Application>(); }

xcb_atom_t atom(xcb_connection_t* x, const QByteArray& name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, quint16(name.size()), name.constData()), nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return found;
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

} // namespace

X11GlobalHotkeys::X11GlobalHotkeys() = default;

X11GlobalHotkeys::~X11GlobalHotkeys() {
    if (filtering && QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
    if (listener.joinable()) {
        ::close(wakeFds[1]); // the listener's signal to end
        listener.join();
        ::close(wakeFds[0]);
    }
    if (own) xcb_disconnect(own);
}

// The connection, the listener and the window that hears of presses, made at the first grab
// (the application and its display exist by then).
bool X11GlobalHotkeys::start() {
    if (own) return true;
    if (!onX11()) return false;
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x) || ::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        xcb_disconnect(x);
        return false;
    }
    own = x;
    root = xcb_setup_roots_iterator(xcb_get_setup(own)).data->root;
    signalWindow = std::make_unique<QWindow>();
    signalWindow->create();
    signalId = static_cast<xcb_window_t>(signalWindow->winId());
    QCoreApplication::instance()->installNativeEventFilter(this);
    filtering = true;
    listener = std::thread([this] { listen(); });
    return true;
}

bool X11GlobalHotkeys::grab(int id, int keyCode, int carbonModifiers) {
    release(id);
    const quint32 keysym = keysymOf(keyCode);
    if (!keysym || !start()) return false;
    const quint8 keycode = keycodeOf(own, keysym);
    if (!keycode) return false;
    const quint16 modifiers = modifiersOf(carbonModifiers);
    // GNOME's own keys are not X grabs (Mutter takes them itself), so nothing would report
    // the clash: its settings are asked instead.
    if (GnomeKeybindings::isGnomeSession() && !GnomeKeybindings::heldByGnome(keyCode, carbonModifiers).isEmpty())
        return false;
    // The server lets one client grab a key twice, the second grab replacing the first:
    // another number of ours on it is refused here, and its key stays its own.
    if (holder(keycode, modifiers) >= 0) return false;
    bool refused = false;
    for (const quint16 lock : lockStates) {
        xcb_generic_error_t* error = xcb_request_check(
            own, xcb_grab_key_checked(own, 1, root, modifiers | lock, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC));
        if (error) {
            refused = true;
            std::free(error);
        }
    }
    if (refused) { // held by another application: take none of the variants
        for (const quint16 lock : lockStates) xcb_ungrab_key(own, keycode, root, modifiers | lock);
        xcb_flush(own);
        wake();
        return false;
    }
    const xcb_atom_t signal = atom(own, "_TARN_HOTKEY_" + QByteArray::number(id));
    {
        const QMutexLocker lock(&mutex);
        grabs.insert(id, {keycode, modifiers, signal});
    }
    wake(); // the replies read here may have brought the listener's events with them
    return true;
}

void X11GlobalHotkeys::release(int id) {
    Grab grab;
    {
        const QMutexLocker lock(&mutex);
        const auto found = grabs.constFind(id);
        if (found == grabs.constEnd()) return;
        grab = *found;
        grabs.erase(found);
    }
    // Done when this returns: another application may take the key at once.
    if (holder(grab.keycode, grab.modifiers) >= 0) return; // still another number's
    for (const quint16 lock : lockStates)
        std::free(xcb_request_check(own, xcb_ungrab_key_checked(own, grab.keycode, root, grab.modifiers | lock)));
    wake();
}

int X11GlobalHotkeys::holder(quint8 keycode, quint16 modifiers) const {
    const QMutexLocker lock(&mutex);
    for (auto it = grabs.constBegin(); it != grabs.constEnd(); ++it)
        if (it->keycode == keycode && it->modifiers == modifiers) return it.key();
    return -1;
}

void X11GlobalHotkeys::holdKeysOnPress(int id) {
    const QMutexLocker lock(&mutex);
    holdingIds.insert(id);
}

void X11GlobalHotkeys::wake() {
    if (wakeFds[1] >= 0) (void)::write(wakeFds[1], "", 1);
}

// The listener: every event of the hotkeys' connection, as it comes; and the hold's limit.
void X11GlobalHotkeys::listen() {
    pollfd fds[2] = {{xcb_get_file_descriptor(own), POLLIN, 0}, {wakeFds[0], POLLIN, 0}};
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(own)) {
            handle(event);
            std::free(event);
        }
        if (xcb_connection_has_error(own)) return;
        int timeout = -1;
        {
            const QMutexLocker lock(&mutex);
            // The keyboard is let go; what was typed stays for the window, should it come.
            if ((holding || hotkeyDown) && holdingFor.elapsed() > holdLimit) {
                hotkeyDown = 0;
                holding = false;
                ungrab();
            }
            if (holding || hotkeyDown) timeout = 100;
        }
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) return;
        if (fds[1].revents & (POLLHUP | POLLERR)) return;
        char drained[64];
        if (fds[1].revents & POLLIN)
            if (::read(wakeFds[0], drained, sizeof drained) == 0) return; // closed: the end
    }
}

void X11GlobalHotkeys::handle(const xcb_generic_event_t* event) {
    const QMutexLocker lock(&mutex);
    handleLocked(event);
}

void X11GlobalHotkeys::handleLocked(const xcb_generic_event_t* event) {
    const quint8 type = event->response_type & ~0x80;
    if (type == XCB_KEY_RELEASE) {
        const auto* release = reinterpret_cast<const xcb_key_release_event_t*>(event);
        downSince.remove(release->detail);
        releasedAt.insert(release->detail, release->time);
        if (release->detail == hotkeyDown) {
            hotkeyDown = 0;
            if (!holding) ungrabInOrder();
        }
        return;
    }
    if (type != XCB_KEY_PRESS) return;
    const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
    const quint16 state = press->state & ~(numLock | capsLock);
    for (auto it = grabs.constBegin(); it != grabs.constEnd(); ++it) {
        if (it->keycode == press->detail && it->modifiers == (state & 0xff)) {
            pressedHotkey(it.key(), *press);
            return;
        }
    }
    // A key typed while the keyboard is held comes to the root window: kept for the panel. One
    // that was on its way when the keyboard was let go follows the others.
    if (holding)
        held << *press;
    else if (heldFor && (hotkeyDown || (sinceRelease.isValid() && sinceRelease.elapsed() < strayWithin)))
        sendTo(heldFor, *press);
}

// The keyboard is frozen from the press on: take it whole for a hotkey that holds keys, and
// let the keys flow again; the GUI thread hears of the press through the signal property.
void X11GlobalHotkeys::pressedHotkey(int id, const xcb_key_press_event_t& press) {
    const bool repeat = isRepeat(press);
    if (!repeat && holdingIds.contains(id) && !holding) {
        xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(
            own, xcb_grab_keyboard(own, 0, root, press.time, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr);
        holding = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
        std::free(reply);
        if (holding) {
            held.clear();
            heldFor = XCB_NONE;
            holdingFor.start();
        }
    }
    xcb_allow_events(own, XCB_ALLOW_ASYNC_KEYBOARD, press.time);
    // A hotkey that holds keys keeps the keyboard until its own release, which tells a new
    // press from a repeated one. Any other lets go at once: the menu it opens takes the
    // keyboard for itself.
    if (holdingIds.contains(id)) {
        hotkeyDown = press.detail;
        if (!holding) holdingFor.start();
    } else if (!holding) {
        xcb_ungrab_keyboard(own, press.time);
    }
    if (!repeat)
        xcb_change_property(own, XCB_PROP_MODE_APPEND, signalId, grabs.value(id).signal, XCB_ATOM_INTEGER, 32, 0,
                            nullptr);
    xcb_flush(own);
}

// The keyboard repeats a key held down as a release and a press with the same time stamp.
// Where Tarn let the keyboard go before the release (a hotkey that opens the menu), the
// release does not come: a press soon after the last one, the key not released since, is a
// repeat; later, it counts as new.
bool X11GlobalHotkeys::isRepeat(const xcb_key_press_event_t& press) {
    const auto down = downSince.constFind(press.detail);
    const bool repeat = (down != downSince.constEnd() && xcb_timestamp_t(press.time - *down) < repeatWithin) ||
                        releasedAt.value(press.detail) == press.time;
    downSince.insert(press.detail, press.time);
    sincePress.start();
    return repeat;
}

// A repeating key presses again every few dozen milliseconds, after a release that comes at
// the same time: a hotkey pressed within half a repeat's interval counts as still down.
bool X11GlobalHotkeys::isHeld() const {
    const QMutexLocker lock(&mutex);
    return holding || (sincePress.isValid() && sincePress.elapsed() < qint64(repeatWithin) / 2);
}

void X11GlobalHotkeys::releaseKeys(WId window) {
    const QMutexLocker lock(&mutex);
    letGo(static_cast<xcb_window_t>(window));
}

// Sends the keys held to `window` before the keyboard is let go, so that they come before
// whatever is typed after. Called with the mutex held.
void X11GlobalHotkeys::letGo(xcb_window_t window) {
    if (!holding && !hotkeyDown && held.isEmpty()) return;
    holding = false;
    heldFor = window;
    sinceRelease.start();
    if (window)
        for (const xcb_key_press_event_t& press : std::as_const(held)) sendTo(window, press);
    held.clear();
    if (!hotkeyDown) ungrabInOrder(); // else at its release; what is typed meanwhile follows to `window`
    xcb_flush(own);
    // Requests made here may have read the listener's events into xcb's queue, where its poll
    // does not see them.
    wake();
}

void X11GlobalHotkeys::ungrab() {
    xcb_ungrab_keyboard(own, XCB_CURRENT_TIME);
    xcb_flush(own);
}

// Keys already on their way to the grab when it ends would be passed on after the ones typed
// next, which go to the window directly: "app" typed at once arrived as "pp" + "a". So the
// keyboard is frozen first (the grab made synchronous; the server keeps what is typed from
// then on), what came before is passed on, and the ungrab lets the rest flow after it.
// Called with the mutex held.
void X11GlobalHotkeys::ungrabInOrder() {
    xcb_grab_keyboard_reply_t* reply = xcb_grab_keyboard_reply(
        own, xcb_grab_keyboard(own, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_SYNC), nullptr);
    const bool frozen = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    // The reply comes after every event sent before it: they wait in the queue now.
    if (frozen)
        while (xcb_generic_event_t* event = xcb_poll_for_queued_event(own)) {
            handleLocked(event);
            std::free(event);
        }
    ungrab();
}

void X11GlobalHotkeys::sendTo(xcb_window_t window, xcb_key_press_event_t press) {
    press.event = window;
    press.child = XCB_NONE;
    press.same_screen = 1;
    xcb_send_event(own, 0, window, XCB_EVENT_MASK_KEY_PRESS, reinterpret_cast<const char*>(&press));
}

// On the GUI thread: the listener's signal that a hotkey was pressed. Qt takes its time from
// the event, after this filter.
bool X11GlobalHotkeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_PROPERTY_NOTIFY) return false;
    const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (change->window != signalId) return false;
    int id = -1;
    {
        const QMutexLocker lock(&mutex);
        for (auto it = grabs.constBegin(); it != grabs.constEnd(); ++it)
            if (it->signal == change->atom) id = it.key();
    }
    // Handed to the event loop: the handler may open menus and panels.
    if (id >= 0)
        QMetaObject::invokeMethod(QCoreApplication::instance(), [this, id] { if (pressed) pressed(id); },
                                  Qt::QueuedConnection);
    return false;
}

} // namespace tarn
