#pragma once

#include "discovery/FolderListing.h"
#include "discovery/Recents.h"
#include "discovery/Scanner.h"
#include "discovery/ShortcutsCLI.h"
#include "model/Entry.h"
#include "model/Favorite.h"
#include "model/PinnedFolder.h"
#include "model/QOEntry.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

namespace tarn {

// Everything Tarn has discovered: the workspaces and repositories in the pinned folders, the
// editor's recents, the Shortcuts catalogue and the open editor windows. Refreshed in the
// background, one task of each kind at a time; results are published on the main thread, and
// `onChange` is called when one differs from what was there. Main thread only.
class Library {
public:
    using Clock = std::chrono::steady_clock;

    static Library& shared();

    ScanResult scan;
    QList<Entry> recents;
    ShortcutsSnapshot shortcuts;
    QSet<QString> openParts;                 // title parts of open editor windows
    QHash<QString, QString> workspaceRepos;  // workspace file path -> repository path
    QSet<QString> workspacesWithoutRepo;     // workspace files known to have none
    // Each pinned folder's children as its menu shows them (the first `itemLimit`, and the
    // count), and those children as entries for Quick Open; read in the background, so that
    // a folder of 200 000 files never holds up the menu or the panel.
    struct FolderContents {
        FolderOptions options; // what the listing was read with
        FolderListing::Listing listing;
        QList<Entry> entries;
        bool operator==(const FolderContents&) const = default;
    };
    QHash<QString, FolderContents> folders; // by pinned folder path
    QHash<QString, FolderContents> browsed;  // folders inside, by path, as submenus last read them
    bool scanning = false;
    bool listingFolders = false;
    bool loadingRecents = false;
    bool loadingShortcuts = false;
    std::optional<Clock::time_point> shortcutsLoadedAt; // none: never loaded

    // Called on the main thread after scan, recents or shortcuts changed.
    std::function<void()> onChange;

    // Starts what is not running yet (scan, recents, the Shortcuts catalogue at most once a
    // minute unless forced) and returns at once.
    void refresh(bool forceShortcuts);

    // Reads the pinned folders' listings again, unless a read is running.
    void refreshFolders();
    // A folder's listing, if one was read with these options: a pinned folder's, or the last
    // one a submenu read of a folder inside.
    std::optional<FolderListing::Listing> listingOf(const QString& path, const FolderOptions& options) const;
    // Keeps what a submenu read of a folder, so that the submenu made again shows it at once
    // rather than "Loading…" (a panel that draws the menu would see every row change twice).
    void rememberListing(const QString& path, const FolderOptions& options, const FolderListing::Listing& listing);

    // Asks the git status cache to refresh every repository Tarn knows (unless hidden).
    void refreshGit();

    // The repository whose status an entry shows: a repository's own path, a workspace file's
    // primary repository (read once per file, then cached either way), else none.
    std::optional<QString> gitPath(const Entry& entry);

    // Whether the entry is open in an editor window, by the window titles' parts.
    bool isOpen(const Entry& entry) const;

    // Every Quick Open candidate, each once: favorites, recents, shortcuts, workspaces,
    // repositories, pinned folders and their contents. Made again only when one of these
    // changed; otherwise the same list as before, which compares equal at once.
    QList<QOEntry> quickOpenEntries();

    // The stored favorites as entries: links made again only when the list changes, paths
    // looked at each time (a folder may have become a repository since).
    QList<Entry> favoriteEntries();

    // The sources, replaceable by tests (they run on the blocking pool), and the clock.
    struct Sources {
        std::function<ScanResult(const QList<QUrl>&)> scan;
        std::function<RecentsResult(const QString& storageFolder, int limit)> recents;
        std::function<ShortcutsSnapshot()> shortcuts;
        std::function<FolderListing::Listing(const QUrl&, const FolderOptions&)> listing = &FolderListing::shownListing;
    };
    void setSources(Sources replacement);
    void setClock(std::function<Clock::time_point()> now);
    // Forgets everything and puts the real sources back (tests).
    void reset();

private:
    Library();

    void mergeWorkspaceRepos(const QHash<QString, QString>& found);

    // What the Quick Open candidates were last made of, and what they were.
    struct Catalogue {
        QList<Entry> favorites;
        QList<PinnedFolder> pinned;
        QList<Entry> pinnedEntries; // looked at each time, as favorites are
        QList<Entry> recents;
        ShortcutsSnapshot shortcuts;
        ScanResult scan;
        QHash<QString, FolderContents> folders;
        bool operator==(const Catalogue&) const = default;
    };
    QList<QOEntry> gatherQuickOpenEntries(const Catalogue& made) const;
    std::optional<std::pair<Catalogue, QList<QOEntry>>> catalogue;
    QList<Favorite> knownFavorites;
    QList<Entry> knownFavoriteEntries;

    Sources sources;
    std::function<Clock::time_point()> now;
};

} // namespace tarn
