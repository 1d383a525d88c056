#include "discovery/Library.h"

#include "discovery/WorkspaceFile.h"

#include <QFileInfo>

namespace tarn {

Library& Library::shared() {
    static Library* library = new Library;
    return *library;
}

std::optional<QString> Library::gitPath(const Entry& entry) {
    if (entry.kind == EntryKind::repo) return entry.url.path();
    if (entry.kind != EntryKind::workspace) return std::nullopt;
    const QString path = entry.url.path();
    const auto known = workspaceRepos.constFind(path);
    if (known != workspaceRepos.constEnd()) return *known;
    if (workspacesWithoutRepo.contains(path)) return std::nullopt;
    const std::optional<QString> repo = WorkspaceFile::primaryRepo(entry.url);
    if (repo)
        workspaceRepos.insert(path, *repo);
    else
        workspacesWithoutRepo.insert(path);
    return repo;
}

bool Library::isOpen(const Entry& entry) const {
    if (openParts.isEmpty()) return false;
    const QFileInfo file(entry.url.path());
    switch (entry.kind) {
    case EntryKind::repo:
    case EntryKind::folder: return openParts.contains(file.fileName());
    case EntryKind::workspace: return openParts.contains(file.completeBaseName() + " (Workspace)");
    default: return false;
    }
}

} // namespace tarn
