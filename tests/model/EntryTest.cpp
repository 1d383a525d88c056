#include "TempHome.h"
#include "TestMain.h"
#include "model/Entry.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace tarn;

class EntryTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TempHome> home;

private Q_SLOTS:
    void init() { home = std::make_unique<test::TempHome>(); }
    void cleanup() { home.reset(); }

    void classify_data() {
        QTest::addColumn<QString>("make"); // what to create: "" nothing, "dir", "file", "repo", "gitfile"
        QTest::addColumn<QString>("relative");
        QTest::addColumn<EntryKind>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("expectedRelative");

        QTest::newRow("workspace that does not exist")
            << "" << "a/project.code-workspace" << EntryKind::workspace << "project"
            << "a/project.code-workspace";
        QTest::newRow("workspace with dots in its name")
            << "file" << "my.app.code-workspace" << EntryKind::workspace << "my.app"
            << "my.app.code-workspace";
        QTest::newRow("upper-case extension is a plain file")
            << "file" << "x.CODE-WORKSPACE" << EntryKind::file << "x.CODE-WORKSPACE"
            << "x.CODE-WORKSPACE";
        QTest::newRow("upper-case extension on a folder")
            << "dir" << "y.CODE-WORKSPACE" << EntryKind::folder << "y.CODE-WORKSPACE"
            << "y.CODE-WORKSPACE";
        QTest::newRow("dot file named like the extension")
            << "file" << ".code-workspace" << EntryKind::file << ".code-workspace"
            << ".code-workspace";
        QTest::newRow("folder") << "dir" << "plain" << EntryKind::folder << "plain" << "plain";
        QTest::newRow("repository with .git folder")
            << "repo" << "src/app" << EntryKind::repo << "app" << "src/app";
        QTest::newRow("repository with .git file (worktree)")
            << "gitfile" << "wt" << EntryKind::repo << "wt" << "wt";
        QTest::newRow("application bundle is a file")
            << "repo" << "Tool.app" << EntryKind::file << "Tool.app" << "Tool.app";
        QTest::newRow("missing path") << "" << "gone/thing" << EntryKind::file << "thing"
                                      << "gone/thing";
        QTest::newRow("regular file") << "file" << "notes.txt" << EntryKind::file << "notes.txt"
                                      << "notes.txt";
        QTest::newRow("dot-dot is resolved before the title")
            << "dir" << "name/../name/src" << EntryKind::folder << "src" << "name/src";
    }

    void classify() {
        QFETCH(QString, make);
        QFETCH(QString, relative);
        QFETCH(EntryKind, kind);
        QFETCH(QString, title);
        QFETCH(QString, expectedRelative);
        const QString path = home->path() + '/' + relative;
        if (make == "dir") home->makeFolder(relative);
        if (make == "file") home->writeFile(relative, "x");
        if (make == "repo") home->makeFolder(relative + "/.git");
        if (make == "gitfile") home->writeFile(relative + "/.git", "gitdir: /elsewhere\n");

        const Entry entry = Entry::classify(QUrl::fromLocalFile(path));
        QCOMPARE(entry.kind, kind);
        // Folder listings, the scan and the opener ask the same rule.
        QCOMPARE(Entry::isWorkspaceFile(QFileInfo(path).fileName()), kind == EntryKind::workspace);
        QCOMPARE(entry.title, title);
        QCOMPARE(entry.url, QUrl::fromLocalFile(home->path() + '/' + expectedRelative));
        QVERIFY(!entry.shortcutID);
        QVERIFY(!entry.hint);
    }

    void disambiguated() {
        auto repo = [](const QString& path, const QString& title) {
            return Entry{EntryKind::repo, QUrl::fromLocalFile(path), title, {}, {}};
        };
        QList<Entry> input{
            repo("/w/one/API", "API"),
            repo("/w/two/api", "api"),
            Entry{EntryKind::folder, QUrl::fromLocalFile("/w/three/api"), "api", {}, "stale"},
            Entry{EntryKind::link, QUrl("https://a.example"), "Docs", {}, {}},
            Entry{EntryKind::link, QUrl("https://b.example"), "Docs", {}, {}},
            repo("/x/same/lib", "lib"),
            repo("/y/same/lib", "lib"),
        };
        const QList<Entry> out = Entry::disambiguated(input);
        QCOMPARE(out.size(), input.size());
        // Parents of the same name: as many of their folders' names as tell them apart.
        const QList<std::optional<QString>> hints{"one", "two", "stale", {}, {}, "x/same", "y/same"};
        for (int i = 0; i < out.size(); ++i) {
            QCOMPARE(out[i].hint, hints[i]);
            QCOMPARE(out[i].title, input[i].title);
            QCOMPARE(out[i].url, input[i].url);
        }
    }

    void tildePath_data() {
        QTest::addColumn<QString>("relative"); // appended to the home path; "!" prefix = absolute
        QTest::addColumn<QString>("expected");
        QTest::newRow("home itself") << "" << "~";
        QTest::newRow("inside home") << "/src/app" << "~/src/app";
        QTest::newRow("sibling with the same prefix") << "d/x" << "!";
        QTest::newRow("elsewhere") << "!/etc/hosts" << "/etc/hosts";
        QTest::newRow("home with a trailing slash") << "/" << "~";
        QTest::newRow("folder with a trailing slash") << "/src/" << "~/src";
    }

    void tildePath() {
        QFETCH(QString, relative);
        QFETCH(QString, expected);
        const QString path = relative.startsWith('!') ? relative.mid(1) : home->path() + relative;
        const QString shown = tarn::tildePath(QUrl::fromLocalFile(path));
        QCOMPARE(shown, expected == "!" ? path : expected);
    }

    void isDirectoryOnDisk() {
        QVERIFY(tarn::isDirectoryOnDisk(QUrl::fromLocalFile(home->makeFolder("d"))));
        QVERIFY(!tarn::isDirectoryOnDisk(QUrl::fromLocalFile(home->writeFile("f", "x"))));
        QVERIFY(!tarn::isDirectoryOnDisk(QUrl::fromLocalFile(home->path() + "/missing")));
        QVERIFY(!tarn::isDirectoryOnDisk(QUrl("https://example.com/")));
    }
};

TARN_TEST(EntryTest)
#include "EntryTest.moc"
