#include "discovery/Scanner.h"

#include "discovery/WorkspaceFile.h"
#include "model/LocalizedCompare.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace tarn {

QList<Entry> sortedByTitle(QList<Entry> entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return localizedStandardLess(a.title, b.title);
    });
    return entries;
}

namespace Scanner {

namespace {

constexpr int deepestEnteredLevel = 2;

bool hasGitEntry(const QString& folder) { return QFileInfo::exists(folder + "/.git"); }

// The walk's findings, in the order met. A pinned folder may be a link into another one, so
// findings are told apart by their resolved path; they are listed under the path met.
class Collector {
public:
    // Walks the pinned folder `root`; false when its resolved path was walked already.
    bool enterRoot(const QString& root) {
        const QString canonical = QFileInfo(root).canonicalFilePath();
        rootPath = root;
        resolvedRoot = canonical.isEmpty() ? root : canonical;
        if (walkedRoots.contains(resolvedRoot)) return false;
        walkedRoots.insert(resolvedRoot);
        return true;
    }

    void addWorkspace(const QString& path) {
        const QString standardized = QDir::cleanPath(path);
        const QString resolved = resolvedPath(standardized);
        if (!seenWorkspaces.contains(resolved)) {
            seenWorkspaces.insert(resolved);
            workspaces << standardized;
        }
    }

    // A repository inside one listed earlier is left out (one way only).
    void addRepo(const QString& path) {
        const QString standardized = QDir::cleanPath(path);
        const QString resolved = resolvedPath(standardized);
        for (QString ancestor = resolved; !ancestor.isEmpty();
             ancestor.truncate(std::max<qsizetype>(0, ancestor.lastIndexOf('/')))) {
            if (seenRepos.contains(ancestor)) return;
        }
        seenRepos.insert(resolved);
        repos << standardized;
    }

    // Reports the items of `folder`, which sit at `level`, and enters its folders.
    void walk(const QString& folder, int level) {
        for (const DirectoryItem& item : listDirectory(folder)) {
            if (item.name.startsWith('.')) continue;
            const QString path = folder + '/' + item.name;
            if (Entry::isWorkspaceFile(item.name)) {
                // A named pipe, socket or device is no file an editor could open.
                if (item.type != DirectoryItem::Type::other) addWorkspace(path);
                continue;
            }
            if (item.type != DirectoryItem::Type::directory) continue;
            if (skippedDirectories().contains(item.name)) continue;
            if (hasGitEntry(path)) addRepo(path);
            if (level > deepestEnteredLevel || isPackage(path)) continue;
            walk(path, level + 1);
        }
    }

    QList<QString> workspaces;
    QList<QString> repos;

private:
    // The walk follows no links below a root, so only the root itself needs resolving.
    QString resolvedPath(const QString& path) const {
        if (path == rootPath) return resolvedRoot;
        if (path.startsWith(rootPath + '/')) return resolvedRoot + path.mid(rootPath.size());
        return path;
    }

    QString rootPath, resolvedRoot;
    QSet<QString> walkedRoots;
    QSet<QString> seenWorkspaces;
    QSet<QString> seenRepos;
};

} // namespace

const QSet<QString>& skippedDirectories() {
    static const QSet<QString> names{"node_modules", "build",   "dist",  "DerivedData",
                                     "Pods",         "vendor",  "target", "venv",
                                     ".venv",        "__pycache__", ".build"};
    return names;
}

ScanResult scan(const QList<QUrl>& roots) {
    Collector found;
    for (const QUrl& root : roots) {
        const QString path = QDir::cleanPath(root.toLocalFile());
        if (!found.enterRoot(path)) continue;
        if (hasGitEntry(path)) found.addRepo(path);
        found.walk(path, 1);
    }

    ScanResult result;
    QList<Entry> workspaces;
    for (const QString& path : found.workspaces)
        workspaces << Entry::classify(QUrl::fromLocalFile(path));
    result.workspaces = sortedByTitle(Entry::disambiguated(workspaces));

    QList<Entry> repos;
    for (const QString& path : found.repos)
        repos << Entry{EntryKind::repo, QUrl::fromLocalFile(path), QFileInfo(path).fileName(), {}, {}};
    result.repos = sortedByTitle(Entry::disambiguated(repos));

    for (const Entry& workspace : result.workspaces) {
        if (auto repo = WorkspaceFile::primaryRepo(workspace.url))
            result.workspaceRepos.insert(workspace.url.toLocalFile(), *repo);
    }
    return result;
}

} // namespace Scanner
} // namespace tarn
