// How a pinned folder or a browsed subfolder is read and ordered.
#include "discovery/FolderListing.h"

#include "model/Entry.h"
#include "model/LocalizedCompare.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <algorithm>
#include <limits>

namespace tarn::FolderListing {

namespace {

constexpr qint64 distantPast = std::numeric_limits<qint64>::min();

// One child while the listing is sorted. Dates are milliseconds since the epoch, so that a
// folder of many thousand children is cheap to hold.
struct Info {
    QByteArray bytes; // the name as the file system has it
    QString name;
    bool isFolder = false;
    qint64 modified = distantPast;
    qint64 created = distantPast;
    qint64 size = 0;
    QString kind;
};

// The attributes of one child of the `type` the folder reports; of the sort keys, only the one
// `sort` compares is read (the others cannot change the order), so sorting by name needs no
// stat at all except for links. A name text cannot carry (not UTF-8, or in a folder whose own
// name is not) keeps only its type.
Info infoOf(const QString& folder, bool textual, RawDirectoryItem item, SortKey sort, const QMimeDatabase& types) {
    Info info;
    info.name = QFile::decodeName(item.name);
    info.bytes = std::move(item.name);
    const bool link = item.type == DirectoryItem::Type::link;
    if (!textual || info.name.contains(QChar::ReplacementCharacter)) {
        info.isFolder = item.type == DirectoryItem::Type::directory;
        return info;
    }
    if (sort == SortKey::name && !link) {
        info.isFolder = item.type == DirectoryItem::Type::directory && !isPackage(info.name);
        return info;
    }
    const QFileInfo file(folder + '/' + info.name);
    if (link && !file.exists()) return info; // a link to nothing: no attributes
    info.isFolder = (link ? file.isDir() : item.type == DirectoryItem::Type::directory) && !isPackage(info.name);
    switch (sort) {
    case SortKey::name: break;
    case SortKey::dateModified:
        if (file.lastModified().isValid()) info.modified = file.lastModified().toMSecsSinceEpoch();
        break;
    case SortKey::dateCreated: // the birth time where the file system records it (statx)
        if (file.birthTime().isValid()) info.created = file.birthTime().toMSecsSinceEpoch();
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
    if (result == 0) result = order(a.bytes, b.bytes); // names that decode alike
    return options.ascending ? result < 0 : result > 0;
}

} // namespace

// The first `limit` children in order, and the count of all: every child is read and takes
// part in the order, but only the first are sorted fully and get a URL.
static Listing listing(const QUrl& folder, const FolderOptions& options, qsizetype limit) {
    const QByteArray folderPath = localPath(folder);
    if (!isDirectoryAt(folderPath)) return {};
    const bool textual = isUtf8(folderPath);
    const QString folderText = textual ? folder.toLocalFile() : QString();
    const QMimeDatabase types;
    QList<RawDirectoryItem> children = listDirectoryBytes(folderPath);
    std::vector<Info> infos;
    infos.reserve(children.size());
    for (RawDirectoryItem& item : children) {
        if (!options.showHidden && item.name.startsWith('.')) continue;
        infos.push_back(infoOf(folderText, textual, std::move(item), options.sort, types));
    }
    const auto shown = infos.begin() + std::clamp<qsizetype>(limit, 0, qsizetype(infos.size()));
    // The order is total (names break ties, then bytes), so a partial sort gives what a full
    // stable sort would.
    std::partial_sort(infos.begin(), shown, infos.end(),
                      [&](const Info& a, const Info& b) { return goesBefore(a, b, options); });
    Listing result;
    result.total = qsizetype(infos.size());
    result.first.reserve(shown - infos.begin());
    for (auto info = infos.begin(); info != shown; ++info) {
        const QUrl url = textual && !info->name.contains(QChar::ReplacementCharacter)
                             ? QUrl::fromLocalFile(folderText + '/' + info->name)
                             : fileURL(folderPath + '/' + info->bytes);
        result.first << Listed{url, info->isFolder};
    }
    return result;
}

QList<Listed> listing(const QUrl& folder, const FolderOptions& options) {
    return listing(folder, options, std::numeric_limits<qsizetype>::max()).first;
}

Listing shownListing(const QUrl& folder, const FolderOptions& options) {
    return listing(folder, options, std::max<qint64>(options.itemLimit, 0));
}

} // namespace tarn::FolderListing
