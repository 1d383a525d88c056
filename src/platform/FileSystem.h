#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>
#include <string_view>

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

// The same with the names as the kernel gives them, byte for byte, in a folder named by bytes:
// for names that are not UTF-8, which text cannot carry.
struct RawDirectoryItem {
    QByteArray name;
    DirectoryItem::Type type = DirectoryItem::Type::other;
};
QList<RawDirectoryItem> listDirectoryBytes(const QByteArray& path);

// Calls `each` with every name in the folder at `path` (without "." and "..") and its type, as
// listDirectoryBytes gives them, without a copy per name: for walks of millions of files.
// False when the folder cannot be read.
bool forEachInDirectory(const char* path, const std::function<void(std::string_view name, DirectoryItem::Type type)>& each);

// A file URL naming `path` byte for byte: bytes that are not UTF-8 stay percent-encoded in it,
// so a name the file system has in another encoding is still opened, revealed and handed on as
// it is. For UTF-8 paths it equals QUrl::fromLocalFile.
QUrl fileURL(const QByteArray& path);
// The path a file URL names, byte for byte (QUrl::toLocalFile replaces undecodable bytes).
QByteArray localPath(const QUrl& url);
// Whether `path` is valid UTF-8, so that text carries it unchanged.
bool isUtf8(const QByteArray& path);
// Moves the item at `path` to the user's Trash (the freedesktop one, as file managers do); the
// reason when it could not be moved. A name that is not UTF-8 keeps its bytes: it is put in
// the Trash of the home folder, which must be on the same file system.
std::optional<QString> moveToTrash(const QByteArray& path);

// Whether something exists at `path`, and whether it is a folder (a link is followed).
bool existsAt(const QByteArray& path);
bool isDirectoryAt(const QByteArray& path);

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
