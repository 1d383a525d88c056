#include "discovery/ShortcutsCLI.h"

#include "discovery/BlockingPool.h"
#include "discovery/Shell.h"
#include "model/ShortcutFolder.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include "model/LocalizedCompare.h"
#include "platform/ChildProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QUuid>
#include <algorithm>

namespace tarn {

size_t qHash(const ShortcutItem& item, size_t seed) {
    return qHashMulti(seed, item.name, item.id, item.folder.value_or(QString()),
                      item.folder.has_value(), item.script.value_or(QString()));
}

namespace ShortcutsCLI {

namespace {
constexpr double listTimeout = 20;
constexpr double runTimeout = 3600;

constexpr int errorShown = 2000;

QString list(const QString& tool, const QStringList& arguments) {
    return Shell::run(tool, QStringList{"list"} + arguments, {}, listTimeout).out;
}

// A script's id: stable for its place in the scripts folder, so stored shortcut folders keep it.
QString scriptID(const QString& relativePath) {
    static const QUuid space = QUuid::createUuidV5(QUuid(), QStringLiteral("org.tarn.Tarn.shortcuts"));
    return QUuid::createUuidV5(space, relativePath).toString(QUuid::WithoutBraces).toUpper();
}

QStringList visibleNames(const QDir& folder, QDir::Filters filters) {
    QStringList names = folder.entryList(filters | QDir::NoDotAndDotDot);
    names.removeIf([](const QString& name) { return name.startsWith('.'); });
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return localizedStandardCompare(a, b) < 0; });
    return names;
}

QList<ShortcutItem> scriptsIn(const QString& root, const std::optional<QString>& folder) {
    const QDir dir(folder ? root + '/' + *folder : root);
    QList<ShortcutItem> items;
    for (const QString& name : visibleNames(dir, QDir::Files)) {
        const QFileInfo file(dir.filePath(name));
        if (!file.isExecutable()) continue;
        const QString relative = folder ? *folder + '/' + name : name;
        items.append({file.completeBaseName().isEmpty() ? name : file.completeBaseName(), scriptID(relative), folder,
                      file.absoluteFilePath()});
    }
    return items;
}

void alertIfFailed(const QString& title, const ShellResult& result) {
    const bool cancelled = result.err.toLower().contains(QLatin1String("cancel"));
    if (result.status == 0 || result.err.isEmpty() || cancelled) return;
    runOnMainThread([title, err = result.err.left(errorShown)] {
        platform().dialogs().warn(QString::fromUtf8("Shortcut \u201C") + title + QString::fromUtf8("\u201D failed"), err);
    });
}
} // namespace

QString scriptsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/tarn/shortcuts");
}

ShortcutsSnapshot loadScripts(const QString& folder) {
    ShortcutsSnapshot snapshot;
    snapshot.items = scriptsIn(folder, std::nullopt);
    // A sub-folder that is a link back to the folder, or to one listed already, would list its
    // scripts twice.
    QSet<QString> listed{QFileInfo(folder).canonicalFilePath()};
    for (const QString& name : visibleNames(QDir(folder), QDir::Dirs)) {
        const QString canonical = QFileInfo(folder + '/' + name).canonicalFilePath();
        if (canonical.isEmpty() || listed.contains(canonical)) continue;
        listed.insert(canonical);
        snapshot.folders << name;
        snapshot.items << scriptsIn(folder, name);
    }
    return snapshot;
}

ShortcutsSnapshot load(const QString& tool) {
    const QFileInfo info(tool);
    if (!info.isFile() || !info.isExecutable()) return loadScripts(scriptsFolder());
    ShortcutsSnapshot snapshot;
    snapshot.folders = Shell::run(tool, {"list", "--folders"}, {}, listTimeout).lines();
    snapshot.items = parse(list(tool, {"--folder-name", "none", "--show-identifiers"}), std::nullopt);
    for (const QString& folder : snapshot.folders)
        snapshot.items << parse(list(tool, {"--folder-name", folder, "--show-identifiers"}), folder);
    return snapshot;
}

QList<ShortcutItem> parse(const QString& output, const std::optional<QString>& folder) {
    QList<ShortcutItem> items;
    for (const QString& line : output.split('\n', Qt::SkipEmptyParts)) {
        if (!line.endsWith(')')) continue;
        const qsizetype open = line.lastIndexOf(QLatin1String(" ("));
        if (open < 0) continue;
        const QString id = line.mid(open + 2, line.size() - open - 3);
        if (!uuidFromText(id)) continue;
        items.append({line.left(open), id, folder});
    }
    return items;
}

void run(const Entry& entry, const QString& tool) {
    if (!entry.shortcutID) return;
    const QString id = *entry.shortcutID;
    const QString title = entry.title;
    if (entry.url.isLocalFile()) {
        // One of the user's scripts: watched from the event loop, so that scripts that run for
        // hours hold no thread; what it leaves running is its own.
        startUntilExit(entry.url.toLocalFile(), inheritedEnvironment().toStringList(), QDir::homePath(),
                       runTimeout, [title](const ChildProcessOutcome& outcome) {
                           alertIfFailed(title, {outcome.started ? outcome.status : -1, QString(),
                                                 outcome.started ? QString::fromUtf8(outcome.err).trimmed()
                                                                 : outcome.startError});
                       });
        return;
    }
    runInBackground(TaskPriority::userInitiated, [tool, id, title] { alertIfFailed(title, Shell::run(tool, {"run", id}, {}, runTimeout)); });
}

QUrl editURL(const ShortcutItem& item) { return item.script ? QUrl::fromLocalFile(*item.script) : editURL(item.name); }

QUrl editURL(const QString& name) {
    QUrl url;
    url.setScheme("shortcuts");
    url.setHost("open-shortcut");
    url.setQuery("name=" + QString::fromLatin1(QUrl::toPercentEncoding(name)), QUrl::StrictMode);
    if (!url.isValid()) return QUrl("shortcuts://");
    return url;
}

} // namespace ShortcutsCLI
} // namespace tarn
