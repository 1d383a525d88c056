#pragma once

#include <QtGlobal>
#include <optional>

namespace tarn::X11ServerTime {

// The X server's time now, asked on a connection of its own (a property change on a window
// nobody sees, and the time stamp of its notice); none without an X11 display. Startup ids
// carry it, so that a window manager with focus-stealing prevention lets the application Tarn
// starts come to the front.
std::optional<quint32> now();

} // namespace tarn::X11ServerTime
