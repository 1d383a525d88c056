#pragma once

#include "discovery/Scanner.h"
#include "discovery/ShortcutsCLI.h"
#include "model/Entry.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <optional>

namespace tarn {

// Everything Tarn has discovered, for the menus and Quick Open; main thread only.
//
// Built so far: the fields and the two questions menu titles ask (gitPath, isOpen). The
// background refreshes that fill the fields come with the tray menu.
class Library {
public:
    static Library& shared();

    ScanResult scan;
    QList<Entry> recents;
    ShortcutsSnapshot shortcuts;
    QSet<QString> openParts;                 // title parts of open editor windows
    QHash<QString, QString> workspaceRepos;  // workspace file path -> repository path
    QSet<QString> workspacesWithoutRepo;     // workspace files known to have none

    // The repository whose status an entry shows: a repository's own path, a workspace file's
    // primary repository (read once per file, then cached either way), else none.
    std::optional<QString> gitPath(const Entry& entry);

    // Whether the entry is open in an editor window, by the window titles' parts.
    bool isOpen(const Entry& entry) const;

private:
    Library() = default;
};

} // namespace tarn
