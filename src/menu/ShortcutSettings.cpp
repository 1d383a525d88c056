// The "Shortcuts" settings of the tray menu: the user's own shortcut folders, the mirrored
// Shortcuts-app folders, and the picker.
#include "menu/MenuController.h"

#include "actions/Opener.h"
#include "library/Library.h"
#include "discovery/ShortcutsCLI.h"
#include "menu/ActionItem.h"
#include "menu/LazyMenu.h"
#include "menu/MenuItems.h"
#include "menu/MenuStyle.h"
#include "model/Store.h"
#include "platform/DefaultsDomain.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace tarn {

using MenuItems::choice;
using MenuItems::disabled;
using MenuItems::header;
using MenuItems::separator;
using MenuItems::submenu;

namespace {

const QList<QPair<ShortcutFolder::Style, QString>> styles{{ShortcutFolder::Style::submenu, "Show as Submenu"},
                                                           {ShortcutFolder::Style::section, "Show as Section"},
                                                           {ShortcutFolder::Style::plain, "Show without Header"}};
const QList<QPair<SectionMode, QString>> mirrorModes{{SectionMode::submenu, "Show as Submenu"},
                                                     {SectionMode::inline_, "Show as Section"},
                                                     {SectionMode::hidden, "Hide"}};
const QString dot = QStringLiteral(" \u00B7 ");

QAction* action(const QString& title, std::function<void()> handler) {
    return new ActionItem(title, QString(), std::move(handler));
}

// Reloads the folders, changes the one with `id` (if it is still there), saves.
void changeFolder(const QUuid& id, const std::function<void(ShortcutFolder&)>& change) {
    Store& store = Store::shared();
    QList<ShortcutFolder> folders = store.shortcutFolders();
    for (ShortcutFolder& folder : folders) {
        if (folder.id != id) continue;
        change(folder);
        store.setShortcutFolders(folders);
        return;
    }
}

std::optional<ShortcutFolder> folderWith(const QUuid& id) {
    for (const ShortcutFolder& folder : Store::shared().shortcutFolders())
        if (folder.id == id) return folder;
    return std::nullopt;
}

void appendFolder(const ShortcutFolder& folder) {
    Store& store = Store::shared();
    QList<ShortcutFolder> folders = store.shortcutFolders();
    folders << folder;
    store.setShortcutFolders(folders);
    store.defaults().setBool(Keys::useCustomShortcuts, true);
}

QString infoOf(const ShortcutFolder& folder) {
    const QString count = QString::number(folder.shortcutIDs.size());
    switch (folder.style) {
    case ShortcutFolder::Style::submenu: return count;
    case ShortcutFolder::Style::section: return "section" + dot + count;
    case ShortcutFolder::Style::plain: return "no header" + dot + count;
    }
    return count;
}

} // namespace

namespace {

QString whereScriptsGo() {
    return QString::fromUtf8("Put executable scripts in %1 (each sub-folder is a folder of shortcuts); "
                             "they appear the next time the menu opens.")
        .arg(tildePath(QUrl::fromLocalFile(ShortcutsCLI::scriptsFolder())));
}

// The scripts folder in the file manager, made first if need be.
void openScriptsFolder() {
    const QString folder = ShortcutsCLI::scriptsFolder();
    if (!QDir().mkpath(folder)) {
        platform().dialogs().warn(QString::fromUtf8("Couldn\u2019t open"), QString::fromUtf8("\u201C%1\u201D could not be made.").arg(folder));
        return;
    }
    Opener::openURL(QUrl::fromLocalFile(folder), false);
}

} // namespace

QList<QAction*> MenuController::shortcutSettings() {
    QPointer<MenuController> self(this);
    const bool custom = store.boolean(Keys::useCustomShortcuts, false);
    QList<QAction*> items{choice(QStringLiteral("Use My Folders"), custom,
                                 [] { Store::shared().defaults().setBool(Keys::useCustomShortcuts, true); }),
                          choice(QStringLiteral("Mirror Script Folders"), !custom,
                                 [] { Store::shared().defaults().setBool(Keys::useCustomShortcuts, false); }),
                          separator(), header(QStringLiteral("My Folders"))};
    const QList<ShortcutFolder> folders = store.shortcutFolders();
    for (const ShortcutFolder& folder : folders) {
        QAction* item = submenu(folder.name, [self, id = folder.id] {
            return self ? self->shortcutFolderItems(id) : QList<QAction*>{};
        });
        MenuStyle::setTitle(item, MenuStyle::title(folder.name, MenuStyle::info(infoOf(folder)), false, std::nullopt));
        items << item;
    }
    if (folders.isEmpty()) items << disabled(QStringLiteral("No folders yet"));
    items << separator() << action(QStringLiteral("New Folder\u2026"), [self] { if (self) self->newShortcutFolder(); })
          << action(QStringLiteral("Start from Script Folders"), [self] { if (self) self->copyShortcutsAppFolders(); })
          << separator()
          << submenu(QStringLiteral("Script Folders"),
                     [self] { return self ? self->mirrorFolderSettings() : QList<QAction*>{}; })
          << action(QStringLiteral("Reload Shortcuts"), [] { Library::shared().refresh(true); });
    if (!QFileInfo(QString::fromLatin1(ShortcutsCLI::toolPath)).isExecutable())
        items << action(QStringLiteral("Open Shortcuts Folder"), [] { openScriptsFolder(); });
    return items;
}

QList<QAction*> MenuController::shortcutFolderItems(const QUuid& id) {
    const QList<ShortcutFolder> folders = store.shortcutFolders();
    qsizetype index = -1;
    for (qsizetype i = 0; i < folders.size(); ++i)
        if (folders[i].id == id) index = i;
    if (index < 0) return {};
    const ShortcutFolder folder = folders[index];
    QPointer<MenuController> self(this);
    QList<QAction*> items{action(QStringLiteral("Choose Shortcuts\u2026"), [self, id] { if (self) self->chooseShortcuts(id); }),
                          separator()};
    for (const auto& [style, title] : styles)
        items << choice(title, folder.style == style,
                        [id, style = style] { changeFolder(id, [style](ShortcutFolder& f) { f.style = style; }); });
    items << separator()
          << submenu(QStringLiteral("Arrange"), [self, id] { return self ? self->arrangeItems(id) : QList<QAction*>{}; })
          << action(QStringLiteral("Rename\u2026"), [id, name = folder.name] {
                 const std::optional<FormAnswer> answer = platform().dialogs().form(
                     {QStringLiteral("Rename Folder"), QString(), {{QStringLiteral("Name"), name}}, std::nullopt,
                      QStringLiteral("Rename")});
                 if (!answer || answer->values.isEmpty() || answer->values.first().isEmpty()) return;
                 changeFolder(id, [renamed = answer->values.first()](ShortcutFolder& f) { f.name = renamed; });
             });
    QAction* up = action(QStringLiteral("Move Up"), [id] { Store::shared().moveShortcutFolder(id, -1); });
    QAction* down = action(QStringLiteral("Move Down"), [id] { Store::shared().moveShortcutFolder(id, 1); });
    up->setEnabled(index > 0);
    down->setEnabled(index < folders.size() - 1);
    items << up << down << separator()
          << action(QStringLiteral("Delete Folder\u2026"), [id, name = folder.name] {
                 Dialogs& dialogs = platform().dialogs();
                 dialogs.activate();
                 const int chosen = dialogs.ask(QString::fromUtf8("Delete the folder \u201C%1\u201D?").arg(name),
                                                QStringLiteral("The scripts themselves stay in the shortcuts folder."),
                                                {QStringLiteral("Delete"), QStringLiteral("Cancel")});
                 if (chosen == 0) Store::shared().deleteShortcutFolder(id);
             });
    return items;
}

void MenuController::newShortcutFolder() {
    QStringList styleTitles;
    for (const auto& [style, title] : styles) styleTitles << title;
    const std::optional<FormAnswer> answer = platform().dialogs().form(
        {QStringLiteral("New Shortcuts Folder"), QStringLiteral("Your folders replace the script folders in the menu."),
         {{QStringLiteral("Name"), QString()}}, QPair<QString, QStringList>(QStringLiteral("Style"), styleTitles),
         QStringLiteral("Create")});
    if (!answer || answer->values.isEmpty() || answer->values.first().isEmpty()) return;
    const ShortcutFolder folder{QUuid::createUuid(), answer->values.first(),
                                styles.value(answer->choice, styles.first()).first, {}};
    appendFolder(folder);
    chooseShortcuts(folder.id);
}

void MenuController::copyShortcutsAppFolders() {
    Dialogs& dialogs = platform().dialogs();
    const ShortcutsSnapshot snapshot = library.shortcuts;
    if (snapshot.items.isEmpty()) {
        dialogs.warn(QStringLiteral("No shortcuts loaded yet"), QStringLiteral("Try again in a moment, or use Reload Shortcuts."));
        return;
    }
    if (!store.shortcutFolders().isEmpty()) {
        dialogs.activate();
        const int chosen = dialogs.ask(QStringLiteral("Replace your folders?"),
                                       QStringLiteral("Your current folders are replaced by copies of the script folders."),
                                       {QStringLiteral("Replace"), QStringLiteral("Cancel")});
        if (chosen != 0) return;
        store.setShortcutFolders({});
    }
    for (const QString& name : snapshot.folders) {
        QStringList ids;
        for (const ShortcutItem& item : snapshot.items)
            if (item.folder == name) ids << item.id;
        if (!ids.isEmpty()) appendFolder({QUuid::createUuid(), name, ShortcutFolder::Style::submenu, ids});
    }
    QStringList loose;
    for (const ShortcutItem& item : snapshot.items)
        if (!item.folder) loose << item.id;
    if (!loose.isEmpty()) appendFolder({QUuid::createUuid(), QStringLiteral("Unfiled"), ShortcutFolder::Style::plain, loose});
}

QList<QAction*> MenuController::mirrorFolderSettings() {
    const QStringList folders = library.shortcuts.folders;
    if (folders.isEmpty()) return {disabled(QStringLiteral("No script folders found"))};
    const QMap<QString, SectionMode> modes = store.shortcutFolderModes();
    QList<QAction*> items;
    for (const QString& name : folders) {
        const SectionMode current = modes.value(name, SectionMode::submenu);
        QAction* item = submenu(name, [name, current] {
            QList<QAction*> rows;
            for (const auto& [mode, title] : mirrorModes)
                rows << choice(title, current == mode, [name, mode = mode] {
                    QMap<QString, SectionMode> stored = Store::shared().shortcutFolderModes();
                    stored.insert(name, mode);
                    Store::shared().setShortcutFolderModes(stored);
                });
            return rows;
        });
        MenuStyle::setTitle(item, MenuStyle::title(name, MenuStyle::info(rawValue(current)), false, std::nullopt));
        items << item;
    }
    return items;
}

QStringList MenuController::pickedOrder(const QStringList& selected, const QStringList& chosen) {
    QStringList result;
    for (const QString& id : selected)
        if (chosen.contains(id) && !result.contains(id)) result << id;
    for (const QString& id : chosen)
        if (!result.contains(id)) result << id;
    return result;
}

void MenuController::chooseShortcuts(const QUuid& id) {
    const std::optional<ShortcutFolder> folder = folderWith(id);
    if (!folder) return;
    const ShortcutsSnapshot snapshot = library.shortcuts;
    if (snapshot.items.isEmpty()) {
        platform().dialogs().warn(QStringLiteral("No shortcuts yet"), whereScriptsGo());
        return;
    }
    QList<PickerGroup> groups;
    for (const QString& name : snapshot.folders) {
        PickerGroup group{name, {}};
        for (const ShortcutItem& item : snapshot.items)
            if (item.folder == name) group.shortcuts.append({item.id, item.name});
        groups << group;
    }
    PickerGroup loose{QStringLiteral("No Folder"), {}};
    for (const ShortcutItem& item : snapshot.items)
        if (!item.folder) loose.shortcuts.append({item.id, item.name});
    groups << loose;
    platform().dialogs().activate();
    const std::optional<QStringList> chosen = platform().dialogs().pickShortcuts(
        QString::fromUtf8("Shortcuts in \u201C%1\u201D").arg(folder->name), groups, folder->shortcutIDs);
    if (!chosen) return;
    changeFolder(id, [order = pickedOrder(folder->shortcutIDs, *chosen)](ShortcutFolder& f) { f.shortcutIDs = order; });
}

QList<QAction*> MenuController::arrangeItems(const QUuid& id) {
    const std::optional<ShortcutFolder> folder = folderWith(id);
    if (!folder) return {};
    if (folder->shortcutIDs.isEmpty()) return {disabled(QStringLiteral("Empty: use Choose Shortcuts\u2026"))};
    QHash<QString, QString> names;
    for (const ShortcutItem& item : library.shortcuts.items)
        if (!names.contains(item.id)) names.insert(item.id, item.name);
    QList<QAction*> items;
    const qsizetype count = folder->shortcutIDs.size();
    for (qsizetype k = 0; k < count; ++k) {
        const QString shortcut = folder->shortcutIDs[k];
        items << submenu(names.value(shortcut, QStringLiteral("Missing shortcut")), [id, shortcut, k, count] {
            auto swap = [id, k](qsizetype other) {
                changeFolder(id, [k, other](ShortcutFolder& f) {
                    if (k < f.shortcutIDs.size() && other >= 0 && other < f.shortcutIDs.size()) f.shortcutIDs.swapItemsAt(k, other);
                });
            };
            QAction* up = action(QStringLiteral("Move Up"), [swap, k] { swap(k - 1); });
            QAction* down = action(QStringLiteral("Move Down"), [swap, k] { swap(k + 1); });
            up->setEnabled(k > 0);
            down->setEnabled(k < count - 1);
            return QList<QAction*>{up, down, separator(), action(QStringLiteral("Remove from Folder"), [id, shortcut] {
                                       changeFolder(id, [shortcut](ShortcutFolder& f) { f.shortcutIDs.removeAll(shortcut); });
                                   })};
        });
    }
    return items;
}

} // namespace tarn
