#pragma once

#include "platform/GlobalHotkeys.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSet>
#include <QTimer>

#include <xcb/xcb.h>

namespace tarn {

// Global hotkeys on X11: a key grab on the root window through Qt's own xcb connection, once
// for each state of the lock keys (none, NumLock, CapsLock, both) so the key works with
// NumLock on. A grab refused with BadAccess means another application holds the key. Presses
// arrive through a native event filter. Without X11, nothing can be grabbed.
class X11GlobalHotkeys : public GlobalHotkeys, public QAbstractNativeEventFilter {
public:
    X11GlobalHotkeys();
    ~X11GlobalHotkeys() override;

    bool grab(int id, int keyCode, int carbonModifiers) override;
    void release(int id) override;
    void holdKeysOnPress(int id) override { holdingIds.insert(id); }
    void releaseKeys(WId window) override;
    bool isHeld() const override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        quint8 keycode = 0;
        quint16 modifiers = 0;
    };
    bool isRepeat(const xcb_key_press_event_t& press);
    void hold(xcb_timestamp_t time);
    void sendTo(xcb_window_t window, xcb_key_press_event_t press);

    QHash<int, Grab> grabs;
    bool filtering = false;
    // Auto-repeat: a hotkey still down presses again every few dozen milliseconds.
    QHash<quint8, xcb_timestamp_t> downSince; // keycode -> time of its last press, while down
    QHash<quint8, xcb_timestamp_t> releasedAt; // keycode -> time of its last release
    QElapsedTimer sincePress; // since the last press of a hotkey, repeats included
    QSet<int> holdingIds;
    bool holding = false;
    QList<xcb_key_press_event_t> held;
    QTimer holdLimit; // never keep the keyboard for long, whatever happens
    xcb_window_t heldFor = XCB_NONE; // where the keys went when the keyboard was let go
    QElapsedTimer sinceRelease;
};

} // namespace tarn
