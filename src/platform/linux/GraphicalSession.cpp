#include "platform/GraphicalSession.h"

#include <QDir>
#include <QFileInfo>

#include <xcb/xcb.h>

namespace tarn::GraphicalSession {

namespace {

bool waylandAnswers(const QString& display) {
    if (display.isEmpty()) return false;
    const QString socket =
        display.startsWith('/') ? display : qEnvironmentVariable("XDG_RUNTIME_DIR") + '/' + display;
    return QFileInfo(socket).exists();
}

bool x11Answers(const QString& display) {
    if (display.isEmpty()) return false;
    xcb_connection_t* connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    const bool answers = connection && xcb_connection_has_error(connection) == 0;
    if (connection) xcb_disconnect(connection);
    return answers;
}

} // namespace

std::optional<QString> problem() {
    const QString chosen = qEnvironmentVariable("QT_QPA_PLATFORM");
    // A platform chosen by hand that needs no display (offscreen, vnc, …) is the user's call.
    if (!chosen.isEmpty() && !chosen.startsWith(QLatin1String("xcb")) &&
        !chosen.startsWith(QLatin1String("wayland")))
        return std::nullopt;

    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    const QString x11 = qEnvironmentVariable("DISPLAY");
    if (waylandAnswers(wayland) || x11Answers(x11)) return std::nullopt;
    if (wayland.isEmpty() && x11.isEmpty())
        return QStringLiteral("no X11 or Wayland display was found (DISPLAY and WAYLAND_DISPLAY "
                              "are unset).");
    QStringList tried;
    if (!x11.isEmpty()) tried << QStringLiteral("the X11 display \"%1\"").arg(x11);
    if (!wayland.isEmpty()) tried << QStringLiteral("the Wayland display \"%1\"").arg(wayland);
    return tried.join(QLatin1String(" and ")) + QStringLiteral(" did not answer.");
}

} // namespace tarn::GraphicalSession
