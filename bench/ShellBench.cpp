// What one program run costs through Shell::run, next to a bare posix_spawn + waitpid;
// `git status` over 200 repositories with 6 workers through Git::status (Tarn's reader
// processes), next to xargs -P6 git status; and the CPU time of refreshing many repositories
// (5 000 by default) through GitStore, next to the same reads by the git command line.
//
//   bench_shell [repositories for the CPU comparison]
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
#include <sys/resource.h>
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

// Copies of one repository of 20 committed files, their indexes refreshed so that neither
// reader has to hash the copied files again.
QStringList copyRepositories(const QString& root, int count) {
    const QString original = makeRepositories(root + "/original", 1).first();
    tarn::Shell::run("/bin/sh", {"-c", "i=0; while [ $i -lt \"$1\" ]; do cp -a \"$0\" \"$2/copy$i\"; "
                                       "git -C \"$2/copy$i\" update-index -q --refresh; i=$((i+1)); done",
                                 original, QString::number(count), root}, {}, 3600);
    QStringList repos;
    for (int i = 0; i < count; ++i) repos << QString("%1/copy%2").arg(root).arg(i);
    return repos;
}

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// CPU seconds of this process and the children it reaped while `work` ran.
double cpuOf(const std::function<void()>& work) {
    const double before = cpuSeconds(RUSAGE_SELF) + cpuSeconds(RUSAGE_CHILDREN);
    work();
    return cpuSeconds(RUSAGE_SELF) + cpuSeconds(RUSAGE_CHILDREN) - before;
}

void refreshAll(const QStringList& repos) {
    tarn::GitStore& store = tarn::GitStore::shared();
    store.refresh(repos, true);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (store.inFlight().isEmpty()) loop.quit();
    });
    poll.start(1);
    loop.exec();
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
    const QList<bench::Contender> refreshes{
        {"GitStore::refresh x200 (window 6)", [&] { refreshAll(repos); }},
        statuses.last()};
    bench::report(refreshes, bench::interleaved(gitRounds, refreshes), gitRounds);

    // CPU: the reader processes count once they are stopped and reaped.
    const int many = argc > 1 ? QString(argv[1]).toInt() : 5000;
    const QStringList copies = copyRepositories(temporary.path() + "/many", many);
    QFile manyList(temporary.path() + "/many.txt");
    if (manyList.open(QIODevice::WriteOnly)) manyList.write(copies.join('\n').toUtf8() + '\n');
    manyList.close();
    QList<double> tarnCPU, gitCPU;
    for (int round = 0; round < 3; ++round) {
        tarn::GitReaderProcess::shared().stopIdleWorkers();
        tarnCPU << cpuOf([&] {
            refreshAll(copies);
            tarn::GitReaderProcess::shared().stopIdleWorkers();
        });
        gitCPU << cpuOf([&] {
            tarn::Shell::run("/bin/sh",
                             {"-c", "xargs -P6 -I{} git -C {} status --porcelain=v2 --branch < \"$0\" > /dev/null",
                              manyList.fileName()},
                             tarn::Git::env(), 3600);
        });
    }
    std::printf("%-34s %10.3f s CPU median of 3   ratio to git: %.2f\n",
                qPrintable(QString("GitStore::refresh x%1").arg(many)), bench::median(tarnCPU),
                bench::median(tarnCPU) / bench::median(gitCPU));
    std::printf("%-34s %10.3f s CPU median of 3\n", qPrintable(QString("xargs -P6 git status x%1").arg(many)),
                bench::median(gitCPU));
    return 0;
}
