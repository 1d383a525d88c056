#!/usr/bin/env bash
# Builds repositories whose own configuration makes a plain `git status` run a command, one
# folder each under $1. Each command leaves the file $2/<name> behind. Prints one line per
# repository: its folder (relative to $1), a tab, and what a reader that runs nothing must
# still report ("<branch> <changes>"), or "none" where the repository cannot be read without
# running something.
set -euo pipefail
root=$1 markers=$2
mkdir -p "$root" "$markers"
cd "$root"
export GIT_AUTHOR_NAME="Tarn Test" GIT_AUTHOR_EMAIL=test@tarn.invalid
export GIT_COMMITTER_NAME="Tarn Test" GIT_COMMITTER_EMAIL=test@tarn.invalid
export GIT_CONFIG_NOSYSTEM=1
g() { git -c init.defaultBranch=main -c protocol.file.allow=always "$@"; }
trap_cmd() { echo "touch '$markers/$1'; cat"; }
repo() { g init -q "$1"; (cd "$1" && echo hello > README && g add . && g commit -qm init); }
# A file under `filter=evil`, committed, then given a new time stamp, as unpacking does, so
# that status has to pass its contents through the filter to compare them.
filtered() {
  (cd "$1" && echo '*.txt filter=evil' > .gitattributes && echo payload > data.txt \
    && g -c filter.evil.clean=cat add . && g commit -qm filtered && touch -d '+1 hour' data.txt)
}
out() { printf '%s\t%s\n' "$1" "$2"; }

repo clean-filter; filtered clean-filter; g -C clean-filter config filter.evil.clean "$(trap_cmd clean-filter)"
out clean-filter "main 0"
repo process-filter; filtered process-filter; g -C process-filter config filter.evil.process "$(trap_cmd process-filter)"
out process-filter "main 0"
repo include; filtered include; printf '[filter "evil"]\n\tclean = %s\n' "$(trap_cmd include)" > include/.git/evil.inc
g -C include config include.path evil.inc; out include "main 0"
repo include-if; filtered include-if; printf '[filter "evil"]\n\tclean = %s\n' "$(trap_cmd include-if)" > include-if/.git/evil.inc
g -C include-if config includeIf.gitdir:/.path evil.inc; out include-if "main 0"

# 65 included files, the last one defining the filter.
repo many-includes; filtered many-includes
for i in $(seq 1 64); do echo '[core]' > many-includes/.git/inc$i; g -C many-includes config --add include.path inc$i; done
printf '[filter "evil"]\n\tclean = %s\n' "$(trap_cmd many-includes)" > many-includes/.git/inc65
g -C many-includes config --add include.path inc65; out many-includes "main 0"

# The filter after more than a megabyte of comments.
repo long-config; filtered long-config
{ for i in $(seq 1 20000); do echo "# padding line $i ......................................"; done
  printf '[filter "evil"]\n\tclean = %s\n' "$(trap_cmd long-config)"; } >> long-config/.git/config
out long-config "main 0"

repo fsmonitor; g -C fsmonitor config core.fsmonitor "touch '$markers/fsmonitor'; false"; out fsmonitor "main 0"
repo fsmonitor-include; printf '[core]\n\tfsmonitor = touch %s/fsmonitor-include; false\n' "$markers" > fsmonitor-include/.git/f.inc
g -C fsmonitor-include config include.path f.inc; out fsmonitor-include "main 0"

# git refreshes and rewrites the index during status, which runs this hook.
repo index-hook; printf '#!/bin/sh\ntouch %s/index-hook\n' "$markers" > index-hook/.git/hooks/post-index-change
chmod +x index-hook/.git/hooks/post-index-change; touch -d '+1 hour' index-hook/README; out index-hook "main 0"

repo lib; filtered lib
repo submodule; (cd submodule && g submodule add -q ../lib lib && g commit -qm lib)
g -C submodule/lib config filter.evil.clean "$(trap_cmd submodule)"; touch -d '+2 hours' submodule/lib/data.txt
out submodule "main 0"

# A gitlink with no .gitmodules: git still looks inside, under the inner repository's config.
repo gitlink; (cd gitlink && g clone -q ../lib inner && g add inner 2>/dev/null && g commit -qm gitlink)
g -C gitlink/inner config filter.evil.clean "$(trap_cmd gitlink)"; touch -d '+2 hours' gitlink/inner/data.txt
out gitlink "main 0"

repo worktree-main; g -C worktree-main config extensions.worktreeConfig true
g -C worktree-main worktree add -q -b topic ../worktree; filtered worktree
g -C worktree config --worktree filter.evil.clean "$(trap_cmd worktree)"; touch -d '+2 hours' worktree/data.txt
out worktree "topic 0"

# Partial clones whose HEAD tree is missing: status fetches it from the promisor remote.
partial() {
  repo "$1"; (cd "$1" && tree=$(git rev-parse 'HEAD^{tree}') && rm ".git/objects/${tree:0:2}/${tree:2}")
  g -C "$1" config core.repositoryformatversion 1
  g -C "$1" config extensions.partialClone origin
  g -C "$1" config remote.origin.promisor true
}
partial partial-uploadpack; g -C partial-uploadpack config remote.origin.url "$root/lib"
g -C partial-uploadpack config remote.origin.uploadpack "touch '$markers/partial-uploadpack'; false"
out partial-uploadpack none
partial partial-ext; g -C partial-ext config remote.origin.url "ext::sh -c touch% $markers/partial-ext"
g -C partial-ext config protocol.ext.allow always; out partial-ext none
