#pragma once

#include <QAction>
#include <QList>
#include <QStringList>

namespace tarn::test {

// One menu row as a person reads it: "-" a separator, "# title" a header, "[x] " a checked
// item, "title [info]" a two-column title, " (off)" a disabled item, " >" a submenu.
QString describe(const QAction* item);

// The visible rows of a menu, each described.
QStringList outline(const QList<QAction*>& items);

// The rows of `item`'s submenu, made now.
QList<QAction*> openSubmenu(QAction* item);

// The visible row whose title reads `title`, or null.
QAction* findRow(const QList<QAction*>& items, const QString& title);

} // namespace tarn::test
