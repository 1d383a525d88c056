#!/usr/bin/env bash
# Builds repositories in as many states as git knows, one folder each under $1, for the tests
# that hold Tarn's own status reader against `git status --porcelain=v2 --branch`. Prints the
# folder of each state (the path to read, relative to $1), one per line.
set -euo pipefail
root=$1
mkdir -p "$root"
cd "$root"
export GIT_AUTHOR_NAME="Tarn Test" GIT_AUTHOR_EMAIL=test@tarn.invalid
export GIT_COMMITTER_NAME="Tarn Test" GIT_COMMITTER_EMAIL=test@tarn.invalid
export GIT_CONFIG_NOSYSTEM=1 GIT_ADVICE=0
g() { git -c init.defaultBranch=main -c protocol.file.allow=always -c advice.detachedHead=false "$@"; }
repo() { g init -q "$1"; (cd "$1" && echo hello > README && echo one > a.txt && g add . && g commit -qm init); }
state() { echo "$1"; }

g init -q empty; state empty
g init -q empty-untracked; echo x > empty-untracked/new; state empty-untracked
g init -q empty-staged; (cd empty-staged && echo x > new && g add new); state empty-staged
g init -q -b trunk unborn-other-name; state unborn-other-name
repo clean; state clean
repo modified; echo two >> modified/a.txt; state modified
repo staged; (cd staged && echo two >> a.txt && g add a.txt); state staged
repo staged-and-modified; (cd staged-and-modified && echo two >> a.txt && g add a.txt && echo three >> a.txt); state staged-and-modified
repo deleted; rm deleted/a.txt; state deleted
repo deleted-staged; (cd deleted-staged && g rm -q a.txt); state deleted-staged
repo deleted-staged-kept; (cd deleted-staged-kept && g rm -q --cached a.txt); state deleted-staged-kept
repo renamed; (cd renamed && g mv a.txt b.txt); state renamed
repo renamed-modified; (cd renamed-modified && g mv a.txt b.txt && echo more >> b.txt); state renamed-modified
repo renamed-unstaged; (cd renamed-unstaged && mv a.txt b.txt); state renamed-unstaged
repo untracked-nested; mkdir -p untracked-nested/n/d/e; echo x > untracked-nested/n/d/e/f; echo y > untracked-nested/n/g; state untracked-nested
repo untracked-all; mkdir -p untracked-all/n/d; echo x > untracked-all/n/d/f; echo y > untracked-all/n/g
  g -C untracked-all config status.showUntrackedFiles all; state untracked-all
repo untracked-none; echo x > untracked-none/u; g -C untracked-none config status.showUntrackedFiles no; state untracked-none
repo ignored; (cd ignored && printf '*.log\nbuild/\n' > .gitignore && g add .gitignore && g commit -qm ignore \
  && echo l > x.log && mkdir -p build/o && echo o > build/o/f && mkdir only-ignored && echo l > only-ignored/y.log); state ignored
repo empty-dir; mkdir -p empty-dir/e/f; state empty-dir
repo detached; (cd detached && echo b >> a.txt && g commit -qam two && g checkout -q HEAD~1); state detached
repo typechange; (cd typechange && rm a.txt && ln -s README a.txt); state typechange
repo mode; chmod +x mode/a.txt; state mode
repo intent; (cd intent && echo n > n.txt && g add -N n.txt); state intent
repo subfolder; mkdir subfolder/sub; echo x > subfolder/sub/u; echo y > subfolder/u2; state subfolder/sub

repo origin
g clone -q origin ahead; (cd ahead && echo b >> a.txt && g commit -qam ahead1 && echo c >> a.txt && g commit -qam ahead2); state ahead
g clone -q origin behind
(cd origin && echo r >> README && g commit -qam remote1)
g clone -q origin diverged
g -C behind fetch -q
(cd diverged && g reset -q --hard HEAD~1 && echo d >> a.txt && g commit -qam local)
(cd origin && echo s >> README && g commit -qam remote2)
g -C diverged fetch -q
state behind; state diverged
g clone -q origin upstream-gone; (cd upstream-gone && g update-ref -d refs/remotes/origin/main); state upstream-gone
g clone -q --depth 1 "file://$root/origin" shallow; echo x >> shallow/a.txt; state shallow
g clone -q origin tracking-other; (cd tracking-other && g checkout -q -b topic && g branch -q -u origin/main); state tracking-other

repo merge; (cd merge && g checkout -q -b side && echo side > a.txt && g commit -qam side && g checkout -q main \
  && echo main > a.txt && g commit -qam main && (g merge -q side >/dev/null 2>&1 || true)); state merge
repo rebase; (cd rebase && g checkout -q -b side && echo side > a.txt && echo n > n.txt && g add n.txt && g commit -qam side \
  && g checkout -q main && echo main > a.txt && g commit -qam main && g checkout -q side && (g rebase -q main >/dev/null 2>&1 || true)); state rebase
repo conflict-both-added; (cd conflict-both-added && g checkout -q -b side && echo s > c.txt && g add c.txt && g commit -qm s \
  && g checkout -q main && echo m > c.txt && g add c.txt && g commit -qm m && (g merge -q side >/dev/null 2>&1 || true)); state conflict-both-added

repo lib
repo sub-clean; (cd sub-clean && g submodule add -q ../lib lib && g commit -qm lib); state sub-clean
repo sub-modified; (cd sub-modified && g submodule add -q ../lib lib && g commit -qm lib && echo m >> lib/a.txt); state sub-modified
repo sub-untracked; (cd sub-untracked && g submodule add -q ../lib lib && g commit -qm lib && echo u > lib/u); state sub-untracked
repo sub-new-commits; (cd sub-new-commits && g submodule add -q ../lib lib && g commit -qm lib \
  && (cd lib && echo c >> a.txt && g commit -qam moved)); state sub-new-commits
repo sub-uninitialized; (cd sub-uninitialized && g submodule add -q ../lib lib && g commit -qm lib \
  && g submodule deinit -q -f lib); state sub-uninitialized
repo gitlink-only; (cd gitlink-only && g clone -q ../lib inner && g add inner 2>/dev/null && g commit -qm gitlink \
  && echo m >> inner/a.txt); state gitlink-only
repo nested-repo; repo nested-repo/inner; state nested-repo

repo main-tree; g -C main-tree worktree add -q -b topic ../linked-tree; echo x >> linked-tree/a.txt; state linked-tree; state main-tree
g init -q --separate-git-dir "$root/separate.git" gitfile; (cd gitfile && echo x > a && g add a && g commit -qm a && echo y > b); state gitfile
repo partial; g -C partial config core.repositoryformatversion 1; g -C partial config extensions.partialClone origin
  echo x >> partial/a.txt; state partial
repo worktree-config; g -C worktree-config config core.repositoryformatversion 1
  g -C worktree-config config extensions.worktreeConfig true; echo u > worktree-config/u; state worktree-config

repo huge; (cd huge && for d in $(seq 1 50); do mkdir d$d; for f in $(seq 1 100); do echo $f > d$d/f$f; done; done \
  && g add . && g commit -qm huge && echo changed >> d7/f7 && echo new > d9/new && rm d3/f3); state huge

repo unicode; (cd unicode && echo x > "$(printf 'caf\xc3\xa9')" && echo y > "$(printf 'bad\xff')"); state unicode
g init -q --bare bare.git; state bare.git
mkdir plain; state plain
if [[ $(id -u) -eq 0 ]]; then repo foreign; chown -R nobody foreign; state foreign; fi
