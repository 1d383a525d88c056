// What one program run costs through Shell::run, next to a bare posix_spawn + waitpid, and
// `git status` over 200 repositories with 6 workers through Git::status, next to xargs -P6.
//
//   bench_shell
#include "Interleaved.h"
#include "discovery/Shell.h"
#include "git/Git.h"
#include "git/GitReaderProcess.h"
#include "git/GitStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

void bareSpawn(const char* program) {
    char* const argv[] = {const_cast<char*>(program), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) return;
    int status = 0;
    waitpid(pid, &status, 0);
}

void git(const QString& folder, const QStringList& arguments) {
    const QHash<QString, QString> identity{{"GIT_AUTHOR_NAME", "B"},
                                           {"GIT_AUTHOR_EMAIL", "b@b"},
                                           {"GIT_COMMITTER_NAME", "B"},
                                           {"GIT_COMMITTER_EMAIL", "b@b"}};
    tarn::Shell::run(tarn::Git::executable, QStringList{"-C", folder} + arguments, identity, 60);
}

QStringList makeRepositories(const QString& root, int count) {
    QStringList repos;
    for (int i = 0; i < count; ++i) {
        const QString repo = QString("%1/repo%2").arg(root).arg(i);
        QDir().mkpath(repo);
        git(repo, {"init", "-q", "-b", "main"});
        for (int f = 0; f < 20; ++f) {
            QFile file(QString("%1/file%2.txt").arg(repo).arg(f));
            if (file.open(QIODevice::WriteOnly)) file.write("content\n");
        }
        git(repo, {"add", "."});
        git(repo, {"commit", "-q", "-m", "initial"});
        repos << repo;
    }
    return repos;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 2 && qstrcmp(argv[1], tarn::GitReaderProcess::workerFlag) == 0)
        return tarn::GitReaderProcess::serve();
    QCoreApplication app(argc, argv);

    const int spawnRounds = 400;
    const QList<bench::Contender> spawns{
        {"Shell::run /bin/true", [] { tarn::Shell::run("/bin/true", {}, {}, 10); }},
        {"posix_spawn + waitpid /bin/true", [] { bareSpawn("/bin/true"); }}};
    bench::report(spawns, bench::interleaved(spawnRounds, spawns), spawnRounds);

    QTemporaryDir temporary;
    const QStringList repos = makeRepositories(temporary.path(), 200);
    QFile list(temporary.path() + "/repos.txt");
    if (list.open(QIODevice::WriteOnly)) list.write(repos.join('\n').toUtf8() + '\n');
    list.close();

    QThreadPool workers;
    workers.setMaxThreadCount(6);
    const int gitRounds = 9;
    const QList<bench::Contender> statuses{
        {"Git::status x200, 6 workers",
         [&] {
             for (const QString& repo : repos)
                 workers.start([repo] { tarn::Git::status(QUrl::fromLocalFile(repo)); });
             workers.waitForDone();
         }},
        {"xargs -P6 git status x200", [&] {
             tarn::Shell::run("/bin/sh",
                              {"-c",
                               "xargs -P6 -I{} git -C {} status --porcelain=v2 --branch "
                               "< \"$0\" > /dev/null",
                               list.fileName()},
                              {}, 600);
         }}};
    bench::report(statuses, bench::interleaved(gitRounds, statuses), gitRounds);

    // The status cache refreshing all 200 (forced), results stored on this thread one by one.
    tarn::GitStore& store = tarn::GitStore::shared();
    const QList<bench::Contender> refreshes{
        {"GitStore::refresh x200 (window 6)", [&] {
             store.refresh(repos, true);
             QEventLoop loop;
             QTimer poll;
             QObject::connect(&poll, &QTimer::timeout, [&] {
                 if (store.inFlight().isEmpty()) loop.quit();
             });
             poll.start(1);
             loop.exec();
         }},
        statuses.last()};
    bench::report(refreshes, bench::interleaved(gitRounds, refreshes), gitRounds);
    return 0;
}
