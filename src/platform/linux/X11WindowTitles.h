#pragma once

#include "platform/WindowTitles.h"

namespace tarn {

// Window titles from X11 through xcb: the windows of _NET_CLIENT_LIST (or the root's children
// without an EWMH window manager) whose WM_CLASS names the editor, titled by _NET_WM_NAME or
// WM_NAME. "Trusted" means an X11 display answers; a Wayland-only session has none, and then no
// title is read. Every request waits at most a quarter of a second for its reply.
class X11WindowTitles : public WindowTitles {
public:
    bool isTrusted() const override;
    QStringList titles(const QStringList& bundleIDs) const override;

    // The WM_CLASS names (lower case) that the Linux builds of an application use.
    static QStringList windowClasses(const QString& bundleID);
};

} // namespace tarn
