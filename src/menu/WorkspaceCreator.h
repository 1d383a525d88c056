#pragma once

#include <QByteArray>
#include <QUrl>
#include <optional>

namespace tarn::WorkspaceCreator {

// Writes "<workspaces folder>/<folder name>.code-workspace" listing `folder`, never over an
// existing file, and offers to open it.
void save(const QUrl& folder);

// Asks where new workspace files go, stores it and pins it when no pinned folder holds it.
std::optional<QUrl> chooseWorkspacesFolder();

// The bytes of a workspace file listing the folder at `path`.
QByteArray contents(const QString& path);

} // namespace tarn::WorkspaceCreator
