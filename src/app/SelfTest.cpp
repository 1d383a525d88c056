#include "app/SelfTest.h"

#include "actions/OpenWindows.h"
#include "discovery/Editors.h"
#include "discovery/Recents.h"
#include "discovery/Scanner.h"
#include "discovery/ShortcutsCLI.h"
#include "discovery/Terminals.h"
#include "discovery/WorkspaceFile.h"
#include "git/Git.h"
#include "index/IndexWalker.h"
#include "model/Store.h"
#include "platform/Platform.h"
#include "platform/WindowTitles.h"
#include "quickopen/Fuzzy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <cstdio>

namespace tarn::SelfTest {

namespace {

constexpr int shownEntries = 8;
constexpr int shownShortcuts = 5;
constexpr int checkedRepos = 3;
constexpr int recentsLimit = 40;

// One line of items separated by single spaces; flushed at once so a slow step shows where
// the report stands.
void print(const QStringList& items) {
    std::fputs((items.join(' ') + '\n').toUtf8().constData(), stdout);
    std::fflush(stdout);
}

QString quoted(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        case 0: out += QLatin1String("\\0"); break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                out += QStringLiteral("\\u{%1}").arg(c.unicode(), 0, 16);
            else
                out += c;
        }
    }
    return out + '"';
}

QString boolean(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }

QString number(qsizetype value) { return QString::number(value); }

QStringList titles(const QList<Entry>& entries) {
    QStringList out;
    for (const Entry& e : entries.mid(0, shownEntries)) out << e.title;
    return out;
}

QString scoreText(const char* query, const char* candidate) {
    return QString::number(Fuzzy::score(QString::fromUtf8(query), QString::fromUtf8(candidate)).value_or(-1));
}

QString webText(const std::optional<QUrl>& url) {
    return url ? url->toString(QUrl::FullyEncoded) : QStringLiteral("nil");
}

} // namespace

QString list(const QStringList& items) {
    QStringList parts;
    for (const QString& item : items) parts << quoted(item);
    return '[' + parts.join(QLatin1String(", ")) + ']';
}

void run() {
    Store& store = Store::shared();

    QStringList folderPaths;
    QList<QUrl> roots;
    for (const PinnedFolder& folder : store.pinnedFolders()) {
        folderPaths << folder.path;
        roots << QUrl::fromLocalFile(folder.path);
    }
    print({"Folders:", list(folderPaths)});

    QStringList editorNames;
    for (const Editor& editor : Editors::installed()) editorNames << editor.name;
    const std::optional<Editor> defaultEditor = Editors::defaultEditor();
    print({"Editors installed:", list(editorNames), "default:",
           defaultEditor ? defaultEditor->name : QStringLiteral("-")});

    QStringList terminalNames;
    for (const TerminalApp& terminal : Terminals::installed()) terminalNames << terminal.name;
    print({"Terminals installed:", list(terminalNames)});

    const ScanResult scan = Scanner::scan(roots);
    print({"\nWorkspaces (" + number(scan.workspaces.size()) + "):", list(titles(scan.workspaces))});
    print({"Repos (" + number(scan.repos.size()) + "):", list(titles(scan.repos))});
    print({QString::fromUtf8("Workspace \u2192 repo mappings:"), number(scan.workspaceRepos.size())});

    // The file index Quick Open keeps of the same folders, walked here without watching.
    size_t files = 0, folders = 0;
    for (const PinnedFolder& folder : store.pinnedFolders()) {
        IndexWalker walker(QFile::encodeName(QDir::cleanPath(folder.path)), {folder.options.showHidden}, nullptr);
        walker.run([](const IndexWalker::Progress&) {});
        const IndexSegment& segment = walker.result();
        for (size_t i = 1; i < segment.nodes.size(); ++i) (segment.nodes[i].is(IndexNode::directory) ? folders : files) += 1;
    }
    print({"File index:", number(qsizetype(files)), "files,", number(qsizetype(folders)), "folders"});

    if (const std::optional<Editor> recentsEditor = Editors::recentsEditor()) {
        const RecentsResult recents = Recents::load(*recentsEditor->storageFolder, recentsLimit);
        QStringList shown;
        for (const Entry& e : recents.entries.mid(0, shownEntries))
            shown << e.title + " [" + rawValue(e.kind) + "]";
        print({"\nRecents (" + number(recents.entries.size()) + "):", list(shown)});
    }

    const ShortcutsSnapshot shortcuts = ShortcutsCLI::load();
    print({"\nShortcut folders:", list(shortcuts.folders)});
    QStringList shownShortcutNames;
    for (const ShortcutItem& item : shortcuts.items.mid(0, shownShortcuts))
        shownShortcutNames << item.name + " @" + item.folder.value_or(QStringLiteral("-"));
    print({"Shortcuts (" + number(shortcuts.items.size()) + "):", list(shownShortcutNames)});

    // The map has no order of its own; the workspace paths' order keeps the report stable.
    QMap<QString, QString> mappings;
    for (auto it = scan.workspaceRepos.begin(); it != scan.workspaceRepos.end(); ++it)
        mappings.insert(it.key(), it.value());
    for (const QString& repo : mappings.values().mid(0, checkedRepos)) {
        const QUrl url = QUrl::fromLocalFile(repo);
        const std::optional<GitStatus> status = Git::status(url);
        const std::optional<QUrl> web = Git::remoteWebURL(url);
        print({"Git " + QFileInfo(repo).fileName() + ":",
               status && !status->outdated ? status->summary() : QStringLiteral("nil"), QString::fromUtf8("\u00B7"),
               web ? web->toString(QUrl::FullyEncoded) : QStringLiteral("no remote")});
    }

    print({"Remote parse:", webText(Git::webURL("git@github.com:apple/swift.git")),
           webText(Git::webURL("https://user@gitlab.com/a/b.git"))});

    print({"JSONC:", WorkspaceFile::stripJSONC(
                         "{\n // c\n \"folders\": [ {\"path\": \"a//b\"}, ], /* x */ }")});

    print({"Open windows: setting", boolean(store.boolean(Keys::showOpenWindows, false)),
           QString::fromUtf8("\u00B7 accessibility allowed"),
           boolean(platform().windowTitles().isTrusted()), QString::fromUtf8("\u00B7 title parts"),
           number(OpenWindows::titleParts().size())});

    print({"Fuzzy:", scoreText("ovn", "oval-note"), scoreText("note", "oval-note"),
           scoreText("xyz", "oval")});
}

} // namespace tarn::SelfTest
