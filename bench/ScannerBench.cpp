// Scans a generated tree of 2 000 repositories and prints the time next to that of find(1)
// reading the same folders, interleaved, as medians.
//
//   bench_scanner [folder]   (default: a temporary folder, removed afterwards)
#include "Interleaved.h"
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

// 20 top folders × 100 projects × 8 folders ≈ 18 000 folders; every project is a repository
// (2 000), some hold a workspace file, and a few carry node_modules and build trees.
int generate(const QString& root) {
    int folders = 0;
    for (int top = 0; top < 20; ++top) {
        for (int project = 0; project < 100; ++project) {
            const QString p = QString("%1/area%2/project%3").arg(root).arg(top).arg(project);
            QDir().mkpath(p + "/.git/objects");
            if (project % 5 == 0) touch(p + "/project.code-workspace");
            for (int leaf = 0; leaf < 8; ++leaf)
                QDir().mkpath(QString("%1/src%2").arg(p).arg(leaf));
            folders += 9;
            if (project == 0) {
                for (int m = 0; m < 200; ++m)
                    QDir().mkpath(QString("%1/node_modules/pkg%2/lib").arg(p).arg(m));
                for (int b = 0; b < 100; ++b)
                    QDir().mkpath(QString("%1/build/obj%2").arg(p).arg(b));
            }
        }
    }
    return folders;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString root = app.arguments().size() > 1 ? app.arguments().at(1) : temporary.path();
    const int folders = generate(root);

    tarn::ScanResult result;
    const QList<bench::Contender> contenders{
        {"Scanner::scan", [&] { result = tarn::Scanner::scan({QUrl::fromLocalFile(root)}); }},
        // The scanner reads the root and three levels of folders below it, and skips hidden
        // folders and build trees; so does this.
        {"find -maxdepth 4 (pruned)", [&] {
             QProcess::execute("sh",
                               {"-c",
                                "find \"$0\" -maxdepth 4 \\( -name node_modules -o -name build "
                                "-o -name '.?*' \\) -prune -o -print > /dev/null",
                                root});
         }}};
    const int rounds = 15;
    const QList<double> medians = bench::interleaved(rounds, contenders);
    std::printf("tree: %d folders; found %lld repositories, %lld workspaces\n", folders,
                static_cast<long long>(result.repos.size()),
                static_cast<long long>(result.workspaces.size()));
    bench::report(contenders, medians, rounds);
    return 0;
}
