// The file index: the same items as `fd` on a tree with git's ignore rules, kept live as files
// come and go, and honest when the system allows no more watches.
#include "TempHome.h"
#include "TestMain.h"
#include "index/FileIndex.h"
#include "index/IndexWalker.h"
#include "platform/FolderWatcher.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTest>
#include <sys/stat.h>

using namespace tarn;

namespace {

QSet<QString> indexed(const IndexSegment& segment) {
    QSet<QString> paths;
    for (uint32_t node = 1; node < segment.nodes.size(); ++node)
        if (!segment.nodes[node].is(IndexNode::removed))
            paths << QFile::decodeName(segment.path(node).mid(segment.root.size() + 1));
    return paths;
}

} // namespace

class FileIndexTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempHome> home;
    QString code;

    void write(const QString& relative, const QByteArray& text = "x") { home->writeFile("code/" + relative, text); }

private Q_SLOTS:
    void init() {
        home = std::make_unique<test::TempHome>();
        code = home->makeFolder("code");
    }
    void cleanup() { home.reset(); }

    // Nested .gitignores with negations and anchors, info/exclude, the user's excludes file,
    // hidden items, a nested repository, rules outside any repository (not git's), links (one
    // a loop, one out of the tree), a named pipe: the index holds what `fd` lists, hidden items
    // too where the folder shows them (`.git` never).
    void agreesWithFd_data() {
        QTest::addColumn<bool>("showHidden");
        QTest::addColumn<QStringList>("fdOptions");
        QTest::newRow("hidden left out") << false << QStringList{};
        QTest::newRow("hidden shown") << true << QStringList{"--hidden", "--exclude", ".git"};
    }
    void agreesWithFd() {
        QFETCH(bool, showHidden);
        QFETCH(QStringList, fdOptions);
        const QString fd = QStandardPaths::findExecutable("fdfind").isEmpty() ? QStandardPaths::findExecutable("fd")
                                                                              : QStandardPaths::findExecutable("fdfind");
        if (fd.isEmpty()) QSKIP("needs fd (the fd-find package)");
        home->makeFolder("code/app/.git/info");
        write("app/.git/info/exclude", "secret.txt\n");
        home->writeFile(".config/git/ignore", "*.swp\n");
        write("app/.gitignore", "# build output\nbuild/\n*.log\n!keep.log\nnode_modules\n/docs/*.tmp\n**/gen/**\n\\#hash\nspace\\ \n");
        for (const char* file : {"README.md", "a.log", "keep.log", "secret.txt", "x.swp", "#hash", "space ", "build/out.o",
                                 "src/build/deep.o", "node_modules/pkg/index.js", "docs/a.tmp", "docs/sub/b.tmp", "src/gen/g.c",
                                 "src/main.c", "src/main.o", "src/other.o", ".env", ".hidden/inside.txt", "src/a[1].txt"})
            write(QString("app/") + file);
        write("app/src/.gitignore", "*.o\n!main.o\n[ab]*.txt\n");
        home->makeFolder("code/app/vendor/lib/.git");
        write("app/vendor/lib/.gitignore", "*.tmp\n");
        write("app/vendor/lib/x.tmp");
        write("app/vendor/lib/y.c");
        write("plain/.gitignore", "x.txt\n");
        write("plain/x.txt");
        QFile::link(code + "/app/README.md", code + "/app/readme-link");
        QFile::link(code, code + "/app/loop");
        QFile::link("/etc", code + "/app/etc");
        QVERIFY(::mkfifo(QFile::encodeName(code + "/app/pipe").constData(), 0600) == 0);

        IndexWalker walker(QFile::encodeName(code), {showHidden}, nullptr);
        walker.run([](const IndexWalker::Progress&) {});
        QProcess finder;
        finder.setWorkingDirectory(code);
        finder.start(fd, QStringList{"--type", "f", "--type", "d", "--type", "l", "--no-ignore-parent", "."} + fdOptions);
        QVERIFY(finder.waitForFinished(30000));
        QSet<QString> expected;
        for (const QByteArray& line : finder.readAllStandardOutput().split('\n'))
            if (!line.isEmpty()) expected << QFile::decodeName(line.startsWith("./") ? line.mid(2) : line).chopped(line.endsWith('/') ? 1 : 0);
        const QSet<QString> got = indexed(walker.result());
        QVERIFY2(got == expected, qPrintable("only indexed: " + QStringList((got - expected).values()).join(", ") +
                                             "; only fd: " + QStringList((expected - got).values()).join(", ")));
        QVERIFY(got.contains("app/keep.log") && got.contains("app/src/main.o") && got.contains("app/loop"));
        QVERIFY(!got.contains("app/x.swp") && !got.contains("app/secret.txt") && got.contains("plain/x.txt"));
        QCOMPARE(got.contains("app/.hidden/inside.txt"), showHidden);
    }

    // Files and folders created, renamed and removed show in the index (and leave it) while it
    // runs, also in folders made after the walk, and where no watch was left, once Quick Open asks;
    // removed items do not pile up.
    void followsChanges_data() {
        QTest::addColumn<int>("watchLimit");
        QTest::newRow("watched") << 1000;
        QTest::newRow("watch limit reached") << 1;
    }
    void followsChanges() {
        QFETCH(int, watchLimit);
        write("notes/old.md");
        write("notes/deep/er.txt");
        FileIndex index;
        index.watcher().setLimit(watchLimit);
        index.setRoots({{QFile::encodeName(code), {}}});
        QTRY_VERIFY(!index.isIndexing() && !index.segments().empty() && index.segments()[0]->nodes.size() > 1);
        const auto seen = [&] {
            if (watchLimit < 1000) index.readUnwatched();
            return indexed(*index.segments()[0]);
        };
        QVERIFY(seen().contains("notes/deep/er.txt"));
        QCOMPARE(index.someUnwatched(), watchLimit < 1000);
        QCOMPARE(index.watchLimitReached(), watchLimit < 1000);

        write("notes/new.md");
        QTRY_VERIFY(seen().contains("notes/new.md"));
        QVERIFY(QFile::rename(code + "/notes/old.md", code + "/notes/renamed.md"));
        QTRY_VERIFY(seen().contains("notes/renamed.md") && !seen().contains("notes/old.md"));
        QVERIFY(QDir(code + "/notes/deep").removeRecursively());
        QTRY_VERIFY(!seen().contains("notes/deep") && !seen().contains("notes/deep/er.txt"));
        write("made/later/inside.txt");
        QTRY_VERIFY(seen().contains("made/later/inside.txt"));
        write("made/later/more.txt"); // in a folder the walk never saw
        QTRY_VERIFY(seen().contains("made/later/more.txt"));
        QVERIFY(QFile::rename(code + "/made", code + "/notes/moved"));
        QTRY_VERIFY(seen().contains("notes/moved/later/inside.txt") && !seen().contains("made"));
        write("notes/moved/later/after.txt"); // the moved folder is still watched
        QTRY_VERIFY(seen().contains("notes/moved/later/after.txt"));
        // Churn: what was made and deleted again leaves nothing behind once it outweighs the rest.
        for (int i = 0; i < 5000; ++i) write(QString("scratch/%1.o").arg(i));
        QTRY_VERIFY(seen().contains("scratch/4999.o"));
        QVERIFY(QDir(code + "/scratch").removeRecursively());
        QTRY_VERIFY(!seen().contains("scratch") && index.segments()[0]->nodes.size() < 100);
    }
};

TARN_TEST(FileIndexTest)
#include "FileIndexTest.moc"
