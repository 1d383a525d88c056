#pragma once

#include "discovery/FolderListing.h"
#include "model/Entry.h"
#include "model/PinnedFolder.h"

#include <QAction>
#include <QIcon>
#include <QList>
#include <QUrl>
#include <functional>
#include <optional>

namespace tarn::MenuItems {

// The two items that show an entry everywhere: the primary, which opens it (in the background
// when Shift is held), and its alternate, shown while Alt is held, whose submenu lists the
// entry's actions.
QList<QAction*> entry(const Entry& entry);

// Gives an entry's item its icon, two-column title and tool tip, and registers it with the
// git status cache when the entry has a repository and git status is shown.
void decorate(QAction* item, const Entry& entry);

// Sets the title and tool tip from the current git status, hint and open windows.
void applyTitle(QAction* item, const Entry& entry);

// The same two, with the entry's repository already looked up (none when git status is not
// shown or the entry has none).
void decorate(QAction* item, const Entry& entry, const std::optional<QString>& repo);
void applyTitle(QAction* item, const Entry& entry, const std::optional<QString>& repo);

// The plain rows every menu uses: a separator line, a bold non-selectable header, a greyed
// item, and an item whose submenu `build` makes each time it opens.
QAction* separator();
QAction* header(const QString& title);
QAction* disabled(const QString& title);
QAction* submenu(const QString& title, std::function<QList<QAction*>()> build, const QIcon& icon = QIcon());
// An action with a check mark showing `checked` (a choice or a toggle).
QAction* choice(const QString& title, bool checked, std::function<void()> handler);

// `rows` with their checkable ones made one exclusive group: a choice of one among several,
// drawn with radio marks (and exported as such), not check boxes.
QList<QAction*> exclusive(QList<QAction*> rows);

// "Show in Files": the row that reveals an item, named after the desktop's file manager.
QString showInFileManagerTitle();

// Open in the editor, in the file manager, in the terminal.
QList<QAction*> folderActions(const QUrl& folder);

// How a folder is read and ordered, under the names the menu gives it.
using FolderListing::Listed;
using FolderListing::Listing;
using FolderListing::listing;
using FolderListing::shownListing;

// The items of a listing: folders browsable, workspace files as workspaces, other files as
// files, at most `options.itemLimit` of them and then "… and N more"; "Empty" when empty.
QList<QAction*> contents(const QList<Listed>& listing, const FolderOptions& options);
QList<QAction*> contents(const Listing& listing, const FolderOptions& options);

// The item of a browsable folder, whose submenu lists the folder (after `extraTop`, the folder
// actions and a separator), and its alternate with the folder's actions.
// `known`, a listing of the folder already read, is shown until the submenu's own read.
QList<QAction*> browsable(const QUrl& folder, const FolderOptions& options,
                          const std::optional<QString>& title = std::nullopt,
                          const std::function<QList<QAction*>()>& extraTop = nullptr,
                          const std::optional<Listing>& known = std::nullopt);

} // namespace tarn::MenuItems
