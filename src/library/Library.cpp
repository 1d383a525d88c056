#include "library/Library.h"

#include "actions/OpenWindows.h"
#include "discovery/BlockingPool.h"
#include "discovery/Editors.h"
#include "discovery/WorkspaceFile.h"
#include "git/GitStore.h"
#include "model/Store.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace tarn {

namespace {

constexpr int recentsLimit = 40;
constexpr auto shortcutsInterval = std::chrono::seconds(60);
const QString dot = QStringLiteral(" \u00B7 ");

Library::Sources realSources() {
    return {&Scanner::scan, &Recents::load, [] { return ShortcutsCLI::load(); }, &FolderListing::shownListing};
}

QString location(const Entry& entry) {
    if (entry.kind == EntryKind::link || entry.kind == EntryKind::shortcut) return entry.url.toString();
    return tildePath(entry.url);
}

// The key that makes an entry a duplicate of another in Quick Open.
QString duplicateKey(const Entry& entry) { return QOEntry{entry, QString()}.id(); }

} // namespace

Library::Library() : sources(realSources()), now(&Clock::now) {}

Library& Library::shared() {
    static Library* library = new Library;
    return *library;
}

void Library::setSources(Sources replacement) { sources = std::move(replacement); }

void Library::setClock(std::function<Clock::time_point()> replacement) { now = std::move(replacement); }

void Library::reset() {
    *this = Library();
}

void Library::mergeWorkspaceRepos(const QHash<QString, QString>& found) {
    for (auto it = found.begin(); it != found.end(); ++it) workspaceRepos.insert(it.key(), it.value());
}

void Library::refresh(bool forceShortcuts) {
    openParts = OpenWindows::titleParts();

    if (!scanning) {
        scanning = true;
        QList<QUrl> roots;
        for (const PinnedFolder& folder : Store::shared().pinnedFolders())
            roots << QUrl::fromLocalFile(folder.path);
        runInBackground(TaskPriority::userInitiated, [this, roots, scan = sources.scan] {
            const ScanResult result = scan(roots);
            runOnMainThread([this, result] {
                scanning = false;
                mergeWorkspaceRepos(result.workspaceRepos);
                if (result != this->scan) {
                    this->scan = result;
                    if (onChange) onChange();
                }
                refreshGit();
            });
        });
    }

    const std::optional<Editor> editor = Editors::recentsEditor();
    if (!loadingRecents && editor && editor->storageFolder) {
        loadingRecents = true;
        runInBackground(TaskPriority::userInitiated,
                        [this, folder = *editor->storageFolder, load = sources.recents] {
                            const RecentsResult result = load(folder, recentsLimit);
                            runOnMainThread([this, result] {
                                loadingRecents = false;
                                mergeWorkspaceRepos(result.workspaceRepos);
                                if (result.entries != recents) {
                                    recents = result.entries;
                                    if (onChange) onChange();
                                }
                                refreshGit();
                            });
                        });
    }

    const bool due = !shortcutsLoadedAt || now() - *shortcutsLoadedAt > shortcutsInterval;
    if (!loadingShortcuts && (forceShortcuts || due)) {
        loadingShortcuts = true;
        runInBackground(TaskPriority::utility, [this, load = sources.shortcuts] {
            const ShortcutsSnapshot snapshot = load();
            runOnMainThread([this, snapshot] {
                loadingShortcuts = false;
                shortcutsLoadedAt = now();
                if (snapshot != shortcuts) {
                    shortcuts = snapshot;
                    if (onChange) onChange();
                }
            });
        });
    }

    refreshFolders();
    refreshGit();
}

void Library::refreshFolders() {
    if (listingFolders) return;
    listingFolders = true;
    runInBackground(TaskPriority::userInitiated, [this, pinned = Store::shared().pinnedFolders(),
                                                  read = sources.listing] {
        QHash<QString, FolderContents> result;
        for (const PinnedFolder& folder : pinned) {
            FolderContents contents{folder.options, read(QUrl::fromLocalFile(folder.path), folder.options), {}};
            for (const FolderListing::Listed& child : contents.listing.first)
                contents.entries << Entry::classify(child.url);
            result.insert(folder.path, contents);
        }
        runOnMainThread([this, result] {
            listingFolders = false;
            if (result != folders) {
                folders = result;
                if (onChange) onChange();
            }
        });
    });
}

std::optional<FolderListing::Listing> Library::listingOf(const QString& path, const FolderOptions& options) const {
    for (const QHash<QString, FolderContents>* kept : {&folders, &browsed}) {
        const auto found = kept->constFind(path);
        if (found != kept->constEnd() && found->options == options) return found->listing;
    }
    return std::nullopt;
}

void Library::rememberListing(const QString& path, const FolderOptions& options, const FolderListing::Listing& listing) {
    constexpr qsizetype browsedLimit = 512; // folders; each listing holds at most its item limit
    if (browsed.size() >= browsedLimit && !browsed.contains(path)) browsed.clear();
    browsed.insert(path, {options, listing, {}});
}

void Library::refreshGit() {
    if (!Store::shared().boolean(Keys::showGitStatus, true)) return;
    const QList<Entry> candidates = scan.repos + scan.workspaces + recents + favoriteEntries();
    QSet<QString> paths;
    for (const Entry& entry : candidates)
        if (const std::optional<QString> path = gitPath(entry)) paths.insert(*path);
    if (!paths.isEmpty()) GitStore::shared().refresh(paths.values(), false);
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

QList<Entry> Library::favoriteEntries() {
    const QList<Favorite> favorites = Store::shared().favorites();
    if (favorites != knownFavorites) {
        knownFavorites = favorites;
        knownFavoriteEntries.clear();
        for (const Favorite& favorite : favorites) knownFavoriteEntries << favorite.entry();
        return knownFavoriteEntries;
    }
    for (qsizetype i = 0; i < favorites.size(); ++i) {
        if (favorites[i].kind != Favorite::Kind::path) continue;
        const Entry now = favorites[i].entry();
        if (now != std::as_const(knownFavoriteEntries)[i]) knownFavoriteEntries[i] = now;
    }
    return knownFavoriteEntries;
}

QList<QOEntry> Library::quickOpenEntries() {
    Catalogue made{favoriteEntries(), Store::shared().pinnedFolders(), {}, recents, shortcuts, scan, folders};
    for (const PinnedFolder& folder : std::as_const(made.pinned))
        made.pinnedEntries << Entry::classify(QUrl::fromLocalFile(folder.path));
    if (!catalogue || catalogue->first != made) catalogue = std::pair(made, gatherQuickOpenEntries(made));
    return catalogue->second;
}

QList<QOEntry> Library::gatherQuickOpenEntries(const Catalogue& made) const {
    QList<QOEntry> result;
    QSet<QString> seen;
    auto add = [&](const Entry& entry, const QString& detail) {
        const QString key = duplicateKey(entry);
        if (seen.contains(key)) return;
        seen.insert(key);
        result << QOEntry{entry, detail};
    };
    for (const Entry& entry : made.favorites) add(entry, "Favorite" + dot + location(entry));
    for (const Entry& entry : made.recents) add(entry, "Recent" + dot + location(entry));
    for (const ShortcutItem& item : made.shortcuts.items) {
        const Entry entry{EntryKind::shortcut, ShortcutsCLI::editURL(item), item.name, item.id, std::nullopt};
        add(entry, item.folder ? "Shortcut" + dot + *item.folder : QStringLiteral("Shortcut"));
    }
    for (const Entry& entry : made.scan.workspaces) add(entry, "Workspace" + dot + location(entry));
    for (const Entry& entry : made.scan.repos) add(entry, "Repository" + dot + location(entry));
    for (qsizetype i = 0; i < made.pinned.size(); ++i) {
        const QString& path = made.pinned[i].path;
        add(made.pinnedEntries[i], "Folder" + dot + tildePath(QUrl::fromLocalFile(QFileInfo(path).path())));
        const QString in = "In " + QFileInfo(path).fileName();
        for (const Entry& child : made.folders.value(path).entries) add(child, in);
    }
    return result;
}

} // namespace tarn
