// A folder's listing as menu items: the children, and the item that browses a folder.
#include "menu/MenuItems.h"

#include "menu/FolderReader.h"
#include "menu/Icons.h"
#include "menu/ItemActions.h"
#include "menu/LazyMenu.h"
#include "menu/MenuStyle.h"
#include "platform/VisibleText.h"

#include <QFileInfo>
#include <algorithm>

namespace tarn::MenuItems {

namespace {

Entry fileEntry(const QUrl& url) {
    const QFileInfo file(url.toLocalFile());
    if (Entry::isWorkspaceFile(file.fileName()))
        return {EntryKind::workspace, url, file.completeBaseName(), std::nullopt, std::nullopt};
    return {EntryKind::file, url, file.fileName(), std::nullopt, std::nullopt};
}

} // namespace

QList<QAction*> contents(const QList<Listed>& listing, const FolderOptions& options) {
    return contents(Listing{listing, listing.size()}, options);
}

QList<QAction*> contents(const Listing& listing, const FolderOptions& options) {
    if (listing.total == 0) return {disabled(QStringLiteral("Empty"))};
    const qsizetype shown = std::clamp<qint64>(options.itemLimit, 0, listing.first.size());
    QList<QAction*> items;
    for (qsizetype i = 0; i < shown; ++i) {
        const Listed& child = listing.first[i];
        items << (child.isFolder ? browsable(child.url, options) : entry(fileEntry(child.url)));
    }
    if (listing.total > shown)
        items << disabled(QStringLiteral("\u2026 and %1 more").arg(listing.total - shown));
    return items;
}

QList<QAction*> browsable(const QUrl& folder, const FolderOptions& options,
                          const std::optional<QString>& title,
                          const std::function<QList<QAction*>()>& extraTop,
                          const std::optional<Listing>& known) {
    const QString name = title.value_or(QFileInfo(folder.toLocalFile()).fileName());
    const StyledTitle styled{MenuStyle::truncate(name, MenuStyle::menuFont(), MenuStyle::titleAlone()),
                             false, std::nullopt, std::nullopt, visibleText(name)};
    const QIcon icon = Icons::file(folder.path());

    auto* primary = new QAction(MenuStyle::plainText(name));
    MenuStyle::setTitle(primary, styled);
    primary->setIcon(icon);
    primary->setToolTip(tildePath(folder));
    // The folder is read off the GUI thread, from the moment its item is highlighted.
    auto* submenu = new LazyMenu(name, nullptr);
    auto* reader = new FolderReader(folder, options, submenu, known);
    submenu->setBuild([folder, options, extraTop, reader] {
        QList<QAction*> items;
        if (extraTop) items << extraTop();
        items << folderActions(folder);
        items << separator();
        if (const std::optional<Listing>& listing = reader->latest()) return items << contents(*listing, options);
        return items << disabled(QStringLiteral("Loading\u2026"));
    });
    QObject::connect(submenu, &QMenu::aboutToShow, reader, &FolderReader::start);
    QObject::connect(primary, &QAction::hovered, reader, &FolderReader::start);
    LazyMenu::attach(primary, submenu);

    auto* alternate = new QAction(MenuStyle::plainText(name));
    MenuStyle::setTitle(alternate, styled);
    alternate->setIcon(icon);
    LazyMenu::attach(alternate, new LazyMenu(name, [folder] {
                         return ItemActions::items(Entry::classify(folder));
                     }));
    LazyMenu::makeAlternate(alternate);
    return {primary, alternate};
}

} // namespace tarn::MenuItems
