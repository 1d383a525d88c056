#include "git/Git.h"

#include "git/RepoConfig.h"

namespace tarn::Git {

namespace {
constexpr double statusTimeout = 20;
constexpr double networkTimeout = 180;
constexpr double remoteTimeout = 5;

ShellResult git(const QUrl& repository, const QStringList& arguments, double timeout) {
    return Shell::run(executable, QStringList{"-C", repository.toLocalFile()} + arguments, env(),
                      timeout);
}
} // namespace

QHash<QString, QString> env() {
    static const QHash<QString, QString> variables{
        {"GIT_OPTIONAL_LOCKS", "0"},
        {"GIT_TERMINAL_PROMPT", "0"},
        {"GIT_SSH_COMMAND", "ssh -o BatchMode=yes"},
    };
    // Tarn runs git by itself on every repository it finds, including ones unpacked from an
    // archive, whose config could name an fsmonitor command for git to run. Configuration from
    // the environment outranks the repository's own.
    return RepoConfig::environment(variables, {{"core.fsmonitor", "false"}});
}

std::optional<GitStatus> status(const QUrl& repository) {
    const QString worktree = repository.toLocalFile();
    // Nobody asked for this read, so nothing the repository configured may run during it:
    // not its filter drivers, and not its hooks.
    RepoConfig::Pairs overrides = RepoConfig::statusOverrides(worktree);
    overrides.prepend({"core.hooksPath", "/dev/null"});
    const QHash<QString, QString> variables = RepoConfig::environment(env(), overrides);
    const ShellResult result =
        Shell::run(executable, {"-C", worktree, "status", "--porcelain=v2", "--branch"}, variables,
                   statusTimeout);
    if (result.status != 0) return std::nullopt;
    return GitStatus::parse(result.out);
}

ShellResult perform(GitOp op, const QUrl& repository) {
    const QStringList arguments = op == GitOp::fetch ? QStringList{"fetch", "--prune"}
                                                     : QStringList{"pull", "--ff-only"};
    return git(repository, arguments, networkTimeout);
}

std::optional<QUrl> remoteWebURL(const QUrl& repository) {
    const ShellResult result = git(repository, {"remote", "get-url", "origin"}, remoteTimeout);
    if (result.status != 0) return std::nullopt;
    return webURL(result.out.trimmed());
}

std::optional<QUrl> webURL(const QString& remote) {
    QString text = remote;
    if (text.endsWith(QLatin1String(".git"))) text.chop(4);
    const qsizetype colon = text.indexOf(':');
    if (text.startsWith(QLatin1String("git@")) && colon >= 0) {
        text = "https://" + text.mid(4, colon - 4) + '/' + text.mid(colon + 1);
    } else if (text.startsWith(QLatin1String("ssh://"))) {
        text = "https://" + text.mid(6);
    }
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) return std::nullopt;
    url.setScheme("https");
    url.setUserInfo(QString());
    url.setPort(-1);
    return url;
}

} // namespace tarn::Git
