#include "menu/MenuItems.h"

#include "actions/Opener.h"
#include "discovery/Editors.h"
#include "library/Library.h"
#include "discovery/ShortcutsCLI.h"
#include "discovery/Terminals.h"
#include "git/GitStore.h"
#include "menu/ActionItem.h"
#include "menu/Icons.h"
#include "menu/ItemActions.h"
#include "menu/LazyMenu.h"
#include "menu/MenuStyle.h"
#include "model/Store.h"
#include "platform/Desktop.h"
#include "platform/Platform.h"
#include "platform/VisibleText.h"

#include <QActionGroup>
#include <QGuiApplication>

namespace tarn::MenuItems {

namespace {

const QString gitLegend = QStringLiteral("   (\u00B1 uncommitted \u00B7 \u2191 to push \u00B7 \u2193 to pull)");

bool showsGitStatus() { return Store::shared().boolean(Keys::showGitStatus, true); }

// The setting is read only for the entries that have a repository: a folder's hundreds of files
// have none.
std::optional<QString> repositoryOf(const Entry& entry) {
    const std::optional<QString> repo = Library::shared().gitPath(entry);
    return repo && showsGitStatus() ? repo : std::nullopt;
}

// Shift held at the moment the item fires: open without bringing the application forward.
void open(const Entry& entry) {
    Opener::open(entry, QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier);
}

} // namespace

QList<QAction*> entry(const Entry& shown) {
    auto* primary = new ActionItem(shown.title, QString(), [shown] { open(shown); });
    const std::optional<QString> repo = repositoryOf(shown);
    decorate(primary, shown, repo);

    // Decorated like the primary: the same icon, title and tool tip, and tracked alike.
    auto* alternate = new QAction(primary->icon(), primary->text());
    MenuStyle::setTitle(alternate, *MenuStyle::titleOf(primary));
    alternate->setToolTip(primary->toolTip());
    if (repo) GitStore::shared().attach(alternate, *repo, [alternate, shown] { applyTitle(alternate, shown); });
    LazyMenu::attachLater(alternate, [shown] {
        return new LazyMenu(shown.title, [shown] { return ItemActions::items(shown); });
    });
    LazyMenu::makeAlternate(alternate);
    return {primary, alternate};
}

void decorate(QAction* item, const Entry& entry) { decorate(item, entry, repositoryOf(entry)); }

void decorate(QAction* item, const Entry& entry, const std::optional<QString>& repo) {
    if (entry.kind == EntryKind::link)
        item->setIcon(Icons::symbol(QStringLiteral("link")));
    else if (entry.kind != EntryKind::shortcut)
        item->setIcon(Icons::file(entry.url.path()));
    applyTitle(item, entry, repo);
    if (repo) GitStore::shared().attach(item, *repo, [item, entry] { applyTitle(item, entry); });
}

void applyTitle(QAction* item, const Entry& entry) { applyTitle(item, entry, repositoryOf(entry)); }

void applyTitle(QAction* item, const Entry& entry, const std::optional<QString>& repo) {
    const std::optional<GitStatus> status = repo ? GitStore::shared().status(*repo) : std::nullopt;
    std::optional<StyledInfo> info;
    bool reserve = true;
    QString name = entry.title;
    if (status) {
        info = MenuStyle::gitInfo(*status);
        // The branch takes the info column; same-named repositories still read apart.
        if (entry.hint) name += QString::fromUtf8(" \u2014 ") + *entry.hint;
    } else {
        if (entry.hint) info = MenuStyle::info(*entry.hint);
        reserve = entry.hint.has_value() || repo.has_value();
    }
    MenuStyle::setTitle(item, MenuStyle::title(name, info, reserve,
                                               Library::shared().isOpen(entry)));

    QStringList lines;
    if (entry.kind == EntryKind::link) lines << entry.url.toString();
    else if (entry.kind != EntryKind::shortcut) lines << tildePath(entry.url);
    if (status) lines << status->summary() + gitLegend;
    item->setToolTip(visibleText(lines.join('\n')));
}

QAction* separator() {
    auto* item = new QAction;
    item->setSeparator(true);
    return item;
}

// Qt's section separators show no text in every style; a bold disabled row does.
QAction* header(const QString& title) {
    auto* item = new QAction(MenuStyle::plainText(title));
    item->setEnabled(false);
    item->setProperty("isSectionHeader", true);
    QFont font = item->font();
    font.setBold(true);
    item->setFont(font);
    return item;
}

QAction* disabled(const QString& title) {
    auto* item = new QAction(MenuStyle::plainText(title));
    item->setEnabled(false);
    return item;
}

QAction* submenu(const QString& title, std::function<QList<QAction*>()> build, const QIcon& icon) {
    auto* item = new QAction(icon, MenuStyle::plainText(title));
    LazyMenu::attach(item, new LazyMenu(title, std::move(build)));
    return item;
}

QAction* choice(const QString& title, bool checked, std::function<void()> handler) {
    auto* item = new ActionItem(title, QString(), std::move(handler));
    item->setCheckable(true);
    item->setChecked(checked);
    return item;
}

QList<QAction*> exclusive(QList<QAction*> rows) {
    QActionGroup* group = nullptr;
    for (QAction* row : rows) {
        if (!row->isCheckable()) continue;
        if (!group) group = new QActionGroup(row); // goes with the rows
        group->addAction(row);
    }
    if (group) group->setExclusive(true);
    return rows;
}

QString showInFileManagerTitle() { return "Show in " + platform().desktop().fileManagerName(); }

QList<QAction*> folderActions(const QUrl& folder) {
    const std::optional<Editor> editor = Editors::editor(folder);
    auto* inEditor = new ActionItem("Open in " + (editor ? editor->name : QStringLiteral("Editor")),
                                    QString(), [folder] {
                                        Opener::openInEditor(folder, Opener::WindowMode::standard,
                                                             false, std::nullopt);
                                    });
    inEditor->setIcon(Icons::symbol(QStringLiteral("square.stack.3d.up.fill")));
    auto* inFiles = new ActionItem("Open in " + platform().desktop().fileManagerName(), QString(),
                                   [folder] { Opener::openURL(folder, false); });
    inFiles->setIcon(Icons::symbol(QStringLiteral("folder")));
    auto* inTerminal = new ActionItem("Open in " + Terminals::current().name, QString(),
                                      [folder] { Opener::openInTerminal(folder); });
    inTerminal->setIcon(Icons::symbol(QStringLiteral("terminal")));
    return {inEditor, inFiles, inTerminal};
}

} // namespace tarn::MenuItems
