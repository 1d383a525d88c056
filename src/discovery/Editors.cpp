#include "discovery/Editors.h"

#include "model/Store.h"
#include "platform/Applications.h"
#include "platform/DefaultsDomain.h"
#include "platform/Platform.h"

#include <QFileInfo>

namespace tarn {

const QList<Editor>& Editor::all() {
    static const QList<Editor> editors{
        {"com.microsoft.VSCode", "VS Code", QString("Contents/Resources/app/bin/code"), QString("-n"),
         QString("-r"), true, QString("Code")},
        {"com.microsoft.VSCodeInsiders", "VS Code Insiders",
         QString("Contents/Resources/app/bin/code-insiders"), QString("-n"), QString("-r"), true,
         QString("Code - Insiders")},
        {"com.vscodium", "VSCodium", QString("Contents/Resources/app/bin/codium"), QString("-n"),
         QString("-r"), true, QString("VSCodium")},
        {"com.todesktop.230313mzl4w4u92", "Cursor", QString("Contents/Resources/app/bin/cursor"),
         QString("-n"), QString("-r"), true, QString("Cursor")},
        {"com.exafunction.windsurf", "Windsurf", QString("Contents/Resources/app/bin/windsurf"),
         QString("-n"), QString("-r"), true, QString("Windsurf")},
        {"dev.zed.Zed", "Zed", QString("Contents/MacOS/cli"), QString("-n"), std::nullopt, false,
         std::nullopt},
        {"com.sublimetext.4", "Sublime Text", QString("Contents/SharedSupport/bin/subl"),
         QString("-n"), QString("-a"), false, std::nullopt},
        {"com.panic.Nova", "Nova", std::nullopt, std::nullopt, std::nullopt, false, std::nullopt},
        {"com.apple.dt.Xcode", "Xcode", std::nullopt, std::nullopt, std::nullopt, false,
         std::nullopt},
    };
    return editors;
}

size_t qHash(const Editor& e, size_t seed) {
    return qHashMulti(seed, e.id, e.name, e.cli.value_or(""), e.newWindowFlag.value_or(""),
                      e.reuseWindowFlag.value_or(""), e.opensWorkspaceFiles,
                      e.storageFolder.value_or(""));
}

namespace Editors {

namespace {
bool isInstalled(const QString& bundleID) {
    return platform().applications().find(bundleID).has_value();
}
} // namespace

QList<Editor> installed() {
    QList<Editor> found;
    for (const Editor& editor : Editor::all())
        if (isInstalled(editor.id)) found << editor;
    return found;
}

std::optional<Editor> defaultEditor() {
    // The chosen editor when it is installed, else the first installed one; each is looked for
    // only as far as needed, since folder menus ask at every opening.
    if (const auto chosen = Store::shared().defaults().string(Keys::defaultEditorID))
        for (const Editor& editor : Editor::all())
            if (editor.id == *chosen && isInstalled(editor.id)) return editor;
    for (const Editor& editor : Editor::all())
        if (isInstalled(editor.id)) return editor;
    return std::nullopt;
}

std::optional<Editor> recentsEditor() {
    const std::optional<Editor> preferred = defaultEditor();
    if (preferred && preferred->storageFolder) return preferred;
    for (const Editor& editor : installed())
        if (editor.storageFolder) return editor;
    return std::nullopt;
}

std::optional<Editor> editor(const QUrl& url) {
    const std::optional<PinnedFolder> folder = Store::shared().pinnedFolder(url);
    if (folder && folder->editorID) {
        for (const Editor& candidate : Editor::all())
            if (candidate.id == *folder->editorID && isInstalled(candidate.id)) return candidate;
    }
    return defaultEditor();
}

std::optional<QUrl> cliURL(const Editor& editor) {
    const std::optional<ApplicationInstall> install = platform().applications().find(editor.id);
    if (!install || !editor.cli || !install->launcher) return std::nullopt;
    // The bundle-relative launcher has a counterpart in every Linux install: the one found.
    const QFileInfo launcher(*install->launcher);
    if (!launcher.isFile() || !launcher.isExecutable()) return std::nullopt;
    return QUrl::fromLocalFile(*install->launcher);
}

} // namespace Editors
} // namespace tarn
