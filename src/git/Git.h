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

// The extra environment of every git run: no prompts, no optional locks.
QHash<QString, QString> env();

// Branch, ahead/behind and changes as `git status` reports them, read by Tarn's own reader
// process, which runs nothing the repository configures; none when there is no repository to
// read, a status marked outdated (no counts) when its read failed. Blocks up to 20 seconds.
std::optional<GitStatus> status(const QUrl& repository);

// `git fetch --prune` or `git pull --ff-only`; the run's result unchanged. Blocks. The user's
// own fetch or pull is plain git; an `unattended` one (fetching every repository at once)
// runs no hooks and none of the repository's upload-pack, proxy or ext:: commands.
ShellResult perform(GitOp op, const QUrl& repository, bool unattended = false);

// The web address of the origin remote, read by the reader process; none without one.
// Blocks up to 5 seconds.
std::optional<QUrl> remoteWebURL(const QUrl& repository);

// The https address of a remote ("git@host:a/b.git" gives https://host/a/b); none for
// remotes without a host such as local paths.
std::optional<QUrl> webURL(const QString& remote);

} // namespace Git
} // namespace tarn
