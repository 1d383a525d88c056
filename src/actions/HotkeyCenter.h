#pragma once

#include "actions/Hotkeys.h"

#include <QHash>
#include <QPair>
#include <functional>
#include <optional>

namespace tarn {

// Binds the chosen presets to the desktop's global hotkeys and calls the handler of the one
// pressed, on the GUI thread.
class HotkeyCenter {
public:
    static HotkeyCenter& shared();

    // Replaces what number `id` does. None turns the hotkey off (and succeeds); false when
    // another application holds the combination, or another number of ours does (the
    // handler is kept, never called).
    bool registerHotkey(int id, const std::optional<HotkeyPreset>& preset, std::function<void()> handler);
    // Whether number `id` holds a key now: only then is its key shown as the way to reach Tarn.
    bool isBound(int id) const;

private:
    HotkeyCenter() = default;
    void pressed(int id);

    QHash<int, std::function<void()>> handlers;
    QHash<int, QPair<int, int>> bound; // number -> key code and modifiers it holds
};

} // namespace tarn
