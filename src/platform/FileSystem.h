#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace tarn {

// One name in a directory and its type as the directory itself reports it; a symbolic link is
// reported as a link, never as what it points to.
struct DirectoryItem {
    enum class Type { directory, file, link, other };
    QString name;
    Type type = Type::other;

    bool operator==(const DirectoryItem&) const = default;
};

// The names in `path` (without "." and ".."), in the order the file system gives them, typed
// without a stat per entry where the file system already tells the type. Empty when the folder
// cannot be read.
QList<DirectoryItem> listDirectory(const QString& path);

// Whether the file carries the extended attribute `name` (its size can be read).
bool hasExtendedAttribute(const QString& path, const QString& name);

// The home folder of the named user; none when there is no such user.
std::optional<QString> homeFolderOf(const QString& user);

} // namespace tarn
