#include "TempHome.h"
#include "TestMain.h"
#include "TestPlatform.h"
#include "model/Store.h"

#include <QTest>

using namespace tarn;

namespace {
QStringList paths(const QList<PinnedFolder>& folders) {
    QStringList out;
    for (const PinnedFolder& f : folders) out << f.path;
    return out;
}
QUrl file(const QString& path) { return QUrl::fromLocalFile(path); }
Entry entryAt(EntryKind kind, const QString& path, const QString& title) {
    return Entry{kind, file(path), title, {}, {}};
}
} // namespace

class StoreOperationsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<test::TestPlatform> platform;
    Store& store = Store::shared();

private Q_SLOTS:
    void init() { platform = std::make_unique<test::TestPlatform>(); }
    void cleanup() { platform.reset(); }

    void pinnedFolderContaining_data() {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("expected"); // "" for none
        QTest::newRow("deepest wins") << "/a/b/c" << "/a/b";
        QTest::newRow("the folder itself") << "/a" << "/a";
        QTest::newRow("name prefix is not containment") << "/ab/x" << "";
        QTest::newRow("standardized first") << "/a/b/../x" << "/a";
    }

    void pinnedFolderContaining() {
        QFETCH(QString, location);
        QFETCH(QString, expected);
        store.setPinnedFolders({PinnedFolder{"/a", false, {}, {}}, PinnedFolder{"/a/b", false, {}, {}}});
        const auto found = store.pinnedFolder(file(location));
        QCOMPARE(found ? found->path : QString(), expected);
    }

    void addFolderKeepsNameOrder() {
        store.addFolder(file("/x/Zeta"));
        store.addFolder(file("/y/alpha"));
        store.addFolder(file("/w/folder10"));
        store.addFolder(file("/v/folder9"));
        store.addFolder(file("/z/alpha"));
        QCOMPARE(paths(store.pinnedFolders()),
                 QStringList({"/y/alpha", "/z/alpha", "/v/folder9", "/w/folder10", "/x/Zeta"}));
        const PinnedFolder added = store.pinnedFolders().first();
        QCOMPARE(added, (PinnedFolder{"/y/alpha", false, FolderOptions{}, std::nullopt}));
    }

    void addingAPinnedFolderAgainChangesNothing() {
        store.addFolder(file("/x/a"));
        const QByteArray before = *platform->memoryDefaults.data(Keys::pinnedFolders);
        store.updateFolder("/x/a", [](PinnedFolder& f) { f.inline_ = true; });
        const QByteArray updated = *platform->memoryDefaults.data(Keys::pinnedFolders);
        QVERIFY(before != updated);
        store.addFolder(file("/x/./b/../a"));
        QCOMPARE(*platform->memoryDefaults.data(Keys::pinnedFolders), updated);
        QCOMPARE(store.pinnedFolders().size(), 1);
        QVERIFY(store.pinnedFolders().first().inline_);
    }

    void updateAndRemoveFolder() {
        store.addFolder(file("/x/a"));
        store.addFolder(file("/x/b"));
        store.updateFolder("/nowhere", [](PinnedFolder& f) { f.path = "/broken"; });
        QCOMPARE(paths(store.pinnedFolders()), QStringList({"/x/a", "/x/b"}));
        store.removeFolder("/x/a");
        QCOMPARE(paths(store.pinnedFolders()), QStringList({"/x/b"}));
    }

    // Qt rewrites some addresses as it parses them; the favorite is still its own entry's.
    void linkFavoriteFoundThroughItsEntry_data() {
        QTest::addColumn<QString>("typed");
        QTest::newRow("upper-case host") << "https://Example.com/Docs";
        QTest::newRow("upper-case scheme") << "HTTPS://example.com/";
        QTest::newRow("escaped tilde") << "https://example.com/%7Euser";
        QTest::newRow("mail address") << "mailto:user@Example.COM";
        QTest::newRow("already canonical") << "https://example.com/a";
    }

    void linkFavoriteFoundThroughItsEntry() {
        QFETCH(QString, typed);
        store.addLink("Docs", typed, std::nullopt);
        const Favorite stored = store.favorites().first();
        QCOMPARE(stored.value, typed); // kept as the user typed it
        const Entry entry = stored.entry();
        QCOMPARE(store.favorite(entry), stored);
        store.addFavorite(entry, QString("Work")); // regrouped, not duplicated
        QCOMPARE(store.favorites().size(), 1);
        QCOMPARE(store.favorites().first().group, QString("Work"));
        store.removeFavorite(entry);
        QVERIFY(store.favorites().isEmpty());
    }

    void favorites() {
        const Entry repo = entryAt(EntryKind::repo, "/src/app", "app");
        store.addFavorite(repo, std::nullopt);
        store.addFavorite(repo, QString("Work"));
        QCOMPARE(store.favorites().size(), 1);
        QCOMPARE(store.favorites().first(), (Favorite{Favorite::Kind::path, "/src/app", "app", "Work"}));
        QCOMPARE(store.groups(), QList<FavoriteGroup>{(FavoriteGroup{"Work", false})});

        // A renamed entry still finds its favorite: only the value is compared.
        Entry renamed = repo;
        renamed.title = "other";
        QVERIFY(store.favorite(renamed));

        const Entry link{EntryKind::link, QUrl("https://example.com/a b"), "Ex", {}, {}};
        store.addFavorite(link, std::nullopt);
        QCOMPARE(store.favorites().last().kind, Favorite::Kind::link);
        QCOMPARE(store.favorites().last().value, QString("https://example.com/a%20b"));
        store.removeFavorite(link);
        QCOMPARE(store.favorites().size(), 1);

        store.addLink("Docs", "https://d", std::nullopt);
        store.addLink("Docs", "https://d", std::nullopt);
        QCOMPARE(store.favorites().size(), 3);
    }

    void favoriteEntry() {
        test::TempHome home;
        home.makeFolder("proj/.git");
        const Favorite onDisk{Favorite::Kind::path, home.path() + "/proj", "My Project", {}};
        const Entry e = onDisk.entry();
        QCOMPARE(e.kind, EntryKind::repo);
        QCOMPARE(e.title, QString("My Project"));
        const Favorite bad{Favorite::Kind::link, "http://exa mple.com", "Bad", {}};
        QCOMPARE(bad.entry().url, QUrl("about:blank"));
        QCOMPARE(bad.entry().kind, EntryKind::link);
    }

    void groups() {
        store.addGroup("b10");
        store.addGroup("B9");
        store.addGroup("a");
        store.addGroup("a");
        QStringList names;
        for (const auto& g : store.groups()) names << g.name;
        QCOMPARE(names, QStringList({"a", "B9", "b10"}));

        store.addFavorite(entryAt(EntryKind::file, "/f", "f"), QString("a"));
        store.setGroupAsSection("a", true);
        store.renameGroup("a", "B9");
        QCOMPARE(store.groups().size(), 3);
        QCOMPARE(store.groups().at(0), (FavoriteGroup{"B9", true}));
        QCOMPARE(store.groups().at(1), (FavoriteGroup{"B9", false}));
        QCOMPARE(store.favorites().first().group, QString("B9"));

        store.deleteGroup("B9");
        QCOMPARE(store.groups(), QList<FavoriteGroup>{(FavoriteGroup{"b10", false})});
        QCOMPARE(store.favorites().size(), 1);
        QVERIFY(!store.favorites().first().group);
    }

    void sections() {
        store.moveSection(SectionID::favorites, -1);
        store.moveSection(SectionID::quickAccess, +1);
        QVERIFY(!platform->memoryDefaults.data(Keys::sections)); // nothing saved

        store.moveSection(SectionID::quickAccess, -1);
        QCOMPARE(store.sections().at(5).id, SectionID::quickAccess);
        store.setMode(SectionMode::hidden, SectionID::recent);
        QCOMPARE(store.sections().at(1), (SectionConfig{SectionID::recent, SectionMode::hidden}));
        QCOMPARE(store.sections().size(), 7);
    }

    void shortcutFolders() {
        const QUuid a = QUuid::createUuid(), b = QUuid::createUuid();
        store.setShortcutFolders({{a, "A", ShortcutFolder::Style::submenu, {}},
                                  {b, "B", ShortcutFolder::Style::plain, {}}});
        store.moveShortcutFolder(a, -1);
        QCOMPARE(store.shortcutFolders().first().id, a);
        store.moveShortcutFolder(a, +1);
        QCOMPARE(store.shortcutFolders().first().id, b);
        store.deleteShortcutFolder(b);
        QCOMPARE(store.shortcutFolders().size(), 1);
        QCOMPARE(store.shortcutFolders().first().id, a);
    }

    void history() {
        store.recordHistory(QUrl("https://example.com"));
        QVERIFY(!store.defaults().stringArray(Keys::history));
        for (int i = 0; i < 51; ++i) store.recordHistory(file(QString("/p%1").arg(i)));
        QStringList h = *store.defaults().stringArray(Keys::history);
        QCOMPARE(h.size(), 50);
        QCOMPARE(h.first(), QString("/p50"));
        QCOMPARE(h.last(), QString("/p1")); // /p0 pushed out
        store.recordHistory(file("/p25"));
        h = *store.defaults().stringArray(Keys::history);
        QCOMPARE(h.size(), 50);
        QCOMPARE(h.first(), QString("/p25"));
        QCOMPARE(h.count("/p25"), 1);

        // One location, one entry, however its URL was written.
        store.recordHistory(QUrl("file:///tmp/x/"));
        store.recordHistory(QUrl::fromLocalFile("/tmp/x"));
        store.recordHistory(QUrl("file://localhost/tmp/./x"));
        h = *store.defaults().stringArray(Keys::history);
        QCOMPARE(h.first(), QString("/tmp/x"));
        QCOMPARE(h.count("/tmp/x"), 1);
        QCOMPARE(h.filter("/tmp/x").size(), 1);
    }
};

TARN_TEST(StoreOperationsTest)
#include "StoreOperationsTest.moc"
