#pragma once

#include "platform/GlobalHotkeys.h"

#include <QAbstractNativeEventFilter>
#include <QHash>

namespace tarn {

// Global hotkeys on X11: a key grab on the root window through Qt's own xcb connection, once
// for each state of the lock keys (none, NumLock, CapsLock, both) so the key works with
// NumLock on. A grab refused with BadAccess means another application holds the key. Presses
// arrive through a native event filter. Without X11, nothing can be grabbed.
class X11GlobalHotkeys : public GlobalHotkeys, public QAbstractNativeEventFilter {
public:
    ~X11GlobalHotkeys() override;

    bool grab(int id, int keyCode, int carbonModifiers) override;
    void release(int id) override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        quint8 keycode = 0;
        quint16 modifiers = 0;
    };
    QHash<int, Grab> grabs;
    bool filtering = false;
};

} // namespace tarn
