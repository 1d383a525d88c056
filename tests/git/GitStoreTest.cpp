#include "GitFixture.h"
#include "Sandbox.h"
#include "TestMain.h"
#include "git/GitStore.h"
#include "menu/MenuItems.h"
#include "menu/MenuStyle.h"

#include <QAction>
#include <QDir>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTest>
#include <atomic>

using namespace tarn;

class GitStoreTest : public QObject, test::Sandbox {
    Q_OBJECT
    GitStore& store = GitStore::shared();
    GitStore::Clock::time_point clock = GitStore::Clock::now();

    QStringList paths(int count) {
        QStringList list;
        for (int i = 0; i < count; ++i) list << QString("/repos/r%1").arg(i);
        return list;
    }

private Q_SLOTS:
    void init() {
        enter();
        store.setClock([this] { return clock; });
    }
    void cleanup() { leave(); }

    // Ten due paths start six reads; the seventh starts only after one of them was stored.
    void readsSlideInAWindowOfSix() {
        QSemaphore gate;
        std::atomic<int> started{0};
        store.setStatusReader([&](const QString&) {
            ++started;
            gate.acquire();
            return std::optional(GitStatus{"main", 0, 0, 0});
        });
        const QStringList ten = paths(10);
        store.refresh(ten, false);
        QCOMPARE(store.inFlight().size(), 10);
        QTRY_COMPARE(started.load(), 6);
        QTest::qWait(100);
        QCOMPARE(started.load(), 6);
        gate.release(1);
        QTRY_COMPARE(started.load(), 7);
        int stored = 0;
        for (const QString& path : ten) stored += store.status(path).has_value();
        QCOMPARE(stored, 1);
        gate.release(9);
        QTRY_VERIFY(store.inFlight().isEmpty());
        for (const QString& path : ten) QVERIFY(store.status(path));
    }

    void stalenessAndForce() {
        std::atomic<int> reads{0};
        QSemaphore gate(1000);
        store.setStatusReader([&](const QString&) {
            ++reads;
            gate.acquire();
            return std::optional(GitStatus{"main", 0, 0, reads.load()});
        });
        const QStringList one{"/repos/a", "/repos/a"}; // duplicates collapse
        store.refresh(one, false);
        QTRY_VERIFY(store.inFlight().isEmpty());
        QCOMPARE(reads.load(), 1);
        store.refresh(one, false); // fresh: not read again
        clock += std::chrono::seconds(59);
        store.refresh(one, false);
        QCOMPARE(store.inFlight().size(), 0);
        clock += std::chrono::seconds(2); // now stale
        store.refresh(one, false);
        QTRY_VERIFY(store.inFlight().isEmpty());
        QCOMPARE(reads.load(), 2);

        // Force reads a fresh path again, but never one that is in flight.
        gate.acquire(gate.available());
        store.refresh(one, true);
        store.refresh(one, true);
        QTRY_COMPARE(reads.load(), 3);
        gate.release(10);
        QTRY_VERIFY(store.inFlight().isEmpty());
        QTest::qWait(50);
        QCOMPARE(reads.load(), 3);
        store.refresh(one, true);
        QTRY_COMPARE(reads.load(), 4);
        gate.release(10);
        QTRY_VERIFY(store.inFlight().isEmpty()); // the reader uses this function's locals
    }

    // Items showing a repository are retitled in place; an equal status changes nothing.
    void liveItemsAreRetitled() {
        const QString repo = home->makeFolder("repo");
        const Entry entry{EntryKind::repo, QUrl::fromLocalFile(repo), "repo", {}, {}};
        std::optional<GitStatus> next = GitStatus{"main", 0, 0, 1};
        store.setStatusReader([&](const QString&) { return next; });
        int updates = 0;
        store.onUpdate = [&] { ++updates; };
        auto item = std::make_unique<QAction>();
        MenuItems::decorate(item.get(), entry);
        QCOMPARE(store.attachedCount(repo), 1);
        QVERIFY(!MenuStyle::titleOf(item.get())->info);

        store.refresh({repo}, true);
        QTRY_COMPARE(updates, 1);
        QCOMPARE(MenuStyle::titleOf(item.get())->info->text, MenuStyle::gitInfo(*next).text);
        QVERIFY(item->toolTip().contains("1 change"));

        store.refresh({repo}, true); // the same status: no retitle, no update
        QTRY_VERIFY(store.inFlight().isEmpty());
        QCOMPARE(updates, 1);

        next = GitStatus{.outdated = true}; // a read that failed keeps the last status, marked
        store.refresh({repo}, true);
        QTRY_COMPARE(updates, 2);
        QCOMPARE(store.status(repo), (GitStatus{"main", 0, 0, 1, true}));
        QVERIFY(item->toolTip().contains("1 change \u00B7 may be out of date"));

        next.reset(); // no repository now: the status goes, and so does the branch
        store.refresh({repo}, true);
        QTRY_COMPARE(updates, 3);
        QVERIFY(!store.status(repo));
        QVERIFY(!MenuStyle::titleOf(item.get())->info);

        // A rebuilt menu drops its items; compact forgets them.
        auto second = std::make_unique<QAction>();
        MenuItems::decorate(second.get(), entry);
        QCOMPARE(store.attachedCount(repo), 2);
        item.reset();
        store.compact();
        QCOMPARE(store.attachedCount(repo), 1);
        second.reset();
        store.compact();
        QCOMPARE(store.attachedCount(repo), 0);
    }

    void failedPullIsReported() {
        const QString repo = home->path() + "/lonely";
        test::makeRepo(repo);
        store.run(GitOp::pull, QUrl::fromLocalFile(repo)); // no upstream: git says why
        QTRY_COMPARE(platform->testDialogs.warnings.size(), 1);
        const auto warning = platform->testDialogs.warnings.first();
        QCOMPARE(warning.message, QString("git pull failed in \u201Clonely\u201D"));
        QVERIFY(!warning.informative.isEmpty());
        QTRY_VERIFY(store.status(repo)); // and the status is read again
    }

    void fetchAllReportsEachFailure() {
        QList<QUrl> repos;
        for (const char* name : {"good", "bad1", "bad2"}) {
            const QString repo = home->path() + '/' + name;
            test::makeRepo(repo);
            repos << QUrl::fromLocalFile(repo);
        }
        const QString remote = home->path() + "/remote.git";
        QDir().mkpath(remote);
        test::git(remote, {"init", "-q", "--bare"});
        test::git(home->path() + "/good", {"remote", "add", "origin", remote});
        test::git(home->path() + "/bad1", {"remote", "add", "origin", home->path() + "/missing1"});
        test::git(home->path() + "/bad2", {"remote", "add", "origin", home->path() + "/missing2"});
        store.fetchAll(repos);
        QTRY_COMPARE_WITH_TIMEOUT(platform->testDialogs.warnings.size(), 1, 20000);
        const auto warning = platform->testDialogs.warnings.first();
        QCOMPARE(warning.message, QString("Fetch failed for 2 of 3 repositories"));
        // One entry per failed repository, each its folder name and git's (several-line) error.
        QCOMPARE(warning.informative.count(QRegularExpression("(^|\n)bad[12]: fatal: ")), 2);
        QVERIFY(warning.informative.startsWith("bad"));
        QVERIFY(!warning.informative.contains("good: "));
        QTRY_VERIFY(store.inFlight().isEmpty());
        for (const QUrl& repo : repos) QVERIFY(store.status(repo.toLocalFile()));
    }
};

TARN_TEST(GitStoreTest)
#include "GitStoreTest.moc"
