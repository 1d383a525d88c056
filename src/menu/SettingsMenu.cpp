// The "Settings" submenu of the tray menu, and the small dialogs that add things.
#include "menu/MenuController.h"

#include "actions/Hotkeys.h"
#include "actions/OpenWindows.h"
#include "discovery/Editors.h"
#include "library/Library.h"
#include "discovery/Terminals.h"
#include "git/GitStore.h"
#include "menu/ActionItem.h"
#include "menu/Icons.h"
#include "menu/LazyMenu.h"
#include "menu/MenuBarIcon.h"
#include "menu/MenuHost.h"
#include "menu/MenuItems.h"
#include "menu/MenuStyle.h"
#include "menu/WorkspaceCreator.h"
#include "model/Store.h"
#include "platform/DefaultsDomain.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/GlobalHotkeys.h"
#include "platform/Platform.h"
#include "platform/WindowTitles.h"

#include <QFileInfo>
#include <QPointer>

namespace tarn {

using MenuItems::choice;
using MenuItems::disabled;
using MenuItems::exclusive;
using MenuItems::header;
using MenuItems::separator;
using MenuItems::submenu;

namespace {

const QList<QPair<SortKey, QString>> sortKeys{{SortKey::name, "Name"},
                                              {SortKey::dateModified, "Date Modified"},
                                              {SortKey::dateCreated, "Date Created"},
                                              {SortKey::size, "Size"},
                                              {SortKey::kind, "Kind"}};
const QList<qint64> itemLimits{25, 50, 100, 300, 1000};
const QList<QPair<SectionMode, QString>> sectionModes{{SectionMode::inline_, "Show Inline"},
                                                      {SectionMode::submenu, "Show as Submenu"},
                                                      {SectionMode::hidden, "Hide"}};

// A toggle of a boolean setting: flips the value stored when it is chosen.
QAction* toggle(const QString& title, const char* key, bool fallback) {
    Store& store = Store::shared();
    return choice(title, store.boolean(key, fallback), [key, fallback] {
        Store& current = Store::shared();
        current.defaults().setBool(key, !current.boolean(key, fallback));
    });
}

} // namespace

QList<QAction*> MenuController::settingsItems() {
    QPointer<MenuController> self(this);
    auto built = [self](QList<QAction*> (MenuController::*make)()) {
        return [self, make] { return self ? (self.data()->*make)() : QList<QAction*>{}; };
    };
    QList<QAction*> items;
    const QList<PinnedFolder> folders = store.pinnedFolders();
    if (!folders.isEmpty()) {
        items << header(QStringLiteral("Folders"));
        for (const PinnedFolder& folder : folders) {
            const QString path = folder.path;
            QAction* item = submenu(QFileInfo(path).fileName(), [self, path] {
                return self ? self->folderSettings(path) : QList<QAction*>{};
            }, Icons::file(path));
            item->setToolTip(tildePath(QUrl::fromLocalFile(path)));
            items << item;
        }
        items << separator();
    }
    items << header(QStringLiteral("Menu")) << submenu(QStringLiteral("Sections"), built(&MenuController::sectionSettings))
          << submenu(QStringLiteral("Shortcuts"), built(&MenuController::shortcutSettings))
          << submenu(QStringLiteral("Quick Access"), built(&MenuController::quickAccessSettings))
          << submenu(QStringLiteral("Favorite Groups"), built(&MenuController::groupSettings))
          << submenu(QStringLiteral("Tray Icon"), [] {
                 QList<QAction*> choices;
                 const QString current = Store::shared().defaults().string(Keys::menuBarIcon).value_or("tarn");
                 for (const MenuBarIconChoice& row : MenuBarIcon::choices()) {
                     QAction* item = choice(row.title, row.id == current, [id = row.id] {
                         Store::shared().defaults().setString(Keys::menuBarIcon, id);
                         if (MenuHost* host = MenuHost::current()) host->setMenuBarIcon(id);
                     });
                     item->setIcon(MenuBarIcon::image(row.id));
                     choices << item;
                 }
                 return exclusive(choices);
             });

    items << separator() << header(QStringLiteral("Apps"))
          << submenu(QStringLiteral("Default Editor"), [] {
                 QList<QAction*> choices;
                 const std::optional<Editor> current = Editors::defaultEditor();
                 for (const Editor& editor : Editors::installed())
                     choices << choice(editor.name, current && current->id == editor.id, [id = editor.id] {
                         Store::shared().defaults().setString(Keys::defaultEditorID, id);
                     });
                 return exclusive(choices);
             })
          << submenu(QStringLiteral("Terminal App"), [] {
                 QList<QAction*> choices;
                 const TerminalApp current = Terminals::current();
                 for (const TerminalApp& terminal : Terminals::installed())
                     choices << choice(terminal.name, terminal.id == current.id, [id = terminal.id] {
                         Store::shared().defaults().setString(Keys::terminalID, id);
                     });
                 return exclusive(choices);
             })
          << submenu(QStringLiteral("Workspaces Folder"), [] {
                 const std::optional<QString> stored = Store::shared().defaults().string(Keys::workspacesFolder);
                 QList<QAction*> rows{disabled(stored ? tildePath(QUrl::fromLocalFile(*stored)) : QStringLiteral("Not set")),
                                      new ActionItem(QStringLiteral("Choose\u2026"), QString(),
                                                     [] { WorkspaceCreator::chooseWorkspacesFolder(); })};
                 if (stored)
                     rows << new ActionItem(MenuItems::showInFileManagerTitle(), QString(), [folder = *stored] {
                         platform().desktop().openURL(QUrl::fromLocalFile(folder), false);
                     });
                 return rows;
             });

    // Each hotkey's list stores its own key; a combination the other one holds is refused and
    // the old key stays bound, since one key cannot do both.
    struct HotkeySetting {
        const char* title;
        const char* key;
        const char* fallback;
        const char* command;
    };
    const HotkeySetting quickOpen{"Quick Open", Keys::quickOpenHotkey, "ctrl-opt-space", "tarn --quick-open"};
    const HotkeySetting menuAtPointer{"Menu at Pointer", Keys::menuHotkey, "ctrl-opt-m", "tarn --menu"};
    auto hotkeys = [self](HotkeySetting own, HotkeySetting other) {
        return [self, own, other] {
            if (!self) return QList<QAction*>{};
            const QString current = Store::shared().defaults().string(own.key).value_or(own.fallback);
            return self->hotkeyChoices(current, QString::fromLatin1(own.command), [own, other](const QString& id) {
                DefaultsDomain& defaults = Store::shared().defaults();
                if (id != QLatin1String("off") && id == defaults.string(other.key).value_or(other.fallback)) {
                    platform().dialogs().warn(
                        QStringLiteral("Keyboard shortcut unavailable"),
                        QString::fromUtf8("That shortcut is already used by Tarn\u2019s \u201C%1\u201D. Pick a different one.")
                            .arg(QLatin1String(other.title)));
                    return;
                }
                defaults.setString(own.key, id);
                if (MenuHost* host = MenuHost::current()) host->applyHotkeys(true);
            });
        };
    };
    items << separator() << header(QStringLiteral("Keyboard Shortcuts"))
          << submenu(QLatin1String(quickOpen.title), hotkeys(quickOpen, menuAtPointer))
          << submenu(QLatin1String(menuAtPointer.title), hotkeys(menuAtPointer, quickOpen));

    items << separator();
    items << choice(QStringLiteral("Show Git Status"), store.boolean(Keys::showGitStatus, true), [] {
        Store& current = Store::shared();
        current.defaults().setBool(Keys::showGitStatus, !current.boolean(Keys::showGitStatus, true));
        Library::shared().refreshGit();
    });
    const bool dots = store.boolean(Keys::showOpenWindows, false);
    const bool trusted = platform().windowTitles().isTrusted();
    QAction* openWindows = choice(QStringLiteral("Show Open Windows (green dot)"), dots && trusted, [] {
        Store& current = Store::shared();
        current.defaults().setBool(Keys::showOpenWindows, !current.boolean(Keys::showOpenWindows, false));
    });
    if (!trusted) {
        MenuStyle::setTitle(openWindows, MenuStyle::title(QStringLiteral("Show Open Windows"),
                                                          MenuStyle::info(OpenWindows::unreadableReason()), false,
                                                          std::nullopt));
        openWindows->setEnabled(false);
    }
    items << openWindows;
    items << new ActionItem(QStringLiteral("Fetch All Repositories"), QString(), [] {
        QList<QUrl> repos;
        for (const Entry& repo : Library::shared().scan.repos) repos << repo.url;
        if (!repos.isEmpty()) GitStore::shared().fetchAll(repos);
    });
    items << new ActionItem(QStringLiteral("Clear History"), QString(),
                            [] { Store::shared().defaults().setStringArray(Keys::history, {}); });
    items << choice(QStringLiteral("Launch at Login"), platform().desktop().launchesAtLogin(),
                    [self] { if (self) self->toggleLaunchAtLogin(); });
    return items;
}

QList<QAction*> MenuController::folderSettings(const QString& path) {
    const std::optional<PinnedFolder> found = [&]() -> std::optional<PinnedFolder> {
        for (const PinnedFolder& folder : store.pinnedFolders())
            if (folder.path == path) return folder;
        return std::nullopt;
    }();
    if (!found) return {};
    const FolderOptions options = found->options;
    auto change = [path](std::function<void(PinnedFolder&)> edit) {
        return [path, edit] { Store::shared().updateFolder(path, edit); };
    };
    QList<QAction*> items;
    items << choice(QStringLiteral("Show Contents in Main Menu"), found->inline_,
                    change([](PinnedFolder& f) { f.inline_ = !f.inline_; }));
    items << submenu(QStringLiteral("Sort By"), [options, change] {
        QList<QAction*> keys;
        for (const auto& [key, title] : sortKeys)
            keys << choice(title, options.sort == key, change([key = key](PinnedFolder& f) { f.options.sort = key; }));
        const QList<QAction*> order{
            choice(QStringLiteral("Ascending"), options.ascending, change([](PinnedFolder& f) { f.options.ascending = true; })),
            choice(QStringLiteral("Descending"), !options.ascending, change([](PinnedFolder& f) { f.options.ascending = false; }))};
        return exclusive(keys) << separator() << exclusive(order);
    });
    items << choice(QStringLiteral("Folders First"), options.foldersFirst,
                    change([](PinnedFolder& f) { f.options.foldersFirst = !f.options.foldersFirst; }));
    items << choice(QStringLiteral("Show Hidden Files"), options.showHidden,
                    change([](PinnedFolder& f) { f.options.showHidden = !f.options.showHidden; }));
    items << choice(QStringLiteral("Hide When Empty"), options.hideWhenEmpty,
                    change([](PinnedFolder& f) { f.options.hideWhenEmpty = !f.options.hideWhenEmpty; }));
    items << submenu(QStringLiteral("Item Limit"), [options, change] {
        QList<QAction*> rows;
        for (const qint64 limit : itemLimits)
            rows << choice(QString::number(limit), options.itemLimit == limit,
                           change([limit](PinnedFolder& f) { f.options.itemLimit = limit; }));
        return exclusive(rows);
    });
    const std::optional<QString> editorID = found->editorID;
    items << submenu(QStringLiteral("Editor"), [editorID, change] {
        const std::optional<Editor> standard = Editors::defaultEditor();
        QList<QAction*> rows{choice("Default (" + (standard ? standard->name : QStringLiteral("none")) + ")", !editorID,
                                    change([](PinnedFolder& f) { f.editorID.reset(); })),
                             separator()};
        for (const Editor& editor : Editors::installed())
            rows << choice(editor.name, editorID == editor.id, change([id = editor.id](PinnedFolder& f) { f.editorID = id; }));
        return exclusive(rows);
    });
    items << separator();
    items << new ActionItem(MenuItems::showInFileManagerTitle(), QString(),
                            [path] { platform().desktop().reveal(QUrl::fromLocalFile(path)); });
    items << new ActionItem(QStringLiteral("Remove from Menu"), QString(), [path] {
        Store::shared().removeFolder(path);
        Library::shared().refresh(false);
    });
    return items;
}

QList<QAction*> MenuController::sectionSettings() {
    const QList<SectionConfig> sections = store.sections();
    QList<QAction*> items;
    for (qsizetype i = 0; i < sections.size(); ++i) {
        const SectionConfig config = sections[i];
        const qsizetype count = sections.size();
        QAction* item = submenu(lookOf(config.id).title, [config, i, count] {
            QList<QAction*> rows;
            for (const auto& [mode, title] : sectionModes)
                rows << choice(title, config.mode == mode, [mode = mode, id = config.id] { Store::shared().setMode(mode, id); });
            QAction* up = new ActionItem(QStringLiteral("Move Up"), QString(), [id = config.id] { Store::shared().moveSection(id, -1); });
            QAction* down = new ActionItem(QStringLiteral("Move Down"), QString(), [id = config.id] { Store::shared().moveSection(id, 1); });
            up->setEnabled(i > 0);
            down->setEnabled(i < count - 1);
            return exclusive(rows) << separator() << up << down;
        }, Icons::symbol(lookOf(config.id).symbol));
        MenuStyle::setTitle(item, MenuStyle::title(lookOf(config.id).title, MenuStyle::info(rawValue(config.mode)),
                                                   false, std::nullopt));
        items << item;
    }
    return items;
}

QList<QAction*> MenuController::quickAccessSettings() {
    return {toggle(QStringLiteral("Latest Downloads"), Keys::showDownloads, true),
            toggle(QStringLiteral("Recent Screenshots"), Keys::showScreenshots, true),
            toggle(QStringLiteral("Volumes"), Keys::showVolumes, true)};
}

QList<QAction*> MenuController::groupSettings() {
    QPointer<MenuController> self(this);
    QList<QAction*> items;
    for (const FavoriteGroup& group : store.groups()) {
        items << submenu(group.name, [self, group] {
            QList<QAction*> rows;
            rows << choice(QStringLiteral("Show as Section"), group.asSection,
                           [group] { Store::shared().setGroupAsSection(group.name, !group.asSection); });
            rows << new ActionItem(QStringLiteral("Rename\u2026"), QString(), [self, name = group.name] {
                if (!self) return;
                if (const std::optional<QString> renamed = self->askGroupName(name))
                    Store::shared().renameGroup(name, *renamed);
            });
            rows << new ActionItem(QStringLiteral("Delete Group"), QString(),
                                   [name = group.name] { Store::shared().deleteGroup(name); });
            return rows;
        }, Icons::symbol(QStringLiteral("rectangle.stack")));
    }
    if (!items.isEmpty()) items << separator();
    items << new ActionItem(QStringLiteral("New Group\u2026"), QString(), [self] {
        if (!self) return;
        if (const std::optional<QString> name = self->askGroupName(QString())) Store::shared().addGroup(*name);
    });
    return items;
}

// Tarn's keys written into the desktop's own shortcuts, once the user agrees, and bound there.
void MenuController::setUpHotkeysIn(const QString& place) {
    Dialogs& dialogs = platform().dialogs();
    dialogs.activate();
    const int chosen = dialogs.ask(
        QStringLiteral("Set up Tarn\u2019s keys in %1?").arg(place),
        QString::fromUtf8("Tarn adds two custom shortcuts to %1\u2019s keyboard settings, \u201CTarn: Quick Open\u201D and "
                          "\u201CTarn: Menu at Pointer\u201D, with the keys chosen here, and keeps them up to date; "
                          "Off removes them. Your other shortcuts stay as they are.")
            .arg(place),
        {QStringLiteral("Set Up"), QStringLiteral("Cancel")});
    if (chosen != 0) return;
    if (!platform().hotkeys().setUp()) {
        dialogs.warn(QStringLiteral("Keyboard shortcuts not set up"),
                     QStringLiteral("Tarn could not write %1\u2019s keyboard settings.").arg(place));
        return;
    }
    if (MenuHost* host = MenuHost::current()) host->applyHotkeys(true);
}

QList<QAction*> MenuController::hotkeyChoices(const QString& current, const QString& command,
                                              const std::function<void(const QString&)>& set) {
    GlobalHotkeys& keys = platform().hotkeys();
    if (!keys.canBind()) {
        QList<QAction*> items{disabled(QStringLiteral("Your desktop binds the keys:")),
                              disabled(QString::fromUtf8("give a shortcut the command \u201C%1\u201D").arg(command))};
        if (const QString place = keys.setUpPlace(); !place.isEmpty())
            items << separator() << new ActionItem(QStringLiteral("Set Up in %1\u2026").arg(place), QString(),
                                                   [place] { setUpHotkeysIn(place); });
        return items;
    }
    // A shortcut Tarn does not know binds nothing: it shows as off.
    const bool off = current == QLatin1String("off") || !Hotkeys::preset(current);
    QList<QAction*> items{choice(QStringLiteral("Off"), off, [set] { set("off"); }),
                          separator()};
    for (const HotkeyPreset& preset : Hotkeys::presets())
        items << choice(preset.title, current == preset.id, [set, id = preset.id] { set(id); });
    return exclusive(items);
}

void MenuController::toggleLaunchAtLogin() {
    Desktop& desktop = platform().desktop();
    if (const std::optional<QString> failure = desktop.setLaunchAtLogin(!desktop.launchesAtLogin()))
        platform().dialogs().warn(QString::fromUtf8("Couldn\u2019t change Launch at Login"), *failure);
}

void MenuController::addLink() {
    QStringList groups;
    for (const FavoriteGroup& group : store.groups()) groups << group.name;
    const std::optional<FormAnswer> answer = platform().dialogs().form(
        {QStringLiteral("Add Link"), QString::fromUtf8("Any URL works: https://, file:///, vscode://, mailto:, \u2026"),
         {{QStringLiteral("Name"), QString()}, {QStringLiteral("URL"), QStringLiteral("https://")}},
         QPair<QString, QStringList>(QStringLiteral("Group"), QStringList{QStringLiteral("None")} + groups),
         QStringLiteral("Add")});
    if (!answer || answer->values.size() < 2) return;
    QString text = answer->values[1];
    if (text.isEmpty() || text == QLatin1String("https://")) return;
    if (!text.contains(':')) text.prepend(QStringLiteral("https://"));
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        platform().dialogs().warn(QString::fromUtf8("That doesn\u2019t look like a valid URL"), text);
        return;
    }
    QString title = answer->values[0];
    if (title.isEmpty()) title = url.host().isEmpty() ? text : url.host();
    const std::optional<QString> group =
        answer->choice > 0 && answer->choice <= groups.size() ? std::optional(groups[answer->choice - 1]) : std::nullopt;
    store.addLink(title, text, group);
}

std::optional<QString> MenuController::askGroupName(const QString& current) {
    const bool creating = current.isEmpty();
    const std::optional<FormAnswer> answer = platform().dialogs().form(
        {creating ? QStringLiteral("New Favorite Group") : QStringLiteral("Rename Group"), QString(),
         {{QStringLiteral("Name"), current}}, std::nullopt,
         creating ? QStringLiteral("Create") : QStringLiteral("Rename")});
    if (!answer || answer->values.isEmpty() || answer->values.first().isEmpty()) return std::nullopt;
    return answer->values.first();
}

} // namespace tarn
