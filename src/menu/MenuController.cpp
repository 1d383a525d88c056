#include "menu/MenuController.h"

#include "actions/HotkeyCenter.h"
#include "actions/Hotkeys.h"
#include "actions/Opener.h"
#include "actions/OpenWindows.h"
#include "discovery/Editors.h"
#include "library/Library.h"
#include "git/GitStore.h"
#include "menu/ActionItem.h"
#include "menu/Icons.h"
#include "menu/MenuHost.h"
#include "menu/MenuItems.h"
#include "menu/MenuStyle.h"
#include "menu/Presets.h"
#include "model/LocalizedCompare.h"
#include "model/Store.h"
#include "platform/DefaultsDomain.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"
#include "platform/WindowTitles.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <algorithm>

namespace tarn {

using MenuItems::disabled;
using MenuItems::header;
using MenuItems::separator;

namespace {

constexpr qsizetype recentsShown = 8;


// An item that opens `submenu`, with a system symbol.
QAction* submenuItem(const QString& title, const QString& symbol, QMenu* submenu) {
    auto* item = new QAction(MenuStyle::plainText(title));
    if (!symbol.isEmpty()) item->setIcon(Icons::symbol(symbol));
    LazyMenu::attach(item, submenu);
    return item;
}

QList<QAction*> entries(const QList<Entry>& list) {
    QList<QAction*> items;
    for (const Entry& entry : list) items << MenuItems::entry(entry);
    return items;
}

// Lists a user may grow without bound (favorites, shortcut scripts): one menu shows this many
// rows, then a "More" submenu made when it opens, which does the same with the rest. A menu of
// tens of thousands of rows would take seconds to make at every opening, and nobody scrolls it.
constexpr qsizetype rowsShownAtOnce = 500;

// What a row is made from: an entry, or a favorite, whose entry looks at the disk.
Entry entryOf(const Entry& entry) { return entry; }
Entry entryOf(const Favorite& favorite) { return favorite.entry(); }

template <typename T> QList<QAction*> capped(const QList<T>& list) {
    QList<QAction*> items;
    for (const T& row : list.first(std::min(list.size(), rowsShownAtOnce))) items << MenuItems::entry(entryOf(row));
    if (list.size() <= rowsShownAtOnce) return items;
    const QList<T> rest = list.mid(rowsShownAtOnce);
    items << submenuItem(QStringLiteral("More"), QStringLiteral("ellipsis"),
                         new LazyMenu(QStringLiteral("More"), [rest] { return capped(rest); }));
    return items;
}

// A submenu of `members`, made when it opens.
QMenu* listMenu(const QString& title, const QList<Entry>& members) {
    return new LazyMenu(title, [members] { return capped(members); });
}

Entry shortcutEntry(const ShortcutItem& item) {
    return {EntryKind::shortcut, ShortcutsCLI::editURL(item), item.name, item.id, std::nullopt};
}

} // namespace

MenuController::SectionLook MenuController::lookOf(SectionID id) {
    switch (id) {
    case SectionID::favorites: return {"Favorites", "star", QString("Favorites")};
    case SectionID::recent: return {"Recent", "clock", QString("Recent")};
    case SectionID::shortcuts: return {"Shortcuts", "square.stack.3d.forward.dottedline", QString("Shortcuts")};
    case SectionID::folders: return {"Folders", "folder", std::nullopt};
    case SectionID::workspaces: return {"VS Code Workspaces", "rectangle.3.group", QString("VS Code Workspaces")};
    case SectionID::repositories: return {"Git Repositories", "arrow.triangle.branch", QString("Git Repositories")};
    case SectionID::quickAccess: return {"Quick Access", "tray", QString("Quick Access")};
    }
    return {};
}

MenuController::MenuController()
    : statusMenu(std::make_unique<LazyMenu>(QStringLiteral("Tarn"), [this] { return items(); })),
      store(Store::shared()), library(Library::shared()) {
    // Shown: the open windows are read first, then the menu is built, then the library starts
    // its refresh, whose results rebuild the menu in place.
    disconnect(statusMenu.get(), &QMenu::aboutToShow, statusMenu.get(), &LazyMenu::rebuild);
    connect(statusMenu.get(), &QMenu::aboutToShow, this, [this] {
        library.openParts = OpenWindows::titleParts();
        rebuild();
        library.refresh(false);
    });
    QPointer<MenuController> self(this);
    library.onChange = [self] {
        if (self) self->rebuild();
    };
    rebuild();
}

MenuController::~MenuController() = default;

void MenuController::rebuild() { statusMenu->rebuild(); }

QList<QAction*> MenuController::items() {
    GitStore::shared().compact();
    QList<QAction*> items;

    auto* search = new ActionItem(QStringLiteral("Search\u2026"), QString(),
                                  [] {
                                      if (MenuHost* host = MenuHost::current()) host->showQuickOpen();
                                  });
    search->setIcon(Icons::symbol(QStringLiteral("magnifyingglass")));
    const QString hotkey =
        store.defaults().string(Keys::quickOpenHotkey).value_or(QStringLiteral("ctrl-opt-space"));
    // The key shows only where it is bound: a desktop that binds keys itself leaves it to the user.
    if (const std::optional<HotkeyPreset> preset = Hotkeys::preset(hotkey); preset && HotkeyCenter::shared().isBound(1))
        MenuStyle::setTitle(search, MenuStyle::title(QStringLiteral("Search\u2026"),
                                                     MenuStyle::info(preset->title), false, std::nullopt));
    items << search;

    QPointer<MenuController> self(this);
    // Where there is nothing yet, the first step is one click away.
    if (store.pinnedFolders().isEmpty())
        items << separator() << new ActionItem(QStringLiteral("Add a folder to get started"), QString(), [self] {
            if (self) self->addFolder();
        });

    for (const SectionConfig& config : store.sections()) {
        if (config.mode == SectionMode::hidden) continue;
        const SectionLook look = lookOf(config.id);
        // A long list shown as a submenu is made when the submenu opens; whether it has
        // anything to show is known without making it.
        if (config.mode == SectionMode::submenu && isListSection(config.id)) {
            if (!hasItems(config.id)) continue;
            items << separator()
                  << submenuItem(look.title, look.symbol, new LazyMenu(look.title, [self, id = config.id] {
                                     return self ? self->build(id).items : QList<QAction*>{};
                                 }));
            continue;
        }
        Section section = build(config.id);
        if (section.items.isEmpty()) continue;
        items << separator();
        if (config.mode == SectionMode::submenu) {
            items << submenuItem(look.title, look.symbol, LazyMenu::holding(look.title, section.items));
        } else {
            if (section.header) items << header(*section.header);
            items << section.items;
        }
    }

    items << separator();
    auto* add = new LazyMenu(QStringLiteral("Add"), [self] { return self ? self->addItems() : QList<QAction*>{}; });
    add->rebuild(); // made now, so that its Ctrl+N works before it is first opened
    items << submenuItem(QStringLiteral("Add"), QStringLiteral("plus"), add);
    items << submenuItem(QStringLiteral("Settings"), QStringLiteral("gearshape"),
                         new LazyMenu(QStringLiteral("Settings"), [self] {
                             return self ? self->settingsItems() : QList<QAction*>{};
                         }));
    items << separator();
    items << new ActionItem(QStringLiteral("Quit Tarn"), QStringLiteral("Ctrl+Q"),
                            [] { QApplication::quit(); });
    return items;
}

bool MenuController::isListSection(SectionID id) {
    return id == SectionID::favorites || id == SectionID::recent || id == SectionID::workspaces ||
           id == SectionID::repositories;
}

// Exactly when build(id) returns items, for the sections isListSection names.
bool MenuController::hasItems(SectionID id) {
    switch (id) {
    case SectionID::favorites: {
        QSet<QString> groups;
        for (const FavoriteGroup& group : store.groups()) groups.insert(group.name);
        const QList<Favorite> favorites = store.favorites();
        return std::any_of(favorites.begin(), favorites.end(),
                           [&](const Favorite& f) { return !f.group || groups.contains(*f.group); });
    }
    case SectionID::recent:
        return !library.recents.isEmpty() ||
               !store.defaults().stringArray(Keys::history).value_or(QStringList{}).isEmpty();
    case SectionID::workspaces: return !library.scan.workspaces.isEmpty();
    case SectionID::repositories: return !library.scan.repos.isEmpty();
    default: return !build(id).items.isEmpty();
    }
}

MenuController::Section MenuController::build(SectionID id) {
    const std::optional<QString> header = lookOf(id).header;
    switch (id) {
    case SectionID::favorites: return {header, favoriteItems()};
    case SectionID::recent: return {header, recentItems()};
    case SectionID::shortcuts: {
        const ShortcutsSnapshot snapshot = library.shortcuts;
        if (snapshot.items.isEmpty()) return {header, {}};
        return {header, store.boolean(Keys::useCustomShortcuts, false) ? customShortcutItems(snapshot)
                                                                       : mirroredShortcutItems(snapshot)};
    }
    case SectionID::folders: return {header, folderItems()};
    case SectionID::workspaces: return {header, entries(library.scan.workspaces)};
    case SectionID::repositories: return {header, entries(library.scan.repos)};
    case SectionID::quickAccess: return {header, quickAccessItems()};
    }
    return {};
}

QList<QAction*> MenuController::favoriteItems() {
    const QList<Favorite> favorites = store.favoritesByTitle();
    if (favorites.isEmpty()) return {};
    QList<Favorite> ungrouped;
    QHash<QString, QList<Favorite>> byGroup;
    for (const Favorite& favorite : favorites) {
        if (favorite.group) byGroup[*favorite.group] << favorite;
        else ungrouped << favorite;
    }
    QList<QAction*> items = capped(ungrouped);
    const QList<FavoriteGroup> groups = store.groups();
    for (const FavoriteGroup& group : groups) {
        const QList<Favorite> members = byGroup.value(group.name);
        if (group.asSection || members.isEmpty()) continue;
        items << submenuItem(group.name, QStringLiteral("rectangle.stack"),
                             new LazyMenu(group.name, [members] {
                                 QList<QAction*> list = capped(members);
                                 list << separator()
                                      << new ActionItem(QStringLiteral("Open All"), QString(), [members] {
                                             for (const Favorite& member : members) Opener::open(member.entry(), false);
                                         });
                                 return list;
                             }));
    }
    for (const FavoriteGroup& group : groups) {
        const QList<Favorite> members = byGroup.value(group.name);
        if (!group.asSection || members.isEmpty()) continue;
        items << header(group.name) << capped(members);
    }
    return items;
}

QList<QAction*> MenuController::recentItems() {
    const QList<Entry>& recents = library.recents;
    const bool noHistory = store.defaults().stringArray(Keys::history).value_or(QStringList{}).isEmpty();
    if (recents.isEmpty() && noHistory) return {};
    QList<QAction*> items = entries(recents.mid(0, recentsShown));
    QPointer<MenuController> self(this);
    items << submenuItem(QStringLiteral("More Recent"), QStringLiteral("clock"),
                         new LazyMenu(QStringLiteral("More Recent"), [self] {
                             return self ? self->moreRecentItems() : QList<QAction*>{};
                         }));
    return items;
}

QList<QAction*> MenuController::moreRecentItems() {
    QList<QAction*> items;
    if (library.recents.size() > recentsShown) {
        const std::optional<Editor> editor = Editors::recentsEditor();
        items << header("From " + (editor ? editor->name : QStringLiteral("Editor")))
              << entries(library.recents.mid(recentsShown));
    }
    QList<Entry> opened;
    for (const QString& path : store.defaults().stringArray(Keys::history).value_or(QStringList{}))
        if (QFileInfo::exists(path)) opened << Entry::classify(QUrl::fromLocalFile(path));
    if (!opened.isEmpty()) {
        items << header(QStringLiteral("Opened via Tarn")) << entries(opened) << separator()
              << new ActionItem(QStringLiteral("Clear History"), QString(), [] {
                     Store::shared().defaults().setStringArray(Keys::history, {});
                 });
    }
    return items;
}

// Inline folders and folders that hide when empty are listed from what the library read in
// the background; one not read yet shows "Loading…" and fills in when the listing arrives.
QList<QAction*> MenuController::folderItems() {
    const QList<PinnedFolder> folders = store.pinnedFolders();
    bool missing = false;
    auto listingOf = [&](const PinnedFolder& folder) {
        std::optional<MenuItems::Listing> listing = library.listingOf(folder.path, folder.options);
        missing = missing || !listing;
        return listing;
    };
    QList<QAction*> items;
    for (const PinnedFolder& folder : folders) {
        if (!folder.inline_) continue;
        const std::optional<MenuItems::Listing> listing = listingOf(folder);
        if (folder.options.hideWhenEmpty && listing && listing->total == 0) continue;
        items << header(QFileInfo(folder.path).fileName())
              << (listing ? MenuItems::contents(*listing, folder.options)
                          : QList<QAction*>{disabled(QStringLiteral("Loading\u2026"))});
    }
    QList<QAction*> browsable;
    for (const PinnedFolder& folder : folders) {
        if (folder.inline_) continue;
        // The submenu opens with this listing at once, and reads the folder again.
        const std::optional<MenuItems::Listing> listing = listingOf(folder);
        if (folder.options.hideWhenEmpty && listing && listing->total == 0) continue;
        browsable << MenuItems::browsable(QUrl::fromLocalFile(folder.path), folder.options, std::nullopt, nullptr,
                                          listing);
    }
    if (!browsable.isEmpty()) items << header(QStringLiteral("Folders")) << browsable;
    if (missing) library.refreshFolders();
    return items;
}

QList<QAction*> MenuController::quickAccessItems() {
    QList<QAction*> items;
    if (store.boolean(Keys::showDownloads, true)) items << Presets::downloads();
    if (store.boolean(Keys::showScreenshots, true)) items << Presets::screenshots();
    if (store.boolean(Keys::showVolumes, true)) items << Presets::volumes();
    return items;
}

QList<QAction*> MenuController::mirroredShortcutItems(const ShortcutsSnapshot& snapshot) {
    const QMap<QString, SectionMode> modes = store.shortcutFolderModes();
    auto membersOf = [&](const QString& folder) {
        QList<Entry> members;
        for (const ShortcutItem& item : snapshot.items)
            if (item.folder == folder) members << shortcutEntry(item);
        return members;
    };
    QList<QAction*> items;
    for (const QString& folder : snapshot.folders) {
        const auto mode = modes.constFind(folder);
        if (mode != modes.constEnd() && *mode != SectionMode::submenu) continue;
        const QList<Entry> members = membersOf(folder);
        if (!members.isEmpty()) items << submenuItem(folder, QString(), listMenu(folder, members));
    }
    QList<Entry> loose;
    for (const ShortcutItem& item : snapshot.items)
        if (!item.folder) loose << shortcutEntry(item);
    items << capped(loose);
    for (const QString& folder : snapshot.folders) {
        if (modes.value(folder, SectionMode::submenu) != SectionMode::inline_) continue;
        const QList<Entry> members = membersOf(folder);
        if (!members.isEmpty()) items << header(folder) << capped(members);
    }
    return items;
}

QList<QAction*> MenuController::customShortcutItems(const ShortcutsSnapshot& snapshot) {
    QHash<QString, ShortcutItem> byID;
    for (const ShortcutItem& item : snapshot.items)
        if (!byID.contains(item.id)) byID.insert(item.id, item);
    QList<QAction*> items;
    bool lastWasFlat = false;
    for (const ShortcutFolder& folder : store.shortcutFolders()) {
        QList<Entry> members;
        for (const QString& id : folder.shortcutIDs)
            if (byID.contains(id)) members << shortcutEntry(byID.value(id));
        if (members.isEmpty()) continue;
        switch (folder.style) {
        case ShortcutFolder::Style::submenu:
            if (lastWasFlat) items << separator();
            items << submenuItem(folder.name, QString(), listMenu(folder.name, members));
            lastWasFlat = false;
            break;
        case ShortcutFolder::Style::section:
            items << header(folder.name) << capped(members);
            lastWasFlat = true;
            break;
        case ShortcutFolder::Style::plain:
            if (!items.isEmpty()) items << separator();
            items << capped(members);
            lastWasFlat = true;
            break;
        }
    }
    return items;
}

QList<QAction*> MenuController::addItems() {
    QPointer<MenuController> self(this);
    auto* folder = new ActionItem(QStringLiteral("Folder to Menu\u2026"), QStringLiteral("Ctrl+N"), [self] {
        if (self) self->addFolder();
    });
    auto* favorites = new ActionItem(QStringLiteral("Favorite File or Folder\u2026"), QString(), [self] {
        if (self) self->addFavorites();
    });
    auto* link = new ActionItem(QStringLiteral("Link\u2026"), QString(), [self] {
        if (self) self->addLink();
    });
    auto* group = new ActionItem(QStringLiteral("Favorite Group\u2026"), QString(), [self] {
        if (!self) return;
        if (const std::optional<QString> name = self->askGroupName(QString())) Store::shared().addGroup(*name);
    });
    return {folder, favorites, link, group};
}

void MenuController::addFolder() {
    // One panel at a time: a second request while it is up only brings it forward.
    Dialogs& dialogs = platform().dialogs();
    dialogs.activate();
    if (addFolderShowing) return;
    addFolderShowing = true;
    const std::optional<QList<QUrl>> chosen = dialogs.openPanel(
        {QStringLiteral("Add Folders to Tarn"),
         QStringLiteral("Choose folders you want quick access to from the tray menu."),
         QStringLiteral("Choose"), true, true, QString()});
    addFolderShowing = false;
    if (!chosen) return;
    for (const QUrl& url : *chosen) store.addFolder(url);
    if (!chosen->isEmpty()) library.refresh(false);
}

void MenuController::addFavorites() {
    Dialogs& dialogs = platform().dialogs();
    dialogs.activate();
    const std::optional<QList<QUrl>> chosen = dialogs.openPanel(
        {QStringLiteral("Add Favorites"), QStringLiteral("Choose files, folders or workspaces."),
         QStringLiteral("Choose"), false, true, QString()});
    if (!chosen) return;
    for (const QUrl& url : *chosen) store.addFavorite(Entry::classify(url), std::nullopt);
}


} // namespace tarn
