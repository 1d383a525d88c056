#pragma once

#include <QAction>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>

namespace tarn::Presets {

// "Latest Downloads", "Recent Screenshots" and "Volumes": items whose submenus read the disk
// when they open.
QAction* downloads();
QAction* screenshots();
QAction* volumes();

// The newest 15 items of `folder` that pass `filter`, newest first by `date` (the
// modification time when `date` has none); hidden items are left out.
QList<QUrl> latest(const QString& folder, const std::function<QDateTime(const QString&)>& date,
                   const std::function<bool(const QString&)>& filter);

// Where this desktop saves screenshots: KDE Spectacle's save location when set, GNOME's
// Pictures/Screenshots when it exists, else the Desktop.
QString screenshotFolder();

// A screenshot by macOS's extended attribute or by one of the nine name prefixes.
bool isScreenshot(const QString& path);

// When a file was added to its folder: the later of its birth time (where recorded) and its
// status-change time, which a move or rename sets.
QDateTime dateAdded(const QString& path);

} // namespace tarn::Presets
