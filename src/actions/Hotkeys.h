#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace tarn {

// One of the global shortcuts the user can choose. The codes are the table's own (macOS
// virtual key codes and modifier masks); on Linux they are mapped when the key is grabbed.
struct HotkeyPreset {
    QString id;
    QString title;
    int keyCode = 0;
    int carbonModifiers = 0;
    QString keyEquivalent;
    int flags = 0;

    bool operator==(const HotkeyPreset&) const = default;
};

namespace Hotkeys {

// The eight presets, in the order the settings list them.
const QList<HotkeyPreset>& presets();

// The preset with exactly this identifier; none for "off" and anything else.
std::optional<HotkeyPreset> preset(const QString& id);

} // namespace Hotkeys
} // namespace tarn
