#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace tarn {

// A supported code editor, known by its application bundle identifier.
struct Editor {
    QString id;
    QString name;
    std::optional<QString> cli;        // launcher path inside the application bundle
    std::optional<QString> newWindowFlag;
    std::optional<QString> reuseWindowFlag;
    bool opensWorkspaceFiles = false;
    std::optional<QString> storageFolder; // where its recents live, under the config folder

    bool operator==(const Editor&) const = default;

    // The supported editors, in the order of every editor list.
    static const QList<Editor>& all();
};

size_t qHash(const Editor& editor, size_t seed = 0);

namespace Editors {

// The supported editors that are installed, in table order.
QList<Editor> installed();

// The editor chosen in the settings when installed, else the first installed one.
std::optional<Editor> defaultEditor();

// The editor whose recently opened workspaces are shown.
std::optional<Editor> recentsEditor();

// The editor of the pinned folder holding `url` when it names an installed one, else the
// default editor.
std::optional<Editor> editor(const QUrl& url);

// The editor's command-line launcher when it has one and it is an executable file.
std::optional<QUrl> cliURL(const Editor& editor);

} // namespace Editors
} // namespace tarn
