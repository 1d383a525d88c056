#include "actions/HotkeyCenter.h"

#include "platform/GlobalHotkeys.h"
#include "platform/Platform.h"

namespace tarn {

HotkeyCenter& HotkeyCenter::shared() {
    static HotkeyCenter* center = new HotkeyCenter;
    return *center;
}

bool HotkeyCenter::registerHotkey(int id, const std::optional<HotkeyPreset>& preset, std::function<void()> handler) {
    GlobalHotkeys& hotkeys = platform().hotkeys();
    if (bound.remove(id)) hotkeys.release(id);
    handlers.insert(id, std::move(handler));
    // Where the desktop binds keys itself (Wayland without the portal) nothing is held.
    if (!preset || !hotkeys.canBind()) return true;
    hotkeys.pressed = [this](int pressedID) { pressed(pressedID); };
    const QPair<int, int> combination(preset->keyCode, preset->carbonModifiers);
    // The desktop grants a key to a client once: a second number of ours on it would leave
    // one of the two to chance, and releasing it would take the key from the other.
    for (auto it = bound.cbegin(); it != bound.cend(); ++it)
        if (it.value() == combination) return false;
    if (!hotkeys.grab(id, preset->keyCode, preset->carbonModifiers)) return false;
    bound.insert(id, combination);
    return true;
}

bool HotkeyCenter::isBound(int id) const { return bound.contains(id) && platform().hotkeys().holds(id); }

void HotkeyCenter::pressed(int id) {
    const auto handler = handlers.constFind(id);
    if (handler != handlers.constEnd() && *handler) (*handler)();
}

} // namespace tarn
