#pragma once

#include "model/Entry.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace tarn {

// One shortcut of the Shortcuts app.
struct ShortcutItem {
    QString name;
    QString id; // as the tool prints it
    std::optional<QString> folder;

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

// The Shortcuts command-line tool. It exists only on macOS; elsewhere the catalogue is empty.
inline constexpr char toolPath[] = "/usr/bin/shortcuts";

// Lists folders and shortcuts by running the tool; blocks. Empty when the tool is missing.
ShortcutsSnapshot load(const QString& tool = toolPath);

// The items of `list --show-identifiers` output: lines "name (UUID)".
QList<ShortcutItem> parse(const QString& output, const std::optional<QString>& folder);

// Runs the entry's shortcut in the background; a failure (not a cancel) is shown in an alert.
void run(const Entry& entry, const QString& tool = toolPath);

// shortcuts://open-shortcut?name=<name>
QUrl editURL(const QString& name);

} // namespace ShortcutsCLI
} // namespace tarn
