#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace tarn::X11StartupNotification {

// The startup sequence an application's startup id stands for, told to the window manager as
// the X11 startup-notification protocol has it (messages to the root window): `begin` before
// the application starts, with the time its window may claim the focus at (0: in the
// background, never to take the focus), `end` when it is up or failed. Without the sequence,
// Mutter sees a window it was not told of and focuses it, and GTK takes a startup id of time
// zero for one with no time at all. Each call uses a short connection of its own; nothing
// without an X11 display.
void begin(const QByteArray& id, const QString& name, quint32 time);
void end(const QByteArray& id);

// The text of a message: `kind` ("new:", "remove:") then each key="value", quoted and escaped
// as the protocol wants.
QByteArray message(const QByteArray& kind, const QList<QPair<QByteArray, QByteArray>>& fields);

} // namespace tarn::X11StartupNotification
