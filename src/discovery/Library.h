#pragma once

#include "discovery/Recents.h"
#include "discovery/Scanner.h"
#include "discovery/ShortcutsCLI.h"
#include "model/Entry.h"
#include "quickopen/QOEntry.h"

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
    bool scanning = false;
    bool loadingRecents = false;
    bool loadingShortcuts = false;
    std::optional<Clock::time_point> shortcutsLoadedAt; // none: never loaded

    // Called on the main thread after scan, recents or shortcuts changed.
    std::function<void()> onChange;

    // Starts what is not running yet (scan, recents, the Shortcuts catalogue at most once a
    // minute unless forced) and returns at once.
    void refresh(bool forceShortcuts);

    // Asks the git status cache to refresh every repository Tarn knows (unless hidden).
    void refreshGit();

    // The repository whose status an entry shows: a repository's own path, a workspace file's
    // primary repository (read once per file, then cached either way), else none.
    std::optional<QString> gitPath(const Entry& entry);

    // Whether the entry is open in an editor window, by the window titles' parts.
    bool isOpen(const Entry& entry) const;

    // Every Quick Open candidate, each once: favorites, recents, shortcuts, workspaces,
    // repositories, pinned folders and their contents.
    QList<QOEntry> quickOpenEntries();

    // The sources, replaceable by tests (they run on the blocking pool), and the clock.
    struct Sources {
        std::function<ScanResult(const QList<QUrl>&)> scan;
        std::function<RecentsResult(const QString& storageFolder, int limit)> recents;
        std::function<ShortcutsSnapshot()> shortcuts;
    };
    void setSources(Sources replacement);
    void setClock(std::function<Clock::time_point()> now);
    // Forgets everything and puts the real sources back (tests).
    void reset();

private:
    Library();

    void mergeWorkspaceRepos(const QHash<QString, QString>& found);

    Sources sources;
    std::function<Clock::time_point()> now;
};

} // namespace tarn
