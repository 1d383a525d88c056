#pragma once

#include "model/Entry.h"

#include <QHash>
#include <QList>

namespace tarn {

// The workspaces and folders an editor opened recently, newest first, and the primary
// repository of each recent workspace file (path to path).
struct RecentsResult {
    QList<Entry> entries;
    QHash<QString, QString> workspaceRepos;

    bool operator==(const RecentsResult&) const = default;
};

namespace Recents {

// The editor's configuration folder: $XDG_CONFIG_HOME/<storageFolder>.
QString dataFolder(const QString& storageFolder);

// Reads <data folder>/User/workspaceStorage/*/workspace.json, dated by each folder's
// state.vscdb. At most `limit` entries; things that no longer exist, remote and untitled
// workspaces are left out. Runs on any thread; never fails.
// The folder or workspace file a workspace.json names; none unless it is a valid file URL of
// an absolute path on this machine.
std::optional<QUrl> recordedLocation(const QByteArray& workspaceJson);

RecentsResult load(const QString& storageFolder, int limit);

} // namespace Recents
} // namespace tarn
