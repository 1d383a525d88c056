#pragma once

#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

namespace tarn {

// What a repository's own configuration asks git to run. Tarn reads the status of every
// repository it finds, including ones unpacked from an archive, so configuration that came
// with the repository must not be able to make that read run a command.
namespace RepoConfig {

using Pairs = QList<QPair<QString, QString>>;

// The configuration files that belong to the repository at `worktree`: its local and worktree
// config and those of its submodules (absorbed under modules/, or with their own .git folder).
QStringList files(const QString& worktree);

// The filter-driver keys ("filter.<name>.clean", …) those files set, following include and
// includeIf paths whatever their condition. Read with `git config --file`, which runs nothing.
QSet<QString> filterKeys(const QStringList& configFiles);

// Configuration that neutralises the repository's own filter drivers for a status read:
// each key it sets takes the user's global or system value, or none (which disables the
// driver; "required" becomes false).
Pairs statusOverrides(const QString& worktree);

// `base` plus `pairs` as GIT_CONFIG_COUNT/KEY/VALUE variables, numbered after the pairs the
// user's own environment already holds so those keep working.
QHash<QString, QString> environment(const QHash<QString, QString>& base, const Pairs& pairs);

} // namespace RepoConfig
} // namespace tarn
