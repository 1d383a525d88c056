#include "menu/ItemActions.h"

#include "actions/Opener.h"
#include "discovery/BlockingPool.h"
#include "discovery/Editors.h"
#include "library/Library.h"
#include "discovery/ShortcutsCLI.h"
#include "discovery/Terminals.h"
#include "git/GitStore.h"
#include "menu/ActionItem.h"
#include "menu/Icons.h"
#include "menu/LazyMenu.h"
#include "menu/MenuHost.h"
#include "menu/MenuItems.h"
#include "menu/MenuController.h"
#include "menu/MenuStyle.h"
#include "menu/WorkspaceCreator.h"
#include "model/Store.h"
#include "platform/Applications.h"
#include "platform/DefaultsDomain.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <memory>

namespace tarn::ItemActions {

using MenuItems::header;
using MenuItems::separator;
using MenuItems::submenu;

namespace {

constexpr int openWithLimit = 30;

QAction* action(const QString& title, std::function<void()> handler) {
    return new ActionItem(title, QString(), std::move(handler));
}

void copyText(const QString& text) { QGuiApplication::clipboard()->setText(text); }

// "Open on GitHub" names the forge a user knows; any other host is just a web page.
QString remoteTitle(const QUrl& web) {
    const QString host = web.host();
    if (host.contains(QLatin1String("github"))) return QStringLiteral("Open on GitHub");
    if (host.contains(QLatin1String("gitlab"))) return QStringLiteral("Open on GitLab");
    if (host.contains(QLatin1String("codeberg"))) return QStringLiteral("Open on Codeberg");
    if (host.contains(QLatin1String("bitbucket"))) return QStringLiteral("Open on Bitbucket");
    return QStringLiteral("Open in Browser");
}

// "Open on …", hidden until the remote's address is read in the background: the menu shows
// at once, whatever a slow disk or the repository's config does to the read.
QAction* openOnRemote(const QUrl& repo) {
    auto web = std::make_shared<QUrl>();
    QAction* item = action(QStringLiteral("Open on \u2026"), [web] {
        if (web->isValid()) Opener::openURL(*web, false);
    });
    item->setVisible(false);
    runInBackground(TaskPriority::userInitiated, [repo, web, item = QPointer<QAction>(item)] {
        const std::optional<QUrl> found = Git::remoteWebURL(repo);
        runOnMainThread([found, web, item] {
            if (!found || !item) return;
            *web = *found;
            item->setText(remoteTitle(*found));
            item->setVisible(true);
        });
    });
    return item;
}

QList<QAction*> gitItems(const QUrl& repo) {
    const std::optional<GitStatus> status = GitStore::shared().status(repo.path());
    QList<QAction*> items{header(status ? "Git \u00B7 " + status->summary() : QStringLiteral("Git"))};
    items << openOnRemote(repo);
    items << action(QStringLiteral("Fetch"), [repo] { GitStore::shared().run(GitOp::fetch, repo); });
    items << action(QStringLiteral("Pull (fast-forward only)"), [repo] { GitStore::shared().run(GitOp::pull, repo); });
    if (status) items << action(QStringLiteral("Copy Branch Name"), [branch = status->branch] { copyText(branch); });
    return items;
}

QAction* openWith(const QUrl& url, bool includeEditors) {
    return submenu(QStringLiteral("Open With"), [url, includeEditors] {
        Desktop& desktop = platform().desktop();
        QList<OfferedApplication> candidates;
        // The same application: one install, or a desktop entry whose program lies in an
        // install folder already listed (an editor's folder and the entry that starts it).
        auto listed = [&](const OfferedApplication& offered) {
            return std::any_of(candidates.begin(), candidates.end(), [&](const OfferedApplication& c) {
                if (c.install.location == offered.install.location) return true;
                const QString folder = c.install.location + '/';
                return offered.install.launcher && !c.install.location.endsWith(QLatin1String(".desktop")) &&
                       offered.install.launcher->startsWith(folder);
            });
        };
        if (includeEditors) {
            for (const Editor& editor : Editors::installed())
                if (const auto install = platform().applications().find(editor.id)) {
                    OfferedApplication offered = desktop.describe(*install);
                    offered.name = editor.name; // under its own name, whatever its launcher is called
                    if (!listed(offered)) candidates << offered;
                }
        }
        for (const OfferedApplication& offered : desktop.applicationsFor(url))
            if (!listed(offered)) candidates << offered;
        QList<QAction*> items;
        for (const OfferedApplication& offered : candidates.mid(0, openWithLimit)) {
            QAction* item = action(QString(offered.name).remove(QLatin1String(".app")),
                                   [url, install = offered.install] { Opener::open({url}, install, false); });
            item->setIcon(offered.iconName.isEmpty() ? Icons::file(offered.install.location)
                                                     : QIcon::fromTheme(offered.iconName, Icons::file(offered.install.location)));
            items << item;
        }
        return items;
    });
}

// The repository an entry's git block shows: the library's, else a ".git" right inside it.
std::optional<QString> repositoryFor(const Entry& entry) {
    if (const std::optional<QString> path = Library::shared().gitPath(entry)) return path;
    const QString own = entry.url.toLocalFile();
    if (QFileInfo::exists(own + "/.git")) return own;
    return std::nullopt;
}

QList<QAction*> fileItems(const Entry& entry) {
    const QUrl url = entry.url;
    QList<QAction*> items;
    if (entry.kind == EntryKind::file) {
        items << action(QStringLiteral("Open"), [entry] { Opener::open(entry, false); });
    } else {
        const std::optional<Editor> editor = Editors::editor(url);
        items << action("Open in " + (editor ? editor->name : QStringLiteral("Editor")), [url] {
            Opener::openInEditor(url, Opener::WindowMode::standard, false, std::nullopt);
        });
        if (editor && Editors::cliURL(*editor)) {
            if (editor->newWindowFlag)
                items << action(QStringLiteral("Open in New Window"), [url] {
                    Opener::openInEditor(url, Opener::WindowMode::newWindow, false, std::nullopt);
                });
            if (editor->reuseWindowFlag)
                items << action(QStringLiteral("Open in Current Window"), [url] {
                    Opener::openInEditor(url, Opener::WindowMode::currentWindow, false, std::nullopt);
                });
        }
    }
    items << openWith(url, entry.kind != EntryKind::file);
    items << action("Open in " + Terminals::current().name, [url] { Opener::openInTerminal(url); });
    items << action(MenuItems::showInFileManagerTitle(), [url] { Opener::reveal(url); });
    items << action(QStringLiteral("Preview"), [url] {
        if (MenuHost* host = MenuHost::current()) host->quickLook({url});
    });
    items << separator();
    items << action(QStringLiteral("Copy Path"), [path = url.path()] { copyText(path); });
    items << action(QStringLiteral("Copy File"), [url] { Opener::copyFile(url); });
    if (const std::optional<QString> repo = repositoryFor(entry))
        items << separator() << gitItems(QUrl::fromLocalFile(*repo));
    items << separator();
    if (entry.kind == EntryKind::repo || entry.kind == EntryKind::folder)
        items << action(QStringLiteral("Save as Workspace\u2026"), [url] { WorkspaceCreator::save(url); });
    items << favoriteItems(entry);
    items << separator();
    items << action(QStringLiteral("Move to Trash\u2026"), [url] {
        if (Opener::moveToTrash(url)) Library::shared().refresh(false);
    });
    return items;
}

QAction* addToShortcutFolder(const Entry& entry) {
    return submenu(QStringLiteral("Add to Folder"), [entry] {
        if (!entry.shortcutID) return QList<QAction*>{};
        const QString id = *entry.shortcutID;
        QList<QAction*> items;
        for (const ShortcutFolder& folder : Store::shared().shortcutFolders()) {
            const bool member = folder.shortcutIDs.contains(id);
            QAction* item = action(folder.name, [folderID = folder.id, id, member] {
                Store& store = Store::shared();
                QList<ShortcutFolder> folders = store.shortcutFolders();
                for (ShortcutFolder& stored : folders) {
                    if (stored.id != folderID) continue;
                    if (member) stored.shortcutIDs.removeAll(id);
                    else stored.shortcutIDs << id;
                    store.setShortcutFolders(folders);
                    store.defaults().setBool(Keys::useCustomShortcuts, true);
                    return;
                }
            });
            item->setCheckable(true);
            item->setChecked(member);
            items << item;
        }
        if (!items.isEmpty()) items << separator();
        items << action(QStringLiteral("New Folder\u2026"), [id] {
            const std::optional<FormAnswer> answer = platform().dialogs().form(
                {QStringLiteral("New Shortcuts Folder"), QString(), {{QStringLiteral("Name"), QString()}},
                 std::nullopt, QStringLiteral("Create")});
            if (!answer || answer->values.isEmpty() || answer->values.first().isEmpty()) return;
            Store& store = Store::shared();
            QList<ShortcutFolder> folders = store.shortcutFolders();
            folders << ShortcutFolder{QUuid::createUuid(), answer->values.first(), ShortcutFolder::Style::submenu, {id}};
            store.setShortcutFolders(folders);
            store.defaults().setBool(Keys::useCustomShortcuts, true);
        });
        return items;
    });
}

} // namespace

QList<QAction*> items(const Entry& entry) {
    switch (entry.kind) {
    case EntryKind::link:
        return QList<QAction*>{action(QStringLiteral("Open"), [url = entry.url] { Opener::openURL(url, false); }),
                               action(QStringLiteral("Copy URL"), [text = QString::fromUtf8(entry.url.toEncoded())] { copyText(text); }),
                               separator()}
               << favoriteItems(entry);
    case EntryKind::shortcut:
        if (entry.url.isLocalFile()) // one of the user's scripts: edited in the editor, shown in the file manager
            return {action(QStringLiteral("Run Shortcut"), [entry] { ShortcutsCLI::run(entry); }),
                    action(QStringLiteral("Edit Script"),
                           [url = entry.url] { Opener::openInEditor(url, Opener::WindowMode::standard, false, std::nullopt); }),
                    action(MenuItems::showInFileManagerTitle(), [url = entry.url] { Opener::reveal(url); }),
                    action(QStringLiteral("Copy Name"), [title = entry.title] { copyText(title); }), separator(),
                    addToShortcutFolder(entry)};
        return {action(QStringLiteral("Run Shortcut"), [entry] { ShortcutsCLI::run(entry); }),
                action(QStringLiteral("Edit in Shortcuts"), [url = entry.url] { Opener::openURL(url, false); }),
                action(QStringLiteral("Copy Name"), [title = entry.title] { copyText(title); }), separator(),
                addToShortcutFolder(entry)};
    default: return fileItems(entry);
    }
}

QList<QAction*> favoriteItems(const Entry& entry) {
    const std::optional<Favorite> favorite = Store::shared().favorite(entry);
    QAction* toggle = favorite ? action(QStringLiteral("Remove from Favorites"), [entry] { Store::shared().removeFavorite(entry); })
                               : action(QStringLiteral("Add to Favorites"), [entry] { Store::shared().addFavorite(entry, std::nullopt); });
    QAction* groups = submenu(QStringLiteral("Add to Group"), [entry, favorite] {
        QList<QAction*> items;
        for (const FavoriteGroup& group : Store::shared().groups()) {
            QAction* item = action(group.name, [entry, name = group.name] { Store::shared().addFavorite(entry, name); });
            item->setCheckable(true);
            item->setChecked(favorite && favorite->group == group.name);
            items << item;
        }
        if (!items.isEmpty()) items << separator();
        items << action(QStringLiteral("New Group\u2026"), [entry] {
            MenuHost* host = MenuHost::current();
            MenuController* controller = host ? host->controller() : nullptr;
            if (!controller) return;
            if (const std::optional<QString> name = controller->askGroupName(QString()))
                Store::shared().addFavorite(entry, *name);
        });
        if (favorite && favorite->group)
            items << action(QStringLiteral("Remove from Group"), [entry] { Store::shared().addFavorite(entry, std::nullopt); });
        return items;
    });
    return {toggle, groups};
}

} // namespace tarn::ItemActions
