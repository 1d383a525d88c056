#pragma once

#include <QString>
#include <optional>

namespace tarn::GraphicalSession {

// Why Tarn cannot show itself here, or none when a display answers. Asked before the
// application object exists: Qt aborts when its display plugin finds no display.
std::optional<QString> problem();

} // namespace tarn::GraphicalSession
