#include "discovery/ShortcutsCLI.h"

#include "discovery/BlockingPool.h"
#include "discovery/Shell.h"
#include "model/ShortcutFolder.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <QFileInfo>

namespace tarn {

size_t qHash(const ShortcutItem& item, size_t seed) {
    return qHashMulti(seed, item.name, item.id, item.folder.value_or(QString()),
                      item.folder.has_value());
}

namespace ShortcutsCLI {

namespace {
constexpr double listTimeout = 20;
constexpr double runTimeout = 3600;

QString list(const QString& tool, const QStringList& arguments) {
    return Shell::run(tool, QStringList{"list"} + arguments, {}, listTimeout).out;
}
} // namespace

ShortcutsSnapshot load(const QString& tool) {
    const QFileInfo info(tool);
    if (!info.isFile() || !info.isExecutable()) return {};
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
    runInBackground(TaskPriority::userInitiated, [tool, id, title] {
        const ShellResult result = Shell::run(tool, {"run", id}, {}, runTimeout);
        const bool cancelled = result.err.toLower().contains(QLatin1String("cancel"));
        if (result.status == 0 || result.err.isEmpty() || cancelled) return;
        runOnMainThread([title, err = result.err] {
            platform().dialogs().warn(QString::fromUtf8("Shortcut \u201C") + title +
                                          QString::fromUtf8("\u201D failed"),
                                      err);
        });
    });
}

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
