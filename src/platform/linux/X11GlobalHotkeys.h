#pragma once

#include "platform/GlobalHotkeys.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QWindow>

#include <xcb/xcb.h>

#include <memory>
#include <thread>

namespace tarn {

// Global hotkeys on X11: a key grab on the root window, once for each state of the lock keys
// (none, NumLock, CapsLock, both) so the key works with NumLock on. A grab refused with
// BadAccess means another application holds the key. Without X11, nothing can be grabbed.
//
// The grabs live on a connection of their own, served by a thread of their own, and are
// synchronous: a hotkey press freezes the keyboard until that thread has taken the whole
// keyboard (for a hotkey that holds keys) or let it go, within microseconds and whatever the
// GUI thread is doing, so no key typed right after the hotkey reaches another window. The
// GUI thread learns of a press from a property changed on a window of its own, which also
// gives Qt the server's time, which the window manager asks of a window that wants the focus.
class X11GlobalHotkeys : public GlobalHotkeys, public QAbstractNativeEventFilter {
public:
    X11GlobalHotkeys();
    ~X11GlobalHotkeys() override;

    bool grab(int id, int keyCode, int carbonModifiers) override;
    void release(int id) override;
    void holdKeysOnPress(int id) override;
    void releaseKeys(WId window) override;
    bool isHeld() const override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        quint8 keycode = 0;
        quint16 modifiers = 0;
        xcb_atom_t signal = XCB_ATOM_NONE; // the property changed when it is pressed
    };
    bool start();
    // The number that holds the key with these modifiers; -1 when none.
    int holder(quint8 keycode, quint16 modifiers) const;
    void listen();
    void wake();
    void handle(const xcb_generic_event_t* event);
    void handleLocked(const xcb_generic_event_t* event); // the mutex held
    void pressedHotkey(int id, const xcb_key_press_event_t& press);
    bool isRepeat(const xcb_key_press_event_t& press);
    void letGo(xcb_window_t window);
    void ungrab();
    void ungrabInOrder();
    void sendTo(xcb_window_t window, xcb_key_press_event_t press);

    xcb_connection_t* own = nullptr;
    xcb_window_t root = XCB_NONE;
    std::unique_ptr<QWindow> signalWindow; // never shown
    xcb_window_t signalId = XCB_NONE;
    std::thread listener;
    int wakeFds[2] = {-1, -1};
    bool filtering = false;

    // Shared by the GUI thread and the listener.
    mutable QMutex mutex;
    QHash<int, Grab> grabs;
    QSet<int> holdingIds;
    // Auto-repeat: a hotkey still down presses again every few dozen milliseconds.
    QHash<quint8, xcb_timestamp_t> downSince;  // keycode -> time of its last press, while down
    QHash<quint8, xcb_timestamp_t> releasedAt; // keycode -> time of its last release
    QElapsedTimer sincePress;                  // since the last press of a hotkey, repeats included
    bool holding = false;
    quint8 hotkeyDown = 0; // the key of a hotkey that holds keys, until its release
    QElapsedTimer holdingFor; // never keep the keyboard for long, whatever happens
    QList<xcb_key_press_event_t> held;
    xcb_window_t heldFor = XCB_NONE; // where the keys went when the keyboard was let go
    QElapsedTimer sinceRelease;
};

} // namespace tarn
