#include "Sandbox.h"
#include "TestMain.h"
#include "library/Library.h"
#include "git/GitStore.h"
#include "model/Store.h"

#include <QFile>
#include <QSemaphore>
#include <QTest>
#include <atomic>

using namespace tarn;

class LibraryTest : public QObject, test::Sandbox {
    Q_OBJECT
    Library& library = Library::shared();
    Library::Clock::time_point clock = Library::Clock::now();
    std::atomic<int> scans{0}, recentLoads{0}, shortcutLoads{0};
    QSemaphore gate{1000};
    ScanResult nextScan;
    ShortcutsSnapshot nextShortcuts;

    Entry repo(const QString& name) {
        return {EntryKind::repo, QUrl::fromLocalFile(home->makeFolder("code/" + name)), name, {}, {}};
    }

private Q_SLOTS:
    void init() {
        enter();
        GitStore::shared().setStatusReader([](const QString&) { return GitStatus{"main", 0, 0, 0}; });
        scans = recentLoads = shortcutLoads = 0;
        nextScan = {};
        nextShortcuts = {};
        library.setClock([this] { return clock; });
        library.setSources({[this](const QList<QUrl>&) {
                                ++scans;
                                gate.acquire();
                                return nextScan;
                            },
                            [this](const QString&, int) {
                                ++recentLoads;
                                gate.acquire();
                                return RecentsResult{};
                            },
                            [this] {
                                ++shortcutLoads;
                                gate.acquire();
                                return nextShortcuts;
                            }});
        // An editor with recents is installed.
        platform->fakeApplications.installs.insert("com.microsoft.VSCode", {"/usr/share/code", {}, {}});
    }
    void cleanup() {
        gate.release(100);
        leave();
    }

    // While the first refresh's tasks run, a second starts nothing of the same kind.
    void oneTaskOfEachKind() {
        gate.acquire(gate.available());
        library.refresh(false);
        library.refresh(false);
        QTRY_COMPARE(scans.load() + recentLoads.load() + shortcutLoads.load(), 3);
        QTest::qWait(50);
        QCOMPARE(scans.load(), 1);
        QCOMPARE(recentLoads.load(), 1);
        QCOMPARE(shortcutLoads.load(), 1);
        gate.release(3);
        QTRY_VERIFY(!library.scanning && !library.loadingRecents && !library.loadingShortcuts);
        library.refresh(false); // a new scan and recents load, but not the Shortcuts tool
        QTRY_COMPARE(scans.load(), 2);
        QTRY_COMPARE(recentLoads.load(), 2);
        QCOMPARE(shortcutLoads.load(), 1);
    }

    void shortcutsAtMostOnceAMinute() {
        library.refresh(false);
        QTRY_COMPARE(shortcutLoads.load(), 1);
        QTRY_VERIFY(!library.loadingShortcuts);
        clock += std::chrono::seconds(30);
        library.refresh(false);
        QTRY_VERIFY(!library.scanning);
        QCOMPARE(shortcutLoads.load(), 1);
        library.refresh(true); // forced
        QTRY_COMPARE(shortcutLoads.load(), 2);
        QTRY_VERIFY(!library.loadingShortcuts);
        clock += std::chrono::seconds(61);
        library.refresh(false);
        QTRY_COMPARE(shortcutLoads.load(), 3);
    }

    // onChange only for a result that differs; a git refresh after every scan regardless.
    void changesAreReportedOnce() {
        int changes = 0;
        library.onChange = [&] { ++changes; };
        nextScan.repos = {repo("alpha")};
        nextShortcuts.items = {{"Build", "id-1", std::nullopt}};
        library.refresh(false);
        QTRY_COMPARE(changes, 2); // scan and shortcuts (the recents stayed empty)
        QTRY_VERIFY(!library.scanning && !library.loadingShortcuts && !library.loadingRecents);
        QTRY_VERIFY(GitStore::shared().status(nextScan.repos.first().url.path()));
        library.refresh(true);
        QTRY_VERIFY(scans.load() == 2 && shortcutLoads.load() == 2);
        QTRY_VERIFY(!library.scanning && !library.loadingShortcuts);
        QCOMPARE(changes, 2);
    }

    void noGitWhenHidden() {
        platform->memoryDefaults.setBool(Keys::showGitStatus, false);
        nextScan.repos = {repo("alpha")};
        library.refresh(false);
        QTRY_VERIFY(!library.scanning);
        QTest::qWait(50);
        QVERIFY(!GitStore::shared().status(nextScan.repos.first().url.path()));
        QVERIFY(GitStore::shared().inFlight().isEmpty());
    }

    // A workspace file is read once for its repository, whatever the answer.
    void gitPathIsCached() {
        home->makeFolder("code/api/.git");
        const QString with = home->writeFile("code/with.code-workspace", "{\"folders\": [{\"path\": \"api\"}]}");
        const QString without = home->writeFile("code/without.code-workspace", "{\"folders\": []}");
        const Entry a{EntryKind::workspace, QUrl::fromLocalFile(with), "with", {}, {}};
        const Entry b{EntryKind::workspace, QUrl::fromLocalFile(without), "without", {}, {}};
        QCOMPARE(library.gitPath(a), std::optional(home->path() + "/code/api"));
        QCOMPARE(library.gitPath(b), std::nullopt);
        home->writeFile("code/without.code-workspace", "{\"folders\": [{\"path\": \"api\"}]}");
        QFile::remove(with);
        QCOMPARE(library.gitPath(a), std::optional(home->path() + "/code/api")); // from the cache
        QCOMPARE(library.gitPath(b), std::nullopt);                               // negative cache
        QCOMPARE(library.gitPath(repo("r")), std::optional(home->path() + "/code/r"));
        QCOMPARE(library.gitPath({EntryKind::folder, QUrl::fromLocalFile(home->path()), "h", {}, {}}), std::nullopt);
    }

    void isOpen_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("parts");
        QTest::addColumn<bool>("open");
        QTest::newRow("folder by name") << "folder" << "/x/api" << QStringList{"api", "main.go"} << true;
        QTest::newRow("repository by name") << "repo" << "/x/api" << QStringList{"api"} << true;
        QTest::newRow("workspace needs the suffix") << "workspace" << "/x/api.code-workspace" << QStringList{"api"} << false;
        QTest::newRow("workspace with the suffix") << "workspace" << "/x/api.code-workspace"
                                                   << QStringList{"api (Workspace)"} << true;
        QTest::newRow("files never") << "file" << "/x/api" << QStringList{"api"} << false;
        QTest::newRow("no windows") << "folder" << "/x/api" << QStringList{} << false;
    }

    void isOpen() {
        QFETCH(QString, kind);
        QFETCH(QString, path);
        QFETCH(QStringList, parts);
        QFETCH(bool, open);
        library.openParts = QSet<QString>(parts.begin(), parts.end());
        QCOMPARE(library.isOpen({*fromRawValue<EntryKind>(kind), QUrl::fromLocalFile(path), "t", {}, {}}), open);
    }

    void quickOpenEntries() {
        const Entry alpha = repo("alpha");
        const QString todo = home->writeFile("notes/todo.md", "x");
        home->writeFile("notes/b.txt", "x");
        Store::shared().addFavorite(Entry::classify(QUrl::fromLocalFile(todo)), std::nullopt);
        Store::shared().addLink("Docs", "https://example.com/docs", std::nullopt);
        Store::shared().addFolder(QUrl::fromLocalFile(home->path() + "/notes"));
        Store::shared().addFolder(QUrl::fromLocalFile(home->path() + "/code"));
        library.recents = {Entry::classify(QUrl::fromLocalFile(todo)), alpha};
        library.shortcuts.items = {{"Deploy", "d1", QString("Ops")}, {"Deploy", "d2", std::nullopt},
                                   {"Deploy", "d1", std::nullopt}};
        library.scan.repos = {alpha};
        library.refreshFolders();
        QTRY_VERIFY(!library.listingFolders);

        auto rows = [&] {
            QStringList got;
            for (const QOEntry& e : library.quickOpenEntries())
                got << rawValue(e.entry.kind) + " " + e.entry.title + " | " + QString(e.detail).replace(home->path(), "~");
            return got;
        };
        QStringList expected{
            "todo.md | Favorite \u00B7 ~/notes/todo.md",
            "Docs | Favorite \u00B7 https://example.com/docs",
            "alpha | Recent \u00B7 ~/code/alpha",
            "Deploy | Shortcut \u00B7 Ops",
            "Deploy | Shortcut",
            "code | Folder \u00B7 ~",
            "notes | Folder \u00B7 ~",
            "b.txt | In notes",
        };
        const QStringList kinds{"file", "link", "repo", "shortcut", "shortcut", "folder", "folder", "file"};
        for (qsizetype i = 0; i < expected.size(); ++i) expected[i].prepend(kinds[i] + ' ');
        QCOMPARE(rows(), expected);

        // Nothing changed: the same list, not made again. Then it follows every change, on disk too.
        QCOMPARE(library.quickOpenEntries().constBegin(), library.quickOpenEntries().constBegin());
        home->makeFolder("notes/.git");
        Store::shared().addLink("Wiki", "https://example.com/wiki", std::nullopt);
        library.recents = {};
        expected[2] = "link Wiki | Favorite \u00B7 https://example.com/wiki";
        expected.insert(5, "repo alpha | Repository \u00B7 ~/code/alpha");
        expected[7] = "repo notes | Folder \u00B7 ~";
        QCOMPARE(rows(), expected);
    }
};

TARN_TEST(LibraryTest)
#include "LibraryTest.moc"
