#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace tarn::OpenWindows {

// The trimmed fragments of all editor window titles; empty when the setting is off or titles
// cannot be read. Runs on the GUI thread, each window-system request bounded.
QSet<QString> titleParts();

// A window title cut at " — ", " – " and " - ", each piece trimmed of white space and "●".
QStringList split(const QString& title);

// Why the open-window setting is greyed where titles cannot be read: Linux has no permission
// to ask for, only the X11 display (a Wayland session gives none to other clients).
QString unreadableReason();

} // namespace tarn::OpenWindows
