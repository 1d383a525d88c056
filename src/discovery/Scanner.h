#pragma once

#include "model/Entry.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

namespace tarn {

// What the pinned folders hold: workspace files and repositories, each sorted by title, and
// the primary repository of each workspace file (path to path).
struct ScanResult {
    QList<Entry> workspaces;
    QList<Entry> repos;
    QHash<QString, QString> workspaceRepos;

    bool operator==(const ScanResult&) const = default;
};

namespace Scanner {

// Folder names that are never entered: dependency and build trees.
const QSet<QString>& skippedDirectories();

// Walks each root down to depth 3 (its children are depth 1; folders at depths 1 and 2 are
// entered) without following symbolic links or entering hidden items, skipped names or
// packages, and collects workspace files and repositories. Runs on any thread.
ScanResult scan(const QList<QUrl>& roots);

} // namespace Scanner

// Sorted by title in the file manager's order; stable.
QList<Entry> sortedByTitle(QList<Entry> entries);

} // namespace tarn
