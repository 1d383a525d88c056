#pragma once

#include "model/Entry.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace tarn {

// One shortcut of the Shortcuts app, or one of the user's scripts.
struct ShortcutItem {
    QString name;
    QString id; // as the tool prints it
    std::optional<QString> folder;
    std::optional<QString> script = std::nullopt; // the path of one of the user's scripts

    bool operator==(const ShortcutItem&) const = default;
};

// The whole catalogue: folder names, then the shortcuts in no folder followed by each folder's.
struct ShortcutsSnapshot {
    QStringList folders;
    QList<ShortcutItem> items;

    bool operator==(const ShortcutsSnapshot&) const = default;
};

size_t qHash(const ShortcutItem& item, size_t seed = 0);

namespace ShortcutsCLI {

// The Shortcuts command-line tool. It exists only on macOS; elsewhere the catalogue is the
// user's scripts folder.
inline constexpr char toolPath[] = "/usr/bin/shortcuts";

// $XDG_DATA_HOME/tarn/shortcuts: executable files directly in it are shortcuts in no folder,
// each sub-folder (one level) a folder of them.
QString scriptsFolder();

// Lists folders and shortcuts by running the tool, or from the scripts folder where the tool is
// missing; blocks.
ShortcutsSnapshot load(const QString& tool = toolPath);

// The scripts of `folder`, by name in the localized order: hidden entries, files that are not
// executable and deeper levels are left out. A script's name is its file name without its last
// extension; its id a name-based UUID of its path in `folder`, the same at every load.
ShortcutsSnapshot loadScripts(const QString& folder);

// The items of `list --show-identifiers` output: lines "name (UUID)".
QList<ShortcutItem> parse(const QString& output, const std::optional<QString>& folder);

// Runs the entry's shortcut in the background; a failure (not a cancel) is shown in an alert.
// A script (its entry's URL is the script's file) runs directly, in the home folder, watched from
// the event loop: call on the GUI thread.
void run(const Entry& entry, const QString& tool = toolPath);

// shortcuts://open-shortcut?name=<name>
QUrl editURL(const QString& name);
// The item's edit address: a script's file, else the app's address for its name.
QUrl editURL(const ShortcutItem& item);

} // namespace ShortcutsCLI
} // namespace tarn
