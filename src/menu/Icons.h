#pragma once

#include <QIcon>
#include <QString>

namespace tarn::Icons {

// The icon theme's icon for the type of the file or folder at `path` (by its name; a folder by
// what it is), made once per type and kept for the life of the process. Main thread only.
QIcon file(const QString& path);

// The icon standing for a system symbol name ("folder", "clock", "magnifyingglass", …): the
// icon theme's, else one of the style's own, so that no item is ever blank.
QIcon symbol(const QString& name);

// The freedesktop icon names that stand for a system symbol, best first; empty for a name
// Tarn does not use.
QStringList themeNames(const QString& symbol);

} // namespace tarn::Icons
