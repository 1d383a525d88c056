#include "menu/WorkspaceCreator.h"

#include "actions/Opener.h"
#include "library/Library.h"
#include "model/Store.h"
#include "platform/DefaultsDomain.h"
#include "platform/Dialogs.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

namespace tarn::WorkspaceCreator {

namespace {
void openInEditor(const QString& file) {
    Opener::openInEditor(QUrl::fromLocalFile(file), Opener::WindowMode::standard, false, std::nullopt);
}
} // namespace

QByteArray contents(const QString& path) {
    // The path as one JSON string, every "/" escaped as "\/" as the format has it.
    QByteArray encoded = QJsonDocument(QJsonArray{path}).toJson(QJsonDocument::Compact);
    encoded = encoded.mid(1, encoded.size() - 2); // the string inside [ ]
    encoded.replace("/", "\\/");
    return "{\n\t\"folders\": [\n\t\t{ \"path\": " + encoded + " }\n\t],\n\t\"settings\": {}\n}\n";
}

void save(const QUrl& folder) {
    std::optional<QUrl> target;
    if (const auto stored = Store::shared().defaults().string(Keys::workspacesFolder))
        target = QUrl::fromLocalFile(*stored);
    else
        target = chooseWorkspacesFolder();
    if (!target) return;

    Dialogs& dialogs = platform().dialogs();
    // A name that is not UTF-8 reaches us with replacement characters in it; written into the
    // workspace, that path would name a folder that does not exist.
    if (!QFileInfo(folder.toLocalFile()).isDir()) {
        dialogs.warn(QString::fromUtf8("Couldn\u2019t save workspace"),
                     QString::fromUtf8("\u201C%1\u201D cannot be named in a workspace file: its name is not "
                                       "valid UTF-8, or it no longer exists.")
                         .arg(QFileInfo(folder.toLocalFile()).fileName()));
        return;
    }
    const QString name = QFileInfo(folder.toLocalFile()).fileName() + ".code-workspace";
    const QString file = QDir(target->toLocalFile()).filePath(name);
    if (QFileInfo::exists(file)) {
        dialogs.activate();
        const int choice = dialogs.ask(QString::fromUtf8("\u201C%1\u201D already exists").arg(name),
                                       QStringLiteral("Open the existing workspace?"),
                                       {QStringLiteral("Open"), QStringLiteral("Cancel")});
        if (choice == 0) openInEditor(file);
        return;
    }
    QSaveFile out(file);
    const bool written = out.open(QIODevice::WriteOnly) && out.write(contents(folder.toLocalFile())) >= 0 && out.commit();
    if (!written) {
        dialogs.warn(QString::fromUtf8("Couldn\u2019t save workspace"), out.errorString());
        return;
    }
    Library::shared().refresh(false);
    dialogs.activate();
    const int choice = dialogs.ask(QString::fromUtf8("Saved \u201C%1\u201D").arg(name), "in " + tildePath(*target),
                                   {QStringLiteral("Open Now"), QStringLiteral("Done")});
    if (choice == 0) openInEditor(file);
}

std::optional<QUrl> chooseWorkspacesFolder() {
    Dialogs& dialogs = platform().dialogs();
    dialogs.activate();
    OpenPanelRequest request{QStringLiteral("Workspaces Folder"),
                             QString::fromUtf8("Choose where \u201CSave as Workspace\u2026\u201D puts new .code-workspace files."),
                             QStringLiteral("Choose"), true, false, QString()};
    const QList<Entry>& workspaces = Library::shared().scan.workspaces;
    if (!workspaces.isEmpty()) request.directory = QFileInfo(workspaces.first().url.toLocalFile()).path();
    const std::optional<QList<QUrl>> chosen = dialogs.openPanel(request);
    if (!chosen || chosen->isEmpty()) return std::nullopt;
    const QUrl folder = standardizedFileURL(chosen->first());
    Store& store = Store::shared();
    store.defaults().setString(Keys::workspacesFolder, folder.toLocalFile());
    if (!store.pinnedFolder(folder)) store.addFolder(folder);
    return folder;
}

} // namespace tarn::WorkspaceCreator
