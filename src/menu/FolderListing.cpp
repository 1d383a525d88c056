// Folder listings: how a folder is read and ordered, and the items that browse it.
#include "menu/MenuItems.h"

#include "menu/Icons.h"
#include "menu/ItemActions.h"
#include "menu/LazyMenu.h"
#include "menu/MenuStyle.h"
#include "model/LocalizedCompare.h"
#include "platform/FileSystem.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <algorithm>

namespace tarn::MenuItems {

namespace {

// One child while the listing is sorted.
struct Info {
    QUrl url;
    bool isFolder = false;
    QString name;
    QDateTime modified;
    QDateTime created;
    qint64 size = 0;
    QString kind;
};

const QDateTime distantPast = QDateTime::fromMSecsSinceEpoch(std::numeric_limits<qint64>::min() / 2);

// The attributes of one child of the `type` the folder reports; of the sort keys, only the one
// `sort` compares is read (the others cannot change the order), so sorting by name needs no
// stat at all except for links.
Info infoOf(const QFileInfo& file, DirectoryItem::Type type, SortKey sort, const QMimeDatabase& types) {
    Info info;
    info.url = QUrl::fromLocalFile(file.filePath());
    info.name = file.fileName();
    info.modified = info.created = distantPast;
    const bool link = type == DirectoryItem::Type::link;
    if (link && !file.exists()) return info; // a link to nothing: no attributes
    info.isFolder = (link ? file.isDir() : type == DirectoryItem::Type::directory) && !isPackage(file.filePath());
    switch (sort) {
    case SortKey::name: break;
    case SortKey::dateModified:
        if (file.lastModified().isValid()) info.modified = file.lastModified();
        break;
    case SortKey::dateCreated: // the birth time where the file system records it (statx)
        if (file.birthTime().isValid()) info.created = file.birthTime();
        break;
    case SortKey::size: info.size = file.isDir() ? 0 : file.size(); break;
    case SortKey::kind: info.kind = types.mimeTypeForFile(file, QMimeDatabase::MatchExtension).comment(); break;
    }
    return info;
}

template <typename T> int order(const T& a, const T& b) { return a < b ? -1 : b < a ? 1 : 0; }

int compareBy(SortKey key, const Info& a, const Info& b) {
    switch (key) {
    case SortKey::name: return localizedStandardCompare(a.name, b.name);
    case SortKey::dateModified: return order(a.modified, b.modified);
    case SortKey::dateCreated: return order(a.created, b.created);
    case SortKey::size: return order(a.size, b.size);
    case SortKey::kind: return localizedStandardCompare(a.kind, b.kind);
    }
    return 0;
}

// Whether `a` goes before `b`: folders first in either direction when asked, then the key,
// then the name; descending order reverses the key and the name alike.
bool goesBefore(const Info& a, const Info& b, const FolderOptions& options) {
    if (options.foldersFirst && a.isFolder != b.isFolder) return a.isFolder;
    int result = compareBy(options.sort, a, b);
    if (result == 0) result = localizedStandardCompare(a.name, b.name);
    return options.ascending ? result < 0 : result > 0;
}

Entry fileEntry(const QUrl& url) {
    const QFileInfo file(url.toLocalFile());
    if (file.suffix() == QLatin1String("code-workspace"))
        return {EntryKind::workspace, url, file.completeBaseName(), std::nullopt, std::nullopt};
    return {EntryKind::file, url, file.fileName(), std::nullopt, std::nullopt};
}

} // namespace

QList<Listed> listing(const QUrl& folder, const FolderOptions& options) {
    const QByteArray folderPath = localPath(folder);
    const bool textual = isUtf8(folderPath);
    if (!isDirectoryAt(folderPath)) return {};
    const QMimeDatabase types;
    QList<Info> infos;
    for (const RawDirectoryItem& item : listDirectoryBytes(folderPath)) {
        const QString name = QFile::decodeName(item.name);
        if (!options.showHidden && name.startsWith('.')) continue;
        if (textual && !name.contains(QChar::ReplacementCharacter)) {
            infos << infoOf(QFileInfo(folder.toLocalFile() + '/' + name), item.type, options.sort, types);
            continue;
        }
        // A name text cannot carry (not UTF-8, or in a folder whose own name is not) is listed
        // by its bytes, so that it opens as it is; only its type is known.
        Info info;
        info.url = fileURL(folderPath + '/' + item.name);
        info.name = name;
        info.isFolder = item.type == DirectoryItem::Type::directory;
        info.modified = info.created = distantPast;
        infos << info;
    }
    std::stable_sort(infos.begin(), infos.end(),
                     [&](const Info& a, const Info& b) { return goesBefore(a, b, options); });
    QList<Listed> result;
    result.reserve(infos.size());
    for (const Info& info : infos) result << Listed{info.url, info.isFolder};
    return result;
}

QList<QAction*> contents(const QList<Listed>& listing, const FolderOptions& options) {
    if (listing.isEmpty()) return {disabled(QStringLiteral("Empty"))};
    const qsizetype shown = std::clamp<qint64>(options.itemLimit, 0, listing.size());
    QList<QAction*> items;
    for (qsizetype i = 0; i < shown; ++i) {
        const Listed& child = listing[i];
        items << (child.isFolder ? browsable(child.url, options) : entry(fileEntry(child.url)));
    }
    if (listing.size() > shown)
        items << disabled(QStringLiteral("\u2026 and %1 more").arg(listing.size() - shown));
    return items;
}

QList<QAction*> browsable(const QUrl& folder, const FolderOptions& options,
                          const std::optional<QString>& title,
                          const std::function<QList<QAction*>()>& extraTop) {
    const QString name = title.value_or(QFileInfo(folder.toLocalFile()).fileName());
    const StyledTitle styled{MenuStyle::truncate(name, MenuStyle::menuFont(), MenuStyle::titleAlone),
                             false, std::nullopt, std::nullopt};
    const QIcon icon = Icons::file(folder.path());

    auto* primary = new QAction(MenuStyle::plainText(name));
    MenuStyle::setTitle(primary, styled);
    primary->setIcon(icon);
    primary->setToolTip(tildePath(folder));
    LazyMenu::attach(primary, new LazyMenu(name, [folder, options, extraTop] {
                         QList<QAction*> items;
                         if (extraTop) items << extraTop();
                         items << folderActions(folder);
                         items << separator();
                         return items << contents(listing(folder, options), options);
                     }));

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
