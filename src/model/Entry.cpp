#include "model/Entry.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace tarn {

QString rawValue(EntryKind kind) {
    switch (kind) {
    case EntryKind::workspace: return QStringLiteral("workspace");
    case EntryKind::repo: return QStringLiteral("repo");
    case EntryKind::folder: return QStringLiteral("folder");
    case EntryKind::file: return QStringLiteral("file");
    case EntryKind::link: return QStringLiteral("link");
    case EntryKind::shortcut: return QStringLiteral("shortcut");
    }
    return {};
}

size_t qHash(const Entry& entry, size_t seed) {
    return qHashMulti(seed, qToUnderlying(entry.kind), entry.url, entry.title, entry.shortcutID.value_or(QString()),
                      entry.shortcutID.has_value(), entry.hint.value_or(QString()),
                      entry.hint.has_value());
}

bool isOnThisMachine(const QUrl& url) {
    return url.host().isEmpty() || url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

QUrl standardizedFileURL(const QUrl& url) {
    // "localhost" names this machine; any other host would read as a network share path.
    QUrl local = url;
    if (isOnThisMachine(local)) local.setHost(QString());
    const QString path = local.toLocalFile();
    // A path that is not UTF-8 is cleaned as bytes (Latin-1 maps each byte to one character):
    // text would lose them.
    if (path.contains(QChar::ReplacementCharacter)) {
        const QByteArray bytes = localPath(local);
        if (!isUtf8(bytes)) return fileURL(QDir::cleanPath(QString::fromLatin1(bytes)).toLatin1());
    }
    return QUrl::fromLocalFile(QDir::cleanPath(path));
}

bool isPackage(const QString& directoryPath) {
    static const QSet<QString> bundleExtensions{
        "app",       "appex",       "bundle",     "framework",    "plugin", "kext",
        "xpc",       "prefpane",    "qlgenerator", "mdimporter",  "saver",  "xcodeproj",
        "xcworkspace", "playground", "photoslibrary", "rtfd",     "pages",  "numbers",
        "key",       "pkg",         "mpkg",       "docset"};
    return bundleExtensions.contains(QFileInfo(directoryPath).suffix().toLower());
}

bool Entry::isWorkspaceFile(const QString& fileName) {
    const QLatin1String extension(".code-workspace");
    return fileName.size() > extension.size() && fileName.endsWith(extension);
}

Entry Entry::classify(const QUrl& url) {
    const QUrl u = standardizedFileURL(url);
    const QString path = u.toLocalFile();
    const QFileInfo info(path);
    Entry entry;
    entry.url = u;
    entry.title = path == QLatin1String("/") ? path : info.fileName();
    if (isWorkspaceFile(info.fileName())) {
        entry.kind = EntryKind::workspace;
        entry.title = info.completeBaseName();
    } else if (const QByteArray bytes = localPath(u); isDirectoryAt(bytes) && !isPackage(path)) {
        entry.kind = existsAt(bytes + "/.git") ? EntryKind::repo : EntryKind::folder;
    } else {
        entry.kind = EntryKind::file;
    }
    return entry;
}

namespace {

// The last `count` names of the folder holding `entry`, "a/b" for two.
QString parentNames(const Entry& entry, int count) {
    const QStringList names = QFileInfo(entry.url.toLocalFile()).path().split('/', Qt::SkipEmptyParts);
    return names.mid(std::max<qsizetype>(0, names.size() - count)).join('/');
}

// As few of the holding folders' names as tell every entry of `clash` apart: the parent's name
// alone, unless two parents share it.
int namesNeeded(const QList<const Entry*>& clash) {
    int deepest = 0;
    for (const Entry* entry : clash)
        deepest = std::max<int>(deepest, QFileInfo(entry->url.toLocalFile()).path().count('/'));
    for (int count = 1; count < deepest; ++count) {
        QSet<QString> seen;
        for (const Entry* entry : clash) seen.insert(parentNames(*entry, count).toLower());
        if (seen.size() == clash.size()) return count;
    }
    return std::max(1, deepest);
}
} // namespace

QList<Entry> Entry::disambiguated(const QList<Entry>& entries) {
    auto clashKey = [](const Entry& e) { return rawValue(e.kind) + '|' + e.title.toLower(); };
    QList<Entry> result = entries;
    QHash<QString, QList<const Entry*>> clashes;
    for (const Entry& e : result) {
        const bool onDisk = e.kind != EntryKind::link && e.kind != EntryKind::shortcut;
        if (onDisk) clashes[clashKey(e)] << &e;
    }
    QHash<QString, int> depth;
    for (auto clash = clashes.cbegin(); clash != clashes.cend(); ++clash)
        if (clash->size() > 1) depth.insert(clash.key(), namesNeeded(*clash));
    for (Entry& e : result) {
        const bool onDisk = e.kind != EntryKind::link && e.kind != EntryKind::shortcut;
        if (onDisk && depth.contains(clashKey(e))) e.hint = parentNames(e, depth.value(clashKey(e)));
    }
    return result;
}

QString tildePath(const QUrl& url) {
    QString home = QDir::homePath();
    while (home.size() > 1 && home.endsWith('/')) home.chop(1);
    QString path = url.path(QUrl::FullyDecoded);
    if (url.isLocalFile() || url.scheme().isEmpty()) path = QDir::cleanPath(path);
    if (path == home) return QStringLiteral("~");
    if (path.startsWith(home + '/')) return '~' + path.mid(home.size());
    return path;
}

bool isDirectoryOnDisk(const QUrl& url) {
    return url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir();
}

} // namespace tarn
