#pragma once

#include "model/RawValue.h"

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace tarn {

enum class EntryKind { workspace, repo, folder, file, link, shortcut };

template <> struct EnumCases<EntryKind> {
    static constexpr std::array values{EntryKind::workspace, EntryKind::repo,
                                       EntryKind::folder,    EntryKind::file,
                                       EntryKind::link,      EntryKind::shortcut};
};
QString rawValue(EntryKind kind);

// One launchable thing: a workspace file, repository, folder, file, link or shortcut.
struct Entry {
    EntryKind kind = EntryKind::file;
    QUrl url;
    QString title;
    std::optional<QString> shortcutID;
    std::optional<QString> hint;

    bool operator==(const Entry&) const = default;

    // The entry of a file location: workspace by extension (no disk access), then repository
    // or folder for a directory that is not a package, else file.
    static Entry classify(const QUrl& url);

    // Whether a file of this name is a workspace file: the extension "code-workspace", exactly,
    // after a name (a dot file such as ".code-workspace" has no extension, only a name).
    static bool isWorkspaceFile(const QString& fileName);

    // The same entries with `hint` set to the parent folder's name where a kind and a
    // case-insensitive title clash (links and shortcuts are never hinted).
    static QList<Entry> disambiguated(const QList<Entry>& entries);
};

size_t qHash(const Entry& entry, size_t seed = 0);

// Whether a file URL names this machine: no host, or "localhost".
bool isOnThisMachine(const QUrl& url);

// The file URL with "." and ".." and a trailing slash resolved, "localhost" as this machine;
// symbolic links are left alone.
QUrl standardizedFileURL(const QUrl& url);

// The path for display, with the home folder written as "~".
QString tildePath(const QUrl& url);

// Whether the location is a directory now; false on any error.
bool isDirectoryOnDisk(const QUrl& url);

// A directory the file manager shows as one file. Linux has no such notion of its own, so
// this is the macOS rule for the bundle extensions that travel with copied trees
// (".app", ".framework", ".xcodeproj", …), compared without regard to case.
bool isPackage(const QString& directoryPath);

} // namespace tarn
