#include "discovery/Recents.h"

#include "discovery/WorkspaceFile.h"
#include "platform/FileSystem.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStandardPaths>
#include <algorithm>

namespace tarn::Recents {

namespace {

struct Candidate {
    QUrl url;
    QDateTime date;
};

std::optional<QUrl> storedLocation(const QString& storageChild) {
    const std::optional<QByteArray> bytes = readRegularFileBytes(storageChild + "/workspace.json", editorStorageLimit);
    if (!bytes) return std::nullopt;
    return recordedLocation(*bytes);
}

// The most distant past sorts last.
QDateTime dateOf(const QString& storageChild) {
    for (const QString& path : {storageChild + "/state.vscdb", storageChild}) {
        const QDateTime modified = QFileInfo(path).lastModified();
        if (modified.isValid()) return modified;
    }
    return QDateTime::fromMSecsSinceEpoch(std::numeric_limits<qint64>::min() / 2);
}

} // namespace

std::optional<QUrl> recordedLocation(const QByteArray& workspaceJson) {
    const QJsonDocument document = QJsonDocument::fromJson(workspaceJson);
    if (!document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue value = object.contains("workspace") ? object.value("workspace")
                                                           : object.value("folder");
    if (!value.isString()) return std::nullopt;
    const QUrl url(value.toString(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("file")) return std::nullopt;
    // Another machine's folder is not here, and a relative path would be read against
    // whatever folder Tarn happens to run in.
    if (!isOnThisMachine(url) || !url.path(QUrl::FullyDecoded).startsWith('/')) return std::nullopt;
    return url;
}

QString dataFolder(const QString& storageFolder) {
    const QString native =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + '/' + storageFolder;
    if (QFileInfo(native).isDir()) return native;
    // A Flatpak editor keeps its configuration in its own sandbox folder.
    const QString sandboxes = QDir::homePath() + "/.var/app";
    for (const QString& app : QDir(sandboxes).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString candidate = sandboxes + '/' + app + "/config/" + storageFolder;
        if (QFileInfo(candidate).isDir()) return candidate;
    }
    return native;
}

RecentsResult load(const QString& storageFolder, int limit) {
    const QString data = dataFolder(storageFolder);
    const QString storage = data + "/User/workspaceStorage";
    const QString untitled = data + "/Workspaces/";

    QList<Candidate> candidates;
    const QDir storageDir(storage);
    for (const QString& name : storageDir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot,
                                                    QDir::NoSort)) {
        const QString child = storage + '/' + name;
        const std::optional<QUrl> url = storedLocation(child);
        if (!url || url->path(QUrl::FullyDecoded).startsWith(untitled)) continue;
        candidates.append({*url, dateOf(child)});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.date > b.date; });

    RecentsResult result;
    QSet<QString> seen;
    for (const Candidate& candidate : candidates) {
        if (result.entries.size() >= limit) break;
        const QUrl url = standardizedFileURL(candidate.url);
        const QString path = url.toLocalFile();
        if (seen.contains(path)) continue;
        seen.insert(path);
        if (!QFileInfo::exists(path)) continue;
        const Entry entry = Entry::classify(url);
        result.entries << entry;
        if (entry.kind == EntryKind::workspace) {
            if (auto repo = WorkspaceFile::primaryRepo(entry.url))
                result.workspaceRepos.insert(path, *repo);
        }
    }
    result.entries = Entry::disambiguated(result.entries);
    return result;
}

} // namespace tarn::Recents

