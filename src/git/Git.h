#pragma once

#include "discovery/Shell.h"
#include "git/GitStatus.h"

#include <QHash>
#include <QUrl>
#include <optional>

namespace tarn {

enum class GitOp { fetch, pull };

namespace Git {

inline constexpr char executable[] = "/usr/bin/git";

// The extra environment of every git run: no prompts, no optional locks, no fsmonitor command
// from the repository's configuration. Status reads add more (see RepoConfig).
QHash<QString, QString> env();

// Branch, ahead/behind and changes; none when git fails. Blocks up to 20 seconds.
std::optional<GitStatus> status(const QUrl& repository);

// `git fetch --prune` or `git pull --ff-only`; the run's result unchanged. Blocks.
ShellResult perform(GitOp op, const QUrl& repository);

// The web address of the origin remote; none without one. Blocks up to 5 seconds.
std::optional<QUrl> remoteWebURL(const QUrl& repository);

// The https address of a remote ("git@host:a/b.git" gives https://host/a/b); none for
// remotes without a host such as local paths.
std::optional<QUrl> webURL(const QString& remote);

} // namespace Git
} // namespace tarn
