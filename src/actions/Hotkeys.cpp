#include "actions/Hotkeys.h"

namespace tarn::Hotkeys {

const QList<HotkeyPreset>& presets() {
    static const QList<HotkeyPreset> table{
        {"ctrl-opt-space", "\u2303\u2325Space", 49, 0x1800, " ", 0xC0000},
        {"opt-space", "\u2325Space", 49, 0x800, " ", 0x80000},
        {"shift-opt-space", "\u21E7\u2325Space", 49, 0xA00, " ", 0xA0000},
        {"ctrl-opt-cmd-space", "\u2303\u2325\u2318Space", 49, 0x1900, " ", 0x1C0000},
        {"ctrl-opt-m", "\u2303\u2325M", 46, 0x1800, "m", 0xC0000},
        {"ctrl-opt-o", "\u2303\u2325O", 31, 0x1800, "o", 0xC0000},
        {"ctrl-opt-u", "\u2303\u2325U", 32, 0x1800, "u", 0xC0000},
        {"opt-cmd-o", "\u2325\u2318O", 31, 0x900, "o", 0x180000},
    };
    return table;
}

std::optional<HotkeyPreset> preset(const QString& id) {
    for (const HotkeyPreset& row : presets())
        if (row.id == id) return row;
    return std::nullopt;
}

} // namespace tarn::Hotkeys
