#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace tarn::WorkspaceFile {

// The text with // and /* */ comments and trailing commas before } or ] removed, so a strict
// JSON parser accepts a workspace file. Strings are copied untouched.
QString stripJSONC(const QString& text);

// The folders a workspace file names, in file order; empty when the file cannot be read or
// does not have the expected shape. Remote folders are left out.
QList<QUrl> folders(const QUrl& workspaceFile);

// The same for the bytes of a workspace file kept in the folder `base`.
QList<QUrl> folders(const QByteArray& contents, const QString& base);

// The path of the first folder of the workspace that is a git repository.
std::optional<QString> primaryRepo(const QUrl& workspaceFile);

} // namespace tarn::WorkspaceFile
