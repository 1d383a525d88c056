#include "GitFixture.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace tarn::test {

ShellResult git(const QString& folder, const QStringList& arguments) {
    const QHash<QString, QString> identity{{"GIT_AUTHOR_NAME", "Tarn Test"},
                                           {"GIT_AUTHOR_EMAIL", "test@tarn.invalid"},
                                           {"GIT_COMMITTER_NAME", "Tarn Test"},
                                           {"GIT_COMMITTER_EMAIL", "test@tarn.invalid"}};
    const ShellResult result =
        Shell::run("/usr/bin/git", QStringList{"-C", folder} + arguments, identity, 60);
    if (result.status != 0)
        qWarning("git %s failed: %s", qPrintable(arguments.join(' ')), qPrintable(result.err));
    return result;
}

void makeRepo(const QString& path, bool commit) {
    QDir().mkpath(path);
    git(path, {"init", "-q", "-b", "main"});
    if (commit) commitFile(path, "README", "hello\n");
}

void commitFile(const QString& repo, const QString& name, const QString& contents) {
    QFile file(repo + '/' + name);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(contents.toUtf8());
    file.close();
    git(repo, {"add", name});
    git(repo, {"commit", "-q", "-m", "change " + name});
}

} // namespace tarn::test
