#include "AdwaitaTheme.h"
#include "Sandbox.h"
#include "MenuOutline.h"
#include "TestMain.h"
#include "git/GitStore.h"
#include "menu/FolderReader.h"
#include "menu/Icons.h"
#include "menu/LazyMenu.h"
#include "menu/MenuItems.h"
#include "menu/MenuStyle.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace tarn;

Q_DECLARE_METATYPE(tarn::FolderOptions)

namespace {
QStringList names(const QList<MenuItems::Listed>& listing) {
    QStringList out;
    for (const auto& child : listing) out << QFileInfo(child.url.toLocalFile()).fileName() + (child.isFolder ? "/" : "");
    return out;
}

// The visible titles of a menu's items, as a user reads them ("-" for a separator).
QStringList titles(const QList<QAction*>& items) {
    QStringList out;
    for (QAction* item : items) {
        if (LazyMenu::isAlternate(item)) continue;
        if (item->isSeparator()) out << "-";
        else if (const auto styled = MenuStyle::titleOf(item)) out << styled->title + (item->isEnabled() ? "" : " (off)");
        else out << QString(item->text()).replace("&&", "&") + (item->isEnabled() ? "" : " (off)");
    }
    return out;
}

FolderOptions options(SortKey sort, bool ascending, bool foldersFirst, bool hidden = false, qint64 limit = 300) {
    FolderOptions o;
    o.sort = sort;
    o.ascending = ascending;
    o.foldersFirst = foldersFirst;
    o.showHidden = hidden;
    o.itemLimit = limit;
    return o;
}
} // namespace

class FolderListingTest : public QObject, test::Sandbox {
    Q_OBJECT
    QString folder;

    void file(const QString& name, int bytes, int minutesAgo) {
        const QString path = home->writeFile("f/" + name, QByteArray(bytes, 'x'));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.setFileTime(QDateTime::currentDateTime().addSecs(-60 * minutesAgo), QFileDevice::FileModificationTime);
    }

private Q_SLOTS:
    void init() {
        enter();
        folder = home->makeFolder("f");
        file("b.txt", 30, 5);
        file("A.md", 10, 1);
        file("c10.txt", 20, 3);
        file("c9.txt", 20, 4);
        file(".env", 1, 2);
        home->makeFolder("f/zeta");
        home->makeFolder("f/Beta");
        home->makeFolder("f/Tool.app");
        home->writeFile("f/project.code-workspace", "{}");
    }
    void cleanup() { leave(); }

    void listing_data() {
        QTest::addColumn<FolderOptions>("opts");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("by name, folders first")
            << options(SortKey::name, true, true)
            << QStringList{"Beta/", "zeta/", "A.md", "b.txt", "c9.txt", "c10.txt", "project.code-workspace", "Tool.app"};
        QTest::newRow("by name descending, folders still first")
            << options(SortKey::name, false, true)
            << QStringList{"zeta/", "Beta/", "Tool.app", "project.code-workspace", "c10.txt", "c9.txt", "b.txt", "A.md"};
        QTest::newRow("by name, mixed")
            << options(SortKey::name, true, false)
            << QStringList{"A.md", "b.txt", "Beta/", "c9.txt", "c10.txt", "project.code-workspace", "Tool.app", "zeta/"};
        // A package is a folder on disk: it has no size.
        QTest::newRow("by size: equal sizes by name")
            << options(SortKey::size, true, true)
            << QStringList{"Beta/", "zeta/", "Tool.app", "project.code-workspace", "A.md", "c9.txt", "c10.txt", "b.txt"};
        QTest::newRow("by size descending: the name tie-break reverses too")
            << options(SortKey::size, false, true)
            << QStringList{"zeta/", "Beta/", "b.txt", "c10.txt", "c9.txt", "A.md", "project.code-workspace", "Tool.app"};
        QTest::newRow("hidden files shown on request")
            << options(SortKey::name, true, true, true)
            << QStringList{"Beta/", "zeta/", ".env", "A.md", "b.txt", "c9.txt", "c10.txt", "project.code-workspace", "Tool.app"};
    }

    // The whole listing, and what a menu shows of it: the same first children, and the count.
    void listing() {
        QFETCH(FolderOptions, opts);
        QFETCH(QStringList, expected);
        QCOMPARE(names(MenuItems::listing(QUrl::fromLocalFile(folder), opts)), expected);
        for (const int limit : {0, 3, 100}) {
            opts.itemLimit = limit;
            const MenuItems::Listing shown = MenuItems::shownListing(QUrl::fromLocalFile(folder), opts);
            QCOMPARE(names(shown.first), expected.mid(0, limit));
            QCOMPARE(shown.total, expected.size());
        }
    }

    void byModificationDate() {
        const auto listed = names(MenuItems::listing(QUrl::fromLocalFile(folder), options(SortKey::dateModified, true, false)));
        // Oldest first: b (5 min), c9 (4), c10 (3), A (1); the folders and the rest are newer.
        QCOMPARE(listed.mid(0, 4), QStringList({"b.txt", "c9.txt", "c10.txt", "A.md"}));
    }

    void unreadableFoldersListNothing() {
        QVERIFY(MenuItems::listing(QUrl::fromLocalFile(home->path() + "/missing"), {}).isEmpty());
        QVERIFY(MenuItems::listing(QUrl::fromLocalFile(folder + "/b.txt"), {}).isEmpty());
        QCOMPARE(titles(MenuItems::contents(MenuItems::Listing{}, {})), QStringList{"Empty (off)"});
    }

    void contentsWithALimit() {
        const FolderOptions two = options(SortKey::name, true, false, false, 2);
        const QList<QAction*> items = MenuItems::contents(MenuItems::listing(QUrl::fromLocalFile(folder), two), two);
        QCOMPARE(titles(items), QStringList({"A.md", "b.txt", "\u2026 and 6 more (off)"}));
        QCOMPARE(items.size(), 5); // each entry with its alternate
        QVERIFY(LazyMenu::isAlternate(items[1]));
        QVERIFY(!items[1]->menu()); // made when first shown
        LazyMenu::ensureSubmenu(items[1]);
        QVERIFY(qobject_cast<LazyMenu*>(items[1]->menu()));
        const FolderOptions none = options(SortKey::name, true, false, false, 0);
        QCOMPARE(titles(MenuItems::contents(MenuItems::listing(QUrl::fromLocalFile(folder), none), none)),
                 QStringList({"\u2026 and 8 more (off)"}));
        qDeleteAll(items);
    }

    void workspacesAndPackagesAreEntries() {
        const QList<QAction*> items = MenuItems::contents(MenuItems::listing(QUrl::fromLocalFile(folder), {}), {});
        const QStringList shown = titles(items);
        QVERIFY(shown.contains("project"));         // a workspace, without its extension
        QVERIFY(shown.contains("Tool.app"));        // a package is a file
        for (QAction* item : items) {
            if (MenuStyle::titleOf(item) && MenuStyle::titleOf(item)->title == "Tool.app" && !LazyMenu::isAlternate(item))
                QVERIFY(!item->menu());             // opens, does not browse
            if (MenuStyle::titleOf(item) && MenuStyle::titleOf(item)->title == "zeta" && !LazyMenu::isAlternate(item))
                QVERIFY(item->menu());              // a folder browses
        }
        qDeleteAll(items);
    }

    // A folder's submenu: its actions, a separator, then its contents, read at every opening.
    void browsableFolderOpensThreeLevelsDeep() {
        home->makeFolder("f/zeta/deeper/deepest");
        home->writeFile("f/zeta/deeper/deepest/leaf.txt", "x");
        const QString longName(90, 'L');
        const QList<QAction*> pair = MenuItems::browsable(QUrl::fromLocalFile(folder), {}, longName);
        QCOMPARE(pair.size(), 2);
        QVERIFY(LazyMenu::isAlternate(pair[1]));
        QVERIFY(MenuStyle::titleOf(pair[0])->title.endsWith("\u2026"));
        QCOMPARE(pair[0]->toolTip(), tildePath(QUrl::fromLocalFile(folder)));

        auto* menu = qobject_cast<LazyMenu*>(pair[0]->menu());
        QVERIFY(menu);
        QCOMPARE(menu->actions().first()->text(), QString("Loading\u2026"));
        QStringList shown = titles(test::openSubmenu(pair[0]));
        QCOMPARE(shown.mid(0, 4), QStringList({"Open in Editor", "Open in Files", "Open in Terminal", "-"}));
        auto open = [](QMenu* parent, const QString& title) -> LazyMenu* {
            for (QAction* item : parent->actions())
                if (!LazyMenu::isAlternate(item) && MenuStyle::titleOf(item) && MenuStyle::titleOf(item)->title == title)
                    return qobject_cast<LazyMenu*>(item->menu());
            return nullptr;
        };
        LazyMenu* zeta = open(menu, "zeta");
        QVERIFY(zeta);
        test::openSubmenu(zeta->menuAction());
        LazyMenu* deeper = open(zeta, "deeper");
        QVERIFY(deeper);
        test::openSubmenu(deeper->menuAction());
        LazyMenu* deepest = open(deeper, "deepest");
        QVERIFY(deepest);
        test::openSubmenu(deepest->menuAction());
        QCOMPARE(titles(deepest->actions()).last(), QString("leaf.txt"));

        // Read again at the next opening: nothing is kept.
        home->writeFile("f/zeta/deeper/deepest/new.txt", "x");
        QPointer<QAction> old = deepest->actions().last();
        Q_EMIT deepest->aboutToShow();
        QTRY_VERIFY(deepest->findChild<FolderReader*>()->latest()->total == 2);
        deepest->rebuild();
        QTRY_VERIFY(old.isNull());
        QVERIFY(titles(deepest->actions()).contains("new.txt"));
        qDeleteAll(pair);
    }

    // Each file shows the icon theme's icon for its type, made once per type.
    void iconsByType() {
        if (!test::AdwaitaTheme::installed()) QSKIP("needs adwaita-icon-theme");
        auto theme = std::make_unique<test::AdwaitaTheme>();
        home->writeFile("f/photo.png", "x");
        home->makeFolder("f/sub");
        auto icon = [&](const QString& name) { return Icons::file(folder + "/" + name); };
        const QList<QIcon> icons{icon("b.txt"), icon("photo.png"), icon("sub")};
        const QStringList names{icons[0].name(), icons[1].name(), icons[2].name()};
        const bool once = icon("c9.txt").cacheKey() == icons[0].cacheKey();
        theme.reset();
        QVERIFY2(!names.contains(QString()), "not from the icon theme");
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 3);
        QVERIFY(once);
    }
};

TARN_TEST(FolderListingTest)
#include "FolderListingTest.moc"
