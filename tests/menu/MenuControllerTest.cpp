#include "Sandbox.h"
#include "TestMain.h"
#include "actions/HotkeyCenter.h"
#include "library/Library.h"
#include "git/GitStore.h"
#include "menu/LazyMenu.h"
#include "menu/MenuController.h"
#include "menu/MenuStyle.h"
#include "model/Store.h"

#include <QRegularExpression>
#include <QTest>

using namespace tarn;

namespace {

// The menu as a person reads it, one line per visible item: "-" a separator, "# title" a
// header, "title [info]" a two-column title, "(off)" a disabled item, " >" a submenu, whose
// items follow indented when `open` names it.
QStringList outline(QMenu* menu, const QStringList& open = {}, const QString& indent = QString()) {
    QStringList lines;
    for (QAction* item : menu->actions()) {
        if (!item->isVisible()) continue;
        if (item->isSeparator()) {
            lines << indent + "-";
            continue;
        }
        QString line = QString(item->text()).replace("&&", "&");
        if (const auto styled = MenuStyle::titleOf(item)) {
            line = styled->title;
            if (styled->info) line += " [" + styled->info->text + "]";
        }
        if (item->property("isSectionHeader").toBool()) line = "# " + line;
        else if (!item->isEnabled()) line += " (off)";
        if (item->menu()) line += " >";
        lines << indent + line;
        if (item->menu() && open.contains(line.chopped(2))) {
            if (auto* lazy = qobject_cast<LazyMenu*>(item->menu())) Q_EMIT lazy->aboutToShow();
            lines << outline(item->menu(), open, indent + "  ");
        }
    }
    return lines;
}

QByteArray json(QByteArray text) { return text.replace('\'', '"'); }

} // namespace

class MenuControllerTest : public QObject, test::Sandbox {
    Q_OBJECT
    Library& library = Library::shared();

    Entry folderEntry(const QString& relative) {
        return Entry::classify(QUrl::fromLocalFile(home->makeFolder(relative)));
    }

private Q_SLOTS:
    void init() {
        enter();
        // The library's own refreshes find nothing and take no time.
        library.setSources({[](const QList<QUrl>&) { return ScanResult{}; },
                            [](const QString&, int) { return RecentsResult{}; },
                            [] { return ShortcutsSnapshot{}; }});
        library.shortcutsLoadedAt = Library::Clock::now();
        // Quick Open's key is bound, as at launch, so that the search row names it.
        HotkeyCenter::shared().registerHotkey(1, Hotkeys::preset("ctrl-opt-space"), [] {});
    }
    void cleanup() {
        HotkeyCenter::shared().registerHotkey(1, std::nullopt, [] {});
        leave();
    }

    void nothingPinnedNothingFound() {
        MenuController controller;
        // Quick access is on by default and always has its three items.
        QCOMPARE(outline(controller.menu()).mid(3, 5),
                 QStringList({"-", "# Quick Access", "Latest Downloads >", "Recent Screenshots >", "Volumes >"}));
        for (const char* key : {Keys::showDownloads, Keys::showScreenshots, Keys::showVolumes})
            platform->memoryDefaults.setBool(key, false);
        controller.rebuild();
        QCOMPARE(outline(controller.menu()),
                 QStringList({"Search\u2026 [Ctrl+Alt+Space]", "-", "Add a folder to get started", "-",
                              "Add >", "Settings >", "-", "Quit Tarn"}));
        controller.menu()->actions().at(2)->trigger(); // the folder panel
        QCOMPARE(platform->testDialogs.openPanelRequests.size(), 1);
        QVERIFY(platform->testDialogs.openPanelRequests.first().directoriesOnly);
        QCOMPARE(outline(controller.menu(), {"Add"}).mid(4, 5),
                 QStringList({"Add >", "  Folder to Menu\u2026", "  Favorite File or Folder\u2026", "  Link\u2026",
                              "  Favorite Group\u2026"}));
        // A key Tarn does not hold (the desktop binds keys itself) is not shown.
        HotkeyCenter::shared().registerHotkey(1, std::nullopt, [] {});
        controller.rebuild();
        QCOMPARE(outline(controller.menu()).first(), QString("Search\u2026"));
    }

    void sectionsInTheirModes() {
        Store& store = Store::shared();
        store.addFolder(QUrl::fromLocalFile(home->makeFolder("code")));
        library.scan.repos = {folderEntry("code/alpha")};
        library.scan.workspaces = {};
        store.setMode(SectionMode::inline_, SectionID::repositories);
        store.setMode(SectionMode::submenu, SectionID::workspaces); // nothing in it: not shown
        store.setMode(SectionMode::hidden, SectionID::quickAccess);
        platform->memoryDefaults.setString(Keys::quickOpenHotkey, "off");
        MenuController controller;
        QCOMPARE(outline(controller.menu()),
                 QStringList({"Search\u2026", "-", "# Folders", "code >", "-", "# Git Repositories", "alpha", "-",
                              "Add >", "Settings >", "-", "Quit Tarn"}));
        store.setMode(SectionMode::submenu, SectionID::repositories);
        controller.rebuild();
        QCOMPARE(outline(controller.menu(), {"Git Repositories"}).mid(5, 2),
                 QStringList({"Git Repositories >", "  alpha"}));
    }

    void favoritesSortedAndGrouped() {
        Store& store = Store::shared();
        store.addFolder(QUrl::fromLocalFile(home->makeFolder("code")));
        platform->memoryDefaults.setData(Keys::favorites, json(
            "[{'kind':'link','value':'https://a.example','title':'Item 10'},"
            "{'kind':'link','value':'https://b.example','title':'item 9'},"
            "{'kind':'link','value':'https://c.example','title':'Grouped','group':'Work'},"
            "{'kind':'link','value':'https://d.example','title':'Inline','group':'Read'},"
            "{'kind':'link','value':'https://e.example','title':'Lost','group':'Nowhere'}]"));
        platform->memoryDefaults.setData(Keys::favoriteGroups,
                                         json("[{'name':'Work','asSection':false},{'name':'Read','asSection':true}]"));
        MenuController controller;
        const QStringList shown = outline(controller.menu(), {"Work"});
        const qsizetype start = shown.indexOf("# Favorites");
        QVERIFY(start > 0);
        QCOMPARE(shown.mid(start, 9), QStringList({"# Favorites", "item 9", "Item 10", "Work >", "  Grouped", "  -",
                                                   "  Open All", "# Read", "Inline"}));
        QVERIFY(!shown.join('\n').contains("Lost"));
    }

    // Favorites by the thousand: a menu shows 500, then "More", made when it opens, with the
    // next 500 and so on.
    void thousandsOfFavoritesComeInPages() {
        Store::shared().addFolder(QUrl::fromLocalFile(home->makeFolder("code")));
        QStringList rows;
        for (int i = 0; i < 1100; ++i)
            rows << QString("{'kind':'link','value':'https://x.example/%1','title':'fav %2'}").arg(i).arg(i, 4, 10, QChar('0'));
        platform->memoryDefaults.setData(Keys::favorites, json(("[" + rows.join(',') + "]").toUtf8()));
        MenuController controller;
        const QStringList shown = outline(controller.menu(), {"More"});
        QCOMPARE(shown.filter(QRegularExpression("^fav ")).size(), 500);
        QCOMPARE(shown.filter(QRegularExpression("^  fav ")).size(), 500);
        QCOMPARE(shown.filter(QRegularExpression("^    fav ")).size(), 100);
        QVERIFY(shown.contains("    fav 1099"));
    }

    void recentsAndHistory() {
        Store& store = Store::shared();
        store.addFolder(QUrl::fromLocalFile(home->makeFolder("code")));
        for (int i = 1; i <= 8; ++i) library.recents << folderEntry(QString("code/r%1").arg(i));
        MenuController controller;
        QStringList shown = outline(controller.menu(), {"More Recent"});
        qsizetype start = shown.indexOf("# Recent");
        QCOMPARE(shown.mid(start + 1, 10), QStringList({"r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8",
                                                         "More Recent >", "  Empty (off)"}));

        library.recents << folderEntry("code/r9");
        const QString kept = home->makeFolder("opened");
        store.recordHistory(QUrl::fromLocalFile(home->path() + "/gone"));
        store.recordHistory(QUrl::fromLocalFile(kept));
        controller.rebuild();
        shown = outline(controller.menu(), {"More Recent"});
        start = shown.indexOf("More Recent >");
        QCOMPARE(shown.mid(start, 7), QStringList({"More Recent >", "  # From Editor", "  r9", "  # Opened via Tarn",
                                                    "  opened", "  -", "  Clear History"}));
        // Clear History empties the stored history for good.
        for (QAction* item : controller.menu()->actions())
            if (item->text() == "More Recent")
                for (QAction* inner : item->menu()->actions())
                    if (inner->text() == "Clear History") inner->trigger();
        QCOMPARE(store.defaults().stringArray(Keys::history), std::optional(QStringList{}));
    }

    void foldersInlineAndHidden() {
        Store& store = Store::shared();
        home->writeFile("notes/todo.md", "x");
        store.addFolder(QUrl::fromLocalFile(home->path() + "/notes"));
        store.addFolder(QUrl::fromLocalFile(home->makeFolder("empty")));
        store.addFolder(QUrl::fromLocalFile(home->makeFolder("vacant")));
        store.addFolder(QUrl::fromLocalFile(home->makeFolder("src")));
        store.updateFolder(home->path() + "/notes", [](PinnedFolder& f) { f.inline_ = true; });
        store.updateFolder(home->path() + "/empty", [](PinnedFolder& f) {
            f.inline_ = true;
            f.options.hideWhenEmpty = true;
        });
        store.updateFolder(home->path() + "/vacant", [](PinnedFolder& f) { f.inline_ = true; });
        MenuController controller;
        QCOMPARE(outline(controller.menu()).mid(outline(controller.menu()).indexOf("# notes"), 2),
                 QStringList({"# notes", "Loading\u2026 (off)"}));
        QTRY_VERIFY(!Library::shared().listingFolders);
        const QStringList shown = outline(controller.menu());
        const qsizetype start = shown.indexOf("# notes");
        QCOMPARE(shown.mid(start, 6), QStringList({"# notes", "todo.md", "# vacant", "Empty (off)", "# Folders", "src >"}));
    }

    void shortcutFolders() {
        Store& store = Store::shared();
        store.addFolder(QUrl::fromLocalFile(home->makeFolder("code")));
        library.shortcuts.folders = {"Ops", "Home"};
        library.shortcuts.items = {{"Deploy", "d1", QString("Ops")}, {"Lights", "l1", QString("Home")},
                                   {"Loose", "x1", std::nullopt}};
        store.setShortcutFolderModes({{"Home", SectionMode::inline_}});
        MenuController controller;
        QStringList shown = outline(controller.menu(), {"Ops"});
        qsizetype start = shown.indexOf("# Shortcuts");
        QCOMPARE(shown.mid(start, 6), QStringList({"# Shortcuts", "Ops >", "  Deploy", "Loose", "# Home", "Lights"}));

        // The user's own folders: one whose shortcuts are all gone is not shown.
        platform->memoryDefaults.setBool(Keys::useCustomShortcuts, true);
        store.setShortcutFolders({ShortcutFolder{QUuid::createUuid(), "Gone", ShortcutFolder::Style::submenu, {"zz"}},
                                  ShortcutFolder{QUuid::createUuid(), "Mine", ShortcutFolder::Style::section, {"l1", "d1"}},
                                  ShortcutFolder{QUuid::createUuid(), "Flat", ShortcutFolder::Style::plain, {"x1"}}});
        controller.rebuild();
        shown = outline(controller.menu());
        start = shown.indexOf("# Shortcuts");
        QCOMPARE(shown.mid(start, 6), QStringList({"# Shortcuts", "# Mine", "Lights", "Deploy", "-", "Loose"}));
    }

    // Results arriving while the menu is open rebuild it in place.
    void libraryChangesRebuild() {
        Store::shared().addFolder(QUrl::fromLocalFile(home->makeFolder("code")));
        MenuController controller;
        QVERIFY(!outline(controller.menu()).contains("beta"));
        library.scan.repos = {folderEntry("code/beta")};
        library.onChange();
        QVERIFY(outline(controller.menu(), {"Git Repositories"}).contains("  beta"));
    }
};

TARN_TEST(MenuControllerTest)
#include "MenuControllerTest.moc"
