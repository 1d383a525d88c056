// Quick Open's file index at the size of a big home: 1 000 000 files in 100 000 folders, in 100
// repositories with .gitignore files, node_modules and build output (made once, kept).
//
// 1. Building the index against `fd` with the options that list the same set (git's rules on,
//    hidden items off), and against `fd --hidden --no-ignore-vcs` (everything), interleaved.
// 2. A keystroke in Quick Open (the ranking and its rows) over the whole index, for 20 queries
//    of one to four words, against `fzf --filter` over the same list of paths (median and worst).
// 3. The memory the index takes (resident set before and after).
// 4. A file created on disk to the index holding it, with every folder watched (20 creations).
//
//   bench_index [tree folder, default /tmp/tarn-bench-tree] [rounds, default 5]
#include "Interleaved.h"
#include "index/FileIndex.h"
#include "index/IndexWalker.h"
#include "quickopen/IndexSearch.h"
#include "quickopen/QuickOpenModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace tarn;

namespace {

const char* const words[] = {"api", "server", "client", "core", "utils", "web", "app", "mobile", "docs", "infra"};

void touch(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) ::close(fd);
}

// 100 repositories × 10 × 100 folders × 10 files, plus ignored node_modules and build folders.
void makeTree(const QString& root) {
    if (QFile::exists(root + "/done")) return;
    std::printf("making the tree in %s (once)...\n", qPrintable(root));
    for (int r = 0; r < 100; ++r) {
        const QString repo = QString("%1/%2-%3").arg(root, words[r % 10]).arg(r);
        QDir().mkpath(repo + "/.git");
        QFile ignore(repo + "/.gitignore");
        if (ignore.open(QIODevice::WriteOnly)) ignore.write("node_modules/\n*.log\nbuild/\n");
        for (int n = 0; n < 200; ++n) {
            QDir().mkpath(repo + QString("/node_modules/pkg%1").arg(n));
            touch(QFile::encodeName(repo + QString("/node_modules/pkg%1/index.js").arg(n)));
        }
        for (int d = 0; d < 10; ++d) {
            for (int e = 0; e < 100; ++e) {
                const QString folder = QString("%1/%2%3/%4_%5").arg(repo, words[d]).arg(d).arg(words[e % 10]).arg(e);
                QDir().mkpath(folder);
                for (int f = 0; f < 10; ++f)
                    touch(QFile::encodeName(QString("%1/%2-%3.%4").arg(folder, words[(f + e) % 10]).arg(f).arg(f % 3 ? "c" : "md")));
                if (e % 10 == 0) touch(QFile::encodeName(folder + "/debug.log"));
            }
        }
    }
    touch(QFile::encodeName(root + "/done"));
}

// A field of /proc/self/status in KiB: "VmRSS" now, "VmHWM" at its peak.
long statusKiB(const QByteArray& field = "VmRSS") {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field + ':')) return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLong();
    return 0;
}

void run(const QString& program, const QStringList& arguments, const QString& input = {}) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    if (!input.isEmpty()) process.setStandardInputFile(input);
    process.start(program, arguments);
    process.waitForFinished(-1);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString root = argc > 1 ? QString(argv[1]) : QStringLiteral("/tmp/tarn-bench-tree");
    const int rounds = argc > 2 ? atoi(argv[2]) : 5;
    const QString fd = QStandardPaths::findExecutable("fdfind").isEmpty() ? QStandardPaths::findExecutable("fd")
                                                                          : QStandardPaths::findExecutable("fdfind");
    const QString fzf = QStandardPaths::findExecutable("fzf");
    if (fd.isEmpty() || fzf.isEmpty()) {
        std::printf("needs fd (fd-find) and fzf\n");
        return 1;
    }
    makeTree(root);
    const QByteArray rootBytes = QFile::encodeName(root);

    // 1. Building.
    const long before = statusKiB();
    size_t items = 0;
    const QList<bench::Contender> building{
        {"Tarn: index (git rules, no hidden)", [&] {
             IndexWalker walker(rootBytes, {}, nullptr);
             walker.run([](const IndexWalker::Progress&) {});
             items = walker.result().nodes.size() - 1;
         }},
        {"fd --hidden --no-ignore-vcs", [&] { run(fd, {"--type", "f", "--type", "d", "--type", "l", "--hidden", "--no-ignore-vcs", ".", root}); }},
        {"fd (same set)", [&] { run(fd, {"--type", "f", "--type", "d", "--type", "l", ".", root}); }},
    };
    bench::report(building, bench::interleaved(rounds, building), rounds);
    std::printf("items indexed: %zu\n", items);

    // 3. Memory, with the index kept.
    IndexWalker kept(rootBytes, {}, nullptr);
    kept.run([](const IndexWalker::Progress&) {});
    const IndexSegment& segment = kept.result();
    const long after = statusKiB();
    std::printf("resident set: %ld KiB before, %ld KiB with the index: %.1f MB for %zu items, %.1f bytes per item "
                "(the index's own count: %zu bytes)\n",
                before, after, (after - before) / 1024.0, segment.nodes.size(), (after - before) * 1024.0 / double(segment.nodes.size()),
                segment.bytes());

    // The index as Tarn keeps it: watched, on the GUI thread.
    FileIndex index;
    index.setRoots({{rootBytes, {}}});
    QElapsedTimer walk;
    walk.start();
    while (index.isIndexing()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    std::printf("index with watches built in %lld ms, %s; resident set %.1f MB more than with the walk's segment alone "
                "(peak of the process so far %.1f MB)\n",
                walk.elapsed(), index.someUnwatched() ? "some folders unwatched" : "every folder watched",
                (statusKiB() - after) / 1024.0, statusKiB("VmHWM") / 1024.0);

    // 2. A keystroke: the panel's model ranks the query and makes its rows.
    QTemporaryFile list;
    list.open();
    for (uint32_t node = 1; node < segment.nodes.size(); ++node) list.write(segment.path(node) + '\n');
    list.flush();
    const QStringList queries{"a", "api", "serv", "core7", "readme", "utils-3.md", "debug", "web9", "xyz",
                              "client cli", "api server", "mob web", "docs app-1", "infra/core",
                              "api serv app", "core docs4 mobile", "web-3", "app utils 5.c", "api api api api", "index"};
    QList<double> ours, theirs;
    for (const QString& query : queries) {
        QList<double> mine, peer;
        for (int round = 0; round < rounds; ++round) {
            QuickOpenModel model; // no earlier query to narrow from: the whole index each time
            model.setIndex(&index);
            QElapsedTimer timer;
            timer.start();
            model.setQuery(query);
            model.recompute();
            mine << timer.nsecsElapsed() / 1e6;
            timer.restart();
            run(fzf, {"--filter", query}, list.fileName());
            peer << timer.nsecsElapsed() / 1e6;
        }
        ours << bench::median(mine);
        theirs << bench::median(peer);
        std::printf("%-22s Tarn %8.2f ms   fzf --filter %8.2f ms\n", qPrintable('"' + query + '"'), ours.last(), theirs.last());
    }
    std::printf("keystroke over %zu items: Tarn median %.2f ms, worst %.2f ms; fzf median %.2f ms, worst %.2f ms; ratio of medians %.3f\n",
                segment.nodes.size(), bench::median(ours), *std::max_element(ours.begin(), ours.end()), bench::median(theirs),
                *std::max_element(theirs.begin(), theirs.end()), bench::median(ours) / bench::median(theirs));

    // 4. Live: a file created to the index holding it.
    QList<double> delays;
    for (int i = 0; i < 20; ++i) {
        const int r = i * 5, d = i % 10, e = (i * 7) % 100;
        const QString folder = QString("%1/%2-%3/%4%5/%6_%7").arg(root, words[r % 10]).arg(r).arg(words[d]).arg(d).arg(words[e % 10]).arg(e);
        const QByteArray name = QFile::encodeName(QString("fresh-%1-%2.txt").arg(i).arg(QCoreApplication::applicationPid()));
        const quint64 version = index.version();
        QElapsedTimer timer;
        timer.start();
        touch(QFile::encodeName(folder) + '/' + name);
        bool seen = false;
        while (!seen && timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (index.version() == version) continue;
            IndexSearch search;
            seen = !search.search(index.segments(), index.version(), PathQuery(QString::fromUtf8(name)), 1).empty();
        }
        delays << timer.nsecsElapsed() / 1e6;
        QFile::remove(folder + '/' + QString::fromUtf8(name));
    }
    std::printf("created file to search hit: median %.1f ms, worst %.1f ms (20 creations)\n", bench::median(delays),
                *std::max_element(delays.begin(), delays.end()));
    return 0;
}
