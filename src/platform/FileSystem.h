#pragma once

#include <QByteArray>
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

// What reading a file Tarn did not write gave: its bytes, or why there are none.
struct FileContents {
    enum class Problem { none, missing, notRegular, tooLarge, unreadable };
    QByteArray bytes;
    Problem problem = Problem::none;

    bool ok() const { return problem == Problem::none; }
};

// Reads a file that others write (workspace files, editor storage, desktop entries, settings)
// without ever blocking or running out of memory on what is not an ordinary file: it is opened
// non-blocking, checked to be a regular file on the opened descriptor (so swapping it between a
// check and the open changes nothing), and read only when it holds at most `limit` bytes. A
// named pipe, device or socket is `notRegular`; a larger file is `tooLarge`, never truncated.
FileContents readRegularFile(const QString& path, qint64 limit);
std::optional<QByteArray> readRegularFileBytes(const QString& path, qint64 limit);

// Size limits of the files Tarn reads, by kind.
inline constexpr qint64 workspaceFileLimit = 1 << 20;
inline constexpr qint64 editorStorageLimit = 16 << 20;
inline constexpr qint64 settingsFileLimit = 16 << 20;
inline constexpr qint64 smallConfigLimit = 1 << 20;

// Whether the file carries the extended attribute `name` (its size can be read).
bool hasExtendedAttribute(const QString& path, const QString& name);

// The home folder of the named user; none when there is no such user.
std::optional<QString> homeFolderOf(const QString& user);

} // namespace tarn
