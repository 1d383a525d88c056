#pragma once

#include <QString>
#include <QtGui/qwindowdefs.h>

#include <functional>

namespace tarn {

// System-wide key combinations, given as the preset table has them (a macOS virtual key code
// and Carbon modifier mask), mapped to the desktop's own keys.
class GlobalHotkeys {
public:
    virtual ~GlobalHotkeys() = default;

    // Binds number `id` to the combination; false when another application holds it.
    virtual bool grab(int id, int keyCode, int carbonModifiers) = 0;
    // Releases number `id`, if bound.
    virtual void release(int id) = 0;

    // What number `id` does, for desktops that list the shortcuts they bind ("Quick Open").
    virtual void describe(int id, const QString& description) { (void)id, (void)description; }
    // False where Tarn cannot bind keys at all (Wayland without the shortcuts portal): the user
    // binds Tarn's commands in the desktop's own keyboard settings.
    virtual bool canBind() const { return true; }
    // Whether the desktop holds number `id` for Tarn now. A grab answers at once, but a
    // desktop portal confirms a binding only later (or never): until then it is not held.
    virtual bool holds(int id) const { (void)id; return true; }
    // Where Tarn cannot bind keys yet but may set them up in the desktop's own settings, once
    // the user agrees (GNOME's custom shortcuts): the desktop's name; empty elsewhere.
    virtual QString setUpPlace() const { return QString(); }
    // Sets the keys up there: from then on `canBind` is true and grabs write the desktop's
    // settings. False when that cannot be done.
    virtual bool setUp() { return false; }

    // Makes a press of number `id` hold the keyboard: what is typed next is kept, in order,
    // until releaseKeys, so that letters typed right after the hotkey reach the window it
    // opens rather than the one the user was in.
    virtual void holdKeysOnPress(int id) { (void)id; }
    // Ends the hold: the keys typed since go to `window` (0: nowhere).
    virtual void releaseKeys(WId window) { (void)window; }

    // Whether a hotkey is down now: while it is, its grab takes the keyboard focus from the
    // window that has it.
    virtual bool isHeld() const { return false; }

    // Called on the GUI thread with the number of a pressed combination; a press repeated by
    // the keyboard while the key is held is not one.
    std::function<void(int id)> pressed;
    // Called on the GUI thread when what `holds` or `canBind` answers may have changed.
    std::function<void()> holdingChanged;
};

} // namespace tarn
