#include "actions/Hotkeys.h"

namespace tarn::Hotkeys {

const QList<HotkeyPreset>& presets() {
    static const QList<HotkeyPreset> table{
        {"ctrl-opt-space", "Ctrl+Alt+Space", 49, 0x1800, " ", 0xC0000},
        {"opt-space", "Alt+Space", 49, 0x800, " ", 0x80000},
        {"shift-opt-space", "Alt+Shift+Space", 49, 0xA00, " ", 0xA0000},
        {"ctrl-opt-cmd-space", "Super+Ctrl+Alt+Space", 49, 0x1900, " ", 0x1C0000},
        {"ctrl-opt-m", "Ctrl+Alt+M", 46, 0x1800, "m", 0xC0000},
        {"ctrl-opt-o", "Ctrl+Alt+O", 31, 0x1800, "o", 0xC0000},
        {"ctrl-opt-u", "Ctrl+Alt+U", 32, 0x1800, "u", 0xC0000},
        {"opt-cmd-o", "Super+Alt+O", 31, 0x900, "o", 0x180000},
    };
    return table;
}

std::optional<HotkeyPreset> preset(const QString& id) {
    for (const HotkeyPreset& row : presets())
        if (row.id == id) return row;
    return std::nullopt;
}

} // namespace tarn::Hotkeys
