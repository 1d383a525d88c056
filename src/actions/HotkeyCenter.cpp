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
    hotkeys.release(id);
    handlers.insert(id, std::move(handler));
    if (!preset) return true;
    if (!listening) {
        hotkeys.pressed = [this](int pressedID) { pressed(pressedID); };
        listening = true;
    }
    return hotkeys.grab(id, preset->keyCode, preset->carbonModifiers);
}

void HotkeyCenter::pressed(int id) {
    const auto handler = handlers.constFind(id);
    if (handler != handlers.constEnd() && *handler) (*handler)();
}

} // namespace tarn
