#include "actions/Opener.h"

#include "discovery/ShortcutsCLI.h"
#include "discovery/Terminals.h"
#include "discovery/WorkspaceFile.h"
#include "model/Store.h"
#include "platform/Applications.h"
#include "platform/ChildProcess.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>

namespace tarn::Opener {

namespace {

// Says what was looked for, so that the user knows what would do.
void noEditor() {
    QStringList names;
    // Editors without a command-line launcher (Nova, Xcode) have no Linux build.
    for (const Editor& editor : Editor::all())
        if (editor.cli) names << editor.name;
    const QString looked = names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + names.last();
    platform().dialogs().warn(QStringLiteral("No editor found"),
                              QString::fromUtf8("Tarn looks for %1, by their desktop entries or their commands on "
                                                "PATH, and found none. Install one; Settings \u2192 Default Editor "
                                                "then lists it.")
                                  .arg(looked));
}

void report(const std::optional<QString>& failure) {
    if (failure) platform().dialogs().warn(QString::fromUtf8("Couldn\u2019t open"), *failure);
}

// The exact extension, letter case included: "x.Code-Workspace" is an ordinary file.
bool isWorkspaceFile(const QUrl& url) {
    return Entry::isWorkspaceFile(QFileInfo(url.toLocalFile()).fileName());
}

} // namespace

void openInEditor(const QUrl& url, WindowMode mode, bool background,
                  const std::optional<Editor>& editor) {
    const std::optional<Editor> chosen = editor ? editor : Editors::editor(url);
    if (!chosen) return noEditor();
    const std::optional<ApplicationInstall> application = platform().applications().find(chosen->id);
    if (!application) return noEditor();
    Store::shared().recordHistory(url);

    QUrl target = url;
    if (isWorkspaceFile(url) && !chosen->opensWorkspaceFiles) {
        const QList<QUrl> folders = WorkspaceFile::folders(url);
        if (!folders.isEmpty()) target = folders.first();
    }
    if (mode != WindowMode::standard) {
        const std::optional<QUrl> cli = Editors::cliURL(*chosen);
        const std::optional<QString> flag =
            mode == WindowMode::newWindow ? chosen->newWindowFlag : chosen->reuseWindowFlag;
        if (cli && flag) {
            // Started, not supervised: for an AppImage or an editor that forks itself into the
            // background, the launcher is the editor, and must outlive any wait of ours.
            report(startDetachedProcess(cli->toLocalFile(), {*flag, fileArgument(localPath(target))}));
            return;
        }
    }
    open({target}, *application, background);
}

void open(const Entry& entry, bool background) {
    switch (entry.kind) {
    case EntryKind::workspace:
    case EntryKind::repo:
    case EntryKind::folder:
        openInEditor(entry.url, WindowMode::standard, background, std::nullopt);
        break;
    case EntryKind::file: openFile(entry.url, background); break;
    case EntryKind::link: openURL(entry.url, background); break;
    case EntryKind::shortcut: ShortcutsCLI::run(entry); break;
    }
}

void openFile(const QUrl& url, bool background) {
    if (isWorkspaceFile(url)) return openInEditor(url, WindowMode::standard, background, std::nullopt);
    Store::shared().recordHistory(url);
    report(platform().desktop().openURL(url, background));
}

void openURL(const QUrl& url, bool background) { report(platform().desktop().openURL(url, background)); }

void open(const QList<QUrl>& urls, const ApplicationInstall& application, bool background) {
    report(platform().desktop().openWith(urls, application, background));
}

void openInTerminal(const QUrl& url) {
    const QUrl folder = isDirectoryOnDisk(url) ? url : url.adjusted(QUrl::RemoveFilename | QUrl::StripTrailingSlash);
    const std::optional<ApplicationInstall> terminal =
        platform().applications().find(Terminals::current().id);
    if (!terminal) return;
    // Nothing is shown when the terminal cannot start, as when it is not installed.
    platform().desktop().openTerminal(fileArgument(localPath(folder)), *terminal);
}

void reveal(const QUrl& url) { report(platform().desktop().reveal(url)); }

void copyFile(const QUrl& url) {
    auto* data = new QMimeData;
    data->setUrls({url});
    // What GNOME-family file managers read to paste a copy of the file itself.
    data->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + url.toEncoded());
    QGuiApplication::clipboard()->setMimeData(data);
}

bool moveToTrash(const QUrl& url) {
    Dialogs& dialogs = platform().dialogs();
    dialogs.activate();
    const QString name = QFileInfo(url.toLocalFile()).fileName();
    const int choice = dialogs.ask(QString::fromUtf8("Move \u201C%1\u201D to the Trash?").arg(name),
                                   tildePath(url),
                                   {QStringLiteral("Move to Trash"), QStringLiteral("Cancel")});
    if (choice != 0) return false;
    if (const std::optional<QString> failed = tarn::moveToTrash(localPath(url))) {
        dialogs.warn(QString::fromUtf8("Couldn\u2019t move to Trash"), *failed);
        return false;
    }
    return true;
}

} // namespace tarn::Opener
