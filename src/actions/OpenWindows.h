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

// Asked once after launch: allow reading window titles, not now, or turn the dots off.
void askAtLaunch();

// Asks again for the permission to read window titles and opens its settings; on Linux, where
// there is no permission, an alert says what the dots need and how to get it.
void fixAccess();

} // namespace tarn::OpenWindows
