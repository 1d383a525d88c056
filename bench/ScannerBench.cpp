// Scans a generated tree the size of a busy developer's pinned folders and prints the time next
// to that of find(1) walking the same depth.
//
//   bench_scanner [folder]   (default: a temporary folder, removed afterwards)
#include "discovery/Scanner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

void touch(const QString& path) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write("{\"folders\": [{\"path\": \".\"}]}");
}

// 20 top folders × 25 projects × 40 folders ≈ 20 500 folders; every project is a repository
// (500), some hold a workspace file, and a few carry node_modules and build trees.
int generate(const QString& root) {
    int folders = 0;
    for (int top = 0; top < 20; ++top) {
        for (int project = 0; project < 25; ++project) {
            const QString p = QString("%1/area%2/project%3").arg(root).arg(top).arg(project);
            QDir().mkpath(p + "/.git/objects");
            if (project % 5 == 0) touch(p + "/project.code-workspace");
            for (int leaf = 0; leaf < 40; ++leaf) QDir().mkpath(QString("%1/src%2").arg(p).arg(leaf));
            folders += 41;
            if (project == 0) {
                for (int m = 0; m < 200; ++m) QDir().mkpath(QString("%1/node_modules/pkg%2/lib").arg(p).arg(m));
                for (int b = 0; b < 100; ++b) QDir().mkpath(QString("%1/build/obj%2").arg(p).arg(b));
            }
        }
    }
    return folders;
}

double best(int runs, const std::function<void()>& work) {
    double fastest = 1e99;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        fastest = std::min(fastest, timer.nsecsElapsed() / 1e6);
    }
    return fastest;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString root = app.arguments().size() > 1 ? app.arguments().at(1) : temporary.path();
    const int folders = generate(root);

    tarn::ScanResult result;
    const double scan = best(5, [&] { result = tarn::Scanner::scan({QUrl::fromLocalFile(root)}); });
    const double find = best(5, [&] {
        QProcess::execute("sh", {"-c", "find \"$0\" -maxdepth 3 > /dev/null", root});
    });
    std::printf("tree: %d folders; found %lld repositories, %lld workspaces\n", folders,
                static_cast<long long>(result.repos.size()),
                static_cast<long long>(result.workspaces.size()));
    std::printf("Scanner::scan  %8.1f ms (best of 5)\n", scan);
    std::printf("find -maxdepth 3 %6.1f ms (best of 5, including process start)\n", find);
    std::printf("ratio %.2f\n", scan / find);
    return 0;
}
