#pragma once

#include "git/GitStatus.h"

#include <QString>
#include <optional>

namespace tarn {

// The git reads Tarn makes by itself, in process with libgit2: it starts no program and runs
// nothing a repository configures (no filters, hooks, fsmonitor, pagers or lazy fetches). A
// reader can still block for ever on a named pipe a config includes, so Tarn calls these only
// inside its reader process (GitReaderProcess), where a hang can be ended.
namespace GitReader {

// Sets libgit2 up once: the extensions that only change what a missing object means
// (partial clones, per-worktree config) read normally; a missing object is then an error,
// never a fetch.
void setUp();

// What `git -C worktree status --porcelain=v2 --branch` reports: the branch ("(detached)"
// off a branch), commits ahead of and behind the upstream, and one change per line git would
// print. None when the folder is in no work tree that can be read.
std::optional<GitStatus> status(const QString& worktree);

// The URL of the `origin` remote, after the user's insteadOf rewrites; none without one.
std::optional<QString> originURL(const QString& worktree);

} // namespace GitReader
} // namespace tarn
