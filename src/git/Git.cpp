#include "git/Git.h"

#include "git/GitReaderProcess.h"

namespace tarn::Git {

namespace {
constexpr double networkTimeout = 180;

// What a fetch nobody watches must not run or reach, whatever the repository configures: it
// touches every repository in the pinned folders, including ones the user never opened.
const QStringList unattendedConfig{
    "-c", "core.hooksPath=/dev/null", "-c", "core.fsmonitor=false", "-c", "protocol.ext.allow=never",
    "-c", "remote.origin.uploadpack=git-upload-pack", "-c", "credential.helper=",
};
} // namespace

QHash<QString, QString> env() {
    static const QHash<QString, QString> variables{
        {"GIT_OPTIONAL_LOCKS", "0"},
        {"GIT_TERMINAL_PROMPT", "0"},
        {"GIT_SSH_COMMAND", "ssh -o BatchMode=yes"},
    };
    return variables;
}

std::optional<GitStatus> status(const QUrl& repository) {
    return GitReaderProcess::shared().status(repository.toLocalFile());
}

ShellResult perform(GitOp op, const QUrl& repository, bool unattended) {
    QStringList arguments{"-C", repository.toLocalFile()};
    QHash<QString, QString> variables = env();
    if (unattended) {
        arguments << unattendedConfig;
        // Empty, these turn off any core.gitProxy and core.askPass the repository names.
        variables.insert("GIT_PROXY_COMMAND", QString());
        variables.insert("GIT_ASKPASS", QString());
    }
    if (op == GitOp::fetch) {
        arguments << "fetch" << "--prune";
        if (unattended) arguments << "--upload-pack=git-upload-pack";
    } else {
        arguments << "pull" << "--ff-only";
    }
    return Shell::run(executable, arguments, variables, networkTimeout);
}

std::optional<QUrl> remoteWebURL(const QUrl& repository) {
    const std::optional<QString> remote = GitReaderProcess::shared().originURL(repository.toLocalFile());
    if (!remote) return std::nullopt;
    return webURL(remote->trimmed());
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
