#include "git/GitReader.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <git2.h>
#include <memory>
#include <mutex>

namespace tarn::GitReader {

namespace {

template <typename T, void (*release)(T*)>
struct Releaser {
    void operator()(T* object) const { release(object); }
};
template <typename T, void (*release)(T*)>
using Owned = std::unique_ptr<T, Releaser<T, release>>;

using Repository = Owned<git_repository, git_repository_free>;
using Reference = Owned<git_reference, git_reference_free>;
using StatusList = Owned<git_status_list, git_status_list_free>;
using Config = Owned<git_config, git_config_free>;
using Remote = Owned<git_remote, git_remote_free>;
using Submodule = Owned<git_submodule, git_submodule_free>;

const QString headsPrefix = QStringLiteral("refs/heads/");

// The repository of the work tree `worktree` is in, found upwards as `git -C` finds it; none
// for a bare repository, which has no status.
Repository openWorktree(const QString& worktree) {
    setUp();
    git_repository* opened = nullptr;
    if (git_repository_open_ext(&opened, QFile::encodeName(worktree).constData(), 0, nullptr) != 0)
        return nullptr;
    Repository repository(opened);
    if (git_repository_is_bare(repository.get())) return nullptr;
    return repository;
}

QString configText(git_repository* repository, const char* key) {
    git_config* snapshot = nullptr;
    if (git_repository_config_snapshot(&snapshot, repository) != 0) return {};
    Config config(snapshot);
    const char* value = nullptr;
    if (git_config_get_string(&value, config.get(), key) != 0 || !value) return {};
    return QString::fromUtf8(value).toLower();
}

// The branch HEAD names (even one without commits yet), "(detached)" off a branch, and the
// full name of that branch's reference for the upstream lookup.
std::optional<std::pair<QString, QByteArray>> branchOf(git_repository* repository) {
    git_reference* found = nullptr;
    if (git_reference_lookup(&found, repository, "HEAD") != 0) return std::nullopt;
    Reference head(found);
    if (git_reference_type(head.get()) != GIT_REFERENCE_SYMBOLIC)
        return std::pair{QStringLiteral("(detached)"), QByteArray()};
    const QByteArray target = git_reference_symbolic_target(head.get());
    QString name = QString::fromUtf8(target);
    if (name.startsWith(headsPrefix)) name.remove(0, headsPrefix.size());
    return std::pair{name, target};
}

// Commits on the branch not on its upstream, and the reverse; 0 and 0 without an upstream
// (none configured, or its reference gone), as git reports no counts then.
std::pair<qint64, qint64> aheadBehind(git_repository* repository, const QByteArray& branchRef) {
    git_reference* found = nullptr;
    if (branchRef.isEmpty() || git_reference_lookup(&found, repository, branchRef.constData()) != 0)
        return {0, 0};
    Reference local(found);
    git_reference* upstreamFound = nullptr;
    if (git_branch_upstream(&upstreamFound, local.get()) != 0) return {0, 0};
    Reference upstream(upstreamFound);
    git_reference* resolvedFound = nullptr;
    if (git_reference_resolve(&resolvedFound, upstream.get()) != 0) return {0, 0};
    Reference resolved(resolvedFound);
    const git_oid* ours = git_reference_target(local.get());
    const git_oid* theirs = git_reference_target(resolved.get());
    size_t ahead = 0, behind = 0;
    if (!ours || !theirs || git_graph_ahead_behind(&ahead, &behind, repository, ours, theirs) != 0)
        return {0, 0};
    return {static_cast<qint64>(ahead), static_cast<qint64>(behind)};
}

// Whether HEAD's tree can be read, or there is no commit yet. libgit2 would compare a missing
// tree (a partial clone's, say) as empty and count every file as new; git would fetch it.
bool headTreeReadable(git_repository* repository) {
    if (git_repository_head_unborn(repository) == 1) return true;
    git_reference* found = nullptr;
    if (git_repository_head(&found, repository) != 0) return false;
    Reference head(found);
    git_object* tree = nullptr;
    if (git_reference_peel(&tree, head.get(), GIT_OBJECT_TREE) != 0) return false;
    git_object_free(tree);
    return true;
}

// The submodules being looked into, from the outermost: libgit2 would follow a submodule whose
// work tree holds itself (its core.worktree pointing back) until the stack ran out.
struct SubmoduleWalk {
    static constexpr int deepest = 8;
    QList<QByteArray> gitDirs;
};

std::optional<qint64> changeCount(git_repository* repository, SubmoduleWalk& walk, bool untracked = true);

// Whether git's porcelain would list the submodule `name`: its commit moved (in the index or in
// its work tree), or, unless its settings say to ignore that, its work tree has changes of its
// own, looked for to a bounded depth and never twice through the same repository.
bool submoduleChanged(git_repository* repository, const char* name, SubmoduleWalk& walk) {
    git_submodule* found = nullptr;
    if (git_submodule_lookup(&found, repository, name) != 0) return false;
    const Submodule submodule(found);
    const git_submodule_ignore_t ignore = git_submodule_ignore(submodule.get());
    if (ignore == GIT_SUBMODULE_IGNORE_ALL) return false;
    unsigned flags = 0;
    if (git_submodule_status(&flags, repository, name, GIT_SUBMODULE_IGNORE_DIRTY) != 0) return false;
    if (!GIT_SUBMODULE_STATUS_IS_INDEX_UNMODIFIED(flags) || !GIT_SUBMODULE_STATUS_IS_WD_UNMODIFIED(flags))
        return true;
    if (ignore == GIT_SUBMODULE_IGNORE_DIRTY || !(flags & GIT_SUBMODULE_STATUS_IN_WD)) return false;
    git_repository* opened = nullptr;
    if (git_submodule_open(&opened, submodule.get()) != 0) return false;
    const Repository inner(opened);
    const QByteArray gitDir = QFile::encodeName(
        QFileInfo(QFile::decodeName(git_repository_path(inner.get()))).canonicalFilePath());
    if (walk.gitDirs.size() >= SubmoduleWalk::deepest || walk.gitDirs.contains(gitDir)) return false;
    walk.gitDirs << gitDir;
    const std::optional<qint64> changes = changeCount(inner.get(), walk, ignore != GIT_SUBMODULE_IGNORE_UNTRACKED);
    walk.gitDirs.removeLast();
    return changes.value_or(0) > 0;
}

// The lines git's porcelain would print for the entries: one per path, except a path deleted
// from the index that is back in the work tree, which git lists twice (deleted, untracked);
// a submodule is one line however it changed.
std::optional<qint64> changeCount(git_repository* repository, SubmoduleWalk& walk, bool untracked) {
    git_status_options options;
    git_status_options_init(&options, GIT_STATUS_OPTIONS_VERSION);
    options.show = GIT_STATUS_SHOW_INDEX_AND_WORKDIR;
    options.flags = GIT_STATUS_OPT_RENAMES_HEAD_TO_INDEX | GIT_STATUS_OPT_EXCLUDE_SUBMODULES;
    // Untracked folders are one line each, as git collapses them, unless the user asked
    // otherwise.
    const QString showUntracked = configText(repository, "status.showuntrackedfiles");
    if (untracked && showUntracked != QLatin1String("no") && showUntracked != QLatin1String("false"))
        options.flags |= GIT_STATUS_OPT_INCLUDE_UNTRACKED;
    if (showUntracked == QLatin1String("all"))
        options.flags |= GIT_STATUS_OPT_RECURSE_UNTRACKED_DIRS;
    git_status_list* made = nullptr;
    if (git_status_list_new(&made, repository, &options) != 0) return std::nullopt;
    StatusList list(made);
    qint64 changes = 0;
    const size_t count = git_status_list_entrycount(list.get());
    for (size_t i = 0; i < count; ++i) {
        const unsigned flags = git_status_byindex(list.get(), i)->status;
        if (flags == GIT_STATUS_CURRENT || (flags & GIT_STATUS_IGNORED)) continue;
        const bool twice = (flags & GIT_STATUS_INDEX_DELETED) && (flags & GIT_STATUS_WT_NEW);
        changes += twice ? 2 : 1;
    }
    QList<QByteArray> submodules;
    git_submodule_foreach(
        repository,
        [](git_submodule*, const char* name, void* names) {
            static_cast<QList<QByteArray>*>(names)->append(name);
            return 0;
        },
        &submodules);
    for (const QByteArray& name : submodules)
        if (submoduleChanged(repository, name.constData(), walk)) ++changes;
    return changes;
}

} // namespace

void setUp() {
    static std::once_flag once;
    std::call_once(once, [] {
        git_libgit2_init();
        const char* extensions[] = {"partialclone", "worktreeconfig"};
        git_libgit2_opts(GIT_OPT_SET_EXTENSIONS, extensions, std::size(extensions));
        // Pack files are mapped in windows; the defaults (1 GiB windows, 8 GiB in all) would
        // not fit in a reader's bounded address space.
        git_libgit2_opts(GIT_OPT_SET_MWINDOW_SIZE, size_t(32) << 20);
        git_libgit2_opts(GIT_OPT_SET_MWINDOW_MAPPED_LIMIT, size_t(256) << 20);
    });
}

std::optional<GitStatus> status(const QString& worktree) {
    const Repository repository = openWorktree(worktree);
    if (!repository) return std::nullopt;
    const auto branch = branchOf(repository.get());
    if (!branch || !headTreeReadable(repository.get())) return std::nullopt;
    SubmoduleWalk walk;
    const std::optional<qint64> changes = changeCount(repository.get(), walk);
    if (!changes) return std::nullopt;
    const auto [ahead, behind] = aheadBehind(repository.get(), branch->second);
    return GitStatus{branch->first, ahead, behind, *changes};
}

std::optional<QString> originURL(const QString& worktree) {
    const Repository repository = openWorktree(worktree);
    if (!repository) return std::nullopt;
    git_remote* found = nullptr;
    if (git_remote_lookup(&found, repository.get(), "origin") != 0) return std::nullopt;
    const Remote remote(found);
    const char* url = git_remote_url(remote.get());
    if (!url) return std::nullopt;
    return QString::fromUtf8(url);
}

} // namespace tarn::GitReader
